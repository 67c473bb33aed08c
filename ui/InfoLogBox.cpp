#include "InfoLogBox.h"

#include <QEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <memory>

namespace qk::ui {

InfoLogBox::InfoLogBox(QWidget* parent) : QPlainTextEdit(parent) {
    // Opaque, so that repainting the box or its scroll bar does not repaint the group box
    // behind it as well.
    setAutoFillBackground(true);
    m_frame.setSingleShot(true);
    m_frame.setInterval(kFrame);
    connect(&m_frame, &QTimer::timeout, this, &InfoLogBox::OnFrameEnd);
    connect(document(), &QTextDocument::contentsChanged, this, &InfoLogBox::OnContentsChanged);
    SkipNeedlessShaping();
}

void InfoLogBox::SkipNeedlessShaping() {
    // Device text is Latin and Chinese, which need no shaping to be legible; leaving out
    // kerning and ligatures makes laying out and drawing each line markedly cheaper.
    // Scripts that do need shaping still get it.
    QFont font = document()->defaultFont();
    font.setStyleStrategy(QFont::PreferNoShaping);
    document()->setDefaultFont(font);
}

QString InfoLogBox::LogText() const {
    return Join(toPlainText(), 0, document()->characterCount() - 1);
}

void InfoLogBox::SetFrameInterval(std::chrono::milliseconds interval) {
    m_frame.setInterval(interval);
}

void InfoLogBox::OnContentsChanged() {
    if (m_frame.interval() == 0) {
        return;
    }
    if (!m_frame.isActive()) {
        m_frame.start();  // shows now, and opens a frame
    } else if (updatesEnabled()) {
        setUpdatesEnabled(false);
    }
}

void InfoLogBox::OnFrameEnd() {
    if (!updatesEnabled()) {
        setUpdatesEnabled(true);  // repaints the whole box
        m_frame.start();
    }
}

void InfoLogBox::changeEvent(QEvent* event) {
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        SkipNeedlessShaping();  // the base class has just set the document's font afresh
    }
}

QMimeData* InfoLogBox::createMimeDataFromSelection() const {
    std::unique_ptr<QMimeData> data(QPlainTextEdit::createMimeDataFromSelection());
    const QTextCursor selection = textCursor();
    const QString joined = Join(data->text(), selection.selectionStart(), selection.selectionEnd());
    if (joined.size() == data->text().size()) {
        return data.release();
    }
    // Rich-text copies would still hold the breaks: hand out the plain text only.
    auto* plain = new QMimeData;
    plain->setText(joined);
    return plain;
}

QString InfoLogBox::Join(QString plain, int from, int to) const {
    // Walk back from the end so that removing a break does not move the ones still to do.
    QTextBlock block = document()->findBlock(to);
    for (; block.isValid() && block.position() > from; block = block.previous()) {
        const int lineBreak = block.position() - 1;
        if (block.userState() == kContinuation && lineBreak < to) {
            plain.remove(lineBreak - from, 1);
        }
    }
    return plain;
}

}  // namespace qk::ui
