#include "ConversationReplay.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "DeviceStateFields.h"
#include "RecordingDeviceView.h"
#include "ResponseParser.h"

namespace qk::replay {
namespace {

constexpr std::string_view kItemKinds = "<>~@=";
constexpr std::string_view kExpectedItem = "expected '<', '>', '~', '@' or '=' and a space";

std::string DescribeRecord(const DeviceState& state) {
    std::string text;
    for (const auto& field : ListFields(state)) {
        text += std::string(field.name) + "=" + Quote(field.value) + "\n";
    }
    return text;
}

// `name "value"` → name and unescaped value.
bool ParseFieldExpectation(std::string_view text, std::string& name, std::string& value) {
    const auto space = text.find(' ');
    if (space == std::string_view::npos) {
        return false;
    }
    name = text.substr(0, space);
    std::string_view quoted = text.substr(space + 1);
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') {
        return false;
    }
    return Unescape(quoted.substr(1, quoted.size() - 2), value);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t SkipDigits(std::string_view text, std::size_t from) {
    while (from < text.size() && IsDigit(text[from])) {
        ++from;
    }
    return from;
}

// One line taken apart. A line is malformed when `error` is set; a blank or comment line
// has no kind.
struct Line {
    std::string_view time;  // as written; empty when the line has none
    char kind = 0;
    std::string_view body;  // after the kind and its space
    std::string error;
};

Line SplitLine(std::string_view text) {
    Line line;
    auto failed = [&line](std::string_view why) {
        line.error = why;
        return line;
    };
    if (!text.empty() && IsDigit(text[0])) {
        const std::size_t point = SkipDigits(text, 0);
        const std::size_t end =
            point < text.size() && text[point] == '.' ? SkipDigits(text, point + 1) : point;
        if (end == point || end == point + 1) {
            return failed("malformed time");
        }
        if (end == text.size()) {
            return failed("a time must be followed by an item");
        }
        if (text[end] != ' ') {
            // "1.5< x" lacks the space; "1.5.2 < x" or "1.5e3 < x" is no time at all.
            return failed(kItemKinds.find(text[end]) == std::string_view::npos
                              ? "malformed time"
                              : "expected a space after the time");
        }
        line.time = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (text.empty() || text[0] == '#') {
            return failed("a time must be followed by an item");
        }
    } else if (text.empty() || text[0] == '#') {
        return line;
    }
    if (text.size() < 2 || text[1] != ' ' || kItemKinds.find(text[0]) == std::string_view::npos) {
        return failed(kExpectedItem);
    }
    line.kind = text[0];
    line.body = text.substr(2);
    return line;
}

// Whether time `a` is earlier than time `b`, compared as the decimals they are written as:
// "10.0" comes after "9.999" and "2.50" equals "2.5", however many digits there are.
bool Earlier(std::string_view a, std::string_view b) {
    auto parts = [](std::string_view time) {
        const auto point = time.find('.');
        std::string_view whole = time.substr(0, point);
        std::string_view fraction = time.substr(point + 1);
        whole.remove_prefix(std::min(whole.find_first_not_of('0'), whole.size()));
        fraction = fraction.substr(0, fraction.find_last_not_of('0') + 1);
        return std::pair(whole, fraction);
    };
    const auto [aWhole, aFraction] = parts(a);
    const auto [bWhole, bFraction] = parts(b);
    if (aWhole.size() != bWhole.size()) {
        return aWhole.size() < bWhole.size();
    }
    return aWhole != bWhole ? aWhole < bWhole : aFraction < bFraction;
}

// Feeds a conversation's lines through the parser one at a time and collects what it did.
class Replay {
  public:
    void Take(int number, const std::string& text) {
        const Line line = SplitLine(text);
        if (!line.error.empty()) {
            Fail(number, line.error);
            return;
        }
        if (line.kind == 0) {
            return;
        }
        if (!line.time.empty()) {
            if (!m_lastTime.empty() && Earlier(line.time, m_lastTime)) {
                Fail(number,
                     "time " + std::string(line.time) + " is before the previous " + m_lastTime);
            }
            m_lastTime = line.time;
        }
        switch (line.kind) {
            case '<':
                Block(number, text, line.body);
                break;
            case '>':
                Shown(number, text, line.body, "malformed escape in written bytes");
                break;
            case '~':
                Shown(number, text, line.body, "malformed escape in handshake read");
                break;
            case '@':
                ExpectCall(number, line.body);
                break;
            case '=':
                ExpectField(number, line.body);
                break;
        }
    }

