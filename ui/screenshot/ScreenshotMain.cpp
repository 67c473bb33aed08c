// Renders the windows after a short session with the simulated device, for the
// documentation, into DIR: the main window after open (which reads all parameters) and log
// in (main-window), the Advanced Parameters dialog opened from it (advanced-parameters),
// Find Device's progress once the port is closed again (find-device) and the message box
// that reports what it found (message-box). With --lang zh_CN the windows speak Chinese and
// each name gets ".zh_CN" before ".png".
// Usage: qk4410-screenshot [--lang en|zh_CN] DIR
//   (runs offscreen unless QT_QPA_PLATFORM says otherwise)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <functional>

#include "CConfigToolDlg.h"
#include "ControlIds.h"
#include "ControlSet.h"
#include "MessagePresenter.h"
#include "QMessageBoxPresenter.h"
#include "SimulatedDevice.h"
#include "Translations.h"

namespace {

using qk::ui::CConfigToolDlg;
namespace main_dialog = qk::res::main_dialog;

// Saves the first message box it is asked for while armed and goes on as if the operator
// had read it; any other message means the session went wrong and is printed.
class GrabbingPresenter final : public qk::ui::MessagePresenter {
  public:
    explicit GrabbingPresenter(QString caption) : m_boxes(std::move(caption)) {}

    void Present(QWidget* owner, const qk::ui::Message& message) override {
        if (armedPath.isEmpty()) {
            std::fprintf(stderr, "message: %s %s\n", qPrintable(message.text),
                         qPrintable(message.detail));
            failed = true;
            return;
        }
        const auto box = m_boxes.MakeBox(owner, message);
        box->show();
        QCoreApplication::processEvents();
        saved = box->grab().save(armedPath, "PNG");
        armedPath.clear();
    }

    QString armedPath;
    bool saved = false;
    bool failed = false;

  private:
    qk::ui::QMessageBoxPresenter m_boxes;
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

bool Save(QWidget& widget, const QString& path) {
    QCoreApplication::processEvents();
    if (!widget.grab().save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
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
        saved = Save(*dialog, path);
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
    }
    return grabbed && saved;
}

// Closes the port, starts Find Device, saves its progress while the search runs and the
// message that reports the device it found.
bool GrabFindDevice(CConfigToolDlg& window, GrabbingPresenter& messages,
                    const QString& progressPath, const QString& messagePath) {
    window.findChild<QPushButton*>(qk::ui::ControlObjectName(main_dialog::kOpenClose, 0))->click();
    messages.armedPath = messagePath;
    window.OnSysCommand(qk::ui::SystemMenu::kFindDeviceCommand);
    // Once the port without a device has failed and the one with it is being tried.
    const QPointer<QProgressDialog> progress = window.deviceFinder().progress();
    const QString waiting = QCoreApplication::translate("qk::ui::DeviceFinder", "waiting");
    const bool searching =
        WaitUntil(
            [&] {
                return progress == nullptr ||
                       (progress->value() > 1 && !progress->labelText().contains(waiting));
            },
            10000) &&
        progress != nullptr;
    if (!searching || !Save(*progress, progressPath)) {
        std::fprintf(stderr, "Find Device's progress did not show\n");
        return false;
    }
    if (!WaitUntil([&] { return messages.armedPath.isEmpty(); }, 30000) || !messages.saved) {
        std::fprintf(stderr, "Find Device did not report\n");
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<qk::res::Language> language;
    int first = 1;
    if (argc == 4 && std::strcmp(argv[1], "--lang") == 0) {
        language = std::strcmp(argv[2], "zh_CN") == 0 ? qk::res::Language::Chinese
                                                      : qk::res::Language::English;
        first = 3;
    }
    if (argc != first + 1) {
        std::fprintf(stderr, "usage: %s [--lang en|zh_CN] DIR\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QK4410ConfTool"));
    const bool chinese = language == qk::res::Language::Chinese;
    const qk::ui::Translations translations(chinese ? qk::res::Language::Chinese
                                                    : qk::res::Language::English);
    const QDir out(QString::fromLocal8Bit(argv[first]));
    const auto path = [&](const char* name) {
        return out.filePath(QString::fromLatin1(name) + (chinese ? ".zh_CN.png" : ".png"));
    };

    qk::sim::SimulatedDevice device;
    qk::PortDirectory ports;
    ports.Pin(1, device.slavePath());
    ports.Pin(2, "/nonexistent/ttyUSB1");
    GrabbingPresenter messages(QStringLiteral("QK4410ConfTool"));
    CConfigToolDlg window(std::move(ports), messages);
    window.show();

    auto* loginLabel =
        window.findChild<QLabel*>(qk::ui::ControlObjectName(main_dialog::kLoginLabel, 0));
    const QString loginText = loginLabel->text();
    window.findChild<QPushButton*>(qk::ui::ControlObjectName(main_dialog::kOpenClose, 0))->click();
    const bool opened = WaitUntil(
        [&] {
            return !window.statusBar()->GetText(2).isEmpty() &&
                   window.state().advanced.registerData.size() > 0;
        },
        10000);
    window.findChild<QPushButton*>(qk::ui::ControlObjectName(main_dialog::kLogin, 0))->click();
    const bool loggedIn = WaitUntil([&] { return window.state().loggedIn; }, 5000);
    if (!opened || !loggedIn || messages.failed || loginLabel->text() == loginText) {
        std::fprintf(stderr, "the session with the simulated device did not complete\n");
        return 1;
    }
    const bool done = Save(window, path("main-window")) &&
                      GrabAdvancedDialog(window, path("advanced-parameters")) &&
                      GrabFindDevice(window, messages, path("find-device"), path("message-box"));
    window.done(CConfigToolDlg::IDCANCEL);
    return done && !messages.failed ? 0 : 1;
}
