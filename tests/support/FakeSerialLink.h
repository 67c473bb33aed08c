#pragma once

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <string>

#include "SerialLink.h"
#include "VirtualPacer.h"  // also for <chrono> and <vector>

namespace qk::test {

// A serial port that records what is written (with the virtual time of each write) and
// returns scripted chunks to reads. Read, IsOpen, Write and the queue are safe across the
// receive thread and the test's; Open, Close and SetReadTimeouts belong to the owner's thread.
class FakeSerialLink final : public SerialLink {
  public:
    struct WriteRecord {
        std::string bytes;
        std::chrono::milliseconds at;
    };

    explicit FakeSerialLink(const VirtualPacer& clock) : m_clock(clock) {}

    bool Open(int portNumber, std::uint32_t baud, int dataBits, int stopBitsCode,
              int parityCode) override {
        lastOpen = {portNumber, static_cast<int>(baud), dataBits, stopBitsCode, parityCode};
        ++opens;
        m_hungUp = false;
        return m_open = openSucceeds;
    }
    bool SetReadTimeouts(unsigned milliseconds) override {
        readTimeouts.push_back(milliseconds);
        return true;
    }
    bool Write(const char* data, unsigned length) override {
        std::lock_guard lock(m_mutex);
        if (m_hungUp) {
            return false;
        }
        m_writes.push_back({std::string(data, length), m_clock.now()});
        if (hangUpAfterWrites > 0 && m_writes.size() >= hangUpAfterWrites) {
            m_hungUp = true;
        }
        return true;
    }
    int Read(char* buffer, unsigned capacity) override {
        std::lock_guard lock(m_mutex);
        ++reads;
        if (!m_open || m_replies.empty()) {
            return 0;
        }
        const std::size_t count = m_replies.front().copy(buffer, capacity);
        m_replies.pop_front();
        return static_cast<int>(count);
    }
    bool IsOpen() const override { return m_open; }
    bool HungUp() const override { return m_hungUp; }
    std::string HangUpReason() const override {
        return m_hungUp ? "COM1 (/dev/fake): Input/output error" : "";
    }
    void Close() override {
        m_open = false;
        ++closes;
    }
    // Each queued chunk is what one read returns; an empty chunk is a read with nothing.
    void QueueReply(std::string chunk) {
        std::lock_guard lock(m_mutex);
        m_replies.push_back(std::move(chunk));
    }
    std::size_t repliesLeft() const {
        std::lock_guard lock(m_mutex);
        return m_replies.size();
    }
    std::vector<WriteRecord> writes() const {
        std::lock_guard lock(m_mutex);
        return m_writes;
    }
    std::vector<std::string> written() const {
        std::vector<std::string> bytes;
        std::ranges::transform(writes(), std::back_inserter(bytes), &WriteRecord::bytes);
        return bytes;
    }
    void clearWrites() {
        std::lock_guard lock(m_mutex);
        m_writes.clear();
    }

    bool openSucceeds = true;
    std::size_t hangUpAfterWrites = 0;  // the line dies with this write (0: never)
    std::vector<int> lastOpen;
    int opens = 0, closes = 0, reads = 0;
    std::vector<unsigned> readTimeouts;

  private:
    const VirtualPacer& m_clock;
    mutable std::mutex m_mutex;
    std::atomic<bool> m_open{false};
    std::atomic<bool> m_hungUp{false};
    std::deque<std::string> m_replies;
    std::vector<WriteRecord> m_writes;
};

}  // namespace qk::test
