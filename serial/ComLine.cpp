#include "ComLine.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>
#include <thread>

#include "LineSnapshot.h"
#include "Win32Line.h"
#include "Win32Text.h"

namespace qk {
namespace {

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

std::string Progress(DWORD written, DWORD length) {
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

namespace {

class ComLine final : public Line {
  public:
    explicit ComLine(HANDLE handle) : m_handle(handle) {
        DCB saved{};
        saved.DCBlength = sizeof saved;
        if (GetCommState(handle, &saved)) {
            static_assert(sizeof saved <= sizeof(LineSnapshot::bytes));
            LineSnapshot snapshot;
            std::memcpy(snapshot.bytes.data(), &saved, sizeof saved);
            m_savedLine = snapshot;
        }
    }
    ~ComLine() override { Release(true); }
    ComLine(const ComLine&) = delete;
    ComLine& operator=(const ComLine&) = delete;

    Problems Start(const LineRequest& request) override {
        Problems problems;
        if (!SetupComm(m_handle, 1024, 1024)) {
            problems.push_back({"queue sizes", Win32ErrorText(GetLastError())});
        }
        // Reads return at once; a timed read is the port's, in slices.
        COMMTIMEOUTS timeouts = BuildTimeouts(0);
        if (!SetCommTimeouts(m_handle, &timeouts)) {
            problems.push_back({"timeouts", Win32ErrorText(GetLastError())});
        }
        for (Problem& problem : Change(request)) {
            problems.push_back(std::move(problem));
        }
        if (!PurgeComm(m_handle, PURGE_TXCLEAR | PURGE_RXCLEAR)) {
            problems.push_back({"discarding queued bytes", Win32ErrorText(GetLastError())});
        }
        return problems;
    }

    Problems Change(const LineRequest& request) override {
        DCB current{};
        current.DCBlength = sizeof current;
        if (!GetCommState(m_handle, &current)) {
            return {{"reading the line settings", Win32ErrorText(GetLastError())}};
        }
        DCB wanted = BuildDcb(current, request.baud, request.dataBits, request.stopBitsCode,
                              request.parityCode);
        if (!SetCommState(m_handle, &wanted)) {
            return {{"line settings", Win32ErrorText(GetLastError())}};
        }
        return {};
    }

    Received ReadNow(char* buffer, std::size_t capacity) override {
        // Most polls find nothing. Asking the driver what is waiting costs less than a read
        // that finds nothing (under Wine a fraction: a read is a round trip to Wine's
        // server), so a read is made only for bytes that are there, or when the question
        // fails.
        DWORD errors = 0;
        COMSTAT status{};
        if (ClearCommError(m_handle, &errors, &status) && status.cbInQue == 0) {
            return {};
        }
        DWORD got = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(capacity, MAXDWORD));
        if (!ReadFile(m_handle, buffer, wanted, &got, nullptr)) {
            // Any other failed read counts as an empty poll.
            const DWORD error = GetLastError();
            return {0, IsHangUpError(error) ? Win32ErrorText(error) : std::string()};
        }
        return {got, {}};
    }

    void WaitForInput(std::chrono::milliseconds limit) override {
        // Waiting for a comm event needs overlapped I/O; timed reads are rare (tests).
        std::this_thread::sleep_for(limit);
    }

    Written Write(const char* data, std::size_t length, std::chrono::milliseconds,
                  const std::function<bool()>&) override {
        // The write timeouts set at opening bound it: 100 ms per byte plus 500 ms.
        // A line error would hold back the transfer until it is cleared.
        DWORD errors = 0;
        ClearCommError(m_handle, &errors, nullptr);
        DWORD written = 0;
        const auto count = static_cast<DWORD>(length);
        if (!WriteFile(m_handle, data, count, &written, nullptr)) {
            const DWORD error = GetLastError();
            if (IsHangUpError(error)) {
                return {WriteEnd::HungUp, Win32ErrorText(error)};
            }
            return {WriteEnd::Failed, Win32ErrorText(error) + Progress(written, count)};
        }
        if (written < count) {
            return {WriteEnd::Failed, "timed out after " + std::to_string(100ULL * count + 500) +
                                          " ms" + Progress(written, count)};
        }
        return {};
    }

    std::string Release(bool hungUp) override {
        if (m_handle == nullptr) {
            return {};
        }
        // The port goes back with the settings it had, for the next program.
        if (m_savedLine && !hungUp) {
            DCB saved{};
            std::memcpy(&saved, m_savedLine->bytes.data(), sizeof saved);
            SetCommState(m_handle, &saved);
        }
        CloseHandle(m_handle);
        m_handle = nullptr;
        return {};
    }

  private:
    HANDLE m_handle;
    std::optional<LineSnapshot> m_savedLine;  // as the port was before opening
};

}  // namespace

std::unique_ptr<Line> OpenComLine(const std::string& path, const std::string& portMapping,
                                  std::string& failure) {
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
        failure = DescribeOpenFailure(path, GetLastError(), portMapping);
        return nullptr;
    }
    return std::make_unique<ComLine>(handle);
}

}  // namespace qk
