#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "CSerialPort.h"
#include "Win32Line.h"
#include "Win32Text.h"

namespace qk {
namespace {

HANDLE Handle(void* handle) {
    return static_cast<HANDLE>(handle);
}

// What a serial driver answers once its device is gone: a USB adapter pulled, a line
// closed under the port.
bool IsHangUpError(DWORD error) {
    return error == ERROR_BAD_COMMAND || error == ERROR_ACCESS_DENIED ||
           error == ERROR_DEVICE_REMOVED || error == ERROR_OPERATION_ABORTED ||
           error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_GEN_FAILURE;
}

std::string DescribeOpenFailure(const std::string& path, DWORD error, const std::string& mapping) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return path + " is in use by another program";
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return path + ": " + Win32ErrorText(error) + "; port mapping: " + mapping;
        default:
            return path + ": " + Win32ErrorText(error);
    }
}

std::string Progress(DWORD written, unsigned length) {
    return " (" + std::to_string(written) + " of " + std::to_string(length) + " bytes written)";
}

}  // namespace

DCB BuildDcb(const DCB& current, std::uint32_t baud, int dataBits, int stopBitsCode,
             int parityCode) {
    DCB dcb = current;
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = baud;
    dcb.ByteSize = static_cast<BYTE>(dataBits);
    dcb.StopBits = static_cast<BYTE>(stopBitsCode);
    dcb.Parity = static_cast<BYTE>(parityCode);
    dcb.fParity = parityCode != 0 ? TRUE : FALSE;
    return dcb;
}

COMMTIMEOUTS BuildTimeouts(unsigned readMilliseconds) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = readMilliseconds == 0 ? MAXDWORD : 0;
    timeouts.ReadTotalTimeoutMultiplier = readMilliseconds;
    timeouts.ReadTotalTimeoutConstant = readMilliseconds;
    timeouts.WriteTotalTimeoutMultiplier = 100;
    timeouts.WriteTotalTimeoutConstant = 500;
    return timeouts;
}

bool CSerialPort::OpenLine(const std::string& path, std::string& failure) {
    // "COM12" names a device only as "\\.\COM12"; the short form works up to COM9.
    std::string device = path;
    if ((path.starts_with("COM") || path.starts_with("com")) && path.size() > 3 &&
        std::all_of(path.begin() + 3, path.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        device = "\\\\.\\" + path;
    }
    // No sharing: the port is this program's alone while it is open.
    const HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        failure = DescribeOpenFailure(path, GetLastError(), m_ports.DescribeMapping());
        return false;
    }
    DCB saved{};
    saved.DCBlength = sizeof saved;
    if (GetCommState(handle, &saved)) {
        static_assert(sizeof saved <= sizeof(LineSnapshot::bytes));
        LineSnapshot snapshot;
        std::memcpy(snapshot.bytes.data(), &saved, sizeof saved);
        m_savedLine = snapshot;
    }
    std::lock_guard lock(m_readMutex);
    m_handle = handle;
    return true;
}

void CSerialPort::ApplyLineSettings(std::uint32_t baud, int dataBits, int stopBitsCode,
                                    int parityCode) {
    const HANDLE handle = Handle(m_handle);
    if (!SetupComm(handle, 1024, 1024)) {
        NoteSettingsError("queue sizes", Win32ErrorText(GetLastError()));
    }
    COMMTIMEOUTS timeouts = BuildTimeouts(0);
    if (!SetCommTimeouts(handle, &timeouts)) {
        NoteSettingsError("timeouts", Win32ErrorText(GetLastError()));
    }
    SetState(baud, dataBits, stopBitsCode, parityCode);
    if (!PurgeComm(handle, PURGE_TXCLEAR | PURGE_RXCLEAR)) {
        NoteSettingsError("discarding queued bytes", Win32ErrorText(GetLastError()));
    }
}

