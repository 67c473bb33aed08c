#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>

#include "BlockAssembler.h"
#include "BlockHandover.h"
#include "ReceiveLoop.h"

namespace qk {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Blocks = std::vector<std::string>;

// Feeds the assembler as reads would and collects what it hands over.
Blocks Assemble(const std::vector<std::string>& reads, BlockAssembler& assembler) {
    Blocks blocks;
    for (const auto& read : reads) {
        auto space = assembler.FreeSpace();
        EXPECT_LE(read.size(), space.size());
        read.copy(space.data(), read.size());
        if (auto block = assembler.Commit(read.size())) {
            blocks.push_back(std::move(*block));
        }
    }
    return blocks;
}

Blocks Assemble(const std::vector<std::string>& reads) {
    BlockAssembler assembler;
    return Assemble(reads, assembler);
}

TEST(BlockAssemblerTest, ABlockEndsOnlyWhenTheLatestReadEndsInALineFeed) {
    EXPECT_THAT(Assemble({"+ID:1", "2\r\n"}), ElementsAre("+ID:12\r\n"));
    EXPECT_THAT(Assemble({"+ID:1\r\n+PPORT:2\r\n"}), ElementsAre("+ID:1\r\n+PPORT:2\r\n"));
    EXPECT_THAT(Assemble({"+ID:1\r\n+PP", "ORT:2\r\n"}), ElementsAre("+ID:1\r\n+PPORT:2\r\n"));
    EXPECT_THAT(Assemble({"+ID:1\r", "\r"}), IsEmpty()) << "a carriage return alone ends nothing";
    EXPECT_THAT(Assemble({"+ID:1\r", "\n"}), ElementsAre("+ID:1\r\n"));
}

TEST(BlockAssemblerTest, ZeroBytesAreHandedOverWithTheRestOfTheBlock) {
    const std::string withZero("+ID:1\0junk\r\n", 12);
    EXPECT_THAT(Assemble({withZero}), ElementsAre(withZero));
}

TEST(BlockAssemblerTest, AFullBufferHandsOverWholeLinesAndKeepsTheRest) {
    BlockAssembler assembler;
    const std::string lines(1500, 'a');
    const std::string partial(500, 'b');
    const Blocks blocks = Assemble({lines + "\n" + partial.substr(0, 499)}, assembler);
    ASSERT_THAT(blocks, ElementsAre(lines + "\n"));
    EXPECT_EQ(assembler.held(), 499u);
    EXPECT_THAT(Assemble({"b\r\n"}, assembler), ElementsAre(partial + "\r\n"));
}

TEST(BlockAssemblerTest, AFullBufferWithoutALineFeedIsHandedOverWhole) {
    BlockAssembler assembler;
    const std::string noLineEnd(BlockAssembler::kCapacity, 'x');
    EXPECT_THAT(Assemble({noLineEnd.substr(0, 1999), "x"}, assembler), ElementsAre(noLineEnd));
    EXPECT_EQ(assembler.held(), 0u);
    EXPECT_EQ(assembler.FreeSpace().size(), BlockAssembler::kCapacity);
}

// A byte source that returns scripted reads, then nothing.
class ScriptedSource final : public ByteSource {
  public:
    void Queue(std::string chunk) {
        std::lock_guard lock(m_mutex);
        m_chunks.push_back(std::move(chunk));
    }
    int Read(char* buffer, unsigned capacity) override {
        std::lock_guard lock(m_mutex);
        ++m_reads;
        if (m_chunks.empty()) {
            return 0;
        }
        std::string chunk = std::move(m_chunks.front());
        m_chunks.pop_front();
        const auto count = std::min<std::size_t>(chunk.size(), capacity);
        chunk.copy(buffer, count);
        return static_cast<int>(count);
    }
    bool IsOpen() const override { return m_open; }
    void Close() { m_open = false; }
    int reads() {
        std::lock_guard lock(m_mutex);
        return m_reads;
    }

  private:
    std::mutex m_mutex;
    std::deque<std::string> m_chunks;
    std::atomic<bool> m_open{true};
    int m_reads = 0;
};

class ReceiveLoopTest : public ::testing::Test {
  protected:
    // Runs hand-overs on this thread, as the window thread would, until `count` blocks came.
    void HandleBlocks(std::size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (handled.size() < count && std::chrono::steady_clock::now() < deadline) {
            handover.WaitAndRunPending(10ms);
        }
    }

    ScriptedSource source;
    Blocks handled;
    BlockHandover handover{[this](std::string&& block) { handled.push_back(std::move(block)); }};
    ReceiveLoop loop{source, handover};
};

TEST_F(ReceiveLoopTest, BlocksReachTheOwnerThreadInOrder) {
    source.Queue("+ID:1");
    source.Queue("\r\n");
    source.Queue("+PPORT:2\r\n+PIPADD:a\r\n");
    loop.Start();
    HandleBlocks(2);
    EXPECT_THAT(handled, ElementsAre("+ID:1\r\n", "+PPORT:2\r\n+PIPADD:a\r\n"));
}

TEST_F(ReceiveLoopTest, AnIdlePortHandsNothingOverAndKeepsPolling) {
    loop.Start();
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (source.reads() < 3 && std::chrono::steady_clock::now() < deadline) {
        handover.WaitAndRunPending(10ms);
    }
    EXPECT_GE(source.reads(), 3);
    EXPECT_THAT(handled, IsEmpty());
}

TEST(ReceiveLoopStopTest, StoppingWhileABlockWaitsIsPromptAndTheBlockNeverRuns) {
    ScriptedSource source;
    std::atomic<bool> blockWaiting{false};
    bool ran = false;
    BlockHandover handover([&](std::string&&) { ran = true; }, [&] { blockWaiting = true; });
    ReceiveLoop loop(source, handover);
    source.Queue("+ID:1\r\n");
    loop.Start();
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!blockWaiting && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    ASSERT_TRUE(blockWaiting);
    const auto start = std::chrono::steady_clock::now();
    loop.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
    EXPECT_FALSE(handover.RunPending());
    EXPECT_FALSE(ran);
}

TEST_F(ReceiveLoopTest, ARestartBeginsWithAnEmptyBuffer) {
    source.Queue("+ID:held-from-the-first-opening");
    loop.Start();
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (source.reads() < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    loop.Start();  // ends the first loop; its held bytes are dropped
    source.Queue("+ID:2\r\n");
    HandleBlocks(1);
    EXPECT_THAT(handled, ElementsAre("+ID:2\r\n"));
}

}  // namespace
}  // namespace qk
