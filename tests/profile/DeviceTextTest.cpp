// The device's GBK against UTF-8 text: every byte survives the round trip through what a
// person reads and writes.
#include <gtest/gtest.h>

#include "DeviceText.h"

namespace qk {
namespace {

TEST(DeviceTextTest, GbkIsShownAsUtf8WithEveryOtherByteVisible) {
    EXPECT_EQ(GbkToDisplay("\xCE\xB4\xB5\xC7\xC2\xBD"), "\xE6\x9C\xAA\xE7\x99\xBB\xE9\x99\x86");
    EXPECT_EQ(GbkToDisplay("a\r\nb\\\x01"), "a\\r\\nb\\\\\\x01");
    EXPECT_EQ(GbkToDisplay("x\xFFy"), "x\\xFFy");
    EXPECT_EQ(GbkToDisplay("\xA1"), "\\xA1");  // a lead byte cut off at the end
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
