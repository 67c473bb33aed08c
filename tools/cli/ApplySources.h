#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Commands.h"
#include "DeviceValues.h"
#include "Journal.h"
#include "Profile.h"

namespace qk::cli {

// apply's values for each device: the profile, with the device's row of a --values file laid
// over it and its templates expanded with the device's ID and cells. With a values file, a
// device without a row is left untouched.
class FleetSource final : public ApplySource {
  public:
    // `valuesName` names the values file in messages.
    FleetSource(ProfileContents profile, std::optional<ValuesFile> values, std::string valuesName,
                bool allowMissing);

    DeviceWork For(std::string_view gbkId) const override;
    // What would stop a device the file names, or any device, from being given its values:
    // known before any device is spoken to, so that none is.
    std::vector<std::string> Problems() const;

  private:
    ProfileContents m_profile;
    std::optional<ValuesFile> m_values;
    std::string m_valuesName;
    bool m_allowMissing;
};

// undo's values: what the device reported before its last change in the journal, for that
// device alone.
class UndoSource final : public ApplySource {
  public:
    explicit UndoSource(Change change);

    DeviceWork For(std::string_view gbkId) const override;
    // The values of the change that cannot be put back, and why.
    const std::vector<std::string>& Warnings() const { return m_warnings; }
    // Whether anything can be put back at all.
    bool empty() const { return m_profile.settings.empty(); }
    // The journal's number of the change put back.
    std::int64_t change() const { return m_change.number; }

  private:
    Change m_change;
    ProfileContents m_profile;
    std::vector<std::string> m_warnings;
};

}  // namespace qk::cli
