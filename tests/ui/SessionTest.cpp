#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "CComboBox.h"
#include "CConfigToolDlg.h"
#include "GbkLineEdit.h"
#include "GbkText.h"
#include "QMessageBoxPresenter.h"
#include "ResponseParser.h"
#include "SimulatedDevice.h"
#include "UiTestSupport.h"

using namespace qk;
using namespace qk::ui;
using namespace std::chrono_literals;

namespace {

// What the parser makes of one answer for the status bar: the oracle for what the window
// must show.
class StatusCapture final : public DeviceView {
  public:
    std::array<std::string, 3> status;
    void SetStatusText(int part, std::string_view text) override { status.at(part) = text; }
    void SetLoginLabel(std::string_view) override {}
    void SetConfigModeLabel(std::string_view) override {}
    void SelectDeviceBaud(int) override {}
    void SelectProtocol(int) override {}
    void ShowMessage(std::string_view) override {}
    void UpdateControls() override {}
    void UpdateState() override {}
    void ScrollLogToEnd() override {}
};

QString ExpectedStatus(const sim::SimulatedDevice& device, int part) {
    static constexpr std::array<const char*, 3> keys = {"STAT", "ID", "VER"};
    DeviceState state;
    StatusCapture view;
    ResponseParser parser(state, view);
    parser.HandleBlock("+" + std::string(keys.at(part)) + ":" + *device.Value(keys.at(part)) +
                       "\r\n");
    return FromGbk(view.status.at(part));
}

// The main window with a simulated device on a pseudo-terminal pinned as COM1.
struct Session {
    sim::SimulatedDevice device;
    test::RecordingPresenter messages;
    CConfigToolDlg dialog;

    explicit Session(sim::SimOptions options = {}, ControllerTiming timing = test::FastTiming())
        : device(options), dialog(Pinned(device.slavePath()), messages, timing) {
        dialog.show();
    }
    static PortDirectory Pinned(const std::string& path) {
        PortDirectory ports;
        ports.Pin(1, path);
        return ports;
    }

    QPushButton* Button(int id) { return dialog.Item<QPushButton>(id); }
    CComboBox* List(int id) { return dialog.Item<CComboBox>(id); }
    GbkLineEdit* Edit(int id) { return dialog.Item<GbkLineEdit>(id); }
    QString LabelText(int id) { return dialog.Item<QLabel>(id)->text(); }
    QString Status(int part) { return dialog.statusBar()->GetText(part); }
    bool ConfigButtonsEnabled() {
        return Button(1003)->isEnabled() && Button(1008)->isEnabled() &&
               Button(1009)->isEnabled() && Button(1041)->isEnabled();
    }
    bool ConfigButtonsDisabled() {
        return !Button(1003)->isEnabled() && !Button(1008)->isEnabled() &&
               !Button(1009)->isEnabled() && !Button(1041)->isEnabled();
    }
};

}  // namespace

