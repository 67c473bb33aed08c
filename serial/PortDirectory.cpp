#include "PortDirectory.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <tuple>

namespace qk {
namespace {

namespace fs = std::filesystem;

// The device families, in the order their members get numbers.
constexpr std::array<std::string_view, 3> kFamilies = {"ttyUSB", "ttyACM", "ttyS"};

struct Candidate {
    std::size_t family;
    unsigned index;
    std::string name;
};

// "ttyUSB12" -> family of "ttyUSB", index 12; names with anything else after the prefix
// (ttyUSB, ttySAC0, ...) are not ours.
std::optional<Candidate> Classify(const std::string& name) {
    for (std::size_t family = 0; family < kFamilies.size(); ++family) {
        const std::string_view prefix = kFamilies[family];
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const char* first = name.data() + prefix.size();
        const char* last = name.data() + name.size();
        unsigned index = 0;
        const auto [end, ec] = std::from_chars(first, last, index);
        if (ec == std::errc() && end == last) {
            return Candidate{family, index, name};
        }
    }
    return std::nullopt;
}

// Every ttyS number has a device node whether or not a UART answers behind it. A real one
// has a parent device in sysfs, and serial_core reports its UART type: 0 is PORT_UNKNOWN,
// the placeholder the 8250 driver registers for ports it did not find.
bool HasRealUart(const fs::path& sysRoot, const std::string& name) {
    const fs::path tty = sysRoot / "class" / "tty" / name;
    std::error_code ec;
    if (!fs::exists(tty / "device", ec)) {
        return false;
    }
    std::ifstream type(tty / "type");
    int portType = -1;
    if (type >> portType) {
        return portType != 0;
    }
    return true;
}

// The kernel writes its messages to the consoles listed here ("ttyS0 tty0"); a serial
// console is in the kernel's use, not a free port for a device.
bool IsKernelConsole(const fs::path& sysRoot, const std::string& name) {
    std::ifstream active(sysRoot / "class" / "tty" / "console" / "active");
    std::string console;
    while (active >> console) {
        if (console == name) {
            return true;
        }
    }
    return false;
}

}  // namespace

PortDirectory PortDirectory::Discover(const std::string& devRoot, const std::string& sysRoot) {
    std::vector<Candidate> found;
    std::error_code ec;
    fs::directory_iterator it(devRoot, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (auto candidate = Classify(it->path().filename().string())) {
            const bool isUart = kFamilies[candidate->family] == "ttyS";
            if (!isUart ||
                (HasRealUart(sysRoot, candidate->name) && !IsKernelConsole(sysRoot, candidate->name))) {
                found.push_back(std::move(*candidate));
            }
        }
    }
    std::sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
        return std::tie(a.family, a.index) < std::tie(b.family, b.index);
    });

    PortDirectory directory;
    int number = kFirstPort;
    for (const Candidate& candidate : found) {
        if (number > kLastPort) {
            break;
        }
        directory.m_entries.push_back(
            Entry{number++, (fs::path(devRoot) / candidate.name).string(), false});
    }
    return directory;
}

void PortDirectory::Pin(int number, std::string path) {
    if (number < kFirstPort || number > kLastPort) {
        return;
    }
    const auto at = std::lower_bound(m_entries.begin(), m_entries.end(), number,
                                     [](const Entry& e, int n) { return e.number < n; });
    if (at != m_entries.end() && at->number == number) {
        at->path = std::move(path);
        at->pinned = true;
    } else {
        m_entries.insert(at, Entry{number, std::move(path), true});
    }
}

std::string PortDirectory::PathFor(int number) const {
    for (const Entry& entry : m_entries) {
        if (entry.number == number) {
            return entry.path;
        }
    }
    return {};
}

std::vector<PortDirectory::Entry> PortDirectory::Entries() const {
    return m_entries;
}

std::string PortDirectory::DescribeMapping() const {
    if (m_entries.empty()) {
        return "no serial ports found";
    }
    std::string text;
    for (const Entry& entry : m_entries) {
        if (!text.empty()) {
            text += ", ";
        }
        text += "COM" + std::to_string(entry.number) + "=" + entry.path;
        if (entry.pinned) {
            text += " (pinned)";
        }
    }
    return text;
}

std::optional<PortDirectory::Entry> PortDirectory::ParsePin(std::string_view text,
                                                            std::string& error) {
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) {
        error = "expected N=PATH (for example 3=/dev/ttyUSB0), got '" + std::string(text) + "'";
        return std::nullopt;
    }
    const std::string_view numberText = text.substr(0, equals);
    const std::string_view path = text.substr(equals + 1);
    int number = 0;
    const char* last = numberText.data() + numberText.size();
    const auto [end, ec] = std::from_chars(numberText.data(), last, number);
    if (numberText.empty() || ec != std::errc() || end != last || number < kFirstPort ||
        number > kLastPort) {
        error = "'" + std::string(numberText) + "' is not a port number (" +
                std::to_string(kFirstPort) + " to " + std::to_string(kLastPort) + ")";
        return std::nullopt;
    }
    if (path.empty()) {
        error = "no device path after '" + std::string(numberText) + "='";
        return std::nullopt;
    }
    return Entry{number, std::string(path), true};
}

std::string PortDirectory::ConflictingPins(const std::vector<Entry>& pins) {
    for (std::size_t i = 0; i < pins.size(); ++i) {
        for (std::size_t j = i + 1; j < pins.size(); ++j) {
            if (pins[i].number == pins[j].number && pins[i].path != pins[j].path) {
                return "COM" + std::to_string(pins[i].number) + " is given two paths, '" +
                       pins[i].path + "' and '" + pins[j].path + "'";
            }
        }
    }
    return {};
}

}  // namespace qk
