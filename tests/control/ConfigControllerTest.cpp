#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <thread>

#include "AdvancedSelection.h"
#include "ConfigController.h"
#include "DeviceScanner.h"
#include "FakeSerialLink.h"
#include "RecordingControllerView.h"
#include "VirtualPacer.h"

namespace qk {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using Times = std::vector<std::chrono::milliseconds>;

const std::string kRequest = "REQUEST CFG MODE";
// What the window shows once the port has closed.
const std::vector<std::string> kClosed = {"DisableConfigButtons()", R"(SetConfigModeLabel(""))",
                                          "SetLoginLabel(" + replay::Quote(kNotLoggedIn) + ")",
                                          R"(SetOpenButtonCaption("Open"))"};

class ConfigControllerTest : public ::testing::Test {
  protected:
    void OpenIntoConfigMode() {
        port.QueueReply(std::string(kHandshakeReply));
        controller.ToggleOpen();
        ASSERT_TRUE(view.buttonsEnabled);
        Forget();
    }
    // Starts a new record of writes, pauses and view calls; write times count from here.
    void Forget() {
        port.clearWrites();
        pacer.clear();
        view.clear();
        start = pacer.now();
    }
    Times WriteTimes() const {
        Times times;
        for (const auto& write : port.writes()) {
            times.push_back(write.at - start);
        }
        return times;
    }
    bool Called(const std::string& call) const {
        return std::count(view.calls().begin(), view.calls().end(), call) > 0;
    }
    bool Shown(std::string_view message) const {
        return Called("ShowMessage(" + replay::Quote(message) + ")");
    }