class SessionTest : public QObject {
    Q_OBJECT
  private slots:
    void fullSession() {
        Session s;
        std::string earlier;
        for (int i = 0; i < 100; ++i) {
            earlier += "earlier line\r\n";
        }
        s.dialog.HandleReceivedBlock(earlier);

        s.Button(1001)->click();
        QCOMPARE(s.Button(1001)->text(), QStringLiteral("Close"));
        QCOMPARE(s.LabelText(1049), QStringLiteral("已进入配置模式"));
        QVERIFY(s.ConfigButtonsEnabled());
        QVERIFY(s.dialog.IsReceiving());

        // The fifteen answers.
        QTRY_COMPARE(s.Edit(1019)->text(), QStringLiteral("192.168.1.10"));
        QTRY_COMPARE(s.Edit(1020)->text(), QStringLiteral("5000"));
        QTRY_COMPARE(s.List(1044)->currentText(), QStringLiteral("9600"));
        QTRY_COMPARE(s.List(1011)->currentText(), QStringLiteral("TCP"));
        QTRY_COMPARE(s.Status(0), ExpectedStatus(s.device, 0));
        QTRY_COMPARE(s.Status(1), ExpectedStatus(s.device, 1));
        QTRY_COMPARE(s.Status(2), ExpectedStatus(s.device, 2));
        QTRY_COMPARE(s.dialog.state().advanced.registerData, *s.device.Value("ENROL"));
        QCOMPARE(s.dialog.state().advanced.heartbeatCode, 1);
        auto* log = s.dialog.Item<QPlainTextEdit>(1002);
        QVERIFY(log->toPlainText().contains(QStringLiteral("+PIPADD:192.168.1.10\n")));
        QTRY_COMPARE(log->verticalScrollBar()->value(), log->verticalScrollBar()->maximum());
        QVERIFY(log->verticalScrollBar()->maximum() > 0);

        s.Button(1009)->click();  // Set Param. before a login
        QCOMPARE(s.messages.texts(), QStringList{QStringLiteral("Log off")});

        s.Button(1003)->click();
        QTRY_COMPARE(s.LabelText(1050), QStringLiteral("Login"));
        QVERIFY(s.dialog.state().loggedIn);

        s.Edit(1019)->setText(QStringLiteral("10.1.2.3"));
        s.Button(1009)->click();
        QVERIFY(s.device.WaitUntil(
            [](const sim::DeviceModel& m) {
                return m.Value("PIPADD") == std::optional<std::string>("10.1.2.3");
            },
            5s));
        QTRY_COMPARE(s.Edit(1019)->text(), QStringLiteral("10.1.2.3"));
        // The last answer has been read before the port closes: one still on its way would
        // arrive after the next opening's flush, in front of its handshake reply.
        QTRY_VERIFY(s.dialog.state().infoLog.ends_with("+PROTOCOL:TCP\r\n"));

        s.Button(1001)->click();
        QCOMPARE(s.Button(1001)->text(), QStringLiteral("Open"));
        QCOMPARE(s.LabelText(1049), QString());
        QCOMPARE(s.LabelText(1050), QStringLiteral("未登陆"));
        QVERIFY(s.ConfigButtonsDisabled());
        QVERIFY(!s.dialog.IsPortOpen());
        QVERIFY(!s.dialog.IsReceiving());
        QCOMPARE(s.messages.texts(), QStringList{QStringLiteral("Log off")});

        // Every opening needs its own login.
        s.Button(1001)->click();
        QVERIFY(s.ConfigButtonsEnabled());
        s.Button(1009)->click();
        QCOMPARE(s.messages.texts(),
                 (QStringList{QStringLiteral("Log off"), QStringLiteral("Log off")}));
    }

    void answersWaitUntilTheSequenceEndsAndCloseIsRefusedMeanwhile() {
        ControllerTiming timing = test::FastTiming();
        timing.basicQueryGap = 40ms;
        Session s({}, timing);
        QVERIFY(QTest::qWaitForWindowActive(&s.dialog));
        bool checked = false;
        bool inSequence = false;
        bool statusEmpty = false;
        QTimer::singleShot(120, &s.dialog, [&] {
            checked = true;
            inSequence = s.dialog.InSequence();
            statusEmpty = s.Status(1).isEmpty();
            s.dialog.close();
            s.dialog.reject();
        });
        s.Button(1001)->click();  // handshake, then 15 queries with 40 ms pauses
        QVERIFY(checked);
        QVERIFY(inSequence);
        QVERIFY(statusEmpty);
        QVERIFY(s.dialog.isVisible());
        QVERIFY(s.dialog.IsPortOpen());
        QTRY_COMPARE(s.Status(1), ExpectedStatus(s.device, 1));
    }

    void typedDestAddressIsReplacedWhenAnswersArrive() {
        Session s;
        s.Button(1001)->click();
        QTRY_COMPARE(s.Edit(1019)->text(), QStringLiteral("192.168.1.10"));
        s.Edit(1019)->setText(QStringLiteral("typed.example"));
        s.Button(1008)->click();  // Get Param. takes nothing from the edits
        QTRY_COMPARE(s.Edit(1019)->text(), QStringLiteral("192.168.1.10"));
    }

