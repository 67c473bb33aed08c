#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qk {

// Times as the journal writes them: UTC to the millisecond, "2026-12-07T05:25:09.123Z",
// so that text order is time order.

std::string JournalTimeNow();

// A date as a person gives it ("2026-12-07", "2026-12-07T05:25", "2026-12-07 05:25:09",
// a "Z" after it allowed), UTC, as the journal writes times; nullopt when it is none.
std::optional<std::string> JournalTimeFrom(std::string_view date);

}  // namespace qk
