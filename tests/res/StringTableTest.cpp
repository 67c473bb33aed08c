// The string tables: the command texts are the device's own bytes, identical in both
// languages, whether the program sends them or not; only the About item differs.
#include <gtest/gtest.h>

#include "StringTable.h"

namespace qk::res {
namespace {

TEST(StringTableTest, CommandTextsAreTheDevicesInBothLanguages) {
    const std::vector<std::string_view> commands = {
        "QK+LOGIN=",   "QK+STAT?\r\n",      "QK+ID?\r\n",        "QK+VER?\r\n",
        "QK+BAUD",     "QK+ITVT",           "QK+PACKSIZE",       "QK+PDNS",
        "QK+PIPADD",   "QK+PPORT",          "QK+GNOD",           "QK+WORKTYPE",
        "QK+EN_ENROL", "QK+ENROL",          "QK+HEARTIME",       "QK+HEARTDAT",
        "QK+RECONNECTIME", "QK+RECONNECTCNT", "QK+OFFLINETIME",  "QK+CANCELEN",
        "QK+CANCELDATA", "QK+PROTOCOL",     "REQUEST CFG MODE",  "QK+DATAB",
        "QK+STOPB",    "QK+CHECKB",         "QK+TEL"};
    for (const Language language : {Language::English, Language::Chinese}) {
        std::vector<std::string_view> texts;
        for (int id = 102; id <= 128; ++id) {
            texts.push_back(LoadString(language, id));
        }
        EXPECT_EQ(texts, commands);
    }
    EXPECT_EQ(LoadString(Language::English, 101), "About QK4410ConfTool(&A)...");
    EXPECT_EQ(LoadString(Language::Chinese, 101), "\xB9\xD8\xD3\xDA QK4410ConfTool(&A)...");
    EXPECT_TRUE(LoadString(Language::English, 100).empty());
    EXPECT_TRUE(LoadString(Language::English, 129).empty());
}

TEST(StringTableTest, AZhLocaleReadsTheChineseTable) {
    const std::pair<const char*, Language> cases[] = {
        {"zh_CN.UTF-8", Language::Chinese}, {"zh_TW", Language::Chinese},
        {"en_US.UTF-8", Language::English}, {"", Language::English}};
    for (const auto& [locale, language] : cases) {
        EXPECT_EQ(LanguageFromLocale(locale), language) << locale;
    }
}

}  // namespace
}  // namespace qk::res
