#pragma once

#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DeviceSearch.h"
#include "MessagePresenter.h"

class QWidget;

namespace qk::ui {

// The main window's Find Device: looks for a device on every port at once, in the
// background (DeviceSearch), while a progress dialog that blocks nothing shows the port
// and line speed being tried. When every port is done it selects the first port, by COM
// number, where a device answered, with that line speed, and says what it found; it opens
// nothing. A raw TCP port is tried once, at its server's speed, and says so. The window stays
// usable meanwhile, its ports of course busy.
//
// Cancel (the progress dialog's button, its close box, Escape) stops the scans and waits
// for their threads; so does Cancel() and the finder's end, so a window that closes during
// a search leaves no thread behind. The scans' reports are posted to the window's thread;
// those of a cancelled search are dropped.
//
// It does not decide when it may run, beyond refusing while the window's port is open.
class DeviceFinder : public QObject {
    Q_OBJECT
  public:
    // Gets the COM number and line speed found; 0 for a line at its server's own speed,
    // which leaves the window's speed as it is.
    using Select = std::function<void(int portNumber, std::uint32_t baud)>;

    DeviceFinder(QWidget& owner, MessagePresenter& messages, Select select);
    ~DeviceFinder() override;

    // Searches every port of `ports`, each first at `firstRate`. Refused, with a message,
    // while the window has a port open (`openPort`, its path; empty when none is) and when
    // there is no port; while a search runs, its progress comes to the front instead.
    void Start(const PortDirectory& ports, std::uint32_t firstRate, const std::string& openPort);
    void Cancel();
    bool IsRunning() const { return m_search != nullptr; }

    // The pauses of the scans; the command line's by default.
    void SetTiming(DeviceScanner::Timing timing) { m_timing = timing; }
    // The progress dialog while a search runs, nullptr otherwise.
    QProgressDialog* progress() const { return m_progress; }

  private:
    void OnTrying(unsigned search, int number, std::uint32_t rate);
    void OnFinished(unsigned search, const PortFinding& finding);
    void ShowProgress();
    void Report();
    void EndSearch();
    void Tell(const QString& text, const QString& detail = {});

    QWidget& m_owner;
    MessagePresenter& m_messages;
    const Select m_select;
    DeviceScanner::Timing m_timing;
    QPointer<QProgressDialog> m_progress;
    unsigned m_searchCount = 0;               // numbers the searches; the last one counts
    std::map<int, QString> m_states;          // COM number -> what its scan is doing
    std::map<int, std::size_t> m_ratesTried;  // COM number -> rates begun
    std::vector<PortFinding> m_findings;
    std::unique_ptr<DeviceSearch> m_search;
};

}  // namespace qk::ui
