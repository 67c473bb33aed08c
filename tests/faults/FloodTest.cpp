// A device that says far more than the tool asked for, much of it not answer lines: every
// byte must reach the information log, in order.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <mutex>
#include <random>

#include "FaultRig.h"
#include "PseudoTerminal.h"
#include "SimulatedDevice.h"

namespace qk::faults {
namespace {

// Answers the handshake, then from the first query on pours `flood` into the line as fast
// as the pty takes it, in pieces of 1 to 8192 bytes.
class FloodingDevice {
  public:
    explicit FloodingDevice(std::string flood) : m_flood(std::move(flood)) {
        fcntl(m_pty.masterFd(), F_SETFL, fcntl(m_pty.masterFd(), F_GETFL) | O_NONBLOCK);
        m_thread = std::thread([this] { Run(); });
    }
    ~FloodingDevice() {
        m_stop = true;
        m_thread.join();
    }
    const std::string& slavePath() const { return m_pty.slavePath(); }
    std::size_t written() const { return m_written; }

  private:
    void Run() {
        std::mt19937 random(11);
        std::uniform_int_distribution<std::size_t> pieceSize(1, 8192);
        std::string received;
        bool confirmed = false;
        bool flooding = false;
        const int line = m_pty.masterFd();
        while (!m_stop && m_written < m_flood.size()) {
            pollfd ready{line, static_cast<short>(POLLIN | (flooding ? POLLOUT : 0)), 0};
            poll(&ready, 1, 10);
            char buffer[512];
            for (ssize_t n; (n = read(line, buffer, sizeof buffer)) > 0;) {
                received.append(buffer, static_cast<std::size_t>(n));
            }
            if (!confirmed &&
                received.find(sim::DeviceModel::kHandshakeRequest) != std::string::npos) {
                confirmed = write(line, kHandshakeReply.data(), kHandshakeReply.size()) ==
                            static_cast<ssize_t>(kHandshakeReply.size());
            }
            flooding = confirmed && received.find("QK+") != std::string::npos;
            if (flooding) {
                const std::size_t size = std::min(pieceSize(random), m_flood.size() - m_written);
                const ssize_t n = write(line, m_flood.data() + m_written, size);
                if (n > 0) {
                    m_written += static_cast<std::size_t>(n);
                }
            }
        }
    }

    const std::string m_flood;
    sim::PseudoTerminal m_pty;
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_written{0};
    std::thread m_thread;
};

// `size` bytes of answer lines, junk lines, lines cut off without a line feed, runs of
// arbitrary bytes (zero bytes, CR, LF, 0x80..0xFF) and two runs of 2000 and 4999 bytes
// without any line feed; the last bytes are a line end, so all of it is handed over.
std::string MakeFlood(std::size_t size) {
    const std::string pieces[] = {
        "+PIPADD:10.0.0.1\r\n",
        "+ID:QK4520-000123\r\n",
        "+STAT:25,36,330\r\n",
        "+VER:QK4520-1 HW:V2.1 SW:V3.5\r\n",
        "+BAUD:115200\r\n",
        "+LOGIN:OK\r\n",
        "RDY\r\n",
        "\r\n",
        "QK+BAUD?\r\n",
        "+ERROR:UNKNOWN COMMAND\r\n",
        "+PPORT:8080\r",  // no line feed
        "+PIPADD:half",   // no line end at all
    };
    std::mt19937 random(5);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces));
    std::uniform_int_distribution<int> byte(0, 255);
    std::string flood;
    flood.reserve(size);
    bool longRunsDone[2] = {false, false};
    while (flood.size() + 2 < size) {
        for (int run = 0; run < 2; ++run) {
            if (!longRunsDone[run] && flood.size() > size * static_cast<std::size_t>(run + 1) / 3) {
                longRunsDone[run] = true;
                for (std::size_t i = 0; i < (run == 0 ? 2000u : 4999u); ++i) {
                    const char c = static_cast<char>(byte(random));
                    flood += c == '\n' ? '\r' : c;
                }
            }
        }
        const std::size_t which = pick(random);
        if (which < std::size(pieces)) {
            flood += pieces[which];
        } else {
            for (int i = byte(random) % 64; i >= 0; --i) {
                flood += static_cast<char>(byte(random));
            }
        }
    }
    flood.resize(size - 2);
    return flood + "\r\n";
}

TEST(DeviceFloods, TenMegabytesOfAnswersJunkAndUnendedLinesAllReachTheLogInOrder) {
    constexpr std::size_t kFloodBytes = 10 * 1024 * 1024;
    const std::string flood = MakeFlood(kFloodBytes);
    FloodingDevice device(flood);
    PortDirectory ports;
    ports.Pin(1, device.slavePath());
    ToolRig tool(ports, 1);

    const auto start = Clock::now();
    tool.controller.ToggleOpen();
    ASSERT_TRUE(tool.InConfigMode());
    EXPECT_TRUE(tool.RunBlocksUntil([&] { return tool.state.infoLog.size() >= flood.size(); }, 60s))
        << tool.state.infoLog.size() << " of " << flood.size() << " bytes, device wrote "
        << device.written();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::cout << "[ figures  ] " << flood.size() << " bytes flooded into the log in " << seconds
              << " s (" << static_cast<double>(flood.size()) / seconds / 1e6 << " MB/s)\n";

    ASSERT_EQ(tool.state.infoLog.size(), flood.size());
    const auto [logAt, floodAt] =
        std::mismatch(tool.state.infoLog.begin(), tool.state.infoLog.end(), flood.begin());
    EXPECT_EQ(logAt, tool.state.infoLog.end())
        << "first difference at byte " << (logAt - tool.state.infoLog.begin());
    tool.controller.ToggleOpen();
    EXPECT_TRUE(tool.sink.reports().empty());
}

TEST(DeviceFloods, ChunkedAnswersJunkAndAStreamReachTheLogAsSent) {
    std::mutex sentMutex;
    std::string sent;
    sim::SimulatedDevice device(
        {.chunkSize = 7, .junkEvery = 2, .streamBytesPerSecond = 46000},
        [&](sim::SimulatedDevice::Direction direction, std::string_view bytes) {
            if (direction == sim::SimulatedDevice::Direction::Sent) {
                std::lock_guard lock(sentMutex);
                sent += bytes;
            }
        });
    PortDirectory ports;
    ports.Pin(1, device.slavePath());
    ToolRig tool(ports, 1);
    tool.controller.ToggleOpen();
    ASSERT_TRUE(tool.InConfigMode());
    ASSERT_TRUE(tool.RunBlocksUntil(
        [&] { return HasAllParameters(tool) && tool.state.infoLog.size() > 20000; }));
    device.Stop();
    const std::string expected = [&] {
        std::lock_guard lock(sentMutex);
        EXPECT_TRUE(sent.starts_with(kHandshakeReply));
        return sent.substr(kHandshakeReply.size());
    }();
    // Everything up to the device's last line feed arrives; a line the device was cut off
    // in the middle of stays held, as it would until its line feed came.
    const std::size_t deliverable = expected.rfind('\n') + 1;
    EXPECT_TRUE(tool.RunBlocksUntil([&] { return tool.state.infoLog.size() >= deliverable; }));
    EXPECT_EQ(tool.state.infoLog, expected.substr(0, deliverable));
    EXPECT_LT(expected.size() - deliverable, BlockAssembler::kCapacity);
    tool.controller.ToggleOpen();
    EXPECT_TRUE(tool.sink.reports().empty());
}

}  // namespace
}  // namespace qk::faults
