#pragma once

namespace qk::cli {

// The exit statuses; a run stopped by a signal exits with 128 plus its number.
enum ExitStatus {
    kSuccess = 0,
    kUsageError = 1,
    // The port cannot be opened, the device does not enter configuration mode, or the line
    // hung up during the run.
    kNoDevice = 2,
    // The login was refused or not answered, or a value of `set` is not confirmed by the
    // device's own answer.
    kRefused = 3,
    // `get`: the device did not report every parameter it was asked for.
    kIncomplete = 4,
    // The run succeeded, but its output could not be written.
    kOutputError = 5,
    // diff: the device's settings differ from the file's.
    kDiffers = 6,
    // set, apply, undo: the journal cannot record the change, so it was not made (or,
    // made and confirmed, its end could not be recorded).
    kJournalError = 7,
};

}  // namespace qk::cli
