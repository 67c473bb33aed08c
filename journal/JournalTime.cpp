#include "JournalTime.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace qk {
namespace {

// The number of `digits` digits at `at`, within [low, high]; -1 when there is none.
int Field(std::string_view text, std::size_t at, std::size_t digits, int low, int high) {
    if (at + digits > text.size()) {
        return -1;
    }
    int value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return -1;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value >= low && value <= high ? value : -1;
}

}  // namespace

std::string JournalTimeNow() {
    const auto now = std::chrono::system_clock::now();
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const auto seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + length, sizeof text - length, ".%03dZ", static_cast<int>(ms % 1000));
    return text;
}

std::optional<std::string> JournalTimeFrom(std::string_view date) {
    if (date.ends_with('Z') || date.ends_with('z')) {
        date.remove_suffix(1);
    }
    if (date.size() < 10) {
        return std::nullopt;
    }
    const int year = Field(date, 0, 4, 1970, 9999);
    const int month = Field(date, 5, 2, 1, 12);
    if (year < 0 || month < 0 || date[4] != '-' || date[7] != '-') {
        return std::nullopt;
    }
    const std::chrono::year_month_day last{std::chrono::year(year) / month / std::chrono::last};
    const int day = Field(date, 8, 2, 1, static_cast<int>(unsigned(last.day())));
    int hour = 0, minute = 0, second = 0;
    if (day < 0) {
        return std::nullopt;
    }
    if (date.size() > 10) {
        if ((date[10] != 'T' && date[10] != 't' && date[10] != ' ') ||
            (date.size() != 16 && date.size() != 19)) {
            return std::nullopt;
        }
        hour = Field(date, 11, 2, 0, 23);
        minute = date[13] == ':' ? Field(date, 14, 2, 0, 59) : -1;
        if (date.size() == 19) {
            second = date[16] == ':' ? Field(date, 17, 2, 0, 59) : -1;
        }
        if (hour < 0 || minute < 0 || second < 0) {
            return std::nullopt;
        }
    }
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.000Z", year, month, day, hour,
                  minute, second);
    return text;
}

}  // namespace qk
