// Renders the main window after a short session with the simulated device (open, which
// reads all parameters, then log in) into a PNG, for the documentation; with a second file
// name, also the Advanced Parameters dialog opened from that window ("Adv Param.").
// Usage: qk4410-screenshot MAIN.png [ADVANCED.png]
//   (runs offscreen unless QT_QPA_PLATFORM says otherwise)
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "CConfigToolDlg.h"
#include "ControlIds.h"
#include "ControlSet.h"
#include "MessagePresenter.h"
#include "SimulatedDevice.h"

namespace {

using qk::ui::CConfigToolDlg;
namespace main_dialog = qk::res::main_dialog;

// Any message would mean the session went wrong: print it instead of showing a box.
class PrintingPresenter final : public qk::ui::MessagePresenter {
  public:
    void Present(QWidget*, const qk::ui::Message& message) override {
        std::fprintf(stderr, "message: %s %s\n", qPrintable(message.text),
                     qPrintable(message.detail));
        failed = true;
    }
    bool failed = false;
};

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Presses "Adv Param.", saves the dialog once it is up and cancels it.
bool GrabAdvancedDialog(CConfigToolDlg& window, const QString& path) {
    bool grabbed = false;
    bool saved = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<qk::ui::CDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || dialog == &window || !dialog->isVisible()) {
            return;
        }
        poll.stop();
        grabbed = true;
        QCoreApplication::processEvents();
        saved = dialog->grab().save(path, "PNG");
        dialog->reject();
    });
    poll.start(20);
    // Gives up if the dialog never shows: a stuck modal loop is ended from the outside.
    QTimer::singleShot(10000, &window, [&] {
        if (auto* modal = QApplication::activeModalWidget(); modal != nullptr && modal != &window) {
            modal->close();
        }
    });
    window.findChild<QPushButton*>(qk::ui::ControlObjectName(main_dialog::kAdvParam, 0))->click();
    if (!grabbed) {
        std::fprintf(stderr, "the Advanced Parameters dialog did not open\n");
    } else if (!saved) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    }
    return grabbed && saved;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s MAIN.png [ADVANCED.png]\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QK4410ConfTool"));

    qk::sim::SimulatedDevice device;
    qk::PortDirectory ports;
    ports.Pin(1, device.slavePath());
    PrintingPresenter messages;
    CConfigToolDlg window(std::move(ports), messages);
    window.show();

    auto* loginLabel =
        window.findChild<QLabel*>(qk::ui::ControlObjectName(main_dialog::kLoginLabel, 0));
    window.findChild<QPushButton*>(qk::ui::ControlObjectName(main_dialog::kOpenClose, 0))->click();
    const bool opened = WaitUntil(
        [&] {
            return !window.statusBar()->GetText(2).isEmpty() &&
                   window.state().advanced.registerData.size() > 0;
        },
        10000);
    window.findChild<QPushButton*>(qk::ui::ControlObjectName(main_dialog::kLogin, 0))->click();
    const bool loggedIn =
        WaitUntil([&] { return loginLabel->text() == QStringLiteral("Login"); }, 5000);
    if (!opened || !loggedIn || messages.failed) {
        std::fprintf(stderr, "the session with the simulated device did not complete\n");
        return 1;
    }
    QCoreApplication::processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    if (argc == 3 && !GrabAdvancedDialog(window, QString::fromLocal8Bit(argv[2]))) {
        return 1;
    }
    window.done(CConfigToolDlg::IDCANCEL);
    return 0;
}
