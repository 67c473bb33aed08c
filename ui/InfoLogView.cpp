#include "InfoLogView.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <string_view>
#include <utility>

namespace qk::ui {
namespace {

// Bytes shown as something else than the character they stand for.
const QColor kByteColour(0xA0, 0x20, 0x80);

}  // namespace

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
    GbkLogDecoder::Shown added = m_decoder.DecodeMarked(std::string_view(infoLog).substr(m_shown));
    for (const auto& [start, length] : added.marked) {
        m_held.marked.emplace_back(m_held.text.size() + start, length);
    }
    m_held.text += added.text;
    m_shown = infoLog.size();
    const std::size_t tail = std::min(m_shown, kTailCheck);
    m_tail.assign(infoLog, m_shown - tail, tail);
    if (!m_box.InFrame()) {
        CatchUp();
    }
}

void InfoLogView::CatchUp() {
    if (m_held.text.isEmpty()) {
        return;
    }
    // Taken out first: the append can ask for the selection, which calls this again.
    GbkLogDecoder::Shown held = std::exchange(m_held, {});
    QString& text = held.text;
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
        Append(std::move(text), held.marked);
        if (scroll) {
            ScrollToEnd();
        }
        if (jump) {
            viewport.setUpdatesEnabled(true);  // repaints it whole
        }
    });
}

void InfoLogView::Append(QString lines,
                         const std::vector<std::pair<qsizetype, qsizetype>>& marked) {
    // A line end becomes a line separator, except the piece's last one and those that end
    // a paragraph already half the longest; they close the paragraph.
    const qsizetype lastLineEnd = lines.lastIndexOf(u'\n');
    QTextDocument& document = *m_box.document();
    QTextCursor end(&document);
    // Inside the edit block, placing the cursor lays nothing out.
    end.beginEditBlock();
    end.setPosition(document.characterCount() - 1);
    QTextCharFormat plain;
    QTextCharFormat byte;
    byte.setForeground(kByteColour);
    qsizetype runStart = 0;
    auto mark = marked.begin();
    bool inMark = false;
    const auto insertRun = [&](qsizetype to) {
        if (to > runStart) {
            end.insertText(lines.mid(runStart, to - runStart), inMark ? byte : plain);
            runStart = to;
        }
    };
    for (qsizetype at = 0; at < lines.size(); ++at) {
        if (inMark && at == mark->first + mark->second) {
            insertRun(at);
            inMark = false;
            ++mark;
        }
        if (!inMark && mark != marked.end() && at == mark->first) {
            insertRun(at);
            inMark = true;
        }
        if (lines[at] == u'\n') {
            if (at == lastLineEnd || m_paragraphLength >= kLongestParagraph / 2) {
                m_paragraphLength = 0;
                continue;
            }
            lines[at] = QChar::LineSeparator;
        } else if (m_paragraphLength >= kLongestParagraph && !lines[at].isLowSurrogate()) {
            // Never between the two halves of a surrogate pair.
            insertRun(at);
            CutLastParagraph(end);
        }
        ++m_paragraphLength;
    }
    insertRun(lines.size());
    end.endEditBlock();
}

void InfoLogView::CutLastParagraph(QTextCursor& end) {
    // Where the paragraph's last line on screen starts, the paragraph laid out now if it
    // is not yet; without a width to wrap at, at its end.
    end.endEditBlock();
    const QTextBlock block = end.block();
    m_box.document()->documentLayout()->blockBoundingRect(block);
    const QTextLayout* layout = block.layout();
    const int lines = layout != nullptr ? layout->lineCount() : 0;
    const int lastLineStart =
        lines > 1 ? layout->lineAt(lines - 1).textStart() : block.length() - 1;
    end.beginEditBlock();
    QTextCursor cut(block);
    cut.setPosition(block.position() + lastLineStart);
    cut.insertBlock();
    cut.block().setUserState(InfoLogBox::kContinuation);
    end.setPosition(m_box.document()->characterCount() - 1);
    m_paragraphLength = end.block().length() - 1;
}

void InfoLogView::ScrollToEnd() {
    if (!m_held.text.isEmpty()) {
        m_scrollWhenCaughtUp = true;
        return;
    }
    QScrollBar* bar = m_box.verticalScrollBar();
    bar->setValue(bar->maximum());
}

void InfoLogView::StartOver() {
    m_held = {};
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
