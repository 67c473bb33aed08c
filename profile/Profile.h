#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "Settings.h"

namespace qk {

// A profile: a device's settings as a UTF-8 text file, the project's interchange format.
//
//   # QK4410 profile, format 1          the first line names the format and its version
//   # device ID: QK4520-000123          further comments, blank lines: ignored
//   deviceBaud=9600                     one NAME=VALUE per line, as `set` takes them
//   registerData=\xFF注册               \xHH for a byte with no UTF-8 form, \\ for "\"
//
// A file is read whole and every problem in it is reported at once, with its line, so
// that nothing is applied from a file that is wrong anywhere.
inline constexpr std::string_view kProfileFormatLine = "# QK4410 profile, format 1";

// Larger than any real profile (one holds a few hundred bytes): a larger file is some other
// file, refused whole at once instead of line by line.
inline constexpr std::size_t kMaxProfileBytes = 64 * 1024;

struct ProfileContents {
    std::vector<Setting> settings;      // in send order, each name at most once
    std::vector<std::string> problems;  // "line 4: ...", in line order; empty for a good file
    bool ok() const { return problems.empty(); }
};

// Checks names (known, not repeated), values (their lists, a port from 1 to 65535, the
// registration content's 40 bytes, no line break or zero byte, a GBK form for every
// character, valid UTF-8) and the format line, if there is one. A text larger than
// kMaxProfileBytes has that one problem.
ProfileContents ReadProfile(std::string_view text);

// The format line, each comment as a "# " line, then NAME=VALUE for each setting in send
// order.
std::string WriteProfile(const std::vector<Setting>& settings,
                         const std::vector<std::string>& comments);

// "saved: 2026-12-07 05:25:09 UTC", the comment that dates a saved profile.
std::string SavedComment(std::chrono::system_clock::time_point saved);

}  // namespace qk
