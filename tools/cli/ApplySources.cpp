#include "ApplySources.h"

#include <algorithm>

#include "DeviceText.h"
#include "ExitStatus.h"

namespace qk::cli {

FleetSource::FleetSource(ProfileContents profile, std::optional<ValuesFile> values,
                         std::string valuesName, bool allowMissing)
    : m_profile(std::move(profile)),
      m_values(std::move(values)),
      m_valuesName(std::move(valuesName)),
      m_allowMissing(allowMissing) {}

DeviceWork FleetSource::For(std::string_view gbkId) const {
    if (!m_values) {
        return {DeviceProfile(m_profile, gbkId, nullptr), {}, kSuccess};
    }
    const DeviceRow* row = gbkId.empty() ? nullptr : m_values->Find(gbkId);
    if (row == nullptr) {
        const std::string device = gbkId.empty() ? std::string("the device reported no ID")
                                                 : "no row for " + GbkToDisplay(gbkId);
        return {std::nullopt, device + " in " + EscapeBytes(m_valuesName) + "; nothing was written",
                m_allowMissing ? kSuccess : kRefused};
    }
    return {DeviceProfile(m_profile, gbkId, row), {}, kSuccess};
}

std::vector<std::string> FleetSource::Problems() const {
    std::vector<std::string> problems;
    if (!m_values) {
        // Only the device's ID is known for every device; anything else needs its row.
        const ProfileContents probe = m_profile.Expanded({{"id", "ID"}});
        for (const std::string& problem : probe.problems) {
            problems.push_back(problem + " (a --values file gives each device its own)");
        }
        return problems;
    }
    for (const DeviceRow& row : m_values->rows) {
        for (const std::string& problem : DeviceProfile(m_profile, row.id, &row).problems) {
            problems.push_back("the values for " + GbkToDisplay(row.id) + " (" +
                               EscapeBytes(m_valuesName) + " line " + std::to_string(row.line) +
                               "): " + problem);
        }
    }
    return problems;
}

UndoSource::UndoSource(Change change) : m_change(std::move(change)) {
    const std::string number = "change " + std::to_string(m_change.number);
    for (const ChangedValue& value : m_change.values) {
        const Parameter* parameter = FindParameterByName(value.name);
        if (parameter == nullptr || !parameter->settable()) {
            m_warnings.push_back(value.name +
                                 ": not a parameter this program can set; left as "
                                 "it is");
        } else if (!value.before) {
            m_warnings.push_back(value.name + ": the device had not reported it before " + number +
                                 "; left as it is");
        } else if (!WireProblem(*value.before).empty()) {
            m_warnings.push_back(value.name + ": what the device held before " + number +
                                 " cannot be sent; left as it is");
        } else {
            // What the device held is put back whatever the limits, but, as for a profile,
            // only to a device that holds it already when it lies beyond them.
            if (const std::string beyond = LimitProblem(*parameter, *value.before);
                !beyond.empty()) {
                m_profile.beyondLimits.push_back(
                    {parameter, 0, value.name + " " + beyond + " (before " + number + ")"});
            }
            m_profile.settings.push_back({parameter, *value.before});
        }
    }
    std::ranges::sort(m_profile.settings, {}, [](const Setting& s) { return s.parameter->id; });
}

DeviceWork UndoSource::For(std::string_view gbkId) const {
    if (gbkId != m_change.deviceId) {
        return {std::nullopt,
                "this is " +
                    (gbkId.empty() ? std::string("a device without an ID")
                                   : "device " + GbkToDisplay(gbkId)) +
                    ", not " + GbkToDisplay(m_change.deviceId) + "; nothing was written",
                kRefused};
    }
    return {m_profile, {}, kSuccess};
}

}  // namespace qk::cli
