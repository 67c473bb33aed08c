#include "TtyLine.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "LineSettings.h"
#include "LineSnapshot.h"
#include "PortDiagnostics.h"
#include "Termios2.h"

namespace qk {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

int PollMilliseconds(Clock::duration left) {
    const auto ms = std::chrono::ceil<milliseconds>(left).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, INT_MAX));
}

// Opens `path` for this program alone. Returns the descriptor, or -1 with the errno in
// `err` (ENOTTY for anything that is not a terminal, which is then left untouched).
int OpenExclusive(const std::string& path, int& err) {
    struct stat node {};
    if (stat(path.c_str(), &node) != 0) {
        err = errno;
        return -1;
    }
    if (!S_ISCHR(node.st_mode)) {
        err = ENOTTY;
        return -1;
    }
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        err = errno;
        return -1;
    }
    // A program started with a standard stream closed would get the port as descriptor 0,
    // 1 or 2, and whatever it prints would go to the device.
    if (fd <= STDERR_FILENO) {
        const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        err = errno;
        close(fd);
        if (moved < 0) {
            return -1;
        }
        fd = moved;
    }
    // flock stops a second copy of any program that locks, root included; TIOCEXCL stops
    // every other non-root opener. flock comes first so a port someone else holds never
    // gets our exclusive flag.
    if (!isatty(fd)) {
        err = ENOTTY;
    } else if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        err = errno;
    } else {
        return fd;
    }
    close(fd);
    return -1;
}

// One read that never waits: the count, 0 when nothing has arrived, -1 with `err` set when
// the read failed.
ssize_t ReadFromLine(int fd, char* buffer, std::size_t capacity, int& err) {
    for (;;) {
        const ssize_t count = ::read(fd, buffer, capacity);
        if (count >= 0) {
            return count;
        }
        if (errno != EINTR) {
            err = errno;
            return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
        }
    }
}

// The errors of a line that is gone for good: the other end of a pty closed, a USB adapter
// pulled, the tty hung up.
bool IsHangUpError(int err) {
    return err == EIO || err == ENXIO || err == ENODEV || err == EPIPE;
}

// A hung-up tty reads as empty, so an empty read alone cannot tell; poll can.
bool PollSaysHungUp(int fd) {
    pollfd line{fd, POLLIN, 0};
    return poll(&line, 1, 0) > 0 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// How long Close lets queued output go out at the line's speed before it puts back the
// settings the line had: a changed speed would garble the tail of the last command.
constexpr milliseconds kDrainLimit{1000};
constexpr milliseconds kDrainPoll{5};

void WaitForOutputToDrain(int fd) {
    const auto deadline = Clock::now() + kDrainLimit;
    for (int queued = 0; ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0;) {
        if (Clock::now() >= deadline) {
            return;
        }
        poll(nullptr, 0, static_cast<int>(kDrainPoll.count()));
    }
}

std::string Progress(std::size_t written, std::size_t length) {
    return " (" + std::to_string(written) + " of " + std::to_string(length) + " bytes written)";
}

struct WriteFailure {
    std::string text;  // empty when everything went out
    int err = 0;       // the errno behind it, 0 for a timeout
};

// How often a write that waits for the line looks whether it should stop.
constexpr milliseconds kWriteSlice{50};

// Writes all of `data` before `budget` runs out, unless asked to stop on the way.
WriteFailure WriteAll(int fd, const char* data, std::size_t length, milliseconds budget,
                      const std::function<bool()>& stopRequested) {
    const auto deadline = Clock::now() + budget;
    std::size_t written = 0;
    while (written < length) {
        const ssize_t count = ::write(fd, data + written, length - written);
        if (count > 0) {
            written += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return {ErrnoText(errno) + Progress(written, length), errno};
        }
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            return {"timed out after " + std::to_string(budget.count()) + " ms" +
                        Progress(written, length),
                    0};
        }
        if (stopRequested && stopRequested()) {
            return {"stopped" + Progress(written, length), ECANCELED};
        }
        pollfd room{fd, POLLOUT, 0};
        if (poll(&room, 1, PollMilliseconds(std::min<Clock::duration>(left, kWriteSlice))) < 0 &&
            errno != EINTR) {
            return {ErrnoText(errno) + Progress(written, length), errno};
        }
    }
    return {};
}

