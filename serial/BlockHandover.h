#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

namespace qk {

// Hands received blocks from the receive thread to the owner's thread, in order, so that
// answers take effect in the order they came and the record is only ever touched on the
// owner's thread.
//
// The receive thread does not wait for the owner: blocks queue while the owner is busy (a
// paced command sequence, a message box), so the receive thread keeps reading and nothing
// waits in the kernel, where a hang-up would discard it. The queue is bounded: once it
// holds kMaxQueuedBytes, Deliver waits for the owner to take some, and the line's own
// buffers hold the rest meanwhile. So it never holds more than kMaxQueuedBytes plus one
// block.
//
// Release() frees a receive thread waiting for room without dropping anything; the owner
// then runs what is queued.
class BlockHandover {
  public:
    // 1 MiB: 22 seconds of a device sending without pause at 460800 baud, far more than
    // the longest command sequence (16 s of handshake polls, run before any loop starts).
    static constexpr std::size_t kMaxQueuedBytes = 1 << 20;

    // Runs on the owner's thread for each block.
    using Consumer = std::function<void(std::string&& block)>;
    // Called on the receive thread when the owner has something to look at (a block
    // waits, or the loop has ended): asks the owner's thread to call RunPending soon (the
    // window posts an event). May be empty for owners that wait with WaitAndRunPending.
    using Wake = std::function<void()>;

    explicit BlockHandover(Consumer consumer, Wake wake = {});

    // Receive thread: queues the block, waiting only while the queue is full. False once
    // the owner has released the loop (the block is queued all the same).
    bool Deliver(std::string block);
    // Receive thread: the loop has ended by itself (the line hung up); wakes the owner.
    void Finish();

    // Owner's thread: runs every queued block, in order; true when one was run. A call
    // from inside the consumer (a nested event loop) does nothing: the outer call picks
    // up what arrived meanwhile.
    bool RunPending();
    // Owner's thread, for owners without an event loop: waits up to `timeout` for a block
    // or the loop's end, then runs what is queued.
    bool WaitAndRunPending(std::chrono::milliseconds timeout);

    // Owner's thread: frees a receive thread that waits for room; from now on Deliver
    // returns false at once. Nothing queued is dropped.
    void Release();
    // Empties the queue and readies the hand-over for a new loop.
    void Reset();

    std::size_t queuedBytes() const;

  private:
    Consumer m_consumer;
    Wake m_wake;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::string> m_queue;
    std::size_t m_queuedBytes = 0;
    bool m_released = false;
    bool m_finished = false;
    bool m_inConsumer = false;
};

}  // namespace qk
