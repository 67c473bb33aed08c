#include "NetworkLine.h"

#include <fcntl.h>
#include <gensio/gensio.h>
#include <gensio/sergensio.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "GensioService.h"
#include "HostLookup.h"
#include "TcpSocket.h"

namespace qk {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Received bytes held for the receive loop before the connection stops taking more, so
// that a reader who is busy elsewhere makes the server wait instead of this side growing.
constexpr std::size_t kInputLimit = 64 * 1024;
// How often a write that waits for room looks whether it should stop.
constexpr milliseconds kWriteSlice{50};
// How long closing may take once what was written has been acknowledged.
constexpr milliseconds kCloseLimit{2000};
constexpr milliseconds kAcknowledgePoll{5};
// How long an RFC 2217 server may take to answer a question about its line at closing.
constexpr milliseconds kProbeLimit{2000};

std::string Seconds(milliseconds duration) {
    const auto tenths = (duration.count() + 50) / 100;
    return std::to_string(tenths / 10) +
           (tenths % 10 != 0 ? "." + std::to_string(tenths % 10) : "") + " s";
}

// A SIGPIPE raised by a write on a connection the server has reset goes to the writing
// thread and would end the program; while this lives it is held back and then discarded,
// and the write reports the broken connection instead.
class SigpipeHeld {
  public:
    SigpipeHeld() {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe, &m_previous);
    }
    ~SigpipeHeld() {
        sigset_t pending;
        sigpending(&pending);
        if (!m_wasPending && sigismember(&pending, SIGPIPE) == 1) {
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            const timespec now{0, 0};
            sigtimedwait(&pipe, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    SigpipeHeld(const SigpipeHeld&) = delete;
    SigpipeHeld& operator=(const SigpipeHeld&) = delete;

  private:
    sigset_t m_previous{};
    bool m_wasPending = false;
};

// The four line settings RFC 2217 sets, in the order they are asked for.
enum Setting { kBaud, kDataBits, kParity, kStopBits, kSettings };

// What gensio's callbacks share with the line. It stays alive while gensio may still call
// back (gensio frees its reference when the connection's last reference goes), and while
// the line has it.
struct Channel {
    std::mutex mutex;
    std::condition_variable changed;
    bool opened = false;
    int openError = 0;
    unsigned localPort = 0;  // of the TCP connection, once open
    std::string input;
    bool inputPaused = false;
    int lostError = 0;  // why the connection ended; 0 while it is up
    bool writable = false;
    struct Answer {
        bool came = false;
        int error = 0;
        unsigned value = 0;
    };
    std::array<Answer, kSettings> answers;
    bool closed = false;
};

struct ChannelRef : gensio_frdata {
    std::shared_ptr<Channel> channel;
};

void Freed(gensio*, gensio_frdata* frdata) {
    delete static_cast<ChannelRef*>(frdata);
}

int OnEvent(gensio* io, void* user, int event, int err, unsigned char* buffer, gensiods* length,
            const char* const*) {
    auto& channel = *static_cast<Channel*>(user);
    bool pause = false;
    switch (event) {
        case GENSIO_EVENT_READ: {
            std::lock_guard lock(channel.mutex);
            if (err != 0) {
                channel.lostError = channel.lostError != 0 ? channel.lostError : err;
                pause = true;
            } else {
                channel.input.append(reinterpret_cast<const char*>(buffer), *length);
                pause = channel.input.size() >= kInputLimit;
                channel.inputPaused = pause;
            }
            channel.changed.notify_all();
            break;
        }
        case GENSIO_EVENT_WRITE_READY: {
            std::lock_guard lock(channel.mutex);
            channel.writable = true;
            channel.changed.notify_all();
            break;
        }
        default:
            return GE_NOTSUP;
    }
    // gensio is never called with the channel locked: its own locks come first elsewhere.
    if (pause) {
        gensio_set_read_callback_enable(io, false);
    }
    if (event == GENSIO_EVENT_WRITE_READY) {
        gensio_set_write_callback_enable(io, false);
    }
    return 0;
}

void OnOpened(gensio* io, int err, void* user) {
    auto& channel = *static_cast<Channel*>(user);
    // Asked here, on gensio's thread, while the connection is surely open: gensio reads the
    // port from state it frees, unguarded, once the server closes the connection, which
    // another thread's question could then meet.
    char localPort[32] = "0";
    gensiods size = sizeof localPort;
    const bool known =
        err == 0 && gensio_control(io, GENSIO_CONTROL_DEPTH_FIRST, GENSIO_CONTROL_GET,
                                   GENSIO_CONTROL_LPORT, localPort, &size) == 0;
    std::lock_guard lock(channel.mutex);
    channel.opened = true;
    channel.openError = err;
    channel.localPort = known ? static_cast<unsigned>(std::strtoul(localPort, nullptr, 10)) : 0;
    channel.changed.notify_all();
}

void OnClosed(gensio*, void* user) {
    auto& channel = *static_cast<Channel*>(user);
    std::lock_guard lock(channel.mutex);
    channel.closed = true;
    channel.changed.notify_all();
}

template <Setting setting>
void OnSettingAnswer(sergensio*, int err, unsigned value, void* user) {
    auto& channel = *static_cast<Channel*>(user);
    std::lock_guard lock(channel.mutex);
    channel.answers[setting] = {true, err, value};
    channel.changed.notify_all();
}

// RFC 2217's codes: parity 1 none, 2 odd, 3 even; stop size 1 one, 2 two, 3 one and a half.
unsigned RemoteParity(int parityCode) {
    return parityCode == 1   ? SERGENSIO_PARITY_ODD
           : parityCode == 2 ? SERGENSIO_PARITY_EVEN
                             : SERGENSIO_PARITY_NONE;
}

unsigned RemoteStopBits(int stopBitsCode) {
    return stopBitsCode == 1 ? 3u : stopBitsCode == 2 ? 2u : 1u;
}

std::string ParityName(unsigned remote) {
    switch (remote) {
        case SERGENSIO_PARITY_NONE:
            return "none";
        case SERGENSIO_PARITY_ODD:
            return "odd";
        case SERGENSIO_PARITY_EVEN:
            return "even";
        case SERGENSIO_PARITY_MARK:
            return "mark";
        case SERGENSIO_PARITY_SPACE:
            return "space";
        default:
            return std::to_string(remote);
    }
}

std::string StopBitsName(unsigned remote) {
    return remote == 1 ? "1" : remote == 2 ? "2" : remote == 3 ? "1.5" : std::to_string(remote);
}

class NetworkLine final : public Line {
  public:
    NetworkLine(const NetworkAddress& address, GensioService& service, milliseconds connectTimeout)
        : m_address(address),
          m_server(address.HostAndPort()),
          m_service(service),
          m_connectTimeout(connectTimeout),
          m_channel(std::make_shared<Channel>()) {}

    ~NetworkLine() override { Release(true); }
    NetworkLine(const NetworkLine&) = delete;
    NetworkLine& operator=(const NetworkLine&) = delete;

    bool Connect(const std::vector<HostAddress>& peers, Clock::time_point deadline,
                 std::string& failure) {
        std::string spec = m_address.Raw() ? "tcp" : "telnet(rfc2217),tcp";
        for (const HostAddress& peer : peers) {
            spec += "," + peer.numeric + "," + std::to_string(m_address.port);
        }
        gensio* io = nullptr;
        if (const int err = m_service.Allocate(spec, OnEvent, m_channel.get(), &io); err != 0) {
            failure = "cannot set up a connection to " + m_server + ": " + gensio_err_to_str(err);
            return false;
        }
        auto* ref = new ChannelRef;
        ref->freed = Freed;
        ref->channel = m_channel;
        gensio_set_frdata(io, ref);
        m_io = io;
        if (const int err = gensio_open(io, OnOpened, m_channel.get()); err != 0) {
            failure = "cannot connect to " + m_server + ": " + gensio_err_to_str(err);
            Disconnect();
            return false;
        }
        int openError = 0;
        {
            std::unique_lock lock(m_channel->mutex);
            if (!m_channel->changed.wait_until(lock, deadline, [&] { return m_channel->opened; })) {
                lock.unlock();
                failure = DescribeOpenTimeout(ConnectedTo(peers));
                Disconnect();
                return false;
            }
            openError = m_channel->openError;
        }
        if (openError != 0) {
            failure = DescribeConnectFailure(openError);
            Disconnect();
            return false;
        }
        gensio_set_read_callback_enable(io, true);
        WatchSocket(peers);
        return true;
    }

    Problems Start(const LineRequest& request) override {
        m_request = request;
        Problems problems = m_address.Raw() ? Problems{} : Negotiate(request);
        if (sergensio* serial = gensio_to_sergensio(m_io); serial != nullptr && problems.empty()) {
            // What the server's UART held before this connection is no answer to it.
            sergensio_flush(serial, SERGENSIO_FLUSH_RCV_XMIT_BUFFERS);
        }
        std::lock_guard lock(m_channel->mutex);
        m_channel->input.clear();
        return problems;
    }

    Problems Change(const LineRequest& request) override {
        m_request = request;
        return m_address.Raw() ? Problems{} : Negotiate(request);
    }

    Received ReadNow(char* buffer, std::size_t capacity) override {
        Received received;
        bool resume = false;
        {
            std::lock_guard lock(m_channel->mutex);
            std::string& input = m_channel->input;
            received.count = std::min(capacity, input.size());
            std::memcpy(buffer, input.data(), received.count);
            input.erase(0, received.count);
            if (m_channel->inputPaused && input.size() < kInputLimit / 2 &&
                m_channel->lostError == 0) {
                m_channel->inputPaused = false;
                resume = true;
            }
            if (received.count == 0 && m_channel->lostError != 0) {
                received.hangUp = DescribeLoss(m_channel->lostError);
            }
        }
        if (resume) {
            gensio_set_read_callback_enable(m_io, true);
        }
        return received;
    }

    void WaitForInput(milliseconds limit) override {
        std::unique_lock lock(m_channel->mutex);
        m_channel->changed.wait_for(
            lock, limit, [&] { return !m_channel->input.empty() || m_channel->lostError != 0; });
    }

    Written Write(const char* data, std::size_t length, milliseconds budget,
                  const std::function<bool()>& stopRequested) override {
        const auto deadline = Clock::now() + budget;
        std::size_t written = 0;
        while (written < length) {
            {
                std::lock_guard lock(m_channel->mutex);
                if (m_channel->lostError != 0) {
                    return {WriteEnd::HungUp, DescribeLoss(m_channel->lostError)};
                }
                m_channel->writable = false;
            }
            gensiods count = 0;
            int err = 0;
            {
                const SigpipeHeld held;
                err = gensio_write(m_io, &count, data + written, length - written, nullptr);
            }
            if (err != 0) {
                // A write after the connection ended fails for that reason, when known.
                std::lock_guard lock(m_channel->mutex);
                return {WriteEnd::HungUp,
                        DescribeLoss(m_channel->lostError != 0 ? m_channel->lostError : err)};
            }
            written += count;
            if (written == length) {
                break;
            }
            gensio_set_write_callback_enable(m_io, true);
            if (const auto end = WaitForRoom(deadline, stopRequested, written, length)) {
                return *end;
            }
        }
        return {};
    }

    std::string Release(bool hungUp) override {
        if (m_io == nullptr) {
            return {};
        }
        std::string lost;
        if (!hungUp) {
            lost = WaitForAcknowledgement();
        }
        if (!hungUp && lost.empty()) {
            lost = ProbeServer();
        }
        Disconnect();
        return lost;
    }

    std::string Remark() const override {
        if (!m_address.Raw()) {
            return {};
        }
        static constexpr std::array<char, 3> kParityLetters = {'N', 'O', 'E'};
        const char parity = m_request.parityCode >= 0 && m_request.parityCode <= 2
                                ? kParityLetters[static_cast<std::size_t>(m_request.parityCode)]
                                : '?';
        return m_address.Url() + ": raw TCP: the serial line runs as the server has set it up; " +
               std::to_string(m_request.baud) + " baud, " + std::to_string(m_request.dataBits) +
               " data bits, parity " + parity + " were not applied";
    }

  private:
    // Asks the server for each setting and waits for it to confirm; each it does not set as
    // asked is a problem.
    Problems Negotiate(const LineRequest& request) {
        sergensio* serial = gensio_to_sergensio(m_io);
        if (serial == nullptr) {
            return {{"line settings", m_server + " does not take line settings"}};
        }
        {
            std::lock_guard lock(m_channel->mutex);
            m_channel->answers = {};
        }
        const std::array<unsigned, kSettings> wanted = {
            request.baud, static_cast<unsigned>(request.dataBits), RemoteParity(request.parityCode),
            RemoteStopBits(request.stopBitsCode)};
        const std::array<int, kSettings> asked = {
            sergensio_baud(serial, wanted[kBaud], OnSettingAnswer<kBaud>, m_channel.get()),
            sergensio_datasize(serial, wanted[kDataBits], OnSettingAnswer<kDataBits>,
                               m_channel.get()),
            sergensio_parity(serial, wanted[kParity], OnSettingAnswer<kParity>, m_channel.get()),
            sergensio_stopbits(serial, wanted[kStopBits], OnSettingAnswer<kStopBits>,
                               m_channel.get())};
        if (std::ranges::any_of(asked, [](int err) { return err == GE_NOTSUP; })) {
            return {{"line settings",
                     m_server + " did not agree to RFC 2217 (COM-PORT-OPTION), so the line " +
                         "cannot be set from here: serve it with ser2net's telnet(rfc2217) " +
                         "accepter, or name it tcp://" + m_server +
                         " to use the server's settings"}};
        }
        const auto deadline = Clock::now() + m_connectTimeout;
        std::unique_lock lock(m_channel->mutex);
        m_channel->changed.wait_until(lock, deadline, [&] {
            for (std::size_t i = 0; i < kSettings; ++i) {
                if (asked[i] == 0 && !m_channel->answers[i].came) {
                    return m_channel->lostError != 0;
                }
            }
            return true;
        });
        if (m_channel->lostError != 0) {
            return {{"line settings", DescribeLoss(m_channel->lostError)}};
        }
        Problems problems;
        const std::array<std::string, kSettings> names = {
            std::to_string(request.baud) + " baud", std::to_string(request.dataBits) + " data bits",
            "parity " + ParityName(wanted[kParity]),
            StopBitsName(wanted[kStopBits]) + " stop bits"};
        for (std::size_t i = 0; i < kSettings; ++i) {
            const Channel::Answer& answer = m_channel->answers[i];
            const auto shown = [&](unsigned value) {
                return i == kParity     ? "parity " + ParityName(value)
                       : i == kStopBits ? StopBitsName(value) + " stop bits"
                       : i == kBaud     ? std::to_string(value) + " baud"
                                        : std::to_string(value) + " data bits";
            };
            if (asked[i] != 0) {
                problems.push_back(
                    {names[i], m_server + " refused: " + gensio_err_to_str(asked[i])});
            } else if (!answer.came) {
                problems.push_back({names[i], m_server + " did not confirm it within " +
                                                  Seconds(m_connectTimeout)});
            } else if (answer.error != 0) {
                problems.push_back(
                    {names[i], m_server + " refused: " + gensio_err_to_str(answer.error)});
            } else if (answer.value != wanted[i]) {
                problems.push_back(
                    {names[i], m_server + " runs the line at " + shown(answer.value)});
            }
        }
        return problems;
    }

    // Waits for room to write the rest; the write's end when it cannot go on.
    std::optional<Written> WaitForRoom(Clock::time_point deadline,
                                       const std::function<bool()>& stopRequested,
                                       std::size_t written, std::size_t length) {
        const std::string progress =
            " (" + std::to_string(written) + " of " + std::to_string(length) + " bytes written)";
        std::unique_lock lock(m_channel->mutex);
        for (;;) {
            if (m_channel->writable) {
                return std::nullopt;
            }
            if (m_channel->lostError != 0) {
                return Written{WriteEnd::HungUp, DescribeLoss(m_channel->lostError)};
            }
            const auto now = Clock::now();
            if (now >= deadline) {
                return Written{WriteEnd::Failed, m_server + " took no more data" + progress};
            }
            if (stopRequested) {
                lock.unlock();
                const bool stop = stopRequested();
                lock.lock();
                if (stop) {
                    return Written{WriteEnd::Stopped, "stopped" + progress};
                }
            }
            m_channel->changed.wait_until(lock, std::min(deadline, now + kWriteSlice));
        }
    }

    // What was sent must have reached the server before the connection goes, as a serial
    // port's output drains before it closes: a server that never acknowledges it is gone.
    std::string WaitForAcknowledgement() {
        if (m_socket < 0) {
            return {};
        }
        const auto deadline = Clock::now() + kUnacknowledgedLimit;
        for (;;) {
            {
                std::lock_guard lock(m_channel->mutex);
                if (m_channel->lostError != 0) {
                    return DescribeLoss(m_channel->lostError);
                }
            }
            const auto queued = UnacknowledgedBytes(m_socket);
            if (!queued || *queued == 0) {
                return {};
            }
            if (Clock::now() >= deadline) {
                return "the connection to " + m_server + " is lost: " + std::to_string(*queued) +
                       " bytes sent were not acknowledged within " + Seconds(kUnacknowledgedLimit) +
                       " (the server lost power, or the network is cut)";
            }
            std::this_thread::sleep_for(kAcknowledgePoll);
        }
    }

    // A server that went away while this side had nothing to send leaves a connection that
    // looks open, and a device that seems silent. An RFC 2217 server answers a question about
    // its line whatever the device does: no answer means the server is gone. (Raw TCP has
    // no such question; keepalive finds the same only later.)
    std::string ProbeServer() {
        sergensio* serial = m_address.Raw() ? nullptr : gensio_to_sergensio(m_io);
        if (serial == nullptr) {
            return {};
        }
        {
            std::lock_guard lock(m_channel->mutex);
            m_channel->answers[kBaud] = {};
        }
        if (sergensio_baud(serial, 0, OnSettingAnswer<kBaud>, m_channel.get()) != 0) {
            return {};
        }
        std::unique_lock lock(m_channel->mutex);
        if (m_channel->changed.wait_for(
                lock, kProbeLimit,
                [&] { return m_channel->answers[kBaud].came || m_channel->lostError != 0; }) &&
            m_channel->lostError == 0) {
            return {};
        }
        if (m_channel->lostError != 0) {
            return DescribeLoss(m_channel->lostError);
        }
        return "the connection to " + m_server + " is lost: the server did not answer within " +
               Seconds(kProbeLimit) + " (it lost power, or the network is cut)";
    }

    // Closes the connection and lets gensio free it; callbacks still under way find the
    // channel alive.
    void Disconnect() {
        gensio* io = std::exchange(m_io, nullptr);
        // Closed first, so that gensio's close is the last and ends the connection.
        if (m_socket >= 0) {
            close(std::exchange(m_socket, -1));
        }
        if (io == nullptr) {
            return;
        }
        if (gensio_close(io, OnClosed, m_channel.get()) == 0) {
            std::unique_lock lock(m_channel->mutex);
            m_channel->changed.wait_for(lock, kCloseLimit, [&] { return m_channel->closed; });
        }
        gensio_free(io);
    }

    // The connection's socket once it is open; -1 when the kernel no longer lists it.
    int ConnectedSocket(const std::vector<HostAddress>& peers) const {
        unsigned localPort = 0;
        {
            std::lock_guard lock(m_channel->mutex);
            localPort = m_channel->localPort;
        }
        return localPort == 0 ? -1 : FindConnectedSocket(localPort, peers);
    }

    // The line keeps a descriptor of its own on the socket: gensio closes its one when the
    // connection fails, and the number may then stand for anything.
    void WatchSocket(const std::vector<HostAddress>& peers) {
        const int fd = ConnectedSocket(peers);
        if (fd >= 0 && WatchConnection(fd, kKeepAliveIdle, kUnacknowledgedLimit)) {
            m_socket = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        }
    }

    std::string DescribeOpenTimeout(bool connected) const {
        if (connected) {
            // Only RFC 2217's negotiation keeps a connection made from being open.
            return m_server + " accepted the connection but did not take part in RFC 2217 " +
                   "within " + Seconds(m_connectTimeout) +
                   " (no answer to COM-PORT-OPTION): is it a raw TCP port (tcp://" + m_server +
                   ")?";
        }
        return "no connection to " + m_server + " within " + Seconds(m_connectTimeout) +
               ": nothing answers there (a wrong address, the server switched off, or a firewall "
               "that drops the connection); --connect-timeout gives more time";
    }

    std::string DescribeConnectFailure(int err) const {
        switch (err) {
            case GE_CONNREFUSE:
                return m_server + " refused the connection: nothing serves port " +
                       std::to_string(m_address.port) +
                       " there (is ser2net running, with this port in its configuration?)";
            case GE_HOSTDOWN:
                return m_server +
                       " cannot be reached: the host is down or there is no route "
                       "to it";
            case GE_TIMEDOUT:
                return "no connection to " + m_server + ": it does not answer";
            case GE_REMCLOSE:
                // ser2net turning a client away closes the connection before or after it
                // is open, as the two race: the same fact either way.
                return DescribeLoss(err);
            default:
                return "cannot connect to " + m_server + ": " + gensio_err_to_str(err);
        }
    }

    std::string DescribeLoss(int err) const {
        switch (err) {
            case GE_REMCLOSE:
                return m_server +
                       " closed the connection (the server stopped, or gave the "
                       "port to another client)";
            case GE_TIMEDOUT:
                return "the connection to " + m_server +
                       " is lost: the server stopped answering (it lost power, or the network "
                       "is cut)";
            default:
                return "the connection to " + m_server + " failed: " + gensio_err_to_str(err);
        }
    }

    const NetworkAddress m_address;
    const std::string m_server;
    GensioService& m_service;
    const milliseconds m_connectTimeout;
    const std::shared_ptr<Channel> m_channel;
    gensio* m_io = nullptr;
    int m_socket = -1;  // the line's own descriptor on the socket; -1 when not found
    LineRequest m_request;
};

}  // namespace

std::unique_ptr<Line> OpenNetworkLine(const NetworkAddress& address,
                                      std::chrono::milliseconds connectTimeout,
                                      std::string& failure) {
    const auto deadline = Clock::now() + connectTimeout;
    std::string why;
    GensioService* service = GensioService::Get(why);
    std::optional<std::vector<HostAddress>> peers;
    if (service != nullptr) {
        peers = LookUpHost(address.host, address.port, deadline, why);
    }
    if (peers) {
        auto line = std::make_unique<NetworkLine>(address, *service, connectTimeout);
        if (line->Connect(*peers, deadline, why)) {
            return line;
        }
    }
    failure = address.Url() + ": " + why;
    return nullptr;
}

}  // namespace qk
