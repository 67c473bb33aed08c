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
#include "ResponseParser.h"

namespace qk {
namespace {

using namespace std::chrono_literals;
using Blocks = std::vector<std::string>;

// The blocks `reads` make, each read as much of its text as the free space takes, the rest
// read next.
Blocks Assemble(const std::vector<std::string>& reads) {
    BlockAssembler assembler;
    Blocks blocks;
    for (std::string_view read : reads) {
        while (!read.empty()) {
            const auto space = assembler.FreeSpace();
            const std::size_t count = read.copy(space.data(), space.size());
            read.remove_prefix(count);
            for (std::string& block : assembler.Commit(count)) {
                blocks.push_back(std::move(block));
            }
        }
    }
    return blocks;
}

TEST(BlockAssembler, HandsOverWhatEndsInALineFeedAndHoldsTheRest) {
    const std::string a(1500, 'a'), b(500, 'b'), x(BlockAssembler::kCapacity, 'x');
    const std::string zero("+ID:1\0junk\r\n", 12);
    const std::pair<Blocks, Blocks> cases[] = {
        {{"+ID:1", "2\r\n"}, {"+ID:12\r\n"}},
        {{"+ID:1\r\n+PP", "ORT:2\r\n"}, {"+ID:1\r\n+PPORT:2\r\n"}},  // held to the line feed
        {{"+ID:1\r", "\r"}, {}},                                     // CR alone ends nothing
        {{"+ID:1\r", "\n"}, {"+ID:1\r\n"}},
        {{zero}, {zero}},
        // A full buffer hands over its whole lines and keeps the rest, so there is room
        // again after; a line longer than the buffer is held until its line feed.
        {{a + "\n" + b.substr(1), "b\r\n"}, {a + "\n", b + "\r\n"}},
        {{x.substr(1), "x", "+ID:1\r\n"}, {x + "+ID:1\r\n"}},
    };
    for (const auto& [reads, expected] : cases) {
        EXPECT_EQ(Assemble(reads), expected);
    }
}

// An answer longer than the buffer is handed over whole, however it was read, so its value
// is stored whole and never cut short. One past the longest line held is handed over in
// pieces none of which the parser acts on; the answers after it are taken as ever.
TEST(BlockAssembler, AnAnswerLongerThanABlockIsTakenWholeOrNotAtAll) {
    for (const std::size_t length : {std::size_t{2500}, BlockAssembler::kLongestLine - 9,
                                     BlockAssembler::kLongestLine - 8, std::size_t{20000}}) {
        // The value ends in "+ENROL:x" so that a piece cut from its end would look like an
        // answer of its own.
        const std::string value = std::string(length - 8, 'v') + "+ENROL:x";
        const std::string answer = "+ENROL:" + value + "\r\n";
        const bool whole = answer.size() <= BlockAssembler::kLongestLine;
        for (const std::size_t readSize : {std::size_t{1}, std::size_t{7}, std::size_t{1999},
                                           BlockAssembler::kCapacity, std::size_t{30000}}) {
            std::vector<std::string> reads;
            const std::string stream = "+ID:1\r\n" + answer + "+ID:2\r\n";
            for (std::size_t at = 0; at < stream.size(); at += readSize) {
                reads.push_back(stream.substr(at, readSize));
            }
            const Blocks blocks = Assemble(reads);
            DeviceState state;
            NullDeviceView view;
            ResponseParser parser(state, view);
            std::string joined;
            for (const std::string& block : blocks) {
                parser.HandleBlock(block);
                joined += block;
            }
            SCOPED_TRACE(testing::Message()
                         << answer.size() << " bytes read " << readSize << " at a time");
            EXPECT_EQ(joined, stream);
            EXPECT_EQ(state.advanced.registerData, whole ? value : "");
            EXPECT_EQ(state.statusText[1], "ID:2");
        }
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
