#include <windows.h>
// After windows.h:
#include <dbt.h>

#include <QTest>
#include <atomic>
#include <thread>

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
    // came or went lists again and hands on the difference. Other device messages and an
    // unchanged list hand on nothing.
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
        // As Windows delivers it: sent from another thread, handled on this one while its
        // event loop runs.
        const auto deliver = [hwnd = static_cast<HWND>(watcher.window())](WPARAM what) {
            std::atomic<bool> handled = false;
            std::thread sender([&] {
                SendMessageW(hwnd, WM_DEVICECHANGE, what, 0);
                handled = true;
            });
            const bool inTime = QTest::qWaitFor([&] { return handled.load(); });
            sender.join();
            return inTime;
        };

        QVERIFY(deliver(DBT_DEVICEARRIVAL));
        QCOMPARE(heard, QStringList{"+ \\\\.\\COM5 USB-SERIAL CH340"});
        QVERIFY(deliver(DBT_QUERYCHANGECONFIG));  // not about a device coming or going
        QCOMPARE(listed, std::size_t{2});
        QVERIFY(deliver(DBT_DEVICEREMOVECOMPLETE));
        QCOMPARE(heard, (QStringList{"+ \\\\.\\COM5 USB-SERIAL CH340", "- \\\\.\\COM1 "}));
        QVERIFY(deliver(DBT_DEVNODES_CHANGED));
        QCOMPARE(listed, std::size_t{4});
        QCOMPARE(heard.size(), 2);

        // Nobody listening: the change is taken in but handed to no one.
        watcher.Watch({});
        listings.push_back({});
        QVERIFY(deliver(DBT_DEVICEREMOVECOMPLETE));
        QCOMPARE(listed, std::size_t{5});
        QCOMPARE(heard.size(), 2);
    }
};

QTEST_MAIN(Win32PortWatchTest)
#include "Win32PortWatchTest.moc"
