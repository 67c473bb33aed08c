// Answer values that are no valid GBK, or hold control bytes: kept byte for byte and sent
// back unchanged, except the bytes that would break a command apart.
#include <gtest/gtest.h>

#include "FaultRig.h"
#include "SimulatedDevice.h"

namespace qk::faults {
namespace {

using namespace std::string_literals;

struct OddValue {
    std::string_view key;  // the device's answer key
    std::string value;
    std::string DeviceState::*basic;
    std::string AdvancedParams::*advanced;
    std::string_view field;  // the name a refusal gives; empty when the value can be sent
};

const OddValue kOddValues[] = {
    {"HEARTDAT", "\xFF\x80\x01\x7F", nullptr, &AdvancedParams::heartbeatData, ""},
    {"PIPADD", "\xFE\xFF\x80\x7F\x1B[2J\x07", &DeviceState::destAddress, nullptr, ""},
    {"PDNS", "8.8.8.8\t\xA1", nullptr, &AdvancedParams::dnsServer, ""},  // a lead byte cut off
    {"PPORT", "50\0\x80"s, &DeviceState::destPort, nullptr, "Dest. Port"},
    // ":" followed by a line feed before the CR: the value runs on across it. The parser
    // then looks at the text after that line feed, which is no answer line, and skips the
    // rest of the block; ENROL is asked last, so nothing else is lost with it here.
    {"ENROL", "\xFF\x80\x01\x7F\nQK", nullptr, &AdvancedParams::registerData,
     "Regist Packet Content"},
};

const std::string& Stored(const ToolRig& tool, const OddValue& odd) {
    return odd.basic ? tool.state.*odd.basic : tool.state.advanced.*odd.advanced;
}

std::string SetCommand(const OddValue& odd) {
    return "QK+" + std::string(odd.key) + "=" + odd.value + "\r\n";
}

TEST(OddAnswerValues, AreStoredAndSentBackByteForByteUnlessTheyWouldSplitACommand) {
    sim::SimulatedDevice device;
    for (const auto& odd : kOddValues) {
        device.SetValue(odd.key, odd.value);
    }
    PortDirectory ports;
    ports.Pin(1, device.slavePath());
    ToolRig tool(ports, 1);
    tool.controller.ToggleOpen();
    ASSERT_TRUE(tool.InConfigMode());
    ASSERT_TRUE(tool.RunBlocksUntil([&] { return HasAllParameters(tool); }));
    for (const auto& odd : kOddValues) {
        EXPECT_EQ(Stored(tool, odd), odd.value) << odd.key;
    }

    tool.controller.Login();
    ASSERT_TRUE(tool.RunBlocksUntil([&] { return tool.state.loggedIn; }));
    tool.controller.SetParameters();
    tool.view.dialog = [](AdvancedParams&, bool) { return true; };  // "Set", nothing edited
    tool.controller.EditAdvancedParameters();
    EXPECT_TRUE(tool.Shown("Not sent: Dest. Port (holds a line break or zero byte)."));
    EXPECT_TRUE(tool.Shown("Not sent: Regist Packet Content (holds a line break or zero byte)."));

    // The device has the sendable values back exactly as it gave them, and nothing of the
    // others: no command starting with their text reached it.
    ASSERT_TRUE(device.WaitUntil(
        [](const sim::DeviceModel& m) { return m.CommandCount("QK+EN_ENROL=0\r\n") == 1; }, 5s));
    const auto commands = device.ReceivedCommands();
    for (const auto& odd : kOddValues) {
        const std::string prefix = "QK+" + std::string(odd.key) + "=";
        const auto count = std::count_if(commands.begin(), commands.end(),
                                         [&](const auto& c) { return c.starts_with(prefix); });
        if (odd.field.empty()) {
            EXPECT_EQ(count, 1) << odd.key;
            EXPECT_EQ(device.Value(odd.key), odd.value) << odd.key;
            EXPECT_NE(std::find(commands.begin(), commands.end(), SetCommand(odd)), commands.end())
                << odd.key;
        } else {
            EXPECT_EQ(count, 0) << odd.key;
        }
    }
    // The confirmation of the last set command (REGEN) is the second of its kind in the log.
    ASSERT_TRUE(tool.RunBlocksUntil([&] {
        const auto first = tool.state.infoLog.find("+REGEN:0\r\n");
        return tool.state.infoLog.find("+REGEN:0\r\n", first + 1) != std::string::npos;
    }));
    for (const auto& odd : kOddValues) {
        EXPECT_EQ(Stored(tool, odd), odd.value) << odd.key << " after the device's confirmation";
    }
}

TEST(OddAnswerValues, AnEditThatWouldSmuggleACommandIsNotSent) {
    sim::SimulatedDevice device;
    PortDirectory ports;
    ports.Pin(1, device.slavePath());
    ToolRig tool(ports, 1);
    tool.controller.ToggleOpen();
    ASSERT_TRUE(tool.RunBlocksUntil([&] { return HasAllParameters(tool); }));
    tool.controller.Login();
    ASSERT_TRUE(tool.RunBlocksUntil([&] { return tool.state.loggedIn; }));

    tool.view.dialog = [](AdvancedParams& record, bool) {
        record.heartbeatData = "HB\rQK+PDNS=6.6.6.6";
        record.dnsServer = "1.1.1.1\r\nQK+ENROL=X";
        return true;
    };
    tool.controller.EditAdvancedParameters();
    EXPECT_TRUE(
        tool.Shown("Not sent: Heart Beat Content (holds a line break or zero byte), DNS Server IP "
                   "(holds a line break or zero byte)."));
    ASSERT_TRUE(device.WaitUntil(
        [](const sim::DeviceModel& m) { return m.CommandCount("QK+EN_ENROL=0\r\n") == 1; }, 5s));
    EXPECT_EQ(device.Value("HEARTDAT"), "HEART");
    EXPECT_EQ(device.Value("PDNS"), "114.114.114.114");
    EXPECT_EQ(device.Value("ENROL"), "QK4520-000123");
}

}  // namespace
}  // namespace qk::faults
