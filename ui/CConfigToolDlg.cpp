#include "CConfigToolDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <optional>
#include <utility>

#include "AppIcon.h"
#include "AppOptions.h"
#include "CAboutDlg.h"
#include "ControlIds.h"
#include "CoreText.h"
#include "DialogFont.h"
#include "DialogTemplates.h"
#include "GbkText.h"
#include "HistoryDialog.h"
#include "OverrideCursor.h"
#include "QFileDialogChooser.h"
#include "ValueLists.h"

namespace qk::ui {
namespace {

// Fixed size, caption with system menu and close box, no minimise or maximise box; a
// window of its own (not a transient dialog), so it has its own taskbar entry.
constexpr Qt::WindowFlags kFrame = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

// Right edges in pixels of the design font (DialogFont::kDesignBaseUnitX).
const std::vector<int> kStatusPartEdges = {180, 300, -1};

using namespace res::main_dialog;

constexpr int kDefaultComIndex = 0;       // COM1
constexpr int kDefaultBaudIndex = 4;      // "9600"
constexpr int kDefaultDataBitsIndex = 3;  // "8"
constexpr int kDefaultParityIndex = 0;    // "N"

// One for all windows: it keeps nothing between dialogs.
FileChooser& StandardFileChooser() {
    static QFileDialogChooser chooser;
    return chooser;
}

PortWatcher& FixedPorts() {
    static NoPortWatcher watcher;
    return watcher;
}

template <std::size_t N>
void AddEntries(CComboBox& list, const std::array<std::string_view, N>& entries) {
    for (const std::string_view entry : entries) {
        list.AddString(FromGbk(entry));
    }
}

}  // namespace

CConfigToolDlg::CConfigToolDlg(PortDirectory ports, MessagePresenter& messages,
                               ControllerTiming timing, QWidget* owner)
    : CConfigToolDlg(std::move(ports), messages, StandardFileChooser(), timing, owner) {}

CConfigToolDlg::CConfigToolDlg(PortDirectory ports, MessagePresenter& messages, FileChooser& files,
                               ControllerTiming timing, QWidget* owner)
    : CConfigToolDlg(std::move(ports), messages, files, FixedPorts(), timing, owner) {}

CConfigToolDlg::CConfigToolDlg(PortDirectory ports, MessagePresenter& messages, FileChooser& files,
                               PortWatcher& portWatcher, ControllerTiming timing, QWidget* owner)
    : CDialog(res::MainDialogTemplate(), owner, kFrame),
      m_messages(messages),
      m_portWatcher(portWatcher),
      m_advParamDlg(messages),
      m_ports(std::move(ports)),
      m_serialSink(*this, messages),
      m_port(m_ports, m_serialSink),
      m_handover([this](std::string&& block) { HandleReceivedBlock(std::move(block)); },
                 [this] {
                     // Receive thread: ask the window thread to run the block.
                     QMetaObject::invokeMethod(
                         this, [this] { OnBlockWaiting(); }, Qt::QueuedConnection);
                 }),
      m_receiveLoop(m_port, m_handover),
      m_parser(m_state, *this),
      m_controller(m_port, m_state, *this, m_pacer, m_receiveLoop, timing),
      m_journal({}, [this] { return m_port.path(); }),
      m_fileCommands(*this, m_state, *this, files, messages),
      m_deviceFinder(
          *this, messages,
          [this](int portNumber, std::uint32_t baud) { SelectFoundDevice(portNumber, baud); }),
      m_log(*controls().Find<InfoLogBox>(kInfoLog)),
      m_portList(*controls().Find<CComboBox>(kComList)) {
    BindControls();
    m_controller.SetChangeObserver(&m_journal);
    // Icon 128, large and small. A minimised window is drawn by the desktop from this icon:
    // there is no WM_PAINT-style painting of the icon into the client area, and no drag
    // icon to supply.
    setWindowIcon(AppIcon());
}

CConfigToolDlg::~CConfigToolDlg() {
    m_portWatcher.Watch({});
    // The receive thread must be gone before the record and the port it uses.
    m_controller.Shutdown();
}

void CConfigToolDlg::BindControls() {
    m_parityList = Item<CComboBox>(kParityList);
    m_dataBitsList = Item<CComboBox>(kDataBitsList);
    m_loginButton = Item<QPushButton>(kLogin);
    m_getParamButton = Item<QPushButton>(kGetParam);
    m_advParamButton = Item<QPushButton>(kAdvParam);
    m_portBaudList = Item<CComboBox>(kPortBaudList);
    m_protocolList = Item<CComboBox>(kProtocolList);
    m_deviceBaudList = Item<CComboBox>(kDeviceBaudList);
    m_setParamButton = Item<QPushButton>(kSetParam);
    m_comList = Item<CComboBox>(kComList);
    m_openButton = Item<QPushButton>(kOpenClose);
    m_destAddressEdit = Item<GbkLineEdit>(kDestAddress);
    m_destPortEdit = Item<GbkLineEdit>(kDestPort);
    m_loginKeyEdit = Item<GbkLineEdit>(kLoginKey);
    m_configModeLabel = Item<QLabel>(kConfigModeLabel);
    m_loginLabel = Item<QLabel>(kLoginLabel);
}

void CConfigToolDlg::OnInitDialog() {
    UpdateData(false);

    m_systemMenu =
        new SystemMenu(this, SystemMenu::AboutText(), [this](unsigned id) { OnSysCommand(id); });

    m_statusBar = new CStatusBarCtrl(*this);
    m_statusBar->setObjectName(QStringLiteral("0"));
    // Fixed pixels would cut "ID:860000000001" with a font wider than the design's.
    const DialogFont units(font());
    std::vector<int> edges;
    for (const int edge : kStatusPartEdges) {
        edges.push_back(edge < 0 ? edge : units.FromDesignPixelsX(edge));
    }
    m_statusBar->SetParts(edges);

    FillLists();
    m_comList->SetCurSel(kDefaultComIndex);
    m_portBaudList->SetCurSel(kDefaultBaudIndex);
    m_dataBitsList->SetCurSel(kDefaultDataBitsIndex);
    m_parityList->SetCurSel(kDefaultParityIndex);

    DisableConfigButtons();
    m_portWatcher.Watch(
        [this](const std::vector<PortMonitor::Event>& events) { OnPortsChanged(events); });
    // The first focus goes where the platform puts it: the first visible, enabled tab
    // stop, which is "Cancel".
}

void CConfigToolDlg::FillLists() {
    // COM numbers stand for device paths on Linux; each entry names its adapter where the
    // operator looks for it, so the right one is picked without a terminal.
    m_portList.Fill(m_ports);
    AddEntries(*m_dataBitsList, DataBitsList);
    AddEntries(*m_parityList, ParityList);
    for (const std::string_view baud : BaudRateList) {
        m_portBaudList->AddString(FromGbk(baud));
        m_deviceBaudList->AddString(FromGbk(baud));
    }
    AddEntries(*m_protocolList, ProtocolList);
}

void CConfigToolDlg::DoDataExchange(Exchange direction) {
    if (direction == Exchange::ToControls) {
        UpdateControls();
    } else {
        UpdateState();
    }
}

void CConfigToolDlg::SetStatusText(int part, std::string_view text) {
    if (m_statusBar != nullptr) {
        m_statusBar->SetText(part, CoreText::Translate(FromGbk(text)));
    }
}

void CConfigToolDlg::SetLoginLabel(std::string_view text) {
    m_loginLabel->setText(CoreText::Translate(FromGbk(text)));
}

void CConfigToolDlg::SetConfigModeLabel(std::string_view text) {
    m_configModeLabel->setText(CoreText::Translate(FromGbk(text)));
}

void CConfigToolDlg::SelectDeviceBaud(int index) {
    m_deviceBaudList->SetCurSel(index);
}

void CConfigToolDlg::SelectProtocol(int index) {
    m_protocolList->SetCurSel(index);
}

void CConfigToolDlg::ShowMessage(std::string_view text) {
    const auto arrow = OverrideCursor::ForOperator();
    m_messages.Present(this, {CoreText::Translate(FromGbk(text)), {}, Message::Icon::None});
}

void CConfigToolDlg::ShowFailure(std::string_view message, std::string_view detail) {
    const auto arrow = OverrideCursor::ForOperator();
    m_messages.Present(this, {CoreText::Translate(FromGbk(message)),
                              CoreText::Translate(QString::fromUtf8(
                                  detail.data(), static_cast<qsizetype>(detail.size()))),
                              Message::Icon::None});
}

void CConfigToolDlg::UpdateControls() {
    m_log.Show(m_state.infoLog);
    m_destAddressEdit->SetBytes(m_state.destAddress);
    m_destPortEdit->SetBytes(m_state.destPort);
    m_loginKeyEdit->SetBytes(m_state.loginKey);
}

void CConfigToolDlg::UpdateState() {
    // An edit the operator has not changed since UpdateControls leaves its field alone, so
    // a value from the device goes back byte for byte, whatever its encoding.
    if (m_destAddressEdit->Edited()) {
        m_state.destAddress = m_destAddressEdit->Bytes();
    }
    if (m_destPortEdit->Edited()) {
        m_state.destPort = m_destPortEdit->Bytes();
    }
    if (m_loginKeyEdit->Edited()) {
        m_state.loginKey = m_loginKeyEdit->Bytes();
    }
    m_state.deviceBaudIndex = m_deviceBaudList->GetCurSel();
    m_state.protocolIndex = m_protocolList->GetCurSel();
}

void CConfigToolDlg::ScrollLogToEnd() {
    m_log.ScrollToEnd();
}

SerialSelection CConfigToolDlg::GetSerialSelection() {
    return {m_comList->GetCurSel(), m_portBaudList->GetCurSel(), m_dataBitsList->GetCurSel(),
            m_parityList->GetCurSel()};
}

void CConfigToolDlg::SetOpenButtonCaption(std::string_view text) {
    m_openButton->setText(CoreText::Translate(FromGbk(text)));
}

void CConfigToolDlg::EnableConfigButtons() {
    SetConfigButtonsEnabled(true);
}

void CConfigToolDlg::DisableConfigButtons() {
    SetConfigButtonsEnabled(false);
}

void CConfigToolDlg::SetConfigButtonsEnabled(bool enabled) {
    for (QPushButton* button :
         {m_advParamButton, m_getParamButton, m_loginButton, m_setParamButton}) {
        button->setEnabled(enabled);
    }
}

bool CConfigToolDlg::RunAdvancedDialog(AdvancedParams& record, bool loggedIn) {
    m_advParamDlg.SetData(&record, loggedIn);
    const auto arrow = OverrideCursor::ForOperator();
    return m_advParamDlg.DoModal(this) == CDialog::IDOK;
}

void CConfigToolDlg::ShowLineLost(std::string_view reason) {
    m_serialSink.SerialError(kLineLost, reason);
}

void CConfigToolDlg::HandleReceivedBlock(std::string block) {
    m_parser.HandleBlock(block);
    UpdateControls();
    ScrollLogToEnd();
}

void CConfigToolDlg::OnBlockWaiting() {
    // During a command sequence the block waits; RunSequence runs it when the sequence
    // has ended, so answers take effect in order and never in the middle of an operation.
    // While the Advanced Parameters dialog waits for the operator no command is being
    // sent, so the block runs at once: the log keeps up, and an answer parsed now is
    // overwritten by an accepted "Set" only in the fields the dialog covers.
    if (m_sequenceDepth == 0 || m_advParamDlg.IsOpen()) {
        m_handover.RunPending();
    }
    // A line that hung up while the window was idle is closed at once; during a sequence
    // the sequence notices it and closes it when it ends. The Advanced Parameters dialog is
    // the exception again: its sequence waits for the operator, who may take minutes, and
    // must not hold a dead line (or the node of an adapter that is plugged in again) that
    // long. The dialog learns first, so that its "Set" cannot start writing to it.
    if (m_sequenceDepth == 0) {
        RunSequence(&ConfigController::CloseLostLine, SequenceCursor::Unchanged);
    } else if (m_advParamDlg.IsOpen() && m_port.IsOpen() && m_port.HungUp()) {
        m_advParamDlg.DeviceLost();
        m_controller.CloseLostLine();
    }
}

void CConfigToolDlg::OnPortsChanged(const std::vector<PortMonitor::Event>& events) {
    // Safe in the middle of a sequence too: the port reads the directory only while it
    // opens, and keeps its path from then on.
    for (const PortMonitor::Event& event : events) {
        if (event.added) {
            m_ports.Add(event.port);
        } else {
            m_ports.Remove(event.port.path);
        }
    }
    m_portList.Describe(m_ports);
}

void CConfigToolDlg::OnCommand(int id) {
    switch (id) {
        case kOpenClose:
            RunSequence(&ConfigController::ToggleOpen);
            break;
        case kLogin:
            RunSequence(&ConfigController::Login);
            break;
        case kClear:
            RunSequence(&ConfigController::ClearLog);
            break;
        case kGetParam:
            RunSequence(&ConfigController::GetParameters);
            break;
        case kSetParam:
            RunSequence(&ConfigController::SetParameters);
            break;
        case kAdvParam:
            RunSequence(&ConfigController::EditAdvancedParameters);
            break;
        default:
            CDialog::OnCommand(id);
            break;
    }
}

void CConfigToolDlg::RunSequence(void (ConfigController::*operation)(), SequenceCursor cursor) {
    if (m_sequenceDepth > 0) {
        return;
    }
    {
        // Clicks and keys wait until the sequence ends; the cursor tells the operator why.
        std::optional<OverrideCursor> busy;
        if (cursor == SequenceCursor::Busy) {
            busy.emplace(Qt::WaitCursor);
        }
        ++m_sequenceDepth;
        (m_controller.*operation)();
        --m_sequenceDepth;
    }
    m_handover.RunPending();
    if (std::exchange(m_closeRequested, false)) {
        close();
    }
}

void CConfigToolDlg::OnSysCommand(unsigned id) {
    switch (id & 0xFFF0) {
        case SystemMenu::kAboutCommand: {
            CAboutDlg about(this);
            about.DoModal();
            break;
        }
        case SystemMenu::kCloseCommand:
            close();
            break;
        case SystemMenu::kSaveProfileCommand:
            RunFileCommand(&FileCommands::SaveProfile);
            break;
        case SystemMenu::kLoadProfileCommand:
            RunFileCommand(&FileCommands::LoadProfile);
            break;
        case SystemMenu::kSaveLogCommand:
            RunFileCommand(&FileCommands::SaveLog);
            break;
        case SystemMenu::kFindDeviceCommand:
            FindDevice();
            break;
        case SystemMenu::kHistoryCommand:
            ShowHistory();
            break;
        default:
            // Other system commands (move, size, minimise...) belong to the window manager.
            break;
    }
}

void CConfigToolDlg::RunFileCommand(void (FileCommands::*command)()) {
    // A sequence owns the record until it ends: a profile loaded in the middle of Set
    // Param. would mix two sets of values on the device.
    if (m_sequenceDepth == 0) {
        (m_fileCommands.*command)();
    }
}

void CConfigToolDlg::FindDevice() {
    // A sequence holds the port and the lists the search would change.
    if (m_sequenceDepth > 0) {
        return;
    }
    const int baudIndex = m_portBaudList->GetCurSel();
    const std::string_view firstRate =
        EntryAt(BaudRateList, baudIndex >= 0 ? baudIndex : kDefaultBaudIndex);
    m_deviceFinder.Start(m_ports, static_cast<std::uint32_t>(std::stoul(std::string(firstRate))),
                         m_port.IsOpen() ? m_port.path() : std::string());
}

void CConfigToolDlg::ShowHistory() {
    if (m_sequenceDepth > 0) {
        return;
    }
    const std::string* id = m_state.reported.Find(ParameterId::Id);
    if (id == nullptr) {
        m_messages.Present(this, {tr("No device has reported its ID yet: open the port, and the "
                                     "history of the device that answers is shown."),
                                  {},
                                  Message::Icon::None});
        return;
    }
    std::string error;
    const auto changes = m_journal.History(*id, error);
    if (!changes) {
        m_messages.Present(this, {tr("The journal cannot be read."),
                                  QString::fromLocal8Bit(error.c_str()), Message::Icon::None});
        return;
    }
    HistoryDialog history(*id, *changes, this);
    const auto arrow = OverrideCursor::ForOperator();
    history.exec();
}

void CConfigToolDlg::SelectFoundDevice(int portNumber, std::uint32_t baud) {
    m_comList->SetCurSel(portNumber - PortDirectory::kFirstPort);
    const auto rate = std::ranges::find(BaudRateList, std::to_string(baud));
    if (rate != BaudRateList.end()) {
        m_portBaudList->SetCurSel(static_cast<int>(rate - BaudRateList.begin()));
    }
}

void CConfigToolDlg::CloseWhatBlocksAndEnd() {
    // Innermost first: each closes as its own close box closes it (a dialog cancelled, a
    // message taken as read), and its modal run ends once control returns to it.
    for (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != this;
         modal = QApplication::activeModalWidget()) {
        modal->close();
        if (QApplication::activeModalWidget() == modal) {
            break;  // it would not close; the window's own close is still asked for
        }
    }
    // Once the closed windows' runs have returned: a sequence around one of them takes the
    // request up when it ends, as it does for any close asked for meanwhile.
    QMetaObject::invokeMethod(
        this, [this] { close(); }, Qt::QueuedConnection);
}

void CConfigToolDlg::OpenPort(int portNumber) {
    if (m_port.IsOpen()) {
        return;
    }
    m_comList->SetCurSel(portNumber - PortDirectory::kFirstPort);
    OnCommand(kOpenClose);
}

void CConfigToolDlg::OnHelp() {
    // The option table lines up in columns only in a fixed pitch.
    m_messages.Present(this, {HelpText(), {}, Message::Icon::None, DialogFont::FixedPitch()});
}

void CConfigToolDlg::done(int result) {
    if (m_sequenceDepth > 0) {
        return;
    }
    m_deviceFinder.Cancel();
    m_controller.Shutdown();
    CDialog::done(result);
}

void CConfigToolDlg::closeEvent(QCloseEvent* event) {
    // Ending the window now would close the port under the command in flight; the request
    // is taken up when the sequence ends, as if the operator made it then.
    if (m_sequenceDepth > 0) {
        m_closeRequested = true;
        event->ignore();
        return;
    }
    CDialog::closeEvent(event);
}

void CConfigToolDlg::contextMenuEvent(QContextMenuEvent* event) {
    if (m_systemMenu != nullptr) {
        m_systemMenu->popup(event->globalPos());
    }
}

void CConfigToolDlg::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::HelpContents)) {
        OnHelp();
        return;
    }
    CDialog::keyPressEvent(event);
}

}  // namespace qk::ui
