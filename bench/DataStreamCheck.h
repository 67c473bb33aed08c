#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "DeviceModel.h"

namespace qk::bench {

// Checks the "+DATA:" lines of an information log against the stream the simulated device
// sends (DeviceModel::NextDataLine): each must be the device's next line, byte for byte.
// A jump in the sequence numbers counts the lines skipped as lost; a line that is not one
// of the device's counts as corrupt. Other lines (answers, the handshake reply) and an
// unfinished last line are ignored.
//
// It checks a whole log at once; it does not follow a log as it grows.
class DataStreamCheck {
  public:
    struct Result {
        std::uint64_t lines = 0;    // data lines found, corrupt ones included
        std::uint64_t lost = 0;     // lines the numbering skipped
        std::uint64_t corrupt = 0;  // lines that are not what the device sends
        std::uint64_t lostBytes() const { return lost * sim::DeviceModel::kDataLineLength; }
    };

    static Result Check(std::string_view log);
};

}  // namespace qk::bench
