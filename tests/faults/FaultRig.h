#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "BlockHandover.h"
#include "CSerialPort.h"
#include "ConfigController.h"
#include "DeviceState.h"
#include "PortDirectory.h"
#include "ReceiveLoop.h"
#include "RecordingControllerView.h"
#include "RecordingSerialSink.h"
#include "ResponseParser.h"

// The tool without a window, wired as the window and the command line wire it: the real
// port, receive loop, hand-over, parser and controller. The test's thread is the owner's
// thread: it runs the controller's operations and, in between, the blocks the receive
// thread hands over, as the window does after each button.
namespace qk::faults {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Pauses the device does not need in these trials: the handshake polls every 2 ms.
inline ControllerTiming QuickTiming() {
    ControllerTiming timing;
    timing.handshakeAttempts = 40;
    timing.handshakeRetry = 2ms;
    timing.basicQueryGap = 0ms;
    timing.advancedQueryGap = 0ms;
    timing.basicSetGap = 0ms;
    timing.advancedSetGap = 0ms;
    return timing;
}

// Sleeps for real, and lets a test act at a chosen point of a command sequence.
class HookedPacer final : public Pacer {
  public:
    void Pause(std::chrono::milliseconds duration) override {
        if (onPause) {
            onPause();
        }
        std::this_thread::sleep_for(duration);
    }
    std::function<void()> onPause;
};

// The port as the controller sees it, counting the writes it attempts.
class CountingLink final : public SerialLink {
  public:
    explicit CountingLink(SerialLink& inner) : m_inner(inner) {}
    bool Open(int portNumber, std::uint32_t baud, int dataBits, int stopBitsCode,
              int parityCode) override {
        return m_inner.Open(portNumber, baud, dataBits, stopBitsCode, parityCode);
    }
    bool SetReadTimeouts(unsigned milliseconds) override {
        return m_inner.SetReadTimeouts(milliseconds);
    }
    void Write(const char* data, unsigned length) override {
        ++writes;
        m_inner.Write(data, length);
    }
    int Read(char* buffer, unsigned capacity) override { return m_inner.Read(buffer, capacity); }
    bool IsOpen() const override { return m_inner.IsOpen(); }
    void Close() override { m_inner.Close(); }

    std::size_t writes = 0;  // owner's thread only

  private:
    SerialLink& m_inner;
};

struct ToolRig {
    explicit ToolRig(const PortDirectory& ports, int comNumber,
                     ControllerTiming timing = QuickTiming())
        : port(ports, sink), controller(link, state, view, pacer, loop, timing) {
        view.selection.comIndex = comNumber - 1;
    }
    ~ToolRig() { controller.Shutdown(); }

    ToolRig(const ToolRig&) = delete;
    ToolRig& operator=(const ToolRig&) = delete;

    // Runs handed-over blocks until `done` holds; false when `timeout` passed first.
    bool RunBlocksUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s) {
        const auto deadline = Clock::now() + timeout;
        while (!done()) {
            const auto left = deadline - Clock::now();
            if (left <= Clock::duration::zero()) {
                return false;
            }
            handover.WaitAndRunPending(
                std::min(std::chrono::duration_cast<std::chrono::milliseconds>(left) + 1ms, 50ms));
        }
        return true;
    }
    bool LogHas(std::string_view text) const {
        return state.infoLog.find(text) != std::string::npos;
    }
    bool Shown(std::string_view message) const {
        const std::string call = "ShowMessage(" + replay::Quote(message) + ")";
        const auto& calls = view.calls();
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }
    bool InConfigMode() const { return view.buttonsEnabled && loop.IsRunning(); }

    test::RecordingSerialSink sink;
    DeviceState state;
    test::RecordingControllerView view;
    CSerialPort port;
    CountingLink link{port};
    ResponseParser parser{state, static_cast<ControllerView&>(view)};
    BlockHandover handover{[this](std::string&& block) { parser.HandleBlock(block); }};
    ReceiveLoop loop{port, handover};
    HookedPacer pacer;
    ConfigController controller;
};

// Every answer of a full parameter read has arrived (ENROL is queried last).
inline bool HasAllParameters(const ToolRig& tool) {
    return tool.LogHas("+ENROL:");
}

}  // namespace qk::faults
