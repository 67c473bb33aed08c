#pragma once

#include <QString>

class QWidget;

namespace qk::ui {

// Asks the operator for a file to write or to read, in a modal dialog owned by `owner`.
// `filter` is in QFileDialog's form ("Profiles (*.profile);;All files (*)"). An empty
// result means the operator cancelled. The windows get one injected: the program shows
// the standard file dialogs, tests answer from a script.
//
// It only names a file; it neither opens nor creates one.
class FileChooser {
  public:
    virtual ~FileChooser() = default;
    // `suggestedName` is a bare file name the dialog starts with.
    virtual QString ChooseFileToSave(QWidget* owner, const QString& caption,
                                     const QString& suggestedName, const QString& filter) = 0;
    virtual QString ChooseFileToOpen(QWidget* owner, const QString& caption,
                                     const QString& filter) = 0;
};

}  // namespace qk::ui
