// How the receive loop paces its reads: how many reads a second an idle port costs (one per
// poll, ReceiveLoop::kIdlePoll), how many blocks a second a device gets through that sends
// a short line at every poll, and how soon a read that filled the buffer is followed by the
// next (at once, not at the next poll). The port is a source in this process that answers
// every read at once, so what is measured is the loop alone.
//
//   receive_pacing [--seconds S] [--check]
//
// Prints "result:" lines. With --check it fails when an idle port is read more than half
// again as often as its poll asks: a loop that spins. Load only makes reads rarer, so the
// check does not depend on a quiet machine.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

#include "BlockHandover.h"
#include "Measure.h"
#include "ReceiveLoop.h"

namespace {

using qk::bench::Now;
using qk::bench::PrintResult;

// Gives every read `chunk`, or nothing when it is empty, and counts the reads.
class CountingSource final : public qk::ByteSource {
  public:
    explicit CountingSource(std::string chunk) : m_chunk(std::move(chunk)) {}
    int Read(char* buffer, unsigned capacity) override {
        ++reads;
        const auto count = std::min<std::size_t>(m_chunk.size(), capacity);
        m_chunk.copy(buffer, count);
        return static_cast<int>(count);
    }
    bool IsOpen() const override { return true; }
    bool HungUp() const override { return false; }
    std::atomic<long> reads{0};

  private:
    std::string m_chunk;
};

struct Rates {
    double readsPerSecond = 0;
    double blocksPerSecond = 0;
};

Rates Run(const std::string& chunk, double seconds) {
    CountingSource source(chunk);
    long blocks = 0;
    qk::BlockHandover handover([&](std::string&&) { ++blocks; });
    qk::ReceiveLoop loop(source, handover);
    const double start = Now();
    loop.Start();
    while (Now() - start < seconds) {
        handover.WaitAndRunPending(std::chrono::milliseconds(5));
    }
    loop.Stop();
    const double elapsed = Now() - start;
    return {static_cast<double>(source.reads) / elapsed, static_cast<double>(blocks) / elapsed};
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 3;
    bool check = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--seconds" && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (option == "--check") {
            check = true;
        }
    }
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: receive_pacing [--seconds S] [--check]\n");
        return 1;
    }
    const double pollsPerSecond = 1000.0 / qk::ReceiveLoop::kIdlePoll.count();
    const Rates idle = Run("", seconds);
    const Rates lines = Run("+DATA:000001 ABCDEFGHIJKLMNOPQRSTUVWXY\r\n", seconds);
    const Rates full = Run(std::string(qk::BlockAssembler::kCapacity - 1, 'x') + "\n", seconds);
    PrintResult("pacing.polls_per_s", pollsPerSecond);
    PrintResult("pacing.idle_reads_per_s", idle.readsPerSecond);
    PrintResult("pacing.line_blocks_per_s", lines.blocksPerSecond);
    PrintResult("pacing.full_blocks_per_s", full.blocksPerSecond);
    if (check && idle.readsPerSecond > 1.5 * pollsPerSecond) {
        std::fprintf(stderr,
                     "receive_pacing: an idle port is read %.0f times a second, its poll "
                     "asks for %.0f\n",
                     idle.readsPerSecond, pollsPerSecond);
        return 2;
    }
    return 0;
}
