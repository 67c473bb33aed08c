#include <gtest/gtest.h>

#include "BlockAssembler.h"

namespace qk {
namespace {

// The receive loop itself runs on a real port: see CSerialPortTest.cpp.
using Blocks = std::vector<std::string>;

// Feeds the reads to an assembler as the receive loop does; returns what it handed over.
Blocks Assemble(const Blocks& reads) {
    BlockAssembler assembler;
    Blocks blocks;
    for (const auto& read : reads) {
        const auto space = assembler.FreeSpace();
        if (auto block = assembler.Commit(read.copy(space.data(), space.size()))) {
            blocks.push_back(std::move(*block));
        }
    }
    return blocks;
}

TEST(BlockAssembler, HandsOverWhatEndsInALineFeedAndHoldsTheRest) {
    const std::string a(1500, 'a'), b(500, 'b'), x(BlockAssembler::kCapacity, 'x');
    const std::string zero("+ID:1\0junk\r\n", 12);
    const std::pair<Blocks, Blocks> cases[] = {
        {{"+ID:1", "2\r\n"}, {"+ID:12\r\n"}},
        {{"+ID:1\r\n+PPORT:2\r\n"}, {"+ID:1\r\n+PPORT:2\r\n"}},
        {{"+ID:1\r\n+PP", "ORT:2\r\n"}, {"+ID:1\r\n+PPORT:2\r\n"}},  // held to the line feed
        {{"+ID:1\r", "\r"}, {}},                                     // CR alone ends nothing
        {{"+ID:1\r", "\n"}, {"+ID:1\r\n"}},
        {{zero}, {zero}},
        // A full buffer hands over its whole lines and keeps the rest, or all of itself
        // when it holds no line feed at all; either way there is room again after.
        {{a + "\n" + b.substr(1), "b\r\n"}, {a + "\n", b + "\r\n"}},
        {{x.substr(1), "x", "+ID:1\r\n"}, {x, "+ID:1\r\n"}},
    };
    for (const auto& [reads, blocks] : cases) {
        EXPECT_EQ(Assemble(reads), blocks);
    }
}

}  // namespace
}  // namespace qk
