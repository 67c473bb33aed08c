#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace qk {

// Hands each received block from the receive thread to the owner's thread and makes the
// receive thread wait until the owner has handled it, so that answers take effect in
// order and the record is only ever touched on the owner's thread.
//
// Cancel() releases a waiting receive thread at once and the block it carried is never
// handled, so closing the port while a block waits can neither deadlock nor run that
// block later.
class BlockHandover {
public:
    // Runs on the owner's thread for each block.
    using Consumer = std::function<void(std::string&& block)>;
    // Called on the receive thread when a block waits: asks the owner's thread to call
    // RunPending soon (the window posts an event). May be empty for owners that poll.
    using Wake = std::function<void()>;

    explicit BlockHandover(Consumer consumer, Wake wake = {});

    using Clock = std::chrono::steady_clock;

    // Receive thread. Returns true once the block was handled, false when cancelled.
    // With `resumeAt`, returns no earlier than that either: a receive thread that would
    // only sleep until its next poll once the block is handled sleeps until then at once,
    // and a block handled before then does not wake it just to send it back to sleep.
    bool Deliver(std::string block, Clock::time_point resumeAt = {});

    // Owner's thread: handles the block that waits, if any; true when one was handled.
    // A call from inside the consumer (a nested event loop) does nothing: the outer call
    // picks up what arrived meanwhile.
    bool RunPending();
    // Owner's thread, for owners without an event loop: waits up to `timeout` for a block
    // and handles it.
    bool WaitAndRunPending(std::chrono::milliseconds timeout);

    // Owner's thread: drops the waiting block, releases the receive thread and refuses
    // further blocks until Reset().
    void Cancel();
    void Reset();

private:
    Consumer m_consumer;
    Wake m_wake;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<std::string> m_pending;
    std::uint64_t m_delivered = 0;  // blocks accepted by Deliver
    std::uint64_t m_handled = 0;    // blocks whose consumer has returned
    Clock::time_point m_resumeAt;   // of the block delivered last
    bool m_cancelled = false;
    bool m_inConsumer = false;
};

}  // namespace qk
