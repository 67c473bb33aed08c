#pragma once

#include <QDialog>

#include "ControlIds.h"
#include "ControlSet.h"
#include "DialogTemplate.h"

namespace qk::ui {

// A modal dialog built from a template, in the manner of the dialog framework:
// DoModal() initialises it once (OnInitDialog) and runs it, returning IDOK or IDCANCEL;
// every push button's click goes to OnCommand(id), where IDOK and IDCANCEL end the
// dialog through OnOK and OnCancel, and a derived dialog dispatches its own buttons.
//
// Keyboard, as the framework's dialog manager has it: Enter presses the focused push
// button, or, when no push button has the focus, runs the default button's command even
// if that button is hidden (QDialog would only press a visible one); Escape and the close
// box cancel.
//
// Data exchange is explicit: UpdateData(saveAndValidate) calls DoDataExchange in the
// direction asked for; the base transfers nothing.
class CDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr int IDOK = res::kIdOk;
    static constexpr int IDCANCEL = res::kIdCancel;

    CDialog(const res::DialogTemplate& dialog, QWidget* owner, Qt::WindowFlags flags);

    // Initialises the dialog (once) and runs it modally; IDOK or IDCANCEL.
    int DoModal();
    // Runs OnInitDialog unless it has run; also happens on the first show.
    void InitDialog();

    // The control with this ID, nullptr when there is none.
    QWidget* GetDlgItem(int id) const { return m_controls.Find(id); }
    template <typename Widget>
    Widget* Item(int id) const {
        return m_controls.Find<Widget>(id);
    }
    const ControlSet& controls() const { return m_controls; }

    bool UpdateData(bool saveAndValidate);

    // The dialog's result is its code: done(IDOK) or done(IDCANCEL).
    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

  protected:
    enum class Exchange { ToControls, ToRecord };

    virtual void OnInitDialog() {}
    virtual void DoDataExchange(Exchange) {}
    // A push button was clicked, or the default command was asked for.
    virtual void OnCommand(int id);
    virtual void OnOK();
    virtual void OnCancel();

    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    int DefaultCommand() const;

    ControlSet m_controls;
    bool m_initialised = false;
};

}  // namespace qk::ui
