// The main window showing a device's data stream, end to end: it opens COM1 (the
// pseudo-terminal given by --port) with its Open button as the operator would (handshake,
// then every parameter read) and then shows whatever the device sends. After --warmup
// seconds it measures until SIGTERM (or --seconds): the bytes per second shown, CPU
// seconds per MB shown (getrusage, all threads), the lateness of a 10 ms timer on the
// window thread, resident memory and its growth per MB of log. At the end it checks the
// whole log against the simulated device's stream (lost and corrupt lines) and that the
// log box holds exactly the log's text. Prints "result:" lines named after --label.
//
// Exit status 0 when nothing was lost or corrupted and the box matches, 2 otherwise, 1 for
// bad arguments or a port that would not open. --fast shortens the pauses of the command
// sequences (for make check); the figures then include the parameter answers.
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "CConfigToolDlg.h"
#include "DataStreamCheck.h"
#include "GbkText.h"
#include "InfoLogBox.h"
#include "Measure.h"
#include "MessagePresenter.h"

namespace {

using qk::bench::PrintResult;
using qk::ui::CConfigToolDlg;

volatile std::sig_atomic_t g_stopRequested = 0;

void RequestStop(int) {
    g_stopRequested = 1;
}

struct Settings {
    std::string port;
    std::string label = "stream";
    double warmup = 5;
    double seconds = 0;  // 0: until SIGTERM
    int tickMs = 10;     // the probe timer; its lateness is measured
    bool fast = false;
};

bool Parse(int argc, char** argv, Settings& settings) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--fast") {
            settings.fast = true;
        } else if (option == "--port" && hasValue) {
            settings.port = argv[++i];
        } else if (option == "--label" && hasValue) {
            settings.label = argv[++i];
        } else if (option == "--warmup" && hasValue) {
            settings.warmup = std::atof(argv[++i]);
        } else if (option == "--seconds" && hasValue) {
            settings.seconds = std::atof(argv[++i]);
        } else if (option == "--tick" && hasValue) {
            settings.tickMs = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "stream_window: bad argument '%s'\n", argv[i]);
            return false;
        }
    }
    if (settings.port.empty()) {
        std::fprintf(stderr,
                     "usage: stream_window --port PATH [--label NAME] [--warmup SECONDS] "
                     "[--seconds SECONDS] [--tick MS] [--fast]\n");
        return false;
    }
    return true;
}

class PrintingPresenter final : public qk::ui::MessagePresenter {
  public:
    void Present(QWidget*, const qk::ui::Message& message) override {
        std::fprintf(stderr, "stream_window: message box: %s\n", qPrintable(message.text));
    }
};

qk::ControllerTiming FastTiming() {
    qk::ControllerTiming timing;
    timing.handshakeRetry = std::chrono::milliseconds(5);
    timing.basicQueryGap = std::chrono::milliseconds(2);
    timing.advancedQueryGap = std::chrono::milliseconds(2);
    return timing;
}

// What the process looks like at one moment.
struct Sample {
    double time = 0;
    double cpu = 0;
    double resident = 0;
    double logBytes = 0;
};

// Measures from the end of the warm-up to the stop: a timer on the window thread (10 ms
// unless --tick says otherwise) whose lateness (time between two ticks minus the interval)
// is recorded, and the two samples.
class Probe {
  public:
    Probe(const CConfigToolDlg& window, const Settings& settings)
        : m_window(window), m_settings(settings) {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
        m_clock.start();
        m_lastTick = 0;
        m_timer.start(settings.tickMs);
    }

    const Sample& first() const { return m_first; }
    const Sample& last() const { return m_last; }
    const std::vector<double>& lateness() const { return m_lateness; }

  private:
    Sample Take() const {
        return {qk::bench::Now(), qk::bench::CpuSeconds(),
                static_cast<double>(qk::bench::ResidentBytes()),
                static_cast<double>(m_window.state().infoLog.size())};
    }

