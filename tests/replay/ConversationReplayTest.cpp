// The conversation format: what the recorder writes and recorded sessions replay through the
// parser as they did, and every malformed line is reported with its number.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ConversationRecorder.h"
#include "ConversationReplay.h"
#include "RecordingDeviceView.h"

namespace qk::replay {
namespace {

using namespace std::chrono_literals;
using namespace std::string_view_literals;
using Calls = std::vector<std::string>;
using Lines = std::vector<std::string>;
using ::testing::HasSubstr;
using ::testing::Not;

TEST(ConversationRecorderReplayTest, WrittenConversationReplaysTheBlocksItRecorded) {
    std::chrono::steady_clock::time_point now{10h};
    ConversationRecorder recorder([&now] { return now; });
    const Lines blocks = {
        "+PIPADD:10.0.0.1\r\n+ID:7\r\n",
        std::string("+HEARTDAT:\x00\xFF\"\\\xD0\xC4\r\n+CANCELDATA:a\nb\r\n"sv),
        "+ENROL:QK\xD7\xA2\xB2\xE1\r\n",
    };
    recorder.Sent("REQUEST CFG MODE");
    now += 5ms;
    recorder.Sent("");
    recorder.HandshakeRead("CFG MODE\r");
    now += 1s;
    for (const auto& block : blocks) {
        recorder.Sent("QK+PIPADD?\r\n");
        now += 250ms;
        recorder.Received(block);
        recorder.Received("");
    }

    // Every line of the header is a comment, even one that reads as an item.
    std::ostringstream out;
    ASSERT_TRUE(recorder.Write(out, "conversation with QK4520-000123\n< +PPORT:1\\r\\n\r\rend\n"));
    EXPECT_TRUE(
        out.str().starts_with("# conversation with QK4520-000123\n# < +PPORT:1\\r\\n\n# \n# "
                              "end\n0.000 > REQUEST CFG MODE\n"
                              "0.005 ~ CFG MODE\\r\n1.005 > QK+PIPADD?\\r\\n\n1.255 < "
                              "+PIPADD:10.0.0.1\\r\\n+ID:7\\r\\n\n"))
        << out.str();
    EXPECT_EQ(std::ranges::count(out.str(), '\n'), 12);
    std::ostringstream broken;
    broken.setstate(std::ios::badbit);
    EXPECT_FALSE(recorder.Write(broken, "x"));

    // What the parser makes of it goes in as expectations: the calls after their blocks,
    // then every field but the log and the login key; the comments stay where they were.
    std::istringstream recorded(out.str());
    std::vector<std::string> malformed;
    const std::string expected = WithExpectations(recorded, malformed);
    EXPECT_TRUE(malformed.empty());
    EXPECT_THAT(expected, HasSubstr("# end\n0.000 > REQUEST CFG MODE\n"));
    EXPECT_THAT(expected, HasSubstr("+ID:7\\r\\n\n@ SetStatusText(1,\"ID:7\")\n"));
    EXPECT_THAT(expected, HasSubstr("\n= destAddress \"10.0.0.1\"\n"));
    EXPECT_THAT(expected, Not(HasSubstr("= infoLog")));
    EXPECT_THAT(expected, Not(HasSubstr("= loginKey")));
    std::istringstream script(expected);
    const auto result = RunReplay(script);
    EXPECT_TRUE(result.ok() && result.expectsAnything && !result.calls.empty())
        << ::testing::PrintToString(result.failures);
    EXPECT_THAT(result.finalRecord,
                HasSubstr("infoLog=" + Quote(blocks[0] + blocks[1] + blocks[2])));
    EXPECT_THAT(result.finalRecord, HasSubstr("heartbeatData=" + Quote("\x00\xFF\"\\\xD0\xC4"sv)));
    EXPECT_THAT(result.finalRecord, HasSubstr("registerData=" + Quote("QK\xD7\xA2\xB2\xE1")));
    std::istringstream again(out.str());
    EXPECT_EQ(ReadBlocks(again), blocks);
}

const char* const kRecordedSessions[] = {"session.conv", "malformed.conv", "logged.conv"};

std::string ReadData(const char* name) {
    std::ifstream file(std::string(QK_TEST_DATA_DIR) + "/" + name);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST(ConversationReplayTest, RecordedSessionsReplayAsExpected) {
    for (const char* name : kRecordedSessions) {
        std::istringstream file(ReadData(name));
        const auto result = replay::RunReplay(file);
        EXPECT_TRUE(result.expectsAnything) << name << " checks nothing";
        for (const auto& failure : result.failures) {
            ADD_FAILURE() << name << ": " << failure;
        }
    }
}

// A recording is only a check if it fails when the parser reads it otherwise: one answer
// key garbled, whichever, in whichever recorded session, and the replay must fail.
TEST(ConversationReplayTest, AnyAnswerKeyGarbledInARecordedSessionFailsItsReplay) {
    int garbled = 0;
    for (const char* name : kRecordedSessions) {
        const std::string text = ReadData(name);
        std::size_t lineStart = 0;
        for (std::size_t lineEnd; (lineEnd = text.find('\n', lineStart)) != std::string::npos;
             lineStart = lineEnd + 1) {
            const std::string_view line(&text[lineStart], lineEnd - lineStart);
            const std::size_t item = line.find("< ");
            if (item == std::string_view::npos || line.find_first_not_of("0123456789. ") != item) {
                continue;
            }
            // Each answer's key: from a "+" that starts the block or follows an escaped line
            // feed, to its ":".
            for (std::size_t plus = item + 2; plus != std::string_view::npos;
                 plus = line.find("\\n+", plus + 1),
                             plus += plus != std::string_view::npos ? 2 : 0) {
                const std::size_t colon = line.find(':', plus);
                if (line[plus] != '+' || colon == std::string_view::npos || colon == plus + 1) {
                    continue;
                }
                std::string changed = text;
                changed[lineStart + plus + 1] ^= 0x20;  // the key's first letter, other case
                std::istringstream script(changed);
                EXPECT_FALSE(RunReplay(script).ok())
                    << name << ": " << line.substr(plus, colon - plus) << " garbled";
                ++garbled;
            }
        }
    }
    EXPECT_GE(garbled, 45);  // the keys of the three sessions, each garbled once
}

TEST(ConversationReplayTest, MismatchesAreReportedWithTheirLine) {
    std::istringstream script(
        "< +ID:7\\r\\n\n"
        "@ SetStatusText(1,\"ID:8\")\n"
        "= destPort \"1\"\n"
        "= nosuchfield \"\"\n"
        "< +PPORT:2\\x\n"
        "< +LOGIN:no\\r\\n\n");
    const auto result = replay::RunReplay(script);
    EXPECT_EQ(result.failures,
              (Calls{R"(line 2: expected SetStatusText(1,"ID:8"), got SetStatusText(1,"ID:7"))",
                     R"(line 3: destPort is "", expected "1")",
                     "line 4: no field named nosuchfield", "line 5: malformed escape in block",
                     R"(unexpected call ShowMessage("Login fail!"))"}));
}

TEST(ConversationReplayTest, MalformedTimedLinesFailWithTheirLine) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"12 < +PPORT:1\\r\\n", "malformed time"},
        {"6.000< +PPORT:1\\r\\n", "expected a space after the time"},
        {"6.000 # a comment", "a time must be followed by an item"},
        {"4.999 < +PPORT:1\\r\\n", "time 4.999 is before the previous 5.000"},
        {"6.000 ? +PPORT:1\\r\\n", "expected '<', '>', '~', '@' or '=' and a space"},
        {"6.000 > QK+PPORT?\\q", "malformed escape in written bytes"},
        {"6.000 ~ CFG MODE\\x0", "malformed escape in handshake read"},
    };
    for (const auto& [line, failure] : cases) {
        std::istringstream script("5.000 > QK+PPORT?\\r\\n\n" + std::string(line) +
                                  "\n7.000 < +PIPADD:a\\r\\n\n");
        const auto result = replay::RunReplay(script);
        EXPECT_EQ(result.failures, Calls{"line 2: " + std::string(failure)}) << line;
    }
}

