#include <gtest/gtest.h>

#include "CommandTable.h"
#include "ValueLists.h"

namespace qk {
namespace {

const CommandTable kTable;

TEST(CommandTableTest, BothLanguagesHoldTheSameCommandTexts) {
    const CommandTable chinese(Language::Chinese);
    for (int id = 102; id <= 128; ++id) {
        const auto command = static_cast<CommandId>(id);
        EXPECT_FALSE(kTable.Text(command).empty()) << id;
        EXPECT_EQ(kTable.Text(command), chinese.Text(command)) << id;
    }
    EXPECT_EQ(kTable.Text(CommandId::AboutMenu), "About QK4410ConfTool(&A)...");
    EXPECT_EQ(chinese.Text(CommandId::AboutMenu), "\xB9\xD8\xD3\xDA QK4410ConfTool(&A)...");
    EXPECT_TRUE(res::LoadString(Language::English, 100).empty());
    EXPECT_TRUE(res::LoadString(Language::English, 129).empty());
}

TEST(CommandTableTest, LocaleNamesChooseTheLanguage) {
    EXPECT_EQ(res::LanguageFromLocale("zh_CN.UTF-8"), Language::Chinese);
    EXPECT_EQ(res::LanguageFromLocale("zh_TW"), Language::Chinese);
    EXPECT_EQ(res::LanguageFromLocale("en_US.UTF-8"), Language::English);
    EXPECT_EQ(res::LanguageFromLocale("C"), Language::English);
    EXPECT_EQ(res::LanguageFromLocale(""), Language::English);
}

TEST(CommandBuilderTest, QueriesAppendTheSuffixEvenWhenTheTextAlreadyEndsInIt) {
    struct Case {
        CommandId id;
        std::string_view bytes;
    };
    const Case cases[] = {
        {CommandId::Stat, "QK+STAT?\r\n?\r\n"},
        {CommandId::Id, "QK+ID?\r\n?\r\n"},
        {CommandId::Ver, "QK+VER?\r\n?\r\n"},
        {CommandId::Baud, "QK+BAUD?\r\n"},
        {CommandId::RegisterEnable, "QK+EN_ENROL?\r\n"},
        {CommandId::Parity, "QK+CHECKB?\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuildQuery(kTable, c.id), c.bytes);
    }
    EXPECT_EQ(BuildQuery(kTable, CommandId::Stat).size(), 13u);
    EXPECT_EQ(BuildQuery(kTable, CommandId::Id).size(), 11u);
    EXPECT_EQ(BuildQuery(kTable, CommandId::Ver).size(), 12u);
    EXPECT_EQ(BuildQuery(kTable, CommandId::Baud).size(), 10u);
}

TEST(CommandBuilderTest, SetAndLoginCarryTheValueUnchanged) {
    EXPECT_EQ(BuildSet(kTable, CommandId::DestPort, "5000"), "QK+PPORT=5000\r\n");
    EXPECT_EQ(BuildSet(kTable, CommandId::DestAddress, ""), "QK+PIPADD=\r\n");
    EXPECT_EQ(BuildSet(kTable, CommandId::DestAddress, "").size(), 12u);
    // GBK and spaces travel as they are: no quoting, no trimming.
    EXPECT_EQ(BuildSet(kTable, CommandId::RegisterData, " \xCA\xB5 a,b "), "QK+ENROL= \xCA\xB5 a,b \r\n");

    EXPECT_EQ(BuildLogin(kTable, "358024"), "QK+LOGIN=358024\r\n");
    EXPECT_EQ(BuildLogin(kTable, "358024").size(), 17u);
    EXPECT_EQ(BuildLogin(kTable, ""), "QK+LOGIN=\r\n");
}

TEST(CommandBuilderTest, HandshakeRequestIsSixteenBytesWithoutLineEnd) {
    const std::string request = BuildHandshakeRequest(kTable);
    EXPECT_EQ(request, "REQUEST CFG MODE");
    EXPECT_EQ(request.size(), 16u);
    EXPECT_EQ(request.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(kHandshakeReply.size(), 9u);
}

TEST(CommandBuilderTest, SingleCharacterEncodingsAddTheBase) {
    EXPECT_EQ(BuildSet(kTable, CommandId::HeartbeatTime, EncodeDigit('1', 2)), "QK+HEARTIME=3\r\n");
    EXPECT_EQ(EncodeDigit('0', 0), "0");
    EXPECT_EQ(EncodeDigit('0', 1), "1");
    // Out-of-range values give non-digits; the controller refuses to send them.
    EXPECT_EQ(EncodeDigit('0', -1), "/");
    EXPECT_EQ(EncodeDigit('1', -1), "0");
    EXPECT_EQ(EncodeDigit('0', 256), "0");
}

TEST(ValueListTest, ListsKeepTheirOrder) {
    EXPECT_EQ(BaudRateList.front(), "1200");
    EXPECT_EQ(BaudRateList[4], "9600");
    EXPECT_EQ(BaudRateList[11], "115200");
    EXPECT_EQ(BaudRateList.back(), "460800");
    EXPECT_EQ(ParityList[0], "N");
    EXPECT_EQ(ParityList[2], "E");
    EXPECT_EQ(EntryAt(ProtocolList, 1), "UDP");
    EXPECT_EQ(EntryAt(ProtocolList, 2), "");
    EXPECT_EQ(EntryAt(ProtocolList, -1), "");
}

TEST(ValueListTest, FindEntryByPrefixSearchesFromTheSecondEntryAndWraps) {
    struct Case {
        std::string_view value;
        int position;
    };
    const Case baudCases[] = {
        {"115200", 11},
        {"1200", 0},     // found last, after the search wraps to the top
        {"1", 5},        // "14400" comes before "115200" and "1200" in search order
        {"96000", -1},   // longer than every entry it begins
        {"", -1},
        {"x", -1},
        {"4608000", -1},
        {"2", 1},
    };
    for (const auto& c : baudCases) {
        EXPECT_EQ(FindEntryByPrefix(BaudRateList, c.value), c.position) << c.value;
    }
    EXPECT_EQ(FindEntryByPrefix(ProtocolList, "udp"), 1);
    EXPECT_EQ(FindEntryByPrefix(ProtocolList, "tC"), 0);
    EXPECT_EQ(FindEntryByPrefix(ParityList, "o"), 1);
    EXPECT_EQ(FindEntryByPrefix(ParityList, "n"), 0);
    EXPECT_EQ(FindEntryByPrefix(DataBitsList, "8 "), -1);
    EXPECT_EQ(FindEntryByPrefix(DataBitsList, "8"), 3);
    // Only ASCII letters fold: GBK bytes compare exactly.
    EXPECT_EQ(FindEntryByPrefix(WorkModeList, WorkModeList[1]), 1);
    EXPECT_EQ(FindEntryByPrefix(WorkModeList, "\xCA"), 1);
}

}  // namespace
}  // namespace qk
