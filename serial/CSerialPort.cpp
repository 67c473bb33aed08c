#include "CSerialPort.h"

#include <algorithm>
#include <climits>

namespace qk {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long a timed read waits in one go before it looks at the open flag again, and so
// the longest Close waits for such a read.
constexpr milliseconds kReadSlice{10};
// Caps m * n + m so that large arguments cannot overflow the clock.
constexpr std::uint64_t kLongestRead = 24ULL * 60 * 60 * 1000;

}  // namespace

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
    ForgetHangUp();
    m_portNumber = portNumber;
    m_path = m_ports.PathFor(portNumber);
    if (m_path.empty()) {
        return OpenFailed("COM" + std::to_string(portNumber) +
                          " stands for no device; port mapping: " + m_ports.DescribeMapping());
    }
    std::string failure;
    std::unique_ptr<Line> line =
        OpenLine(m_path, {m_ports.DescribeMapping(), m_connectTimeout}, failure);
    if (!line) {
        // Which adapter that is, so the operator can tell it from the others on the desk.
        if (const auto* entry = m_ports.Find(portNumber); entry != nullptr) {
            if (const std::string adapter = entry->identity.Describe(); !adapter.empty()) {
                failure += "; adapter: " + adapter;
            }
        }
        return OpenFailed(std::move(failure));
    }
    {
        std::lock_guard lock(m_readMutex);
        m_line = std::move(line);
    }
    m_readTimeoutMs = 0;
    m_opened = true;
    NoteSettingsErrors(m_line->Start({baud, dataBits, stopBitsCode, parityCode}));
    if (!m_settingsError.empty()) {
        // A line that does not run as asked garbles every byte while looking open: it
        // counts as a port that would not open, with the port's own reason.
        const std::string reason = m_settingsError;
        Close();
        // A line lost while it was being set up is this failure, told once.
        ForgetHangUp();
        return OpenFailed(reason);
    }
    return true;
}

void CSerialPort::SetState(std::uint32_t baud, int dataBits, int stopBitsCode, int parityCode) {
    if (!m_opened || !m_line) {
        return;
    }
    NoteSettingsErrors(m_line->Change({baud, dataBits, stopBitsCode, parityCode}));
}

bool CSerialPort::SetReadTimeouts(unsigned milliseconds) {
    if (!m_opened) {
        return false;
    }
    m_readTimeoutMs = milliseconds;
    return true;
}

bool CSerialPort::Write(const char* data, unsigned length) {
    if (length == 0) {
        return true;
    }
    if (!m_opened || !m_line) {
        m_sink.SerialError(kWriteComFailed,
                           (m_path.empty() ? "the port" : m_path) + " is not open");
        return false;
    }
    if (m_hungUp) {
        return false;
    }
    const milliseconds budget{100ULL * length + 500};
    const Line::Written written = m_line->Write(data, length, budget, m_stopRequested);
    switch (written.end) {
        case Line::WriteEnd::Done:
            return true;
        case Line::WriteEnd::Stopped:
            return false;  // the one who asked to stop says so
        case Line::WriteEnd::HungUp:
            NoteHangUp(written.detail);
            return false;
        case Line::WriteEnd::Failed:
            m_sink.SerialError(kWriteComFailed, m_path + ": " + written.detail);
            return false;
    }
    return false;
}

int CSerialPort::Read(char* buffer, unsigned capacity) {
    capacity = std::min<unsigned>(capacity, INT_MAX);
    if (buffer == nullptr || capacity == 0) {
        return 0;
    }
    std::lock_guard lock(m_readMutex);
    if (!m_line || m_hungUp) {
        return 0;
    }
    const unsigned perByte = m_readTimeoutMs;
    if (perByte == 0) {
        return static_cast<int>(ReadAvailable(buffer, capacity));
    }
    const std::uint64_t budget = std::uint64_t{perByte} * capacity + perByte;
    const auto deadline = Clock::now() + milliseconds{std::min(budget, kLongestRead)};
    std::size_t got = 0;
    for (;;) {
        got += ReadAvailable(buffer + got, capacity - got);
        const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now());
        if (got == capacity || !m_opened || m_hungUp || left.count() <= 0) {
            break;
        }
        m_line->WaitForInput(std::min(left, kReadSlice));
    }
    return static_cast<int>(got);
}

std::size_t CSerialPort::ReadAvailable(char* buffer, std::size_t capacity) {
    const Line::Received received = m_line->ReadNow(buffer, capacity);
    if (!received.hangUp.empty()) {
        NoteHangUp(received.hangUp);
    }
    return received.count;
}

void CSerialPort::Close() {
    // Cleared first, so a timed read in progress gives up within one slice.
    m_opened = false;
    std::lock_guard lock(m_readMutex);
    ReleaseLine();
}

void CSerialPort::ReleaseLine() {
    if (!m_line) {
        return;
    }
    if (const std::string lost = m_line->Release(m_hungUp); !lost.empty()) {
        NoteHangUp(lost);
    }
    m_line.reset();
}

std::string CSerialPort::LineRemark() const {
    return m_opened && m_line ? m_line->Remark() : std::string();
}

std::string CSerialPort::SharedWith() const {
    return m_opened && m_line ? m_line->SharedWith() : std::string();
}

void CSerialPort::ForgetHangUp() {
    std::lock_guard lock(m_hangUpMutex);
    m_hungUp = false;
    m_hangUpReason.clear();
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

void CSerialPort::NoteSettingsErrors(const Line::Problems& problems) {
    for (const Line::Problem& problem : problems) {
        if (!m_settingsError.empty()) {
            m_settingsError += "; ";
        }
        m_settingsError += m_path + ": " + problem.what + ": " + problem.why;
    }
}

}  // namespace qk