void CSerialPort::SetState(std::uint32_t baud, int dataBits, int stopBitsCode, int parityCode) {
    const HANDLE handle = Handle(m_handle);
    if (!m_opened || handle == nullptr) {
        return;
    }
    DCB current{};
    current.DCBlength = sizeof current;
    if (!GetCommState(handle, &current)) {
        NoteSettingsError("reading the line settings", Win32ErrorText(GetLastError()));
        return;
    }
    DCB wanted = BuildDcb(current, baud, dataBits, stopBitsCode, parityCode);
    if (!SetCommState(handle, &wanted)) {
        NoteSettingsError("line settings", Win32ErrorText(GetLastError()));
    }
}

std::string CSerialPort::SharedWith() const {
    return {};  // Windows opens a COM port for one program only
}

bool CSerialPort::SetReadTimeouts(unsigned milliseconds) {
    const HANDLE handle = Handle(m_handle);
    if (!m_opened || handle == nullptr) {
        return false;
    }
    COMMTIMEOUTS timeouts = BuildTimeouts(milliseconds);
    if (!SetCommTimeouts(handle, &timeouts)) {
        return false;
    }
    m_readTimeoutMs = milliseconds;
    return true;
}

bool CSerialPort::Write(const char* data, unsigned length) {
    if (length == 0) {
        return true;
    }
    const HANDLE handle = Handle(m_handle);
    if (!m_opened || handle == nullptr) {
        m_sink.SerialError(kWriteComFailed,
                           (m_path.empty() ? "the port" : m_path) + " is not open");
        return false;
    }
    if (m_hungUp) {
        return false;
    }
    // A line error would hold back the transfer until it is cleared.
    DWORD errors = 0;
    ClearCommError(handle, &errors, nullptr);
    DWORD written = 0;
    if (!WriteFile(handle, data, length, &written, nullptr)) {
        const DWORD error = GetLastError();
        if (IsHangUpError(error)) {
            NoteHangUp(Win32ErrorText(error));
        } else {
            m_sink.SerialError(kWriteComFailed,
                               m_path + ": " + Win32ErrorText(error) + Progress(written, length));
        }
        return false;
    }
    if (written < length) {
        m_sink.SerialError(kWriteComFailed, m_path + ": timed out after " +
                                                std::to_string(100ULL * length + 500) + " ms" +
                                                Progress(written, length));
        return false;
    }
    return true;
}

int CSerialPort::Read(char* buffer, unsigned capacity) {
    capacity = std::min<unsigned>(capacity, INT_MAX);
    if (buffer == nullptr || capacity == 0) {
        return 0;
    }
    std::lock_guard lock(m_readMutex);
    const HANDLE handle = Handle(m_handle);
    if (handle == nullptr || m_hungUp) {
        return 0;
    }
    // Most polls find nothing. Asking the driver what is waiting costs less than a read
    // that finds nothing (under Wine a fraction: a read is a round trip to Wine's server),
    // so a read is made only for bytes that are there, or when the question fails.
    DWORD errors = 0;
    COMSTAT status{};
    if (ClearCommError(handle, &errors, &status) && status.cbInQue == 0) {
        return 0;
    }
    DWORD got = 0;
    if (!ReadFile(handle, buffer, capacity, &got, nullptr)) {
        // Any other failed read counts as an empty poll.
        if (const DWORD error = GetLastError(); IsHangUpError(error)) {
            NoteHangUp(Win32ErrorText(error));
        }
        return 0;
    }
    return static_cast<int>(got);
}

void CSerialPort::ReleaseLine() {
    const HANDLE handle = Handle(m_handle.exchange(nullptr));
    if (handle == nullptr) {
        return;
    }
    // The port goes back with the settings it had, for the next program.
    if (m_savedLine && !m_hungUp) {
        DCB saved{};
        std::memcpy(&saved, m_savedLine->bytes.data(), sizeof saved);
        SetCommState(handle, &saved);
    }
    m_savedLine.reset();
    CloseHandle(handle);
}

}  // namespace qk
