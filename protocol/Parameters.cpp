#include "Parameters.h"

#include <algorithm>
#include <array>

namespace qk {
namespace {

using enum ParameterGroup;
using enum ValueKind;

// Work mode and the registration switch are given as their positions, 0 or 1.
constexpr std::array<std::string_view, 2> kPositions = {"0", "1"};

// The most an operator may enter in a free text: far more than any address or packet
// content needs, few enough that one command stays a short line.
constexpr std::size_t kTextBytes = 255;
// The registration content: what the Advanced dialog lets one type (20 Chinese characters).
constexpr std::size_t kRegisterDataBytes = 40;

constexpr RecordField TextField(std::string DeviceState::*field) {
    return {.text = field};
}
constexpr RecordField AdvancedTextField(std::string AdvancedParams::*field) {
    return {.advancedText = field};
}
constexpr RecordField PositionField(int DeviceState::*field) {
    return {.position = field};
}
constexpr RecordField AdvancedIntegerField(int AdvancedParams::*field) {
    return {.advancedInteger = field};
}

const std::array<Parameter, kParameterCount> kParameters = {{
    {ParameterId::Status, "status", "Status", "STAT", CommandId::Stat, Basic, Report},
    {ParameterId::Id,
     "id",
     "ID",
     "ID",
     CommandId::Id,
     Basic,
     Report,
     {},
     '\0',
     0,
     JsonType::String,
     TextField(&DeviceState::deviceId)},
    {ParameterId::Version, "version", "Version", "VER", CommandId::Ver, Basic, Report},
    {ParameterId::DeviceBaud, "deviceBaud", "Device Baud Rate", "BAUD", CommandId::Baud, Basic,
     ListText, ValueList(BaudRateList), '\0', 0, JsonType::Number,
     PositionField(&DeviceState::deviceBaudIndex)},
    {ParameterId::DestAddress,
     "destAddress",
     "Dest. IP/Name",
     "PIPADD",
     CommandId::DestAddress,
     Basic,
     Text,
     {},
     '\0',
     kTextBytes,
     JsonType::String,
     TextField(&DeviceState::destAddress)},
    {ParameterId::DestPort,
     "destPort",
     "Dest. Port",
     "PPORT",
     CommandId::DestPort,
     Basic,
     Port,
     {},
     '\0',
     0,
     JsonType::Number,
     TextField(&DeviceState::destPort)},
    {ParameterId::Protocol, "protocol", "Protocol", "PROTOCOL", CommandId::Protocol, Basic,
     ListText, ValueList(ProtocolList), '\0', 0, JsonType::String,
     PositionField(&DeviceState::protocolIndex)},
    {ParameterId::WorkType, "workType", "Work Mode", "WORKTYPE", CommandId::WorkType, Advanced,
     ListDigit, ValueList(kPositions), '0', 0, JsonType::Number,
     AdvancedIntegerField(&AdvancedParams::workType)},
    {ParameterId::Heartbeat, "heartbeat", "Heart Beat Interval", "HEARTIME",
     CommandId::HeartbeatTime, Advanced, ListDigit, ValueList(HeartbeatList), '1', 0,
     JsonType::String, AdvancedIntegerField(&AdvancedParams::heartbeatCode)},
    {ParameterId::HeartbeatData,
     "heartbeatData",
     "Heart Beat Content",
     "HEARTDAT",
     CommandId::HeartbeatData,
     Advanced,
     Text,
     {},
     '\0',
     kTextBytes,
     JsonType::String,
     AdvancedTextField(&AdvancedParams::heartbeatData)},
    {ParameterId::DnsServer,
     "dnsServer",
     "DNS Server IP",
     "PDNS",
     CommandId::Dns,
     Advanced,
     Text,
     {},
     '\0',
     kTextBytes,
     JsonType::String,
     AdvancedTextField(&AdvancedParams::dnsServer)},
    {ParameterId::DataBits, "dataBits", "Serial Data Bits", "DATAB", CommandId::DataBits, Advanced,
     ListText, ValueList(DataBitsList), '\0', 0, JsonType::Number,
     AdvancedTextField(&AdvancedParams::dataBits)},
    {ParameterId::Parity, "parity", "Serial Parity", "CHECKB", CommandId::Parity, Advanced,
     ListText, ValueList(ParityList), '\0', 0, JsonType::String,
     AdvancedTextField(&AdvancedParams::parity)},
    {ParameterId::RegisterEnable, "registerEnable", "Regist Packet", "REGEN",
     CommandId::RegisterEnable, Advanced, ListDigit, ValueList(SwitchList), '0', 0,
     JsonType::Number, AdvancedIntegerField(&AdvancedParams::registerEnable)},
    {ParameterId::RegisterData,
     "registerData",
     "Regist Packet Content",
     "ENROL",
     CommandId::RegisterData,
     Advanced,
     Text,
     {},
     '\0',
     kRegisterDataBytes,
     JsonType::String,
     AdvancedTextField(&AdvancedParams::registerData)},
    {ParameterId::PacketGap,
     "packetGap",
     "Packet Gap",
     "ITVT",
     CommandId::PacketGap,
     Unqueried,
     Report,
     {},
     '\0',
     0,
     JsonType::String,
     AdvancedTextField(&AdvancedParams::packetGap)},
    {ParameterId::PacketSize,
     "packetSize",
     "Packet Size",
     "PACKSIZE",
     CommandId::PacketSize,
     Unqueried,
     Report,
     {},
     '\0',
     0,
     JsonType::String,
     AdvancedTextField(&AdvancedParams::packetSize)},
    {ParameterId::ReconnectInterval,
     "reconnectInterval",
     "Reconnect Interval",
     "RECONNECTIME",
     CommandId::ReconnectTime,
     Unqueried,
     Report,
     {},
     '\0',
     0,
     JsonType::String,
     AdvancedTextField(&AdvancedParams::reconnectInterval)},
    {ParameterId::ReconnectTries,
     "reconnectTries",
     "Reconnect Tries",
     "RECONNECTCNT",
     CommandId::ReconnectCount,
     Unqueried,
     Report,
     {},
     '\0',
     0,
     JsonType::String,
     AdvancedTextField(&AdvancedParams::reconnectTries)},
    {ParameterId::DisconnectTime,
     "disconnectTime",
     "Offline Time",
     "OFFLINETIME",
     CommandId::OfflineTime,
     Unqueried,
     Report,
     {},
     '\0',
     0,
     JsonType::String,
     AdvancedTextField(&AdvancedParams::disconnectTime)},
    {ParameterId::LogoutEnable,
     "logoutEnable",
     "Logout Packet",
     "CANCELEN",
     CommandId::CancelEnable,
     Unqueried,
     Report,
     {},
     '\0',
     0,
     JsonType::Number,
     AdvancedIntegerField(&AdvancedParams::logoutEnable)},
    {ParameterId::LogoutData,
     "logoutData",
     "Logout Packet Content",
     "CANCELDATA",
     CommandId::CancelData,
     Unqueried,
     Report,
     {},
     '\0',
     0,
     JsonType::String,
     AdvancedTextField(&AdvancedParams::logoutData)},
}};

constexpr std::string_view kNoEntry = "no entry chosen";
constexpr std::string_view kNotInList = "not in the list";

bool IsPort(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > 5 ||
        !std::ranges::all_of(bytes, [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    const int port = std::stoi(std::string(bytes));
    return port >= 1 && port <= 65535;
}

// A list choice as the bytes its command carries; nullopt with `why` when `position` is
// no entry of the list.
std::optional<std::string> ListChoice(const Parameter& parameter, int position, std::string& why) {
    const std::string_view entry = EntryAt(parameter.list, position);
    if (entry.empty()) {
        why = position < 0 ? kNoEntry : kNotInList;
        return std::nullopt;
    }
    return parameter.kind == ListDigit ? EncodeDigit(parameter.digitBase, position)
                                       : std::string(entry);
}

std::vector<const Parameter*> ParametersWhere(bool (Parameter::*test)() const) {
    std::vector<const Parameter*> chosen;
    for (const Parameter& parameter : kParameters) {
        if ((parameter.*test)()) {
            chosen.push_back(&parameter);
        }
    }
    return chosen;
}

}  // namespace

std::span<const Parameter> Parameters() {
    return kParameters;
}

const Parameter& ParameterOf(ParameterId id) {
    return kParameters[static_cast<std::size_t>(id)];
}

const Parameter* FindParameterByName(std::string_view name) {
    const auto found = std::ranges::find(kParameters, name, &Parameter::name);
    return found == kParameters.end() ? nullptr : &*found;
}

const Parameter* FindParameterByAnswerKey(std::string_view key) {
    const auto found = std::ranges::find(kParameters, key, &Parameter::answerKey);
    return found == kParameters.end() ? nullptr : &*found;
}

std::vector<const Parameter*> QueriedParameters() {
    return ParametersWhere(&Parameter::queried);
}

std::vector<const Parameter*> SettableParameters() {
    return ParametersWhere(&Parameter::settable);
}

std::string SettableNames() {
    std::string names;
    for (const Parameter* parameter : SettableParameters()) {
        names += (names.empty() ? "" : ", ") + std::string(parameter->name);
    }
    return names;
}

std::string WireProblem(std::string_view bytes) {
    if (bytes.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
        return "holds a line break or zero byte";
    }
    return {};
}

std::string LimitProblem(const Parameter& parameter, std::string_view bytes) {
    switch (parameter.kind) {
        case ListText:
        case ListDigit: {
            const bool within =
                parameter.kind == ListText
                    ? std::ranges::find(parameter.list, bytes) != parameter.list.end()
                    : bytes.size() == 1 &&
                          !EntryAt(parameter.list, bytes[0] - parameter.digitBase).empty();
            if (within) {
                return {};
            }
            std::string entries;
            for (const std::string_view entry : parameter.list) {
                entries += (entries.empty() ? "" : ", ") + std::string(entry);
            }
            return "must be one of " + entries;
        }
        case Port:
            return IsPort(bytes) ? std::string() : "must be a port from 1 to 65535";
        case Text:
            if (bytes.size() > parameter.maxBytes) {
                return "is " + std::to_string(bytes.size()) + " bytes in GBK, at most " +
                       std::to_string(parameter.maxBytes);
            }
            return {};
        case Report:
            return "cannot be set";
    }
    return {};
}

bool AcceptedBack(const Parameter& parameter, std::string_view bytes,
                  const ReportedValues& reported) {
    const std::string* value = reported.Find(parameter.id);
    return value != nullptr && *value == bytes;
}

std::optional<std::string> SendableValue(const Parameter& parameter, const DeviceState& state,
                                         std::string& why) {
    const RecordField& field = parameter.field;
    if (field.position != nullptr) {
        return ListChoice(parameter, state.*field.position, why);
    }
    if (field.advancedInteger != nullptr) {
        return ListChoice(parameter, state.advanced.*field.advancedInteger, why);
    }
    const std::string& text =
        field.text != nullptr ? state.*field.text : state.advanced.*field.advancedText;
    if (parameter.kind == ListText) {
        // Data bits and parity: the list's own text, nothing near it ("e" is not "E").
        if (!LimitProblem(parameter, text).empty()) {
            why = text.empty() ? kNoEntry : kNotInList;
            return std::nullopt;
        }
        return text;
    }
    if (why = WireProblem(text); !why.empty()) {
        return std::nullopt;
    }
    // What the device reported goes back as it came, whatever an operator could type.
    if (why = LimitProblem(parameter, text); !why.empty()) {
        if (!AcceptedBack(parameter, text, state.reported)) {
            return std::nullopt;
        }
        why.clear();
    }
    return text;
}

}  // namespace qk
