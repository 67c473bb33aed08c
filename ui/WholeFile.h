#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace qk::ui {

// The window's files, as bytes: read at once, and written completely or not at all. A
// write goes to a temporary file beside the target that replaces it only once all of it
// is on disk, so a full disk or a lost drive never leaves a profile or log cut off, and
// an earlier file of that name stays as it was.

// The file's bytes; nullopt, with the system's reason in `error`, when it cannot be read.
// With `maxBytes`, at most one byte more than that is read, so that a file too large for
// its purpose is known as such without taking in all of it.
std::optional<std::string> ReadWholeFile(const QString& path, QString& error,
                                         std::optional<qint64> maxBytes = std::nullopt);

// False, with the system's reason in `error`, when the file could not be written; the
// target is then untouched and no temporary file is left behind.
bool WriteWholeFile(const QString& path, std::string_view bytes, QString& error);

}  // namespace qk::ui
