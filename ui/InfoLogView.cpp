#include "InfoLogView.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <string_view>
#include <utility>

namespace qk::ui {

InfoLogView::InfoLogView(InfoLogBox& box) : m_box(box) {
    m_box.SetCatchUp([this] { CatchUp(); });
}

InfoLogView::~InfoLogView() {
    m_box.SetCatchUp({});
}

void InfoLogView::Show(const std::string& infoLog) {
    if (!StillShows(infoLog)) {
        StartOver();
    }
    if (infoLog.size() == m_shown) {
        return;
    }
    m_held += m_decoder.Decode(std::string_view(infoLog).substr(m_shown));
    m_shown = infoLog.size();
    const std::size_t tail = std::min(m_shown, kTailCheck);
    m_tail.assign(infoLog, m_shown - tail, tail);
    if (!m_box.InFrame()) {
        CatchUp();
    }
}

void InfoLogView::CatchUp() {
    if (m_held.isEmpty()) {
        return;
    }
    // Taken out first: the append can ask for the selection, which calls this again.
    QString text = std::exchange(m_held, QString());
    const bool scroll = std::exchange(m_scrollWhenCaughtUp, false);
    // A scroll by more than the box shows repaints all of it anyway, but the box would
    // first lay out every line between the old top and the new one to work out by how
    // much to move the picture; with its updates off it just takes the new top line. The
    // lines skipped are laid out when they come into view, as any the box never showed.
    QWidget& viewport = *m_box.viewport();
    const int linesShown = viewport.height() / std::max(1, m_box.fontMetrics().lineSpacing());
    const bool jump = scroll && viewport.updatesEnabled() && text.count(u'\n') > linesShown;
    m_box.ChangeTogether([&] {
        if (jump) {
            viewport.setUpdatesEnabled(false);
        }
        Append(std::move(text));
        if (scroll) {
            ScrollToEnd();
        }
        if (jump) {
            viewport.setUpdatesEnabled(true);  // repaints it whole
        }
    });
}

void InfoLogView::Append(QString lines) {
    // A line end becomes a line separator, except the piece's last one and those that end
    // a paragraph already half the longest; they close the paragraph.
    const qsizetype lastLineEnd = lines.lastIndexOf(u'\n');
    QTextDocument& document = *m_box.document();
    QTextCursor end(&document);
    // Inside the edit block, placing the cursor lays nothing out.
    end.beginEditBlock();
    end.setPosition(document.characterCount() - 1);
    qsizetype runStart = 0;
    for (qsizetype at = 0; at < lines.size(); ++at) {
        if (lines[at] == u'\n') {
            if (at == lastLineEnd || m_paragraphLength >= kLongestParagraph / 2) {
                m_paragraphLength = 0;
                continue;
            }
            lines[at] = QChar::LineSeparator;
        } else if (m_paragraphLength >= kLongestParagraph && !lines[at].isLowSurrogate()) {
            // Never between the two halves of a surrogate pair.
            end.insertText(lines.mid(runStart, at - runStart));
            end.insertBlock();
            end.block().setUserState(InfoLogBox::kContinuation);
            runStart = at;
            m_paragraphLength = 0;
        }
        ++m_paragraphLength;
    }
    end.insertText(lines.mid(runStart));
    end.endEditBlock();
}

void InfoLogView::ScrollToEnd() {
    if (!m_held.isEmpty()) {
        m_scrollWhenCaughtUp = true;
        return;
    }
    QScrollBar* bar = m_box.verticalScrollBar();
    bar->setValue(bar->maximum());
}

void InfoLogView::StartOver() {
    m_held.clear();
    m_scrollWhenCaughtUp = false;
    m_box.clear();
    m_decoder.Reset();
    m_shown = 0;
    m_tail.clear();
    m_paragraphLength = 0;
}

bool InfoLogView::StillShows(const std::string& infoLog) const {
    return infoLog.size() >= m_shown &&
           infoLog.compare(m_shown - m_tail.size(), m_tail.size(), m_tail) == 0;
}

}  // namespace qk::ui
