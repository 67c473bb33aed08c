// The main window and the advanced-parameters dialog against a simulated device on a
// pseudo-terminal pinned as COM1.
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <mutex>

#include "CConfigToolDlg.h"
#include "GbkLineEdit.h"
#include "SimulatedDevice.h"
#include "UiTestSupport.h"

using namespace qk;
using namespace qk::ui;
using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

PortDirectory Pinned(const std::string& path) {
    PortDirectory ports;
    ports.Pin(1, path);
    return ports;
}

// Everything a simulated device wrote to the line, collected on its thread.
class SentBytes {
  public:
    sim::SimulatedDevice::TrafficObserver Observer() {
        return [this](sim::SimulatedDevice::Direction direction, std::string_view bytes) {
            if (direction == sim::SimulatedDevice::Direction::Sent) {
                std::lock_guard lock(m_mutex);
                m_bytes += bytes;
            }
        };
    }
    std::string Bytes() const {
        std::lock_guard lock(m_mutex);
        return m_bytes;
    }

  private:
    mutable std::mutex m_mutex;
    std::string m_bytes;
};

struct Session {
    SentBytes sent;  // before the device, whose thread reports to it
    sim::SimulatedDevice device;
    test::RecordingPresenter messages;
    CConfigToolDlg dialog;

    explicit Session(sim::SimOptions options = {}, ControllerTiming timing = test::FastTiming())
        : device(options, sent.Observer()), dialog(Pinned(device.slavePath()), messages, timing) {
        dialog.show();
    }

    QPushButton* Button(int id) { return dialog.Item<QPushButton>(id); }
    GbkLineEdit* Edit(int id) { return dialog.Item<GbkLineEdit>(id); }
    QString LabelText(int id) { return dialog.Item<QLabel>(id)->text(); }
    QString Status(int part) { return dialog.statusBar()->GetText(part); }
    // The opening and login state at a glance: the Open/Close button, the config mode and
    // login labels, how many of Login, Get Param., Set Param. and Adv Param. are enabled,
    // the port and the receive loop.
    QString Shown() {
        const int enabled = int(Button(1003)->isEnabled()) + Button(1008)->isEnabled() +
                            Button(1009)->isEnabled() + Button(1041)->isEnabled();
        return QStringLiteral("%1|%2|%3|%4|%5|%6")
            .arg(Button(1001)->text(), LabelText(1049), LabelText(1050))
            .arg(enabled)
            .arg(dialog.IsPortOpen() ? "open" : "closed", dialog.IsReceiving() ? "receiving" : "-");
    }
    // What a window shows for the device's answer to the status bar's `part`.
    QString ExpectedStatus(int part) {
        static constexpr std::array keys = {"STAT", "ID", "VER"};
        test::RecordingPresenter none;
        CConfigToolDlg oracle(PortDirectory{}, none);
        oracle.InitDialog();
        oracle.HandleReceivedBlock("+"s + keys.at(part) + ":" + *device.Value(keys.at(part)) +
                                   "\r\n");
        return oracle.statusBar()->GetText(part);
    }

    // Presses "Adv Param." and runs `drive` with the dialog while it is open, cancelling it
    // if `drive` left it open; returns when the dialog and any set commands have ended.
    void RunAdvanced(const std::function<void(CDialog&)>& drive) {
        const auto watch = test::AnswerNextModal([&](QWidget* modal) {
            auto* advanced = qobject_cast<CDialog*>(modal);
            if (advanced == nullptr) {
                modal->close();
                return;
            }
            drive(*advanced);
            if (advanced->isVisible()) {
                advanced->reject();
            }
        });
        Button(1041)->click();
    }
    QString ShownHeartbeat() {
        QString shown;
        RunAdvanced([&](CDialog& d) { shown = d.Item<CComboBox>(1048)->currentText(); });
        return shown;
    }
};

}  // namespace

