#include "SimulatedDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace qk::sim {
namespace {

void SetNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        throw std::system_error(errno, std::generic_category(), "fcntl O_NONBLOCK");
    }
}

void SetCloseOnExec(int fd) {
    if (fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "fcntl FD_CLOEXEC");
    }
}

// Pieces of an answer as they go out: `chunkSize` bytes each, except that a handshake
// reply stays whole because the tool accepts it only as one 9-byte read.
std::vector<std::string> SplitAnswer(const std::string& answer, std::size_t chunkSize) {
    std::vector<std::string> pieces;
    if (chunkSize == 0) {
        pieces.push_back(answer);
        return pieces;
    }
    const std::string_view reply = DeviceModel::kHandshakeReply;
    std::size_t start = 0;
    while (start < answer.size()) {
        const auto replyAt = answer.find(reply, start);
        const std::size_t end = replyAt == std::string::npos ? answer.size() : replyAt;
        for (std::size_t at = start; at < end; at += chunkSize) {
            pieces.push_back(answer.substr(at, std::min(chunkSize, end - at)));
        }
        if (replyAt == std::string::npos) {
            break;
        }
        pieces.emplace_back(reply);
        start = replyAt + reply.size();
    }
    return pieces;
}

}  // namespace

SimulatedDevice::SimulatedDevice(const SimOptions& options, TrafficObserver observer)
    : m_options(options),
      m_observer(std::move(observer)),
      m_model(options),
      m_started(Clock::now()) {
    SetNonBlocking(m_pty.masterFd());
    int wake[2];
    if (pipe(wake) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe");
    }
    m_wakeRead = wake[0];
    m_wakeWrite = wake[1];
    try {
        for (const int fd : wake) {
            SetNonBlocking(fd);
            SetCloseOnExec(fd);
        }
        m_thread = std::thread(&SimulatedDevice::Run, this);
    } catch (...) {
        close(m_wakeRead);
        close(m_wakeWrite);
        throw;
    }
}

SimulatedDevice::~SimulatedDevice() {
    Stop();
    close(m_wakeRead);
    close(m_wakeWrite);
}

void SimulatedDevice::Stop() {
    m_stop.store(true);
    const char wake = 1;
    // A full pipe already holds a wake-up, so a failed write loses nothing.
    [[maybe_unused]] const auto written = write(m_wakeWrite, &wake, 1);
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool SimulatedDevice::HungUp() const {
    std::lock_guard lock(m_mutex);
    return m_hungUp;
}

std::optional<std::string> SimulatedDevice::Value(std::string_view key) const {
    std::lock_guard lock(m_mutex);
    return m_model.Value(key);
}

void SimulatedDevice::SetValue(std::string_view key, std::string value) {
    std::lock_guard lock(m_mutex);
    m_model.SetValue(key, std::move(value));
}

std::vector<std::string> SimulatedDevice::ReceivedCommands() const {
    std::lock_guard lock(m_mutex);
    return m_model.ReceivedCommands();
}

std::size_t SimulatedDevice::HandshakeReplies() const {
    std::lock_guard lock(m_mutex);
    return m_model.HandshakeReplies();
}

std::string SimulatedDevice::LineBytes() const {
    std::lock_guard lock(m_mutex);
    return m_lineBytes;
}

std::uint64_t SimulatedDevice::BytesReceived() const {
    std::lock_guard lock(m_mutex);
    return m_model.BytesReceived();
}

bool SimulatedDevice::InConfigMode() const {
    std::lock_guard lock(m_mutex);
    return m_model.InConfigMode();
}

bool SimulatedDevice::LoggedIn() const {
    std::lock_guard lock(m_mutex);
    return m_model.LoggedIn();
}

bool SimulatedDevice::WaitUntil(const std::function<bool(const DeviceModel&)>& condition,
                                std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return condition(m_model); });
}

bool SimulatedDevice::WaitUntilHungUp(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_hungUp; });
}

std::size_t SimulatedDevice::PendingBytes() const {
    std::lock_guard lock(m_mutex);
    return m_pendingBytes;
}

