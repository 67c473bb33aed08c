#include "QMessageBoxPresenter.h"

namespace qk::ui {

void QMessageBoxPresenter::Present(QWidget* owner, const Message& message) {
    MakeBox(owner, message)->exec();
}

std::unique_ptr<QMessageBox> QMessageBoxPresenter::MakeBox(QWidget* owner,
                                                           const Message& message) const {
    const auto icon =
        message.icon == Message::Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon;
    auto box = std::make_unique<QMessageBox>(icon, m_caption, message.text, QMessageBox::Ok, owner);
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
    if (!message.detail.isEmpty()) {
        box->setInformativeText(message.detail);
    }
    return box;
}

}  // namespace qk::ui
