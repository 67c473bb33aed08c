#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "CommandTable.h"
#include "DeviceState.h"
#include "Line.h"
#include "Pacer.h"
#include "SerialLink.h"

namespace qk {

// What a scan learnt of one port.
struct ScanResult {
    bool opened = false;  // false: the port could not be opened at all
    bool found = false;
    // The line speed the device answered at; 0 on a line that runs at its server's own
    // speed (raw TCP), which was not searched.
    std::uint32_t baud = 0;
    bool serverRate = false;  // the line runs at its server's own speed
    ReportedValues reported;  // its status, ID and version answers, as far as it gave them
    std::string sharedWith;   // no device found: other programs that had the port open
};

// The line speeds to try: `first`, then the others, most likely first.
std::vector<std::uint32_t> ScanRates(std::uint32_t first);

// Looks for a device on one port whose line speed is not known: at each rate a short
// handshake of a few polls, where the Open button allows 80; on the first that answers,
// asks only for STAT, ID and VER. The device is left in configuration mode, since it has
// no command to leave it. Runs on the caller's thread; the pacer's stop request ends it
// between two reads.
class DeviceScanner {
  public:
    struct Timing {
        int polls = 3;
        std::chrono::milliseconds retry{200};
        std::chrono::milliseconds queryGap{200};
        std::chrono::milliseconds answerWait{1000};
        std::chrono::milliseconds readPoll{10};
        // How long reaching a network port may take.
        std::chrono::milliseconds connectTimeout = kDefaultConnectTimeout;
    };

    DeviceScanner(SerialLink& port, int portNumber, Pacer& pacer, Timing timing);

    // `onRate` hears of each rate before it is tried.
    ScanResult Scan(const std::vector<std::uint32_t>& rates,
                    const std::function<void(std::uint32_t)>& onRate = {});

  private:
    void ReadIdentity(ScanResult& result);

    SerialLink& m_port;
    const int m_portNumber;
    Pacer& m_pacer;
    const Timing m_timing;
    CommandTable m_commands;
};

}  // namespace qk
