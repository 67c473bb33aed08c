#include "StringTable.h"

#include <array>
#include <utility>

namespace qk::res {
namespace {

constexpr int kFirstId = 101;

// Command texts are the same in both tables: the device understands only these bytes.
constexpr std::array<std::string_view, 27> kCommandTexts = {
    "QK+LOGIN=",         // 102
    "QK+STAT?\r\n",      // 103
    "QK+ID?\r\n",        // 104
    "QK+VER?\r\n",       // 105
    "QK+BAUD",           // 106
    "QK+ITVT",           // 107
    "QK+PACKSIZE",       // 108
    "QK+PDNS",           // 109
    "QK+PIPADD",         // 110
    "QK+PPORT",          // 111
    "QK+GNOD",           // 112
    "QK+WORKTYPE",       // 113
    "QK+EN_ENROL",       // 114
    "QK+ENROL",          // 115
    "QK+HEARTIME",       // 116
    "QK+HEARTDAT",       // 117
    "QK+RECONNECTIME",   // 118
    "QK+RECONNECTCNT",   // 119
    "QK+OFFLINETIME",    // 120
    "QK+CANCELEN",       // 121
    "QK+CANCELDATA",     // 122
    "QK+PROTOCOL",       // 123
    "REQUEST CFG MODE",  // 124
    "QK+DATAB",          // 125
    "QK+STOPB",          // 126
    "QK+CHECKB",         // 127
    "QK+TEL",            // 128
};

constexpr std::string_view kAboutEnglish = "About QK4410ConfTool(&A)...";
// "关于 QK4410ConfTool(&A)..."
constexpr std::string_view kAboutChinese = "\xB9\xD8\xD3\xDA QK4410ConfTool(&A)...";

}  // namespace

std::string_view LoadString(Language language, int id) {
    if (id == kFirstId) {
        return language == Language::Chinese ? kAboutChinese : kAboutEnglish;
    }
    const int index = id - kFirstId - 1;
    if (index < 0 || std::cmp_greater_equal(index, kCommandTexts.size())) {
        return {};
    }
    return kCommandTexts[static_cast<std::size_t>(index)];
}

Language LanguageFromLocale(std::string_view localeName) {
    return localeName.starts_with("zh") ? Language::Chinese : Language::English;
}

}  // namespace qk::res
