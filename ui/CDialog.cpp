#include "CDialog.h"

#include <QKeyEvent>
#include <QPushButton>

#include "DialogBuilder.h"

namespace qk::ui {

CDialog::CDialog(const res::DialogTemplate& dialog, QWidget* owner, Qt::WindowFlags flags)
    : QDialog(owner, flags) {
    m_controls = DialogBuilder(dialog).Build(*this);
    for (const auto& control : m_controls.All()) {
        if (auto* button = qobject_cast<QPushButton*>(control.widget)) {
            const int id = control.entry->id;
            connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
        }
    }
}

int CDialog::DoModal() {
    InitDialog();
    return exec() == IDOK ? IDOK : IDCANCEL;
}

void CDialog::InitDialog() {
    if (m_initialised) {
        return;
    }
    m_initialised = true;
    OnInitDialog();
}

bool CDialog::UpdateData(bool saveAndValidate) {
    DoDataExchange(saveAndValidate ? Exchange::ToRecord : Exchange::ToControls);
    return true;
}

void CDialog::OnCommand(int id) {
    if (id == IDOK) {
        OnOK();
    } else if (id == IDCANCEL) {
        OnCancel();
    }
}

void CDialog::OnOK() {
    if (UpdateData(true)) {
        done(IDOK);
    }
}

void CDialog::OnCancel() {
    done(IDCANCEL);
}

void CDialog::showEvent(QShowEvent* event) {
    InitDialog();
    QDialog::showEvent(event);
}

void CDialog::keyPressEvent(QKeyEvent* event) {
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || modifiers != Qt::NoModifier) {
        QDialog::keyPressEvent(event);
        return;
    }
    if (auto* focused = qobject_cast<QPushButton*>(focusWidget());
        focused && focused->isEnabled()) {
        focused->click();
        return;
    }
    if (const int id = DefaultCommand(); id != 0) {
        OnCommand(id);
    }
}

int CDialog::DefaultCommand() const {
    for (const auto& control : m_controls.All()) {
        if (control.entry->style.defaultButton && control.widget->isEnabled()) {
            return control.entry->id;
        }
    }
    return 0;
}

}  // namespace qk::ui
