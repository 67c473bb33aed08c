#include "Parameters.h"

#include <algorithm>
#include <array>

namespace qk {
namespace {

using enum ParameterGroup;
using enum ValueKind;

// Work mode and the registration switch are given as their positions, 0 or 1.
constexpr std::array<std::string_view, 2> kPositions = {"0", "1"};
// Parity as terminal programs spell it out.
constexpr std::array<std::string_view, 3> kParityNames = {"none", "odd", "even"};

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

// clang-format off: one parameter a row, its facts in the same order in every row.
const std::array<Parameter, kParameterCount> kParameters = {{
    {.id = ParameterId::Status,
     .name = "status",
     .caption = "Status",
     .answerKey = "STAT",
     .command = CommandId::Stat,
     .group = Basic,
     .kind = Report},
    {.id = ParameterId::Id,
     .name = "id",
     .caption = "ID",
     .answerKey = "ID",
     .command = CommandId::Id,
     .group = Basic,
     .kind = Report,
     .field = TextField(&DeviceState::deviceId)},
    {.id = ParameterId::Version,
     .name = "version",
     .caption = "Version",
     .answerKey = "VER",
     .command = CommandId::Ver,
     .group = Basic,
     .kind = Report},
    {.id = ParameterId::DeviceBaud,
     .name = "deviceBaud",
     .caption = "Device Baud Rate",
     .answerKey = "BAUD",
     .command = CommandId::Baud,
     .group = Basic,
     .kind = ListText,
     .list = ValueList(BaudRateList),
     .json = JsonType::Number,
     .field = PositionField(&DeviceState::deviceBaudIndex)},
    {.id = ParameterId::DestAddress,
     .name = "destAddress",
     .caption = "Dest. IP/Name",
     .answerKey = "PIPADD",
     .command = CommandId::DestAddress,
     .group = Basic,
     .kind = Text,
     .maxBytes = kTextBytes,
     .field = TextField(&DeviceState::destAddress)},
    {.id = ParameterId::DestPort,
     .name = "destPort",
     .caption = "Dest. Port",
     .answerKey = "PPORT",
     .command = CommandId::DestPort,
     .group = Basic,
     .kind = Port,
     .json = JsonType::Number,
     .field = TextField(&DeviceState::destPort)},
    {.id = ParameterId::Protocol,
     .name = "protocol",
     .caption = "Protocol",
     .answerKey = "PROTOCOL",
     .command = CommandId::Protocol,
     .group = Basic,
     .kind = ListText,
     .list = ValueList(ProtocolList),
     .field = PositionField(&DeviceState::protocolIndex)},
    {.id = ParameterId::WorkType,
     .name = "workType",
     .caption = "Work Mode",
     .answerKey = "WORKTYPE",
     .command = CommandId::WorkType,
     .group = Advanced,
     .kind = ListDigit,
     .list = ValueList(kPositions),
     .digitBase = '0',
     .json = JsonType::Number,
     .field = AdvancedIntegerField(&AdvancedParams::workType)},
    {.id = ParameterId::Heartbeat,
     .name = "heartbeat",
     .caption = "Heart Beat Interval",
     .answerKey = "HEARTIME",
     .command = CommandId::HeartbeatTime,
     .group = Advanced,
     .kind = ListDigit,
     .list = ValueList(HeartbeatList),
     .digitBase = '1',
     .field = AdvancedIntegerField(&AdvancedParams::heartbeatCode)},
    {.id = ParameterId::HeartbeatData,
     .name = "heartbeatData",
     .caption = "Heart Beat Content",
     .answerKey = "HEARTDAT",
     .command = CommandId::HeartbeatData,
     .group = Advanced,
     .kind = Text,
     .maxBytes = kTextBytes,
     .field = AdvancedTextField(&AdvancedParams::heartbeatData)},
    {.id = ParameterId::DnsServer,
     .name = "dnsServer",
     .caption = "DNS Server IP",
     .answerKey = "PDNS",
     .command = CommandId::Dns,
     .group = Advanced,
     .kind = Text,
     .maxBytes = kTextBytes,
     .field = AdvancedTextField(&AdvancedParams::dnsServer)},
    {.id = ParameterId::DataBits,
     .name = "dataBits",
     .caption = "Serial Data Bits",
     .answerKey = "DATAB",
     .command = CommandId::DataBits,
     .group = Advanced,
     .kind = ListText,
     .list = ValueList(DataBitsList),
     .json = JsonType::Number,
     .field = AdvancedTextField(&AdvancedParams::dataBits)},
    {.id = ParameterId::Parity,
     .name = "parity",
     .caption = "Serial Parity",
     .answerKey = "CHECKB",
     .command = CommandId::Parity,
     .group = Advanced,
     .kind = ListText,
     .list = ValueList(ParityList),
     .aliases = ValueList(kParityNames),
     .field = AdvancedTextField(&AdvancedParams::parity)},
    {.id = ParameterId::RegisterEnable,
     .name = "registerEnable",
     .caption = "Regist Packet",
     .answerKey = "REGEN",
     .command = CommandId::RegisterEnable,
     .group = Advanced,
     .kind = ListDigit,
     .list = ValueList(SwitchList),
     .digitBase = '0',
     .json = JsonType::Number,
     .field = AdvancedIntegerField(&AdvancedParams::registerEnable)},
    {.id = ParameterId::RegisterData,
     .name = "registerData",
     .caption = "Regist Packet Content",
     .answerKey = "ENROL",
     .command = CommandId::RegisterData,
     .group = Advanced,
     .kind = Text,
     .maxBytes = kRegisterDataBytes,
     .field = AdvancedTextField(&AdvancedParams::registerData)},
    {.id = ParameterId::PacketGap,
     .name = "packetGap",
     .caption = "Packet Gap",
     .answerKey = "ITVT",
     .command = CommandId::PacketGap,
     .group = Unqueried,
     .kind = Report,
     .field = AdvancedTextField(&AdvancedParams::packetGap)},
    {.id = ParameterId::PacketSize,
     .name = "packetSize",
     .caption = "Packet Size",
     .answerKey = "PACKSIZE",
     .command = CommandId::PacketSize,
     .group = Unqueried,
     .kind = Report,
     .field = AdvancedTextField(&AdvancedParams::packetSize)},
    {.id = ParameterId::ReconnectInterval,
     .name = "reconnectInterval",
     .caption = "Reconnect Interval",
     .answerKey = "RECONNECTIME",
     .command = CommandId::ReconnectTime,
     .group = Unqueried,
     .kind = Report,
     .field = AdvancedTextField(&AdvancedParams::reconnectInterval)},
    {.id = ParameterId::ReconnectTries,
     .name = "reconnectTries",
     .caption = "Reconnect Tries",
     .answerKey = "RECONNECTCNT",
     .command = CommandId::ReconnectCount,
     .group = Unqueried,
     .kind = Report,
     .field = AdvancedTextField(&AdvancedParams::reconnectTries)},
    {.id = ParameterId::DisconnectTime,
     .name = "disconnectTime",
     .caption = "Offline Time",
     .answerKey = "OFFLINETIME",
     .command = CommandId::OfflineTime,
     .group = Unqueried,
     .kind = Report,
     .field = AdvancedTextField(&AdvancedParams::disconnectTime)},
    {.id = ParameterId::LogoutEnable,
     .name = "logoutEnable",
     .caption = "Logout Packet",
     .answerKey = "CANCELEN",
     .command = CommandId::CancelEnable,
     .group = Unqueried,
     .kind = Report,
     .json = JsonType::Number,
     .field = AdvancedIntegerField(&AdvancedParams::logoutEnable)},
    {.id = ParameterId::LogoutData,
     .name = "logoutData",
     .caption = "Logout Packet Content",
     .answerKey = "CANCELDATA",
     .command = CommandId::CancelData,
     .group = Unqueried,
     .kind = Report,
     .field = AdvancedTextField(&AdvancedParams::logoutData)},
}};
// clang-format on

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

int ListPosition(const Parameter& parameter, std::string_view text) {
    const auto lower = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    };
    const auto same = [&](std::string_view a, std::string_view b) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(),
                          [&](char x, char y) { return lower(x) == lower(y); });
    };
    for (std::size_t i = 0; i < parameter.list.size(); ++i) {
        if (same(parameter.list[i], text) ||
            (i < parameter.aliases.size() && same(parameter.aliases[i], text))) {
            return static_cast<int>(i);
        }
    }
    return -1;
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
    if (state.reported.CutShort(parameter.id)) {
        why = "the device's value came cut short, and is not written over";
        return std::nullopt;
    }
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
