#pragma once

#include <string>

namespace qk::cli {

// Opens /dev/null on whichever of descriptors 0, 1 and 2 is closed. Run first: a program
// started with `>&-` would otherwise hand the next file it opens, the serial port, the
// number of its standard output, and print the record, login key included, to the device.
void OpenMissingStandardStreams();

// Whether standard error is a terminal, where progress may be shown.
bool StandardErrorIsTerminal();

// Makes the console show the UTF-8 the program prints (Windows' console expects its code
// page otherwise); nothing elsewhere.
void UseUtf8Console();

// This process's id, to tell its files from another run's.
unsigned long CurrentProcessId();

// Flushes standard output; false, with the system's reason in `error`, when what was
// printed could not all be written (a full disk, a closed pipe).
bool FlushStandardOutput(std::string& error);

}  // namespace qk::cli
