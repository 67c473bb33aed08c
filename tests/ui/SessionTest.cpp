// The main window and the advanced-parameters dialog against a simulated device on a
// pseudo-terminal pinned as COM1.
#include <QDir>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <mutex>

#include "HistoryDialog.h"
#include "SimulatedDevice.h"
#include "UiTestSupport.h"

using namespace qk;
using namespace qk::ui;
using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

// The device comes first: the window it is pinned into needs its path.
struct Device {
    std::mutex mutex;
    std::string sent;  // what the device wrote to the line, collected on its thread
    sim::SimulatedDevice device;
    explicit Device(sim::SimOptions options)
        : device(options,
                 [this](sim::SimulatedDevice::Direction direction, std::string_view bytes) {
                     if (direction == sim::SimulatedDevice::Direction::Sent) {
                         std::lock_guard lock(mutex);
                         sent += bytes;
                     }
                 }) {}
};

struct Session : Device, test::MainWindow {
    explicit Session(sim::SimOptions options = {}, ControllerTiming timing = test::FastTiming())
        : Device(options), MainWindow(test::Pinned({{1, device.slavePath()}}), timing) {}

    // The opening and login state at a glance: the Open/Close button, the config mode and
    // login labels, how many of Login, Get Param., Set Param. and Adv Param. are enabled,
    // the port and the receive loop.
    QString Shown() {
        const int enabled = int(Button(main_dialog::kLogin)->isEnabled()) +
                            Button(main_dialog::kGetParam)->isEnabled() +
                            Button(main_dialog::kSetParam)->isEnabled() +
                            Button(main_dialog::kAdvParam)->isEnabled();
        return QStringLiteral("%1|%2|%3|%4|%5|%6")
            .arg(Button(main_dialog::kOpenClose)->text(), LabelText(main_dialog::kConfigModeLabel),
                 LabelText(main_dialog::kLoginLabel))
            .arg(enabled)
            .arg(dialog.IsPortOpen() ? "open" : "closed", dialog.IsReceiving() ? "receiving" : "-");
    }
};

const QString kOpened = QStringLiteral("Close|已进入配置模式|off|4|open|receiving");
const QString kClosed = QStringLiteral("Open||未登陆|0|closed|-");

}  // namespace

class SessionTest : public QObject {
    Q_OBJECT
  private slots:
    // --com N at start: the number is picked and opened as with Open, parameters and all;
    // while the port is open, another call changes nothing.
    void openPortPicksTheNumberAndOpensIt() {
        Session s;
        s.List(main_dialog::kComList)->SetCurSel(4);
        s.dialog.OpenPort(1);
        QCOMPARE(s.List(main_dialog::kComList)->GetCurSel(), 0);
        QCOMPARE(s.Shown(), kOpened);
        QTRY_COMPARE(s.Edit(main_dialog::kDestPort)->text(), QStringLiteral("5000"));
        s.dialog.OpenPort(2);
        QCOMPARE(s.List(main_dialog::kComList)->GetCurSel(), 0);
        QCOMPARE(s.Shown(), kOpened);
    }

