// One byte stream, chunked as the input says: whatever the chunking, the blocks handed over
// are the stream's bytes in order, none lost or doubled, none larger than the buffer, each
// ending in a line feed unless the buffer filled up without one.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "BlockAssembler.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first half of the input chooses chunk sizes, the second is the stream.
    const std::size_t split = size / 2;
    const std::string stream(reinterpret_cast<const char*>(data + split), size - split);
    qk::BlockAssembler assembler;
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
        if (auto block = assembler.Commit(chunk)) {
            if (block->empty() || block->size() > qk::BlockAssembler::kCapacity) {
                std::abort();
            }
            const bool endsLine = block->back() == '\n';
            if (!endsLine && block->size() != qk::BlockAssembler::kCapacity &&
                block->find('\n') != std::string::npos) {
                std::abort();
            }
            handedOver += *block;
        }
    }
    if (handedOver.size() + assembler.held() != stream.size() ||
        stream.compare(0, handedOver.size(), handedOver) != 0) {
        std::abort();
    }
    return 0;
}
