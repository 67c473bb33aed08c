#pragma once

#include <QAbstractItemView>
#include <QApplication>
#include <QCursor>
#include <QDeadlineTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "CComboBox.h"
#include "CConfigToolDlg.h"
#include "CDialog.h"
#include "ConfigController.h"
#include "ControlIds.h"
#include "FileChooser.h"
#include "GbkLineEdit.h"
#include "GbkText.h"
#include "InfoLogBox.h"
#include "LabelFitter.h"
#include "MessagePresenter.h"

// The windows' controls by name, in every window test.
namespace main_dialog = qk::res::main_dialog;
namespace advanced_dialog = qk::res::advanced_dialog;

namespace qk::test {

// The shape of the application's override cursor, -1 when none is set.
inline int OverrideShape() {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor == nullptr ? -1 : cursor->shape();
}

// Records every message instead of showing a box, as if the operator pressed OK at once.
struct RecordingPresenter final : ui::MessagePresenter {
    struct Entry {
        QWidget* owner;
        ui::Message message;
        int cursor;  // OverrideShape() while it was up
    };
    void Present(QWidget* owner, const ui::Message& message) override {
        entries.push_back({owner, message, OverrideShape()});
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

// Answers file dialogs from a script instead of showing them: each request takes the next
// of `answers` ("" when none is left: the operator cancelled) and is recorded.
struct ScriptedFileChooser final : ui::FileChooser {
    QString ChooseFileToSave(QWidget* owner, const QString& caption, const QString& suggestedName,
                             const QString& filter) override {
        owners.push_back(owner);
        requests << QStringList{caption, suggestedName, filter};
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QString ChooseFileToOpen(QWidget* owner, const QString& caption,
                             const QString& filter) override {
        return ChooseFileToSave(owner, caption, {}, filter);
    }
    QStringList answers;
    QList<QStringList> requests;  // caption, suggested name (empty for a file to open), filter
    std::vector<QWidget*> owners;
};

// Runs `answer` with the next modal window that opens (one not open now), from inside
// that window's own event loop, so a test can look at a modal dialog and close it. The
// watch ends when the returned timer is destroyed or after `timeoutMs`; the test's own
// checks then fail.
[[nodiscard]] inline std::unique_ptr<QTimer> AnswerNextModal(std::function<void(QWidget*)> answer,
                                                             int timeoutMs = 10000) {
    auto timer = std::make_unique<QTimer>();
    const QPointer<QWidget> before = QApplication::activeModalWidget();
    const QDeadlineTimer deadline(timeoutMs);
    QObject::connect(timer.get(), &QTimer::timeout, timer.get(), [=, t = timer.get()] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool opened = modal != nullptr && modal != before && modal->isVisible();
        if (opened || deadline.hasExpired()) {
            t->stop();
        }
        if (opened) {
            answer(modal);
        }
    });
    timer->start(5);
    return timer;
}

// Types `text` into `widget` as key presses that carry the text (QTest::keyClicks only
// knows ASCII).
inline void TypeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        for (const auto type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent key(type, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(widget, &key);
        }
    }
}

inline void Retype(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    TypeText(edit, text);
}

// Picks an entry from the opened list with the mouse, as the operator does.
inline void Pick(ui::CComboBox* list, int index) {
    list->showPopup();
    QAbstractItemView* view = list->view();
    QVERIFY(QTest::qWaitFor([&] { return view->isVisible(); }));
    const QModelIndex entry = view->model()->index(index, 0);
    view->scrollTo(entry);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(entry).center());
    QVERIFY(QTest::qWaitFor([&] { return list->GetCurSel() == index; }));
}

inline QStringList Entries(const ui::CComboBox& list) {
    QStringList entries;
    for (int i = 0; i < list.count(); ++i) {
        entries << list.itemText(i);
    }
    return entries;
}

// The information log as a copy of all of it gives it: the box may cut overlong lines into
// continuation paragraphs, which toPlainText() would show as line breaks.
inline QString LogText(const ui::CDialog& window) {
    return window.Item<ui::InfoLogBox>(main_dialog::kInfoLog)->LogText();
}

// Pauses short enough that a whole session takes a fraction of a second.
inline ControllerTiming FastTiming() {
    ControllerTiming timing;
    timing.handshakeRetry = std::chrono::milliseconds(5);
    timing.basicQueryGap = timing.advancedQueryGap = timing.basicSetGap = timing.advancedSetGap =
        std::chrono::milliseconds(2);
    return timing;
}

// Ports that come and go when the test says so.
struct ScriptedPortWatcher final : ui::PortWatcher {
    void Watch(Handler h) override { handler = std::move(h); }
    void Plug(const PortIdentity& port) { handler({{true, port}}); }
    void Unplug(const std::string& path) {
        PortIdentity gone;
        gone.path = path;
        handler({{false, gone}});
    }
    Handler handler;
};

inline PortDirectory Pinned(const std::vector<std::pair<int, std::string>>& pins) {
    PortDirectory ports;
    for (const auto& [number, path] : pins) {
        ports.Pin(number, path);
    }
    return ports;
}

// The main window, shown, with every party outside it scripted by the test.
struct MainWindow {
    RecordingPresenter messages;
    ScriptedFileChooser files;
    ScriptedPortWatcher watcher;
    ui::CConfigToolDlg dialog;

