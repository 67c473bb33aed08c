#include "DialogBuilder.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

#include "AppIcon.h"
#include "CComboBox.h"
#include "GbkLineEdit.h"
#include "GbkText.h"
#include "InfoLogBox.h"
#include "LabelFitter.h"
#include "TemplateCaptions.h"

namespace qk::ui {
namespace {

using res::ControlKind;
using res::ControlTemplate;

constexpr int kIconSize = 32;

QPushButton* MakeButton(const ControlTemplate& entry, QWidget& dialog) {
    QString caption = TemplateCaption(entry.caption);
    if (entry.style.noPrefix) {
        caption.replace(u'&', QStringLiteral("&&"));
    }
    auto* button = new QPushButton(caption, &dialog);
    button->setDefault(entry.style.defaultButton);
    return button;
}

QGroupBox* MakeGroupBox(const ControlTemplate& entry, QWidget& dialog) {
    auto* box = new QGroupBox(TemplateCaption(entry.caption), &dialog);
    box->setAttribute(Qt::WA_TransparentForMouseEvents);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

QLabel* MakeLabel(const ControlTemplate& entry, QWidget& dialog) {
    const QString caption = TemplateCaption(entry.caption);
    auto* label = new QLabel(entry.style.noPrefix ? caption : StripAccessKeys(caption), &dialog);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QWidget* MakeEdit(const ControlTemplate& entry, QWidget& dialog) {
    if (entry.style.multiline) {
        auto* box = new InfoLogBox(&dialog);
        box->setUndoRedoEnabled(false);
        box->setReadOnly(entry.style.readOnly);
        if (entry.style.readOnly) {
            box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        }
        box->setLineWrapMode(entry.style.autoHScroll ? QPlainTextEdit::NoWrap
                                                     : QPlainTextEdit::WidgetWidth);
        box->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        box->setVerticalScrollBarPolicy(entry.style.vscroll ? Qt::ScrollBarAlwaysOn
                                                            : Qt::ScrollBarAlwaysOff);
        box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        box->setPlainText(FromGbk(entry.caption));
        // Tab moves on to the next control; the box takes no typing anyway.
        box->setTabChangesFocus(true);
        return box;
    }
    auto* edit = new GbkLineEdit(&dialog);
    edit->SetBytes(std::string(entry.caption));
    edit->SetLimitText(entry.style.textLimit);
    edit->setReadOnly(entry.style.readOnly);
    return edit;
}

QLabel* MakeIcon(const ControlTemplate& entry, QWidget& dialog) {
    auto* picture = new QLabel(&dialog);
    picture->setPixmap(IconPixmap(entry.resource, kIconSize));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return picture;
}

bool TakesFocus(ControlKind kind) {
    return kind == ControlKind::PushButton || kind == ControlKind::Edit ||
           kind == ControlKind::ComboBox;
}

// A combo box's closed height is the toolkit's, not the template's, and the toolkit draws a
// group box's frame lower than Windows does: below its title rather than through the
// middle of it. A combo box placed at its template's top just under a title ("Baund Rate"
// in TCP/IP) would cover the frame's top line. It moves down until it clears the frame,
// as long as that keeps it clear of every other control; the template's rectangles stay
// as they are.
void KeepCombosInsideGroupFrames(const ControlSet& controls) {
    const auto area = [](const QRect& r) { return static_cast<long long>(r.width()) * r.height(); };
    for (const auto& combo : controls.All()) {
        if (combo.entry->kind != ControlKind::ComboBox) {
            continue;
        }
        const QRect at = combo.widget->geometry();
        QWidget* group = nullptr;
        for (const auto& control : controls.All()) {
            const QRect box = control.widget->geometry();
            if (control.entry->kind == ControlKind::GroupBox && box.contains(at) &&
                (group == nullptr || area(box) < area(group->geometry()))) {
                group = control.widget;
            }
        }
        if (group == nullptr) {
            continue;
        }
        group->ensurePolished();
        const int insideTop = group->y() + group->contentsRect().top();
        if (at.top() >= insideTop) {
            continue;
        }
        const QRect moved = at.translated(0, insideTop - at.top());
        const bool clear =
            group->geometry().contains(moved) &&
            std::ranges::none_of(controls.All(), [&](const auto& other) {
                return other.widget != combo.widget && other.entry->kind != ControlKind::GroupBox &&
                       !other.entry->style.hidden && other.widget->geometry().intersects(moved);
            });
        if (clear) {
            combo.widget->move(moved.topLeft());
        }
    }
}

}  // namespace

DialogBuilder::DialogBuilder(const res::DialogTemplate& dialog)
    : m_template(dialog), m_font(dialog) {}

ControlSet DialogBuilder::Build(QWidget& dialog) const {
    dialog.setFont(m_font.font());
    dialog.setWindowTitle(TemplateCaption(m_template.caption));
    dialog.setFixedSize(m_font.ClientSize(m_template));

    ControlSet controls;
    QWidget* previousTabStop = nullptr;
    std::size_t index = 0;
    for (const ControlTemplate& entry : m_template.controls) {
        QWidget* widget = Create(entry, dialog);
        widget->setObjectName(ControlObjectName(entry.id, index++));
        QRect rect = m_font.ToPixels(entry.rect);
        if (entry.kind == ControlKind::ComboBox) {
            auto* combo = static_cast<CComboBox*>(widget);
            const int closed = std::min(combo->sizeHint().height(), rect.height());
            const int itemHeight = std::max(combo->fontMetrics().height(), 1);
            combo->setMaxVisibleItems(std::max((rect.height() - closed) / itemHeight, 1));
            rect.setHeight(closed);
        } else if (entry.kind == ControlKind::Icon) {
            rect.setSize(QSize(kIconSize, kIconSize));
        }
        widget->setGeometry(rect);
        if (entry.style.hidden) {
            widget->hide();
        }
        widget->setEnabled(!entry.style.disabled);
        if (TakesFocus(entry.kind)) {
            widget->setFocusPolicy(entry.style.tabStop ? Qt::StrongFocus : Qt::ClickFocus);
            if (entry.style.tabStop) {
                if (previousTabStop != nullptr) {
                    QWidget::setTabOrder(previousTabStop, widget);
                }
                previousTabStop = widget;
            }
        } else {
            widget->setFocusPolicy(Qt::NoFocus);
        }
        controls.Add(entry, widget);
    }
    for (const auto& control : controls.All()) {
        if (control.entry->kind == ControlKind::GroupBox) {
            control.widget->lower();
        }
    }
    KeepCombosInsideGroupFrames(controls);
    LabelFitter(controls, dialog.size()).FitAll();
    return controls;
}

QWidget* DialogBuilder::Create(const ControlTemplate& entry, QWidget& dialog) const {
    switch (entry.kind) {
        case ControlKind::PushButton:
            return MakeButton(entry, dialog);
        case ControlKind::GroupBox:
            return MakeGroupBox(entry, dialog);
        case ControlKind::Label:
            return MakeLabel(entry, dialog);
        case ControlKind::Edit:
            return MakeEdit(entry, dialog);
        case ControlKind::ComboBox:
            return new CComboBox(&dialog);
        case ControlKind::Icon:
            return MakeIcon(entry, dialog);
    }
    return new QWidget(&dialog);
}

QString StripAccessKeys(const QString& caption) {
    QString shown;
    shown.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == u'&' && i + 1 < caption.size()) {
            ++i;
        }
        shown += caption.at(i);
    }
    return shown;
}

}  // namespace qk::ui
