// What one received block costs the main window (parse, show in the log, scroll), with a
// short log and with a 20 MB one: the cost must not grow with the log. Runs offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

#include "CConfigToolDlg.h"
#include "InfoLogBox.h"
#include "MessagePresenter.h"

namespace {

using qk::ui::CConfigToolDlg;

class SilentPresenter final : public qk::ui::MessagePresenter {
  public:
    void Present(QWidget*, const qk::ui::Message&) override {}
};

// "+DATA:" lines as a streaming device sends them, 40 bytes each.
std::string DataLines(std::size_t bytes, int& sequence) {
    std::string text;
    text.reserve(bytes + 40);
    char line[64];
    while (text.size() < bytes) {
        std::snprintf(line, sizeof line, "+DATA:%06d ABCDEFGHIJKLMNOPQRSTUVW\r\n",
                      sequence++ % 1000000);
        text += line;
    }
    return text;
}

// A block of twenty lines, about 800 bytes: what the receive loop hands over at speed.
const std::string& Block() {
    static int sequence = 500000;
    static const std::string block = DataLines(780, sequence);
    return block;
}

// How far the log may grow past its nominal size before it is filled afresh.
std::size_t Slack(std::size_t logBytes) {
    return std::max<std::size_t>(64 * 1024, logBytes / 4);
}

SilentPresenter& Messages() {
    static SilentPresenter messages;
    return messages;
}

// One window per log size, kept across runs and destroyed before the application.
std::map<std::size_t, std::unique_ptr<CConfigToolDlg>>& Windows() {
    static std::map<std::size_t, std::unique_ptr<CConfigToolDlg>> windows;
    return windows;
}

// The window for a log size; its log is cleared (with the Clear button) and filled to the
// nominal size whenever it is outside [size, size + slack].
CConfigToolDlg& WindowWithLog(std::size_t logBytes) {
    auto& window = Windows()[logBytes];
    if (!window) {
        window = std::make_unique<CConfigToolDlg>(qk::PortDirectory{}, Messages());
        // Every block repaints, as when blocks come a frame or more apart.
        window->Item<qk::ui::InfoLogBox>(1002)->SetFrameInterval(std::chrono::milliseconds(0));
        window->show();
    }
    const std::size_t size = window->state().infoLog.size();
    if (size < logBytes || size > logBytes + Slack(logBytes)) {
        window->findChild<QPushButton*>(QStringLiteral("1007"))->click();
        int sequence = 0;
        window->HandleReceivedBlock(DataLines(logBytes, sequence));
        QCoreApplication::processEvents();
    }
    return *window;
}

void RunWithLog(benchmark::State& state, bool repaint) {
    const auto logBytes = static_cast<std::size_t>(state.range(0));
    CConfigToolDlg* window = &WindowWithLog(logBytes);
    for (auto _ : state) {
        window->HandleReceivedBlock(Block());
        if (repaint) {
            window->repaint();
        }
        if (window->state().infoLog.size() > logBytes + Slack(logBytes)) {
            state.PauseTiming();
            window = &WindowWithLog(logBytes);
            state.ResumeTiming();
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Block().size()));
    state.counters["log_MB"] = static_cast<double>(window->state().infoLog.size()) / 1e6;
}

void HandleBlock(benchmark::State& state) {
    RunWithLog(state, false);
}
void HandleBlockAndRepaint(benchmark::State& state) {
    RunWithLog(state, true);
}

constexpr int64_t kSmallLog = 1024;
constexpr int64_t kLargeLog = 20 * 1024 * 1024;

BENCHMARK(HandleBlock)->Arg(kSmallLog)->Arg(kLargeLog)->Unit(benchmark::kMicrosecond);
BENCHMARK(HandleBlockAndRepaint)->Arg(kSmallLog)->Arg(kLargeLog)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Windows().clear();
    return 0;
}
