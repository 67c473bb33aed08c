#pragma once

#include <string_view>

namespace qk::res {

// The two string tables the program ships: identifiers 101 to 128.
// Texts are GBK bytes, exactly as the device and the Chinese user interface use them.
enum class Language { English, Chinese };

// The text stored under `id`, or an empty view when the table holds none.
std::string_view LoadString(Language language, int id);

// Chinese for a locale name that starts with "zh" (zh_CN.UTF-8, zh_TW, ...), English otherwise.
Language LanguageFromLocale(std::string_view localeName);

}  // namespace qk::res
