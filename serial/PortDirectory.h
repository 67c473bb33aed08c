#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "PortIdentity.h"

namespace qk {

// Maps the COM numbers the operator picks (1..14) to device paths. Numbers are assigned
// to the serial ports the system has: USB and ACM adapters first, in a stable order, then
// built-in ports. A pin (--com N=PATH) overrides one number with any path, a
// pseudo-terminal or a network port (rfc2217://HOST:PORT) included, and keeps it whatever
// comes and goes.
//
// Ports come and go (Add, Remove) without renumbering the others: an adapter that stays
// keeps its number, and one that comes back gets its old number again when its by-id
// name matches and the number is free.
class PortDirectory {
  public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 14;

    struct Entry {
        int number;
        std::string path;
        bool pinned;
        PortIdentity identity = {};
        // The number is the system's own name for the port (Windows' COMn): it stays
        // mapped when the adapter behind it goes, only the description changes.
        bool systemNumber = false;
    };

    // An empty directory: every number unmapped until pinned.
    PortDirectory() = default;

    // The serial ports udev knows, numbered.
    static PortDirectory Discover();
    // `ports` numbered: ttyUSB, then ttyACM, then the rest, each by its index; at most 14.
    static PortDirectory FromPorts(std::vector<PortIdentity> ports);
    // Every number n standing for the system's own port `pathPrefix` + n (Windows'
    // "\\.\COMn"), whether or not it is in `known`, which describes those that are.
    static PortDirectory FromSystemNumbers(const std::vector<PortIdentity>& known,
                                           std::string_view pathPrefix);

    // Gives a port that appeared a number (see above); 0 when all are taken or the path
    // has one already, in which case an unpinned entry takes the new description.
    int Add(const PortIdentity& port);
    // Unmaps a port that went away, unless it is pinned; returns the number it had, or 0.
    // A system number stays mapped and forgets the adapter's description.
    int Remove(const std::string& path);

    void Pin(int number, std::string path);
    // The path for a number; empty when the number stands for nothing.
    std::string PathFor(int number) const;
    // Mapped numbers in ascending order.
    std::vector<Entry> Entries() const;
    // The entry of a number; nullptr when the number stands for nothing.
    const Entry* Find(int number) const;
    // "COM1=/dev/ttyUSB0, COM2=/dev/pts/3 (pinned)" or "no serial ports found".
    std::string DescribeMapping() const;

    // Parses "N=PATH" as given to --com. On failure returns nullopt and sets `error`.
    static std::optional<Entry> ParsePin(std::string_view text, std::string& error);
    // "COM2 is given two paths, '/a' and '/b'" when pins give one number two paths (only
    // the last would count, silently); empty when they agree.
    static std::string ConflictingPins(const std::vector<Entry>& pins);

  private:
    bool IsFree(int number) const;

    std::vector<Entry> m_entries;           // sorted by number
    std::map<std::string, int> m_departed;  // by-id name -> the number it had
};

}  // namespace qk