// Written bytes and handshake reads are shown in their place but never reach the parser.
// Times compare as the decimals they are written as, not as text.
TEST(ConversationReplayTest, WrittenBytesAreShownNotParsedAndTimesCompareAsNumbers) {
    std::istringstream script(
        "0.000 > REQUEST CFG MODE\n"
        "0.200 ~ +PPORT:1\\r\\n\n"
        "0.200 > +PPORT:2\\r\\n\n"
        "9.999 < +ID:7\\r\\n+PIPADD:a\\r\\n\n"
        "@ SetStatusText(1,\"ID:7\")\n"
        "= destPort \"\"\n"
        "= infoLog \"+ID:7\\r\\n+PIPADD:a\\r\\n\"\n"
        "< +PPORT:2\\r\\n\n"  // an untimed item leaves the order alone
        "10.0 < +PPORT:3\\r\\n\n"
        "10.000 = destPort \"3\"\n");
    const auto result = replay::RunReplay(script);
    EXPECT_TRUE(result.ok()) << ::testing::PrintToString(result.failures);
    EXPECT_EQ(std::vector(result.transcript.begin(), result.transcript.begin() + 5),
              (Calls{"0.000 > REQUEST CFG MODE", "0.200 ~ +PPORT:1\\r\\n", "0.200 > +PPORT:2\\r\\n",
                     "9.999 < +ID:7\\r\\n+PIPADD:a\\r\\n", R"(@ SetStatusText(1,"ID:7"))"}));
}

}  // namespace
}  // namespace qk::replay
