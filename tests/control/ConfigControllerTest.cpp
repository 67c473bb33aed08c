#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "ConfigController.h"
#include "FakeSerialLink.h"
#include "RecordingControllerView.h"
#include "VirtualPacer.h"

namespace qk {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using Strings = std::vector<std::string>;

const std::string kRequest = "REQUEST CFG MODE";

const Strings kAllQueries = {
    "QK+STAT?\r\n?\r\n", "QK+ID?\r\n?\r\n",  "QK+VER?\r\n?\r\n", "QK+BAUD?\r\n",
    "QK+PIPADD?\r\n",    "QK+PPORT?\r\n",    "QK+PROTOCOL?\r\n", "QK+WORKTYPE?\r\n",
    "QK+HEARTIME?\r\n",  "QK+HEARTDAT?\r\n", "QK+PDNS?\r\n",     "QK+DATAB?\r\n",
    "QK+CHECKB?\r\n",    "QK+EN_ENROL?\r\n", "QK+ENROL?\r\n",
};

class ConfigControllerTest : public ::testing::Test {
protected:
    void OpenIntoConfigMode() {
        port.QueueReply(std::string(kHandshakeReply));
        controller.ToggleOpen();
        ASSERT_TRUE(view.buttonsEnabled);
        port.clearWrites();
        pacer.clear();
        view.clear();
    }
    bool Shown(std::string_view message) const {
        const std::string call = "ShowMessage(" + replay::Quote(message) + ")";
        return std::count(view.calls().begin(), view.calls().end(), call) > 0;
    }
    int MessageCount() const {
        return static_cast<int>(std::count_if(view.calls().begin(), view.calls().end(),
                                              [](const std::string& call) { return call.starts_with("ShowMessage("); }));
    }
    bool Called(const std::string& call) const {
        return std::count(view.calls().begin(), view.calls().end(), call) > 0;
    }