    explicit MainWindow(PortDirectory ports = {}, ControllerTiming timing = FastTiming())
        : dialog(std::move(ports), messages, files, watcher, timing) {
        dialog.show();
    }
    bool Activate() { return QTest::qWaitForWindowActive(&dialog); }
    QPushButton* Button(int id) { return dialog.Item<QPushButton>(id); }
    ui::CComboBox* List(int id) { return dialog.Item<ui::CComboBox>(id); }
    ui::GbkLineEdit* Edit(int id) { return dialog.Item<ui::GbkLineEdit>(id); }
    QString LabelText(int id) { return dialog.Item<QLabel>(id)->text(); }
    QString Status(int part) { return dialog.statusBar()->GetText(part); }
    // A context-menu command, the operator choosing `file` in its file dialog.
    void Run(unsigned command, const QString& file) {
        files.answers << file;
        dialog.OnSysCommand(command);
    }
    // Presses "Adv Param." and runs `drive` with the dialog while it is open, cancelling it
    // if `drive` left it open; returns when the dialog and any set commands have ended.
    void RunAdvanced(const std::function<void(ui::CDialog&)>& drive) {
        const auto watch = AnswerNextModal([&](QWidget* modal) {
            auto* advanced = qobject_cast<ui::CDialog*>(modal);
            if (advanced == nullptr) {
                modal->close();
                return;
            }
            drive(*advanced);
            if (advanced->isVisible()) {
                advanced->reject();
            }
        });
        Button(main_dialog::kAdvParam)->click();
    }
};

// Geometry: templates drawn for SimSun must stay readable and inside their frames with the
// fonts this platform has.

// A label without an ID, by its caption.
inline QLabel* Label(const QWidget& window, const QString& text) {
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
    return metrics.boundingRect(QRect(0, 0, label.width(), 10000), Qt::TextWordWrap, text)
               .height() <= label.height();
}

// Shown captions, button texts, group titles and list entries that do not fit, and shown
// controls that leave the window, overlap, or touch the frame or title of a group box.
inline QStringList LayoutFaults(const ui::CDialog& window) {
    std::vector<QWidget*> shown;
    for (const auto& control : window.controls().All()) {
        if (control.widget->isVisibleTo(&window)) {
            shown.push_back(control.widget);
        }
    }
    QStringList faults;
    for (QWidget* widget : shown) {
        QStringList texts;  // each must fit into the control, with its margin
        int margin = 0;
        if (auto* label = qobject_cast<QLabel*>(widget);
            label && !ShowsWhole(*label, label->text())) {
            faults << label->text();
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            texts << button->text();
            margin = 8;
        } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
            texts << box->title();
            margin = 16;
        } else if (auto* list = qobject_cast<ui::CComboBox*>(widget)) {
            texts = Entries(*list);
            margin = widget->width() - list->lineEdit()->width();
        }
        for (const QString& text : texts) {
            if (widget->fontMetrics().horizontalAdvance(text) + margin > widget->width()) {
                faults << text;
            }
        }
        const QRect at = widget->geometry();
        if (!window.rect().contains(at)) {
            faults << widget->objectName() + " leaves the window";
        }
        for (QWidget* other : shown) {
            // Below the title and the frame's top line, as the style draws them: the frame
            // lies lower than on Windows, where it runs through the middle of the title.
            QRect inside = ui::GroupBoxInside(other->geometry());
            inside.setTop(other->y() +
                          std::max(other->fontMetrics().height(), other->contentsRect().top()));
            const bool framed = qobject_cast<QGroupBox*>(other) && inside.contains(at);
            if (other != widget && !qobject_cast<QGroupBox*>(widget) &&
                at.intersects(other->geometry()) && !framed) {
                faults << widget->objectName() + " overlaps " + other->objectName();
            }
        }
    }
    return faults;
}

}  // namespace qk::test
