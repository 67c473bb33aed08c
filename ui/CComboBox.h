#pragma once

#include <QComboBox>

namespace qk::ui {

// A drop-down list with an editable text field whose only meaningful value is the selected
// index, as the dialog framework's combo box has it.
//
// Qt keeps the old current index while the operator types into the field and, when the
// field loses focus or takes Enter, selects an entry whose text equals what was typed.
// This class keeps its own selection instead: typing leaves the list WITHOUT a selection
// (GetCurSel() == -1) until an entry is picked from the list (mouse, or the arrow keys);
// SetCurSel() selects programmatically. Entries keep the order they were added in; typed
// text is never added as an entry and nothing completes it.
//
// It does not interpret the typed text: nobody reads it.
class CComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit CComboBox(QWidget* parent = nullptr);

    // Appends an entry (never sorted); returns its index.
    int AddString(const QString& text);
    // The selected entry, -1 for none.
    int GetCurSel() const { return m_curSel; }
    // Selects entry `index` and shows its text; -1 (or any index outside the list) clears
    // the selection and the field.
    void SetCurSel(int index);

  private:
    class Field;

    void OnActivated(int index);

    Field* m_field;
    int m_curSel = -1;
};

}  // namespace qk::ui
