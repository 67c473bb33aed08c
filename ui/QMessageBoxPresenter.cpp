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
        // each line whole and widens the box instead. The block names the font's family:
        // unnamed, it takes the platform's fixed font, which may not be the one given.
        if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
            label->setFont(*message.font);
            box->setTextFormat(Qt::RichText);
            box->setText(QStringLiteral("<pre style=\"font-family: '%1'\">%2</pre>")
                             .arg(message.font->family(), message.text.toHtmlEscaped()));
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
