#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "BlockAssembler.h"
#include "BlockHandover.h"
#include "ByteSource.h"

namespace qk {

// The one background thread: polls the port every 10 ms, assembles blocks and queues each
// for the owner's thread through the hand-over, without waiting for the owner to run it.
// A read that fills the buffer is followed at once by the next; any other read waits for
// the next poll, so a device that streams in small writes is handed over in blocks of what
// arrived since the last poll, not line by line.
//
// It ends by itself once the port is closed, or once the line has hung up: then it hands
// over the bytes it still holds (even without a line feed), since nothing more will come,
// and tells the hand-over it has finished. Stop() ends it at once.
//
// Only one loop runs at a time: Start() ends a previous one first, and the destructor
// ends the current one, so a loop never outlives its owner.
class ReceiveLoop {
  public:
    static constexpr std::chrono::milliseconds kIdlePoll{10};

    ReceiveLoop(ByteSource& source, BlockHandover& handover);
    ~ReceiveLoop();

    ReceiveLoop(const ReceiveLoop&) = delete;
    ReceiveLoop& operator=(const ReceiveLoop&) = delete;

    // Starts a fresh loop with an empty buffer.
    void Start();
    // Owner's thread: ends the thread, then runs on this thread every block received
    // before, the bytes still held without a line feed last, so nothing read is lost.
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }

  private:
    void Run();
    void EndThread();
    void WaitUntil(std::chrono::steady_clock::time_point deadline);

    ByteSource& m_source;
    BlockHandover& m_handover;
    BlockAssembler m_assembler;
    std::atomic<bool> m_stopRequested{false};
    std::mutex m_idleMutex;
    std::condition_variable m_idleWake;
    std::thread m_thread;
};

}  // namespace qk
