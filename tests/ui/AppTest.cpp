#include <QElapsedTimer>
#include <QTest>

#include "AppOptions.h"
#include "CConfigToolApp.h"
#include "SystemMenu.h"
#include "UiPacer.h"

using namespace qk;
using namespace qk::ui;
using namespace std::chrono_literals;

class AppTest : public QObject {
    Q_OBJECT
  private slots:
    // `outcome`: the action, the number of pins and "demo" when it parses; else the start of
    // the message.
    void parsesTheCommandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("nothing") << QStringList{} << "run 0";
        QTest::newRow("-h") << QStringList{"-h"} << "help 0";
        QTest::newRow("last of help and version")
            << QStringList{"--help", "--version"} << "version 0";
        QTest::newRow("both value styles")
            << QStringList{"--com", "3=/dev/ttyUSB0", "--com=4=/dev/pts/7"} << "run 2";
        QTest::newRow("value that looks like an option")
            << QStringList{"--com", "--demo"} << "--com: expected N=PATH";
        QTest::newRow("demo") << QStringList{"--demo", "--com", "2=/dev/x"} << "run 1 demo";
        QTest::newRow("demo takes COM1") << QStringList{"--demo", "--com", "1=/dev/x"} << "--demo";
        QTest::newRow("unknown after a good one")
            << QStringList{"--demo", "--bogus=1"} << "unknown argument '--bogus'";
        QTest::newRow("value for a switch") << QStringList{"--demo=yes"} << "Unexpected value";
        QTest::newRow("com without path") << QStringList{"--com", "2="} << "--com:";
        QTest::newRow("com 0") << QStringList{"--com=0=/x"} << "--com: '0' is not a port number";
        QTest::newRow("com twice") << QStringList{"--com", "2=/a", "--com", "2=/b"}
                                   << "--com: COM2 is given two paths, '/a' and '/b'";
        QTest::newRow("positional")
            << QStringList{"/dev/ttyUSB0"} << "unknown argument '/dev/ttyUSB0'";
    }
    void parsesTheCommandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, outcome);
        QString message;
        const auto options = AppOptions::Parse(arguments, message);
        QString got = message;
        if (options) {
            static constexpr std::array actions = {"run", "help", "version"};
            got = QStringLiteral("%1 %2%3")
                      .arg(actions.at(int(options->action)))
                      .arg(options->pins.size())
                      .arg(options->demo ? " demo" : "");
        }
        QVERIFY2(options ? got == outcome : got.startsWith(outcome), qPrintable(got));
    }

    void applicationNameIsTheExecutablesBaseName() {
        for (const QString path : {"/usr/bin/QK4410ConfTool", "C:\\Tools\\QK4410ConfTool.EXE"}) {
            QCOMPARE(CConfigToolApp::ApplicationNameFromPath(path),
                     QStringLiteral("QK4410ConfTool"));
        }
        QCOMPARE(CConfigToolApp::ApplicationNameFromPath("/opt/qk/conftool.bin"), "conftool");
    }

    // LC_ALL, LC_MESSAGES, LANG: the first one set and not empty.
    void localeComesFromTheFirstSetVariable() {
        const QList<QList<QByteArray>> cases = {
            {"zh_CN.UTF-8", "en_US.UTF-8", "en_GB.UTF-8", "zh_CN.UTF-8"},
            {"", "zh_TW", "en_US", "zh_TW"},
            {"", "", "en_US.UTF-8", "en_US.UTF-8"},
            {"", "", "", ""}};
        for (const QList<QByteArray>& values : cases) {
            const auto getenv = [&](const char* name) -> const char* {
                const auto at = QList<QByteArray>{"LC_ALL", "LC_MESSAGES", "LANG"}.indexOf(name);
                return values.value(at).isEmpty() ? nullptr : values[at].constData();
            };
            QCOMPARE(QString::fromStdString(SystemMenu::LocaleName(getenv)), QString(values[3]));
        }
    }

    void pacerWaitsWhileTheEventLoopRuns() {
        UiPacer pacer;
        bool pausingSeen = false;
        QMetaObject::invokeMethod(
            this, [&] { pausingSeen = pacer.IsPausing(); }, Qt::QueuedConnection);
        QElapsedTimer clock;
        clock.start();
        pacer.Pause(30ms);
        QVERIFY(clock.elapsed() >= 30);
        QVERIFY(pausingSeen);  // ran during the pause
        QVERIFY(!pacer.IsPausing());
    }
};

QTEST_MAIN(AppTest)
#include "AppTest.moc"
