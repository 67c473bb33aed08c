#include "InfoLogBox.h"

#include <QEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <memory>
#include <utility>

namespace qk::ui {
namespace {

// A scroll bar that repaints only when what it shows changes. While text streams in, the
// box's range and value change with every frame, but over a long log the handle stays
// where it is; drawing the bar anew each frame cost a fifth of the box's whole repaint.
// An append changes the range before the scroll to the end puts the handle back, so
// changes made together are compared once, at their end.
class LogScrollBar final : public QScrollBar {
  public:
    LogScrollBar() : QScrollBar(Qt::Vertical) {}

    void Hold() { ++m_held; }
    void Release() {
        if (--m_held == 0 && std::exchange(m_changed, false)) {
            RepaintIfChanged();
        }
    }

  protected:
    void sliderChange(SliderChange) override {
        if (m_held > 0) {
            m_changed = true;
        } else {
            RepaintIfChanged();
        }
    }

    void paintEvent(QPaintEvent* event) override {
        m_painted = Look();
        QScrollBar::paintEvent(event);
    }

  private:
    // Everything of the slider's state that the bar's picture depends on; hovered and
    // pressed parts repaint by themselves.
    struct Picture {
        QRect handle;
        bool empty = false;  // drawn disabled
        bool down = false;
        bool operator==(const Picture&) const = default;
    };

    Picture Look() const {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
                minimum() == maximum(), isSliderDown()};
    }

    void RepaintIfChanged() {
        if (Look() != m_painted) {
            update();
        }
    }

    int m_held = 0;
    bool m_changed = false;
    Picture m_painted{QRect(), true, true};  // matches nothing before the first paint
};

}  // namespace

InfoLogBox::InfoLogBox(QWidget* parent) : QPlainTextEdit(parent) {
    setVerticalScrollBar(new LogScrollBar);
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
    CatchUp();
    return Join(toPlainText(), 0, document()->characterCount() - 1);
}

void InfoLogBox::SetFrameInterval(std::chrono::milliseconds interval) {
    m_frame.setInterval(interval);
}

void InfoLogBox::ChangeTogether(const std::function<void()>& change) {
    auto& bar = static_cast<LogScrollBar&>(*verticalScrollBar());
    bar.Hold();
    change();
    bar.Release();
}

void InfoLogBox::SetCatchUp(std::function<void()> catchUp) {
    m_catchUp = std::move(catchUp);
}

void InfoLogBox::CatchUp() const {
    if (m_catchUp) {
        m_catchUp();
    }
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
    // Text held back during the frame goes in now; as the first change after the frame it
    // shows at once and opens the next one.
    CatchUp();
    if (!updatesEnabled()) {
        setUpdatesEnabled(true);  // repaints the whole box
        if (!m_frame.isActive()) {
            m_frame.start();
        }
    }
}

// Whatever the operator does with the box acts on the whole text.
void InfoLogBox::mousePressEvent(QMouseEvent* event) {
    CatchUp();
    QPlainTextEdit::mousePressEvent(event);
}

void InfoLogBox::keyPressEvent(QKeyEvent* event) {
    CatchUp();
    QPlainTextEdit::keyPressEvent(event);
}

void InfoLogBox::contextMenuEvent(QContextMenuEvent* event) {
    CatchUp();
    QPlainTextEdit::contextMenuEvent(event);
}

void InfoLogBox::focusInEvent(QFocusEvent* event) {
    CatchUp();
    QPlainTextEdit::focusInEvent(event);
}

void InfoLogBox::changeEvent(QEvent* event) {
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        SkipNeedlessShaping();  // the base class has just set the document's font afresh
    }
}

QMimeData* InfoLogBox::createMimeDataFromSelection() const {
    // A selection that reaches the end takes in the held-back text, as it would have had
    // that text gone in at once.
    CatchUp();
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
