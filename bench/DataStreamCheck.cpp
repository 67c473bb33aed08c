#include "DataStreamCheck.h"

#include <charconv>
#include <optional>

namespace qk::bench {
namespace {

constexpr std::uint32_t kNumbering = 1'000'000;  // six digits, then it wraps
constexpr std::size_t kDigits = 6;
// A jump further than this is taken for a corrupt number rather than lost lines.
constexpr std::uint32_t kLargestGap = kNumbering / 10;

std::optional<std::uint32_t> SequenceNumber(std::string_view line) {
    const std::string_view prefix = sim::DeviceModel::kDataPrefix;
    if (line.size() < prefix.size() + kDigits) {
        return std::nullopt;
    }
    const char* first = line.data() + prefix.size();
    std::uint32_t number = 0;
    const auto [end, error] = std::from_chars(first, first + kDigits, number);
    if (error != std::errc{} || end != first + kDigits) {
        return std::nullopt;
    }
    return number;
}

// The device's own generator, one line ahead: `expected` is the line that must come next.
class Stream {
  public:
    Stream() : m_expected(m_device.NextDataLine()) {}

    const std::string& expected() const { return m_expected; }
    void Skip(std::uint32_t lines) {
        for (std::uint32_t i = 0; i < lines; ++i) {
            m_expected = m_device.NextDataLine();
        }
    }

  private:
    sim::DeviceModel m_device;
    std::string m_expected;
};

}  // namespace

DataStreamCheck::Result DataStreamCheck::Check(std::string_view log) {
    Result result;
    Stream stream;
    std::size_t start = 0;
    while (start < log.size()) {
        const std::size_t lineFeed = log.find('\n', start);
        if (lineFeed == std::string_view::npos) {
            break;
        }
        const std::string_view line = log.substr(start, lineFeed + 1 - start);
        start = lineFeed + 1;
        if (!line.starts_with(sim::DeviceModel::kDataPrefix)) {
            continue;
        }
        ++result.lines;
        if (line == stream.expected()) {
            stream.Skip(1);
            continue;
        }
        const auto found = SequenceNumber(line);
        const auto wanted = SequenceNumber(stream.expected());
        if (!found || !wanted) {
            ++result.corrupt;
            continue;
        }
        const std::uint32_t gap = (*found + kNumbering - *wanted) % kNumbering;
        if (gap > kLargestGap) {
            ++result.corrupt;
            continue;
        }
        stream.Skip(gap);
        if (line == stream.expected()) {
            result.lost += gap;
        } else {
            ++result.corrupt;
        }
        stream.Skip(1);
    }
    return result;
}

}  // namespace qk::bench
