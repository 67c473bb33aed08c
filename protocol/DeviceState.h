#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qk {

// Integer fields start here until the device reports them; no list has an entry at -1,
// so the dialogs show "no selection".
inline constexpr int kNoValue = -1;

// Every parameter the device reports, in the order Get Param. asks for them; those it is
// never asked for last. Parameters.h says everything else about each.
enum class ParameterId : int {
    Status,
    Id,
    Version,
    DeviceBaud,
    DestAddress,
    DestPort,
    Protocol,
    WorkType,
    Heartbeat,
    HeartbeatData,
    DnsServer,
    DataBits,
    Parity,
    RegisterEnable,
    RegisterData,
    PacketGap,
    PacketSize,
    ReconnectInterval,
    ReconnectTries,
    DisconnectTime,
    LogoutEnable,
    LogoutData,
};
inline constexpr std::size_t kParameterCount = 22;

// What the device itself said, per parameter, since the port was opened: the value of its
// last whole answer line exactly as sent, how many such lines came, and where the last one
// stands among all answers. The record's other fields mix the device's answers with the
// operator's edits and the tool's defaults; this is what tells them apart.
class ReportedValues {
  public:
    void Note(ParameterId id, std::string_view value) {
        auto& slot = m_slots[Index(id)];
        slot.value = std::string(value);
        slot.cutShort = false;
        ++slot.count;
        slot.sequence = ++m_answers;
    }
    // The device began an answer under the parameter's key that never came whole (a line
    // too long to take, a line the hang-up cut): what it holds is unknown now.
    void NoteCutShort(ParameterId id) {
        auto& slot = m_slots[Index(id)];
        slot.value.reset();
        slot.cutShort = true;
    }
    bool CutShort(ParameterId id) const { return m_slots[Index(id)].cutShort; }
    void Clear() {
        m_slots = {};
        m_answers = 0;
    }
    // The last value reported; nullptr when the device has not reported it.
    const std::string* Find(ParameterId id) const {
        const auto& slot = m_slots[Index(id)];
        return slot.value ? &*slot.value : nullptr;
    }
    bool Has(ParameterId id) const { return Find(id) != nullptr; }
    // How many answers under the parameter's key have come.
    unsigned Count(ParameterId id) const { return m_slots[Index(id)].count; }
    // The place of its last answer among every answer noted (from 1); 0 when none came.
    unsigned long Sequence(ParameterId id) const { return m_slots[Index(id)].sequence; }

  private:
    struct Slot {
        std::optional<std::string> value;
        unsigned count = 0;
        unsigned long sequence = 0;
        bool cutShort = false;
    };
    static std::size_t Index(ParameterId id) { return static_cast<std::size_t>(id); }

    std::array<Slot, kParameterCount> m_slots{};
    unsigned long m_answers = 0;
};

// The device's advanced parameters, filled from its answers and edited by the operator.
// Texts are GBK bytes exactly as received; nothing here trims or converts them.
struct AdvancedParams {
    int workType = kNoValue;  // position in WorkModeList
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
// One instance, owned by whoever drives the device (the main window or a session without
// a window).
struct DeviceState {
    AdvancedParams advanced;
    int deviceBaudIndex = kNoValue;  // position in BaudRateList
    int protocolIndex = kNoValue;    // position in ProtocolList
    std::string destAddress;
    std::string destPort;
    std::string loginKey = kDefaultLoginKey;
    std::string infoLog;                    // every received block, verbatim, in order
    std::array<std::string, 3> statusText;  // status, identity, versions
    std::string deviceId;                   // the ID answer's value, as the device sent it
    bool loggedIn = false;
    ReportedValues reported;
};

}  // namespace qk
