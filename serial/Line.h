#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qk {

// The line settings of an Open or a SetState, as the caller gave them: stop-bits code 0 is
// one stop bit, parity code 0 none, 1 odd, 2 even.
struct LineRequest {
    std::uint32_t baud = 9600;
    int dataBits = 8;
    int stopBitsCode = 0;
    int parityCode = 0;
};

// One open line to a device, as CSerialPort drives it: a local serial device through termios
// (TtyLine) or Win32 (ComLine), or a port served over the network (NetworkLine). A line
// does what it is asked and says what happened; the port decides what to report, and when.
//
// Threads: ReadNow and WaitForInput come from the receive thread, everything else from the
// owner's; the port never lets a read run beside Release.
class Line {
  public:
    // A setting the line would not take: which one and why, in the system's words.
    struct Problem {
        std::string what;
        std::string why;
    };
    using Problems = std::vector<Problem>;

    struct Received {
        std::size_t count = 0;
        // Why the line is gone for good, once nothing more will come; empty while it is not.
        std::string hangUp;
    };

    enum class WriteEnd { Done, Failed, HungUp, Stopped };
    struct Written {
        WriteEnd end = WriteEnd::Done;
        // What went wrong, with how many bytes went out ("timed out after 600 ms (3 of 10
        // bytes written)"); for a hang-up, its cause.
        std::string detail;
    };

    virtual ~Line() = default;

    // At opening: the line made 8-bit transparent, set as asked, and emptied of what waited.
    virtual Problems Start(const LineRequest& request) = 0;
    // A later change of the line settings.
    virtual Problems Change(const LineRequest& request) = 0;
    // What has arrived, without waiting.
    virtual Received ReadNow(char* buffer, std::size_t capacity) = 0;
    // Waits at most `limit` for bytes to read, or for the line's end.
    virtual void WaitForInput(std::chrono::milliseconds limit) = 0;
    // All of `data` within `budget`, unless `stopRequested` (when given) says to give up on
    // the way.
    virtual Written Write(const char* data, std::size_t length, std::chrono::milliseconds budget,
                          const std::function<bool()>& stopRequested) = 0;
    // Lets the line go once what was written has gone out, putting back what opening
    // changed unless the line is gone (`hungUp`). Returns why the line turned out to be lost
    // on the way (nothing written reached the other end); empty otherwise.
    virtual std::string Release(bool hungUp) = 0;
    // What the operator should know of this line beyond its settings; empty for most.
    virtual std::string Remark() const { return {}; }
    // Other programs that have the line's device open too; empty where none can.
    virtual std::string SharedWith() const { return {}; }
};

inline constexpr std::chrono::milliseconds kDefaultConnectTimeout{5000};

// What opening a line may need besides its path.
struct LineOptions {
    // The COM mapping in force, named when a device is missing.
    std::string portMapping;
    // How long reaching a network port may take: the name's lookup, the connection and the
    // server's first answers.
    std::chrono::milliseconds connectTimeout = kDefaultConnectTimeout;
};

// Opens the line `path` names: a network port for rfc2217:// and tcp:// (see
// NetworkAddress.h), otherwise the local serial device. nullptr, with why in `failure`, when
// it cannot be opened.
std::unique_ptr<Line> OpenLine(const std::string& path, const LineOptions& options,
                               std::string& failure);

// Why this build cannot reach network ports ("... are not in the Windows build yet");
// empty where it can.
std::string NetworkPortsMissing();

// Why `path` cannot name a port here, as a front end checks what it is given: a network
// address that is malformed or that this build cannot reach; empty for every other path.
std::string PortPathProblem(const std::string& path);

}  // namespace qk
