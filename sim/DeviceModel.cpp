#include "DeviceModel.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace qk::sim {
namespace {

// What a set command may carry. The device refuses values it could not work with, so a
// trial shows when the tool sends one (for example a work mode of "/" from position -1).
enum class Accepts {
    ReadOnly,
    AnyText,
    Number,  // 1 to 9 decimal digits
    Port,    // 1..65535
    Baud,
    Protocol,
    WorkType,
    HeartbeatCode,
    Switch,
    DataBits,
    Parity,
};

struct Parameter {
    std::string_view command;  // as written after "QK+"
    std::string_view key;      // the answer key and the key of the store
    std::string_view defaultValue;
    Accepts accepts;
};

constexpr std::string_view kLoginCommand = "LOGIN";
constexpr std::string_view kThreeFieldStat = "25,36,330";
constexpr std::string_view kFourFieldStat = "8,0,36,330";

// Defaults of a device fresh from the factory. VER holds the hardware version at 12..15
// and the software version at 20..23, where the tool cuts them out.
constexpr std::array<Parameter, 22> kParameters = {{
    {"STAT", "STAT", kThreeFieldStat, Accepts::ReadOnly},
    {"ID", "ID", "QK4520-000123", Accepts::ReadOnly},
    {"VER", "VER", "QK4520-1 HW:V2.1 SW:V3.5 2023-06-01", Accepts::ReadOnly},
    {"BAUD", "BAUD", "9600", Accepts::Baud},
    {"PIPADD", "PIPADD", "192.168.1.10", Accepts::AnyText},
    {"PPORT", "PPORT", "5000", Accepts::Port},
    {"PROTOCOL", "PROTOCOL", "TCP", Accepts::Protocol},
    {"WORKTYPE", "WORKTYPE", "0", Accepts::WorkType},
    {"HEARTIME", "HEARTIME", "1", Accepts::HeartbeatCode},
    {"HEARTDAT", "HEARTDAT", "HEART", Accepts::AnyText},
    {"PDNS", "PDNS", "114.114.114.114", Accepts::AnyText},
    {"DATAB", "DATAB", "8", Accepts::DataBits},
    {"CHECKB", "CHECKB", "N", Accepts::Parity},
    {"EN_ENROL", "REGEN", "0", Accepts::Switch},
    {"ENROL", "ENROL", "QK4520-000123", Accepts::AnyText},
    {"ITVT", "ITVT", "100", Accepts::Number},
    {"PACKSIZE", "PACKSIZE", "1024", Accepts::Number},
    {"RECONNECTIME", "RECONNECTIME", "30", Accepts::Number},
    {"RECONNECTCNT", "RECONNECTCNT", "5", Accepts::Number},
    {"OFFLINETIME", "OFFLINETIME", "300", Accepts::Number},
    {"CANCELEN", "CANCELEN", "0", Accepts::Switch},
    {"CANCELDATA", "CANCELDATA", "BYE", Accepts::AnyText},
}};

const Parameter* FindParameter(std::string_view command) {
    const auto found = std::find_if(kParameters.begin(), kParameters.end(),
                                    [&](const Parameter& p) { return p.command == command; });
    return found == kParameters.end() ? nullptr : &*found;
}

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool OneOf(std::string_view value, std::initializer_list<std::string_view> allowed) {
    return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
}

bool Acceptable(Accepts accepts, std::string_view value) {
    switch (accepts) {
        case Accepts::ReadOnly:
            return false;
        case Accepts::AnyText:
            return true;
        case Accepts::Number:
            return AllDigits(value) && value.size() <= 9;
        case Accepts::Port: {
            if (!AllDigits(value) || value.size() > 5) {
                return false;
            }
            const long port = std::stol(std::string(value));
            return port >= 1 && port <= 65535;
        }
        case Accepts::Baud:
            return OneOf(value, {"1200", "2400", "4800", "7200", "9600", "14400", "19200", "28800",
                                 "38400", "57600", "76800", "115200", "230400", "460800"});
        case Accepts::Protocol:
            return OneOf(value, {"TCP", "UDP"});
        case Accepts::WorkType:
        case Accepts::Switch:
            return OneOf(value, {"0", "1"});
        case Accepts::HeartbeatCode:
            return OneOf(value, {"1", "2", "3"});
        case Accepts::DataBits:
            return OneOf(value, {"5", "6", "7", "8"});
        case Accepts::Parity:
            return OneOf(value, {"N", "O", "E"});
    }
    return false;
}

// The longest tail of `text` that could still grow into a handshake request.
std::size_t RequestPrefixTail(std::string_view text) {
    const std::string_view request = DeviceModel::kHandshakeRequest;
    for (std::size_t length = std::min(text.size(), request.size() - 1); length > 0; --length) {
        if (text.substr(text.size() - length) == request.substr(0, length)) {
            return length;
        }
    }
    return 0;
}

}  // namespace

