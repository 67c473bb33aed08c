#include "AppOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include "AppOptionTable.h"
#include "GbkText.h"
#include "Line.h"
#include "ShellPlatform.h"
#include "VersionInfo.h"

namespace qk::ui {
namespace {

constexpr int kDemoPort = 1;

QString Dotted(const std::array<int, 4>& version) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(version[0])
        .arg(version[1])
        .arg(version[2])
        .arg(version[3]);
}

QCommandLineOption QtOption(const tools::OptionSpec& spec) {
    QStringList names{QString::fromLatin1(spec.longName)};
    if (spec.shortName != '\0') {
        names.prepend(QString(QLatin1Char(spec.shortName)));
    }
    return spec.takesValue() ? QCommandLineOption(names, {}, QString::fromLatin1(spec.valueName))
                             : QCommandLineOption(names);
}

// The names --lang takes, which the bash completion offers too (AppOptionTable).
std::optional<res::Language> LanguageNamed(const QString& name) {
    if (name == QStringLiteral("en")) {
        return res::Language::English;
    }
    if (name == QStringLiteral("zh_CN")) {
        return res::Language::Chinese;
    }
    return std::nullopt;
}

}  // namespace

std::optional<AppOptions> AppOptions::Parse(const QStringList& arguments, QString& error) {
    QCommandLineParser parser;
    for (const tools::OptionSpec& spec : AppOptionTable()) {
        parser.addOption(QtOption(spec));
    }
    const QCommandLineOption help = QtOption(AppOption(kAppHelp));
    const QCommandLineOption version = QtOption(AppOption(kAppVersion));
    const QCommandLineOption demo = QtOption(AppOption(kAppDemo));
    const QCommandLineOption com = QtOption(AppOption(kAppCom));
    const QCommandLineOption lang = QtOption(AppOption(kAppLang));
    const QCommandLineOption journal = QtOption(AppOption(kAppJournal));
    const QCommandLineOption noJournal = QtOption(AppOption(kAppNoJournal));
    const QString languages = QString::fromLatin1(AppOption(kAppLang).words);
    if (!parser.parse(QStringList{QStringLiteral("QK4410ConfTool")} + arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString& name = unknown.front();
            error = QStringLiteral("unknown argument '%1%2' (see --help)")
                        .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name);
        } else if (arguments.last() == QStringLiteral("--journal")) {
            error = QStringLiteral("--journal needs a file");
        } else if (arguments.last() == QStringLiteral("--com")) {
            error = QStringLiteral("--com needs a value N=PATH (for example --com 3=/dev/ttyUSB0)");
        } else if (arguments.last() == QStringLiteral("--lang")) {
            error = QStringLiteral("--lang needs a value: ") +
                    QString(languages).replace(u' ', QStringLiteral(" or "));
        } else {
            error = parser.errorText();  // a value given to an option that takes none
        }
        return std::nullopt;
    }
    if (const QStringList extra = parser.positionalArguments(); !extra.isEmpty()) {
        error = QStringLiteral("unknown argument '%1' (see --help)").arg(extra.front());
        return std::nullopt;
    }
    AppOptions options;
    for (const QString& name : parser.optionNames()) {  // the last of the two counts
        if (help.names().contains(name)) {
            options.action = Action::Help;
        } else if (version.names().contains(name)) {
            options.action = Action::Version;
        }
    }
    options.demo = parser.isSet(demo);
    if (parser.isSet(journal) && parser.isSet(noJournal)) {
        error = QStringLiteral("--journal and --no-journal: give one");
        return std::nullopt;
    }
    if (parser.isSet(journal)) {
        if (parser.value(journal).isEmpty()) {
            error = QStringLiteral("--journal needs a file");
            return std::nullopt;
        }
        options.journal = {.enabled = true,
                           .file = QFile::encodeName(parser.value(journal)).toStdString()};
    }
    if (parser.isSet(noJournal)) {
        options.journal.enabled = false;
    }
    if (parser.isSet(lang)) {
        const QString value = parser.value(lang);  // the last one counts
        options.language = LanguageNamed(value);
        if (!options.language) {
            error = QStringLiteral("--lang: '%1' is not a language of this program (%2)")
                        .arg(value, QString(languages).replace(u' ', QStringLiteral(", ")));
            return std::nullopt;
        }
    }
    for (const QString& value : parser.values(com)) {
        bool isNumber = false;
        if (const int number = value.toInt(&isNumber); isNumber) {
            if (number < PortDirectory::kFirstPort || number > PortDirectory::kLastPort) {
                error = QStringLiteral("--com: '%1' is not a port number (%2 to %3)")
                            .arg(value)
                            .arg(PortDirectory::kFirstPort)
                            .arg(PortDirectory::kLastPort);
                return std::nullopt;
            }
            if (options.openAtStart != 0 && options.openAtStart != number) {
                error = QStringLiteral(
                            "--com: only one port can be opened at start, not COM%1 "
                            "and COM%2")
                            .arg(options.openAtStart)
                            .arg(number);
                return std::nullopt;
            }
            options.openAtStart = number;
            continue;
        }
        std::string pinError;
        const auto pin = PortDirectory::ParsePin(QFile::encodeName(value).toStdString(), pinError);
        if (pin) {
            pinError = PortPathProblem(pin->path);
        }
        if (!pinError.empty()) {
            error = QStringLiteral("--com: ") + QFile::decodeName(pinError.c_str());
            return std::nullopt;
        }
        options.pins.push_back(*pin);
    }
    if (const std::string twice = PortDirectory::ConflictingPins(options.pins); !twice.empty()) {
        error = QStringLiteral("--com: ") + QFile::decodeName(twice.c_str());
        return std::nullopt;
    }
    if (options.demo) {
        for (const auto& pin : options.pins) {
            if (pin.number == kDemoPort) {
                error = QStringLiteral(
                    "--demo puts the simulated device on COM1; --com 1=... cannot be used with it");
                return std::nullopt;
            }
        }
    }
    return options;
}