class SessionTest : public QObject {
    Q_OBJECT
  private slots:
    void fullSession() {
        Session s;
        s.dialog.HandleReceivedBlock(QByteArray("earlier line\r\n").repeated(100).toStdString());

        s.Button(1001)->click();
        QCOMPARE(s.Shown(), QStringLiteral("Close|已进入配置模式|off|4|open|receiving"));
        // The fifteen answers.
        QTRY_COMPARE(s.Edit(1019)->text(), QStringLiteral("192.168.1.10"));
        QTRY_COMPARE(s.Edit(1020)->text(), QStringLiteral("5000"));
        QTRY_COMPARE(s.dialog.Item<CComboBox>(1044)->currentText(), QStringLiteral("9600"));
        QTRY_COMPARE(s.dialog.Item<CComboBox>(1011)->currentText(), QStringLiteral("TCP"));
        for (int part = 0; part < 3; ++part) {
            QTRY_COMPARE(s.Status(part), s.ExpectedStatus(part));
        }
        QTRY_COMPARE(s.dialog.state().advanced.registerData, *s.device.Value("ENROL"));
        QCOMPARE(s.dialog.state().advanced.heartbeatCode, 1);
        QVERIFY(test::LogText(s.dialog).contains(QStringLiteral("+PIPADD:192.168.1.10\n")));
        QScrollBar* bar = s.dialog.Item<InfoLogBox>(1002)->verticalScrollBar();
        QTRY_COMPARE(bar->value(), bar->maximum());
        QVERIFY(bar->maximum() > 0);

        s.Button(1009)->click();  // Set Param. before a login
        QCOMPARE(s.messages.texts(), QStringList{QStringLiteral("Log off")});
        s.Button(1003)->click();
        QTRY_COMPARE(s.LabelText(1050), QStringLiteral("Login"));
        QVERIFY(s.dialog.state().loggedIn);

        s.Edit(1019)->setText(QStringLiteral("10.1.2.3"));
        s.Button(1009)->click();
        QVERIFY(s.device.WaitUntil(
            [](const sim::DeviceModel& m) {
                return m.Value("PIPADD") == std::optional("10.1.2.3"s);
            },
            5s));
        QTRY_COMPARE(s.Edit(1019)->text(), QStringLiteral("10.1.2.3"));
        // The last answer has been read before the port closes: one still on its way would
        // arrive after the next opening's flush, in front of its handshake reply.
        QTRY_VERIFY(s.dialog.state().infoLog.ends_with("+PROTOCOL:TCP\r\n"));

        s.Button(1001)->click();
        QCOMPARE(s.Shown(), QStringLiteral("Open||未登陆|0|closed|-"));
        // Every opening needs its own login.
        s.Button(1001)->click();
        QCOMPARE(s.Shown(), QStringLiteral("Close|已进入配置模式|未登陆|4|open|receiving"));
        s.Button(1009)->click();
        QCOMPARE(s.messages.texts(), (QStringList{"Log off", "Log off"}));
    }

    void answersWaitUntilTheSequenceEnds() {
        ControllerTiming timing = test::FastTiming();
        timing.basicQueryGap = 40ms;
        Session s({}, timing);
        bool inSequence = false;
        QString status = QStringLiteral("not checked");
        QTimer::singleShot(120, &s.dialog, [&] {
            inSequence = s.dialog.InSequence();
            status = s.Status(1);
        });
        s.Button(1001)->click();  // handshake, then 15 queries with 40 ms pauses
        QVERIFY(inSequence);
        QCOMPARE(status, QString());
        QTRY_COMPARE(s.Status(1), s.ExpectedStatus(1));
    }

