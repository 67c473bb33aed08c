#pragma once

#include <QString>
#include <QTextCursor>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "GbkText.h"
#include "InfoLogBox.h"

namespace qk::ui {

// Shows the device record's information log in the read-only log box at a cost that does
// not grow with the log: each Show() converts and appends only the bytes added since the
// last one. When the log was emptied, or no longer starts with what is shown, the box
// starts over. The box shows exactly the text GbkLogDecoder makes of the whole log, so
// what the operator copies out is what was shown.
//
// Appends go through a cursor at the end of the document, never appendPlainText (which
// starts a new paragraph for each piece). It never moves the operator's selection.
//
// The text layout lays out a paragraph whole, each time it changes and each time it is
// painted, so paragraphs are kept to at most kLongestParagraph characters: a device that
// sends a megabyte without a line end would otherwise make every later block cost a
// layout of the whole megabyte. A longer line is cut where one of its wrapped lines on
// screen starts, and each paragraph after a cut is marked as a continuation, which the box
// joins again in everything it hands out: on screen no line ends where the device's line
// did not. Lines of up to half that length are never cut. Within that bound, the lines of one
// append share a paragraph, broken by line separators (which toPlainText() and copies turn into
// line feeds): one paragraph of a dozen lines lays out much faster than a dozen paragraphs.
//
// While the box has a frame open, text is decoded at once but held back and put in at the
// frame's end, all in one append followed by one scroll: a device that streams hands over
// ten blocks a frame, and each append and scroll has a cost of its own (the document's
// bookkeeping, the scroll bar, laying out the lines that end up in view) whatever its
// size. The first text after a quiet frame goes in at once. The box asks for the
// held-back text before anything can read its text or act on it, so what is taken out is
// always the whole log; a log that was emptied or replaced drops it.
//
// Bytes that the log shows as something other than the character they stand for (control
// pictures, \xHH for bytes that are no character) are drawn in their own colour; the
// record keeps the bytes, so Save Log writes them as they came.
//
// It does not own the box, and it does not read the log back: the box is read-only.
class InfoLogView {
  public:
    // Long enough that answers and ordinary data lines are never cut, short enough that
    // laying out one paragraph takes well under a millisecond.
    static constexpr qsizetype kLongestParagraph = 2048;

    explicit InfoLogView(InfoLogBox& box);
    ~InfoLogView();

    InfoLogView(const InfoLogView&) = delete;
    InfoLogView& operator=(const InfoLogView&) = delete;

    void Show(const std::string& infoLog);
    // Brings the last line into view without touching the selection; with text held back,
    // once that text is in.
    void ScrollToEnd();
    // Puts in the text held back, if any, and scrolls to the end if that was asked for
    // meanwhile.
    void CatchUp();

    std::size_t shownBytes() const { return m_shown; }

  private:
    static constexpr std::size_t kTailCheck = 32;

    void Append(QString lines, const std::vector<std::pair<qsizetype, qsizetype>>& marked);
    // Splits the box's last paragraph where its last line on screen starts, and marks the
    // new one a continuation.
    void CutLastParagraph(QTextCursor& end);
    void StartOver();
    bool StillShows(const std::string& infoLog) const;

    InfoLogBox& m_box;
    GbkLogDecoder m_decoder;
    std::size_t m_shown = 0;
    std::string m_tail;               // the last bytes shown, to notice a log replaced by another
    qsizetype m_paragraphLength = 0;  // characters in the last paragraph of the box
    GbkLogDecoder::Shown m_held;      // decoded, not yet in the box
    bool m_scrollWhenCaughtUp = false;
};

}  // namespace qk::ui
