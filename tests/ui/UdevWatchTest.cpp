// The program's port watcher against umockdev's fake device tree and udev events (the test
// runs under umockdev-wrapper): an adapter plugged in or out shows in the COM list.
#include <umockdev.h>

#include <QTest>

#include "CConfigToolDlg.h"
#include "FakeUsbAdapter.h"
#include "UdevPortWatcher.h"
#include "UiTestSupport.h"

using namespace qk;
using namespace qk::ui;

class UdevWatchTest : public QObject {
    Q_OBJECT
  private slots:
    void adapterPluggedInAndOutShowsInTheComList() {
        UMockdevTestbed* testbed = umockdev_testbed_new();
        UdevPortWatcher watcher;
        test::RecordingPresenter messages;
        test::ScriptedFileChooser files;
        CConfigToolDlg window(PortDirectory{}, messages, files, watcher, test::FastTiming());
        window.show();
        const auto row = [&] {
            return window.Item<CComboBox>(main_dialog::kComList)
                ->itemData(0, ComPortList::kRowTextRole)
                .toString();
        };
        QCOMPARE(row(), "COM1  no serial device");

        {
            test::FakeUsbAdapter adapter(testbed);
            QTRY_COMPARE_WITH_TIMEOUT(
                row(), "COM1  USB Serial by QinHeng Electronics (1a86:7523, ch341, serial A1B2)",
                2000);
            adapter.PlugOut();
            QTRY_COMPARE_WITH_TIMEOUT(row(), "COM1  no serial device", 2000);
        }
        g_object_unref(testbed);
    }
};

QTEST_MAIN(UdevWatchTest)
#include "UdevWatchTest.moc"
