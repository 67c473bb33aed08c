// One byte stream, chunked as the input says: whatever the chunking, the blocks handed over
// are the stream's bytes in order, none lost or doubled, none longer than the longest line
// held; no line of up to that length is cut; and a block that starts inside a line never
// starts with "+" and then another byte than "+", so the parser cannot take it for an
// answer.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "BlockAssembler.h"

namespace {

using qk::BlockAssembler;

// The length of the line around `position`, its line feed included (to the stream's end
// when none follows).
std::size_t LineLength(const std::string& stream, std::size_t position) {
    const auto before = stream.rfind('\n', position - 1);
    const std::size_t start = before == std::string::npos ? 0 : before + 1;
    const auto end = stream.find('\n', position);
    return (end == std::string::npos ? stream.size() : end + 1) - start;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first half of the input chooses chunk sizes, the second is the stream.
    const std::size_t split = size / 2;
    const std::string stream(reinterpret_cast<const char*>(data + split), size - split);
    BlockAssembler assembler;
    std::string handedOver;
    std::size_t position = 0;
    std::size_t chooser = 0;
    while (position < stream.size()) {
        const auto space = assembler.FreeSpace();
        if (space.empty()) {
            std::abort();
        }
        // Chunks up to 2 KB, so a long stream can fill the buffer in one read too.
        std::size_t chunk = 1 + data[chooser++ % split] * 8u;
        chunk = std::min({chunk, space.size(), stream.size() - position});
        stream.copy(space.data(), chunk, position);
        position += chunk;
        for (const std::string& block : assembler.Commit(chunk)) {
            if (block.empty() || block.size() > BlockAssembler::kLongestLine) {
                std::abort();
            }
            const std::size_t start = handedOver.size();
            const bool startsInsideLine = start > 0 && stream[start - 1] != '\n';
            if (startsInsideLine && (LineLength(stream, start) <= BlockAssembler::kLongestLine ||
                                     (block.size() >= 2 && block[0] == '+' && block[1] != '+'))) {
                std::abort();
            }
            handedOver += block;
        }
    }
    if (handedOver.size() + assembler.held() != stream.size() ||
        stream.compare(0, handedOver.size(), handedOver) != 0) {
        std::abort();
    }
    return 0;
}
