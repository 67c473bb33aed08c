// The program's port watcher against umockdev's fake device tree and udev events (the test
// runs under umockdev-wrapper): an adapter plugged in or out shows in the COM list.
#include <umockdev.h>

#include <QTest>

#include "CConfigToolDlg.h"
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
            return window.Item<CComboBox>(1010)->itemData(0, ComPortList::kRowTextRole).toString();
        };
        QCOMPARE(row(), "COM1  no serial device");

        gchar* usb = umockdev_testbed_add_device(testbed, "usb", "1-1", nullptr, "idVendor", "1a86",
                                                 "idProduct", "7523", "product", "USB Serial",
                                                 "manufacturer", "QinHeng Electronics", "serial",
                                                 "A1B2", nullptr, "DEVTYPE", "usb_device", nullptr);
        gchar* interface = umockdev_testbed_add_device(testbed, "usb", "1-1:1.0", usb, nullptr,
                                                       "DEVTYPE", "usb_interface", nullptr);
        gchar* tty =
            umockdev_testbed_add_device(testbed, "tty", "ttyUSB0", interface, nullptr, "DEVNAME",
                                        "/dev/ttyUSB0", "ID_USB_DRIVER", "ch341", nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(
            row(), "COM1  USB Serial by QinHeng Electronics (1a86:7523, ch341, serial A1B2)", 2000);
        umockdev_testbed_uevent(testbed, tty, "remove");
        QTRY_COMPARE_WITH_TIMEOUT(row(), "COM1  no serial device", 2000);

        g_free(tty);
        g_free(interface);
        g_free(usb);
        g_object_unref(testbed);
    }
};

QTEST_MAIN(UdevWatchTest)
#include "UdevWatchTest.moc"
