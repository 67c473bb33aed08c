// The main window run as the program runs it (its own modal loop, real message boxes and
// file dialogs), under a real X server, where the window system's own paths are taken: the
// close box as the window manager's WM_DELETE_WINDOW message, dialogs that block the main
// window, a device that hangs up while the Advanced Parameters dialog waits.
#include <xcb/xcb.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>

#include "QFileDialogChooser.h"
#include "QMessageBoxPresenter.h"
#include "SimulatedDevice.h"
#include "UiTestSupport.h"

using namespace qk;
using namespace qk::ui;
using namespace std::chrono_literals;

namespace {

// What a window manager sends when the close box of `window` is pressed, from a connection
// of its own, as a window manager's is.
void PressCloseBox(WId window) {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const auto atom = [&](std::string_view name) {
        const auto cookie =
            xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data());
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
        const xcb_atom_t value = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return value;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window);
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
    // A round trip: the server has taken the event before this connection goes.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    xcb_disconnect(connection);
}

// The descriptors of this process open on `path`, also once the node is gone.
int DescriptorsOn(const std::string& path) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        count += !error && target.starts_with(path) ? 1 : 0;
    }
    return count;
}

// Runs `step` on the window's thread every few milliseconds, from whatever loop runs then,
// until it returns true; the returned timer stops it.
[[nodiscard]] std::unique_ptr<QTimer> Every(std::function<bool()> step) {
    auto timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, timer.get(), [step, t = timer.get()] {
        if (step()) {
            t->stop();
        }
    });
    timer->start(10);
    return timer;
}

// The device first, then the window pinned to it as COM1, with the program's message boxes
// and file dialogs. The device can be pulled (it hangs up).
struct Program {
    std::mutex mutex;
    std::string received;  // what the device read off the line
    std::unique_ptr<sim::SimulatedDevice> device;
    std::string path;
    QMessageBoxPresenter messages{QStringLiteral("QK4410ConfTool")};
    QFileDialogChooser files;
    test::ScriptedPortWatcher watcher;
    CConfigToolDlg dialog;

    Program()
        : device(std::make_unique<sim::SimulatedDevice>(
              sim::SimOptions{},
              [this](sim::SimulatedDevice::Direction direction, std::string_view bytes) {
                  if (direction == sim::SimulatedDevice::Direction::Received) {
                      std::lock_guard lock(mutex);
                      received += bytes;
                  }
              })),
          path(device->slavePath()),
          dialog(test::Pinned({{1, path}}), messages, files, watcher, test::FastTiming()) {}

    template <typename Widget>
    Widget* Item(int id) {
        return dialog.Item<Widget>(id);
    }
    // Runs the window as the program does, for at most `limit`; the result of its modal run,
    // or -1 when it was still running then (and was ended by force).
    int Run(std::chrono::milliseconds limit = 20s) {
        bool ended = false;
        QTimer::singleShot(limit, &dialog, [&] {
            if (!ended) {
                for (QWidget* modal = QApplication::activeModalWidget();
                     modal != nullptr && modal != &dialog;
                     modal = QApplication::activeModalWidget()) {
                    modal->hide();
                }
                dialog.done(-1);
            }
        });
        const int result = dialog.DoModal();
        ended = true;
        return dialog.result() == -1 ? -1 : result;
    }
};

// The program's own modal windows above the main window.
bool ChildOpen(QWidget& main, const char* kind) {
    QWidget* modal = QApplication::activeModalWidget();
    if (std::string_view(kind) == "Find Device") {
        return qobject_cast<CConfigToolDlg*>(&main)->deviceFinder().progress() != nullptr &&
               qobject_cast<CConfigToolDlg*>(&main)->deviceFinder().progress()->isVisible();
    }
    return modal != nullptr && modal != &main && modal->isVisible();
}

}  // namespace

class WindowSystemTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb")); }

    // The close box of the main window ends the program whatever it has open: the child is
    // closed as its own close box would close it, a search is cancelled, a sequence the
    // child belongs to ends first.
    void theCloseBoxEndsTheProgramWhateverIsOpen_data() {
        QTest::addColumn<QString>("child");
        for (const char* child :
             {"About box", "Advanced Parameters", "message", "file dialog", "Find Device"}) {
            QTest::newRow(child) << QString::fromLatin1(child);
        }
    }
    void theCloseBoxEndsTheProgramWhateverIsOpen() {
        QFETCH(QString, child);
        Program p;
        QString seen;
        const auto open = [&] {
            if (child == "About box") {
                p.dialog.OnSysCommand(SystemMenu::kAboutCommand);
            } else if (child == "Advanced Parameters") {
                p.Item<QPushButton>(main_dialog::kOpenClose)->click();  // opens, then the dialog
                p.Item<QPushButton>(main_dialog::kAdvParam)->click();
            } else if (child == "message") {
                p.dialog.OnHelp();
            } else if (child == "file dialog") {
                p.dialog.OnSysCommand(SystemMenu::kLoadProfileCommand);
            } else {
                p.dialog.OnSysCommand(SystemMenu::kFindDeviceCommand);
            }
        };
        QTimer::singleShot(0, &p.dialog, open);
        bool pressed = false;
        const auto press = Every([&] {
            if (!ChildOpen(p.dialog, qPrintable(child))) {
                return false;
            }
            seen = QApplication::activeModalWidget() != nullptr
                       ? QApplication::activeModalWidget()->windowTitle()
                       : QString();
            PressCloseBox(p.dialog.winId());
            pressed = true;
            return true;
        });
        const int result = p.Run();
        QVERIFY2(pressed, "the child never opened");
        QCOMPARE(result, CDialog::IDCANCEL);
        QVERIFY(!ChildOpen(p.dialog, qPrintable(child)));
        QVERIFY(!p.dialog.IsPortOpen() && !p.dialog.IsReceiving() &&
                !p.dialog.deviceFinder().IsRunning());
        // Nothing was set: a dialog closed that way is cancelled.
        std::lock_guard lock(p.mutex);
        QVERIFY(p.received.find('=') == std::string::npos);
        QVERIFY(!seen.isNull());
    }

    // The device is pulled while the Advanced Parameters dialog waits for the operator: the
    // dialog can no longer set anything, the port is let go within a second, with one
    // message, and the window shows it closed.
    void aHangUpWithTheAdvancedDialogOpenReleasesTheLineAtOnce() {
        Program p;
        const int devicesOwn = DescriptorsOn(p.path);  // the simulated device's
        CDialog* advanced = nullptr;
        int descriptorsBefore = -1;
        std::optional<QDeadlineTimer> withinASecond;
        bool released = false;
        QStringList messages;  // each with whether "Set" was enabled while it showed
        QDeadlineTimer quiet;
        QTimer::singleShot(0, &p.dialog, [&] {
            p.Item<QPushButton>(main_dialog::kOpenClose)->click();
            p.Item<QPushButton>(main_dialog::kAdvParam)->click();
        });
        // One step at a time, from whatever modal loop runs then.
        const auto steps = Every([&] {
            auto* modal = QApplication::activeModalWidget();
            if (!withinASecond) {
                advanced = qobject_cast<CDialog*>(modal);
                if (advanced == nullptr || advanced == &p.dialog) {
                    return false;
                }
                descriptorsBefore = DescriptorsOn(p.path) - devicesOwn;
                p.device.reset();  // the adapter is pulled: the line hangs up
                withinASecond = QDeadlineTimer(1000);
                quiet = QDeadlineTimer(3000);
                return false;
            }
            if (!released && DescriptorsOn(p.path) == 0) {
                released = !withinASecond->hasExpired();
            }
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                messages << box->text() + "|" +
                                QString::number(advanced->Item<QPushButton>(advanced_dialog::kSet)
                                                    ->isEnabled());
                box->button(QMessageBox::Ok)->click();
                quiet = QDeadlineTimer(300);
                return false;
            }
            if (!quiet.hasExpired()) {
                return false;
            }
            // "Set" stays refused, however it is asked for; Cancel ends the dialog.
            advanced->accept();
            messages << QString::number(QApplication::activeModalWidget() == advanced);
            advanced->reject();
            QTimer::singleShot(0, &p.dialog, [&] { p.dialog.done(CDialog::IDCANCEL); });
            return true;
        });
        QCOMPARE(p.Run(), CDialog::IDCANCEL);
        QCOMPARE(descriptorsBefore, 1);
        QVERIFY2(released, "the line was not let go within a second");
        QCOMPARE(messages, (QStringList{"Device lost, port closed|0", "1"}));
        QVERIFY(!p.dialog.IsPortOpen() && !p.dialog.IsReceiving());
        QCOMPARE(p.Item<QPushButton>(main_dialog::kOpenClose)->text() +
                     p.Item<QLabel>(main_dialog::kConfigModeLabel)->text(),
                 QStringLiteral("Open"));
    }

    // A registration content longer than the receive buffer comes whole into the record and
    // goes back whole with the Advanced Parameters dialog's "Set": never as an empty value
    // that would erase the device's own. (The simulated device refuses a command line that
    // long and keeps its value; a tool that wrote it back empty would have erased it.)
    void aRegistrationContentLongerThanABlockIsNeverWrittenBackEmpty() {
        Program p;
        const std::string content(2480, 'R');
        p.device->SetValue("ENROL", content);
        QTimer::singleShot(0, &p.dialog, [&] {
            p.Item<QPushButton>(main_dialog::kOpenClose)->click();
            QTRY_COMPARE(p.dialog.state().advanced.registerData.size(), content.size());
            p.Item<QPushButton>(main_dialog::kLogin)->click();
            QTRY_VERIFY(p.dialog.state().loggedIn);
            const auto set = test::AnswerNextModal([](QWidget* modal) {
                qobject_cast<CDialog*>(modal)->Item<QPushButton>(advanced_dialog::kSet)->click();
            });
            p.Item<QPushButton>(main_dialog::kAdvParam)->click();
            QTRY_VERIFY(p.dialog.state().infoLog.find("+ERROR:LINE TOO LONG") != std::string::npos);
            p.dialog.done(CDialog::IDCANCEL);
        });
        QCOMPARE(p.Run(), CDialog::IDCANCEL);
        QCOMPARE(p.device->Value("ENROL"), std::optional(content));
        std::lock_guard lock(p.mutex);
        QVERIFY(p.received.find("QK+HEARTIME=") != std::string::npos);  // the Set went out
        QVERIFY(p.received.find("QK+ENROL=") == std::string::npos);     // not refused short
    }

    // A file chosen by mistake in Load Profile… (a megabyte of something else, a device log)
    // brings one box, which fits the screen with its OK button on it.
    void aWrongFileInLoadProfileBringsOneBoxThatFitsTheScreen() {
        QTemporaryDir folder;
        const QString large = folder.filePath(QStringLiteral("capture.bin"));
        const QString log = folder.filePath(QStringLiteral("device.log"));
        QByteArray lines;
        for (int i = 0; lines.size() < 47 * 1024; ++i) {
            lines += "+DATA:" + QByteArray::number(i) + " " + QByteArray(200, 'y') + "\r\n";
        }
        for (const auto& [path, bytes] :
             {std::pair{large, QByteArray(1 << 20, 'x')}, std::pair{log, lines}}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        }
        QMessageBoxPresenter messages(QStringLiteral("QK4410ConfTool"));
        test::ScriptedFileChooser files;
        CConfigToolDlg dialog(PortDirectory{}, messages, files);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (const QString& path : {large, log}) {
            int boxes = 0;
            QString fits;
            const auto answer = test::AnswerNextModal([&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                QVERIFY(box != nullptr && QTest::qWaitForWindowExposed(box));
                ++boxes;
                QAbstractButton* ok = box->button(QMessageBox::Ok);
                const QRect screen = box->screen()->availableGeometry();
                fits = QString::number(screen.contains(box->frameGeometry())) +
                       QString::number(
                           screen.contains(QRect(ok->mapToGlobal(QPoint(0, 0)), ok->size())));
                ok->click();
            });
            files.answers << path;
            dialog.OnSysCommand(SystemMenu::kLoadProfileCommand);
            QCOMPARE(boxes, 1);
            QCOMPARE(fits, QStringLiteral("11"));
        }
    }
};

QTEST_MAIN(WindowSystemTest)
#include "WindowSystemTest.moc"
