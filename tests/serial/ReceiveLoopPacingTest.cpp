// How often the receive loop reads while a device streams: once per poll period when a
// read took everything there was, at once when a read filled the buffer. These tests
// measure time; they only ever wait for blocks, never sleep.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "BlockAssembler.h"
#include "BlockHandover.h"
#include "ByteSource.h"
#include "ReceiveLoop.h"

namespace qk {
namespace {

using Clock = std::chrono::steady_clock;

// A device that always has `chunk` ready: every read returns it whole (or what fits).
class EndlessSource final : public ByteSource {
  public:
    explicit EndlessSource(std::string chunk) : m_chunk(std::move(chunk)) {}
    int Read(char* buffer, unsigned capacity) override {
        const std::size_t count = std::min<std::size_t>(capacity, m_chunk.size());
        std::memcpy(buffer, m_chunk.data(), count);
        return static_cast<int>(count);
    }
    bool IsOpen() const override { return true; }

  private:
    std::string m_chunk;
};

// Runs a loop on `source` until `blocks` blocks were handled on this thread; how long.
Clock::duration TimeForBlocks(ByteSource& source, int blocks) {
    int handled = 0;
    BlockHandover handover([&](std::string&&) { ++handled; });
    ReceiveLoop loop(source, handover);
    const auto start = Clock::now();
    loop.Start();
    while (handled < blocks) {
        handover.WaitAndRunPending(std::chrono::seconds(5));
    }
    const auto elapsed = Clock::now() - start;
    loop.Stop();
    return elapsed;
}

TEST(ReceiveLoopPacing, ReadsThatTakeAllThereIsComeOncePerPoll) {
    EndlessSource oneLine("+DATA:000001 ABCDEFGHIJKLMNOPQRSTUVWXY\r\n");
    constexpr int kBlocks = 6;
    // The first read is at once; each later one waits for its poll.
    EXPECT_GE(TimeForBlocks(oneLine, kBlocks), (kBlocks - 1) * ReceiveLoop::kIdlePoll * 9 / 10);
}

TEST(ReceiveLoopPacing, AFullBufferIsReadOnAtOnce) {
    EndlessSource flood(std::string(BlockAssembler::kCapacity - 1, 'x') + "\n");
    constexpr int kBlocks = 20;
    EXPECT_LT(TimeForBlocks(flood, kBlocks), (kBlocks / 2) * ReceiveLoop::kIdlePoll);
}

// The receive thread sleeps until its next poll once it has handed a block over: a block
// handled sooner does not wake it early, and it still never returns before the block was
// handled or the hand-over was cancelled.
TEST(ReceiveLoopPacing, AHandOverReturnsOnceHandledAndNotBeforeItsResumeTime) {
    std::atomic<int> handled = 0;
    BlockHandover handover([&](std::string&&) { ++handled; });
    constexpr auto kResume = std::chrono::milliseconds(40);
    Clock::time_point returned;
    bool delivered = false;
    const auto start = Clock::now();
    std::thread receiver([&] {
        delivered = handover.Deliver("+ID:1\r\n", start + kResume);
        returned = Clock::now();
    });
    ASSERT_TRUE(handover.WaitAndRunPending(std::chrono::seconds(5)));
    receiver.join();
    EXPECT_TRUE(delivered);
    EXPECT_EQ(handled, 1);
    EXPECT_GE(returned - start, kResume);
}

TEST(ReceiveLoopPacing, ACancelEndsTheWaitForTheResumeTimeAtOnce) {
    // Stopping the loop while its thread sleeps towards a distant resume time.
    BlockHandover handover([](std::string&&) {});
    const auto start = Clock::now();
    bool delivered = false;
    std::thread receiver(
        [&] { delivered = handover.Deliver("+ID:1\r\n", start + std::chrono::seconds(30)); });
    ASSERT_TRUE(handover.WaitAndRunPending(std::chrono::seconds(5)));
    handover.Cancel();
    receiver.join();
    EXPECT_TRUE(delivered);  // it was handled before the cancel
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
}

}  // namespace
}  // namespace qk
