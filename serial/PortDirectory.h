#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qk {

// Maps the COM numbers the operator picks (1..14) to device paths. Numbers are assigned
// to the serial devices found at start; a pin (--com N=PATH) overrides one number with
// any path, a pseudo-terminal included.
class PortDirectory {
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 14;

    struct Entry {
        int number;
        std::string path;
        bool pinned;
    };

    // An empty directory: every number unmapped until pinned.
    PortDirectory() = default;

    // Assigns numbers to the serial devices present: USB and ACM adapters first, in a
    // stable order, then ttyS ports that have a real UART and are not the kernel's console. `devRoot` and `sysRoot` let
    // tests present a fake device tree.
    static PortDirectory Discover(const std::string& devRoot = "/dev",
                                  const std::string& sysRoot = "/sys");

    void Pin(int number, std::string path);
    // The path for a number; empty when the number stands for nothing.
    std::string PathFor(int number) const;
    // Mapped numbers in ascending order.
    std::vector<Entry> Entries() const;
    // "COM1=/dev/ttyUSB0, COM2=/dev/pts/3 (pinned)" or "no serial ports found".
    std::string DescribeMapping() const;

    // Parses "N=PATH" as given to --com. On failure returns nullopt and sets `error`.
    static std::optional<Entry> ParsePin(std::string_view text, std::string& error);
    // "COM2 is given two paths, '/a' and '/b'" when pins give one number two paths (only
    // the last would count, silently); empty when they agree.
    static std::string ConflictingPins(const std::vector<Entry>& pins);

private:
    std::vector<Entry> m_entries;  // sorted by number
};

}  // namespace qk
