// The main window's file items: Save Profile, Load Profile and Save Log, with the file
// dialogs answered from a script and a simulated device on COM1.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "Profile.h"
#include "RecordSettings.h"
#include "SimulatedDevice.h"
#include "UiTestSupport.h"

using namespace qk;
using namespace qk::ui;
using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

const QString kProfileFilter = QStringLiteral("Profiles (*.profile);;All files (*)");

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool Put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The settings a record holds, as a profile without comments.
QString Settings(const DeviceState& state) {
    return QString::fromStdString(WriteProfile(SettingsFromRecord(state), {}));
}

// The device comes first: the window it is pinned into needs its path.
struct Device {
    sim::SimulatedDevice device;
};

struct Window : Device, test::MainWindow {
    Window() : MainWindow(test::Pinned({{1, device.slavePath()}})) {}
    // Opens the port and waits until every parameter has been read.
    bool OpenAndRead() {
        Button(main_dialog::kOpenClose)->click();
        const std::string last = "+ENROL:" + *device.Value("ENROL") + "\r\n";
        return QTest::qWaitFor([&] { return dialog.state().infoLog.ends_with(last); });
    }
    // The destination edits and the two TCP/IP lists.
    QStringList Shown() {
        return {Edit(main_dialog::kDestAddress)->text(), Edit(main_dialog::kDestPort)->text(),
                List(main_dialog::kDeviceBaudList)->currentText(),
                List(main_dialog::kProtocolList)->currentText()};
    }
};

}  // namespace

