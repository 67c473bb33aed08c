#include "ResponseParser.h"

#include <algorithm>
#include <array>
#include <climits>

#include "ValueLists.h"

namespace qk {
namespace {

constexpr std::string_view kLoginAccepted = "OK";
constexpr std::string_view kLoginLabel = "Login";
constexpr std::string_view kLoginFailed = "Login fail!";
// "℃  Voltage:", the degree sign as GBK A1 E6.
constexpr std::string_view kVoltageCaption = "\xA1\xE6  Voltage:";

long PositionOf(std::string_view text, char c) {
    const auto position = text.find(c);
    return position == std::string_view::npos ? -1 : static_cast<long>(position);
}


// A position beyond the end appends; one below 0 counts as 0.
void InsertAt(std::string& text, long position, char c) {
    const long clamped = std::clamp(position, 0L, static_cast<long>(text.size()));
    text.insert(text.begin() + clamped, c);
}

using TextField = std::string AdvancedParams::*;
using IntegerField = int AdvancedParams::*;

struct AdvancedAnswer {
    std::string_view key;
    TextField text = nullptr;
    IntegerField integer = nullptr;
};

// Answers that only store a value in the advanced record.
constexpr std::array<AdvancedAnswer, 14> kAdvancedAnswers = {{
    {"CHECKB", &AdvancedParams::parity},
    {"DATAB", &AdvancedParams::dataBits},
    {"ITVT", &AdvancedParams::packetGap},
    {"PACKSIZE", &AdvancedParams::packetSize},
    {"PDNS", &AdvancedParams::dnsServer},
    {"WORKTYPE", nullptr, &AdvancedParams::workType},
    {"REGEN", nullptr, &AdvancedParams::registerEnable},
    {"ENROL", &AdvancedParams::registerData},
    {"HEARTDAT", &AdvancedParams::heartbeatData},
    {"RECONNECTIME", &AdvancedParams::reconnectInterval},
    {"RECONNECTCNT", &AdvancedParams::reconnectTries},
    {"OFFLINETIME", &AdvancedParams::disconnectTime},
    {"CANCELEN", nullptr, &AdvancedParams::logoutEnable},
    {"CANCELDATA", &AdvancedParams::logoutData},
}};

}  // namespace

std::string_view CommaField(std::string_view list, int index) {
    for (int i = 0; i < index; ++i) {
        const auto comma = list.find(',');
        if (comma == std::string_view::npos) {
            return {};
        }
        list.remove_prefix(comma + 1);
    }
    return list.substr(0, list.find(','));
}

std::string_view Substring(std::string_view text, long start, long length) {
    const long size = static_cast<long>(text.size());
    start = std::max(start, 0L);
    length = std::max(length, 0L);
    if (start >= size) {
        return {};
    }
    length = std::min(length, size - start);
    return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length));
}

std::string_view LastCharacters(std::string_view text, long count) {
    const long size = static_cast<long>(text.size());
    if (count <= 0) {
        return {};
    }
    if (count >= size) {
        return text;
    }
    return text.substr(static_cast<std::size_t>(size - count));
}

int IntegerOf(std::string_view value) {
    std::size_t i = 0;
    auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < value.size() && isSpace(value[i])) {
        ++i;
    }
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        negative = value[i] == '-';
        ++i;
    }
    long long magnitude = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        magnitude = std::min(magnitude * 10 + (value[i] - '0'), static_cast<long long>(INT_MAX) + 1);
    }
    const long long result = negative ? -magnitude : magnitude;
    return static_cast<int>(std::clamp<long long>(result, INT_MIN, INT_MAX));
}

void ResponseParser::HandleBlock(std::string_view block) {
    m_state.infoLog.append(block);
    ParseLines(block);
}

void ResponseParser::ParseLines(std::string_view text) {
    // The searches run over the whole remaining text, not just the current line: that is
    // how the device's answers have always been read, malformed ones included.
    while (!text.empty() && text.front() == '+') {
        const long lineFeed = PositionOf(text, '\n');
        if (lineFeed < 0) {
            return;
        }
        const long colon = PositionOf(text, ':');
        const long carriageReturn = PositionOf(text, '\r');
        const std::string_view key = Substring(text, 1, colon - 1);
        const std::string_view value = Substring(text, colon + 1, carriageReturn - colon - 1);
        if (m_observer) {
            m_observer(key, value);
        }
        DispatchAnswer(key, value);
        text = LastCharacters(text, static_cast<long>(text.size()) - lineFeed - 1);
    }
}

void ResponseParser::DispatchAnswer(std::string_view key, std::string_view value) {
    if (key == "LOGIN") {
        if (value == kLoginAccepted) {
            m_view.SetLoginLabel(kLoginLabel);
            m_state.loggedIn = true;
        } else {
            m_view.ShowMessage(kLoginFailed);
        }
    } else if (key == "STAT") {
        m_state.statusText[0] = FormatStat(value);
        m_view.SetStatusText(0, m_state.statusText[0]);
    } else if (key == "ID") {
        m_state.statusText[1] = "ID:" + std::string(value);
        m_view.SetStatusText(1, m_state.statusText[1]);
    } else if (key == "VER") {
        std::string text = "Hardware Ver:";
        text += Substring(value, 12, 4);
        text += ",Software Ver:";
        text += Substring(value, 20, 4);
        m_state.statusText[2] = std::move(text);
        m_view.SetStatusText(2, m_state.statusText[2]);
    } else if (key == "BAUD") {
        m_state.deviceBaudIndex = FindEntryByPrefix(BaudRateList, value);
        m_view.SelectDeviceBaud(m_state.deviceBaudIndex);
    } else if (key == "PIPADD") {
        m_state.destAddress = value;
    } else if (key == "PPORT") {
        m_state.destPort = value;
    } else if (key == "PROTOCOL") {
        m_state.protocolIndex = FindEntryByPrefix(ProtocolList, value);
        m_view.SelectProtocol(m_state.protocolIndex);
    } else if (key == "HEARTIME") {
        m_state.advanced.heartbeatCode = IntegerOf(value);
        m_state.advanced.heartbeatCodeIsPosition = false;
    } else {
        for (const auto& answer : kAdvancedAnswers) {
            if (key == answer.key) {
                if (answer.text != nullptr) {
                    m_state.advanced.*answer.text = value;
                } else {
                    m_state.advanced.*answer.integer = IntegerOf(value);
                }
                return;
            }
        }
        // TEL, STOPB, DEBUG, GNOD, GUSER, GPSWD, SDNS, SIPADD, SPORT carry nothing the tool
        // keeps; they and unknown keys change nothing.
    }
}

std::string ResponseParser::FormatStat(std::string_view value) {
    const std::string_view strength = CommaField(value, 0);
    const bool strongLayout = IntegerOf(strength) >= 10;
    const std::string_view temperature = CommaField(value, strongLayout ? 1 : 2);
    std::string voltage(CommaField(value, strongLayout ? 2 : 3));
    InsertAt(voltage, 1, '.');
    InsertAt(voltage, 4, 'V');

    std::string text = "field strength:";
    text += strength;
    text += "  temperature:";
    text += temperature;
    text += kVoltageCaption;
    text += voltage;
    return text;
}

}  // namespace qk