bool SimulatedDevice::WaitUntilPending(std::size_t bytes, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_pendingBytes >= bytes; });
}

void SimulatedDevice::PublishPending() {
    const std::size_t pending = QueuedBytes();
    {
        std::lock_guard lock(m_mutex);
        if (pending == m_pendingBytes) {
            return;
        }
        m_pendingBytes = pending;
    }
    Notify();
}

void SimulatedDevice::Notify() {
    m_changed.notify_all();
}

void SimulatedDevice::Run() {
    while (!m_stop.load()) {
        auto now = Clock::now();
        if (!m_lineDead && m_options.hangupAfter.count() > 0 &&
            now >= m_started + m_options.hangupAfter) {
            HangUpLine();
        }
        ReleaseDue(now);
        QueueStream(now);
        WriteToLine();
        PublishPending();

        pollfd fds[2] = {};
        fds[0].fd = m_wakeRead;
        fds[0].events = POLLIN;
        fds[1].fd = m_lineDead ? -1 : m_pty.masterFd();
        fds[1].events = static_cast<short>(POLLIN | (m_outgoing.empty() ? 0 : POLLOUT));
        const int ready = poll(fds, 2, PollTimeout(Clock::now()));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            char drain[64];
            while (read(m_wakeRead, drain, sizeof drain) > 0) {
            }
        }
        if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            now = Clock::now();
            ReadFromLine(now);
        }
    }
}

