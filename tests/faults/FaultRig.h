#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "BlockHandover.h"
#include "CSerialPort.h"
#include "ConfigController.h"
#include "PortDirectory.h"
#include "ReceiveLoop.h"
#include "RecordingControllerView.h"
#include "RecordingSerialSink.h"
#include "ResponseParser.h"
#include "SimulatedDevice.h"

// The tool without a window, wired as the window and the command line wire it: the real
// port, receive loop, hand-over, parser and controller. The test's thread is the owner's
// thread: it runs the controller's operations and, in between, the blocks the receive
// thread hands over, as the window does after each button.
namespace qk::faults {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Sleeps for real, and lets a test act at a chosen pause of a command sequence.
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

// The device's tty is pinned as COM`comNumber`, the port the view selects.
struct ToolRig {
    explicit ToolRig(const std::string& path, int comNumber = 1) : com(comNumber) {
        ports.Pin(com, path);
        view.selection.comIndex = com - 1;
    }
    ~ToolRig() { controller.Shutdown(); }

    // Runs handed-over blocks until `done` holds; false when `timeout` passed first.
    bool RunBlocksUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s) {
        for (const auto deadline = Clock::now() + timeout; !done();) {
            if (Clock::now() > deadline) {
                return false;
            }
            handover.WaitAndRunPending(10ms);
        }
        return true;
    }
    bool LogHas(std::string_view text) const {
        return state.infoLog.find(text) != std::string::npos;
    }
    bool HasAllParameters() const { return LogHas("+ENROL:"); }  // ENROL is queried last
    bool InConfigMode() const { return view.buttonsEnabled && loop.IsRunning(); }
    bool Shown(std::string_view message) const {
        return std::ranges::count(view.calls(), "ShowMessage(" + replay::Quote(message) + ")") > 0;
    }
    // One opening of a device that streams: Open/Close pressed, then, once in configuration
    // mode, every answer and some of the stream taken in. The result says whether the
    // handshake was confirmed; nullopt when the port did not open, when a refused
    // handshake went unreported, or when the answers did not come.
    std::optional<bool> OpenAndTakeIn() {
        state.infoLog.clear();
        view.clear();
        controller.ToggleOpen();
        if (!port.IsOpen()) {
            return std::nullopt;
        }
        if (!InConfigMode()) {
            // Data lines that slipped in after the port was flushed came before the reply.
            return Shown(kHandshakeFailed) ? std::optional(false) : std::nullopt;
        }
        const bool all = RunBlocksUntil(
            [&] { return HasAllParameters() && LogHas(sim::DeviceModel::kDataPrefix); });
        return all ? std::optional(true) : std::nullopt;
    }

    const int com;
    PortDirectory ports;
    test::RecordingSerialSink sink;
    DeviceState state;
    test::RecordingControllerView view;
    CSerialPort port{ports, sink};
    ResponseParser parser{state, static_cast<ControllerView&>(view)};
    BlockHandover handover{[this](std::string&& block) { parser.HandleBlock(block); }};
    ReceiveLoop loop{port, handover};
    HookedPacer pacer;
    // No pauses the device does not need: 40 handshake polls 2 ms apart, no gaps.
    ConfigController controller{port, state, view, pacer, loop, {40, 2ms, 0ms, 0ms, 0ms, 0ms}};
};

}  // namespace qk::faults
