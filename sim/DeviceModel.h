#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "SimOptions.h"

namespace qk::sim {

// The logic of a QK4410/QK4520 terminal on its configuration line: fed the bytes it
// receives, in any chunking, it returns the bytes it answers with and keeps its parameter
// store. It does no I/O and reads no clock: the time of arrival is passed in, so every
// behaviour can be driven from a test. Latency, chunking, streaming and hanging up are the
// business of whoever runs the model (SimulatedDevice).
//
// Wire behaviour:
// - "REQUEST CFG MODE" (no line end) is answered with "CFG MODE\r" once per burst: a burst
//   is up to kRequestsPerBurst requests (what the tool writes for one attempt), each less
//   than kHandshakeBurstGap after the one before. Before configuration mode
//   everything else is dropped; in configuration mode a request counts at the start of a
//   line. Every confirmed handshake starts a new session: the login is forgotten.
// - In configuration mode commands are lines ending in "\r\n". "QK+KEY?" queries, answered
//   "+KEY:VALUE\r\n" under the answer key (EN_ENROL reports as REGEN); "QK+KEY=VALUE" sets
//   and confirms in the same form; "QK+LOGIN=KEY" answers "+LOGIN:OK" or "+LOGIN:ERROR".
//   With crOnly every line it sends (answers, junk, data lines) ends in "\r" alone instead,
//   with lfOnly in "\n" alone;
//   the handshake reply is the same either way.
// - A line "?" is the doubled suffix the tool sends after STAT, ID and VER: no answer.
// - Empty lines get no answer. Everything else refused is answered "+ERROR:<reason>\r\n",
//   a key the tool's parser ignores.
// - A line longer than kMaxLineLength is answered "+ERROR:LINE TOO LONG" once and dropped
//   up to its line end, whole: no part of it counts as a command or a handshake request.
// - Commands for a name in ignoredCommands get no answer and change nothing. With
//   silentAfterLogin, once a login has been accepted and confirmed nothing at all is answered
//   and no set is stored until the next confirmed handshake. Either way the commands are
//   still recorded (ReceivedCommands), and the handshake is still answered.
class DeviceModel {
  public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::string_view kHandshakeRequest = "REQUEST CFG MODE";
    static constexpr std::string_view kHandshakeReply = "CFG MODE\r";
    static constexpr std::string_view kLoginKey = "358024";
    static constexpr std::chrono::milliseconds kHandshakeBurstGap{500};
    static constexpr std::size_t kRequestsPerBurst = 3;
    // A line longer than this (without its line end) is refused once and dropped up to its
    // line end, however its bytes are split into reads.
    static constexpr std::size_t kMaxLineLength = 1024;
    static constexpr std::string_view kDataPrefix = "+DATA:";

    explicit DeviceModel(const SimOptions& options = {});

    // Whether `name`, as written after "QK+", is a command the device knows (LOGIN included).
    static bool KnowsCommand(std::string_view name);

    // Takes bytes as they came off the line; returns what the device sends back (maybe
    // nothing). Answers are in the order of the commands.
    std::string Receive(std::string_view bytes, Clock::time_point now = Clock::now());

    // The next line of the data stream: "+DATA:" six-digit sequence number (from 000000,
    // wrapping after 999999), a space, filler, "\r\n"; every line is kDataLineLength bytes,
    // or one less ending in "\r" alone with crOnly (DataLineLength()).
    std::string NextDataLine();
    static constexpr std::size_t kDataLineLength = 40;
    std::size_t DataLineLength() const;

    // The store, by answer key (REGEN, not EN_ENROL); nullopt for a key it does not hold.
    std::optional<std::string> Value(std::string_view key) const;
    // Presets a value, as if set through the wire but without checks or login.
    void SetValue(std::string_view key, std::string value);

    // Every command received, in order, exactly as it came: handshake requests as
    // "REQUEST CFG MODE", lines with their "\r\n". A "?" line straight after a query is kept
    // with that query, so the tool's "QK+STAT?\r\n?\r\n" is one entry. Empty lines, lines
    // refused as too long and what arrives outside configuration mode other than handshake
    // requests are not recorded.
    const std::vector<std::string>& ReceivedCommands() const { return m_commands; }
    std::size_t CommandCount(std::string_view command) const;

    std::size_t HandshakeReplies() const { return m_handshakeReplies; }
    // Every byte that came off the line, commands or not: more than the commands hold means
    // the tool wrote something that is no command.
    std::uint64_t BytesReceived() const { return m_bytesReceived; }
    bool InConfigMode() const { return m_configMode; }
    bool LoggedIn() const { return m_loggedIn; }
    // True once a command line has arrived since the last confirmed handshake: from then on
    // the tool's handshake read is over and unsolicited data cannot spoil it.
    bool SessionStarted() const { return m_sessionStarted; }
    std::uint64_t DataLinesSent() const { return m_dataLines; }

  private:
    void HandleHandshakeRequest(Clock::time_point now, std::string& out);
    void HandleLine(std::string_view line, std::string& out);
    void HandleQuery(std::string_view name, std::string& out);
    void HandleSet(std::string_view name, std::string_view value, std::string& out);
    void HandleLogin(std::string_view key, std::string& out);
    // Sends `text` as a line, with the line end the options ask for.
    void Answer(std::string_view text, std::string& out);
    void AnswerError(std::string_view reason, std::string& out);
    std::string_view LineEnd() const;
    bool Ignores(std::string_view name) const;
    // True while the device has stopped listening (silentAfterLogin after a login).
    bool Silenced() const;

    SimOptions m_options;
    std::map<std::string, std::string, std::less<>> m_store;
    std::string m_pending;
    bool m_dropping = false;    // the rest of a line refused as too long, up to its line end
    std::string m_currentLine;  // text of the line being handled, for echo junk
    std::vector<std::string> m_commands;
    bool m_lastWasQuery = false;
    bool m_configMode = false;
    bool m_loggedIn = false;
    bool m_sessionStarted = false;
    std::optional<Clock::time_point> m_lastRequest;
    std::size_t m_burstRequests = 0;
    std::size_t m_handshakeReplies = 0;
    std::size_t m_answers = 0;
    std::uint64_t m_dataLines = 0;
    std::uint64_t m_bytesReceived = 0;
};

}  // namespace qk::sim
