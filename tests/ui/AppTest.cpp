#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include "AppOptions.h"
#include "CConfigToolApp.h"
#include "SystemMenu.h"
#include "UiPacer.h"

using namespace qk;
using namespace qk::ui;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(std::vector<std::string>)

class AppTest : public QObject {
    Q_OBJECT
  private slots:
    void parsesTheCommandLine_data() {
        QTest::addColumn<std::vector<std::string>>("arguments");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("pins");
        QTest::addColumn<bool>("demo");
        QTest::addColumn<QString>("error");
        using A = AppOptions::Action;
        QTest::newRow("nothing") << std::vector<std::string>{} << true << int(A::Run) << 0 << false
                                 << QString();
        QTest::newRow("help") << std::vector<std::string>{"--help"} << true << int(A::Help) << 0
                              << false << QString();
        QTest::newRow("version") << std::vector<std::string>{"--version"} << true << int(A::Version)
                                 << 0 << false << QString();
        QTest::newRow("two pins") << std::vector<std::string>{"--com", "3=/dev/ttyUSB0",
                                                              "--com=4=/dev/pts/7"}
                                  << true << int(A::Run) << 2 << false << QString();
        QTest::newRow("demo") << std::vector<std::string>{"--demo", "--com", "2=/dev/x"} << true
                              << int(A::Run) << 1 << true << QString();
        QTest::newRow("demo takes COM1") << std::vector<std::string>{"--demo", "--com", "1=/dev/x"}
                                         << false << 0 << 0 << false << QStringLiteral("--demo");
        QTest::newRow("unknown") << std::vector<std::string>{"--bogus"} << false << 0 << 0 << false
                                 << QStringLiteral("unknown argument '--bogus'");
        QTest::newRow("com without value") << std::vector<std::string>{"--com"} << false << 0 << 0
                                           << false << QStringLiteral("--com needs a value");
        QTest::newRow("com 15") << std::vector<std::string>{"--com", "15=/dev/x"} << false << 0 << 0
                                << false << QStringLiteral("--com:");
        QTest::newRow("com without path") << std::vector<std::string>{"--com", "2="} << false << 0
                                          << 0 << false << QStringLiteral("--com:");
        QTest::newRow("com without =") << std::vector<std::string>{"--com", "3"} << false << 0 << 0
                                       << false << QStringLiteral("--com: expected N=PATH");
        QTest::newRow("com 0") << std::vector<std::string>{"--com=0=/x"} << false << 0 << 0
                               << false << QStringLiteral("--com: '0' is not a port number");
        QTest::newRow("com twice") << std::vector<std::string>{"--com", "2=/a", "--com", "2=/b"}
                                   << false << 0 << 0 << false
                                   << QStringLiteral("--com: COM2 is given two paths, '/a' and '/b'");
        QTest::newRow("positional") << std::vector<std::string>{"/dev/ttyUSB0"} << false << 0 << 0
                                    << false << QStringLiteral("unknown argument '/dev/ttyUSB0'");
    }
    void parsesTheCommandLine() {
        QFETCH(std::vector<std::string>, arguments);
        QFETCH(bool, ok);
        QFETCH(int, action);
        QFETCH(int, pins);
        QFETCH(bool, demo);
        QFETCH(QString, error);
        std::string message;
        const auto options = AppOptions::Parse(arguments, message);
        QCOMPARE(options.has_value(), ok);
        if (!ok) {
            QVERIFY2(QString::fromStdString(message).startsWith(error), message.c_str());
            return;
        }
        QCOMPARE(int(options->action), action);
        QCOMPARE(int(options->pins.size()), pins);
        QCOMPARE(options->demo, demo);
    }

    void applicationNameIsTheExecutablesBaseName_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("installed") << "/usr/bin/QK4410ConfTool"
                                   << "QK4410ConfTool";
        QTest::newRow("windows") << "C:\\Tools\\QK4410ConfTool.EXE"
                                 << "QK4410ConfTool";
        QTest::newRow("relative") << "./build/ui/QK4410ConfTool"
                                  << "QK4410ConfTool";
        QTest::newRow("renamed") << "/opt/qk/conftool.bin"
                                 << "conftool";
        QTest::newRow("bare") << "QK4410ConfTool"
                              << "QK4410ConfTool";
    }
    void applicationNameIsTheExecutablesBaseName() {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(CConfigToolApp::ApplicationNameFromPath(path), name);
    }

    void localeComesFromTheFirstSetVariable_data() {
        QTest::addColumn<QString>("lcAll");
        QTest::addColumn<QString>("lcMessages");
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("locale");
        QTest::newRow("LC_ALL wins") << "zh_CN.UTF-8"
                                     << "en_US.UTF-8"
                                     << "en_GB.UTF-8"
                                     << "zh_CN.UTF-8";
        QTest::newRow("empty LC_ALL skipped") << ""
                                              << "zh_TW"
                                              << "en_US"
                                              << "zh_TW";
        QTest::newRow("LANG last") << ""
                                   << ""
                                   << "en_US.UTF-8"
                                   << "en_US.UTF-8";
        QTest::newRow("none") << ""
                              << ""
                              << ""
                              << "";
    }
    void localeComesFromTheFirstSetVariable() {
        QFETCH(QString, lcAll);
        QFETCH(QString, lcMessages);
        QFETCH(QString, lang);
        QFETCH(QString, locale);
        const QByteArray values[] = {lcAll.toLatin1(), lcMessages.toLatin1(), lang.toLatin1()};
        const auto getenv = [&](const char* name) -> const char* {
            const int i = QByteArray(name) == "LC_ALL"        ? 0
                          : QByteArray(name) == "LC_MESSAGES" ? 1
                                                              : 2;
            return values[i].isEmpty() ? nullptr : values[i].constData();
        };
        QCOMPARE(QString::fromStdString(SystemMenu::LocaleName(getenv)), locale);
    }

    void pacerWaitsWhileTheEventLoopRuns() {
        UiPacer pacer;
        bool ranDuringPause = false;
        bool pausingSeen = false;
        QMetaObject::invokeMethod(
            this,
            [&] {
                ranDuringPause = true;
                pausingSeen = pacer.IsPausing();
            },
            Qt::QueuedConnection);
        QElapsedTimer clock;
        clock.start();
        pacer.Pause(30ms);
        QVERIFY(clock.elapsed() >= 30);
        QVERIFY(ranDuringPause);
        QVERIFY(pausingSeen);
        QVERIFY(!pacer.IsPausing());
    }

    void pacerOffTheWindowThreadSleeps() {
        UiPacer pacer;
        bool pausing = true;
        qint64 elapsed = 0;
        QThread* worker = QThread::create([&] {
            QElapsedTimer clock;
            clock.start();
            pacer.Pause(20ms);
            elapsed = clock.elapsed();
            pausing = pacer.IsPausing();
        });
        worker->start();
        QVERIFY(worker->wait(5000));
        delete worker;
        QVERIFY(elapsed >= 20);
        QVERIFY(!pausing);
    }
};

QTEST_MAIN(AppTest)
#include "AppTest.moc"
