// Profiles: what a file says reaches the device as exactly those bytes, every problem in a
// file is found at once, and the window's record goes to a file and back unchanged. Under
// them, the device's GBK against UTF-8 text: every byte survives the round trip through
// what a person reads and writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "DeviceText.h"
#include "Profile.h"
#include "RecordProfile.h"
#include "RecordSettings.h"

namespace qk {
namespace {

using Lines = std::vector<std::string>;

Lines Described(const std::vector<Setting>& settings) {
    Lines lines;
    for (const Setting& setting : settings) {
        lines.push_back(std::string(setting.parameter->name) + "=" + GbkToDisplay(setting.value));
    }
    return lines;
}

TEST(ProfileTest, AFileBecomesTheBytesTheDeviceTakesInSendOrder) {
    const ProfileContents profile = ReadProfile(
        "\xEF\xBB\xBF# QK4410 profile, format 1\r\n"
        "# device ID: QK4520-000123\n"
        "\n"
        "registerData=\xE6\xB3\xA8\xE5\x86\x8C\\xFF\n"  // 注册 and a byte with no UTF-8 form
        "  heartbeat = 45s\n"
        "protocol=udp\n"
        "heartbeatData=a\\\\b \n"
        "deviceBaud=7200\r\n");
    ASSERT_TRUE(profile.ok()) << profile.problems.front();
    EXPECT_EQ(Described(profile.settings),
              (Lines{"deviceBaud=7200", "protocol=UDP", "heartbeat=2", "heartbeatData=a\\\\b ",
                     "registerData=\xE6\xB3\xA8\xE5\x86\x8C\\xFF"}));
}

// Problems make a file useless everywhere; values beyond what one may type (a list's
// outside, a port outside 1 to 65535, registration content over 40 bytes) are set apart:
// they go only to a device that holds exactly them.
TEST(ProfileTest, EveryProblemInAFileIsReportedAtOnceWithItsLine) {
    const ProfileContents profile = ReadProfile(
        "# QK4410 profile, format 7\n"
        "colour=red\n"
        "destPort=5000\n"
        "destPort=5001\n"
        "protocol=SCTP\n"
        "just text\n"
        "dnsServer=8.8.8.8\\x00\n"
        "heartbeatData=\xF0\x9F\x98\x80\n"
        "registerData=" +
        std::string(21, 'x') +
        "\xE6\xB3\xA8\xE5\x86\x8C"
        "0123456789012345\n"
        "destAddress=\xC3\x28\n");
    EXPECT_EQ(
        profile.problems,
        (Lines{"line 1: a profile format this program does not know: '# QK4410 profile, format 7'",
               "line 2: unknown name 'colour' (known: deviceBaud, destAddress, destPort, "
               "protocol, workType, heartbeat, heartbeatData, dnsServer, dataBits, parity, "
               "registerEnable, registerData)",
               "line 4: destPort given again (first on line 3)",
               "line 6: expected NAME=VALUE, got 'just text'",
               "line 7: dnsServer: a value cannot hold a line break or zero byte",
               "line 8: heartbeatData: a character has no GBK form",
               "line 10: destAddress: not valid UTF-8"}));
    Lines beyond;
    for (const auto& b : profile.beyondLimits) {
        beyond.push_back(b.problem);
    }
    EXPECT_EQ(beyond, (Lines{"line 5: protocol must be one of TCP, UDP, got 'SCTP'",
                             "line 9: registerData is 41 bytes in GBK, at most 40"}));
    for (const char* port : {"0", "65536", "80a", "", "99999"}) {
        const ProfileContents one = ReadProfile(std::string("destPort=") + port);
        EXPECT_TRUE(one.ok() && one.beyondLimits.size() == 1u) << port;
    }
    const ProfileContents within =
        ReadProfile("destPort=65535\nregisterData=" + std::string(40, 'x'));
    EXPECT_TRUE(within.ok() && within.beyondLimits.empty());
    // A format line written otherwise, or out of place, does not pass for format 1.
    for (const char* text :
         {"#QK4410 profile, format 2\ndestPort=1\n", "# qk4410 PROFILE, format 1\ndestPort=1\n",
          "destPort=1\n# QK4410 profile, format 1\n"}) {
        EXPECT_EQ(ReadProfile(text).problems.size(), 1u) << text;
    }
    // The device's own code for a list entry is no way to write the entry.
    EXPECT_EQ(ReadProfile("heartbeat=2").problems,
              Lines{"line 1: heartbeat must be one of 30s, 45s, 60s, got '2'"});
}

// What a device holds goes back to it whatever its size: only the device that reports
// exactly such a value takes it.
TEST(ProfileTest, ValuesBeyondTheLimitsGoOnlyToADeviceThatHoldsThem) {
    // 42 bytes: 38 letters and two characters given as their GBK bytes.
    const ProfileContents profile = ReadProfile(
        "destPort=70000\nregisterData=" + std::string(38, 'x') + "\\xD7\\xA2\\xB2\\xE1\n");
    ASSERT_TRUE(profile.ok());
    ReportedValues reported;
    reported.Note(ParameterId::DestPort, "70000");
    reported.Note(ParameterId::RegisterData, "6000");
    EXPECT_EQ(profile.RefusedBy(reported),
              Lines{"line 2: registerData is 42 bytes in GBK, at most 40, and the device does "
                    "not hold that value"});
    reported.Note(ParameterId::RegisterData, std::string(38, 'x') + "\xD7\xA2\xB2\xE1");
    EXPECT_TRUE(profile.RefusedBy(reported).empty());
    EXPECT_EQ(ReadProfile("destPort=70000").RefusedBy({}).size(), 1u);
}

// The window's record to a profile and back: the same commands would go out, and a profile
// that names only some settings leaves the rest of the record byte for byte.
TEST(ProfileTest, TheWindowsRecordGoesToSettingsAndBack) {
    DeviceState state;
    AdvancedParams& a = state.advanced;
    std::tie(state.deviceBaudIndex, state.protocolIndex, state.destAddress, state.destPort) =
        std::tuple(11, 1, "\xD7\xA2.example", "5000");
    // heartbeatCode 3: the device's code for 60s
    std::tie(a.workType, a.heartbeatCode, a.dataBits, a.parity, a.registerEnable, a.dnsServer) =
        std::tuple(1, 3, "7", "E", 0, "8.8.8.8");
    const std::vector<Setting> settings = SettingsFromRecord(state);
    EXPECT_EQ(
        Described(settings),
        (Lines{"deviceBaud=115200", "destAddress=\xE6\xB3\xA8.example", "destPort=5000",
               "protocol=UDP", "workType=1", "heartbeat=3", "heartbeatData=", "dnsServer=8.8.8.8",
               "dataBits=7", "parity=E", "registerEnable=0", "registerData="}));

    DeviceState loaded;
    // Odd, and not named below: must stay as it is.
    std::tie(loaded.advanced.dataBits, loaded.advanced.reconnectTries) = std::pair(" 8", "5");
    std::vector<Setting> some = settings;
    std::erase_if(some, [](const Setting& s) { return s.parameter->name == "dataBits"; });
    StoreSettings(some, loaded);
    // The heartbeat stored as the list position.
    EXPECT_EQ(std::tuple(loaded.advanced.dataBits, loaded.advanced.reconnectTries,
                         loaded.advanced.heartbeatCode, loaded.advanced.heartbeatCodeIsPosition),
              std::tuple(" 8", "5", 2, true));
    loaded.advanced.dataBits = "7";
    EXPECT_EQ(Described(SettingsFromRecord(loaded)), Described(settings));
}

// The window's Save Profile: the ID the device reported, as UTF-8, and the time
// of saving in UTC; a record without an ID gets no ID line, and no comment can become a
// line the file is read for. Read again, the settings are the same bytes, odd ones included.
TEST(ProfileTest, TheWindowsProfileNamesTheDeviceAndTheTimeAndReadsBackUnchanged) {
    DeviceState state;
    // The ID 站07, then a byte with no UTF-8 form.
    std::tie(state.deviceBaudIndex, state.destPort, state.deviceId) = std::tuple(4, "5000",
                                                                                 "\xD5\xBE"
                                                                                 "07\xFF");
    std::tie(state.advanced.registerData, state.advanced.heartbeatData) =
        std::pair("\xD7\xA2\xB2\xE1\xFF\x80", "back\\slash\ttab");
    const auto saved = std::chrono::sys_days(std::chrono::year(2026) / 12 / 7) +
                       std::chrono::hours(5) + std::chrono::minutes(25) + std::chrono::seconds(9);
    const std::string text = ProfileOfRecord(state, saved);
    EXPECT_TRUE(text.starts_with(std::string(kProfileFormatLine) +
                                 "\n# device ID: \xE7\xAB\x99"
                                 "07\\xFF\n"
                                 "# saved: 2026-12-07 05:25:09 UTC\ndeviceBaud=9600\n"))
        << text;
    const ProfileContents again = ReadProfile(text);
    ASSERT_TRUE(again.ok()) << again.problems.front();
    EXPECT_EQ(Described(again.settings), Described(SettingsFromRecord(state)));
    EXPECT_EQ(again.settings.back().value, state.advanced.registerData);

    state.deviceId.clear();
    EXPECT_TRUE(
        ProfileOfRecord(state, saved)
            .starts_with(std::string(kProfileFormatLine) + "\n# saved: 2026-12-07 05:25:09 UTC\n"));
    EXPECT_EQ(WriteProfile({}, {"two\nlines\r\ndeviceBaud=1200"}),
              std::string(kProfileFormatLine) + "\n# two\n# lines\n# deviceBaud=1200\n");
}

TEST(DeviceTextTest, GbkIsShownAsUtf8WithEveryOtherByteVisible) {
    // A log as lines for a terminal, and as text for JSON, which escapes controls itself.
    EXPECT_EQ(GbkToLines("+ID:\xD5\xBE\r\n\x1B[2J\\r\n\rx\n"),
              "+ID:\xE7\xAB\x99\n\\x1B[2J\\\\r\n\\rx\n");
    EXPECT_EQ(GbkToText("a\r\n\\\xFF"), "a\r\n\\\\\\xFF");
    EXPECT_EQ(GbkToDisplay("\xCE\xB4\xB5\xC7\xC2\xBD"), "\xE6\x9C\xAA\xE7\x99\xBB\xE9\x99\x86");
    EXPECT_EQ(GbkToDisplay("a\r\nb\\\x01"), "a\\r\\nb\\\\\\x01");
    EXPECT_EQ(GbkToDisplay("x\xFFy"), "x\\xFFy");
    EXPECT_EQ(GbkToDisplay("\xA1"), "\\xA1");  // a lead byte cut off at the end
    std::string error;
    EXPECT_EQ(DisplayToGbk("\\xff\\xFf", error), "\xFF\xFF");  // either letter case
    EXPECT_EQ(Utf8ToGbk("\xE2\x84\x83"), "\xA1\xE6");
    EXPECT_FALSE(Utf8ToGbk("\xC0"));
}

// Whatever the device sent comes back byte for byte from its displayed form: every single
// byte, valid and cut-off double-byte characters, escapes and backslashes among text.
TEST(DeviceTextTest, DisplayedTextGoesBackToTheSameBytes) {
    std::vector<std::string> samples = {"",          "\xD7\xA2\xB2\xE1",
                                        "QK\\x41\\", "\xA1\xE6\xFF\x80",
                                        "tab\there", std::string("\0zero", 5)};
    for (int byte = 0; byte < 256; ++byte) {
        samples.emplace_back(1, static_cast<char>(byte));
        samples.push_back("\xB0" + std::string(1, static_cast<char>(byte)));
    }
    for (const auto& bytes : samples) {
        std::string error;
        EXPECT_EQ(DisplayToGbk(GbkToDisplay(bytes), error), bytes) << GbkToDisplay(bytes) << error;
    }
}

TEST(DeviceTextTest, TextThatCannotBecomeDeviceBytesIsRefusedWithTheReason) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\\q", "unknown escape \\q (write a backslash as \\\\)"},
        {"ends in \\", "unknown escape \\"},
        {"\\x4", "unknown escape \\x"},
        {"\\xZZ", "unknown escape \\x"},
        {"\xC3\x28", "not valid UTF-8"},
        {"\xE0\x80\xAF", "not valid UTF-8"},  // an overlong "/"
        {"\xED\xA0\x80", "not valid UTF-8"},  // a surrogate
        {"smile \xF0\x9F\x98\x80", "a character has no GBK form"},
    };
    for (const auto& [text, reason] : cases) {
        std::string error;
        EXPECT_FALSE(DisplayToGbk(text, error)) << text;
        EXPECT_TRUE(error.starts_with(reason)) << text << ": " << error;
    }
}

}  // namespace
}  // namespace qk