    void fullSession() {
        Session s;
        s.dialog.HandleReceivedBlock(QByteArray("earlier line\r\n").repeated(100).toStdString());

        s.Button(main_dialog::kOpenClose)->click();
        QCOMPARE(s.Shown(), kOpened);
        // The fifteen answers.
        QTRY_COMPARE((QStringList{s.Edit(main_dialog::kDestAddress)->text(),
                                  s.Edit(main_dialog::kDestPort)->text(),
                                  s.List(main_dialog::kDeviceBaudList)->currentText(),
                                  s.List(main_dialog::kProtocolList)->currentText(), s.Status(0),
                                  s.Status(1), s.Status(2)}),
                     (QStringList{"192.168.1.10", "5000", "9600", "TCP",
                                  "field strength:25  temperature:36℃  Voltage:3.30V",
                                  "ID:QK4520-000123", "Hardware Ver:V2.1,Software Ver:V3.5"}));
        QTRY_COMPARE(s.dialog.state().advanced.registerData, *s.device.Value("ENROL"));
        QVERIFY(test::LogText(s.dialog).contains(QStringLiteral("+PIPADD:192.168.1.10\n")));
        QScrollBar* bar = s.dialog.Item<InfoLogBox>(main_dialog::kInfoLog)->verticalScrollBar();
        QTRY_COMPARE(bar->value(), bar->maximum());
        QVERIFY(bar->maximum() > 0);

        s.Button(main_dialog::kLogin)->click();
        QTRY_COMPARE(s.Shown(), QStringLiteral("Close|已进入配置模式|Login|4|open|receiving"));
        QVERIFY(s.dialog.state().loggedIn);

        s.Edit(main_dialog::kDestAddress)->setText(QStringLiteral("10.1.2.3"));
        s.Button(main_dialog::kSetParam)->click();
        QVERIFY(s.device.WaitUntil(
            [](const sim::DeviceModel& m) {
                return m.Value("PIPADD") == std::optional("10.1.2.3"s);
            },
            5s));
        QTRY_COMPARE(s.Edit(main_dialog::kDestAddress)->text(), QStringLiteral("10.1.2.3"));
        // The last answer has been read before the port closes: one still on its way would
        // arrive after the next opening's flush, in front of its handshake reply.
        QTRY_VERIFY(s.dialog.state().infoLog.ends_with("+PROTOCOL:TCP\r\n"));

        s.Button(main_dialog::kOpenClose)->click();
        QCOMPARE(s.Shown(), kClosed);
        // Every opening needs its own login.
        s.Button(main_dialog::kOpenClose)->click();
        QCOMPARE(s.Shown(), QStringLiteral("Close|已进入配置模式|未登陆|4|open|receiving"));
        s.Button(main_dialog::kSetParam)->click();
        QCOMPARE(s.messages.texts(), QStringList{"Log off"});
    }

    // Set Param. is recorded before it is sent, as sent (the window asks nothing back), and
    // History… shows it for the device the window has read; a journal that cannot record
    // keeps the change from being sent.
    void setParamIsJournaledAndShownInTheHistory() {
        QTemporaryDir folder;
        Session s({.id = "QK-7"});
        s.dialog.UseJournal({.enabled = true, .file = folder.filePath("j.sqlite").toStdString()});
        s.Button(1001)->click();
        QTRY_COMPARE(s.Edit(1020)->text(), QStringLiteral("5000"));
        s.Button(1003)->click();
        QTRY_VERIFY(s.dialog.state().loggedIn);
        s.Edit(1020)->setText(QStringLiteral("6001"));
        s.Button(1009)->click();
        QVERIFY(s.device.WaitUntil(
            [](const sim::DeviceModel& m) { return m.Value("PPORT") == std::optional("6001"s); },
            5s));

        QStringList row;
        const auto watch = test::AnswerNextModal([&](QWidget* modal) {
            auto* history = qobject_cast<HistoryDialog*>(modal);
            QTableWidget* table = history != nullptr ? history->table() : nullptr;
            for (int r = 0; table != nullptr && r < table->rowCount(); ++r) {
                if (table->item(r, 4)->text() == QStringLiteral("destPort")) {
                    for (int column = 1; column < table->columnCount(); ++column) {
                        row << table->item(r, column)->text();
                    }
                }
            }
            modal->close();
        });
        s.dialog.OnSysCommand(SystemMenu::kHistoryCommand);
        QCOMPARE(row, (QStringList{"QK4410ConfTool Set Param.",
                                   QString::fromStdString(s.device.slavePath()),
                                   "sent, not asked back", "destPort", "5000", "(sent 6001)"}));

        s.dialog.UseJournal({.enabled = true, .file = folder.path().toStdString()});
        s.Edit(1020)->setText(QStringLiteral("6002"));
        s.Button(1009)->click();
        QCOMPARE(s.messages.texts().size(), 1);
        QVERIFY(s.messages.texts().front().startsWith(
            QStringLiteral("Not sent: the journal cannot record the change")));
        QTest::qWait(300);
        QCOMPARE(s.device.Value("PPORT"), std::optional("6001"s));
    }

