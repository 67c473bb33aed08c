#include <gtest/gtest.h>

#include "CommandTable.h"
#include "ValueLists.h"

namespace qk {
namespace {

const CommandTable kTable;

TEST(CommandBuilderTest, EveryBuilderGivesExactlyItsBytes) {
    const std::pair<std::string, std::string_view> cases[] = {
        // The query suffix is appended even where the text already ends in it.
        {BuildQuery(kTable, CommandId::Stat), "QK+STAT?\r\n?\r\n"},
        {BuildQuery(kTable, CommandId::Baud), "QK+BAUD?\r\n"},
        {BuildQuery(kTable, CommandId::RegisterEnable), "QK+EN_ENROL?\r\n"},
        {BuildSet(kTable, CommandId::DestPort, "5000"), "QK+PPORT=5000\r\n"},
        {BuildSet(kTable, CommandId::DestAddress, ""), "QK+PIPADD=\r\n"},
        // GBK and spaces travel as they are: no quoting, no trimming.
        {BuildSet(kTable, CommandId::RegisterData, " \xCA\xB5 a,b "),
         "QK+ENROL= \xCA\xB5 a,b \r\n"},
        {BuildLogin(kTable, "358024"), "QK+LOGIN=358024\r\n"},
        {BuildLogin(kTable, ""), "QK+LOGIN=\r\n"},
        {BuildHandshakeRequest(kTable), "REQUEST CFG MODE"},  // 16 bytes, no line end
        // Single characters: base plus value; out of range gives a non-digit the controller
        // refuses to send.
        {BuildSet(kTable, CommandId::HeartbeatTime, EncodeDigit('1', 2)), "QK+HEARTIME=3\r\n"},
        {EncodeDigit('0', -1), "/"},
        {EncodeDigit('0', 256), "0"},
    };
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(bytes, expected);
    }
}

TEST(ValueListTest, FindEntryByPrefixSearchesFromTheSecondEntryAndWraps) {
    struct Case {
        ValueList list;
        std::string_view value;
        int position;
    };
    const Case cases[] = {
        {BaudRateList, "115200", 11},
        {BaudRateList, "1200", 0},    // found last, after the search wraps to the top
        {BaudRateList, "1", 5},       // "14400" comes before "115200" and "1200" in search order
        {BaudRateList, "96000", -1},  // longer than every entry it begins
        {BaudRateList, "", -1},
        {BaudRateList, "x", -1},
        {ProtocolList, "udp", 1},
        {ProtocolList, "tC", 0},
        {ParityList, "n", 0},
        {DataBitsList, "8 ", -1},
        // Only ASCII letters fold: GBK bytes compare exactly.
        {WorkModeList, WorkModeList[1], 1},
        {WorkModeList, "\xCA", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindEntryByPrefix(c.list, c.value), c.position) << c.value;
    }
    EXPECT_EQ(EntryAt(ProtocolList, 2), "");
    EXPECT_EQ(EntryAt(ProtocolList, -1), "");
}

}  // namespace
}  // namespace qk
