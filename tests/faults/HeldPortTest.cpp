// A second copy of the tool reaches for a port the first one holds.
#include <gtest/gtest.h>
#include <unistd.h>

#include "FaultRig.h"
#include "ProcessProbe.h"
#include "SimulatedDevice.h"

namespace qk::faults {
namespace {

constexpr int kCom = 2;

// The second copy's view of its attempt: one "Open com failed!" whose detail names the
// holders, and the window left as if nothing had been opened.
void ExpectRefused(const ToolRig& second, const std::string& holder) {
    const auto reports = second.sink.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, kOpenComFailed);
    EXPECT_NE(reports[0].detail.find(" is in use by "), std::string::npos) << reports[0].detail;
    EXPECT_NE(reports[0].detail.find(holder), std::string::npos) << reports[0].detail;
    EXPECT_FALSE(second.port.IsOpen());
    EXPECT_FALSE(second.loop.IsRunning());
    EXPECT_EQ(second.view.calls().back(), "SetOpenButtonCaption(\"Open\")");
}

TEST(HeldPort, ASecondCopyInThisProcessIsRefusedAndTheFirstGoesOn) {
    sim::SimulatedDevice device;
    PortDirectory ports;
    ports.Pin(kCom, device.slavePath());
    ToolRig first(ports, kCom);
    first.controller.ToggleOpen();
    ASSERT_TRUE(first.InConfigMode());
    ASSERT_TRUE(first.RunBlocksUntil([&] { return HasAllParameters(first); }));

    ToolRig second(ports, kCom);
    second.controller.ToggleOpen();
    ExpectRefused(second, "pid " + std::to_string(getpid()) + " (");
    EXPECT_NE(second.sink.LastDetail().find(", this program)"), std::string::npos);

    // The first copy still writes and receives on the same opening.
    device.SetValue("PPORT", "6001");
    first.controller.GetParameters();
    ASSERT_TRUE(first.RunBlocksUntil([&] { return first.state.destPort == "6001"; }));
    EXPECT_TRUE(first.sink.reports().empty());
    EXPECT_EQ(device.HandshakeReplies(), 1u);
}

TEST(HeldPort, ACopyInAnotherProcessIsNamedAndItsSessionEndsUndisturbed) {
    sim::SimulatedDevice device;
    const TempName outputs;
    ChildProcess other({QK_CLI_PROGRAM, "--port", device.slavePath(), "--settle", "2500", "get"},
                       outputs.path);
    ASSERT_GT(other.pid(), 0);
    // Once it has asked for every parameter it holds the port, waiting for late answers.
    ASSERT_TRUE(device.WaitUntil(
        [](const sim::DeviceModel& m) { return m.CommandCount("QK+ENROL?\r\n") == 1; }, 20s))
        << other.Errors();

    PortDirectory ports;
    ports.Pin(kCom, device.slavePath());
    ToolRig second(ports, kCom);
    second.controller.ToggleOpen();
    ExpectRefused(second, "pid " + std::to_string(other.pid()) + " (qk4410-cli)");

    EXPECT_EQ(other.Wait(), 0) << other.Errors();
    EXPECT_NE(other.Output().find("\ndestPort=5000\n"), std::string::npos) << other.Output();
    EXPECT_NE(other.Output().find("\nregisterData=QK4520-000123\n"), std::string::npos);
    EXPECT_EQ(device.HandshakeReplies(), 1u);
}

}  // namespace
}  // namespace qk::faults