    // A device that never confirms the handshake: the fixed message, and beneath it the
    // line speed tried, the time waited and the way to the right speed.
    void aHandshakeWithoutAnswerSaysWhatToTryNext() {
        ControllerTiming timing = test::FastTiming();
        timing.handshakeAttempts = 4;
        Session s(sim::SimOptions{.noHandshake = true}, timing);
        s.Button(main_dialog::kOpenClose)->click();
        QCOMPARE(s.messages.texts(), QStringList{"Fail, Please try again!"});
        QCOMPARE(s.messages.entries[0].message.detail,
                 "No answer to \"REQUEST CFG MODE\" at 9600 baud in 0.02 s. The device may use "
                 "another line speed: Find Device... (in the window's context menu) and "
                 "qk4410-cli scan find it.");
    }

    // While a sequence runs the window shows the busy cursor and takes nothing in: answers
    // and the operator's pointer wait until it ends, the menu's items do nothing. What waits
    // for the operator inside one gets the arrow; at any other time the widgets' own cursors
    // show.
    void theCursorShowsWhetherTheWindowTakesInput() {
        ControllerTiming timing = test::FastTiming();
        timing.basicQueryGap = 40ms;
        Session s({}, timing);
        QVERIFY(s.Activate());
        QPushButton* clear = s.Button(main_dialog::kClear);
        QCursor::setPos(s.dialog.mapToGlobal(QPoint(s.dialog.width() + 20, 0)));
        QTRY_VERIFY(!clear->underMouse());
        QStringList during;  // in sequence, status ID, cursor, pointer over Clear
        QTimer::singleShot(60, &s.dialog, [&] {
            QCursor::setPos(clear->mapToGlobal(clear->rect().center()));
            for (QAction* action : s.dialog.systemMenu()->actions()) {
                if (action->text().endsWith(u'…')) {  // the file items and Find Device
                    action->trigger();
                }
            }
        });
        QTimer::singleShot(150, &s.dialog, [&] {
            during << QString::number(s.dialog.InSequence()) << s.Status(1)
                   << QString::number(test::OverrideShape())
                   << QString::number(clear->underMouse());
        });
        s.Button(main_dialog::kOpenClose)
            ->click();  // handshake, then 15 queries, 7 of them 40 ms apart
        QCOMPARE(during, (QStringList{"1", "", QString::number(Qt::WaitCursor), "0"}));
        QVERIFY(s.files.requests.isEmpty() && !s.dialog.deviceFinder().IsRunning());
        QCOMPARE(test::OverrideShape(), -1);
        QTRY_COMPARE(s.Status(1), QStringLiteral("ID:QK4520-000123"));
        QTRY_VERIFY(clear->underMouse());
        s.dialog.OnSysCommand(SystemMenu::kSaveLogCommand);
        QCOMPARE(s.files.requests.value(0).value(0), QStringLiteral("Save Log"));

        s.Button(main_dialog::kSetParam)->click();  // Set Param. before a login: "Log off"
        s.dialog.OnHelp();
        QCOMPARE(s.messages.entries.size(), 2u);
        QCOMPARE((QList<int>{s.messages.entries[0].cursor, s.messages.entries[1].cursor}),
                 (QList<int>{Qt::ArrowCursor, -1}));
        int advanced = 0;
        s.RunAdvanced([&](CDialog&) { advanced = test::OverrideShape(); });
        QCOMPARE(advanced, Qt::ArrowCursor);
        QCOMPARE(test::OverrideShape(), -1);
    }

