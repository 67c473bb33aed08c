#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <functional>

#include "CComboBox.h"
#include "CConfigToolDlg.h"
#include "GbkLineEdit.h"
#include "GbkText.h"
#include "SimulatedDevice.h"
#include "UiTestSupport.h"

using namespace qk;
using namespace qk::ui;
using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

constexpr int kAdvParam = 1041;

// The main window with a simulated device on a pseudo-terminal pinned as COM1.
struct Session {
    sim::SimulatedDevice device;
    test::RecordingPresenter messages;
    CConfigToolDlg window;

    explicit Session(sim::SimOptions options = {})
        : device(options), window(Pinned(device.slavePath()), messages, test::FastTiming()) {
        window.show();
    }
    static PortDirectory Pinned(const std::string& path) {
        PortDirectory ports;
        ports.Pin(1, path);
        return ports;
    }

    QPushButton* Button(int id) { return window.Item<QPushButton>(id); }

    // Opens the port (which reads every parameter) and, if asked, logs in.
    bool Connect(bool logIn) {
        Button(1001)->click();
        if (!QTest::qWaitFor([&] { return !window.state().advanced.registerData.empty(); })) {
            return false;
        }
        return !logIn || LogIn();
    }
    bool LogIn() {
        Button(1003)->click();
        return QTest::qWaitFor([&] { return window.state().loggedIn; });
    }

    // Presses "Adv Param." and runs `drive` with the dialog while it is open; the dialog is
    // cancelled afterwards if `drive` left it open. Returns when the button's whole
    // operation (dialog and any set commands) has ended.
    void RunAdvanced(const std::function<void(CDialog&)>& drive) {
        const auto watch = test::AnswerNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<CDialog*>(modal);
            if (dialog == nullptr) {
                modal->close();
                return;
            }
            drive(*dialog);
            if (dialog->isVisible()) {
                dialog->reject();
            }
        });
        Button(kAdvParam)->click();
    }

    std::size_t SetCommandsSent() const {
        const auto commands = device.ReceivedCommands();
        return static_cast<std::size_t>(
            std::count_if(commands.begin(), commands.end(), [](const std::string& c) {
                return c.find('=') != std::string::npos && c.rfind("QK+LOGIN=", 0) != 0;
            }));
    }
};

void Pick(CComboBox* list, int index) {
    list->showPopup();
    QAbstractItemView* view = list->view();
    QVERIFY(QTest::qWaitFor([&] { return view->isVisible(); }));
    const QModelIndex entry = view->model()->index(index, 0);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(entry).center());
    QVERIFY(QTest::qWaitFor([&] { return list->GetCurSel() == index; }));
}

}  // namespace

class AdvancedSessionTest : public QObject {
    Q_OBJECT
  private slots:
    void setSendsTheOperatorsChoicesToTheDevice() {
        Session s;
        QVERIFY(s.Connect(true));
        QCOMPARE(s.window.state().advanced.heartbeatCode, 1);  // the device's "30s"

        QString shownHeartbeat;
        AdvancedParams stored;
        s.RunAdvanced([&](CDialog& d) {
            shownHeartbeat = d.Item<CComboBox>(1048)->currentText();
            Pick(d.Item<CComboBox>(1048), 1);  // "45s"
            auto* content = d.Item<GbkLineEdit>(1029);
            content->selectAll();
            test::TypeText(content, QStringLiteral("新注册包"));
            d.Item<QPushButton>(1)->click();
            stored = s.window.state().advanced;  // before anything is sent
        });
        QCOMPARE(shownHeartbeat, QStringLiteral("30s"));
        QCOMPARE(stored.heartbeatCode, 1);  // the list position
        QVERIFY(stored.heartbeatCodeIsPosition);
        const std::string newContent = ToGbk(QStringLiteral("新注册包"));
        QVERIFY(s.device.WaitUntil(
            [&](const sim::DeviceModel& m) {
                return m.Value("HEARTIME") == std::optional("2"s) &&
                       m.Value("ENROL") == std::optional(newContent);
            },
            5s));
        const auto commands = s.device.ReceivedCommands();
        QVERIFY(std::find(commands.begin(), commands.end(), "QK+HEARTIME=2\r\n") != commands.end());
        QVERIFY(std::find(commands.begin(), commands.end(), "QK+ENROL=" + newContent + "\r\n") !=
                commands.end());
        QVERIFY(s.messages.entries.empty());

        // Opened again: the choice, not one lower, whether the record still holds the
        // stored position or already the device's confirmation (its code 2).
        s.RunAdvanced([&](CDialog& d) { shownHeartbeat = d.Item<CComboBox>(1048)->currentText(); });
        QCOMPARE(shownHeartbeat, QStringLiteral("45s"));
        // And after reading the parameters again.
        s.Button(1008)->click();
        QVERIFY(QTest::qWaitFor([&] {
            const AdvancedParams& a = s.window.state().advanced;
            return a.heartbeatCode == 2 && !a.heartbeatCodeIsPosition;
        }));
        s.RunAdvanced([&](CDialog& d) { shownHeartbeat = d.Item<CComboBox>(1048)->currentText(); });
        QCOMPARE(shownHeartbeat, QStringLiteral("45s"));
    }

