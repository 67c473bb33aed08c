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
    // Two encodings share this field: the device's code (1 = 30 s, 2 = 45 s, 3 = 60 s)
    // after a HEARTIME answer, the zero-based HeartbeatList position after the operator's
    // edit. The flag says which one it holds, so the edit can be shown again unchanged.
    int heartbeatCode = kNoValue;
    bool heartbeatCodeIsPosition = false;
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