class TtyLine final : public Line {
  public:
    TtyLine(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {
        m_savedLine = SaveLineSettings(fd);
    }
    ~TtyLine() override { Release(true); }
    TtyLine(const TtyLine&) = delete;
    TtyLine& operator=(const TtyLine&) = delete;

    Problems Start(const LineRequest& request) override {
        // The driver queue sizes a Windows port asks for have no POSIX counterpart: the
        // kernel sizes a tty's buffers itself. A POSIX tty also never holds back transfers
        // after a line error, so there is nothing to clear before a write.
        Problems problems;
        termios current{};
        if (tcgetattr(m_fd, &current) != 0) {
            problems.push_back({"reading the line settings", ErrnoText(errno)});
        } else if (const termios raw = MakeRawLine(current); tcsetattr(m_fd, TCSANOW, &raw) != 0) {
            problems.push_back({"raw mode", ErrnoText(errno)});
        }
        for (Problem& problem : Change(request)) {
            problems.push_back(std::move(problem));
        }
        if (tcflush(m_fd, TCIOFLUSH) != 0) {
            problems.push_back({"discarding queued bytes", ErrnoText(errno)});
        }
        return problems;
    }

    Problems Change(const LineRequest& request) override {
        termios current{};
        if (tcgetattr(m_fd, &current) != 0) {
            return {{"reading the line settings", ErrnoText(errno)}};
        }
        std::string error;
        const auto settings = BuildTermios(current, request.baud, request.dataBits,
                                           request.stopBitsCode, request.parityCode, error);
        if (!settings) {
            return {{"line settings", error}};
        }
        if (tcsetattr(m_fd, TCSANOW, &settings->attributes) != 0) {
            return {{"line settings", ErrnoText(errno)}};
        }
        const std::string rate = std::to_string(request.baud) + " baud";
        if (settings->needsOtherSpeed) {
            if (const int err = SetOtherSpeed(m_fd, request.baud); err != 0) {
                return {{rate, ErrnoText(err)}};
            }
        }
        // A driver may round a rate it cannot make exactly; a UART still understands the
        // device within about 2 percent, so only a rate farther off counts as refused.
        if (const auto actual = ReadLineSpeed(m_fd);
            actual && std::abs(static_cast<double>(*actual) - request.baud) > request.baud * 0.02) {
            return {{rate, "the line runs at " + std::to_string(*actual) + " baud"}};
        }
        return {};
    }

    Received ReadNow(char* buffer, std::size_t capacity) override {
        int err = 0;
        ssize_t count = ReadFromLine(m_fd, buffer, capacity, err);
        if (count == 0 && PollSaysHungUp(m_fd)) {
            // A hung-up line also polls as readable: one more read takes what may have
            // arrived meanwhile, and an empty one confirms the hang-up.
            count = ReadFromLine(m_fd, buffer, capacity, err);
            if (count == 0) {
                return {0, "the line was hung up (the device or its adapter is gone)"};
            }
        }
        if (count < 0) {
            // Any other failed read counts as an empty poll.
            return {0, IsHangUpError(err) ? ErrnoText(err) : std::string()};
        }
        return {static_cast<std::size_t>(count), {}};
    }

    void WaitForInput(milliseconds limit) override {
        pollfd input{m_fd, POLLIN, 0};
        poll(&input, 1, PollMilliseconds(limit));
    }

    Written Write(const char* data, std::size_t length, milliseconds budget,
                  const std::function<bool()>& stopRequested) override {
        const WriteFailure failure = WriteAll(m_fd, data, length, budget, stopRequested);
        if (failure.text.empty()) {
            return {};
        }
        if (failure.err == ECANCELED) {
            return {WriteEnd::Stopped, failure.text};
        }
        if (IsHangUpError(failure.err)) {
            return {WriteEnd::HungUp, ErrnoText(failure.err)};
        }
        return {WriteEnd::Failed, failure.text};
    }

    std::string Release(bool hungUp) override {
        if (m_fd < 0) {
            return {};
        }
        // The line goes back as it was found, so a terminal is not left raw and another
        // program finds its own settings; a hung-up line refuses, which changes nothing here.
        if (m_savedLine && !hungUp) {
            WaitForOutputToDrain(m_fd);
            RestoreLineSettings(m_fd, *m_savedLine);
        }
        // The exclusive flag belongs to the tty, not the descriptor: while anyone else keeps
        // the tty open (a pty's other end, a getty) it would refuse our own next opening.
        // The flock goes with the descriptor. Neither result changes what Close does.
        ioctl(m_fd, TIOCNXCL);
        close(m_fd);
        m_fd = -1;
        return {};
    }

    std::string SharedWith() const override { return OtherUsers(m_path); }

  private:
    int m_fd;
    std::string m_path;
    std::optional<LineSnapshot> m_savedLine;  // as the line was before opening
};

}  // namespace

std::unique_ptr<Line> OpenTtyLine(const std::string& path, const std::string& portMapping,
                                  std::string& failure) {
    int err = 0;
    const int fd = OpenExclusive(path, err);
    if (fd < 0) {
        failure = DescribeOpenFailure(path, err, portMapping);
        return nullptr;
    }
    return std::make_unique<TtyLine>(fd, path);
}

}  // namespace qk
