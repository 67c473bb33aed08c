#include "BlockHandover.h"

namespace qk {

BlockHandover::BlockHandover(Consumer consumer, Wake wake)
    : m_consumer(std::move(consumer)), m_wake(std::move(wake)) {}

bool BlockHandover::Deliver(std::string block, Clock::time_point resumeAt) {
    std::unique_lock lock(m_mutex);
    if (m_cancelled) {
        return false;
    }
    m_pending = std::move(block);
    m_resumeAt = resumeAt;
    const std::uint64_t ticket = ++m_delivered;
    m_changed.notify_all();
    if (m_wake) {
        lock.unlock();
        m_wake();
        lock.lock();
    }
    // Until resumeAt only a cancel wakes this thread early; after it, the block's end does.
    m_changed.wait_until(lock, resumeAt, [&] { return m_cancelled; });
    m_changed.wait(lock, [&] { return m_cancelled || m_handled >= ticket; });
    return m_handled >= ticket;
}

bool BlockHandover::RunPending() {
    std::unique_lock lock(m_mutex);
    if (m_inConsumer) {
        return false;
    }
    bool handledAny = false;
    while (m_pending && !m_cancelled) {
        std::string block = std::move(*m_pending);
        m_pending.reset();
        m_inConsumer = true;
        lock.unlock();
        m_consumer(std::move(block));
        lock.lock();
        m_inConsumer = false;
        ++m_handled;
        handledAny = true;
        // Before resumeAt the receive thread sleeps on regardless; waking it would only
        // cost it a switch in and out.
        if (Clock::now() >= m_resumeAt) {
            m_changed.notify_all();
        }
    }
    return handledAny;
}

bool BlockHandover::WaitAndRunPending(std::chrono::milliseconds timeout) {
    {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, timeout, [&] { return m_pending.has_value() || m_cancelled; })) {
            return false;
        }
    }
    return RunPending();
}

void BlockHandover::Cancel() {
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    m_pending.reset();
    m_changed.notify_all();
}

void BlockHandover::Reset() {
    std::lock_guard lock(m_mutex);
    m_cancelled = false;
    m_pending.reset();
    m_handled = m_delivered;
}

}  // namespace qk
