#pragma once

#include <array>
#include <string_view>

namespace qk::res {

// The program's version data. The About box's "V2.2" and the file version 1.0.0.1 are
// separate values: neither is derived from the other. Texts are GBK bytes.

inline constexpr std::string_view kProgramName = "QK4410ConfTool";
// The About box's first line; the trailing blank belongs to it.
inline constexpr std::string_view kAboutNameLine = "QK4410ConfTool V2.2 ";
// The About box's maker and web lines name this open-source project.
inline constexpr std::string_view kMakerLine = "QK4410ConfTool contributors, open source";
inline constexpr std::string_view kWebLine = "https://example.org/QK4410ConfTool";

// Language Chinese (PRC) 0x0804, code page 1200 (Unicode): string block "080404b0".
inline constexpr unsigned kVersionLanguage = 0x0804;
inline constexpr unsigned kVersionCodePage = 0x04B0;

inline constexpr std::array<int, 4> kFileVersion = {1, 0, 0, 1};
inline constexpr std::array<int, 4> kProductVersion = {1, 0, 0, 1};

struct VersionString {
    std::string_view key;
    std::string_view value;
};

// The string block, in resource order; keys with empty values are listed too.
inline constexpr std::array<VersionString, 11> kVersionStrings = {{
    // "QK4410ConfTool Microsoft 基础类应用程序"
    {"FileDescription",
     "QK4410ConfTool Microsoft \xBB\xF9\xB4\xA1\xC0\xE0\xD3\xA6\xD3\xC3\xB3\xCC\xD0\xF2"},
    {"FileVersion", "1, 0, 0, 1"},
    {"InternalName", "QK4410ConfTool"},
    {"OriginalFilename", "QK4410ConfTool.EXE"},
    // "QK4410ConfTool 应用程序"
    {"ProductName", "QK4410ConfTool \xD3\xA6\xD3\xC3\xB3\xCC\xD0\xF2"},
    {"ProductVersion", "1, 0, 0, 1"},
    {"Comments", ""},
    {"CompanyName", ""},
    {"LegalTrademarks", ""},
    {"PrivateBuild", ""},
    {"SpecialBuild", ""},
}};

}  // namespace qk::res
