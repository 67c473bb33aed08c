#pragma once

#include <QMessageBox>
#include <memory>

#include "MessagePresenter.h"

namespace qk::ui {

// Shows messages in real QMessageBoxes: the program's name as caption, one OK button, no
// icon for plain messages and the warning icon for warnings, owned by (and modal to) the
// given window.
class QMessageBoxPresenter final : public MessagePresenter {
  public:
    explicit QMessageBoxPresenter(QString caption) : m_caption(std::move(caption)) {}

    void Present(QWidget* owner, const Message& message) override;

    // The box Present shows, not yet shown.
    std::unique_ptr<QMessageBox> MakeBox(QWidget* owner, const Message& message) const;

    const QString& caption() const { return m_caption; }

  private:
    QString m_caption;
};

}  // namespace qk::ui