    void Tick() {
        const double now = static_cast<double>(m_clock.nsecsElapsed()) / 1e6;
        const double late = now - m_lastTick - m_settings.tickMs;
        m_lastTick = now;
        const double seconds = now / 1000;
        if (seconds < m_settings.warmup) {
            return;
        }
        if (!m_measuring) {
            m_measuring = true;
            m_first = Take();
            return;
        }
        m_lateness.push_back(std::max(late, 0.0));
        const bool timeUp =
            m_settings.seconds > 0 && seconds >= m_settings.warmup + m_settings.seconds;
        if (g_stopRequested != 0 || timeUp) {
            m_last = Take();
            m_timer.stop();
            QCoreApplication::quit();
        }
    }

    const CConfigToolDlg& m_window;
    const Settings& m_settings;
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_lastTick = 0;
    bool m_measuring = false;
    Sample m_first;
    Sample m_last;
    std::vector<double> m_lateness;
};

void Report(const Settings& settings, const Probe& probe) {
    const std::string& name = settings.label;
    const Sample& first = probe.first();
    const Sample& last = probe.last();
    const double seconds = last.time - first.time;
    const double shownMB = (last.logBytes - first.logBytes) / 1e6;
    const double cpu = last.cpu - first.cpu;
    PrintResult(name + ".seconds", seconds);
    PrintResult(name + ".bytes_per_s", shownMB * 1e6 / seconds);
    PrintResult(name + ".cpu_percent", 100 * cpu / seconds);
    if (shownMB > 0) {
        PrintResult(name + ".cpu_s_per_MB", cpu / shownMB);
        PrintResult(name + ".rss_growth_per_log_MB",
                    (last.resident - first.resident) / 1e6 / shownMB);
    }
    PrintResult(name + ".timer_interval_ms", settings.tickMs);
    PrintResult(name + ".timer_p99_ms", qk::bench::Percentile(probe.lateness(), 99));
    PrintResult(name + ".timer_max_ms", qk::bench::Percentile(probe.lateness(), 100));
    PrintResult(name + ".rss_MB", last.resident / 1e6);
    PrintResult(name + ".log_MB", last.logBytes / 1e6);
}

// Everything the device sent arrived, intact, and the box shows it all.
bool CheckLog(const Settings& settings, const CConfigToolDlg& window) {
    const std::string& log = window.state().infoLog;
    const auto stream = qk::bench::DataStreamCheck::Check(log);
    qk::ui::GbkLogDecoder decoder;
    const bool boxMatches = window.Item<qk::ui::InfoLogBox>(1002)->LogText() == decoder.Decode(log);
    const std::string& name = settings.label;
    PrintResult(name + ".data_lines", static_cast<double>(stream.lines));
    PrintResult(name + ".lost_bytes", static_cast<double>(stream.lostBytes()));
    PrintResult(name + ".corrupt_lines", static_cast<double>(stream.corrupt));
    PrintResult(name + ".box_matches_log", boxMatches ? "yes" : "no");
    return stream.lost == 0 && stream.corrupt == 0 && boxMatches;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!Parse(argc, argv, settings)) {
        return 1;
    }
    std::signal(SIGTERM, RequestStop);
    std::signal(SIGINT, RequestStop);
    QApplication application(argc, argv);

    qk::PortDirectory ports;
    ports.Pin(1, settings.port);
    PrintingPresenter messages;
    CConfigToolDlg window(std::move(ports), messages,
                          settings.fast ? FastTiming() : qk::ControllerTiming{});
    window.show();
    // Runs the whole sequence (handshake, parameter reads) in its own pauses.
    window.findChild<QPushButton*>(QStringLiteral("1001"))->click();
    if (!window.IsPortOpen() || !window.IsReceiving()) {
        std::fprintf(stderr, "stream_window: %s did not open\n", settings.port.c_str());
        return 1;
    }

    Probe probe(window, settings);
    QApplication::exec();
    Report(settings, probe);
    return CheckLog(settings, window) ? 0 : 2;
}
