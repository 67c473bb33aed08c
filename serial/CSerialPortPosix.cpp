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

#include "CSerialPort.h"
#include "LineSettings.h"
#include "PortDiagnostics.h"
#include "Termios2.h"

namespace qk {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long a timed read waits in one go before it looks at the open flag again, and so
// the longest Close waits for such a read.
constexpr milliseconds kReadSlice{10};
// Caps m * n + m so that large arguments cannot overflow the clock.
constexpr std::uint64_t kLongestRead = 24ULL * 60 * 60 * 1000;

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
ssize_t ReadNow(int fd, char* buffer, std::size_t capacity, int& err) {
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

}  // namespace

bool CSerialPort::OpenLine(const std::string& path, std::string& failure) {
    int err = 0;
    const int fd = OpenExclusive(path, err);
    if (fd < 0) {
        failure = DescribeOpenFailure(path, err, m_ports.DescribeMapping());
        return false;
    }
    m_savedLine = SaveLineSettings(fd);
    std::lock_guard lock(m_readMutex);
    m_fd = fd;
    return true;
}

void CSerialPort::ApplyLineSettings(std::uint32_t baud, int dataBits, int stopBitsCode,
                                    int parityCode) {
    const int fd = m_fd;
    // The driver queue sizes a Windows port asks for have no POSIX counterpart: the kernel
    // sizes a tty's buffers itself. A POSIX tty also never holds back transfers after a
    // line error, so there is nothing to clear before a write.
    termios current{};
    if (tcgetattr(fd, &current) != 0) {
        NoteSettingsError("reading the line settings", ErrnoText(errno));
    } else if (const termios raw = MakeRawLine(current); tcsetattr(fd, TCSANOW, &raw) != 0) {
        NoteSettingsError("raw mode", ErrnoText(errno));
    }
    SetState(baud, dataBits, stopBitsCode, parityCode);
    if (tcflush(fd, TCIOFLUSH) != 0) {
        NoteSettingsError("discarding queued bytes", ErrnoText(errno));
    }
}

void CSerialPort::SetState(std::uint32_t baud, int dataBits, int stopBitsCode, int parityCode) {
    const int fd = m_fd;
    if (!m_opened || fd < 0) {
        return;
    }
    termios current{};
    if (tcgetattr(fd, &current) != 0) {
        NoteSettingsError("reading the line settings", ErrnoText(errno));
        return;
    }
    std::string error;
    const auto settings = BuildTermios(current, baud, dataBits, stopBitsCode, parityCode, error);
    if (!settings) {
        NoteSettingsError("line settings", error);
        return;
    }
    if (tcsetattr(fd, TCSANOW, &settings->attributes) != 0) {
        NoteSettingsError("line settings", ErrnoText(errno));
        return;
    }
    const std::string rate = std::to_string(baud) + " baud";
    if (settings->needsOtherSpeed) {
        if (const int err = SetOtherSpeed(fd, baud); err != 0) {
            NoteSettingsError(rate, ErrnoText(err));
            return;
        }
    }
    // A driver may round a rate it cannot make exactly; a UART still understands the device
    // within about 2 percent, so only a rate farther off counts as refused.
    if (const auto actual = ReadLineSpeed(fd);
        actual && std::abs(static_cast<double>(*actual) - baud) > baud * 0.02) {
        NoteSettingsError(rate, "the line runs at " + std::to_string(*actual) + " baud");
    }
}

std::string CSerialPort::SharedWith() const {
    return m_opened ? OtherUsers(m_path) : std::string();
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
    const int fd = m_fd;
    if (!m_opened || fd < 0) {
        m_sink.SerialError(kWriteComFailed,
                           (m_path.empty() ? "the port" : m_path) + " is not open");
        return false;
    }
    if (m_hungUp) {
        return false;
    }
    const milliseconds budget{100ULL * length + 500};
    const WriteFailure failure = WriteAll(fd, data, length, budget, m_stopRequested);
    if (failure.text.empty()) {
        return true;
    }
    if (failure.err == ECANCELED) {
        return false;  // the one who asked to stop says so
    }
    if (IsHangUpError(failure.err)) {
        NoteHangUp(ErrnoText(failure.err));
    } else {
        m_sink.SerialError(kWriteComFailed, m_path + ": " + failure.text);
    }
    return false;
}

int CSerialPort::Read(char* buffer, unsigned capacity) {
    capacity = std::min<unsigned>(capacity, INT_MAX);
    if (buffer == nullptr || capacity == 0) {
        return 0;
    }
    std::lock_guard lock(m_readMutex);
    const int fd = m_fd;
    if (fd < 0 || m_hungUp) {
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
        const auto left = deadline - Clock::now();
        if (got == capacity || !m_opened || m_hungUp || left <= Clock::duration::zero()) {
            break;
        }
        pollfd input{fd, POLLIN, 0};
        const int ready =
            poll(&input, 1, PollMilliseconds(std::min<Clock::duration>(left, kReadSlice)));
        if (ready < 0 && errno != EINTR) {
            break;
        }
    }
    return static_cast<int>(got);
}

std::size_t CSerialPort::ReadAvailable(char* buffer, std::size_t capacity) {
    const int fd = m_fd;
    int err = 0;
    ssize_t count = ReadNow(fd, buffer, capacity, err);
    if (count == 0 && PollSaysHungUp(fd)) {
        // A hung-up line also polls as readable: one more read takes what may have arrived
        // meanwhile, and an empty one confirms the hang-up.
        count = ReadNow(fd, buffer, capacity, err);
        if (count == 0) {
            NoteHangUp("the line was hung up (the device or its adapter is gone)");
        }
    }
    if (count < 0) {
        // Any other failed read counts as an empty poll.
        if (IsHangUpError(err)) {
            NoteHangUp(ErrnoText(err));
        }
        return 0;
    }
    return static_cast<std::size_t>(count);
}

void CSerialPort::ReleaseLine() {
    const int fd = m_fd.exchange(-1);
    if (fd < 0) {
        return;
    }
    // The line goes back as it was found, so a terminal is not left raw and another
    // program finds its own settings; a hung-up line refuses, which changes nothing here.
    if (m_savedLine && !m_hungUp) {
        WaitForOutputToDrain(fd);
        RestoreLineSettings(fd, *m_savedLine);
    }
    m_savedLine.reset();
    // The exclusive flag belongs to the tty, not the descriptor: while anyone else keeps
    // the tty open (a pty's other end, a getty) it would refuse our own next opening. The
    // flock goes with the descriptor. Neither result changes what Close does.
    ioctl(fd, TIOCNXCL);
    close(fd);
}

}  // namespace qk