void SimulatedDevice::ReadFromLine(Clock::time_point now) {
    char buffer[4096];
    for (;;) {
        const ssize_t count = read(m_pty.masterFd(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        }
        if (count <= 0) {
            // The slave side is kept open, so this only happens when the pty is gone;
            // stop watching it rather than spin on its hang-up.
            m_lineDead = true;
            return;
        }
        {
            std::lock_guard lock(m_mutex);
            m_lineBytes.append(buffer, static_cast<std::size_t>(count));
        }
        // At another speed than its own a UART hears only noise.
        if (m_options.lineSpeed != 0 && m_pty.LineSpeed() != m_options.lineSpeed) {
            continue;
        }
        std::string answer;
        std::vector<std::string> received;
        bool confirmed = false;
        {
            std::lock_guard lock(m_mutex);
            const auto& commands = m_model.ReceivedCommands();
            const std::size_t before = commands.size();
            const std::size_t lastLength = before == 0 ? 0 : commands.back().size();
            const std::size_t replies = m_model.HandshakeReplies();
            answer =
                m_model.Receive(std::string_view(buffer, static_cast<std::size_t>(count)), now);
            confirmed = m_model.HandshakeReplies() != replies;
            if (m_observer) {
                // A "?" line joins the query before it: report it as what it was.
                if (before > 0 && commands[before - 1].size() > lastLength) {
                    received.push_back(commands[before - 1].substr(lastLength));
                }
                received.insert(received.end(),
                                commands.begin() + static_cast<std::ptrdiff_t>(before),
                                commands.end());
            }
        }
        Notify();
        for (const auto& command : received) {
            m_observer(Direction::Received, command);
        }
        if (confirmed) {
            DropUnsentStream();
        }
        Schedule(answer, now);
    }
}

void SimulatedDevice::Schedule(const std::string& answer, Clock::time_point now) {
    if (answer.empty()) {
        return;
    }
    auto due = std::max(now + m_options.latency, m_lastScheduled);
    for (auto& piece : SplitAnswer(answer, m_options.chunkSize)) {
        m_scheduled.push_back({due, std::move(piece)});
        if (m_options.chunkSize != 0) {
            due += m_options.chunkGap;
        }
    }
    m_lastScheduled = due;
}

void SimulatedDevice::ReleaseDue(Clock::time_point now) {
    while (!m_scheduled.empty() && m_scheduled.front().due <= now) {
        m_outgoing.push_back({std::move(m_scheduled.front().bytes), false});
        m_scheduled.pop_front();
    }
}

std::size_t SimulatedDevice::QueuedBytes() const {
    std::size_t total = 0;
    for (const auto& piece : m_outgoing) {
        total += piece.bytes.size();
    }
    return total;
}

void SimulatedDevice::QueueStream(Clock::time_point now) {
    if (m_options.streamBytesPerSecond == 0 || m_lineDead) {
        return;
    }
    std::string batch;
    {
        std::lock_guard lock(m_mutex);
        if (!m_model.SessionStarted()) {
            m_nextStreamLine.reset();
            return;
        }
        const auto lineTime = std::chrono::nanoseconds(static_cast<long long>(
            m_model.DataLineLength() * 1'000'000'000ULL / m_options.streamBytesPerSecond));
        if (!m_nextStreamLine) {
            m_nextStreamLine = now;
        }
        // Answers cut into chunks must not have data lines wedged between their pieces.
        std::size_t queued = QueuedBytes();
        while (*m_nextStreamLine <= now && m_scheduled.empty() &&
               queued + batch.size() < kMaxQueuedStreamBytes) {
            batch += m_model.NextDataLine();
            *m_nextStreamLine += lineTime;
        }
    }
    // Held back by a tool that does not read: carry on at the set rate, not in a burst.
    if (*m_nextStreamLine + std::chrono::seconds(1) < now) {
        m_nextStreamLine = now;
    }
    if (!batch.empty()) {
        m_outgoing.push_back({std::move(batch), true});
        Notify();
    }
}

void SimulatedDevice::WriteToLine() {
    while (!m_outgoing.empty() && !m_lineDead) {
        auto& front = m_outgoing.front().bytes;
        const ssize_t count = write(m_pty.masterFd(), front.data(), front.size());
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                m_lineDead = true;
            }
            return;
        }
        const auto written = static_cast<std::size_t>(count);
        if (m_observer) {
            m_observer(Direction::Sent, std::string_view(front).substr(0, written));
        }
        if (written == front.size()) {
            m_outgoing.pop_front();
            m_frontPartlyWritten = false;
        } else {
            front.erase(0, written);
            m_frontPartlyWritten = true;
        }
    }
}

void SimulatedDevice::DropUnsentStream() {
    std::deque<Outgoing> kept;
    for (std::size_t i = 0; i < m_outgoing.size(); ++i) {
        auto& piece = m_outgoing[i];
        if (!piece.isStream) {
            kept.push_back(std::move(piece));
        } else if (i == 0 && m_frontPartlyWritten) {
            // Finish the line that is half out, so the next line on the wire is whole.
            std::size_t lineEnd = 0;  // its last byte
            if (m_options.crOnly) {
                lineEnd = piece.bytes.find('\r');
            } else if (!piece.bytes.starts_with('\n')) {
                lineEnd = piece.bytes.find("\r\n") + 1;
            }
            piece.bytes.resize(lineEnd + 1);
            kept.push_back(std::move(piece));
        }
    }
    m_outgoing = std::move(kept);
}

void SimulatedDevice::HangUpLine() {
    m_pty.HangUp();
    m_lineDead = true;
    m_scheduled.clear();
    m_outgoing.clear();
    {
        std::lock_guard lock(m_mutex);
        m_hungUp = true;
    }
    Notify();
}

int SimulatedDevice::PollTimeout(Clock::time_point now) const {
    std::optional<Clock::time_point> wake;
    const auto consider = [&](Clock::time_point at) {
        if (!wake || at < *wake) {
            wake = at;
        }
    };
    if (!m_scheduled.empty()) {
        consider(m_scheduled.front().due);
    }
    if (m_nextStreamLine && !m_lineDead && m_scheduled.empty() &&
        QueuedBytes() < kMaxQueuedStreamBytes) {
        consider(*m_nextStreamLine);
    }
    if (!m_lineDead && m_options.hangupAfter.count() > 0) {
        consider(m_started + m_options.hangupAfter);
    }
    if (!wake) {
        return -1;
    }
    if (*wake <= now) {
        return 0;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*wake - now);
    return static_cast<int>(std::min<long long>(wait.count(), 60'000));
}

}  // namespace qk::sim