    // A close request made during a sequence ends the window once the sequence has ended,
    // the way the close box ends it at any other time.
    void closingDuringASequenceEndsTheWindowAfterIt_data() {
        QTest::addColumn<bool>("handshake");
        QTest::addColumn<QString>("label");  // the config mode label when the request comes
        QTest::newRow("Open's handshake") << true << "Entering Config Mode...";
        QTest::newRow("Get Param.") << false << "已进入配置模式";
    }
    void closingDuringASequenceEndsTheWindowAfterIt() {
        QFETCH(bool, handshake);
        QFETCH(QString, label);
        sim::SimOptions options;
        ControllerTiming timing = test::FastTiming();
        if (handshake) {
            options.latency = 300ms;  // the handshake polls that long
        } else {
            timing.basicQueryGap = 60ms;
        }
        Session s(options, timing);
        if (!handshake) {
            s.Button(1001)->click();
        }
        QString shown = QStringLiteral("not checked");
        QTimer::singleShot(50, &s.dialog, [&] {
            s.dialog.close();
            shown = s.LabelText(1049) + (s.dialog.isVisible() ? "|shown" : "|gone");
        });
        s.Button(handshake ? 1001 : 1008)->click();
        QCOMPARE(shown, label + "|shown");
        // The sequence ran to its end: the last query went out before the port closed.
        QVERIFY(s.device.WaitUntil(
            [&](const sim::DeviceModel& m) {
                const auto& sent = m.ReceivedCommands();
                return std::count(sent.begin(), sent.end(), "QK+ENROL?\r\n") == (handshake ? 1 : 2);
            },
            5s));
        QVERIFY(!s.dialog.isVisible());
        QCOMPARE(s.dialog.result(), CDialog::IDCANCEL);
        QVERIFY(!s.dialog.IsPortOpen() && !s.dialog.IsReceiving());
        QVERIFY(s.messages.entries.empty());
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
        s.Button(1001)->click();
        const QString closed = QStringLiteral("Open||未登陆|0|closed|-");
        if (midSequence) {
            // The sequence closed the port itself.
            QVERIFY(s.device.HungUp());
            QCOMPARE(s.Shown(), closed);
        } else {
            QCOMPARE(s.Shown(), QStringLiteral("Close|已进入配置模式|off|4|open|receiving"));
            QVERIFY(s.device.WaitUntilHungUp(5s));
            QTRY_COMPARE_WITH_TIMEOUT(s.Shown(), closed, 2000);
        }
        QCOMPARE(s.messages.entries.size(), 1u);
        const Message& lost = s.messages.entries.front().message;
        QCOMPARE(lost.text, QStringLiteral("Device lost, port closed"));
        QCOMPARE(lost.icon, Message::Icon::Warning);
        const QString port = "COM1 (" + QString::fromStdString(s.device.slavePath()) + "): ";
        QVERIFY2(lost.detail.startsWith(port) && lost.detail.size() > port.size(),
                 qPrintable(lost.detail));
        QCOMPARE(s.messages.entries.front().owner, &s.dialog);
        // The arrow over a box the sequence waits on; nothing to override when idle.
        QCOMPARE(s.messages.entries.front().cursor, midSequence ? Qt::ArrowCursor : -1);
        QCOMPARE(test::OverrideShape(), -1);

        // Every answer sent before the hang-up is in the log; the handshake reply is read by
        // the handshake itself.
        std::string answers = s.sent.Bytes();
        QVERIFY(answers.starts_with(kHandshakeReply));
        answers.erase(0, kHandshakeReply.size());
        QVERIFY(answers.find("+PROTOCOL:") != std::string::npos);
        QCOMPARE(test::LogText(s.dialog), GbkLogDecoder().Decode(answers));
        QVERIFY(s.dialog.isVisible());
    }

    // The same window opens again once a device answers at the path it was given, as when
    // the operator plugs the adapter back in.
    void openWorksAgainOnceADeviceIsBack() {
        QTemporaryDir links;
        const QString link = links.filePath(QStringLiteral("ttyUSB0"));
        std::optional<sim::SimulatedDevice> device(std::in_place);
        QVERIFY(QFile::link(QString::fromStdString(device->slavePath()), link));
        test::RecordingPresenter messages;
        CConfigToolDlg dialog(Pinned(link.toStdString()), messages, test::FastTiming());
        dialog.show();
        auto* open = dialog.Item<QPushButton>(1001);
        open->click();
        QVERIFY(dialog.IsReceiving());
        device.reset();  // closes both ends of its line: unplugged
        QTRY_VERIFY(!dialog.IsPortOpen());
        QCOMPARE(messages.texts(), QStringList{"Device lost, port closed"});
        QVERIFY(messages.entries.front().message.detail.contains(link));

        sim::SimulatedDevice back;
        back.SetValue("PIPADD", "10.20.30.40");
        QVERIFY(QFile::remove(link));
        QVERIFY(QFile::link(QString::fromStdString(back.slavePath()), link));
        open->click();
        QCOMPARE(open->text(), QStringLiteral("Close"));
        QVERIFY(dialog.IsPortOpen() && dialog.IsReceiving());
        QTRY_COMPARE(dialog.Item<GbkLineEdit>(1019)->text(), QStringLiteral("10.20.30.40"));
        open->click();
        QVERIFY(!dialog.IsPortOpen());
        QCOMPARE(messages.entries.size(), 1u);
    }

    // The busy cursor while a sequence holds the window's input, the arrow for what waits for
    // the operator inside one, and the widgets' own cursors at any other time.
    void theCursorShowsWhetherTheWindowTakesInput() {
        ControllerTiming timing = test::FastTiming();
        timing.basicQueryGap = 40ms;
        Session s({}, timing);
        int paused = 0;
        QTimer::singleShot(60, &s.dialog, [&] { paused = test::OverrideShape(); });
        s.Button(1001)->click();  // the queries take 7 x 40 ms
        QCOMPARE(paused, Qt::WaitCursor);
        QCOMPARE(test::OverrideShape(), -1);

        s.Button(1009)->click();  // Set Param. before a login: "Log off"
        s.dialog.OnHelp();
        QCOMPARE(s.messages.entries.size(), 2u);
        QCOMPARE((QList<int>{s.messages.entries[0].cursor, s.messages.entries[1].cursor}),
                 (QList<int>{Qt::ArrowCursor, -1}));
        int advanced = 0;
        s.RunAdvanced([&](CDialog&) { advanced = test::OverrideShape(); });
        QCOMPARE(advanced, Qt::ArrowCursor);
        QCOMPARE(test::OverrideShape(), -1);
    }

