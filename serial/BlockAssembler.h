#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>

namespace qk {

// Collects received bytes into blocks for the parser. A block is handed over when the
// latest read ended with a line feed. When the buffer fills without that, everything up
// to its last line feed is handed over and the rest moves to the front (or, with no line
// feed at all, the whole buffer goes), so lines stay whole, nothing is dropped and nothing
// is written past the buffer. Zero bytes are ordinary data here.
class BlockAssembler {
  public:
    static constexpr std::size_t kCapacity = 2000;

    // Where the next read goes: the free space behind the held bytes (never empty).
    std::span<char> FreeSpace();
    // Takes `count` bytes just read into FreeSpace(); returns a block when one is complete.
    std::optional<std::string> Commit(std::size_t count);
    // The bytes held without a line feed, for a line that will bring no more; nothing when
    // none are held.
    std::optional<std::string> TakeHeld();
    void Clear() { m_held = 0; }
    std::size_t held() const { return m_held; }

  private:
    std::array<char, kCapacity> m_buffer{};
    std::size_t m_held = 0;
};

}  // namespace qk
