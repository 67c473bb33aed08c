#pragma once

#include <string>
#include <vector>

#include "DeviceSession.h"
#include "Json.h"
#include "Settings.h"

namespace qk::cli {

// What a device reported, in the terms the command line prints: its identity, its status
// as numbers, and its settings by their profile names and values. Nothing the device did
// not report is given a value, and neither the login key nor, unless asked for, the raw
// log appears.
class DeviceReport {
  public:
    explicit DeviceReport(const Answers& answers) : m_answers(answers) {}

    // The settings the device reported, in send order.
    std::vector<Setting> Settings() const;
    // name=value lines; the unreported left out.
    std::string Text(const std::string* log = nullptr) const;
    // Adds "identity":{...},"status":{...},"settings":{...}, the unreported null.
    void AddTo(JsonObject& json, const std::string* log = nullptr) const;
    // A setting's value as JSON: a number where it is one, else a string.
    static std::string JsonValue(const Setting& setting);
    // The device's ID as text ("-" when it did not say).
    std::string Id() const;
    // "ID QK4520-000123, firmware ..." lines for a saved profile's comments.
    std::vector<std::string> ProfileComments() const;

  private:
    enum class Group { Identity, Status, Settings };
    struct Field {
        Group group;
        std::string name;
        std::string text;  // UTF-8, as printed
        bool reported;
        bool number;  // a JSON number when reported
    };
    std::vector<Field> Fields() const;

    const Answers& m_answers;
};

}  // namespace qk::cli
