#include "ResponseParser.h"

#include <algorithm>
#include <array>
#include <climits>

#include "Parameters.h"
#include "ValueLists.h"

namespace qk {
namespace {

constexpr std::string_view kLoginKey = "LOGIN";
constexpr std::string_view kLoginAccepted = "OK";
constexpr std::string_view kLoginLabel = "Login";
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
        magnitude =
            std::min(magnitude * 10 + (value[i] - '0'), static_cast<long long>(INT_MAX) + 1);
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
            // A line that will not come whole: whatever the device holds under its key is
            // unknown now, and must not be written back as the record holds it.
            const std::string_view key = Substring(text, 1, PositionOf(text, ':') - 1);
            if (const Parameter* parameter = FindParameterByAnswerKey(key);
                parameter != nullptr && PositionOf(text, ':') > 0) {
                m_state.reported.NoteCutShort(parameter->id);
            }
            return;
        }
        const long colon = PositionOf(text, ':');
        const long carriageReturn = PositionOf(text, '\r');
        // Only a whole "+KEY:VALUE\r\n" is an answer. Without its carriage return, or with
        // the colon or a carriage return elsewhere, the search would cut the value short or
        // leave it empty, and storing that would overwrite what the device holds; such a
        // line is logged and passed over.
        if (carriageReturn == lineFeed - 1 && colon >= 0 && colon < carriageReturn) {
            DispatchAnswer(Substring(text, 1, colon - 1),
                           Substring(text, colon + 1, carriageReturn - colon - 1));
        }
        text = LastCharacters(text, static_cast<long>(text.size()) - lineFeed - 1);
    }
}

void ResponseParser::DispatchAnswer(std::string_view key, std::string_view value) {
    if (key == kLoginKey) {
        if (value == kLoginAccepted) {
            m_view.SetLoginLabel(kLoginLabel);
            m_state.loggedIn = true;
        } else {
            m_view.ShowMessage(kLoginFailed);
        }
        return;
    }
    // TEL, STOPB, DEBUG, GNOD, GUSER, GPSWD, SDNS, SIPADD, SPORT and unknown keys carry
    // nothing the tool keeps.
    const Parameter* parameter = FindParameterByAnswerKey(key);
    if (parameter == nullptr) {
        return;
    }
    m_state.reported.Note(parameter->id, value);
    Store(*parameter, value);
    Show(parameter->id, value);
}

void ResponseParser::Store(const Parameter& parameter, std::string_view value) {
    const RecordField& field = parameter.field;
    if (field.text != nullptr) {
        m_state.*field.text = value;
    } else if (field.advancedText != nullptr) {
        m_state.advanced.*field.advancedText = value;
    } else if (field.position != nullptr) {
        m_state.*field.position = FindEntryByPrefix(parameter.list, value);
    } else if (field.advancedInteger != nullptr) {
        m_state.advanced.*field.advancedInteger = IntegerOf(value);
    }
    if (parameter.id == ParameterId::Heartbeat) {
        m_state.advanced.heartbeatCodeIsPosition = false;
    }
}

void ResponseParser::Show(ParameterId id, std::string_view value) {
    switch (id) {
        case ParameterId::Status:
            m_state.statusText[0] = FormatStat(value);
            m_view.SetStatusText(0, m_state.statusText[0]);
            break;
        case ParameterId::Id:
            m_state.statusText[1] = "ID:" + std::string(value);
            m_view.SetStatusText(1, m_state.statusText[1]);
            break;
        case ParameterId::Version: {
            const VersionParts parts = SplitVersion(value);
            std::string text = "Hardware Ver:";
            text += parts.hardware;
            text += ",Software Ver:";
            text += parts.software;
            m_state.statusText[2] = std::move(text);
            m_view.SetStatusText(2, m_state.statusText[2]);
            break;
        }
        case ParameterId::DeviceBaud:
            m_view.SelectDeviceBaud(m_state.deviceBaudIndex);
            break;
        case ParameterId::Protocol:
            m_view.SelectProtocol(m_state.protocolIndex);
            break;
        default:
            break;
    }
}

StatFields SplitStat(std::string_view value) {
    const std::string_view strength = CommaField(value, 0);
    const bool strongLayout = IntegerOf(strength) >= 10;
    return {strength, CommaField(value, strongLayout ? 1 : 2),
            CommaField(value, strongLayout ? 2 : 3)};
}

VersionParts SplitVersion(std::string_view value) {
    return {Substring(value, 12, 4), Substring(value, 20, 4)};
}

std::string ResponseParser::FormatStat(std::string_view value) {
    const StatFields fields = SplitStat(value);
    std::string voltage(fields.voltage);
    InsertAt(voltage, 1, '.');
    InsertAt(voltage, 4, 'V');

    std::string text = "field strength:";
    text += fields.strength;
    text += "  temperature:";
    text += fields.temperature;
    text += kVoltageCaption;
    text += voltage;
    return text;
}

}  // namespace qk
