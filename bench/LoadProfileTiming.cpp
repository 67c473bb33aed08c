// How long Load Profile… holds the main window, from the file chosen to the window free
// again, for a profile and for files chosen by mistake: a device log (a problem on every
// line), a file of junk just under the largest profile read, and a 1 MB file. Where the
// window says what is wrong, the real message box is built, shown and painted before the
// clock stops, since laying out a long box was most of the cost; its size is reported
// beside the screen's.
//
//   load_profile_timing [--runs N]
//
// Runs offscreen unless QT_QPA_PLATFORM says otherwise (bench/run uses xcb under Xvfb).
// Prints "result:" lines; a file that loads when it should not, or the reverse, fails the
// program.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "CConfigToolDlg.h"
#include "FileChooser.h"
#include "Measure.h"
#include "Profile.h"
#include "QMessageBoxPresenter.h"

namespace {

using qk::bench::Now;
using qk::bench::Percentile;
using qk::bench::PrintResult;

// The file dialog, answered at once with the file of the case being timed.
struct Chooser final : qk::ui::FileChooser {
    QString ChooseFileToSave(QWidget*, const QString&, const QString&, const QString&) override {
        return path;
    }
    QString ChooseFileToOpen(QWidget*, const QString&, const QString&) override { return path; }
    QString path;
};

// Builds the program's own box, shows and paints it, and takes it down again at once, as
// if OK were pressed the moment it was drawn.
struct ShowingPresenter final : qk::ui::MessagePresenter {
    void Present(QWidget* owner, const qk::ui::Message& message) override {
        const auto box = real.MakeBox(owner, message);
        box->show();
        box->repaint();
        QApplication::processEvents();
        boxes.push_back(box->frameGeometry().size());
    }
    qk::ui::QMessageBoxPresenter real{QStringLiteral("QK4410ConfTool")};
    std::vector<QSize> boxes;
};

struct Case {
    const char* name;
    QByteArray bytes;
    bool loads;
};

std::vector<Case> Cases() {
    QByteArray log;
    for (int i = 0; log.size() < 47 * 1024; ++i) {
        log += "+DATA:" + QByteArray::number(i) + " " + QByteArray(200, 'y') + "\r\n";
    }
    QByteArray junk;
    while (junk.size() + 30 < static_cast<qsizetype>(qk::kMaxProfileBytes)) {
        junk += "not a setting, line of junk\n";
    }
    return {
        {"profile", "destAddress=10.0.0.1\ndestPort=5000\nprotocol=UDP\nheartbeat=45s\n", true},
        {"log_47KB", log, false},
        {"junk_64KB", junk, false},
        {"binary_1MB", QByteArray(1 << 20, '\xA5'), false},
    };
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--runs") {
            runs = std::atoi(argv[i + 1]);
        }
    }
    if (runs < 1) {
        std::fprintf(stderr, "usage: load_profile_timing [--runs N>=1]\n");
        return 1;
    }
    QApplication application(argc, argv);
    QTemporaryDir folder;
    ShowingPresenter messages;
    Chooser files;
    qk::ui::CConfigToolDlg window(qk::PortDirectory{}, messages, files);
    window.show();
    QApplication::processEvents();
    const QSize screen = window.screen()->availableGeometry().size();
    PrintResult("load.screen_height_px", screen.height());
    for (const Case& c : Cases()) {
        files.path = folder.filePath(QString::fromLatin1(c.name));
        QFile file(files.path);
        if (!file.open(QIODevice::WriteOnly) || file.write(c.bytes) != c.bytes.size()) {
            std::fprintf(stderr, "load_profile_timing: cannot write %s\n", qPrintable(files.path));
            return 1;
        }
        file.close();
        std::vector<double> ms;
        for (int run = 0; run < runs; ++run) {
            messages.boxes.clear();
            const double start = Now();
            window.OnSysCommand(qk::ui::SystemMenu::kLoadProfileCommand);
            ms.push_back((Now() - start) * 1000);
            if (messages.boxes.empty() != c.loads || messages.boxes.size() > 1) {
                std::fprintf(stderr, "load_profile_timing: %s %s\n", c.name,
                             c.loads ? "was refused" : "did not give one message");
                return 2;
            }
        }
        const std::string name = std::string("load.") + c.name;
        PrintResult(name + ".p50_ms", Percentile(ms, 50));
        PrintResult(name + ".max_ms", Percentile(ms, 100));
        if (!c.loads) {
            PrintResult(name + ".box_height_px", messages.boxes.front().height());
        }
    }
    return 0;
}
