#pragma once

#include <string>
#include <vector>

#include "DeviceState.h"
#include "JsonOutput.h"
#include "Parameters.h"

namespace qk::cli {

// What a device reported, in the terms the command line prints: its identity, its status
// as numbers, and its settings by their profile names and values. Nothing the device did
// not report is given a value, and neither the login key nor, unless asked for, the raw
// log appears.
class DeviceReport {
  public:
    explicit DeviceReport(const ReportedValues& reported) : m_reported(reported) {}

    // The settings the device reported, in send order.
    std::vector<Setting> Settings() const;
    // name=value lines; the unreported left out.
    std::string Text() const;
    // "identity", "status" and "settings" objects, the unreported null.
    void AddTo(Json& object) const;
    // "device ID: ...", "firmware: ..." for a saved profile's comments.
    std::vector<std::string> ProfileComments() const;

    // An inventory's columns: the ID, the settings by their profile names, then the status
    // columns (DeviceValues.h): the same a --values file takes.
    static std::vector<std::string> InventoryHeader();
    // The device's row under that header, with its port and how its reading went; a value
    // the device did not report is an empty cell. A cell a spreadsheet would take for a
    // formula (=, +, -, @ first, and no number) starts with that character escaped (\x3D),
    // which reads back as the same bytes.
    std::vector<std::string> InventoryRow(std::string_view port, std::string_view result,
                                          std::string_view reason) const;

  private:
    enum class Group { Identity, Status, Settings };
    struct Field {
        Group group;
        std::string name;
        const std::string* reported;  // the answer it comes from; nullptr when unreported
        std::string text;             // UTF-8, as printed
        Json json;
    };
    std::vector<Field> Fields() const;

    const ReportedValues& m_reported;
};

}  // namespace qk::cli