QString HelpText() {
    // English on the terminal, where --help is answered before any catalogue is loaded; in
    // the window's language when F1 shows it.
    const QString demo = DemoHelpText();
    // Only where this build reaches them.
    const QString network =
        NetworkPortsMissing().empty()
            ? QCoreApplication::translate(
                  "AppOptions",
                  "                PATH may be a port served over the network, as ser2net\n"
                  "                serves it: rfc2217://HOST:PORT, whose server sets its line\n"
                  "                as the window's lists say, or tcp://HOST:PORT, raw TCP, at\n"
                  "                the server's own settings.\n")
            : QString();
    return QCoreApplication::translate(
               "AppOptions",
               "Usage: QK4410ConfTool [--com N=PATH]... [--com N] [--lang LANG]%1\n"
               "                      [--journal FILE | --no-journal]\n"
               "       QK4410ConfTool --help | --version\n"
               "\n"
               "Configures a QK4410/QK4520 network data terminal over a serial port.\n"
               "\n"
               "  --com N=PATH  make COM N (1 to 14) stand for the serial device PATH, for\n"
               "                example --com 3=/dev/ttyUSB0; may be given more than once.\n"
               "                Without it, COM1, COM2, ... are the serial ports found at start:\n"
               "                USB and ACM adapters first, then built-in ports; adapters\n"
               "                plugged in later take the free numbers. On Windows COMn is\n"
               "                the system's COMn.\n"
               "%3"
               "  --com N       select COM N and open it once the window shows, as the Open\n"
               "                button does (which also reads the device's parameters).\n"
               "  --journal FILE  record Set Param. and Adv Param.'s Set in FILE; by default\n"
               "                $XDG_STATE_HOME/qk4410/journal.sqlite (~/.local/state/...).\n"
               "                A change the journal cannot record is not sent.\n"
               "  --no-journal  record nothing.\n"
               "  --lang LANG   the window's language, en or zh_CN. Without it, the language\n"
               "                of LC_ALL, LC_MESSAGES or LANG (the first one set): zh... is\n"
               "                Chinese, anything else English.\n"
               "%2"
               "  -h, --help    show this text.\n"
               "  --version     show the version.\n"
               "\n"
               "Qt's own settings are taken from its environment variables, for example\n"
               "QT_QPA_PLATFORM=offscreen or QT_SCALE_FACTOR=1.5.")
        .arg(demo.isEmpty() ? QString() : QStringLiteral(" [--demo]"), demo, network);
}

QString VersionText() {
    QString text = FromGbk(res::kAboutNameLine).trimmed() + u'\n';
    text += QStringLiteral("File version %1, product version %2\n")
                .arg(Dotted(res::kFileVersion), Dotted(res::kProductVersion));
    for (const auto& [key, value] : res::kVersionStrings) {
        if (!value.empty()) {
            text += FromGbk(key) + QStringLiteral(": ") + FromGbk(value) + u'\n';
        }
    }
    return text;
}

}  // namespace qk::ui
