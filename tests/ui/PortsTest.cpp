// The COM list and the ports behind it: what it names, adapters that come and go while the
// window runs, and Find Device against simulated devices on pseudo-terminals.
#include <QAbstractItemView>
#include <QTest>
#include <optional>

#include "CConfigToolDlg.h"
#include "SimulatedDevice.h"
#include "UiTestSupport.h"

using namespace qk;
using namespace qk::ui;

namespace {

// What the system says of a CH340 adapter on /dev/ttyUSB<index>.
PortIdentity UsbAdapter(int index, const std::string& serial) {
    PortIdentity port;
    port.path = "/dev/ttyUSB" + std::to_string(index);
    port.kind = PortIdentity::Kind::Usb;
    port.product = "USB Serial";
    port.manufacturer = "QinHeng Electronics";
    port.serial = serial;
    port.vendorId = "1a86";
    port.productId = "7523";
    port.driver = "ch341";
    port.byId = "/dev/serial/by-id/usb-1a86_USB_Serial_" + serial + "-if00-port0";
    return port;
}

// Ports that come and go when the test says so.
struct ScriptedPortWatcher final : PortWatcher {
    void Watch(Handler h) override { handler = std::move(h); }
    void Plug(const PortIdentity& port) { handler({{true, port}}); }
    void Unplug(const std::string& path) {
        PortIdentity gone;
        gone.path = path;
        handler({{false, gone}});
    }
    Handler handler;
};

struct Window {
    test::RecordingPresenter messages;
    test::ScriptedFileChooser files;
    ScriptedPortWatcher watcher;
    CConfigToolDlg dialog;

    explicit Window(PortDirectory ports, ControllerTiming timing = test::FastTiming())
        : dialog(std::move(ports), messages, files, watcher, timing) {
        dialog.show();
    }
    CComboBox* List(int id) { return dialog.Item<CComboBox>(id); }
    // What the open COM list shows for a number.
    QString Row(int number) {
        return List(1010)->itemData(number - 1, ComPortList::kRowTextRole).toString();
    }
};

}  // namespace

class PortsTest : public QObject {
    Q_OBJECT
  private slots:
    // The open list names what stands behind each number; the closed box keeps "COMn".
    void comListNamesEachAdapter() {
        PortIdentity builtIn;
        builtIn.path = "/dev/ttyS0";
        builtIn.kind = PortIdentity::Kind::BuiltIn;
        builtIn.uartType = "16550A";
        PortDirectory ports = PortDirectory::FromPorts({builtIn, UsbAdapter(0, "A1B2")});
        ports.Pin(5, "/dev/pts/7");
        Window w(std::move(ports));
        QVERIFY(QTest::qWaitForWindowActive(&w.dialog));
        CComboBox* list = w.List(1010);
        QStringList rows;
        for (const int index : {0, 1, 2, 4}) {
            rows << list->itemData(index, ComPortList::kRowTextRole).toString();
        }
        QCOMPARE(rows, (QStringList{"COM1  USB Serial by QinHeng Electronics (1a86:7523, ch341, "
                                    "serial A1B2)",
                                    "COM2  built-in port (16550A UART)", "COM3  no serial device",
                                    "COM5  /dev/pts/7"}));
        QCOMPARE(list->itemData(1, Qt::ToolTipRole).toString(), "/dev/ttyS0");
        test::Pick(list, 1);
        QCOMPARE(list->currentText(), "COM2");
        QCOMPARE(test::Entries(*list).size(), 14);

        // Each row is drawn whole in the open list.
        list->showPopup();
        QAbstractItemView* view = list->view();
        QVERIFY(QTest::qWaitForWindowExposed(view));
        QStyleOptionViewItem option;
        option.initFrom(view);
        option.font = view->font();
        for (int index = 0; index < list->count(); ++index) {
            const QModelIndex entry = view->model()->index(index, 0);
            const QString row = entry.data(ComPortList::kRowTextRole).toString();
            const int drawn = view->itemDelegate()->sizeHint(option, entry).width();
            QVERIFY2(drawn >= view->fontMetrics().horizontalAdvance(row), qPrintable(row));
            QVERIFY2(view->viewport()->width() >= drawn, qPrintable(row));
        }
        list->hidePopup();
    }

    // Adapters plugged in and out take and leave numbers as the directory gives them; the
    // entries and the operator's choice stay, pins win.
    void adaptersComeAndGoWhileTheSelectionStays() {
        PortDirectory ports = PortDirectory::FromPorts({UsbAdapter(0, "A")});
        ports.Pin(5, "/dev/pts/7");
        Window w(std::move(ports));
        QVERIFY(QTest::qWaitForWindowActive(&w.dialog));
        test::Pick(w.List(1010), 1);  // COM2, nothing behind it yet
        QCOMPARE(w.Row(2), "COM2  no serial device");

        w.watcher.Plug(UsbAdapter(1, "B"));
        QVERIFY2(w.Row(2).endsWith("serial B)"), qPrintable(w.Row(2)));
        QCOMPARE(w.List(1010)->itemData(1, Qt::ToolTipRole).toString(), "/dev/ttyUSB1");
        w.watcher.Unplug("/dev/ttyUSB0");
        QCOMPARE(w.Row(1), "COM1  no serial device");
        // COM1 is kept for the adapter that left; it gets it back under another node.
        w.watcher.Plug(UsbAdapter(2, "C"));
        QVERIFY2(w.Row(3).endsWith("serial C)"), qPrintable(w.Row(3)));
        w.watcher.handler({{false, UsbAdapter(1, "B")}, {true, UsbAdapter(3, "A")}});
        QVERIFY2(w.Row(1).endsWith("serial A)"), qPrintable(w.Row(1)));
        QCOMPARE(w.Row(2), "COM2  no serial device");
        w.watcher.Unplug("/dev/pts/7");
        QCOMPARE(w.Row(5), "COM5  /dev/pts/7");

        QCOMPARE(w.List(1010)->count(), 14);
        QCOMPARE(w.List(1010)->GetCurSel(), 1);
        QCOMPARE(w.List(1010)->currentText(), "COM2");
        QVERIFY(w.messages.entries.empty());
    }

    // Pulling the open port's adapter: the port closes with the one message of a lost
    // line, and the number waits for that adapter.
    void pullingTheOpenPortsAdapterClosesItAndKeepsItsNumber() {
        std::optional<sim::SimulatedDevice> device(std::in_place);
        PortIdentity adapter = UsbAdapter(0, "A");
        adapter.path = device->slavePath();
        Window w(PortDirectory::FromPorts({adapter}));
        w.dialog.Item<QPushButton>(1001)->click();
        QVERIFY(w.dialog.IsPortOpen() && w.dialog.IsReceiving());

        device.reset();
        w.watcher.Unplug(adapter.path);
        QTRY_VERIFY_WITH_TIMEOUT(!w.dialog.IsPortOpen(), 2000);
        QCOMPARE(w.messages.texts(), QStringList{"Device lost, port closed"});
        QCOMPARE(w.Row(1), "COM1  no serial device");
        w.watcher.Plug(UsbAdapter(1, "B"));
        QVERIFY2(w.Row(2).endsWith("serial B)"), qPrintable(w.Row(2)));
        w.watcher.Plug(UsbAdapter(2, "A"));
        QVERIFY2(w.Row(1).endsWith("serial A)"), qPrintable(w.Row(1)));
        QCOMPARE(w.messages.entries.size(), 1u);
    }
};

QTEST_MAIN(PortsTest)
#include "PortsTest.moc"