    // A close request made during a sequence ends the window once the sequence has ended,
    // the way the close box ends it at any other time.
    void closingDuringASequenceEndsTheWindowAfterIt() {
        for (const bool handshake : {true, false}) {  // Open's handshake, Get Param.
            sim::SimOptions options;
            ControllerTiming timing = test::FastTiming();
            if (handshake) {
                options.latency = 300ms;  // the handshake polls that long
            } else {
                timing.basicQueryGap = 60ms;
            }
            Session s(options, timing);
            if (!handshake) {
                s.Button(main_dialog::kOpenClose)->click();
            }
            QString shown = QStringLiteral("not checked");
            QTimer::singleShot(50, &s.dialog, [&] {
                s.dialog.close();
                shown = s.LabelText(main_dialog::kConfigModeLabel) +
                        (s.dialog.isVisible() ? "|shown" : "|gone");
            });
            s.Button(handshake ? main_dialog::kOpenClose : main_dialog::kGetParam)->click();
            QCOMPARE(shown, handshake ? "Entering Config Mode...|shown" : "已进入配置模式|shown");
            // The sequence ran to its end: the last query went out before the port closed.
            QVERIFY(s.device.WaitUntil(
                [&](const sim::DeviceModel& m) {
                    return std::ranges::count(m.ReceivedCommands(), "QK+ENROL?\r\n"s) ==
                           (handshake ? 1 : 2);
                },
                5s));
            QVERIFY(!s.dialog.isVisible() && !s.dialog.IsPortOpen() && !s.dialog.IsReceiving());
            QCOMPARE(s.dialog.result(), CDialog::IDCANCEL);
            QVERIFY(s.messages.entries.empty());
        }
    }

    void aVanishedDeviceClosesThePortWithOneMessage_data() {
        QTest::addColumn<bool>("midSequence");
        QTest::newRow("idle in configuration mode") << false;
        QTest::newRow("during the parameter queries") << true;
    }
    void aVanishedDeviceClosesThePortWithOneMessage() {
        QFETCH(bool, midSequence);
        sim::SimOptions options;
        options.hangupAfter = 1500ms;
        ControllerTiming timing = test::FastTiming();
        if (midSequence) {
            // The basic answers come at once; then the device answers nothing for 8 x 400 ms
            // and dies in that silence. What it sent has long been read by then, so the
            // hang-up, which discards what the line still holds, costs no byte.
            options.ignoredCommands = {"WORKTYPE", "HEARTIME", "HEARTDAT", "PDNS",
                                       "DATAB",    "CHECKB",   "EN_ENROL", "ENROL"};
            timing.advancedQueryGap = 400ms;
        }
        Session s(options, timing);
        s.Button(main_dialog::kOpenClose)->click();
        if (midSequence) {
            // The sequence closed the port itself.
            QVERIFY(s.device.HungUp());
            QCOMPARE(s.Shown(), kClosed);
        } else {
            QCOMPARE(s.Shown(), kOpened);
            QVERIFY(s.device.WaitUntilHungUp(5s));
            QTRY_COMPARE_WITH_TIMEOUT(s.Shown(), kClosed, 2000);
        }
        QCOMPARE(s.messages.texts(), QStringList{"Device lost, port closed"});
        const auto& [owner, lost, cursor] = s.messages.entries.front();
        const QString port = "COM1 (" + QString::fromStdString(s.device.slavePath()) + "): ";
        QVERIFY2(lost.detail.startsWith(port) && lost.detail.size() > port.size(),
                 qPrintable(lost.detail));
        QVERIFY(owner == &s.dialog && lost.icon == Message::Icon::Warning);
        // The arrow over a box the sequence waits on; nothing to override when idle.
        QCOMPARE(cursor, midSequence ? Qt::ArrowCursor : -1);
        QCOMPARE(test::OverrideShape(), -1);

        // Every answer sent before the hang-up is in the log; the handshake reply is read by
        // the handshake itself.
        std::unique_lock lock(s.mutex);
        std::string answers = s.sent;
        lock.unlock();
        QVERIFY(answers.starts_with(kHandshakeReply));
        answers.erase(0, kHandshakeReply.size());
        QVERIFY(answers.find("+PROTOCOL:") != std::string::npos);
        QCOMPARE(test::LogText(s.dialog), GbkLogDecoder().Decode(answers));
        QVERIFY(s.dialog.isVisible());
    }

