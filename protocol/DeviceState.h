#pragma once

#include <array>
#include <string>

namespace qk {

// Integer fields start here until the device reports them; no list has an entry at -1,
// so the dialogs show "no selection".
inline constexpr int kNoValue = -1;

// The device's advanced parameters, filled from its answers and edited by the operator.
// Texts are GBK bytes exactly as received; nothing here trims or converts them.
struct AdvancedParams {
    int workType = kNoValue;       // position in WorkModeList
    int heartbeatCode = kNoValue;  // device code 1..3 after an answer, list position after an edit
    std::string heartbeatData;
    std::string dnsServer;
    std::string dataBits;  // "5".."8"
    std::string parity;    // "N", "O", "E"
    std::string packetGap;
    std::string packetSize;
    int registerEnable = kNoValue;  // 0 off, 1 on
    std::string registerData;
    std::string reconnectInterval;
    std::string reconnectTries;
    std::string disconnectTime;
    int logoutEnable = kNoValue;
    std::string logoutData;
};

inline constexpr char kDefaultLoginKey[] = "358024";

// Everything the tool knows about the connected device and what the operator entered.
// One instance, owned by whoever drives the device (the main window or the command line).
struct DeviceState {
    AdvancedParams advanced;
    int deviceBaudIndex = kNoValue;  // position in BaudRateList
    int protocolIndex = kNoValue;    // position in ProtocolList
    std::string destAddress;
    std::string destPort;
    std::string loginKey = kDefaultLoginKey;
    std::string infoLog;                   // every received block, verbatim, in order
    std::array<std::string, 3> statusText; // status, identity, versions
    bool loggedIn = false;
};

}  // namespace qk
