#pragma once

#include <QPlainTextEdit>
#include <QTimer>
#include <chrono>
#include <functional>

namespace qk::ui {

// The read-only information log box (main_dialog::kInfoLog): a QPlainTextEdit in which a paragraph
// may be marked as the continuation of the one before it. InfoLogView cuts device lines
// that are too long for the text layout into such paragraphs; they look like one more
// wrapped line, and everything the box hands out by copy, drag or selection joins them
// again, so the text taken out is exactly the log's text.
//
// While its text keeps changing it repaints at most once a frame: the first change after
// a quiet frame shows at once, later ones together at the end of the frame. A device that
// streams would otherwise have the box redrawn for every block the receive loop hands
// over, which costs more than everything else the window does with the block.
//
// Whoever fills the box may hold text back while a frame is open and put it in at the
// frame's end, in one piece (InfoLogView does): one insert and one scroll a frame instead
// of one per block. The box calls the catch-up it was given before anything can read or
// act on its text (LogText(), copy, drag, the X11 selection, a mouse or key press, the
// context menu, focus), so the text anyone takes out is always whole and current; only
// what is drawn lags, by at most a frame.
//
// It does not decide where lines are cut; InfoLogView does.
class InfoLogBox : public QPlainTextEdit {
    Q_OBJECT
  public:
    // The user state that marks a continuation paragraph.
    static constexpr int kContinuation = 1;
    // A tenth of a second: well within what still reads as immediate.
    static constexpr std::chrono::milliseconds kFrame{100};

    explicit InfoLogBox(QWidget* parent = nullptr);

    // The whole text as a copy of everything would give it, held-back text included.
    QString LogText() const;

    // kFrame unless changed; zero repaints for every change (for measurements), and then
    // nothing is held back either.
    void SetFrameInterval(std::chrono::milliseconds interval);

    // True while a frame is open: text that arrives now may wait for the frame's end.
    bool InFrame() const { return m_frame.isActive(); }
    // `catchUp` puts in whatever text is held back; empty for none. It may be called from
    // inside itself (a change it makes can ask for the selection), and must then do nothing.
    void SetCatchUp(std::function<void()> catchUp);
    void CatchUp() const;

    // Runs `change` (an append and a scroll, say), then repaints the scroll bar if its
    // picture differs at the end; the steps in between never show.
    void ChangeTogether(const std::function<void()>& change);

  protected:
    QMimeData* createMimeDataFromSelection() const override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

  private:
    void SkipNeedlessShaping();
    void OnContentsChanged();
    void OnFrameEnd();

    // The plain text of document positions [from, to) as the base class gives it (one
    // character per position), without the breaks before continuation paragraphs.
    QString Join(QString plain, int from, int to) const;

    QTimer m_frame;  // runs while a frame is open
    std::function<void()> m_catchUp;
};

}  // namespace qk::ui
