#include "BlockAssembler.h"

#include <algorithm>
#include <cstring>

namespace qk {

std::span<char> BlockAssembler::FreeSpace() {
    return std::span<char>(m_buffer).subspan(m_held);
}

std::optional<std::string> BlockAssembler::Commit(std::size_t count) {
    if (count == 0) {
        return std::nullopt;
    }
    m_held += std::min(count, kCapacity - m_held);
    const char* begin = m_buffer.data();
    if (begin[m_held - 1] == '\n') {
        std::string block(begin, m_held);
        m_held = 0;
        return block;
    }
    if (m_held < kCapacity) {
        return std::nullopt;
    }
    const char* held_end = begin + m_held;
    const auto lastLineFeed =
        std::find(std::make_reverse_iterator(held_end), std::make_reverse_iterator(begin), '\n');
    const std::size_t handOver = lastLineFeed.base() == begin
                                     ? m_held
                                     : static_cast<std::size_t>(lastLineFeed.base() - begin);
    std::string block(begin, handOver);
    std::memmove(m_buffer.data(), begin + handOver, m_held - handOver);
    m_held -= handOver;
    return block;
}

std::optional<std::string> BlockAssembler::TakeHeld() {
    if (m_held == 0) {
        return std::nullopt;
    }
    std::string rest(m_buffer.data(), m_held);
    m_held = 0;
    return rest;
}

}  // namespace qk
