#pragma once

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

namespace qk::test {

// Geometry checks shared by the window layout tests: templates drawn for SimSun must stay
// readable and inside their frames with the fonts this platform has.

inline QGroupBox* GroupBox(QWidget& window, const QString& title) {
    for (auto* box : window.findChildren<QGroupBox*>()) {
        if (box->title() == title) {
            return box;
        }
    }
    return nullptr;
}

// A label without an ID, by its caption.
inline QLabel* Label(QWidget& window, const QString& text) {
    for (auto* label : window.findChildren<QLabel*>()) {
        if (label->text() == text && label->objectName().startsWith(QStringLiteral("static"))) {
            return label;
        }
    }
    return nullptr;
}

// Whether the label shows all of `text`: on one line, or wrapped into lines that all fit.
inline bool ShowsWhole(const QLabel& label, const QString& text) {
    const QFontMetrics metrics(label.font());
    if (!label.wordWrap()) {
        return metrics.horizontalAdvance(text) <= label.contentsRect().width();
    }
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (metrics.horizontalAdvance(word) > label.width()) {
            return false;
        }
    }
    const QRect needed =
        metrics.boundingRect(QRect(0, 0, label.width(), 10000), Qt::TextWordWrap, text);
    return needed.height() <= label.height();
}

}  // namespace qk::test
