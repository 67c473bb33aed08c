#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "DeviceModel.h"
#include "PseudoTerminal.h"
#include "SimOptions.h"

namespace qk::sim {

// A DeviceModel on the master end of a pseudo-terminal, served by its own thread from
// construction until Stop() or destruction. The tool opens slavePath() like a serial port,
// may close and reopen it at will, and sees the answers with the latency, chunking, data
// stream and hang-up that the options ask for.
//
// The thread never blocks on the tool: writes are non-blocking and queue while the tool is
// not reading (the data stream pauses once kMaxQueuedStreamBytes are waiting, so nothing is
// dropped and memory stays bounded). It sleeps in poll() between events and wakes at once
// for Stop().
//
// The data stream runs from the first command of a configuration session until the next
// confirmed handshake, which also drops stream data not yet written, as a device switching
// into configuration mode stops forwarding: otherwise a tool reopening the port would find
// its handshake reply behind up to kMaxQueuedStreamBytes of old data.
//
// It does not emulate line settings: a pty ignores baud rate, data bits and parity.
class SimulatedDevice {
  public:
    enum class Direction { Received, Sent };
    // Called on the device thread with each command the model received (as recorded in
    // ReceivedCommands) and each write made to the line. Must not call back into the device.
    using TrafficObserver = std::function<void(Direction, std::string_view bytes)>;

    static constexpr std::size_t kMaxQueuedStreamBytes = 64 * 1024;

    // Opens the pty and starts serving; throws std::system_error when the system refuses a
    // pty, a wake pipe or a thread.
    explicit SimulatedDevice(const SimOptions& options = {}, TrafficObserver observer = {});
    ~SimulatedDevice();

    SimulatedDevice(const SimulatedDevice&) = delete;
    SimulatedDevice& operator=(const SimulatedDevice&) = delete;

    const std::string& slavePath() const { return m_pty.slavePath(); }

    // Ends the thread and waits for it; answers not yet written are dropped. Idempotent.
    void Stop();

    // True once the device has closed its end (the hang-up option).
    bool HungUp() const;

    // Thread-safe views of the model.
    std::optional<std::string> Value(std::string_view key) const;
    void SetValue(std::string_view key, std::string value);
    std::vector<std::string> ReceivedCommands() const;
    std::size_t HandshakeReplies() const;
    std::uint64_t BytesReceived() const;
    // Every byte the line brought, in order, whatever the line's speed: what the tool put on
    // the wire.
    std::string LineBytes() const;
    // The speed set on the pty's termios by whoever opened it last; nullopt once hung up.
    std::optional<std::uint32_t> LineSpeed() const { return m_pty.LineSpeed(); }
    bool InConfigMode() const;
    bool LoggedIn() const;

    // Waits until `condition` holds for the model, checked under the device's lock after
    // every event; false on timeout. The condition must not call back into the device.
    bool WaitUntil(const std::function<bool(const DeviceModel&)>& condition,
                   std::chrono::milliseconds timeout) const;
    bool WaitUntilHungUp(std::chrono::milliseconds timeout) const;

    // Bytes the device has ready that the pty has not taken (the tool is not reading), and
    // a wait for at least `bytes` of them.
    std::size_t PendingBytes() const;
    bool WaitUntilPending(std::size_t bytes, std::chrono::milliseconds timeout) const;

  private:
    using Clock = DeviceModel::Clock;

    struct ScheduledWrite {
        Clock::time_point due;
        std::string bytes;
    };
    struct Outgoing {
        std::string bytes;
        bool isStream;
    };

    void Run();
    void ReadFromLine(Clock::time_point now);
    void Schedule(const std::string& answer, Clock::time_point now);
    void ReleaseDue(Clock::time_point now);
    void QueueStream(Clock::time_point now);
    void WriteToLine();
    void DropUnsentStream();
    void HangUpLine();
    int PollTimeout(Clock::time_point now) const;
    std::size_t QueuedBytes() const;
    void PublishPending();
    void Notify();

    const SimOptions m_options;
    const TrafficObserver m_observer;
    PseudoTerminal m_pty;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    DeviceModel m_model;             // guarded by m_mutex
    bool m_hungUp = false;           // guarded by m_mutex
    std::size_t m_pendingBytes = 0;  // guarded by m_mutex
    std::string m_lineBytes;         // guarded by m_mutex

    // Device thread only.
    const Clock::time_point m_started;
    std::deque<ScheduledWrite> m_scheduled;  // answers waiting for their time
    std::deque<Outgoing> m_outgoing;         // due writes, each written as one piece
    bool m_frontPartlyWritten = false;
    Clock::time_point m_lastScheduled{};
    std::optional<Clock::time_point> m_nextStreamLine;
    bool m_lineDead = false;
};

}  // namespace qk::sim
