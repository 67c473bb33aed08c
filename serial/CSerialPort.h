#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "Line.h"
#include "PortDirectory.h"
#include "SerialLink.h"
#include "SerialMessageSink.h"

namespace qk {

// The one COM port: opened for exclusive use with the chosen line settings, written
// synchronously, read without waiting. Failures go to the owner's message sink. What stands
// behind the number is a Line: a local serial device, or a port served over the network
// (rfc2217://HOST:PORT, tcp://HOST:PORT), which is opened, written and read the same way.
//
// A line that fails for good (the device hangs up, its adapter is pulled) is noticed by
// reads (POLLHUP, EIO) and writes (EIO): from then on HungUp() is true, reads return 0 and
// writes fail without a report each, and the owner closes the port. Close puts back the
// line settings the port had before Open.
//
// Threads: the owner's thread opens, writes and closes; the receive thread only reads and
// tests IsOpen and HungUp. Close waits for a read in progress, so no read touches a closed
// descriptor.
class CSerialPort : public SerialLink {
  public:
    CSerialPort(const PortDirectory& ports, SerialMessageSink& sink);
    // Closes a port that is still open (the descriptor and its lock are released).
    ~CSerialPort() override;

    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // portNumber 1..14 (COM1..COM14, mapped to a device by the port directory); baud in
    // bits per second; dataBits 5..8; stopBitsCode 0 = one stop bit; parityCode 0 none,
    // 1 odd, 2 even. Reports "Open com failed!" and returns false when the device is
    // missing, held by another program, or refuses a setting (the reason names which).
    bool Open(int portNumber, std::uint32_t baud, int dataBits, int stopBitsCode,
              int parityCode) override;
    void SetState(std::uint32_t baud, int dataBits, int stopBitsCode, int parityCode);
    // How long reaching a network port may take (the lookup of its name, the connection,
    // the server's answers to the line settings); 5 s unless set. Takes effect at the next
    // Open.
    void SetConnectTimeout(std::chrono::milliseconds timeout) { m_connectTimeout = timeout; }
    // 0: reads return at once with what has arrived. m > 0: a read of n bytes may wait up
    // to m * n + m milliseconds. False (nothing stored) while the port is not open; Open
    // starts with 0.
    bool SetReadTimeouts(unsigned milliseconds) override;
    // Allowed 100 ms per byte plus 500 ms; reports "Write com failed" when it fails, unless
    // the line is gone.
    bool Write(const char* data, unsigned length) override;
    int Read(char* buffer, unsigned capacity) override;
    bool IsOpen() const override { return m_opened.load(); }
    bool HungUp() const override { return m_hungUp.load(); }
    std::string HangUpReason() const override;
    std::string SharedWith() const override;
    void Close() override;

    // Asked while a write waits for the line to take more bytes: true ends the write there,
    // unreported, so a stop request does not wait out a slow or stuck line.
    void SetStopCheck(std::function<bool()> stopRequested) {
        m_stopRequested = std::move(stopRequested);
    }

    // The device path of the current or last opening.
    const std::string& path() const { return m_path; }
    // Empty while closed.
    std::string LineRemark() const override;
    // Why the last Open or SetState could not apply a setting, with the system's text;
    // empty when every setting took.
    const std::string& settingsError() const { return m_settingsError; }

  private:
    bool OpenFailed(std::string detail);
    void NoteSettingsErrors(const Line::Problems& problems);
    void NoteHangUp(const std::string& cause);
    void ForgetHangUp();
    std::size_t ReadAvailable(char* buffer, std::size_t capacity);
    void ReleaseLine();

    const PortDirectory& m_ports;
    SerialMessageSink& m_sink;
    std::string m_path;
    std::string m_settingsError;
    int m_portNumber = 0;
    std::chrono::milliseconds m_connectTimeout = kDefaultConnectTimeout;
    std::function<bool()> m_stopRequested;
    // Set and reset by the owner's thread, under m_readMutex; the receive thread uses it
    // only under that lock.
    std::unique_ptr<Line> m_line;
    std::atomic<bool> m_opened{false};
    std::atomic<unsigned> m_readTimeoutMs{0};
    std::mutex m_readMutex;  // held by Read and Close
    std::atomic<bool> m_hungUp{false};
    mutable std::mutex m_hangUpMutex;  // guards m_hangUpReason
    std::string m_hangUpReason;
};

}  // namespace qk