    DeviceState state;
    test::VirtualPacer pacer;
    test::FakeSerialLink port{pacer};
    test::RecordingControllerView view;
    std::vector<std::string> handled;  // blocks the receive loop handed over
    BlockHandover handover{[this](std::string&& block) { handled.push_back(std::move(block)); }};
    ReceiveLoop loop{port, handover};
    ConfigController controller{port, state, view, pacer, loop};
    std::chrono::milliseconds start{0};
};

// With the port closed, no operation writes, and only clearing the log has an effect.
TEST_F(ConfigControllerTest, OpeningUsesTheSelectedSettingsAndRefusesListsWithoutAChoice) {
    view.dialog = [](AdvancedParams&, bool) { return true; };
    state.infoLog = "+ID:1\r\n";
    controller.Login();
    controller.GetParameters();
    controller.SetParameters();
    controller.EditAdvancedParameters();
    controller.SetAdvancedParameters();
    controller.ClearLog();
    EXPECT_EQ(state.infoLog, "");
    EXPECT_THAT(view.calls(), ElementsAre("UpdateState()", "UpdateControls()"));

    view.selection = {2, 11, 1, 2};  // COM3, 115200, 6 data bits, even parity
    port.openSucceeds = false;
    controller.ToggleOpen();
    EXPECT_THAT(port.lastOpen, ElementsAre(3, 115200, 6, 0, 2));
    EXPECT_EQ(view.calls().back(), R"(SetOpenButtonCaption("Open"))");
    EXPECT_THAT(port.written(), IsEmpty());

    view.selection = {-1, 4, 3, -1};
    controller.ToggleOpen();
    EXPECT_TRUE(Shown("Cannot open: nothing is selected in the COM, Parity lists."));
    view.selection = {0, 14, 3, 0};  // past the end of the baud list
    controller.ToggleOpen();
    EXPECT_TRUE(Shown("Cannot open: nothing is selected in the Baud Rate list."));
    EXPECT_EQ(port.opens, 1);
    EXPECT_EQ(view.calls().back(), R"(SetOpenButtonCaption("Open"))");
}

TEST_F(ConfigControllerTest, HandshakeSucceedsOnExactlyTheNineByteReplyThenReadsEverything) {
    port.QueueReply("");
    port.QueueReply("CFG MODE\r\n");  // ten bytes: not the reply
    port.QueueReply("CFG MODEX");     // nine other bytes
    port.QueueReply(std::string(kHandshakeReply));
    controller.ToggleOpen();

    // Three failed attempts, 200 ms each, then the 15 queries at once, paced 200/100 ms.
    EXPECT_THAT(port.written(),
                ElementsAreArray<std::string>(
                    {kRequest, kRequest, kRequest, "QK+STAT?\r\n?\r\n", "QK+ID?\r\n?\r\n",
                     "QK+VER?\r\n?\r\n", "QK+BAUD?\r\n", "QK+PIPADD?\r\n", "QK+PPORT?\r\n",
                     "QK+PROTOCOL?\r\n", "QK+WORKTYPE?\r\n", "QK+HEARTIME?\r\n", "QK+HEARTDAT?\r\n",
                     "QK+PDNS?\r\n", "QK+DATAB?\r\n", "QK+CHECKB?\r\n", "QK+EN_ENROL?\r\n",
                     "QK+ENROL?\r\n"}));
    EXPECT_THAT(WriteTimes(),
                ElementsAreArray<std::chrono::milliseconds>(
                    {0ms, 0ms, 0ms, 600ms, 800ms, 1000ms, 1200ms, 1400ms, 1600ms, 1800ms, 2000ms,
                     2100ms, 2200ms, 2300ms, 2400ms, 2500ms, 2600ms, 2700ms}));
    EXPECT_EQ(pacer.now(), 2800ms);  // the last query is followed by its pause too
    EXPECT_TRUE(loop.IsRunning() && port.readTimeouts == std::vector{0u});
    EXPECT_THAT(
        view.calls(),
        ElementsAre("UpdateState()", "GetSerialSelection()", R"(SetOpenButtonCaption("Close"))",
                    R"(SetConfigModeLabel("Entering Config Mode..."))",
                    "SetConfigModeLabel(" + replay::Quote(kConfigModeEntered) + ")",
                    "EnableConfigButtons()"));
}

TEST_F(ConfigControllerTest, AHandshakeThatNeverComesFailsAfterEightyAttemptsLeavingThePortOpen) {
    controller.ToggleOpen();
    EXPECT_THAT(port.written(), ElementsAre(kRequest, kRequest, kRequest));
    EXPECT_EQ(std::pair(port.reads, pacer.now()), std::pair(80, 16000ms));
    EXPECT_TRUE(port.IsOpen() && !loop.IsRunning() && !view.buttonsEnabled);
    EXPECT_EQ(view.calls().back(), R"(ShowMessage("Fail, Please try again!"))");
    EXPECT_TRUE(Called(R"(SetOpenButtonCaption("Close"))"));

    // The only way out is to close.
    view.clear();
    controller.ToggleOpen();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(view.calls(), kClosed);
}

// The device takes a set only after an accepted login, and each command only once the one
// before it has had its pause: 300 ms between the basic ones, 200 ms after each advanced one.
TEST_F(ConfigControllerTest, SetsNeedALoginForEachOpeningAndKeepTheirSpacing) {
    OpenIntoConfigMode();
    controller.SetParameters();
    EXPECT_TRUE(Shown("Log off"));
    EXPECT_THAT(port.written(), IsEmpty());

    view.onUpdateState = [&] { state.loginKey = "123456"; };
    controller.Login();
    EXPECT_THAT(port.written(), ElementsAre("QK+LOGIN=123456\r\n"));
    EXPECT_THAT(pacer.pauses(), IsEmpty());

    std::tie(state.loggedIn, state.deviceBaudIndex, state.protocolIndex) = std::tuple(true, 11, 1);
    view.onUpdateState = [&] {  // what the operator typed
        std::tie(state.destAddress, state.destPort) = std::pair("10.0.0.1", "5000");
    };
    Forget();
    controller.SetParameters();
    EXPECT_THAT(port.written(), ElementsAre("QK+BAUD=115200\r\n", "QK+PIPADD=10.0.0.1\r\n",
                                            "QK+PPORT=5000\r\n", "QK+PROTOCOL=UDP\r\n"));
    EXPECT_THAT(WriteTimes(), ElementsAre(0ms, 300ms, 600ms, 900ms));
    EXPECT_EQ(pacer.now() - start, 900ms);

    Forget();
    view.dialog = [](AdvancedParams&, bool) { return false; };  // cancelled
    controller.EditAdvancedParameters();
    EXPECT_THAT(port.written(), IsEmpty());
    view.dialog = [](AdvancedParams& record, bool) {
        // heartbeatCode 1: "45s" as the dialog stores it
        std::tie(record.workType, record.heartbeatCode, record.heartbeatData, record.dnsServer,
                 record.dataBits, record.parity, record.registerEnable, record.registerData) =
            std::tuple(1, 1, "hb", "8.8.8.8", "7", "O", 0, "\xD7\xA2\xB2\xE1");
        return true;
    };
    Forget();
    controller.EditAdvancedParameters();
    EXPECT_THAT(port.written(),
                ElementsAre("QK+WORKTYPE=1\r\n", "QK+HEARTIME=2\r\n", "QK+HEARTDAT=hb\r\n",
                            "QK+PDNS=8.8.8.8\r\n", "QK+DATAB=7\r\n", "QK+CHECKB=O\r\n",
                            "QK+EN_ENROL=0\r\n", "QK+ENROL=\xD7\xA2\xB2\xE1\r\n"));
    EXPECT_THAT(WriteTimes(), ElementsAre(0ms, 200ms, 400ms, 600ms, 800ms, 1000ms, 1200ms, 1400ms));
    EXPECT_EQ(pacer.now() - start, 1600ms);
    EXPECT_THAT(view.calls(), ElementsAre("RunAdvancedDialog(true)", "UpdateState()"));

    // Closing ends the loop and forgets the login.
    controller.ToggleOpen();
    EXPECT_FALSE(port.IsOpen() || loop.IsRunning() || state.loggedIn || view.buttonsEnabled);
    OpenIntoConfigMode();
    controller.SetParameters();
    EXPECT_TRUE(Shown("Log off"));
    EXPECT_THAT(port.written(), IsEmpty());
}

// Values outside their lists, or texts that would split a command, stay off the wire; the
// pauses stay in place, and one message names them all.
TEST_F(ConfigControllerTest, ValuesWithoutAnEncodingAreLeftOutAndNamedOnce) {
    OpenIntoConfigMode();
    view.onUpdateState = [&] { state.loginKey = "1\r\nQK+PPORT=1"; };
    controller.Login();
    EXPECT_THAT(port.written(), IsEmpty());
    EXPECT_TRUE(Shown("Not sent: Login Key (holds a line break or zero byte)."));

    view.onUpdateState = [] {};
    state.loggedIn = true;
    std::tie(state.deviceBaudIndex, state.destAddress, state.destPort, state.protocolIndex) =
        std::tuple(-1, "10.0.0.1\r\nQK+PPORT=1", "5000", 2);
    Forget();
    controller.SetParameters();
    EXPECT_THAT(port.written(), ElementsAre("QK+PPORT=5000\r\n"));
    EXPECT_THAT(WriteTimes(), ElementsAre(600ms));
    EXPECT_THAT(
        view.calls(),
        ElementsAre(
            "UpdateState()",
            R"(ShowMessage("Not sent: Device Baud Rate (no entry chosen), Dest. IP/Name (holds a line break or zero byte), Protocol (not in the list)."))"));

    AdvancedParams& a = state.advanced;
    std::tie(a.workType, a.heartbeatCode, a.heartbeatData, a.dnsServer, a.dataBits, a.parity,
             a.registerEnable, a.registerData) =
        std::tuple(2, -1, std::string("a\0b", 3), "1.1.1.1", "9", "e", 1, "line\n");
    Forget();
    controller.SetAdvancedParameters();
    EXPECT_THAT(port.written(), ElementsAre("QK+PDNS=1.1.1.1\r\n", "QK+EN_ENROL=1\r\n"));
    EXPECT_THAT(WriteTimes(), ElementsAre(600ms, 1200ms));
    EXPECT_THAT(
        view.calls(),
        ElementsAre(
            "UpdateState()",
            R"(ShowMessage("Not sent: Work Mode (not in the list), Heart Beat Interval (no entry chosen), Heart Beat Content (holds a line break or zero byte), Serial Data Bits (not in the list), Serial Parity (not in the list), Regist Packet Content (holds a line break or zero byte)."))"));
}

// A line that dies mid-sequence ends the sequence after the command that met it, and the
// port is closed as Open/Close closes it, with one message saying why instead of one per
// command that could not go out.
TEST_F(ConfigControllerTest, AHangUpEndsTheSequenceAndClosesThePortWithOneMessage) {
    struct Case {
        const char* name;
        bool openFirst;
        std::function<void()> operation;
        std::vector<std::string> written;  // the line dies with the last of them
    };
    const Case cases[] = {
        // Get Param. on a real line: DeviceHangsUp.
        {"handshake", false, [&] { controller.ToggleOpen(); }, {kRequest}},
        {"Adv Param. set",
         true,
         [&] {
             std::tie(state.advanced.workType, state.advanced.heartbeatCode) = std::pair(1, 2);
             controller.SetAdvancedParameters();
         },
         {"QK+WORKTYPE=1\r\n", "QK+HEARTIME=3\r\n"}},
    };
    std::vector<std::string> closing = kClosed;
    closing.push_back(R"(ShowLineLost("COM1 (/dev/fake): Input/output error"))");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.openFirst) {
            OpenIntoConfigMode();
        }
        port.hangUpAfterWrites = c.written.size();
        c.operation();
        port.hangUpAfterWrites = 0;
        EXPECT_EQ(port.written(), c.written);
        EXPECT_FALSE(port.IsOpen() || loop.IsRunning() || state.loggedIn);
        const auto& calls = view.calls();
        EXPECT_EQ(std::vector<std::string>(calls.end() - std::min(calls.size(), closing.size()),
                                           calls.end()),
                  closing);
        EXPECT_FALSE(Called(R"(ShowMessage("Fail, Please try again!"))"));
        Forget();
    }
}

