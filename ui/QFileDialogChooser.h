#pragma once

#include "FileChooser.h"

namespace qk::ui {

// The standard file dialogs; a suggested name starts in the working directory.
class QFileDialogChooser final : public FileChooser {
  public:
    QString ChooseFileToSave(QWidget* owner, const QString& caption, const QString& suggestedName,
                             const QString& filter) override;
    QString ChooseFileToOpen(QWidget* owner, const QString& caption,
                             const QString& filter) override;
};

}  // namespace qk::ui
