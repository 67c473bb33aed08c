#include "CSerialPort.h"

namespace qk {

CSerialPort::CSerialPort(const PortDirectory& ports, SerialMessageSink& sink)
    : m_ports(ports), m_sink(sink) {}

CSerialPort::~CSerialPort() {
    Close();
}

bool CSerialPort::Open(int portNumber, std::uint32_t baud, int dataBits, int stopBitsCode,
                       int parityCode) {
    // Opening again without Close would lose the line (and keep the port locked).
    Close();
    m_settingsError.clear();
    {
        std::lock_guard lock(m_hangUpMutex);
        m_hungUp = false;
        m_hangUpReason.clear();
    }
    m_portNumber = portNumber;
    m_path = m_ports.PathFor(portNumber);
    if (m_path.empty()) {
        return OpenFailed("COM" + std::to_string(portNumber) +
                          " stands for no device; port mapping: " + m_ports.DescribeMapping());
    }
    std::string failure;
    if (!OpenLine(m_path, failure)) {
        // Which adapter that is, so the operator can tell it from the others on the desk.
        if (const auto* entry = m_ports.Find(portNumber); entry != nullptr) {
            if (const std::string adapter = entry->identity.Describe(); !adapter.empty()) {
                failure += "; adapter: " + adapter;
            }
        }
        return OpenFailed(std::move(failure));
    }
    m_readTimeoutMs = 0;
    m_opened = true;
    ApplyLineSettings(baud, dataBits, stopBitsCode, parityCode);
    if (!m_settingsError.empty()) {
        // A line that does not run as asked garbles every byte while looking open: it
        // counts as a port that would not open, with the port's own reason.
        const std::string reason = m_settingsError;
        Close();
        return OpenFailed(reason);
    }
    return true;
}

void CSerialPort::Close() {
    // Cleared first, so a timed read in progress gives up within one slice.
    m_opened = false;
    std::lock_guard lock(m_readMutex);
    ReleaseLine();
}

std::string CSerialPort::HangUpReason() const {
    std::lock_guard lock(m_hangUpMutex);
    return m_hangUpReason;
}

void CSerialPort::NoteHangUp(const std::string& cause) {
    std::lock_guard lock(m_hangUpMutex);
    if (m_hungUp) {
        return;
    }
    m_hangUpReason = "COM" + std::to_string(m_portNumber) + " (" + m_path + "): " + cause;
    m_hungUp = true;
}

bool CSerialPort::OpenFailed(std::string detail) {
    m_sink.SerialError(kOpenComFailed, detail);
    return false;
}

void CSerialPort::NoteSettingsError(const std::string& what, const std::string& why) {
    if (!m_settingsError.empty()) {
        m_settingsError += "; ";
    }
    m_settingsError += m_path + ": " + what + ": " + why;
}

}  // namespace qk
