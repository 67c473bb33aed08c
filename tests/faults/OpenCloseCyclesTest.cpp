// Opening, entering configuration mode and closing, over and over, while the device keeps
// sending data lines at the fastest rate a real line carries (460800 baud).
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>

#include "FaultRig.h"
#include "ProcessProbe.h"
#include "SimulatedDevice.h"

#ifndef QK_FAULT_CYCLES
#define QK_FAULT_CYCLES 1000
#endif

namespace qk::faults {
namespace {

int Cycles() {
    const char* text = std::getenv("QK_FAULT_CYCLES");
    return text != nullptr ? std::atoi(text) : QK_FAULT_CYCLES;
}

TEST(OpenCloseCycles, WhileTheDeviceStreamsNoDeadlockNoSlowCloseNothingLeftBehind) {
    sim::SimulatedDevice device({.streamBytesPerSecond = 46000});
    PortDirectory ports;
    ports.Pin(1, device.slavePath());
    ToolRig tool(ports, 1);
    const int descriptorsBefore = OpenDescriptors();
    const int threadsBefore = Threads();

    const int cycles = Cycles();
    std::vector<double> closeMs;
    int confirmed = 0;
    const auto start = Clock::now();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        tool.state.infoLog.clear();
        tool.view.clear();
        tool.controller.ToggleOpen();
        ASSERT_TRUE(tool.port.IsOpen()) << "cycle " << cycle << ": " << tool.sink.LastDetail();
        if (tool.InConfigMode()) {
            ++confirmed;
            // Every answer, and the stream under way when the port closes.
            ASSERT_TRUE(tool.RunBlocksUntil([&] {
                return HasAllParameters(tool) && tool.LogHas(sim::DeviceModel::kDataPrefix);
            })) << "cycle "
                << cycle;
        } else {
            // Data lines that slipped in after the port was flushed came before the reply.
            ASSERT_TRUE(tool.Shown(kHandshakeFailed)) << "cycle " << cycle;
        }
        const auto closeStart = Clock::now();
        tool.controller.ToggleOpen();
        closeMs.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - closeStart).count());
        ASSERT_FALSE(tool.port.IsOpen()) << "cycle " << cycle;
        ASSERT_FALSE(tool.loop.IsRunning()) << "cycle " << cycle;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const int descriptorsAfter = OpenDescriptors();
    const int threadsAfter = Threads();
    const double maxMs = Percentile(closeMs, 100);
    std::cout << "[ figures  ] " << cycles << " cycles in " << seconds << " s, " << confirmed
              << " handshakes confirmed; close max " << maxMs << " ms, p99 "
              << Percentile(closeMs, 99) << " ms, median " << Percentile(closeMs, 50)
              << " ms; descriptors " << descriptorsBefore << " -> " << descriptorsAfter
              << ", threads " << threadsBefore << " -> " << threadsAfter << "\n";

    EXPECT_LT(maxMs, 100.0);
    EXPECT_EQ(descriptorsAfter, descriptorsBefore);
    EXPECT_EQ(threadsAfter, threadsBefore);
    EXPECT_TRUE(tool.sink.reports().empty()) << tool.sink.LastDetail();
    EXPECT_GT(confirmed, cycles / 2);
}

}  // namespace
}  // namespace qk::faults
