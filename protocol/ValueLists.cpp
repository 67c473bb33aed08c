#include "ValueLists.h"

#include <utility>

namespace qk {
namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (LowerAscii(text[i]) != LowerAscii(prefix[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string_view EntryAt(ValueList list, int position) {
    if (position < 0 || std::cmp_greater_equal(position, list.size())) {
        return {};
    }
    return list[static_cast<std::size_t>(position)];
}

int FindEntryByPrefix(ValueList list, std::string_view value) {
    if (value.empty() || list.empty()) {
        return -1;
    }
    for (std::size_t step = 1; step <= list.size(); ++step) {
        const std::size_t position = step % list.size();
        if (StartsWithIgnoringCase(list[position], value)) {
            return static_cast<int>(position);
        }
    }
    return -1;
}

}  // namespace qk
