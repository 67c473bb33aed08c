#include "ConversationReplay.h"

#include <cstddef>

#include "DeviceStateFields.h"
#include "RecordingDeviceView.h"
#include "ResponseParser.h"

namespace qk::replay {
namespace {

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

}  // namespace

ReplayResult RunReplay(std::istream& script) {
    DeviceState state;
    RecordingDeviceView view;
    ResponseParser parser(state, view);
    ReplayResult result;
    std::size_t matchedCalls = 0;

    std::string line;
    for (int number = 1; std::getline(script, line); ++number) {
        auto fail = [&](const std::string& what) {
            result.failures.push_back("line " + std::to_string(number) + ": " + what);
        };
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (line.size() < 2 || line[1] != ' ') {
            fail("expected '<', '@' or '=' and a space");
            continue;
        }
        const std::string_view body = std::string_view(line).substr(2);
        switch (line[0]) {
            case '<': {
                std::string block;
                if (!Unescape(body, block)) {
                    fail("malformed escape in block");
                    break;
                }
                parser.HandleBlock(block);
                break;
            }
            case '@':
                if (matchedCalls >= view.calls().size()) {
                    fail("expected " + std::string(body) + ", but no further call was made");
                } else if (view.calls()[matchedCalls] != body) {
                    fail("expected " + std::string(body) + ", got " + view.calls()[matchedCalls]);
                    ++matchedCalls;
                } else {
                    ++matchedCalls;
                }
                break;
            case '=': {
                std::string name;
                std::string expected;
                if (!ParseFieldExpectation(body, name, expected)) {
                    fail("expected: = name \"value\"");
                    break;
                }
                const auto actual = FieldValue(state, name);
                if (!actual) {
                    fail("no field named " + name);
                } else if (*actual != expected) {
                    fail(name + " is " + Quote(*actual) + ", expected " + Quote(expected));
                }
                break;
            }
            default: fail("expected '<', '@' or '=' and a space");
        }
    }
    for (std::size_t i = matchedCalls; i < view.calls().size(); ++i) {
        result.failures.push_back("unexpected call " + view.calls()[i]);
    }
    result.calls = view.calls();
    result.finalRecord = DescribeRecord(state);
    return result;
}

std::vector<std::string> ReadBlocks(std::istream& script) {
    std::vector<std::string> blocks;
    std::string line;
    while (std::getline(script, line)) {
        std::string block;
        if (line.starts_with("< ") && Unescape(std::string_view(line).substr(2), block)) {
            blocks.push_back(std::move(block));
        }
    }
    return blocks;
}

}  // namespace qk::replay
