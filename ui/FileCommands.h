#pragma once

#include <QCoreApplication>
#include <QStringList>

#include "DeviceState.h"
#include "DeviceView.h"
#include "FileChooser.h"
#include "MessagePresenter.h"

class QWidget;

namespace qk::ui {

// The main window's file items: the record as a profile, a profile into the record, and
// the information log as received. None of them talks to the device: a loaded profile
// only fills the window, and the operator sends it with Set Param. and Adv Param. as
// usual.
//
// A profile is checked whole by the rules qk4410-cli apply uses; a file with any problem
// changes nothing, and the operator sees every problem at once. Files are written whole or
// not at all.
//
// It does not decide when it may run: the window refuses it while a command sequence
// holds the record.
class FileCommands {
    Q_DECLARE_TR_FUNCTIONS(FileCommands)

  public:
    FileCommands(QWidget& owner, DeviceState& state, DeviceView& view, FileChooser& files,
                 MessagePresenter& messages);

    void SaveProfile();
    void LoadProfile();
    void SaveLog();

  private:
    static QString ProfileFilter();
    bool Write(const QString& path, std::string_view bytes);
    void Tell(const QString& text, const QStringList& details);
    // A name for a file of this device: its ID, as far as a file name takes it.
    QString SuggestedName(const QString& suffix) const;

    QWidget& m_owner;
    DeviceState& m_state;
    DeviceView& m_view;
    FileChooser& m_files;
    MessagePresenter& m_messages;
};

}  // namespace qk::ui
