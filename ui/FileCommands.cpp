#include "FileCommands.h"

#include <chrono>

#include "CoreText.h"
#include "GbkText.h"
#include "Profile.h"
#include "RecordProfile.h"
#include "RecordSettings.h"
#include "WholeFile.h"

namespace qk::ui {
namespace {

// A screenful: a box that lists a whole wrong file would be taller than the screen, its
// OK button out of reach, and would take seconds to lay out.
constexpr int kShownProblems = 15;
constexpr qsizetype kShownProblemLength = 120;

QStringList Lines(const std::vector<std::string>& problems) {
    QStringList lines;
    for (const std::string& problem : problems) {
        if (lines.size() == kShownProblems) {
            const auto more = problems.size() - static_cast<std::size_t>(kShownProblems);
            lines << (more == 1 ? FileCommands::tr("… and 1 more problem")
                                : FileCommands::tr("… and %1 more problems").arg(more));
            break;
        }
        QString line = CoreText::Translate(QString::fromStdString(problem));
        if (line.size() > kShownProblemLength) {
            line = line.left(kShownProblemLength - 1) + u'…';
        }
        lines << line;
    }
    return lines;
}

}  // namespace

QString FileCommands::ProfileFilter() {
    return tr("Profiles (*.profile);;All files (*)");
}

FileCommands::FileCommands(QWidget& owner, DeviceState& state, DeviceView& view, FileChooser& files,
                           MessagePresenter& messages)
    : m_owner(owner), m_state(state), m_view(view), m_files(files), m_messages(messages) {}

void FileCommands::SaveProfile() {
    // What the operator sees when asking, typed edits included; answers that arrive while
    // the file dialog is up do not slip in.
    m_view.UpdateState();
    const std::string text = ProfileOfRecord(m_state, std::chrono::system_clock::now());
    const QString path = m_files.ChooseFileToSave(
        &m_owner, tr("Save Profile"), SuggestedName(QStringLiteral(".profile")), ProfileFilter());
    if (path.isEmpty() || !Write(path, text)) {
        return;
    }
    // A port left empty or a registration content the device made too long is saved as
    // the window holds it, but the operator should not learn only at loading time that
    // the file will be refused.
    if (const auto problems = ReadProfile(text).ProblemsFor(m_state.reported); !problems.empty()) {
        Tell(
            tr("%1 was saved, but Load Profile and qk4410-cli apply refuse it as it is:").arg(path),
            Lines(problems));
    }
}

void FileCommands::LoadProfile() {
    const QString path = m_files.ChooseFileToOpen(&m_owner, tr("Load Profile"), ProfileFilter());
    if (path.isEmpty()) {
        return;
    }
    QString error;
    const auto text = ReadWholeFile(path, error, static_cast<qint64>(kMaxProfileBytes));
    if (!text) {
        Tell(tr("Cannot read %1").arg(path), {error});
        return;
    }
    if (text->size() > kMaxProfileBytes) {
        Tell(tr("Nothing was loaded from %1, which is larger than any profile (more than %2 "
                "bytes).")
                 .arg(path)
                 .arg(kMaxProfileBytes),
             {});
        return;
    }
    const ProfileContents profile = ReadProfile(*text);
    // A value beyond what one may type is taken only where this device reported exactly it.
    if (const auto problems = profile.ProblemsFor(m_state.reported); !problems.empty()) {
        Tell(tr("Nothing was loaded from %1, which has these problems:").arg(path),
             Lines(problems));
        return;
    }
    // What the operator typed or chose and the profile does not name stays, as it would
    // for Set Param.
    m_view.UpdateState();
    StoreSettings(profile.settings, m_state);
    m_view.UpdateControls();
    m_view.SelectDeviceBaud(m_state.deviceBaudIndex);
    m_view.SelectProtocol(m_state.protocolIndex);
}

void FileCommands::SaveLog() {
    const QString path =
        m_files.ChooseFileToSave(&m_owner, tr("Save Log"), SuggestedName(QStringLiteral(".log")),
                                 tr("Logs (*.log);;All files (*)"));
    if (!path.isEmpty()) {
        Write(path, m_state.infoLog);
    }
}

bool FileCommands::Write(const QString& path, std::string_view bytes) {
    QString error;
    if (!WriteWholeFile(path, bytes, error)) {
        Tell(tr("Cannot write %1").arg(path), {error});
        return false;
    }
    return true;
}

void FileCommands::Tell(const QString& text, const QStringList& details) {
    m_messages.Present(&m_owner, {text, details.join(u'\n'), Message::Icon::None});
}

QString FileCommands::SuggestedName(const QString& suffix) const {
    QString stem;
    for (const QChar c : FromGbk(m_state.deviceId)) {
        if (c.isLetterOrNumber() || c == u'-' || c == u'_' || (c == u'.' && !stem.isEmpty())) {
            stem += c;
        }
    }
    return (stem.isEmpty() ? QStringLiteral("device") : stem) + suffix;
}

}  // namespace qk::ui