// What the device said before the close takes effect before the close completes, so
// nothing received is lost and a late login answer cannot outlive the opening.
TEST_F(ConfigControllerTest, ClosingRunsEveryAnswerReceivedBefore) {
    OpenIntoConfigMode();
    port.QueueReply("+LOGIN:OK\r\n");
    port.QueueReply("+ID:1");
    for (int wait = 0; wait < 500 && port.repliesLeft() > 0; ++wait) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(port.repliesLeft(), 0u);
    controller.ToggleOpen();
    EXPECT_THAT(handled, ElementsAre("+LOGIN:OK\r\n", "+ID:1"));
}

// A silent port is tried at the rate given first, then at the likely ones, then the rest
// of the list, each once, a short handshake at each.
TEST(DeviceScannerTest, RatesAreTriedMostLikelyFirstEachOnce) {
    test::VirtualPacer pacer;
    test::FakeSerialLink port(pacer);
    std::vector<std::uint32_t> tried;
    const ScanResult result =
        DeviceScanner(port, 2, pacer, {}).Scan(ScanRates(57600), [&](std::uint32_t rate) {
            tried.push_back(rate);
        });
    EXPECT_THAT(tried, ElementsAre(57600u, 9600u, 115200u, 38400u, 19200u, 4800u, 2400u, 1200u,
                                   230400u, 460800u, 7200u, 14400u, 28800u, 76800u));
    EXPECT_TRUE(result.opened && !result.found);
    EXPECT_EQ(std::tuple(port.opens, port.closes, port.lastOpen[0]), std::tuple(14, 14, 2));
}

