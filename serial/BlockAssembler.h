#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qk {

// Collects received bytes into blocks for the parser. A block is handed over when the
// latest read ended with a line feed. When the buffer fills without that, everything up
// to its last line feed is handed over and the rest moves to the front, so lines stay
// whole, nothing is dropped and nothing is written past the buffer. Zero bytes are
// ordinary data here.
//
// A line longer than the buffer is held beyond it, up to kLongestLine bytes, and handed
// over whole once its line feed comes: an answer the parser sees cut in two would be
// stored cut short (or empty), and then written back to the device as it was stored.
// A line that runs past kLongestLine is refused as a whole: it is handed over in pieces,
// so that it reaches the log as it streams in, none of which the parser can act on. The
// first starts the line and has no line feed, which the parser leaves alone; each later
// one starts inside the line and never with a "+" followed by anything but another "+",
// so it can neither start an answer nor carry a key the parser knows; the last ends at
// the line's line feed, and what follows it in the same read is a block of its own.
class BlockAssembler {
  public:
    static constexpr std::size_t kCapacity = 2000;
    // Far longer than any answer a device gives (an answer's longest value, the
    // registration content, has 40 bytes by the dialog's limit).
    static constexpr std::size_t kLongestLine = 4 * kCapacity;

    // Where the next read goes: the free space behind the held bytes (never empty).
    std::span<char> FreeSpace();
    // Takes `count` bytes just read into FreeSpace(); returns the blocks that are now
    // complete, in order: usually none or one, two when a refused line ended in this read
    // and whole lines followed it.
    std::vector<std::string> Commit(std::size_t count);
    // The bytes held without a line feed, for a line that will bring no more; nothing when
    // none are held.
    std::optional<std::string> TakeHeld();
    void Clear();
    std::size_t held() const { return m_line.size() + m_held; }

  private:
    // Hands over the buffer's first `count` bytes (after the long line's start, if any)
    // and moves the rest to the front.
    std::string HandOver(std::size_t count);
    void RefusePiece(std::vector<std::string>& blocks);

    std::array<char, kCapacity> m_buffer{};
    std::size_t m_held = 0;
    std::string m_line;       // the start of a line longer than the buffer
    bool m_refusing = false;  // the buffer starts inside a line past kLongestLine
};

}  // namespace qk
