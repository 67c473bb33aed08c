#include "CommandValues.h"

#include <algorithm>

#include "CommandTable.h"

namespace qk {
namespace {

constexpr std::string_view kNoEntry = "no entry chosen";
constexpr std::string_view kNotInList = "not in the list";

}  // namespace

std::optional<std::string> CommandValues::ListEntry(std::string_view field, ValueList list,
                                                    int position) {
    const std::string_view entry = EntryAt(list, position);
    if (entry.empty()) {
        LeaveOut(field, position < 0 ? kNoEntry : kNotInList);
        return std::nullopt;
    }
    return std::string(entry);
}

std::optional<std::string> CommandValues::ListText(std::string_view field, ValueList list,
                                                   std::string_view text) {
    if (std::find(list.begin(), list.end(), text) == list.end()) {
        LeaveOut(field, text.empty() ? kNoEntry : kNotInList);
        return std::nullopt;
    }
    return std::string(text);
}

std::optional<std::string> CommandValues::Digit(std::string_view field, ValueList list, char base,
                                                int position) {
    if (!ListEntry(field, list, position)) {
        return std::nullopt;
    }
    return EncodeDigit(base, position);
}

std::optional<std::string> CommandValues::Text(std::string_view field, std::string_view text) {
    if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
        LeaveOut(field, "holds a line break or zero byte");
        return std::nullopt;
    }
    return std::string(text);
}

void CommandValues::LeaveOut(std::string_view field, std::string_view reason) {
    m_leftOut.push_back(std::string(field) + " (" + std::string(reason) + ")");
}

std::string CommandValues::Message() const {
    std::string message = "Not sent: ";
    for (std::size_t i = 0; i < m_leftOut.size(); ++i) {
        message += (i == 0 ? "" : ", ") + m_leftOut[i];
    }
    return message + ".";
}

}  // namespace qk
