// What one received block costs the main window, from HandleReceivedBlock to the end of
// the repaint it causes (parse, append to the log box, update the edits, scroll, paint;
// the log box's repaint pacing is off, so every block pays for its own repaint),
// as percentiles over many blocks: with logs of 1 KB, 1 MB and 20 MB before them, and
// around a device that sends 1 MB without a line feed. Also the memory the window holds
// per MB of log. Prints "result:" lines for bench/run.
//
// Runs offscreen unless QT_QPA_PLATFORM says otherwise (bench/run uses xcb under Xvfb, so
// painting includes handing the picture to the X server). --quick: small logs and a few
// blocks, to prove in make check that it still works.
#include <QApplication>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "BlockAssembler.h"
#include "CConfigToolDlg.h"
#include "DeviceModel.h"
#include "InfoLogBox.h"
#include "Measure.h"
#include "MessagePresenter.h"

namespace {

using qk::bench::Now;
using qk::bench::Percentile;
using qk::bench::PrintResult;
using qk::ui::CConfigToolDlg;

// The largest block the receive loop hands over, in whole data lines: what a window sees
// when the device streams faster than it is polled.
constexpr std::size_t kBlockBytes = qk::BlockAssembler::kCapacity - 40;

struct Settings {
    std::size_t blocks = 1000;
    std::vector<std::pair<const char*, std::size_t>> logs = {
        {"20MB", 20'000'000}, {"1MB", 1'000'000}, {"1KB", 1'000}};
    std::size_t longLine = 1'000'000;
    std::size_t blocksAfterLongLine = 300;
};

Settings QuickSettings() {
    Settings quick;
    quick.blocks = 20;
    quick.logs = {{"200KB", 200'000}, {"1KB", 1'000}};
    quick.longLine = 20'000;
    quick.blocksAfterLongLine = 10;
    return quick;
}

class SilentPresenter final : public qk::ui::MessagePresenter {
  public:
    void Present(QWidget*, const qk::ui::Message& message) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(message.text));
    }
};

// A shown main window with no port, fed blocks directly, whose log is kept between a
// nominal size and that size plus some slack.
class Window {
  public:
    Window(SilentPresenter& messages, std::string name, std::size_t logBytes)
        : m_window({}, messages), m_name(std::move(name)), m_logBytes(logBytes) {
        // Every block repaints, as when blocks come a frame or more apart: the worst case.
        m_window.Item<qk::ui::InfoLogBox>(1002)->SetFrameInterval(std::chrono::milliseconds(0));
        m_window.show();
        Settle();
    }

    // Handles a block and lets the event loop paint what it changed; milliseconds.
    double Handle(const std::string& block) {
        const double start = Now();
        m_window.HandleReceivedBlock(block);
        Settle();
        return (Now() - start) * 1000;
    }
    double HandleDataBlock() { return Handle(DataBlock()); }
    double HandleDataLine() { return Handle(m_device.NextDataLine()); }

