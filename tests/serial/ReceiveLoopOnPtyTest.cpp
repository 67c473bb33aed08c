#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "BlockHandover.h"
#include "CSerialPort.h"
#include "PseudoTerminal.h"
#include "ReceiveLoop.h"
#include "RecordingSerialSink.h"
#include "SerialTestSupport.h"

namespace qk {
namespace {

using namespace std::chrono_literals;

// Passes reads through to the port and lets the test wait until the loop has read a
// given number of bytes.
class WatchedSource final : public ByteSource {
public:
    explicit WatchedSource(ByteSource& inner) : m_inner(inner) {}

    int Read(char* buffer, unsigned capacity) override {
        const int count = m_inner.Read(buffer, capacity);
        if (count > 0) {
            std::lock_guard lock(m_mutex);
            m_total += static_cast<std::size_t>(count);
            m_changed.notify_all();
        }
        return count;
    }
    bool IsOpen() const override { return m_inner.IsOpen(); }

    bool WaitForTotal(std::size_t total) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 2s, [&] { return m_total >= total; });
    }

private:
    ByteSource& m_inner;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_total = 0;
};

TEST(ReceiveLoopOnPty, AnswerSplitOverTwoWritesArrivesAsOneBlock) {
    sim::PseudoTerminal pty;
    PortDirectory ports;
    ports.Pin(1, pty.slavePath());
    test::RecordingSerialSink sink;
    CSerialPort port(ports, sink);
    WatchedSource source(port);
    std::vector<std::string> blocks;
    BlockHandover handover([&](std::string&& block) { blocks.push_back(std::move(block)); });
    ReceiveLoop loop(source, handover);

    ASSERT_TRUE(port.Open(1, 9600, 8, 0, 0));
    ASSERT_TRUE(port.SetReadTimeouts(0));
    loop.Start();

    EXPECT_FALSE(handover.WaitAndRunPending(50ms));  // an idle port hands over nothing

    ASSERT_TRUE(test::WriteAllTo(pty.masterFd(), "+BAUD:"));
    ASSERT_TRUE(source.WaitForTotal(6));  // the loop holds the first half
    EXPECT_FALSE(handover.RunPending());
    ASSERT_TRUE(test::WriteAllTo(pty.masterFd(), "9600\r\n"));
    ASSERT_TRUE(handover.WaitAndRunPending(2s));
    EXPECT_EQ(blocks, std::vector<std::string>{"+BAUD:9600\r\n"});

    EXPECT_FALSE(handover.WaitAndRunPending(50ms));
    EXPECT_EQ(blocks.size(), 1u);
    port.Close();
    loop.Stop();
    EXPECT_TRUE(sink.reports().empty());
}

}  // namespace
}  // namespace qk
