// The window's side of hot-plug, against umockdev's fake device tree (run under
// umockdev-wrapper): how long an adapter plugged in or out takes to show in the COM list,
// and what the window costs while idle, first with ports that stay as given, then with the
// udev monitor listening.
//
//   umockdev-wrapper port_events [--rounds N] [--idle-seconds S]
//
// Prints "result:" lines.
#include <umockdev.h>

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string_view>
#include <vector>

#include "CComboBox.h"
#include "CConfigToolDlg.h"
#include "ComPortList.h"
#include "FakeUsbAdapter.h"
#include "Measure.h"
#include "QFileDialogChooser.h"
#include "QMessageBoxPresenter.h"
#include "UdevPortWatcher.h"

namespace {

using qk::bench::CpuSeconds;
using qk::bench::Now;
using qk::bench::PrintResult;
using qk::ui::CConfigToolDlg;

constexpr int kComList = 1010;
constexpr double kGiveUpSeconds = 10;

QString FirstRow(const CConfigToolDlg& window) {
    return window.Item<qk::ui::CComboBox>(kComList)
        ->itemData(0, qk::ui::ComPortList::kRowTextRole)
        .toString();
}

// Runs the event loop until `done` holds; the seconds that took, or negative on giving up.
// The check runs each millisecond, which is the resolution of the figure.
double SecondsUntil(const std::function<bool()>& done) {
    const double start = Now();
    while (!done()) {
        if (Now() - start > kGiveUpSeconds) {
            return -1;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return Now() - start;
}

// CPU percent of one core that the process spends while the window idles `seconds`, after
// a second for its first layout and paint.
double IdleCpuPercent(double seconds) {
    QTimer::singleShot(1000, qApp, &QApplication::quit);
    QApplication::exec();
    const double cpuBefore = CpuSeconds();
    const double start = Now();
    QTimer::singleShot(static_cast<int>(seconds * 1000), qApp, &QApplication::quit);
    QApplication::exec();
    return 100 * (CpuSeconds() - cpuBefore) / (Now() - start);
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 20;
    double idleSeconds = 30;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (option == "--rounds") {
            rounds = std::atoi(argv[i + 1]);
        } else if (option == "--idle-seconds") {
            idleSeconds = std::atof(argv[i + 1]);
        }
    }
    if (rounds < 1 || idleSeconds <= 0) {
        std::fprintf(stderr, "usage: port_events [--rounds N] [--idle-seconds S]\n");
        return 1;
    }
    QApplication application(argc, argv);
    qk::ui::QMessageBoxPresenter messages(QStringLiteral("port_events"));
    {
        CConfigToolDlg window(qk::PortDirectory{}, messages);
        window.show();
        PrintResult("ports.idle_static_cpu_percent", IdleCpuPercent(idleSeconds));
    }

    UMockdevTestbed* testbed = umockdev_testbed_new();
    qk::ui::UdevPortWatcher watcher;
    qk::ui::QFileDialogChooser files;
    CConfigToolDlg window(qk::PortDirectory{}, messages, files, watcher);
    window.show();
    PrintResult("ports.idle_monitor_cpu_percent", IdleCpuPercent(idleSeconds));

    const auto adapterShown = [&] { return FirstRow(window).contains(QStringLiteral("USB Serial")); };
    std::vector<double> in;
    std::vector<double> out;
    for (int round = 0; round < rounds; ++round) {
        qk::test::FakeUsbAdapter adapter(testbed);
        in.push_back(SecondsUntil(adapterShown));
        adapter.PlugOut();
        out.push_back(SecondsUntil([&] { return !adapterShown(); }));
        if (in.back() < 0 || out.back() < 0) {
            std::fprintf(stderr, "port_events: the COM list did not follow the adapter\n");
            return 2;
        }
    }
    g_object_unref(testbed);
    const auto ms = [](const std::vector<double>& seconds, double percent) {
        return 1000 * qk::bench::Percentile(seconds, percent);
    };
    PrintResult("ports.plug_in_p50_ms", ms(in, 50));
    PrintResult("ports.plug_in_max_ms", ms(in, 100));
    PrintResult("ports.plug_out_p50_ms", ms(out, 50));
    PrintResult("ports.plug_out_max_ms", ms(out, 100));
    return 0;
}