DeviceModel::DeviceModel(const SimOptions& options) : m_options(options) {
    for (const auto& parameter : kParameters) {
        m_store.emplace(parameter.key, parameter.defaultValue);
    }
    if (m_options.fourFieldStat) {
        m_store["STAT"] = kFourFieldStat;
    }
    if (!m_options.id.empty()) {
        m_store["ID"] = m_options.id;
    }
}

bool DeviceModel::KnowsCommand(std::string_view name) {
    return name == kLoginCommand || FindParameter(name) != nullptr;
}

std::string DeviceModel::Receive(std::string_view bytes, Clock::time_point now) {
    std::string out;
    m_bytesReceived += bytes.size();
    m_pending.append(bytes);
    for (;;) {
        if (!m_configMode) {
            const auto request = m_pending.find(kHandshakeRequest);
            if (request == std::string::npos) {
                m_pending.erase(0, m_pending.size() - RequestPrefixTail(m_pending));
                return out;
            }
            m_pending.erase(0, request + kHandshakeRequest.size());
            HandleHandshakeRequest(now, out);
            continue;
        }
        const auto lineEnd = m_pending.find("\r\n");
        if (m_dropping) {
            if (lineEnd == std::string::npos) {
                // A CR at the end may be the first half of the line end.
                m_pending.erase(0, m_pending.size() - (m_pending.ends_with('\r') ? 1 : 0));
                return out;
            }
            m_pending.erase(0, lineEnd + 2);
            m_dropping = false;
            continue;
        }
        if (m_pending.starts_with(kHandshakeRequest)) {
            m_pending.erase(0, kHandshakeRequest.size());
            HandleHandshakeRequest(now, out);
            continue;
        }
        // The length known so far: a CR at the end is not counted, as it may start the line
        // end, so that a line that fits is taken however its reads fall.
        const std::size_t length = lineEnd != std::string::npos
                                       ? lineEnd
                                       : m_pending.size() - (m_pending.ends_with('\r') ? 1 : 0);
        if (length > kMaxLineLength) {
            m_dropping = true;
            m_lastWasQuery = false;
            AnswerError("LINE TOO LONG", out);
            continue;
        }
        if (lineEnd == std::string::npos) {
            return out;
        }
        const std::string line = m_pending.substr(0, lineEnd);
        m_pending.erase(0, lineEnd + 2);
        HandleLine(line, out);
    }
}

void DeviceModel::HandleHandshakeRequest(Clock::time_point now, std::string& out) {
    m_commands.emplace_back(kHandshakeRequest);
    m_lastWasQuery = false;
    // Counting as well as timing the requests lets a tool that reopens the port at once,
    // as tests do, start a new attempt.
    const bool newBurst = !m_lastRequest || now - *m_lastRequest >= kHandshakeBurstGap ||
                          m_burstRequests >= kRequestsPerBurst;
    m_lastRequest = now;
    m_burstRequests = newBurst ? 1 : m_burstRequests + 1;
    if (!newBurst || m_options.noHandshake) {
        return;
    }
    out += kHandshakeReply;
    ++m_handshakeReplies;
    m_configMode = true;
    m_loggedIn = false;
    m_sessionStarted = false;
}

void DeviceModel::HandleLine(std::string_view line, std::string& out) {
    if (line.empty()) {
        return;
    }
    m_sessionStarted = true;
    if (line == "?") {
        if (m_lastWasQuery) {
            m_commands.back() += "?\r\n";
        } else {
            m_commands.emplace_back("?\r\n");
        }
        m_lastWasQuery = false;
        return;
    }
    m_currentLine = line;
    m_commands.push_back(m_currentLine + "\r\n");
    m_lastWasQuery = false;

    constexpr std::string_view kPrefix = "QK+";
    if (!line.starts_with(kPrefix)) {
        AnswerError("UNKNOWN COMMAND", out);
        return;
    }
    const std::string_view body = line.substr(kPrefix.size());
    const auto equals = body.find('=');
    if (equals == std::string_view::npos) {
        if (body.size() > 1 && body.ends_with('?')) {
            m_lastWasQuery = true;
            const std::string_view name = body.substr(0, body.size() - 1);
            if (!Ignores(name)) {
                HandleQuery(name, out);
            }
        } else {
            AnswerError("UNKNOWN COMMAND", out);
        }
        return;
    }
    const std::string_view name = body.substr(0, equals);
    const std::string_view value = body.substr(equals + 1);
    if (Ignores(name)) {
        return;
    }
    if (name == kLoginCommand) {
        HandleLogin(value, out);
    } else {
        HandleSet(name, value, out);
    }
}

