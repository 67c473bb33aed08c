#include <gtest/gtest.h>

#include "AdvancedSelection.h"

namespace qk {
namespace {

TEST(AdvancedSelectionTest, RecordValuesSelectTheirEntries) {
    AdvancedParams record;
    record.workType = 1;
    record.heartbeatCode = 3;  // the device's code for "60s"
    record.dataBits = "8";
    record.parity = "E";
    record.registerEnable = 1;
    const AdvancedSelection s = SelectionFromRecord(record);
    EXPECT_EQ(s.workMode, 1);
    EXPECT_EQ(s.heartbeat, 2);
    EXPECT_EQ(s.dataBits, 3);
    EXPECT_EQ(s.parity, 2);
    EXPECT_EQ(s.registration, 1);
}

TEST(AdvancedSelectionTest, ValuesOutsideTheListsSelectNothing) {
    struct Case {
        int workType, heartbeatCode, registerEnable;
        const char* dataBits;
        const char* parity;
    };
    const Case cases[] = {
        {2, 4, -1, "8 ", ""},
        {-1, 0, 2, "", "X"},
        {kNoValue, kNoValue, kNoValue, "9", "NO"},
    };
    for (const auto& c : cases) {
        AdvancedParams record;
        record.workType = c.workType;
        record.heartbeatCode = c.heartbeatCode;
        record.registerEnable = c.registerEnable;
        record.dataBits = c.dataBits;
        record.parity = c.parity;
        const AdvancedSelection s = SelectionFromRecord(record);
        EXPECT_EQ(s.workMode, -1);
        EXPECT_EQ(s.heartbeat, -1);
        EXPECT_EQ(s.dataBits, -1);
        EXPECT_EQ(s.parity, -1);
        EXPECT_EQ(s.registration, -1);
    }
}

TEST(AdvancedSelectionTest, LowerCaseParitySelectsItsEntry) {
    AdvancedParams record;
    record.parity = "o";
    EXPECT_EQ(SelectionFromRecord(record).parity, 1);
}

TEST(AdvancedSelectionTest, AStoredHeartbeatIsShownAsChosenAndSentAsPositionPlusOne) {
    AdvancedParams record;
    record.heartbeatCode = 2;  // device: "45s"
    AdvancedSelection s = SelectionFromRecord(record);
    ASSERT_EQ(s.heartbeat, 1);
    StoreSelection(s, record);
    EXPECT_EQ(record.heartbeatCode, 1) << "stored as the zero-based position";
    // Opening again before the device answers shows the same choice, not one lower.
    EXPECT_EQ(SelectionFromRecord(record).heartbeat, 1);

    s.heartbeat = 0;  // "30s": position 0 must not read as "no selection"
    StoreSelection(s, record);
    EXPECT_EQ(SelectionFromRecord(record).heartbeat, 0);
}

TEST(AdvancedSelectionTest, NoChoiceStoresMinusOneAndEmptyTexts) {
    AdvancedParams record;
    record.dataBits = "8";
    record.parity = "N";
    StoreSelection(AdvancedSelection{}, record);
    EXPECT_EQ(record.workType, -1);
    EXPECT_EQ(record.heartbeatCode, -1);
    EXPECT_EQ(record.registerEnable, -1);
    EXPECT_EQ(record.dataBits, "");
    EXPECT_EQ(record.parity, "");
}

}  // namespace
}  // namespace qk
