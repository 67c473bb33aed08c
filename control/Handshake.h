#pragma once

#include <chrono>

#include "CommandTable.h"
#include "Pacer.h"
#include "SerialLink.h"

namespace qk {

enum class HandshakeResult {
    Confirmed,  // the device answered "CFG MODE\r" in one read
    NoReply,    // every poll came back without it
    Stopped,    // the line went away, or the pacer was asked to stop
};

// Switches the device into configuration mode: writes the request three times, then polls
// up to `attempts` times, `retry` apart, for the 9-byte reply, which counts only as one
// whole read. Every other read is consumed.
HandshakeResult RunHandshake(SerialLink& port, Pacer& pacer, const CommandTable& commands,
                             int attempts, std::chrono::milliseconds retry);

}  // namespace qk
