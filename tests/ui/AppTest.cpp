#include <QTest>
#include <set>

#include "AppOptionTable.h"
#include "AppOptions.h"
#include "CConfigToolApp.h"
#include "ShellPlatform.h"
#include "SystemMenu.h"
#include "Translations.h"

using namespace qk;
using namespace qk::ui;

class AppTest : public QObject {
    Q_OBJECT
  private slots:
    // Each case: the arguments, " > ", then the action, the number of pins, "demo", the
    // port to open at start and the language asked for when they parse, else the start of
    // the message.
    void parsesTheCommandLine() {
        for (const QString row :
             {" > run 0", "--help --version > version 0",
              "--com 3=/dev/ttyUSB0 --com=4=/dev/pts/7 > run 2",
              "--com --demo > --com: expected N=PATH", "--demo --com 2=/dev/x > run 1 demo",
              "--demo --com 1=/dev/x > --demo", "--demo --bogus=1 > unknown argument '--bogus'",
              "--demo=yes > Unexpected value", "--com 2= > --com:",
              "--com 2=/a --com 2=/b > --com: COM2 is given two paths, '/a' and '/b'",
              "/dev/ttyUSB0 > unknown argument", "--com 5 > run 0 open 5",
              "--com 5 --com 3=/dev/x --com=5 > run 1 open 5",
              "--com 15 > --com: '15' is not a port number (1 to 14)",
              "--com 3 --com 4 > --com: only one port can be opened at start",
              "--lang zh_CN > run 0 zh", "--lang=zh_CN --lang en > run 0 en",
              "--lang zh > --lang: 'zh' is not a language of this program (en, zh_CN)",
              "--com 2 --lang > --lang needs a value"}) {
            const QStringList arguments = row.section(" > ", 0, 0).split(u' ', Qt::SkipEmptyParts);
            const QString outcome = row.section(" > ", 1);
            QString message;
            const auto options = AppOptions::Parse(arguments, message);
            QString got = message;
            if (options) {
                static constexpr std::array actions = {"run", "help", "version"};
                const auto language = options->language;
                got = QStringLiteral("%1 %2%3%4%5")
                          .arg(actions.at(int(options->action)))
                          .arg(options->pins.size())
                          .arg(options->demo ? " demo" : "")
                          .arg(options->openAtStart != 0
                                   ? QStringLiteral(" open %1").arg(options->openAtStart)
                                   : QString())
                          .arg(!language                             ? ""
                               : *language == res::Language::Chinese ? " zh"
                                                                     : " en");
            }
            QVERIFY2(options ? got == outcome : got.startsWith(outcome),
                     qPrintable(row + ": " + got));
        }
    }

    // The table the bash completion is generated from is the one the window parses with:
    // every option is taken and named by --help, and every language the completion offers
    // is one --lang takes, each a different one.
    void theCompletedOptionsAreTheOnesTheWindowTakes() {
        const QString help = HelpText();
        for (const tools::OptionSpec& spec : AppOptionTable()) {
            if (spec.id == kAppDemo && DemoHelpText().isEmpty()) {
                continue;  // taken on Windows only to be refused with a reason
            }
            const QString name = QStringLiteral("--") + QString::fromLatin1(spec.longName);
            QVERIFY2(help.contains(name + (spec.takesValue() ? " " : "")), qPrintable(name));
            if (spec.shortName != '\0') {
                QVERIFY(help.contains(QStringLiteral("-%1,").arg(spec.shortName)));
            }
        }
        std::set<res::Language> languages;
        for (const QString& word :
             QString::fromLatin1(AppOption(kAppLang).words).split(u' ', Qt::SkipEmptyParts)) {
            QString error;
            const auto options = AppOptions::Parse({"--lang=" + word}, error);
            QVERIFY2(options && options->language, qPrintable(word + ": " + error));
            languages.insert(*options->language);
        }
        QCOMPARE(languages, (std::set{res::Language::English, res::Language::Chinese}));
    }

    // The program's name, which captions its message boxes, and the locale that picks the
    // windows' language: LC_ALL, LC_MESSAGES, LANG, the first one set and not empty, unless
    // --lang asks for one.
    void nameAndLanguageComeFromTheEnvironmentOrTheCommandLine() {
        for (const QString path : {"/usr/bin/QK4410ConfTool", "C:\\Tools\\QK4410ConfTool.EXE"}) {
            QCOMPARE(CConfigToolApp::ApplicationNameFromPath(path),
                     QStringLiteral("QK4410ConfTool"));
        }
        using enum res::Language;
        // LC_ALL, LC_MESSAGES, LANG, the locale that counts, its language; then with --lang en
        // and --lang zh_CN the windows speak that, whatever the locale.
        for (const QList<QByteArray>& values :
             {QList<QByteArray>{"zh_CN", "en_US", "en_GB", "zh_CN", "zh"},
              {"", "zh_TW", "en_US", "zh_TW", "zh"},
              {"", "", "en_US.UTF-8", "en_US.UTF-8", "en"},
              {"C.UTF-8", "", "zh_CN.UTF-8", "C.UTF-8", "en"},
              {"", "", "", "", "en"}}) {
            const auto getenv = [&](const char* name) -> const char* {
                const auto at = QList<QByteArray>{"LC_ALL", "LC_MESSAGES", "LANG"}.indexOf(name);
                return values[at].isEmpty() ? nullptr : values[at].constData();
            };
            QCOMPARE(QString::fromStdString(LocaleName(getenv)), QString(values[3]));
            QCOMPARE(ChooseLanguage(std::nullopt, getenv) == Chinese, values[4] == "zh");
            QCOMPARE(ChooseLanguage(English, getenv), English);
            QCOMPARE(ChooseLanguage(Chinese, getenv), Chinese);
        }
    }
};

QTEST_MAIN(AppTest)
#include "AppTest.moc"