class FileItemsTest : public QObject {
    Q_OBJECT
  private slots:
    // What the window shows, an edit typed and not yet sent included, goes into the file
    // with the device's ID for a comment and a name; a file that loading would refuse is
    // saved all the same, and the operator told.
    void saveProfileWritesWhatTheWindowShows() {
        for (const bool open : {true, false}) {  // after Open, and with nothing read
            // The file's name and its text after the first line, without the time of saving.
            const QString name = open ? "站07.profile" : "device.profile";
            const QString text =
                "# QK4410 profile, format 1\n" +
                QString(
                    open ? "# device ID: 站07\ndeviceBaud=115200\ndestAddress=站点.example\n"
                           "destPort=6001\nprotocol=UDP\nworkType=0\nheartbeat=30s\n"
                           "heartbeatData=心跳\\xFF\\\\\ndnsServer=114.114.114.114\ndataBits=8\n"
                           "parity=N\nregisterEnable=0\nregisterData=QK4520-000123\n"
                         : "destAddress=\ndestPort=\nheartbeatData=\ndnsServer=\nregisterData=\n");
            QTemporaryDir folder;
            Window w;
            QVERIFY(w.Activate());
            if (open) {
                // Bytes a profile must escape: one that is no GBK, and the escape itself.
                w.device.SetValue("ID", ToGbk(QStringLiteral("站")) + "07");
                w.device.SetValue("HEARTDAT", ToGbk(QStringLiteral("心跳")) + "\xFF\\");
                QVERIFY(w.OpenAndRead());
                test::Retype(w.Edit(main_dialog::kDestAddress), QStringLiteral("站点.example"));
                test::Retype(w.Edit(main_dialog::kDestPort), QStringLiteral("6001"));
                test::Pick(w.List(main_dialog::kDeviceBaudList), 11);
                test::Pick(w.List(main_dialog::kProtocolList), 1);
            }
            const QString path = folder.filePath(name);
            w.files.answers << path;
            w.Edit(main_dialog::kDestAddress)
                ->setFocus();  // Ctrl+S works on the window, not only in the open menu
            QTest::keySequence(w.Edit(main_dialog::kDestAddress),
                               QKeySequence(Qt::CTRL | Qt::Key_S));

            QStringList saved = QString::fromUtf8(Contents(path)).split(u'\n');
            const auto time =
                QRegularExpression(QStringLiteral(R"(^# saved: [-\d]{10} [:\d]{8} UTC$)"));
            QVERIFY2(
                saved.removeIf([&](const QString& l) { return time.match(l).hasMatch(); }) == 1,
                qPrintable(saved.join(u'\n')));
            QCOMPARE(saved.join(u'\n'), text);
            QCOMPARE(w.files.requests.at(0), (QStringList{"Save Profile", name, kProfileFilter}));
            QCOMPARE(w.files.owners.at(0), &w.dialog);
            QCOMPARE(w.messages.texts(),
                     open ? QStringList{}
                          : QStringList{path + " was saved, but Load Profile and qk4410-cli "
                                               "apply refuse it as it is:"});
            QCOMPARE(w.messages.entries.empty() ? QString() : w.messages.entries[0].message.detail,
                     open ? ""
                          : "line 4: destPort must be a port from 1 to 65535, got '', and the "
                            "device does not hold that value");
            QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{name});
        }
    }

    // A good file fills the edits, the two lists and the Advanced record, keeps what it does
    // not name, and sends nothing; Adv Param. then shows the loaded values.
    void loadProfileFillsTheWindowAndSendsNothing() {
        QTemporaryDir folder;
        Window w;
        QVERIFY(w.OpenAndRead());
        test::Retype(w.Edit(main_dialog::kLoginKey), QStringLiteral("111111"));
        const QByteArray settings =
            "deviceBaud=115200\ndestAddress=站点.example\ndestPort=7001\nprotocol=UDP\n"
            "workType=1\nheartbeat=60s\nheartbeatData=心跳\\xFF\ndnsServer=8.8.8.8\n"
            "dataBits=7\nparity=E\nregisterEnable=1\nregisterData=泵房07\n";
        const QString path = folder.filePath(QStringLiteral("site.profile"));
        QVERIFY(Put(path, "# QK4410 profile, format 1\r\n" +
                              QByteArray(settings).replace("\n", "\r\n").replace("UDP", "udp")));
        const auto before = w.device.ReceivedCommands();
        w.Run(SystemMenu::kLoadProfileCommand, path);

        QCOMPARE(w.messages.texts(), QStringList{});
        QCOMPARE(w.files.requests.at(0), (QStringList{"Load Profile", "", kProfileFilter}));
        QCOMPARE(w.Shown(), (QStringList{"站点.example", "7001", "115200", "UDP"}));
        QCOMPARE(w.Edit(main_dialog::kLoginKey)->text(), QStringLiteral("111111"));
        QCOMPARE(Settings(w.dialog.state()), "# QK4410 profile, format 1\n" + settings);
        QStringList advanced;
        w.RunAdvanced([&](CDialog& d) {
            advanced << d.Item<CComboBox>(advanced_dialog::kHeartbeatList)->currentText()
                     << d.Item<GbkLineEdit>(advanced_dialog::kRegistContent)->text();
        });
        QCOMPARE(advanced, (QStringList{"60s", "泵房07"}));

        // Get Param.'s queries mark the line: anything the load had sent would be before them.
        w.Button(main_dialog::kGetParam)->click();
        QVERIFY(w.device.WaitUntil(
            [](const sim::DeviceModel& m) {
                return std::ranges::count(m.ReceivedCommands(), "QK+ENROL?\r\n"s) == 2;
            },
            5s));
        const auto after = w.device.ReceivedCommands();
        QVERIFY(std::all_of(after.begin() + static_cast<std::ptrdiff_t>(before.size()), after.end(),
                            [](const std::string& c) { return c.ends_with("?\r\n"); }));
    }

    // A file with any problem, or one that cannot be read, changes nothing in the window:
    // not the record, not what the controls show, not an edit typed and not yet taken.
    void aWrongFileChangesNothing() {
        QTemporaryDir folder;
        const QString wrong = folder.filePath(QStringLiteral("wrong.profile"));
        QVERIFY(Put(wrong, "destAddress=new.example\ndestPort=0\nprotocol=SCTP\ndestAddress=b\n"));
        Window w;
        QVERIFY(w.Activate());
        w.dialog.HandleReceivedBlock("+PIPADD:old.example\r\n+PPORT:5000\r\n+PROTOCOL:TCP\r\n");
        test::Retype(w.Edit(main_dialog::kDestAddress), QStringLiteral("typed.example"));
        const QString settings = Settings(w.dialog.state());
        // Problems, a missing file, a folder, and a cancelled dialog.
        const QStringList files = {wrong, folder.filePath("missing.profile"), folder.path(), ""};
        for (const QString& path : files) {
            w.files.answers << path;
            QTest::keySequence(w.Edit(main_dialog::kDestAddress),
                               QKeySequence(Qt::CTRL | Qt::Key_O));
            QCOMPARE(w.Shown(), (QStringList{"typed.example", "5000", "", "TCP"}));
            QCOMPARE(Settings(w.dialog.state()), settings);
        }
        QCOMPARE(w.files.requests.value(3).value(0), QStringLiteral("Load Profile"));
        QCOMPARE(w.messages.texts(),
                 (QStringList{"Nothing was loaded from " + wrong + ", which has these problems:",
                              "Cannot read " + files[1], "Cannot read " + files[2]}));
        QCOMPARE(w.messages.entries[0].message.detail,
                 "line 2: destPort must be a port from 1 to 65535, got '0', and the device does "
                 "not hold that value\n"
                 "line 3: protocol must be one of TCP, UDP, got 'SCTP', and the device does not "
                 "hold that value\n"
                 "line 4: destAddress given again (first on line 1)");
        // The system's reason.
        QVERIFY(!w.messages.entries[1].message.detail.isEmpty() &&
                !w.messages.entries[2].message.detail.isEmpty());
    }

    // Some other file chosen by mistake: one larger than any profile is refused in one line
    // without being read through; a log, which has a problem on every line, shows a
    // screenful of them and how many more there are. Neither changes the window.
    void aLargeOrLongWrongFileIsRefusedInOneBoundedMessage() {
        QTemporaryDir folder;
        const QString large = folder.filePath(QStringLiteral("capture.bin"));
        const QString log = folder.filePath(QStringLiteral("device.log"));
        QVERIFY(Put(large, QByteArray(1 << 20, 'x')));
        QByteArray lines;
        for (int i = 0; lines.size() < 47 * 1024; ++i) {
            lines += "+DATA:" + QByteArray::number(i) + " " + QByteArray(200, 'y') + "\r\n";
        }
        QVERIFY(Put(log, lines));
        Window w;
        w.dialog.HandleReceivedBlock("+PIPADD:old.example\r\n+PPORT:5000\r\n");
        const QString settings = Settings(w.dialog.state());
        w.Run(SystemMenu::kLoadProfileCommand, large);
        w.Run(SystemMenu::kLoadProfileCommand, log);
        QCOMPARE(Settings(w.dialog.state()), settings);
        QCOMPARE(w.messages.texts(),
                 (QStringList{"Nothing was loaded from " + large +
                                  ", which is larger than any profile (more than 65536 bytes).",
                              "Nothing was loaded from " + log + ", which has these problems:"}));
        QCOMPARE(w.messages.entries[0].message.detail, QString());
        const QStringList shown = w.messages.entries[1].message.detail.split(u'\n');
        QCOMPARE(shown.size(), 16);
        QVERIFY(shown.first().startsWith(
            QStringLiteral("line 1: expected NAME=VALUE, got '+DATA:0 y")));
        QCOMPARE(shown.last(),
                 QStringLiteral("… and %1 more problems").arg(lines.count('\n') - 15));
        QVERIFY(std::ranges::all_of(shown, [](const QString& line) { return line.size() <= 120; }));
    }

    // The log as the device sent it, byte for byte, over a longer file of the same name.
    void saveLogWritesTheLogByteForByte() {
        QTemporaryDir folder;
        Window w;
        const std::string id = "+ID:" + ToGbk(QStringLiteral("站")) + "07\r\n";
        const std::string rest = "+PIPADD:\x81\x20\xFF\r\nzero\0byte\x07\rlone CR\n"s +
                                 ToGbk(QStringLiteral("心跳")) + "\xD5";  // cut after a lead byte
        w.dialog.HandleReceivedBlock(id);
        for (std::size_t at = 0; at < rest.size(); at += 7) {
            w.dialog.HandleReceivedBlock(rest.substr(at, 7));
        }
        const QString path = folder.filePath(QStringLiteral("站07.log"));
        QVERIFY(Put(path, QByteArray(100, 'x')));
        w.Run(SystemMenu::kSaveLogCommand, path);

        QCOMPARE(Contents(path), QByteArray::fromStdString(id + rest));
        QCOMPARE(w.files.requests.at(0),
                 (QStringList{"Save Log", "站07.log", "Logs (*.log);;All files (*)"}));
        QCOMPARE(w.messages.texts(), QStringList{});

        // A file that cannot be written whole is not written at all, and the operator told.
        w.Run(SystemMenu::kSaveLogCommand, folder.path());
        QCOMPARE(w.messages.texts(), QStringList{"Cannot write " + folder.path()});
        QVERIFY(!w.messages.entries.at(0).message.detail.isEmpty());
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"站07.log"});
    }
};

QTEST_MAIN(FileItemsTest)
#include "FileItemsTest.moc"
