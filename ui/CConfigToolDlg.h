#pragma once

#include <QPlainTextEdit>
#include <string>

#include "BlockHandover.h"
#include "CAdvParamDlg.h"
#include "CComboBox.h"
#include "CDialog.h"
#include "CSerialPort.h"
#include "CStatusBarCtrl.h"
#include "CloseRequestFilter.h"
#include "ComPortList.h"
#include "ConfigController.h"
#include "ControllerView.h"
#include "DeviceChanges.h"
#include "DeviceFinder.h"
#include "DeviceState.h"
#include "FileChooser.h"
#include "FileCommands.h"
#include "GbkLineEdit.h"
#include "InfoLogView.h"
#include "MessagePresenter.h"
#include "PortDirectory.h"
#include "PortWatcher.h"
#include "ReceiveLoop.h"
#include "ResponseParser.h"
#include "SystemMenu.h"
#include "UiPacer.h"
#include "WarningBoxSink.h"

class QPushButton;
class QLabel;

namespace qk::ui {

// The main window (template 102): shows the serial settings, the login key, the device's
// basic parameters, the two status labels, the information log and the status bar, and
// hands every button to the configuration controller. It shows; the controller decides.
//
// It owns, for its whole life, the device record, the port and the receive loop with its
// hand-over, the parser, the pacer and the controller, each given what it needs by
// reference. Received blocks are parsed on the window thread: the hand-over's wake posts
// a queued call that runs the waiting block (parse, show, scroll), so the record is only
// ever touched on this thread and needs no lock.
//
// While a button's command sequence runs (its pauses keep the window painting) the window
// takes no input, runs no received block and does not end, and it shows the busy cursor,
// or the arrow while a message box or the Advanced Parameters dialog waits for the
// operator. Input waits and takes effect when the sequence ends; so do the blocks that
// arrived meanwhile, and so does a request to close the window (the close box, the system
// menu's Close), acted on as if it had been made then. Blocks have one exception: while
// the Advanced Parameters dialog is open, waiting for the operator, they run as they do
// when the window is idle, since the dialog reads the record only when it opens and writes
// it only when "Set" is accepted, both whole steps on this thread. A line that hangs up is
// closed by the sequence that notices it, or at once when the window is idle. Ending the
// window closes an open port and ends the receive loop first.
//
// Serial adapters plugged in or out while it runs come and go in the COM list, numbered by
// the port directory: the entries and the selection stay, their descriptions follow. An
// open port whose adapter is pulled hangs up and is closed as any lost line is.
//
// The close box ends the window whatever is open over it: the About box, the Advanced
// Parameters dialog, a message or a file dialog is closed first as its own close box
// would close it, a search is cancelled, and a running sequence ends first as above.
//
// Its context menu's file items (Save Profile…, Load Profile…, Save Log…) go to
// FileCommands, which asks the injected FileChooser for a file; like the rest of the
// window's input they are refused while a sequence runs, and none of them needs the port.
// Find Device… goes to DeviceFinder, which searches every port in the background while the
// window stays usable; it is refused during a sequence and while the port is open, and
// ending the window cancels it. History… shows the journal's changes of the device the
// window has read; Set Param. and Adv Param.'s Set are recorded there before they are sent.
//
// What it deliberately does not do: build commands, talk to the port, or decide anything
// about the device.
class CConfigToolDlg : public CDialog, public ControllerView {
    Q_OBJECT
  public:
    // `ports` come and go as `portWatcher` says.
    CConfigToolDlg(PortDirectory ports, MessagePresenter& messages, FileChooser& files,
                   PortWatcher& portWatcher, ControllerTiming timing = {},
                   QWidget* owner = nullptr);
    // With ports that stay as given.
    CConfigToolDlg(PortDirectory ports, MessagePresenter& messages, FileChooser& files,
                   ControllerTiming timing = {}, QWidget* owner = nullptr);
    // With the standard file dialogs, for uses that never choose a file.
    CConfigToolDlg(PortDirectory ports, MessagePresenter& messages, ControllerTiming timing = {},
                   QWidget* owner = nullptr);
    ~CConfigToolDlg() override;

    // DeviceView
    void SetStatusText(int part, std::string_view text) override;
    void SetLoginLabel(std::string_view text) override;
    void SetConfigModeLabel(std::string_view text) override;
    void SelectDeviceBaud(int index) override;
    void SelectProtocol(int index) override;
    void ShowMessage(std::string_view text) override;
    void UpdateControls() override;
    void UpdateState() override;
    void ScrollLogToEnd() override;

