// How long Open/Close takes to close the port while the device streams at the fastest rate
// a real line carries (460800 baud): the tool wired as the window wires it (port, receive
// loop, hand-over, parser, controller; tests/faults/FaultRig.h), opened, the parameters
// and some of the stream taken in, then closed, CYCLES times. The close is timed from the
// press to the port closed and the receive loop ended, with what it still held handled.
//
//   close_timing [--cycles N]
//
// Prints "result:" lines; a cycle that does not open, or whose answers do not come, fails
// the program.
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "FaultRig.h"
#include "Measure.h"

int main(int argc, char** argv) {
    int cycles = 1000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::string_view(argv[i]) == "--cycles") {
            cycles = std::atoi(argv[i + 1]);
        }
    }
    if (cycles < 1) {
        std::fprintf(stderr, "usage: close_timing [--cycles N>=1]\n");
        return 1;
    }
    qk::sim::SimulatedDevice device({.streamBytesPerSecond = 46000});
    qk::faults::ToolRig tool(device.slavePath());
    std::vector<double> closeMs;
    int confirmed = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const auto opened = tool.OpenAndTakeIn();
        if (!opened) {
            std::fprintf(stderr, "close_timing: cycle %d did not open and take in the answers\n",
                         cycle);
            return 2;
        }
        confirmed += *opened ? 1 : 0;
        const double start = qk::bench::Now();
        tool.controller.ToggleOpen();
        closeMs.push_back((qk::bench::Now() - start) * 1000);
    }
    using qk::bench::Percentile;
    using qk::bench::PrintResult;
    PrintResult("close.cycles", cycles);
    PrintResult("close.confirmed", confirmed);
    PrintResult("close.p50_ms", Percentile(closeMs, 50));
    PrintResult("close.p99_ms", Percentile(closeMs, 99));
    PrintResult("close.max_ms", Percentile(closeMs, 100));
    return 0;
}