    void portThatCannotBeOpenedShowsTheWarning() {
        test::RecordingPresenter messages;
        PortDirectory ports;
        ports.Pin(1, "/nonexistent/ttyQK");
        CConfigToolDlg dialog(std::move(ports), messages, test::FastTiming());
        dialog.show();
        dialog.Item<QPushButton>(1001)->click();
        QCOMPARE(messages.entries.size(), std::size_t{1});
        QCOMPARE(messages.entries[0].message.text, QStringLiteral("Open com failed!"));
        QCOMPARE(messages.entries[0].message.icon, Message::Icon::Warning);
        QVERIFY(messages.entries[0].message.detail.contains(QStringLiteral("/nonexistent/ttyQK")));
        QCOMPARE(messages.entries[0].owner, &dialog);
        QCOMPARE(dialog.Item<QPushButton>(1001)->text(), QStringLiteral("Open"));
        QCOMPARE(dialog.Item<QLabel>(1049)->text(), QString());
    }

    void realWarningBoxHasTheCaptionOneOkButtonAndTheWarningIcon() {
        QMessageBoxPresenter messages(QStringLiteral("QK4410ConfTool"));
        CConfigToolDlg dialog(PortDirectory{}, messages, test::FastTiming());
        dialog.show();
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        const auto watch = test::AnswerNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->standardButtons();
            box->button(QMessageBox::Ok)->click();
        });
        dialog.Item<QPushButton>(1001)->click();  // COM1 stands for nothing
        QCOMPARE(title, QStringLiteral("QK4410ConfTool"));
        QCOMPARE(text, QStringLiteral("Open com failed!"));
        QCOMPARE(icon, QMessageBox::Warning);
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    void handshakeWithoutReplyLeavesThePortOpen() {
        sim::SimOptions options;
        options.noHandshake = true;
        ControllerTiming timing = test::FastTiming();
        timing.handshakeAttempts = 3;
        Session s(options, timing);
        s.Button(1001)->click();
        QCOMPARE(s.messages.texts(), QStringList{QStringLiteral("Fail, Please try again!")});
        QCOMPARE(s.Button(1001)->text(), QStringLiteral("Close"));
        QCOMPARE(s.LabelText(1049), QStringLiteral("Entering Config Mode..."));
        QVERIFY(s.ConfigButtonsDisabled());
        QVERIFY(!s.dialog.IsReceiving());
        s.Button(1001)->click();
        QCOMPARE(s.Button(1001)->text(), QStringLiteral("Open"));
        QCOMPARE(s.LabelText(1050), QStringLiteral("未登陆"));
    }

    void endingTheWindowWithThePortOpenClosesItAndEndsTheLoop_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel") << 0;
        QTest::newRow("Enter") << 1;
        QTest::newRow("close box") << 2;
    }
    void endingTheWindowWithThePortOpenClosesItAndEndsTheLoop() {
        QFETCH(int, how);
        sim::SimOptions options;
        options.streamBytesPerSecond = 20000;  // blocks keep arriving while the window ends
        Session s(options);
        QVERIFY(QTest::qWaitForWindowActive(&s.dialog));
        s.Button(1001)->click();
        QTRY_VERIFY(s.dialog.state().infoLog.find("+DATA:") != std::string::npos);
        switch (how) {
            case 0:
                s.Button(2)->click();
                break;
            case 1:
                s.Edit(1019)->setFocus();
                QTest::keyClick(s.Edit(1019), Qt::Key_Return);
                break;
            case 2:
                s.dialog.close();
                break;
        }
        QVERIFY(!s.dialog.isVisible());
        QVERIFY(!s.dialog.IsPortOpen());
        QVERIFY(!s.dialog.IsReceiving());
        QCOMPARE(s.dialog.result(), how == 1 ? CDialog::IDOK : CDialog::IDCANCEL);
    }
};

QTEST_MAIN(SessionTest)
#include "SessionTest.moc"