    void endingTheWindowWithThePortOpenClosesItAndEndsTheLoop_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel") << 0;
        QTest::newRow("Enter") << 1;
        QTest::newRow("close box") << 2;
        QTest::newRow("Escape") << 3;
        QTest::newRow("system command SC_CLOSE") << 4;
    }
    void endingTheWindowWithThePortOpenClosesItAndEndsTheLoop() {
        QFETCH(int, how);
        sim::SimOptions options;
        options.streamBytesPerSecond = 20000;  // blocks keep arriving while the window ends
        Session s(options);
        QVERIFY(QTest::qWaitForWindowActive(&s.dialog));
        s.Button(1001)->click();
        QTRY_VERIFY(s.dialog.state().infoLog.find("+DATA:") != std::string::npos);
        test::Retype(s.Edit(1038), QStringLiteral("111111"));
        const std::array<std::function<void()>, 5> ways = {
            [&] { s.Button(2)->click(); }, [&] { QTest::keyClick(s.Edit(1038), Qt::Key_Return); },
            [&] { s.dialog.close(); }, [&] { QTest::keyClick(s.Edit(1038), Qt::Key_Escape); },
            [&] { s.dialog.OnSysCommand(SystemMenu::kCloseCommand); }};
        ways.at(how)();
        QVERIFY(!s.dialog.isVisible());
        QVERIFY(!s.dialog.IsPortOpen() && !s.dialog.IsReceiving());
        QCOMPARE(s.dialog.result(), how == 1 ? CDialog::IDOK : CDialog::IDCANCEL);
        if (how == 1) {  // Enter takes the edits first
            QCOMPARE(s.dialog.state().loginKey, "111111"s);
        }
    }

    void advancedSetSendsTheOperatorsChoicesAndCancelNothing() {
        Session s;
        s.Button(1001)->click();  // opening reads every parameter
        QVERIFY(QTest::qWaitFor([&] { return !s.dialog.state().advanced.registerData.empty(); }));
        s.Button(1003)->click();
        QVERIFY(QTest::qWaitFor([&] { return s.dialog.state().loggedIn; }));
        QCOMPARE(s.dialog.state().advanced.heartbeatCode, 1);  // the device's "30s"
        s.RunAdvanced([&](CDialog& d) {
            test::Pick(d.Item<CComboBox>(1048), 2);
            QTest::keyClick(d.GetDlgItem(1027), Qt::Key_Escape);
        });
        QVERIFY(!s.dialog.InSequence());
        QCOMPARE(s.ShownHeartbeat(), QStringLiteral("30s"));
        const auto before = s.device.ReceivedCommands();
        DeviceState state;
        s.RunAdvanced([&](CDialog& d) {
            test::Pick(d.Item<CComboBox>(1048), 1);  // "45s"
            test::Retype(d.Item<GbkLineEdit>(1029), QStringLiteral("新注册包"));
            // Answers arrive while it is open: "Set" overwrites what it covers, nothing else.
            s.dialog.HandleReceivedBlock("+WORKTYPE:1\r\n+ITVT:250\r\n+PIPADD:10.9.9.9\r\n");
            d.Item<QPushButton>(1)->click();
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
            QVERIFY(std::find(sent.begin(), sent.end(), command) != sent.end());
        }
        QVERIFY(std::none_of(before.begin(), before.end(), [](const std::string& c) {
            return c.find('=') != std::string::npos && !c.starts_with("QK+LOGIN=");
        }));
        QVERIFY(s.messages.entries.empty());

        // Opened again: the choice, not one lower, whether the record still holds the
        // stored position or already the device's confirmation (its code 2).
        QCOMPARE(s.ShownHeartbeat(), QStringLiteral("45s"));
        s.Button(1008)->click();
        QVERIFY(QTest::qWaitFor([&] {
            const AdvancedParams& a = s.dialog.state().advanced;
            return a.heartbeatCode == 2 && !a.heartbeatCodeIsPosition;
        }));
        QCOMPARE(s.ShownHeartbeat(), QStringLiteral("45s"));
    }
};

QTEST_MAIN(SessionTest)
#include "SessionTest.moc"
