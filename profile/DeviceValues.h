#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "Profile.h"

namespace qk {

// Per-device values: a CSV file (see Csv.h), UTF-8, whose header names the device ID's
// column first ("id") and then parameters by their profile names; each row gives one device
// the values of its non-empty cells, written and checked as profile values are. It is also
// what `get --csv` prints, so that an inventory edited in a spreadsheet gives the devices
// exactly its edited cells: the status columns an inventory adds are passed over.
//
//   id,destPort,registerData
//   QK4520-000001,6001,SITE-A
//   QK4520-000002,,SITE-B          an empty cell leaves the parameter to the profile
//
// A file is checked whole, and every problem is named with its line, before any device
// hears anything.

// A fleet of thousands of devices stays far below this; more is no values file.
inline constexpr std::size_t kMaxValuesBytes = 4 * 1024 * 1024;

inline constexpr std::string_view kIdColumn = "id";
// What an inventory adds after the parameters: where the device was and what it reported
// of itself, and how its reading went.
inline constexpr std::array<std::string_view, 7> kInventoryStatusColumns = {
    "port", "version", "signal", "temperature", "voltage", "result", "reason"};

struct DeviceRow {
    int line = 0;
    std::string id;  // as the device reports it (GBK)
    // The row's settings and those beyond the limits, which the device takes only if it
    // holds them already (ProfileContents::RefusedBy).
    ProfileContents values;
    // Each non-empty parameter cell as written, for the profile's templates.
    TemplateValues cells;
};

struct ValuesFile {
    std::vector<DeviceRow> rows;
    std::vector<std::string> problems;  // "line 4: ...", in line order; empty when good
    bool ok() const { return problems.empty(); }

    // The row of the device that reports `gbkId`; nullptr when there is none.
    const DeviceRow* Find(std::string_view gbkId) const;
};

// `source` names the file in the problems that outlive the reading (beyond the limits).
ValuesFile ReadValues(std::string_view text, std::string_view source);

// A cell as written for a spreadsheet: one that a spreadsheet would run as a formula (=, +,
// - or @ first, and no number) starts with that character escaped ("\x3D"), which reads
// back as the same bytes.
std::string SpreadsheetSafe(std::string written);

// What the device reporting `gbkId` is given: `profile`, with `row`'s settings (nullptr:
// none) in place of the profile's, and the profile's templates expanded with the ID and the
// row's cells.
ProfileContents DeviceProfile(const ProfileContents& profile, std::string_view gbkId,
                              const DeviceRow* row);

}  // namespace qk