    // Empties the log (the Clear button) and fills it to the nominal size with data blocks,
    // painting only at the end.
    void Refill() {
        m_window.findChild<QPushButton*>(QStringLiteral("1007"))->click();
        while (logBytes() < m_logBytes) {
            m_window.HandleReceivedBlock(DataBlock());
        }
        Settle();
    }
    bool Overgrown() const {
        return logBytes() > m_logBytes + std::max<std::size_t>(64'000, m_logBytes / 4);
    }

    const std::string& name() const { return m_name; }
    std::size_t logBytes() const { return m_window.state().infoLog.size(); }

  private:
    static void Settle() {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    std::string DataBlock() {
        std::string block;
        while (block.size() + qk::sim::DeviceModel::kDataLineLength <= kBlockBytes) {
            block += m_device.NextDataLine();
        }
        return block;
    }

    CConfigToolDlg m_window;
    qk::sim::DeviceModel m_device;
    std::string m_name;
    std::size_t m_logBytes;
};

struct Costs {
    double p50 = 0;
    double p99 = 0;
    double max = 0;
};

Costs Summarise(const std::vector<double>& milliseconds) {
    return {Percentile(milliseconds, 50), Percentile(milliseconds, 99),
            Percentile(milliseconds, 100)};
}

void Report(const std::string& name, const Costs& costs) {
    PrintResult(name + ".p50_ms", costs.p50);
    PrintResult(name + ".p99_ms", costs.p99);
    PrintResult(name + ".max_ms", costs.max);
}

// The memory a window holds per byte of log: the resident growth while its log fills, in a
// process whose heap has not yet been used and freed.
void ReportMemory(Window& window) {
    const std::size_t before = qk::bench::ResidentBytes();
    window.Refill();
    const double grown =
        static_cast<double>(qk::bench::ResidentBytes()) - static_cast<double>(before);
    PrintResult("memory.log_MB", static_cast<double>(window.logBytes()) / 1e6);
    PrintResult("memory.bytes_per_log_byte", grown / static_cast<double>(window.logBytes()));
}

// The windows take blocks in turn, so that a change in the machine's load during the run
// touches every log size alike. Returns the costs in the order of `windows`.
std::vector<Costs> InterleavedCosts(std::vector<std::unique_ptr<Window>>& windows,
                                    std::size_t blocks) {
    constexpr std::size_t kWarmUp = 10;
    std::vector<std::vector<double>> costs(windows.size());
    for (std::size_t round = 0; round < kWarmUp + blocks; ++round) {
        for (std::size_t turn = 0; turn < windows.size(); ++turn) {
            const std::size_t index = (round + turn) % windows.size();
            Window& window = *windows[index];
            const double cost = window.HandleDataBlock();
            if (round >= kWarmUp) {
                costs[index].push_back(cost);
            }
            if (window.Overgrown()) {
                window.Refill();
            }
        }
    }
    std::vector<Costs> summaries;
    for (const auto& samples : costs) {
        summaries.push_back(Summarise(samples));
    }
    return summaries;
}

// A device that sends a long line without a line end, handed over the way the receive loop
// does (full buffers), then its line end and single data lines, so that the long line stays
// in view for the first few dozen of them.
void LongLineCosts(SilentPresenter& messages, const Settings& settings) {
    Window window(messages, "longline", 1'000);
    window.Refill();
    constexpr std::string_view kText = "0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ ";
    std::string piece;
    for (std::size_t i = 0; i < qk::BlockAssembler::kCapacity; ++i) {
        piece += kText[i % kText.size()];
    }
    std::vector<double> during;
    for (std::size_t sent = 0; sent < settings.longLine; sent += piece.size()) {
        during.push_back(window.Handle(piece));
    }
    window.Handle("\r\n");
    Report("longline.during", Summarise(during));
    std::vector<double> after;
    for (std::size_t i = 0; i < settings.blocksAfterLongLine; ++i) {
        after.push_back(window.HandleDataLine());
    }
    Report("longline.after", Summarise(after));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const bool quick = argc > 1 && std::string_view(argv[1]) == "--quick";
    const Settings settings = quick ? QuickSettings() : Settings{};
    QApplication application(argc, argv);
    PrintResult("block.platform", QGuiApplication::platformName().toStdString());
    PrintResult("block.bytes", static_cast<double>(kBlockBytes));

    SilentPresenter messages;
    std::vector<std::unique_ptr<Window>> windows;
    for (const auto& [name, bytes] : settings.logs) {
        windows.push_back(std::make_unique<Window>(messages, name, bytes));
        if (windows.size() == 1) {
            ReportMemory(*windows.front());
        } else {
            windows.back()->Refill();
        }
    }
    const std::vector<Costs> costs = InterleavedCosts(windows, settings.blocks);
    for (std::size_t i = 0; i < windows.size(); ++i) {
        Report("block.log_" + windows[i]->name(), costs[i]);
    }
    // Largest log first, smallest last.
    PrintResult("block.ratio_p50", costs.front().p50 / costs.back().p50);
    PrintResult("block.ratio_p99", costs.front().p99 / costs.back().p99);
    LongLineCosts(messages, settings);
    return 0;
}
