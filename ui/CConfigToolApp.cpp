#include "CConfigToolApp.h"

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "AppIcon.h"
#include "AppOptions.h"
#include "CConfigToolDlg.h"
#include "PortDirectory.h"
#include "QFileDialogChooser.h"
#include "QMessageBoxPresenter.h"
#include "ShellPlatform.h"
#include "Translations.h"

namespace qk::ui {
namespace {

constexpr int kDemoPort = 1;
constexpr const char* kDesktopFileName = "org.example.QK4410ConfTool";

void Print(std::FILE* stream, const QString& text) {
    ConnectToConsole();
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    if (!text.endsWith(u'\n')) {
        std::fputc('\n', stream);
    }
}

bool HasEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// With QK_REPORT_FIRST_PAINT set, prints "QK_FIRST_PAINT <ns>" on standard error once the
// main window's first paint is done, <ns> being the monotonic clock: the start-up
// benchmark (bench/StartupProbe) takes the time from the program's start to this line.
class FirstPaintReport final : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // Runs after the whole window has been painted and handed to the display.
            QTimer::singleShot(0, [] {
                const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                    std::chrono::steady_clock::now().time_since_epoch());
                std::fprintf(stderr, "QK_FIRST_PAINT %lld\n", static_cast<long long>(now.count()));
            });
        }
        return false;
    }
};

}  // namespace

int CConfigToolApp::Run() {
    const QString name =
        ApplicationNameFromPath(QString::fromLocal8Bit(m_argc > 0 ? m_argv[0] : "QK4410ConfTool"));
    QStringList arguments;
    for (int i = 1; i < m_argc; ++i) {
        arguments << QString::fromLocal8Bit(m_argv[i]);
    }
    QString error;
    const auto options = AppOptions::Parse(arguments, error);
    if (!options) {
        Print(stderr, name + QStringLiteral(": ") + error);
        return 1;
    }
    if (options->action == AppOptions::Action::Help) {
        Print(stdout, HelpText());
        return 0;
    }
    if (options->action == AppOptions::Action::Version) {
        Print(stdout, VersionText());
        return 0;
    }
    if (const QString missing = MissingDisplayReason(); !missing.isEmpty()) {
        Print(stderr, name + QStringLiteral(": ") + missing);
        return 1;
    }

    QApplication application(m_argc, m_argv);
    QApplication::setApplicationName(name);
    QApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
    QApplication::setWindowIcon(AppIcon());
    // The main window's modal run is the program's only loop; its end ends the program,
    // so the application is not asked to quit behind it when the last window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    const Translations translations(
        ChooseLanguage(options->language, [](const char* name) { return std::getenv(name); }));

    std::unique_ptr<DemoDevice> device;
    // Before the ports are listed, so no change slips between.
    const std::unique_ptr<PortWatcher> portWatcher = MakeSystemPortWatcher();
    PortDirectory ports = PortDirectory::Discover();
    for (const auto& pin : options->pins) {
        ports.Pin(pin.number, pin.path);
    }
    if (options->demo) {
        device = StartDemoDevice(error);
        if (!device) {
            Print(stderr, name + QStringLiteral(": ") + error);
            return 1;
        }
        ports.Pin(kDemoPort, device->PortPath());
    }

    QMessageBoxPresenter messages(name);
    QFileDialogChooser files;
    FirstPaintReport firstPaint;
    {
        CConfigToolDlg window(std::move(ports), messages, files, *portWatcher);
        window.UseJournal(options->journal);
        if (HasEnvironment("QK_REPORT_FIRST_PAINT")) {
            window.installEventFilter(&firstPaint);
        }
        if (const int port = options->openAtStart; port != 0) {
            // Once the window shows, as if the operator had picked the port and pressed Open.
            QTimer::singleShot(0, &window, [&window, port] { window.OpenPort(port); });
        }
        window.DoModal();
    }
    return 0;
}

QString CConfigToolApp::ApplicationNameFromPath(const QString& path) {
    const qsizetype slash = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    QString file = path.mid(slash + 1);
    const qsizetype dot = file.lastIndexOf(u'.');
    if (dot > 0) {
        file.truncate(dot);
    }
    return file;
}

}  // namespace qk::ui
