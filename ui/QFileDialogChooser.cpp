#include "QFileDialogChooser.h"

#include <QFileDialog>

namespace qk::ui {

QString QFileDialogChooser::ChooseFileToSave(QWidget* owner, const QString& caption,
                                             const QString& suggestedName,
                                             const QString& filter) {
    return QFileDialog::getSaveFileName(owner, caption, suggestedName, filter);
}

QString QFileDialogChooser::ChooseFileToOpen(QWidget* owner, const QString& caption,
                                             const QString& filter) {
    return QFileDialog::getOpenFileName(owner, caption, {}, filter);
}

}  // namespace qk::ui