    DeviceState state;
    test::VirtualPacer pacer;
    test::FakeSerialLink port{pacer};
    test::RecordingControllerView view;
    BlockHandover handover{[](std::string&&) {}};
    ReceiveLoop loop{port, handover};
    ConfigController controller{port, state, view, pacer, loop};
};

TEST_F(ConfigControllerTest, OpeningUsesTheSelectedLineSettings) {
    view.selection = {2, 11, 1, 2};  // COM3, 115200, 6 data bits, even parity
    port.openSucceeds = false;
    controller.ToggleOpen();
    EXPECT_THAT(port.lastOpen, ElementsAre(3, 115200, 6, 0, 2));
    EXPECT_THAT(view.calls(), ElementsAre("UpdateState()", "GetSerialSelection()",
                                          R"(SetOpenButtonCaption("Open"))"));
    EXPECT_THAT(port.written(), IsEmpty());
}

TEST_F(ConfigControllerTest, ANoChoiceInASerialListRefusesToOpenAndNamesTheList) {
    view.selection = {-1, 4, 3, -1};
    controller.ToggleOpen();
    EXPECT_EQ(port.opens, 0);
    EXPECT_TRUE(Shown("Cannot open: nothing is selected in the COM, Parity lists."));
    EXPECT_TRUE(Called(R"(SetOpenButtonCaption("Open"))"));

    view.clear();
    view.selection = {0, 14, 3, 0};  // past the end of the baud list
    controller.ToggleOpen();
    EXPECT_EQ(port.opens, 0);
    EXPECT_TRUE(Shown("Cannot open: nothing is selected in the Baud Rate list."));
}

TEST_F(ConfigControllerTest, HandshakeSucceedsOnExactlyTheNineByteReply) {
    port.QueueReply("");
    port.QueueReply("CFG MODE\r\n");  // ten bytes: not the reply
    port.QueueReply("CFG MODEX");     // nine other bytes
    port.QueueReply(std::string(kHandshakeReply));
    controller.ToggleOpen();

    const auto writes = port.written();
    ASSERT_GE(writes.size(), 3u);
    EXPECT_THAT(Strings(writes.begin(), writes.begin() + 3), ElementsAre(kRequest, kRequest, kRequest));
    // Three failed attempts, each followed by 200 ms, then success without a further pause.
    EXPECT_THAT(Strings(writes.begin() + 3, writes.end()), ElementsAreArray(kAllQueries));
    EXPECT_EQ(port.writes()[3].at, 600ms);
    EXPECT_THAT(port.readTimeouts, ElementsAre(0u));
    EXPECT_TRUE(loop.IsRunning());
    EXPECT_TRUE(view.buttonsEnabled);
    EXPECT_THAT(view.calls(),
                ElementsAre("UpdateState()", "GetSerialSelection()", R"(SetOpenButtonCaption("Close"))",
                            R"(SetConfigModeLabel("Entering Config Mode..."))",
                            "SetConfigModeLabel(\"" + replay::Escape(kConfigModeEntered) + "\")",
                            "EnableConfigButtons()"));
}

TEST_F(ConfigControllerTest, GetParametersRightAfterTheHandshakePacesFifteenQueries) {
    port.QueueReply(std::string(kHandshakeReply));
    controller.ToggleOpen();
    const auto writes = port.writes();
    ASSERT_EQ(writes.size(), 18u);
    std::vector<std::chrono::milliseconds> gaps;
    for (std::size_t i = 4; i < writes.size(); ++i) {
        gaps.push_back(writes[i].at - writes[i - 1].at);
    }
    EXPECT_THAT(gaps, ElementsAre(200ms, 200ms, 200ms, 200ms, 200ms, 200ms, 200ms, 100ms, 100ms,
                                  100ms, 100ms, 100ms, 100ms, 100ms));
    EXPECT_EQ(pacer.now(), 2200ms) << "the last query is followed by its pause too";
}

TEST_F(ConfigControllerTest, AHandshakeThatNeverComesFailsAfterEightyAttempts) {
    controller.ToggleOpen();
    EXPECT_THAT(port.written(), ElementsAre(kRequest, kRequest, kRequest));
    EXPECT_EQ(port.reads, 80);
    EXPECT_EQ(pacer.pauses().size(), 80u);
    EXPECT_EQ(pacer.now(), 16000ms);
    EXPECT_TRUE(Shown("Fail, Please try again!"));
    EXPECT_TRUE(port.IsOpen()) << "the port is left open";
    EXPECT_FALSE(loop.IsRunning());
    EXPECT_FALSE(view.buttonsEnabled);
    EXPECT_EQ(view.calls().back(), R"(ShowMessage("Fail, Please try again!"))");
    EXPECT_TRUE(Called(R"(SetOpenButtonCaption("Close"))"));

    // The only way out is to close.
    view.clear();
    controller.ToggleOpen();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_THAT(view.calls(), ElementsAre("DisableConfigButtons()", R"(SetConfigModeLabel(""))",
                                          "SetLoginLabel(\"" + replay::Escape(kNotLoggedIn) + "\")",
                                          R"(SetOpenButtonCaption("Open"))"));
}

TEST_F(ConfigControllerTest, ClosingEndsTheLoopAndForgetsTheLogin) {
    OpenIntoConfigMode();
    state.loggedIn = true;
    controller.ToggleOpen();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(loop.IsRunning());
    EXPECT_FALSE(state.loggedIn);
    EXPECT_FALSE(view.buttonsEnabled);
    EXPECT_THAT(port.written(), IsEmpty());
}

TEST_F(ConfigControllerTest, SetParametersNeedsAnAcceptedLoginForEachOpening) {
    OpenIntoConfigMode();
    controller.SetParameters();
    EXPECT_TRUE(Shown("Log off"));
    EXPECT_THAT(port.written(), IsEmpty());

    state.loggedIn = true;
    state.deviceBaudIndex = 11;
    state.protocolIndex = 1;
    view.onUpdateState = [&] {
        state.destAddress = "10.0.0.1";  // what the operator typed
        state.destPort = "5000";
    };
    controller.SetParameters();
    EXPECT_THAT(port.written(), ElementsAre("QK+BAUD=115200\r\n", "QK+PIPADD=10.0.0.1\r\n",
                                            "QK+PPORT=5000\r\n", "QK+PROTOCOL=UDP\r\n"));
    EXPECT_THAT(pacer.pauses(), ElementsAre(300ms, 300ms, 300ms));

    controller.ToggleOpen();  // close
    OpenIntoConfigMode();
    controller.SetParameters();
    EXPECT_TRUE(Shown("Log off"));
    EXPECT_THAT(port.written(), IsEmpty());
}

TEST_F(ConfigControllerTest, ValuesWithoutAnEncodingAreLeftOutAndNamedOnce) {
    OpenIntoConfigMode();
    state.loggedIn = true;
    state.deviceBaudIndex = -1;
    state.destAddress = "10.0.0.1\r\nQK+PPORT=1";
    state.destPort = "5000";
    state.protocolIndex = 2;
    controller.SetParameters();
    EXPECT_THAT(port.written(), ElementsAre("QK+PPORT=5000\r\n"));
    EXPECT_THAT(pacer.pauses(), ElementsAre(300ms, 300ms, 300ms)) << "pauses stay in place";
    EXPECT_THAT(view.calls(),
                ElementsAre("UpdateState()",
                            R"(ShowMessage("Not sent: Device Baud Rate (no entry chosen), Dest. IP/Name (holds a line break or zero byte), Protocol (not in the list)."))"));
}

TEST_F(ConfigControllerTest, AdvancedParametersGoOutWithTheirEncodings) {
    OpenIntoConfigMode();
    state.loggedIn = true;
    view.dialog = [](AdvancedParams& record, bool loggedIn) {
        EXPECT_TRUE(loggedIn);
        record.workType = 1;
        record.heartbeatCode = 1;  // "45s" as the dialog stores it
        record.heartbeatData = "hb";
        record.dnsServer = "8.8.8.8";
        record.dataBits = "7";
        record.parity = "O";
        record.registerEnable = 0;
        record.registerData = "\xD7\xA2\xB2\xE1";
        return true;
    };
    controller.EditAdvancedParameters();
    EXPECT_THAT(port.written(),
                ElementsAre("QK+WORKTYPE=1\r\n", "QK+HEARTIME=2\r\n", "QK+HEARTDAT=hb\r\n",
                            "QK+PDNS=8.8.8.8\r\n", "QK+DATAB=7\r\n", "QK+CHECKB=O\r\n",
                            "QK+EN_ENROL=0\r\n", "QK+ENROL=\xD7\xA2\xB2\xE1\r\n"));
    EXPECT_EQ(pacer.pauses(), std::vector<std::chrono::milliseconds>(8, 200ms));
    EXPECT_EQ(MessageCount(), 0);
}

TEST_F(ConfigControllerTest, AdvancedValuesOutsideTheirListsNeverReachTheWire) {
    OpenIntoConfigMode();
    AdvancedParams& a = state.advanced;
    a.workType = 2;
    a.heartbeatCode = -1;
    a.heartbeatData = std::string("a\0b", 3);
    a.dnsServer = "1.1.1.1";
    a.dataBits = "9";
    a.parity = "e";
    a.registerEnable = 1;
    a.registerData = "line\n";
    controller.SetAdvancedParameters();
    EXPECT_THAT(port.written(), ElementsAre("QK+PDNS=1.1.1.1\r\n", "QK+EN_ENROL=1\r\n"));
    EXPECT_EQ(pacer.pauses().size(), 8u);
    EXPECT_TRUE(Shown("Not sent: Work Mode (not in the list), Heart Beat Interval (no entry chosen), "
                      "Heart Beat Content (holds a line break or zero byte), Serial Data Bits (not in "
                      "the list), Serial Parity (not in the list), Regist Packet Content (holds a "
                      "line break or zero byte)."));
    EXPECT_EQ(MessageCount(), 1);
}

TEST_F(ConfigControllerTest, ACancelledDialogSendsNothing) {
    OpenIntoConfigMode();
    view.dialog = [](AdvancedParams&, bool) { return false; };
    controller.EditAdvancedParameters();
    EXPECT_THAT(port.written(), IsEmpty());
    EXPECT_THAT(view.calls(), ElementsAre("RunAdvancedDialog(false)"));
}

TEST_F(ConfigControllerTest, OperationsOnAClosedPortWriteNothing) {
    view.dialog = [](AdvancedParams&, bool) { return true; };
    controller.Login();
    controller.GetParameters();
    controller.SetParameters();
    controller.EditAdvancedParameters();
    controller.SetAdvancedParameters();
    EXPECT_THAT(port.written(), IsEmpty());
    EXPECT_THAT(view.calls(), IsEmpty());
}

TEST_F(ConfigControllerTest, LoginSendsTheKeyTheOperatorEntered) {
    OpenIntoConfigMode();
    view.onUpdateState = [&] { state.loginKey = "123456"; };
    controller.Login();
    EXPECT_THAT(port.written(), ElementsAre("QK+LOGIN=123456\r\n"));
    EXPECT_THAT(pacer.pauses(), IsEmpty());

    port.clearWrites();
    view.onUpdateState = [&] { state.loginKey = "1\r\nQK+PPORT=1"; };
    controller.Login();
    EXPECT_THAT(port.written(), IsEmpty());
    EXPECT_TRUE(Shown("Not sent: Login Key (holds a line break or zero byte)."));
}

TEST_F(ConfigControllerTest, ClearLogWorksWithThePortClosed) {
    state.infoLog = "+ID:1\r\n";
    controller.ClearLog();
    EXPECT_EQ(state.infoLog, "");
    EXPECT_THAT(view.calls(), ElementsAre("UpdateState()", "UpdateControls()"));
}

TEST_F(ConfigControllerTest, ShutdownClosesAnOpenPortAndEndsTheLoop) {
    OpenIntoConfigMode();
    controller.Shutdown();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(loop.IsRunning());
    controller.Shutdown();  // twice is harmless
    EXPECT_EQ(port.closes, 1);
}

}  // namespace
}  // namespace qk
