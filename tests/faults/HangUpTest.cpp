// The device goes away (an unplugged adapter) while the tool reads its parameters.
#include <gtest/gtest.h>

#include <iostream>
#include <mutex>

#include "FaultRig.h"
#include "ProcessProbe.h"
#include "SimulatedDevice.h"

namespace qk::faults {
namespace {

using Direction = sim::SimulatedDevice::Direction;

constexpr int kCom = 3;
constexpr std::size_t kHandshakeWrites = 3;
constexpr std::size_t kQueries = 15;
constexpr std::size_t kAnsweredBeforeHangUp = 4;  // STAT, ID, VER, BAUD

TEST(DeviceHangsUp, MidParametersEveryWriteFailsOnceNothingSpinsAndANewDeviceOpens) {
    std::mutex sentMutex;
    std::string sent;
    auto device = std::make_unique<sim::SimulatedDevice>(
        sim::SimOptions{.hangupAfter = 1s}, [&](Direction direction, std::string_view bytes) {
            if (direction == Direction::Sent) {
                std::lock_guard lock(sentMutex);
                sent += bytes;
            }
        });
    PortDirectory ports;
    ports.Pin(kCom, device->slavePath());
    ToolRig tool(ports, kCom);

    // Once the fourth answer is in, the device goes, before the fifth query is written.
    bool hungUp = false;
    tool.pacer.onPause = [&] {
        if (!hungUp && tool.link.writes == kHandshakeWrites + kAnsweredBeforeHangUp) {
            hungUp = tool.RunBlocksUntil([&] { return tool.LogHas("+BAUD:"); }) &&
                     device->WaitUntilHungUp(5s);
        }
    };
    tool.controller.ToggleOpen();
    tool.pacer.onPause = nullptr;
    ASSERT_TRUE(hungUp);
    ASSERT_TRUE(tool.InConfigMode());
    EXPECT_EQ(tool.link.writes, kHandshakeWrites + kQueries);
    EXPECT_EQ(tool.sink.Count(kWriteComFailed), kQueries - kAnsweredBeforeHangUp);
    EXPECT_NE(tool.sink.LastDetail().find("Input/output error"), std::string::npos)
        << tool.sink.LastDetail();
    {
        // What the device said before it went is all in the log, and nothing else.
        std::lock_guard lock(sentMutex);
        ASSERT_TRUE(sent.starts_with(kHandshakeReply));
        EXPECT_EQ(tool.state.infoLog, sent.substr(kHandshakeReply.size()));
    }

    // Every later write is reported once; the sequences go on.
    struct Step {
        const char* name;
        void (ConfigController::*operation)();
    };
    for (const auto& [name, operation] :
         {Step{"GetParameters", &ConfigController::GetParameters},
          Step{"Login", &ConfigController::Login},
          Step{"SetAdvancedParameters", &ConfigController::SetAdvancedParameters}}) {
        const std::size_t writes = tool.link.writes;
        const std::size_t failures = tool.sink.Count(kWriteComFailed);
        (tool.controller.*operation)();
        EXPECT_GT(tool.link.writes, writes) << name;
        EXPECT_EQ(tool.sink.Count(kWriteComFailed) - failures, tool.link.writes - writes) << name;
    }
    EXPECT_EQ(tool.sink.reports().size(), tool.sink.Count(kWriteComFailed));
    std::cout << "[ figures  ] writes after the hang-up: "
              << tool.link.writes - kHandshakeWrites - kAnsweredBeforeHangUp
              << ", reports: " << tool.sink.reports().size() << "\n";

    // A dead line open with the receive loop polling it costs next to nothing.
    ASSERT_TRUE(tool.loop.IsRunning());
    const auto cpuBefore = ProcessCpuTime();
    const auto wallBefore = Clock::now();
    std::this_thread::sleep_for(500ms);  // the measurement itself
    const double cpuShare = std::chrono::duration<double>(ProcessCpuTime() - cpuBefore).count() /
                            std::chrono::duration<double>(Clock::now() - wallBefore).count();
    std::cout << "[ figures  ] CPU on a hung-up open port: " << cpuShare * 100
              << " % of one core\n";
    EXPECT_LT(cpuShare, 0.10);
    ASSERT_TRUE(tool.loop.IsRunning());

    // Open/Close closes cleanly, reporting nothing more.
    const std::size_t reports = tool.sink.reports().size();
    const auto closeStart = Clock::now();
    tool.controller.ToggleOpen();
    const auto closeTime = Clock::now() - closeStart;
    std::cout << "[ figures  ] close of the hung-up port: "
              << std::chrono::duration<double, std::milli>(closeTime).count() << " ms\n";
    EXPECT_LT(closeTime, 100ms);
    EXPECT_FALSE(tool.port.IsOpen());
    EXPECT_FALSE(tool.loop.IsRunning());
    EXPECT_FALSE(tool.view.buttonsEnabled);
    EXPECT_EQ(tool.view.calls().back(), "SetOpenButtonCaption(\"Open\")");
    EXPECT_EQ(tool.sink.reports().size(), reports);

    // A new device plugged in under the same COM number works at once.
    device.reset();
    sim::SimulatedDevice replacement;
    ports.Pin(kCom, replacement.slavePath());
    tool.state.infoLog.clear();
    tool.controller.ToggleOpen();
    ASSERT_TRUE(tool.InConfigMode());
    ASSERT_TRUE(tool.RunBlocksUntil([&] { return HasAllParameters(tool); }));
    EXPECT_EQ(tool.state.destPort, "5000");
    EXPECT_EQ(tool.state.advanced.registerData, "QK4520-000123");
    EXPECT_EQ(tool.sink.reports().size(), reports);
}

}  // namespace
}  // namespace qk::faults
