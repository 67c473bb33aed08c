#include "CComboBox.h"

#include <QLineEdit>
#include <QScopedValueRollback>

namespace qk::ui {

// The text field. QComboBox forwards key and focus-out events to it, and from inside those
// Qt's own "typed text equals an entry" rule selects that entry and reports it as
// activated; the flag lets the combo box tell that apart from the operator's pick.
class CComboBox::Field : public QLineEdit {
  public:
    using QLineEdit::QLineEdit;
    bool handlingFieldEvent() const { return m_inEvent; }

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        const QScopedValueRollback guard(m_inEvent, true);
        QLineEdit::keyPressEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override {
        const QScopedValueRollback guard(m_inEvent, true);
        QLineEdit::focusOutEvent(event);
    }

  private:
    bool m_inEvent = false;
};

CComboBox::CComboBox(QWidget* parent) : QComboBox(parent), m_field(new Field(this)) {
    setEditable(true);
    setLineEdit(m_field);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    setDuplicatesEnabled(true);
    connect(m_field, &QLineEdit::textEdited, this, [this] { m_curSel = -1; });
    connect(this, &QComboBox::activated, this, &CComboBox::OnActivated);
}

int CComboBox::AddString(const QString& text) {
    addItem(text);
    // QComboBox selects the first entry added; the framework's list starts without one.
    if (m_curSel < 0 && currentIndex() >= 0) {
        setCurrentIndex(-1);
    }
    return count() - 1;
}

void CComboBox::SetCurSel(int index) {
    m_curSel = index >= 0 && index < count() ? index : -1;
    setCurrentIndex(m_curSel);
    if (m_curSel < 0) {
        setEditText(QString());
    }
}

void CComboBox::OnActivated(int index) {
    if (m_field->handlingFieldEvent()) {
        return;
    }
    m_curSel = index;
}

}  // namespace qk::ui
