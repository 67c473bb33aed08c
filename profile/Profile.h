#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "Parameters.h"
#include "ProfileTemplate.h"
#include "SettingText.h"

namespace qk {

// A profile: a device's settings as a UTF-8 text file, the project's interchange format.
//
//   # QK4410 profile, format 1          the first line names the format and its version
//   # device ID: QK4520-000123          further comments, blank lines: ignored
//   deviceBaud=9600                     one NAME=VALUE per line, as `set` takes them
//   registerData=\xFF注册               \xHH for a byte with no UTF-8 form, \\ for "\"
//   heartbeatData=HB-${id}              a template: the value differs per device
//
// A file is read whole and every problem in it is reported at once, with its line, so
// that nothing is applied from a file that is wrong anywhere.
inline constexpr std::string_view kProfileFormatLine = "# QK4410 profile, format 1";

// Far more than any profile holds (one is under 1 KiB); a larger file is no profile, and
// is refused before it is read whole.
inline constexpr std::size_t kMaxProfileBytes = 64 * 1024;

struct ProfileContents {
    std::vector<Setting> settings;      // in send order, each name at most once
    std::vector<std::string> problems;  // "line 4: ...", in line order; empty for a good file
    // Settings whose value lies beyond what an operator may give (a port outside 1 to
    // 65535, registration content over 40 bytes): taken only by a device that already
    // holds exactly that value, as when the file was saved from it.
    struct BeyondLimits {
        const Parameter* parameter;
        int line;
        std::string problem;  // "line 16: registerData is 42 bytes in GBK, at most 40"
    };
    std::vector<BeyondLimits> beyondLimits;
    // Values with ${NAME} in them (see ProfileTemplate.h), not yet in `settings`: each
    // device reads them with its own values (Expanded).
    struct Template {
        const Parameter* parameter;
        int line;
        std::string written;
    };
    std::vector<Template> templates;
    bool ok() const { return problems.empty(); }

    // The profile as one device reads it: each template expanded with `values` ("id", and
    // the cells of the device's --values row) and then checked as any value of its line
    // is. A name with no value is a problem of its line.
    ProfileContents Expanded(const TemplateValues& values) const;

    // For each setting beyond limits whose value `reported` does not hold, why the device
    // may not be given it; empty when the profile may be applied to that device.
    std::vector<std::string> RefusedBy(const ReportedValues& reported) const;
    // The problems and what RefusedBy says, in line order: what stands between the file and
    // a device that reported `reported`.
    std::vector<std::string> ProblemsFor(const ReportedValues& reported) const;
};

// Checks names (known, not repeated), templates (closed, naming "id" or a parameter),
// values (no line break or zero byte, a GBK form for
// every character, valid UTF-8, and the table's limits, see BeyondLimits), the format line
// (at most one, before any setting, of this version; a file without it is read as format
// 1), that the file names at least one setting, and its size.
ProfileContents ReadProfile(std::string_view text);

// The format line, each comment as a "# " line, then NAME=VALUE for each setting in send
// order, a "${" in a value written "\${" so that it reads back as it was.
std::string WriteProfile(const std::vector<Setting>& settings,
                         const std::vector<std::string>& comments);

// The problem's line ("line 12: ..." is 12); 0 for a problem without one.
int ProblemLine(std::string_view problem);

// "saved: 2026-12-07 05:25:09 UTC", the comment that dates a saved profile.
std::string SavedComment(std::chrono::system_clock::time_point saved);

}  // namespace qk
