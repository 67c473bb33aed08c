#include <gtest/gtest.h>

#include <array>

#include "AdvancedSelection.h"

namespace qk {
namespace {

std::array<int, 5> Positions(const AdvancedSelection& s) {
    return {s.workMode, s.heartbeat, s.dataBits, s.parity, s.registration};
}

TEST(AdvancedSelectionTest, RecordValuesSelectTheirEntriesAndOthersNothing) {
    struct Case {
        int workType, heartbeatCode, registerEnable;
        const char* dataBits;
        const char* parity;
        std::array<int, 5> selection;  // work mode, heartbeat, data bits, parity, registration
    };
    const Case cases[] = {
        {1, 3, 1, "8", "E", {1, 2, 3, 2, 1}},  // heartbeat: the device's code for "60s"
        {0, 1, 0, "5", "o", {0, 0, 0, 1, 0}},  // lower-case parity too
        {2, 4, 2, "8 ", "X", {-1, -1, -1, -1, -1}},
        {-1, 0, -1, "", "NO", {-1, -1, -1, -1, -1}},
    };
    for (const auto& c : cases) {
        AdvancedParams record;
        record.workType = c.workType;
        record.heartbeatCode = c.heartbeatCode;
        record.registerEnable = c.registerEnable;
        record.dataBits = c.dataBits;
        record.parity = c.parity;
        EXPECT_EQ(Positions(SelectionFromRecord(record)), c.selection) << c.workType;
    }
}

// A stored choice is shown again as chosen, before the device answers too; no choice stores
// -1 and empty texts.
TEST(AdvancedSelectionTest, AStoredSelectionIsShownAgainAsChosen) {
    AdvancedParams record;
    record.heartbeatCode = 2;  // device: "45s"
    AdvancedSelection s = SelectionFromRecord(record);
    ASSERT_EQ(s.heartbeat, 1);
    StoreSelection(s, record);
    EXPECT_EQ(record.heartbeatCode, 1);                   // stored as the zero-based position
    EXPECT_EQ(SelectionFromRecord(record).heartbeat, 1);  // not one lower
    s.heartbeat = 0;  // "30s": position 0 must not read as "no selection"
    StoreSelection(s, record);
    EXPECT_EQ(SelectionFromRecord(record).heartbeat, 0);

    record.dataBits = "8";
    record.parity = "N";
    StoreSelection(AdvancedSelection{}, record);
    EXPECT_EQ(std::tuple(record.workType, record.heartbeatCode, record.registerEnable,
                         record.dataBits, record.parity),
              std::tuple(-1, -1, -1, "", ""));
}

}  // namespace
}  // namespace qk
