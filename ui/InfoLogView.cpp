#include "InfoLogView.h"

#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <string_view>

namespace qk::ui {

InfoLogView::InfoLogView(QPlainTextEdit& box) : m_box(box) {}

void InfoLogView::Show(const std::string& infoLog) {
    if (!StillShows(infoLog)) {
        StartOver();
    }
    if (infoLog.size() == m_shown) {
        return;
    }
    const QString added = m_decoder.Decode(std::string_view(infoLog).substr(m_shown));
    if (!added.isEmpty()) {
        QTextCursor end(m_box.document());
        end.movePosition(QTextCursor::End);
        end.insertText(added);
    }
    m_shown = infoLog.size();
    const std::size_t tail = std::min(m_shown, kTailCheck);
    m_tail.assign(infoLog, m_shown - tail, tail);
}

void InfoLogView::ScrollToEnd() {
    QScrollBar* bar = m_box.verticalScrollBar();
    bar->setValue(bar->maximum());
}

void InfoLogView::StartOver() {
    m_box.clear();
    m_decoder.Reset();
    m_shown = 0;
    m_tail.clear();
}

bool InfoLogView::StillShows(const std::string& infoLog) const {
    return infoLog.size() >= m_shown &&
           infoLog.compare(m_shown - m_tail.size(), m_tail.size(), m_tail) == 0;
}

}  // namespace qk::ui
