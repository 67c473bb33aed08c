#include "DeviceSearch.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "CSerialPort.h"
#include "NetworkAddress.h"

namespace qk {
namespace {

// Keeps why the port would not open, for the port's finding; the scan's other reports
// (a write that failed half-way) say nothing the finding does not.
class OpenFailure final : public SerialMessageSink {
  public:
    void SerialError(std::string_view message, std::string_view detail) override {
        if (message == kOpenComFailed) {
            reason = detail;
        }
    }
    std::string reason;
};

}  // namespace

// Pauses shared by all the scans that end at once when the search is cancelled; without
// that, a cancelled scan would sleep out its handshake retry before it looked again.
class DeviceSearch::StopPacer final : public Pacer {
  public:
    void Pause(std::chrono::milliseconds duration) override {
        std::unique_lock lock(m_mutex);
        m_wake.wait_for(lock, duration, [this] { return m_stop.load(); });
    }
    bool StopRequested() const override { return m_stop.load(); }
    void Stop() {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic<bool> m_stop{false};
};

DeviceSearch::DeviceSearch(std::vector<PortDirectory::Entry> ports, std::uint32_t firstRate,
                           DeviceScanner::Timing timing, Observer observer)
    : m_ports(std::move(ports)),
      m_rates(ScanRates(firstRate)),
      m_timing(timing),
      m_observer(std::move(observer)),
      m_pacer(std::make_unique<StopPacer>()) {
    for (const auto& entry : m_ports) {
        m_numbers.push_back(entry.number);
    }
    m_threads.reserve(m_ports.size());
    try {
        for (const auto& port : m_ports) {
            m_threads.emplace_back([this, &port] {
                PortFinding finding = ScanPort(port);
                if (m_observer.finished) {
                    m_observer.finished(std::move(finding));
                }
                const std::lock_guard lock(m_doneMutex);
                ++m_done;
                m_doneChanged.notify_all();
            });
        }
    } catch (...) {
        // No destructor runs for a half-built search: the threads already started would
        // outlive the members they use.
        Cancel();
        throw;
    }
}

DeviceSearch::~DeviceSearch() {
    Cancel();
}

void DeviceSearch::Cancel() {
    m_pacer->Stop();
    Wait();
}

void DeviceSearch::Wait() {
    for (auto& thread : m_threads) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

bool DeviceSearch::WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_doneMutex);
    return m_doneChanged.wait_for(lock, timeout, [this] { return m_done == m_threads.size(); });
}

std::vector<std::uint32_t> DeviceSearch::RatesFor(const std::string& path) const {
    return IsRawTcpPath(path) ? std::vector<std::uint32_t>{m_rates.front()} : m_rates;
}

std::size_t DeviceSearch::RateCount(int number) const {
    const auto entry = std::ranges::find(m_ports, number, &PortDirectory::Entry::number);
    return entry == m_ports.end() ? 0 : RatesFor(entry->path).size();
}

std::size_t DeviceSearch::steps() const {
    std::size_t total = 0;
    for (const auto& entry : m_ports) {
        total += RatesFor(entry.path).size();
    }
    return total;
}

PortFinding DeviceSearch::ScanPort(const PortDirectory::Entry& entry) {
    if (entry.path.empty()) {
        return {entry.number, entry.path, {}, "no serial device stands behind it"};
    }
    // Each port on a directory of its own: the ports searched need not be COM numbers.
    PortDirectory own;
    own.Pin(PortDirectory::kFirstPort, entry.path);
    OpenFailure sink;
    CSerialPort port(own, sink);
    port.SetConnectTimeout(m_timing.connectTimeout);
    DeviceScanner scanner(port, PortDirectory::kFirstPort, *m_pacer, m_timing);
    PortFinding finding{entry.number, entry.path, {}, {}};
    const bool serverRate = IsRawTcpPath(entry.path);
    finding.result = scanner.Scan(RatesFor(entry.path), [&](std::uint32_t rate) {
        if (m_observer.trying) {
            m_observer.trying(entry.number, serverRate ? 0 : rate);
        }
    });
    if (serverRate) {
        finding.result.serverRate = true;
        finding.result.baud = 0;
    }
    finding.openFailure = sink.reason;
    return finding;
}

}  // namespace qk
