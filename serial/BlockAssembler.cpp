#include "BlockAssembler.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

namespace qk {

std::span<char> BlockAssembler::FreeSpace() {
    return std::span<char>(m_buffer).subspan(m_held);
}

std::vector<std::string> BlockAssembler::Commit(std::size_t count) {
    std::vector<std::string> blocks;
    if (count == 0) {
        return blocks;
    }
    m_held += std::min(count, kCapacity - m_held);
    const std::string_view held(m_buffer.data(), m_held);
    if (m_refusing) {
        const auto lineEnd = held.find('\n');
        if (lineEnd == std::string_view::npos) {
            if (m_held == kCapacity) {
                RefusePiece(blocks);
            }
            return blocks;
        }
        // The refused line ends here; what follows is taken as any other read.
        blocks.push_back(HandOver(lineEnd + 1));
        m_refusing = false;
        if (m_held == 0) {
            return blocks;
        }
    }
    const std::string_view rest(m_buffer.data(), m_held);
    if (rest.back() == '\n') {
        blocks.push_back(HandOver(m_held));
        return blocks;
    }
    if (m_held < kCapacity) {
        return blocks;
    }
    if (const auto lastLineEnd = rest.rfind('\n'); lastLineEnd != std::string_view::npos) {
        blocks.push_back(HandOver(lastLineEnd + 1));
        return blocks;
    }
    // A full buffer without a line feed: one line goes on beyond it.
    if (m_line.size() + kCapacity < kLongestLine) {
        m_line.append(rest);
        m_held = 0;
        return blocks;
    }
    RefusePiece(blocks);
    m_refusing = true;
    return blocks;
}

std::string BlockAssembler::HandOver(std::size_t count) {
    std::string block = std::exchange(m_line, std::string());
    block.append(m_buffer.data(), count);
    std::memmove(m_buffer.data(), m_buffer.data() + count, m_held - count);
    m_held -= count;
    return block;
}

void BlockAssembler::RefusePiece(std::vector<std::string>& blocks) {
    // The piece that follows starts with the bytes kept back here: never "+" and then a
    // byte other than "+".
    const bool plusThenOther = m_buffer[m_held - 2] == '+' && m_buffer[m_held - 1] != '+';
    blocks.push_back(HandOver(m_held - (plusThenOther ? 1 : 2)));
}

std::optional<std::string> BlockAssembler::TakeHeld() {
    if (held() == 0) {
        return std::nullopt;
    }
    std::string rest = HandOver(m_held);
    m_refusing = false;
    return rest;
}

void BlockAssembler::Clear() {
    m_held = 0;
    m_line.clear();
    m_refusing = false;
}

}  // namespace qk