    ReplayResult Finish() {
        m_result.expectsAnything = m_expectsAnything;
        if (m_expectsAnything) {
            for (std::size_t i = m_matchedCalls; i < m_view.calls().size(); ++i) {
                m_result.failures.push_back("unexpected call " + m_view.calls()[i]);
            }
        }
        m_result.calls = m_view.calls();
        m_result.finalRecord = DescribeRecord(m_state);
        return std::move(m_result);
    }

    const DeviceState& state() const { return m_state; }
    const std::vector<std::string>& transcript() const { return m_result.transcript; }

  private:
    void Fail(int number, std::string_view what) {
        m_result.failures.push_back("line " + std::to_string(number) + ": " + std::string(what));
    }

    void Block(int number, const std::string& text, std::string_view body) {
        std::string block;
        if (!Unescape(body, block)) {
            Fail(number, "malformed escape in block");
            return;
        }
        m_result.transcript.push_back(text);
        const std::size_t before = m_view.calls().size();
        m_parser.HandleBlock(block);
        for (std::size_t i = before; i < m_view.calls().size(); ++i) {
            m_result.transcript.push_back("@ " + m_view.calls()[i]);
        }
    }

    void Shown(int number, const std::string& text, std::string_view body,
               std::string_view malformed) {
        std::string bytes;
        if (!Unescape(body, bytes)) {
            Fail(number, malformed);
            return;
        }
        m_result.transcript.push_back(text);
    }

    void ExpectCall(int number, std::string_view call) {
        m_expectsAnything = true;
        const auto& calls = m_view.calls();
        if (m_matchedCalls >= calls.size()) {
            Fail(number, "expected " + std::string(call) + ", but no further call was made");
            return;
        }
        if (calls[m_matchedCalls] != call) {
            Fail(number, "expected " + std::string(call) + ", got " + calls[m_matchedCalls]);
        }
        ++m_matchedCalls;
    }

    void ExpectField(int number, std::string_view body) {
        m_expectsAnything = true;
        std::string name;
        std::string expected;
        if (!ParseFieldExpectation(body, name, expected)) {
            Fail(number, "expected: = name \"value\"");
            return;
        }
        const auto actual = FieldValue(m_state, name);
        if (!actual) {
            Fail(number, "no field named " + name);
        } else if (*actual != expected) {
            Fail(number, name + " is " + Quote(*actual) + ", expected " + Quote(expected));
        }
    }

    DeviceState m_state;
    RecordingDeviceView m_view;
    ResponseParser m_parser{m_state, m_view};
    ReplayResult m_result;
    std::size_t m_matchedCalls = 0;
    std::string m_lastTime;
    bool m_expectsAnything = false;
};

}  // namespace

ReplayResult RunReplay(std::istream& script) {
    Replay replay;
    std::string line;
    for (int number = 1; std::getline(script, line); ++number) {
        replay.Take(number, line);
    }
    return replay.Finish();
}

std::string WithExpectations(std::istream& conversation, std::vector<std::string>& failures) {
    Replay replay;
    std::string out;
    std::string text;
    for (int number = 1; std::getline(conversation, text); ++number) {
        const Line line = SplitLine(text);
        if (line.kind == '@' || line.kind == '=') {
            continue;
        }
        if (line.kind == 0 && line.error.empty()) {
            out += text + "\n";  // a comment or a blank line
            continue;
        }
        // The item as it was (unless malformed), a block followed by the calls it made.
        const std::size_t before = replay.transcript().size();
        replay.Take(number, text);
        for (std::size_t i = before; i < replay.transcript().size(); ++i) {
            out += replay.transcript()[i] + "\n";
        }
    }
    // Not the log, which is the blocks themselves, nor the login key, which is the
    // operator's, no answer sets it, and a conversation record must not show it.
    for (const auto& field : ListFields(replay.state())) {
        if (field.name != "infoLog" && field.name != "loginKey") {
            out += "= " + std::string(field.name) + " " + Quote(field.value) + "\n";
        }
    }
    failures = replay.Finish().failures;
    return out;
}

std::vector<std::string> ReadBlocks(std::istream& script) {
    std::vector<std::string> blocks;
    std::string text;
    while (std::getline(script, text)) {
        const Line line = SplitLine(text);
        std::string block;
        if (line.kind == '<' && Unescape(line.body, block)) {
            blocks.push_back(std::move(block));
        }
    }
    return blocks;
}

}  // namespace qk::replay
