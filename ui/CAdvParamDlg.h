#pragma once

#include <QCoreApplication>
#include <QString>
#include <string>

#include "DeviceState.h"
#include "MessagePresenter.h"

class QPushButton;
class QWidget;

namespace qk::ui {

class CComboBox;
class CDialog;
class GbkLineEdit;

// The modal "Advanced Parameters" dialog (template 129): shows the device's advanced
// parameters from the record handed to SetData and, when "Set" is accepted, writes the
// operator's edits back into that record and ends with IDOK. "Set" is refused with
// "Logout" while the logged-in flag taken at opening is false.
//
// The object lives as long as the main window; its window is created at every opening and
// destroyed when it ends, so the lists are rebuilt each time. What survives between
// openings are the ten text values of its edit boxes: the login-key box and the hidden
// boxes, which no record field fills, show again what the last accepted "Set" took from
// them.
//
// The list choices go through SelectionFromRecord / StoreSelection, the rules Load Profile
// uses as well, so both put the same choices into the record alike.
//
// It reads the record once, at opening, and writes it once, at an accepted "Set"; answers
// parsed in between are not shown, and "Set" overwrites only the fields it covers. It never
// talks to the device and never sends anything: its caller does, on IDOK.
class CAdvParamDlg {
    Q_DECLARE_TR_FUNCTIONS(CAdvParamDlg)

  public:
    static constexpr int kRegistContentLimit = 40;  // bytes the operator may type

    explicit CAdvParamDlg(MessagePresenter& messages);
    ~CAdvParamDlg();
    CAdvParamDlg(const CAdvParamDlg&) = delete;
    CAdvParamDlg& operator=(const CAdvParamDlg&) = delete;

    // The record to edit (not owned) and a copy of the logged-in flag, for the next opening.
    void SetData(AdvancedParams* record, bool loggedIn);

    // Creates the window, owned by (and modal to) `owner`, runs it and destroys it. IDOK
    // when "Set" was accepted and the record rewritten, IDCANCEL when it was closed by
    // "Cancel", Escape or the close box, with the record untouched.
    int DoModal(QWidget* owner);

    bool IsOpen() const { return m_window != nullptr; }
    // The device is gone while the dialog is open: "Set" is disabled for the rest of this
    // opening, since nothing it stored could be sent. Only "Cancel" ends the dialog.
    void DeviceLost();
    // The window while it is open, else nullptr.
    CDialog* window() const;

  private:
    class Window;

    void BindControls();
    void DoDataExchange(bool saveAndValidate);
    void OnInitDialog();
    void FillControls();
    void ReadControls();
    void OnOK();
    void OnChangeRegistContent(const QString& text);
    void MessageBox(const QString& text);

    MessagePresenter& m_messages;
    Window* m_window = nullptr;

    AdvancedParams* m_record = nullptr;
    bool m_loggedIn = false;
    bool m_deviceLost = false;  // during this opening

    // The controls of the open window, bound by ID; all null while it is closed.
    struct Controls {
        CComboBox* parityList = nullptr;
        CComboBox* dataBitsList = nullptr;
        QPushButton* setButton = nullptr;
        CComboBox* heartbeatList = nullptr;
        CComboBox* registList = nullptr;
        CComboBox* logoutList = nullptr;  // hidden
        CComboBox* workModeList = nullptr;
        GbkLineEdit* registEdit = nullptr;
    };
    Controls m_controls;

    // The ten text values, GBK bytes, kept between openings.
    std::string m_logoutContent;  // hidden
    std::string m_heartbeatContent;
    std::string m_disconnectTime;  // hidden
    std::string m_packetGap;       // hidden
    std::string m_packetSize;      // hidden
    std::string m_dnsServer;
    std::string m_reconnectTries;     // hidden
    std::string m_reconnectInterval;  // hidden
    std::string m_registContent;
    std::string m_loginKey;

    // What the registration box showed after its last change, so that a keystroke the
    // byte limit refused (the text stays as it was) does not count as an edit.
    QString m_registShown;
};

}  // namespace qk::ui
