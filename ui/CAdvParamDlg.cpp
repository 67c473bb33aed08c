#include "CAdvParamDlg.h"

#include <QPushButton>
#include <memory>
#include <utility>

#include "AdvancedSelection.h"
#include "CComboBox.h"
#include "CDialog.h"
#include "ControlIds.h"
#include "DialogTemplates.h"
#include "GbkLineEdit.h"
#include "GbkText.h"
#include "ValueLists.h"

namespace qk::ui {
namespace {

// Fixed size, caption with system menu and close box, no minimise or maximise box.
constexpr Qt::WindowFlags kFrame = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

using namespace res::advanced_dialog;

void AddEntries(CComboBox& list, ValueList entries) {
    for (const std::string_view entry : entries) {
        list.AddString(FromGbk(entry));
    }
}

}  // namespace

// The window of one opening: template 129 as widgets, handing the framework's calls to the
// dialog object that outlives it.
class CAdvParamDlg::Window final : public CDialog {
  public:
    Window(CAdvParamDlg& dialog, QWidget* owner)
        : CDialog(res::AdvancedDialogTemplate(), owner, kFrame), m_dialog(dialog) {}

    // The framework's own "OK": transfer from the controls, end with IDOK.
    void DefaultOK() { CDialog::OnOK(); }

  protected:
    void OnInitDialog() override { m_dialog.OnInitDialog(); }
    void DoDataExchange(Exchange direction) override {
        m_dialog.DoDataExchange(direction == Exchange::ToRecord);
    }
    void OnOK() override { m_dialog.OnOK(); }

  private:
    CAdvParamDlg& m_dialog;
};

CAdvParamDlg::CAdvParamDlg(MessagePresenter& messages) : m_messages(messages) {}

CAdvParamDlg::~CAdvParamDlg() = default;

void CAdvParamDlg::SetData(AdvancedParams* record, bool loggedIn) {
    m_record = record;
    m_loggedIn = loggedIn;
    m_deviceLost = false;
}

void CAdvParamDlg::DeviceLost() {
    m_deviceLost = true;
    if (m_controls.setButton != nullptr) {
        m_controls.setButton->setEnabled(false);
    }
}

CDialog* CAdvParamDlg::window() const {
    return m_window;
}

int CAdvParamDlg::DoModal(QWidget* owner) {
    if (m_window != nullptr) {
        return CDialog::IDCANCEL;  // one window at a time
    }
    const auto window = std::make_unique<Window>(*this, owner);
    m_window = window.get();
    BindControls();
    const int result = window->DoModal();
    m_window = nullptr;
    m_controls = {};
    return result;
}

void CAdvParamDlg::BindControls() {
    m_controls = {
        .parityList = m_window->Item<CComboBox>(kParityList),
        .dataBitsList = m_window->Item<CComboBox>(kDataBitsList),
        .setButton = m_window->Item<QPushButton>(kSet),
        .heartbeatList = m_window->Item<CComboBox>(kHeartbeatList),
        .registList = m_window->Item<CComboBox>(kRegistList),
        .logoutList = m_window->Item<CComboBox>(kLogoutList),
        .workModeList = m_window->Item<CComboBox>(kWorkModeList),
        .registEdit = m_window->Item<GbkLineEdit>(kRegistContent),
    };
    // The one notification the dialog handles: the operator changed the registration
    // content. textEdited is not emitted for the dialog's own transfers.
    QObject::connect(m_controls.registEdit, &QLineEdit::textEdited, m_window,
                     [this](const QString& text) { OnChangeRegistContent(text); });
}

void CAdvParamDlg::DoDataExchange(bool saveAndValidate) {
    const std::pair<int, std::string*> values[] = {
        {kLogoutContent, &m_logoutContent},   {kHeartbeatContent, &m_heartbeatContent},
        {kDisconnectTime, &m_disconnectTime}, {kPacketGap, &m_packetGap},
        {kPacketSize, &m_packetSize},         {kDnsServer, &m_dnsServer},
        {kReconnectTries, &m_reconnectTries}, {kReconnectInterval, &m_reconnectInterval},
        {kRegistContent, &m_registContent},   {kLoginKey, &m_loginKey},
    };
    for (const auto& [id, value] : values) {
        auto* edit = m_window->Item<GbkLineEdit>(id);
        if (saveAndValidate) {
            // Unchanged boxes give back the bytes they were given, valid GBK or not.
            *value = edit->Bytes();
        } else {
            edit->SetBytes(*value);
        }
    }
    if (!saveAndValidate) {
        m_registShown = m_controls.registEdit->text();
    }
}

void CAdvParamDlg::OnInitDialog() {
    m_window->UpdateData(false);
    m_controls.registEdit->SetLimitText(kRegistContentLimit);
    AddEntries(*m_controls.workModeList, WorkModeList);
    AddEntries(*m_controls.registList, SwitchList);
    AddEntries(*m_controls.logoutList, SwitchList);
    AddEntries(*m_controls.heartbeatList, HeartbeatList);
    AddEntries(*m_controls.dataBitsList, DataBitsList);
    AddEntries(*m_controls.parityList, ParityList);
    FillControls();
    m_controls.setButton->setFocus();
}

void CAdvParamDlg::FillControls() {
    const AdvancedParams empty;
    const AdvancedParams& record = m_record != nullptr ? *m_record : empty;
    const AdvancedSelection selection = SelectionFromRecord(record);
    m_controls.workModeList->SetCurSel(selection.workMode);
    m_controls.heartbeatList->SetCurSel(selection.heartbeat);
    m_heartbeatContent = record.heartbeatData;
    m_dnsServer = record.dnsServer;
    m_controls.dataBitsList->SetCurSel(selection.dataBits);
    m_controls.parityList->SetCurSel(selection.parity);
    m_controls.registList->SetCurSel(selection.registration);
    m_registContent = record.registerData;
    m_window->UpdateData(false);
}

void CAdvParamDlg::ReadControls() {
    m_window->UpdateData(true);
    if (m_record == nullptr) {
        return;
    }
    AdvancedSelection selection;
    selection.workMode = m_controls.workModeList->GetCurSel();
    selection.heartbeat = m_controls.heartbeatList->GetCurSel();
    selection.dataBits = m_controls.dataBitsList->GetCurSel();
    selection.parity = m_controls.parityList->GetCurSel();
    selection.registration = m_controls.registList->GetCurSel();
    StoreSelection(selection, *m_record);
    m_record->heartbeatData = m_heartbeatContent;
    m_record->dnsServer = m_dnsServer;
    m_record->registerData = m_registContent;
}

void CAdvParamDlg::OnOK() {
    if (m_deviceLost) {
        return;  // nothing may be stored for a device that can no longer be sent it
    }
    if (!m_loggedIn) {
        MessageBox(tr("Logout"));
        return;
    }
    ReadControls();
    m_window->DefaultOK();
}

void CAdvParamDlg::OnChangeRegistContent(const QString& text) {
    if (text == m_registShown) {
        return;  // a keystroke the limit refused: nothing changed
    }
    m_registShown = text;
    // Typing cannot pass the limit; a longer text can only be one the device sent, and it
    // stays as it is: the operator is told, nothing is cut.
    if (m_controls.registEdit->Bytes().size() > static_cast<std::size_t>(kRegistContentLimit)) {
        MessageBox(
            QString::asprintf(tr("Regist packet size should not exceed %d.").toUtf8().constData(),
                              kRegistContentLimit));
    }
}

void CAdvParamDlg::MessageBox(const QString& text) {
    m_messages.Present(m_window, {text, {}, Message::Icon::None});
}

}  // namespace qk::ui
