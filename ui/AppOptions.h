#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "DeviceChanges.h"
#include "PortDirectory.h"
#include "StringTable.h"

namespace qk::ui {

// The program's command line, read by QCommandLineParser: a value follows its option as
// the next argument or after "=". Qt's own options are not taken here: they are read before
// a display is needed, so --help and --version work anywhere; Qt's settings come through
// its environment variables (QT_QPA_PLATFORM, QT_SCALE_FACTOR, ...).
struct AppOptions {
    enum class Action { Run, Help, Version };

    Action action = Action::Run;
    std::vector<PortDirectory::Entry> pins;  // --com N=PATH, in order
    bool demo = false;                       // --demo: a simulated device on COM1
    int openAtStart = 0;                     // --com N: COM N opened once the window shows
    JournalChoice journal;                   // --journal FILE, --no-journal
    std::optional<res::Language> language;   // --lang en|zh_CN; else the locale's

    // `arguments` without the program's name. nullopt and `error` set when they are not
    // understood.
    static std::optional<AppOptions> Parse(const QStringList& arguments, QString& error);
};

// The --help text (also what F1 shows in the window).
QString HelpText();
// The --version text: the About box's name and version, then the version data.
QString VersionText();

}  // namespace qk::ui