std::array<int, 5> Positions(const AdvancedSelection& s) {
    return {s.workMode, s.heartbeat, s.dataBits, s.parity, s.registration};
}

TEST(AdvancedSelectionTest, RecordValuesSelectTheirEntriesAndOthersNothing) {
    // workType, heartbeatCode, registerEnable, dataBits, parity, and the selection: work mode,
    // heartbeat, data bits, parity, registration.
    const std::tuple<int, int, int, const char*, const char*, std::array<int, 5>> cases[] = {
        {1, 3, 1, "8", "E", {1, 2, 3, 2, 1}},  // heartbeat: the device's code for "60s"
        {0, 1, 0, "5", "o", {0, 0, 0, 1, 0}},  // lower-case parity too
        {2, 4, 2, "8 ", "X", {-1, -1, -1, -1, -1}},
        {-1, 0, -1, "", "NO", {-1, -1, -1, -1, -1}},
    };
    for (const auto& [workType, heartbeatCode, registerEnable, dataBits, parity, selection] :
         cases) {
        AdvancedParams record;
        std::tie(record.workType, record.heartbeatCode, record.registerEnable, record.dataBits,
                 record.parity) =
            std::tie(workType, heartbeatCode, registerEnable, dataBits, parity);
        EXPECT_EQ(Positions(SelectionFromRecord(record)), selection) << workType;
    }
}

// A stored choice is shown again as chosen, before the device answers too; no choice stores
// -1 and empty texts.
TEST(AdvancedSelectionTest, AStoredSelectionIsShownAgainAsChosen) {
    AdvancedParams record;
    record.heartbeatCode = 2;  // device: "45s"
    AdvancedSelection s = SelectionFromRecord(record);
    ASSERT_EQ(s.heartbeat, 1);
    StoreSelection(s, record);
    EXPECT_EQ(record.heartbeatCode, 1);                   // stored as the zero-based position
    EXPECT_EQ(SelectionFromRecord(record).heartbeat, 1);  // not one lower
    s.heartbeat = 0;  // "30s": position 0 must not read as "no selection"
    StoreSelection(s, record);
    EXPECT_EQ(SelectionFromRecord(record).heartbeat, 0);

    std::tie(record.dataBits, record.parity) = std::pair("8", "N");
    StoreSelection(AdvancedSelection{}, record);
    EXPECT_EQ(std::tuple(record.workType, record.heartbeatCode, record.registerEnable,
                         record.dataBits, record.parity),
              std::tuple(-1, -1, -1, "", ""));
}

}  // namespace
}  // namespace qk