    // ControllerView
    SerialSelection GetSerialSelection() override;
    void SetOpenButtonCaption(std::string_view text) override;
    void EnableConfigButtons() override;
    void DisableConfigButtons() override;
    bool RunAdvancedDialog(AdvancedParams& record, bool loggedIn) override;
    void ShowLineLost(std::string_view reason) override;
    // The fixed message in its box, the detail beneath it (what was tried, what to try).
    void ShowFailure(std::string_view message, std::string_view detail) override;

    // What the window does with a received block: parse it, show the record, scroll the
    // log to its end.
    void HandleReceivedBlock(std::string block);
    // A system-menu command: (id & 0xFFF0) == 16 opens the About box; SC_CLOSE closes; the
    // SystemMenu's file commands run their item.
    void OnSysCommand(unsigned id);
    // F1: the command-line help, in a message box.
    void OnHelp();
    // Selects COM `portNumber` and opens it as the Open button does, unless a port is open.
    void OpenPort(int portNumber);
    // Where Set Param. and Adv Param.'s Set are recorded; by default the journal's default
    // place.
    void UseJournal(JournalChoice choice) { m_journal.Choose(std::move(choice)); }

    // Read-only views for tests and measurements.
    const DeviceState& state() const { return m_state; }
    bool IsPortOpen() const { return m_port.IsOpen(); }
    bool IsReceiving() const { return m_receiveLoop.IsRunning(); }
    bool InSequence() const { return m_sequenceDepth > 0; }
    CStatusBarCtrl* statusBar() const { return m_statusBar; }
    SystemMenu* systemMenu() const { return m_systemMenu; }
    DeviceFinder& deviceFinder() { return m_deviceFinder; }

    void done(int result) override;

  protected:
    void OnInitDialog() override;
    void DoDataExchange(Exchange direction) override;
    void OnCommand(int id) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void BindControls();
    void FillLists();
    void SetConfigButtonsEnabled(bool enabled);
    // The busy cursor is for the operator's sequences. The look for a lost line that every
    // block received while idle brings leaves the cursor alone: it never pauses, and a
    // change of cursor per block would make it flicker while a device streams.
    enum class SequenceCursor { Busy, Unchanged };
    void RunSequence(void (ConfigController::*operation)(),
                     SequenceCursor cursor = SequenceCursor::Busy);
    void OnBlockWaiting();
    void OnPortsChanged(const std::vector<PortMonitor::Event>& events);
    void RunFileCommand(void (FileCommands::*command)());
    void FindDevice();
    // The connected device's changes in the journal, in a read-only window.
    void ShowHistory();
    void SelectFoundDevice(int portNumber, std::uint32_t baud);
    void CloseWhatBlocksAndEnd();

    MessagePresenter& m_messages;
    PortWatcher& m_portWatcher;
    DeviceState m_state;
    CAdvParamDlg m_advParamDlg;
    PortDirectory m_ports;
    WarningBoxSink m_serialSink;
    CSerialPort m_port;
    BlockHandover m_handover;
    ReceiveLoop m_receiveLoop;
    ResponseParser m_parser;
    UiPacer m_pacer;
    ConfigController m_controller;
    WindowJournal m_journal;
    FileCommands m_fileCommands;
    DeviceFinder m_deviceFinder;

    // The controls the window works with, bound by ID.
    CComboBox* m_parityList = nullptr;
    CComboBox* m_dataBitsList = nullptr;
    QPushButton* m_loginButton = nullptr;
    QPushButton* m_getParamButton = nullptr;
    QPushButton* m_advParamButton = nullptr;
    CComboBox* m_portBaudList = nullptr;
    CComboBox* m_protocolList = nullptr;
    CComboBox* m_deviceBaudList = nullptr;
    QPushButton* m_setParamButton = nullptr;
    CComboBox* m_comList = nullptr;
    QPushButton* m_openButton = nullptr;
    GbkLineEdit* m_destAddressEdit = nullptr;
    GbkLineEdit* m_destPortEdit = nullptr;
    GbkLineEdit* m_loginKeyEdit = nullptr;
    QLabel* m_configModeLabel = nullptr;
    QLabel* m_loginLabel = nullptr;

    InfoLogView m_log;
    ComPortList m_portList;
    CStatusBarCtrl* m_statusBar = nullptr;
    SystemMenu* m_systemMenu = nullptr;
    int m_sequenceDepth = 0;
    bool m_closeRequested = false;  // during the running sequence
    CloseRequestFilter m_closeRequests{*this, [this] { CloseWhatBlocksAndEnd(); }};
};

}  // namespace qk::ui
