#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "ConfigController.h"
#include "MessagePresenter.h"

namespace qk::test {

// Records every message instead of showing a box, as if the operator pressed OK at once.
class RecordingPresenter final : public ui::MessagePresenter {
  public:
    struct Entry {
        QWidget* owner;
        ui::Message message;
    };

    void Present(QWidget* owner, const ui::Message& message) override {
        entries.push_back({owner, message});
    }
    QStringList texts() const {
        QStringList list;
        for (const Entry& entry : entries) {
            list << entry.message.text;
        }
        return list;
    }

    std::vector<Entry> entries;
};

// Runs `answer` with the next modal window that opens (one not open now), from inside
// that window's own event loop, so a test can look at a modal dialog and close it. The
// watch ends when the returned guard goes out of scope or after `timeoutMs`; the test's
// own checks then fail.
class ModalWatch {
  public:
    ModalWatch(std::function<void(QWidget*)> answer, int timeoutMs) : m_timer(new QTimer(qApp)) {
        const QPointer<QWidget> before = QApplication::activeModalWidget();
        const QDeadlineTimer deadline(timeoutMs);
        QTimer* timer = m_timer;
        QObject::connect(timer, &QTimer::timeout, timer, [=] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr && modal != before && modal->isVisible()) {
                timer->stop();
                answer(modal);
            } else if (deadline.hasExpired()) {
                timer->stop();
            }
        });
        timer->start(5);
    }
    ~ModalWatch() { delete m_timer; }
    ModalWatch(const ModalWatch&) = delete;
    ModalWatch& operator=(const ModalWatch&) = delete;

  private:
    QPointer<QTimer> m_timer;
};

[[nodiscard]] inline std::unique_ptr<ModalWatch> AnswerNextModal(
    std::function<void(QWidget*)> answer, int timeoutMs = 10000) {
    return std::make_unique<ModalWatch>(std::move(answer), timeoutMs);
}

// Types `text` into `widget` one character at a time, as key presses that carry the text
// (QTest::keyClicks only knows ASCII).
inline void TypeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

// Pauses short enough that a whole session takes a fraction of a second.
inline ControllerTiming FastTiming() {
    ControllerTiming timing;
    timing.handshakeRetry = std::chrono::milliseconds(5);
    timing.basicQueryGap = std::chrono::milliseconds(2);
    timing.advancedQueryGap = std::chrono::milliseconds(2);
    timing.basicSetGap = std::chrono::milliseconds(2);
    timing.advancedSetGap = std::chrono::milliseconds(2);
    return timing;
}

}  // namespace qk::test
