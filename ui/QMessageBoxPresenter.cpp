#include "QMessageBoxPresenter.h"

#include <QLabel>

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
    if (message.font) {
        // QMessageBox wraps a text wider than half the screen; a preformatted block keeps
        // each line whole and widens the box instead. Not <pre>, whose own font ("Courier
        // New") may resolve to another face than the one asked for.
        if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
            label->setFont(*message.font);
            box->setTextFormat(Qt::RichText);
            box->setText(QStringLiteral("<div style=\"white-space:pre\">%1</div>")
                             .arg(message.text.toHtmlEscaped()));
        }
    }
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
    if (!message.detail.isEmpty()) {
        box->setInformativeText(message.detail);
    }
    return box;
}

}  // namespace qk::ui
