// How reads become blocks, and the bound on what waits for the owner. How often the loop
// reads is a matter of time, which bench/ReceivePacing measures. The loop itself, a busy owner,
// Stop and a hang-up, runs on a real port in the fault tests (DeviceHangsUp) and behind the
// controller (ConfigControllerTest).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "BlockAssembler.h"
#include "BlockHandover.h"
#include "ReceiveLoop.h"

namespace qk {
namespace {

using namespace std::chrono_literals;
using Blocks = std::vector<std::string>;

TEST(BlockAssembler, HandsOverWhatEndsInALineFeedAndHoldsTheRest) {
    const std::string a(1500, 'a'), b(500, 'b'), x(BlockAssembler::kCapacity, 'x');
    const std::string zero("+ID:1\0junk\r\n", 12);
    const std::pair<Blocks, Blocks> cases[] = {
        {{"+ID:1", "2\r\n"}, {"+ID:12\r\n"}},
        {{"+ID:1\r\n+PP", "ORT:2\r\n"}, {"+ID:1\r\n+PPORT:2\r\n"}},  // held to the line feed
        {{"+ID:1\r", "\r"}, {}},                                     // CR alone ends nothing
        {{"+ID:1\r", "\n"}, {"+ID:1\r\n"}},
        {{zero}, {zero}},
        // A full buffer hands over its whole lines and keeps the rest, or all of itself
        // when it holds no line feed at all; either way there is room again after.
        {{a + "\n" + b.substr(1), "b\r\n"}, {a + "\n", b + "\r\n"}},
        {{x.substr(1), "x", "+ID:1\r\n"}, {x, "+ID:1\r\n"}},
    };
    for (const auto& [reads, expected] : cases) {
        BlockAssembler assembler;
        Blocks blocks;
        for (const auto& read : reads) {
            const auto space = assembler.FreeSpace();
            if (auto block = assembler.Commit(read.copy(space.data(), space.size()))) {
                blocks.push_back(std::move(*block));
            }
        }
        EXPECT_EQ(blocks, expected);
    }
}

// The queue is bounded: past kMaxQueuedBytes the receive thread waits for the owner, who
// frees it by running blocks, or by releasing it without losing what it carried.
TEST(BlockHandoverBound, AFullQueueHoldsTheReceiveThreadUntilRunOrReleased) {
    for (const bool release : {false, true}) {
        std::size_t handledBytes = 0;
        BlockHandover handover([&](std::string&& block) { handledBytes += block.size(); });
        const std::string block(BlockAssembler::kCapacity, 'x');
        const std::size_t fits = BlockHandover::kMaxQueuedBytes / block.size() + 1;
        for (std::size_t i = 0; i < fits; ++i) {
            ASSERT_TRUE(handover.Deliver(block));
        }
        std::atomic<bool> returned = false;
        bool result = false;
        std::thread receiver([&] {
            result = handover.Deliver(block);
            returned = true;
        });
        std::this_thread::sleep_for(50ms);  // long enough to see it does not return
        EXPECT_FALSE(returned);
        if (release) {
            handover.Release();
        } else {
            handover.RunPending();
        }
        receiver.join();
        EXPECT_EQ(result, !release);
        handover.RunPending();
        EXPECT_EQ(handledBytes, (fits + 1) * block.size());
    }
}

}  // namespace
}  // namespace qk
