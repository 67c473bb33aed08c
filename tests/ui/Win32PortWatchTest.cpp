#include <windows.h>
// After windows.h:
#include <dbt.h>

#include <QTest>

#include "Win32PortWatcher.h"

using namespace qk;
using namespace qk::ui;

namespace {

PortIdentity Port(const char* path, const char* product = "") {
    PortIdentity port;
    port.path = path;
    port.product = product;
    return port;
}

}  // namespace

class Win32PortWatchTest : public QObject {
    Q_OBJECT
  private slots:
    // The listing at construction is the base; each WM_DEVICECHANGE that says a device
    // came or went lists again and hands on the difference, through the window thread's
    // own message loop. Other device messages and an unchanged list hand on nothing.
    void deviceChangesBecomePortEvents() {
        std::vector<std::vector<PortIdentity>> listings = {
            {Port("\\\\.\\COM1")},
            {Port("\\\\.\\COM1"), Port("\\\\.\\COM5", "USB-SERIAL CH340")},
            {Port("\\\\.\\COM5", "USB-SERIAL CH340")},
            {Port("\\\\.\\COM5", "USB-SERIAL CH340")},
        };
        std::size_t listed = 0;
        Win32PortWatcher watcher([&] { return listings.at(listed++); });
        QVERIFY(watcher.window() != nullptr);
        QStringList heard;
        watcher.Watch([&](const std::vector<PortMonitor::Event>& events) {
            for (const auto& event : events) {
                heard << QStringLiteral("%1 %2 %3")
                             .arg(event.added ? "+" : "-", QString::fromStdString(event.port.path),
                                  QString::fromStdString(event.port.product));
            }
        });
        const auto hwnd = static_cast<HWND>(watcher.window());
        const auto post = [&](WPARAM what) { PostMessageW(hwnd, WM_DEVICECHANGE, what, 0); };

        post(DBT_DEVICEARRIVAL);
        QTRY_COMPARE(heard, QStringList{"+ \\\\.\\COM5 USB-SERIAL CH340"});
        post(DBT_QUERYCHANGECONFIG);  // not about a device coming or going
        post(DBT_DEVICEREMOVECOMPLETE);
        QTRY_COMPARE(heard.size(), 2);
        QCOMPARE(heard.back(), QStringLiteral("- \\\\.\\COM1 "));
        QCOMPARE(listed, std::size_t{3});
        post(DBT_DEVNODES_CHANGED);
        QTRY_COMPARE(listed, std::size_t{4});
        QCOMPARE(heard.size(), 2);

        // Nobody listening: the change is taken in but handed to no one.
        watcher.Watch({});
        listings.push_back({});
        post(DBT_DEVICEREMOVECOMPLETE);
        QTRY_COMPARE(listed, std::size_t{5});
        QCOMPARE(heard.size(), 2);
    }
};

QTEST_MAIN(Win32PortWatchTest)
#include "Win32PortWatchTest.moc"
