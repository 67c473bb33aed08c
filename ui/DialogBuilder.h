#pragma once

#include <QWidget>

#include "ControlSet.h"
#include "DialogFont.h"
#include "DialogTemplate.h"

namespace qk::ui {

// Turns a dialog template into widgets on a dialog: the one place that knows how each
// control kind and style flag maps onto Qt Widgets.
//
// - push button: QPushButton ('&' marks the access key unless `noPrefix`); the default
//   button becomes the dialog's default even when hidden;
// - group box: a QGroupBox frame drawn beneath the other controls and transparent to the
//   mouse, like the framework's group box; controls are not its children;
// - label: QLabel, left-aligned at the top, '&' shown literally with `noPrefix` and
//   removed otherwise; captions are then fitted (LabelFitter);
// - edit: GbkLineEdit (single line, byte text limit) or, with `multiline`, a
//   QPlainTextEdit that wraps long lines unless `autoHScroll`, with the vertical scroll bar
//   `vscroll` asks for and no undo history;
// - combo box: CComboBox, as high as a closed combo box; the rest of the template height
//   is the drop-down list, which shows as many entries as fit in it;
// - icon: the icon resource's 32 x 32 picture at the rectangle's top left.
//
// Every control is a direct child of the dialog, named by ControlObjectName, with the
// template's position in dialog units; `hidden` and `disabled` are applied; tab stops are
// the focus chain in creation order. The dialog gets the template's font, caption and
// client size, and cannot be resized.
//
// It wires no signals: what a control does is the dialog's business.
class DialogBuilder {
  public:
    explicit DialogBuilder(const res::DialogTemplate& dialog);

    const DialogFont& font() const { return m_font; }

    ControlSet Build(QWidget& dialog) const;

  private:
    QWidget* Create(const res::ControlTemplate& entry, QWidget& dialog) const;

    const res::DialogTemplate& m_template;
    DialogFont m_font;
};

// The caption of a control as shown: '&' before a letter marks the access key ("&&" is a
// literal ampersand). Labels without `noPrefix` show the text without the marks.
QString StripAccessKeys(const QString& caption);

}  // namespace qk::ui
