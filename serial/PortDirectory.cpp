#include "PortDirectory.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <system_error>
#include <tuple>

#include "NetworkAddress.h"
#include "SystemPorts.h"

namespace qk {
namespace {

namespace fs = std::filesystem;

// The device families, in the order their members get numbers; anything else comes last.
constexpr std::array<std::string_view, 3> kFamilies = {"ttyUSB", "ttyACM", "ttyS"};

// Where a port goes in the numbering: its family, then its index ("ttyUSB12": 0, 12).
std::tuple<std::size_t, unsigned, std::string> SortKey(const PortIdentity& port) {
    const std::string name = fs::path(port.path).filename().string();
    for (std::size_t family = 0; family < kFamilies.size(); ++family) {
        const std::string_view prefix = kFamilies[family];
        unsigned index = 0;
        const char* last = name.data() + name.size();
        if (name.starts_with(prefix)) {
            const auto [end, ec] = std::from_chars(name.data() + prefix.size(), last, index);
            if (ec == std::errc() && end == last) {
                return {family, index, name};
            }
        }
    }
    return {kFamilies.size(), 0, name};
}

}  // namespace

PortDirectory PortDirectory::FromPorts(std::vector<PortIdentity> ports) {
    std::ranges::sort(ports, {}, SortKey);
    PortDirectory directory;
    for (auto& port : ports) {
        if (directory.Add(port) == 0) {
            break;
        }
    }
    return directory;
}

PortDirectory PortDirectory::FromSystemNumbers(const std::vector<PortIdentity>& known,
                                               std::string_view pathPrefix) {
    PortDirectory directory;
    for (int number = kFirstPort; number <= kLastPort; ++number) {
        PortIdentity identity;
        identity.path = std::string(pathPrefix) + std::to_string(number);
        if (const auto found = std::ranges::find(known, identity.path, &PortIdentity::path);
            found != known.end()) {
            identity = *found;
        }
        directory.m_entries.push_back(Entry{number, identity.path, false, identity, true});
    }
    return directory;
}

int PortDirectory::Add(const PortIdentity& port) {
    if (const auto known = std::ranges::find(m_entries, port.path, &Entry::path);
        known != m_entries.end()) {
        if (!known->pinned) {
            known->identity = port;
        }
        return 0;
    }
    int number = 0;
    if (const auto remembered = m_departed.find(port.byId);
        !port.byId.empty() && remembered != m_departed.end() && IsFree(remembered->second)) {
        number = remembered->second;
    }
    // Numbers kept for adapters that may come back are the last to be given away.
    for (const bool avoidRemembered : {true, false}) {
        for (int candidate = kFirstPort; number == 0 && candidate <= kLastPort; ++candidate) {
            const bool remembered = std::ranges::any_of(
                m_departed, [&](const auto& departed) { return departed.second == candidate; });
            if (IsFree(candidate) && !(avoidRemembered && remembered)) {
                number = candidate;
            }
        }
    }
    if (number == 0) {
        return 0;
    }
    m_departed.erase(port.byId);
    const auto at = std::ranges::lower_bound(m_entries, number, {}, &Entry::number);
    m_entries.insert(at, Entry{number, port.path, false, port});
    return number;
}

int PortDirectory::Remove(const std::string& path) {
    const auto found = std::ranges::find(m_entries, path, &Entry::path);
    if (found == m_entries.end() || found->pinned) {
        return 0;
    }
    const int number = found->number;
    if (found->systemNumber) {
        found->identity = PortIdentity{};
        found->identity.path = path;
        return number;
    }
    if (!found->identity.byId.empty()) {
        m_departed[found->identity.byId] = number;
    }
    m_entries.erase(found);
    return number;
}

bool PortDirectory::IsFree(int number) const {
    return Find(number) == nullptr;
}

const PortDirectory::Entry* PortDirectory::Find(int number) const {
    const auto found = std::ranges::find(m_entries, number, &Entry::number);
    return found == m_entries.end() ? nullptr : &*found;
}

void PortDirectory::Pin(int number, std::string path) {
    if (number < kFirstPort || number > kLastPort) {
        return;
    }
    const auto at = std::lower_bound(m_entries.begin(), m_entries.end(), number,
                                     [](const Entry& e, int n) { return e.number < n; });
    // A network port is no device node for the system to describe.
    PortIdentity identity =
        IsNetworkPath(path) ? PortIdentity{} : IdentifyPort(path).value_or(PortIdentity{});
    identity.path = path;
    if (at != m_entries.end() && at->number == number) {
        at->path = std::move(path);
        at->pinned = true;
        at->identity = std::move(identity);
    } else {
        m_entries.insert(at, Entry{number, std::move(path), true, std::move(identity)});
    }
}

std::string PortDirectory::PathFor(int number) const {
    const Entry* entry = Find(number);
    return entry != nullptr ? entry->path : std::string();
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
