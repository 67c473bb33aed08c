#include "ReceiveLoop.h"

namespace qk {

ReceiveLoop::ReceiveLoop(ByteSource& source, BlockHandover& handover)
    : m_source(source), m_handover(handover) {}

// The owner may be half gone by now: what is still queued goes with it.
ReceiveLoop::~ReceiveLoop() {
    EndThread();
}

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
    EndThread();
    if (auto rest = m_assembler.TakeHeld()) {
        m_handover.Deliver(std::move(*rest));
    }
    m_handover.RunPending();
}

void ReceiveLoop::EndThread() {
    if (!m_thread.joinable()) {
        return;
    }
    {
        std::lock_guard lock(m_idleMutex);
        m_stopRequested = true;
    }
    m_idleWake.notify_all();
    m_handover.Release();
    m_thread.join();
}

void ReceiveLoop::Run() {
    while (m_source.IsOpen() && !m_stopRequested) {
        const auto polled = std::chrono::steady_clock::now();
        const auto space = m_assembler.FreeSpace();
        const int count = m_source.Read(space.data(), static_cast<unsigned>(space.size()));
        if (count <= 0) {
            if (m_source.HungUp()) {
                if (auto rest = m_assembler.TakeHeld()) {
                    m_handover.Deliver(std::move(*rest));
                }
                m_handover.Finish();
                return;
            }
            WaitUntil(polled + kIdlePoll);
            continue;
        }
        // A full buffer means more is waiting; otherwise this poll took all there was, and
        // the next read waits for the next poll.
        const bool filled = static_cast<std::size_t>(count) == space.size();
        for (std::string& block : m_assembler.Commit(static_cast<std::size_t>(count))) {
            if (!m_handover.Deliver(std::move(block))) {
                return;
            }
        }
        if (!filled) {
            WaitUntil(polled + kIdlePoll);
        }
    }
}

void ReceiveLoop::WaitUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(m_idleMutex);
    m_idleWake.wait_until(lock, deadline, [this] { return m_stopRequested.load(); });
}

}  // namespace qk