void DeviceModel::HandleQuery(std::string_view name, std::string& out) {
    const Parameter* parameter = FindParameter(name);
    if (parameter == nullptr) {
        AnswerError("UNKNOWN COMMAND", out);
        return;
    }
    const auto value = m_store.find(parameter->key);
    Answer("+" + std::string(parameter->key) + ":" + value->second, out);
}

void DeviceModel::HandleSet(std::string_view name, std::string_view value, std::string& out) {
    if (Silenced()) {
        return;  // not listening: nothing is stored, and nothing would be answered
    }
    const Parameter* parameter = FindParameter(name);
    if (parameter == nullptr) {
        AnswerError("UNKNOWN COMMAND", out);
        return;
    }
    if (parameter->accepts == Accepts::ReadOnly) {
        AnswerError("READ ONLY", out);
        return;
    }
    if (m_options.requireLogin && !m_loggedIn) {
        AnswerError("NOT LOGGED IN", out);
        return;
    }
    if (!Acceptable(parameter->accepts, value)) {
        AnswerError("BAD VALUE", out);
        return;
    }
    const auto& unstored = m_options.unstoredSets;
    if (std::find(unstored.begin(), unstored.end(), name) == unstored.end()) {
        m_store.find(parameter->key)->second = value;
    }
    Answer("+" + std::string(parameter->key) + ":" + std::string(value), out);
}

void DeviceModel::HandleLogin(std::string_view key, std::string& out) {
    const bool accepted = !m_options.refuseLogin && key == kLoginKey;
    // Answered first: with silentAfterLogin the login that silences the device is still
    // confirmed, so the tool goes on to the commands that will get no answer.
    Answer(accepted ? "+LOGIN:OK" : "+LOGIN:ERROR", out);
    // A refused key does not undo an earlier accepted one, as with the tool's own flag.
    m_loggedIn = m_loggedIn || accepted;
}

void DeviceModel::Answer(std::string_view text, std::string& out) {
    // Every answer and refusal comes this way; the handshake reply does not.
    if (Silenced()) {
        return;
    }
    ++m_answers;
    if (m_options.junkEvery != 0 && m_answers % m_options.junkEvery == 0) {
        switch ((m_answers / m_options.junkEvery) % 3) {
            case 1:
                out += m_currentLine;  // the command echoed back
                break;
            case 2:
                break;  // a blank line
            default:
                out += "RDY";
                break;
        }
        out += LineEnd();
    }
    out += text;
    out += LineEnd();
}

void DeviceModel::AnswerError(std::string_view reason, std::string& out) {
    Answer("+ERROR:" + std::string(reason), out);
}

std::string_view DeviceModel::LineEnd() const {
    return m_options.crOnly ? "\r" : m_options.lfOnly ? "\n" : "\r\n";
}

bool DeviceModel::Ignores(std::string_view name) const {
    const auto& ignored = m_options.ignoredCommands;
    return std::find(ignored.begin(), ignored.end(), name) != ignored.end();
}

bool DeviceModel::Silenced() const {
    return m_options.silentAfterLogin && m_loggedIn;
}

std::string DeviceModel::NextDataLine() {
    char number[8];
    std::snprintf(number, sizeof number, "%06u", static_cast<unsigned>(m_dataLines % 1000000));
    ++m_dataLines;
    std::string line(kDataPrefix);
    line += number;
    line += ' ';
    const std::size_t filler = kDataLineLength - line.size() - 2;
    for (std::size_t i = 0; i < filler; ++i) {
        line += static_cast<char>('A' + i % 26);
    }
    line += LineEnd();
    return line;
}

std::size_t DeviceModel::DataLineLength() const {
    return kDataLineLength - 2 + LineEnd().size();
}

std::optional<std::string> DeviceModel::Value(std::string_view key) const {
    const auto found = m_store.find(key);
    if (found == m_store.end()) {
        return std::nullopt;
    }
    return found->second;
}

void DeviceModel::SetValue(std::string_view key, std::string value) {
    m_store.insert_or_assign(std::string(key), std::move(value));
}

std::size_t DeviceModel::CommandCount(std::string_view command) const {
    return static_cast<std::size_t>(std::count(m_commands.begin(), m_commands.end(), command));
}

}  // namespace qk::sim