    void cancelOrARefusedSetSendsNothing() {
        Session s;
        QVERIFY(s.Connect(false));
        const AdvancedParams before = s.window.state().advanced;
        bool stayedOpen = false;
        s.RunAdvanced([&](CDialog& d) {
            Pick(d.Item<CComboBox>(1048), 2);
            d.Item<QPushButton>(1)->click();  // not logged in
            stayedOpen = d.isVisible();
            d.Item<QPushButton>(2)->click();
        });
        QVERIFY(stayedOpen);
        QCOMPARE(s.messages.texts(), QStringList{QStringLiteral("Logout")});

        QVERIFY(s.LogIn());
        s.RunAdvanced([&](CDialog& d) {
            Pick(d.Item<CComboBox>(1048), 2);
            QTest::keyClick(d.GetDlgItem(1027), Qt::Key_Escape);
        });
        QCOMPARE(s.SetCommandsSent(), std::size_t{0});
        QCOMPARE(s.window.state().advanced.heartbeatCode, before.heartbeatCode);
        QCOMPARE(s.window.state().advanced.registerData, before.registerData);
        QVERIFY(!s.window.InSequence());
    }

    // While the dialog waits for the operator, received blocks run as they arrive; "Set"
    // then overwrites the fields it covers and nothing else.
    void blocksRunWhileTheDialogIsOpenAndSetOverwritesOnlyItsFields() {
        sim::SimOptions options;
        options.streamBytesPerSecond = 4000;  // "+DATA:" lines keep arriving
        Session s(options);
        QVERIFY(s.Connect(true));
        bool logGrewWhileOpen = false;
        QString heartbeatShownAfterAnswer;
        AdvancedParams a;
        std::string destAddress;
        s.RunAdvanced([&](CDialog& d) {
            const std::size_t logAtOpening = s.window.state().infoLog.size();
            logGrewWhileOpen = QTest::qWaitFor(
                [&] { return s.window.state().infoLog.size() > logAtOpening; }, 5000);
            // Answers arriving now, as the window runs them.
            s.window.HandleReceivedBlock(
                "+HEARTIME:3\r\n+WORKTYPE:1\r\n+PDNS:9.9.9.9\r\n+ITVT:250\r\n+RECONNECTIME:45\r\n"
                "+CANCELDATA:bye\r\n+PIPADD:10.9.9.9\r\n");
            heartbeatShownAfterAnswer = d.Item<CComboBox>(1048)->currentText();
            Pick(d.Item<CComboBox>(1048), 1);  // "45s"
            d.Item<QPushButton>(1)->click();
            // The record as "Set" left it, before the device's confirmations arrive.
            a = s.window.state().advanced;
            destAddress = s.window.state().destAddress;
        });
        QVERIFY(logGrewWhileOpen);
        QCOMPARE(heartbeatShownAfterAnswer, QStringLiteral("30s"));  // read once, at opening
        // Covered by the dialog: its values.
        QCOMPARE(a.heartbeatCode, 1);
        QCOMPARE(a.workType, 0);  // as shown at opening (the simulator's "0")
        QCOMPARE(a.dnsServer, "114.114.114.114"s);
        // Not covered: what was parsed while it was open.
        QCOMPARE(a.packetGap, "250"s);
        QCOMPARE(a.reconnectInterval, "45"s);
        QCOMPARE(a.logoutData, "bye"s);
        QCOMPARE(destAddress, "10.9.9.9"s);
        QVERIFY(s.device.WaitUntil(
            [](const sim::DeviceModel& m) { return m.Value("HEARTIME") == std::optional("2"s); },
            5s));
    }
};

QTEST_MAIN(AdvancedSessionTest)
#include "AdvancedSessionTest.moc"
