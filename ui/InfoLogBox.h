#pragma once

#include <QPlainTextEdit>
#include <QTimer>
#include <chrono>

namespace qk::ui {

// The read-only information log box (control 1002): a QPlainTextEdit in which a paragraph
// may be marked as the continuation of the one before it. InfoLogView cuts device lines
// that are too long for the text layout into such paragraphs; they look like one more
// wrapped line, and everything the box hands out by copy, drag or selection joins them
// again, so the text taken out is exactly the log's text.
//
// While its text keeps changing it repaints at most once a frame: the first change after
// a quiet frame shows at once, later ones together at the end of the frame. Text, selection
// and scroll position change at once; only the picture waits. A device that streams would
// otherwise have the box redrawn for every block the receive loop hands over, which costs
// more than everything else the window does with the block.
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

    // The whole text as a copy of everything would give it.
    QString LogText() const;

    // kFrame unless changed; zero repaints for every change (for measurements).
    void SetFrameInterval(std::chrono::milliseconds interval);

  protected:
    QMimeData* createMimeDataFromSelection() const override;
    void changeEvent(QEvent* event) override;

  private:
    void SkipNeedlessShaping();
    void OnContentsChanged();
    void OnFrameEnd();

    // The plain text of document positions [from, to) as the base class gives it (one
    // character per position), without the breaks before continuation paragraphs.
    QString Join(QString plain, int from, int to) const;

    QTimer m_frame;  // runs while a frame is open
};

}  // namespace qk::ui
