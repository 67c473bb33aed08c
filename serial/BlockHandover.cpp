#include "BlockHandover.h"

namespace qk {

BlockHandover::BlockHandover(Consumer consumer, Wake wake)
    : m_consumer(std::move(consumer)), m_wake(std::move(wake)) {}

bool BlockHandover::Deliver(std::string block) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_released || m_queuedBytes < kMaxQueuedBytes; });
    // One wake per batch: the owner runs everything queued when it gets to it.
    const bool wasEmpty = m_queue.empty();
    m_queuedBytes += block.size();
    m_queue.push_back(std::move(block));
    const bool released = m_released;
    m_changed.notify_all();
    lock.unlock();
    if (wasEmpty && m_wake) {
        m_wake();
    }
    return !released;
}

void BlockHandover::Finish() {
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
        m_changed.notify_all();
    }
    if (m_wake) {
        m_wake();
    }
}

bool BlockHandover::RunPending() {
    std::unique_lock lock(m_mutex);
    if (m_inConsumer) {
        return false;
    }
    bool ranAny = false;
    while (!m_queue.empty()) {
        std::string block = std::move(m_queue.front());
        m_queue.pop_front();
        m_queuedBytes -= block.size();
        m_changed.notify_all();
        m_inConsumer = true;
        lock.unlock();
        m_consumer(std::move(block));
        lock.lock();
        m_inConsumer = false;
        ranAny = true;
    }
    return ranAny;
}

bool BlockHandover::WaitAndRunPending(std::chrono::milliseconds timeout) {
    {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, timeout,
                                [&] { return !m_queue.empty() || m_finished || m_released; })) {
            return false;
        }
    }
    return RunPending();
}

void BlockHandover::Release() {
    std::lock_guard lock(m_mutex);
    m_released = true;
    m_changed.notify_all();
}

void BlockHandover::Reset() {
    std::lock_guard lock(m_mutex);
    m_queue.clear();
    m_queuedBytes = 0;
    m_released = false;
    m_finished = false;
}

std::size_t BlockHandover::queuedBytes() const {
    std::lock_guard lock(m_mutex);
    return m_queuedBytes;
}

}  // namespace qk
