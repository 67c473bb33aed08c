#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "ConversationRecorder.h"
#include "ConversationReplay.h"
#include "RecordingDeviceView.h"

namespace qk::replay {
namespace {

using namespace std::chrono_literals;
using namespace std::string_view_literals;
using Lines = std::vector<std::string>;
using ::testing::HasSubstr;

Lines LinesOf(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

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
    const Lines lines = LinesOf(out.str());
    ASSERT_EQ(lines.size(), 12u) << out.str();
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 8),
              (Lines{"# conversation with QK4520-000123", "# < +PPORT:1\\r\\n", "# ", "# end",
                     "0.000 > REQUEST CFG MODE", "0.005 ~ CFG MODE\\r", "1.005 > QK+PIPADD?\\r\\n",
                     "1.255 < +PIPADD:10.0.0.1\\r\\n+ID:7\\r\\n"}));
    std::ostringstream broken;
    broken.setstate(std::ios::badbit);
    EXPECT_FALSE(recorder.Write(broken, "x"));

    std::istringstream script(out.str());
    const auto result = RunReplay(script);
    EXPECT_TRUE(result.ok()) << ::testing::PrintToString(result.failures);
    EXPECT_THAT(result.finalRecord,
                HasSubstr("infoLog=" + Quote(blocks[0] + blocks[1] + blocks[2])));
    EXPECT_THAT(result.finalRecord, HasSubstr("heartbeatData=" + Quote("\x00\xFF\"\\\xD0\xC4"sv)));
    EXPECT_THAT(result.finalRecord, HasSubstr("registerData=" + Quote("QK\xD7\xA2\xB2\xE1")));
    std::istringstream again(out.str());
    EXPECT_EQ(ReadBlocks(again), blocks);
}

// Each item is stamped with the clock as it was then; a clock that steps back is held.
TEST(ConversationRecorderReplayTest, TimesAreWholeMillisecondsThatNeverGoBack) {
    const std::chrono::steady_clock::time_point start{1h};
    const std::pair<std::chrono::steady_clock::duration, std::string_view> cases[] = {
        {-1s, "0.000"},      {7ms, "0.007"},  {999999us, "0.999"},
        {61050ms, "61.050"}, {40s, "61.050"}, {100000500ms, "100000.500"},
    };
    auto now = start;
    ConversationRecorder recorder([&now] { return now; });
    for (const auto& [time, written] : cases) {
        now = start + time;
        recorder.Sent("x");
    }
    std::ostringstream out;
    ASSERT_TRUE(recorder.Write(out, ""));
    const Lines lines = LinesOf(out.str());
    ASSERT_EQ(lines.size(), std::size(cases) + 1);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(lines[i + 1], std::string(cases[i].second) + " > x");
    }
    std::istringstream script(out.str());
    EXPECT_TRUE(RunReplay(script).ok());
}

// The port's writer and the parser record side by side: nothing is lost, and the times
// written stay in order.
TEST(ConversationRecorderReplayTest, ThreadsRecordingTogetherKeepTimesInOrder) {
    constexpr int kEach = 2000;
    ConversationRecorder recorder;
    std::thread writer([&recorder] {
        for (int i = 0; i < kEach; ++i) {
            recorder.Sent("QK+ID?\r\n?\r\n");
        }
    });
    for (int i = 0; i < kEach; ++i) {
        recorder.Received("+PIPADD:" + std::to_string(i) + "\r\n");
    }
    writer.join();
    std::ostringstream out;
    ASSERT_TRUE(recorder.Write(out, "two threads"));
    std::istringstream script(out.str());
    const auto result = RunReplay(script);
    EXPECT_TRUE(result.ok()) << ::testing::PrintToString(result.failures);
    EXPECT_EQ(result.transcript.size(), 2u * kEach);
    EXPECT_THAT(result.finalRecord, HasSubstr("destAddress=\"" + std::to_string(kEach - 1)));
}

}  // namespace
}  // namespace qk::replay
