#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "StopSignals.h"

namespace qk::cli {

// Reads a whole file, or standard input for "-", of at most `limit` bytes. A FIFO or a
// terminal that is slow to give its bytes is waited for only until a stop signal arrives.
// Nullopt, with `error` set ("is a folder", "is larger than 65536 bytes", the system's
// reason, "stopped by SIGINT"), when it cannot.
std::optional<std::string> ReadInput(const std::string& file, std::size_t limit,
                                     const StopSignals* stop, std::string& error);

struct OutputFile {
    bool force = false;   // replace a read-only file
    bool secret = false;  // a new file only its owner may read (0600), for conversation logs
};

// Writes `bytes` to `path` as editors save: a file is replaced whole or not at all, through
// a temporary file of a unique name beside it, synced, then renamed over it; a symbolic
// link is followed to its target, which keeps its mode; a read-only file is refused unless
// `force`; a FIFO or device is written in place. False, with `error` set, when any of it
// failed; whatever was at `path` before is then as it was.
bool WriteOutput(const std::string& path, std::string_view bytes, OutputFile how,
                 std::string& error);

// Creates `path` new, never replacing anything, with the mode of `how`; false with `error`
// set when it exists or cannot be made.
bool CreateNewFile(const std::string& path, std::string_view bytes, OutputFile how,
                   std::string& error);

}  // namespace qk::cli