    // Cancel, Enter, the close box, Escape, the menu's Close.
    void endingTheWindowWithThePortOpenClosesItAndEndsTheLoop() {
        for (int how = 0; how < 5; ++how) {
            sim::SimOptions options;
            options.streamBytesPerSecond = 20000;  // blocks keep arriving while the window ends
            Session s(options);
            QVERIFY(s.Activate());
            s.Button(main_dialog::kOpenClose)->click();
            QTRY_VERIFY(s.dialog.state().infoLog.find("+DATA:") != std::string::npos);
            test::Retype(s.Edit(main_dialog::kLoginKey), QStringLiteral("111111"));
            const std::array<std::function<void()>, 5> ways = {
                [&] { s.Button(res::kIdCancel)->click(); },
                [&] { QTest::keyClick(s.Edit(main_dialog::kLoginKey), Qt::Key_Return); },
                [&] { s.dialog.close(); },
                [&] { QTest::keyClick(s.Edit(main_dialog::kLoginKey), Qt::Key_Escape); },
                [&] { s.dialog.OnSysCommand(SystemMenu::kCloseCommand); }};
            ways.at(how)();
            QVERIFY(!s.dialog.isVisible() && !s.dialog.IsPortOpen() && !s.dialog.IsReceiving());
            QCOMPARE(s.dialog.result(), how == 1 ? CDialog::IDOK : CDialog::IDCANCEL);
            QVERIFY(how != 1 || s.dialog.state().loginKey == "111111");  // Enter takes the edits
        }
    }

    void advancedSetSendsTheOperatorsChoicesAndCancelNothing() {
        Session s;
        s.Button(main_dialog::kOpenClose)->click();  // opening reads every parameter
        QTRY_VERIFY(!s.dialog.state().advanced.registerData.empty());
        s.Button(main_dialog::kLogin)->click();
        QTRY_VERIFY(s.dialog.state().loggedIn);
        QCOMPARE(s.dialog.state().advanced.heartbeatCode, 1);  // the device's "30s"
        s.RunAdvanced([](CDialog& d) {
            test::Pick(d.Item<CComboBox>(advanced_dialog::kHeartbeatList), 2);
        });  // cancelled
        const auto before = s.device.ReceivedCommands();
        DeviceState state;
        s.RunAdvanced([&](CDialog& d) {
            test::Pick(d.Item<CComboBox>(advanced_dialog::kHeartbeatList), 1);  // "45s"
            test::Retype(d.Item<GbkLineEdit>(advanced_dialog::kRegistContent),
                         QStringLiteral("新注册包"));
            // Answers arrive while it is open: "Set" overwrites what it covers, nothing else.
            s.dialog.HandleReceivedBlock("+WORKTYPE:1\r\n+ITVT:250\r\n+PIPADD:10.9.9.9\r\n");
            d.Item<QPushButton>(advanced_dialog::kSet)->click();
            state = s.dialog.state();  // before anything is sent
        });
        QCOMPARE(state.advanced.workType, 0);  // as shown at opening
        QCOMPARE(state.advanced.packetGap + state.destAddress, "25010.9.9.9"s);
        QCOMPARE(state.advanced.heartbeatCode, 1);  // the list position
        QVERIFY(state.advanced.heartbeatCodeIsPosition);
        const std::string content = ToGbk(QStringLiteral("新注册包"));
        QVERIFY(s.device.WaitUntil(
            [&](const sim::DeviceModel& m) {
                return m.Value("HEARTIME") == std::optional("2"s) &&
                       m.Value("ENROL") == std::optional(content);
            },
            5s));
        // Nothing set before the Set but these two.
        const auto sent = s.device.ReceivedCommands();
        for (const std::string& command : {"QK+HEARTIME=2\r\n"s, "QK+ENROL=" + content + "\r\n"}) {
            QVERIFY(std::ranges::count(sent, command) == 1);
        }
        QVERIFY(std::ranges::none_of(before, [](const std::string& c) {
            return c.find('=') != std::string::npos && !c.starts_with("QK+LOGIN=");
        }));
        QVERIFY(s.messages.entries.empty());
        // The device confirms the choice with its own code.
        s.Button(main_dialog::kGetParam)->click();
        QTRY_VERIFY(s.dialog.state().advanced.heartbeatCode == 2 &&
                    !s.dialog.state().advanced.heartbeatCodeIsPosition);
    }
};

QTEST_MAIN(SessionTest)
#include "SessionTest.moc"
