#include "ReceiveLoop.h"

namespace qk {

ReceiveLoop::ReceiveLoop(ByteSource& source, BlockHandover& handover)
    : m_source(source), m_handover(handover) {}

ReceiveLoop::~ReceiveLoop() { Stop(); }

void ReceiveLoop::Start() {
    Stop();
    m_assembler.Clear();
    m_handover.Reset();
    m_stopRequested = false;
    m_thread = std::thread([this] { Run(); });
}

void ReceiveLoop::Stop() {
    if (!m_thread.joinable()) {
        return;
    }
    {
        std::lock_guard lock(m_idleMutex);
        m_stopRequested = true;
    }
    m_idleWake.notify_all();
    m_handover.Cancel();
    m_thread.join();
}

void ReceiveLoop::Run() {
    while (m_source.IsOpen() && !m_stopRequested) {
        const auto polled = std::chrono::steady_clock::now();
        const auto space = m_assembler.FreeSpace();
        const int count = m_source.Read(space.data(), static_cast<unsigned>(space.size()));
        if (count <= 0) {
            WaitUntil(polled + kIdlePoll);
            continue;
        }
        // A full buffer means more is waiting; otherwise this poll took all there was, and
        // the next read waits for the next poll.
        const bool filled = static_cast<std::size_t>(count) == space.size();
        const auto nextRead = filled ? std::chrono::steady_clock::time_point{} : polled + kIdlePoll;
        if (auto block = m_assembler.Commit(static_cast<std::size_t>(count))) {
            // Returns once the block was handled and the next read is due.
            if (!m_handover.Deliver(std::move(*block), nextRead)) {
                return;
            }
        } else if (!filled) {
            WaitUntil(nextRead);
        }
    }
}

void ReceiveLoop::WaitUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(m_idleMutex);
    m_idleWake.wait_until(lock, deadline, [this] { return m_stopRequested.load(); });
}

}  // namespace qk
