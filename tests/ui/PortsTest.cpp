// The COM list and the ports behind it: what it names, adapters that come and go while the
// window runs, and Find Device against simulated devices on pseudo-terminals.
#include <unistd.h>

#include <QAbstractItemView>
#include <QProgressDialog>
#include <QTest>
#include <optional>

#include "Ser2netServer.h"
#include "SimulatedDevice.h"
#include "UiTestSupport.h"

using namespace qk;
using namespace qk::ui;
using namespace std::chrono_literals;

namespace {

// What the system says of a CH340 adapter on /dev/ttyUSB<index>.
PortIdentity UsbAdapter(int index, const std::string& serial) {
    return {"/dev/ttyUSB" + std::to_string(index),
            PortIdentity::Kind::Usb,
            "",
            "",
            "USB Serial",
            "QinHeng Electronics",
            serial,
            "1a86",
            "7523",
            "ch341",
            "/dev/serial/by-id/usb-1a86_USB_Serial_" + serial + "-if00-port0",
            ""};
}

// The main window with Find Device at hand.
struct Window : test::MainWindow {
    using MainWindow::MainWindow;
    DeviceFinder& finder() { return dialog.deviceFinder(); }
    void FindDevice() { dialog.OnSysCommand(SystemMenu::kFindDeviceCommand); }
    // What the open COM list shows for a number.
    QString Row(int number) {
        return List(main_dialog::kComList)
            ->itemData(number - 1, ComPortList::kRowTextRole)
            .toString();
    }
};

struct NoSink final : SerialMessageSink {
    void SerialError(std::string_view, std::string_view) override {}
};

}  // namespace

class PortsTest : public QObject {
    Q_OBJECT
  private slots:
    // The open list names what stands behind each number, each row whole; the closed box
    // keeps "COMn". Adapters plugged in and out take and leave numbers as the directory
    // gives them; the entries and the operator's choice stay, pins win.
    void comListNamesEachAdapterAsTheyComeAndGo() {
        PortIdentity builtIn;
        builtIn.path = "/dev/ttyS0";
        builtIn.kind = PortIdentity::Kind::BuiltIn;
        builtIn.uartType = "16550A";
        PortDirectory ports = PortDirectory::FromPorts({builtIn, UsbAdapter(0, "A")});
        ports.Pin(5, "/dev/pts/7");
        Window w(std::move(ports));
        QVERIFY(w.Activate());
        CComboBox* list = w.List(main_dialog::kComList);
        QCOMPARE((QStringList{w.Row(1), w.Row(2), w.Row(3), w.Row(5)}),
                 (QStringList{"COM1  USB Serial by QinHeng Electronics (1a86:7523, ch341, "
                              "serial A)",
                              "COM2  built-in port (16550A UART)", "COM3  no serial device",
                              "COM5  /dev/pts/7"}));
        QCOMPARE(list->itemData(1, Qt::ToolTipRole).toString(), "/dev/ttyS0");
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
        test::Pick(list, 2);  // COM3, nothing behind it yet

        w.watcher.Plug(UsbAdapter(1, "B"));
        QVERIFY2(w.Row(3).endsWith("serial B)"), qPrintable(w.Row(3)));
        QCOMPARE(list->itemData(2, Qt::ToolTipRole).toString(), "/dev/ttyUSB1");
        w.watcher.Unplug("/dev/ttyUSB0");
        QCOMPARE(w.Row(1), "COM1  no serial device");
        // COM1 is kept for the adapter that left; it gets it back under another node.
        w.watcher.Plug(UsbAdapter(2, "C"));
        QVERIFY2(w.Row(4).endsWith("serial C)"), qPrintable(w.Row(4)));
        w.watcher.handler({{false, UsbAdapter(1, "B")}, {true, UsbAdapter(3, "A")}});
        w.watcher.Unplug("/dev/pts/7");
        QCOMPARE((QStringList{w.Row(1).right(9), w.Row(3), w.Row(5)}),
                 (QStringList{"serial A)", "COM3  no serial device", "COM5  /dev/pts/7"}));

        QCOMPARE((QList<int>{list->GetCurSel(), list->count()}), (QList<int>{2, 14}));
        QCOMPARE(list->currentText(), "COM3");
        QVERIFY(w.messages.entries.empty());
    }

    // Pulling the open port's adapter: the port closes with the one message of a lost
    // line, and the number waits for that adapter, which opens again once it is back.
    // Find Device is refused while the port is open, saying why.
    void pullingTheOpenPortsAdapterClosesItAndKeepsItsNumber() {
        std::optional<sim::SimulatedDevice> device(std::in_place);
        PortIdentity adapter = UsbAdapter(0, "A");
        adapter.path = device->slavePath();
        Window w(PortDirectory::FromPorts({adapter}));
        w.Button(main_dialog::kOpenClose)->click();
        QVERIFY(w.dialog.IsPortOpen() && w.dialog.IsReceiving());

        device.reset();
        w.watcher.Unplug(adapter.path);
        QTRY_VERIFY_WITH_TIMEOUT(!w.dialog.IsPortOpen(), 2000);
        QCOMPARE(w.messages.texts(), QStringList{"Device lost, port closed"});
        QVERIFY(w.messages.entries.front().message.detail.contains(adapter.path.c_str()));
        QCOMPARE(w.Row(1), "COM1  no serial device");
        w.watcher.Plug(UsbAdapter(1, "B"));
        QVERIFY2(w.Row(2).endsWith("serial B)"), qPrintable(w.Row(2)));

        sim::SimulatedDevice back;
        back.SetValue("PIPADD", "10.20.30.40");
        adapter.path = back.slavePath();
        w.watcher.Plug(adapter);
        QVERIFY2(w.Row(1).endsWith("serial A)"), qPrintable(w.Row(1)));
        w.Button(main_dialog::kOpenClose)->click();
        QCOMPARE(w.Button(main_dialog::kOpenClose)->text(), QStringLiteral("Close"));
        QVERIFY(w.dialog.IsPortOpen() && w.dialog.IsReceiving());
        QTRY_COMPARE(w.Edit(main_dialog::kDestAddress)->text(), QStringLiteral("10.20.30.40"));
        w.FindDevice();
        QVERIFY(!w.finder().IsRunning());
        QCOMPARE(w.messages.texts(),
                 (QStringList{"Device lost, port closed",
                              "Close the port first: Find Device tries every port, " +
                                  QString::fromStdString(back.slavePath()) + " included."}));
    }

    // Every port at once, each at its own speed: the first by COM number is selected with
    // its speed, the message names all and why a port could not be searched.
    void findDeviceSelectsTheFirstPortFoundAndItsSpeed() {
        sim::SimulatedDevice slow(sim::SimOptions{.lineSpeed = 57600});
        sim::SimulatedDevice other(sim::SimOptions{.lineSpeed = 19200});
        other.SetValue("ID", "QK4520-000777");
        Window w(test::Pinned(
            {{6, other.slavePath()}, {3, slow.slavePath()}, {2, "/nonexistent/ttyQK"}}));
        // A fraction of a second per rate, with room for a loaded machine's late replies: a
        // reply missed at the device's own rate would lose the device.
        w.finder().SetTiming(
            {.polls = 3, .retry = 50ms, .queryGap = 2ms, .answerWait = 1000ms, .readPoll = 2ms});
        w.FindDevice();
        QVERIFY(w.finder().IsRunning() && w.finder().progress()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!w.finder().IsRunning(), 10000);

        QCOMPARE(w.messages.texts(),
                 QStringList{"Found QK4520-000123 on COM3 at 57600 baud, QK4520-000777 on COM6 at "
                             "19200 baud. COM3 is selected."});
        const QString detail = w.messages.entries.front().message.detail;
        QVERIFY2(detail.startsWith("COM2: /nonexistent/ttyQK: No such file"), qPrintable(detail));
        QCOMPARE(w.List(main_dialog::kComList)->currentText() + " " +
                     w.List(main_dialog::kPortBaudList)->currentText(),
                 "COM3 57600");
        QVERIFY(!w.dialog.IsPortOpen() && w.finder().progress() == nullptr);
    }

    // Ports served over the network stand in the COM list as pinned paths do. Find Device
    // searches an RFC 2217 port's rates, tries a raw TCP port at its server's speed and says
    // so; the window then opens the port found, at the speed found, through ser2net.
    void networkPortsAreListedFoundAndOpened() {
        using Accepter = test::Ser2netServer::Accepter;
        sim::SimulatedDevice fast(sim::SimOptions{.lineSpeed = 57600});
        sim::SimulatedDevice raw;
        raw.SetValue("ID", "QK4520-000888");
        fast.SetValue("PIPADD", "10.20.30.41");
        test::Ser2netServer server(
            {{fast.slavePath(), Accepter::Rfc2217}, {raw.slavePath(), Accepter::RawTcp}});
        const QString rfc2217 = QString::fromStdString(server.Url(0));
        Window w(test::Pinned({{4, server.Url(0)}, {7, server.Url(1)}}));
        QVERIFY(w.Activate());
        QCOMPARE(w.Row(4), "COM4  " + rfc2217);
        QCOMPARE(w.List(1010)->itemData(3, Qt::ToolTipRole).toString(), rfc2217);

        w.finder().SetTiming(
            {.polls = 3, .retry = 50ms, .queryGap = 2ms, .answerWait = 1000ms, .readPoll = 2ms});
        w.FindDevice();
        QTRY_VERIFY(
            w.finder().progress()->labelText().contains("COM7: at the server's line speed") ||
            !w.finder().IsRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!w.finder().IsRunning(), 20000);
        QCOMPARE(w.messages.texts(),
                 QStringList{"Found QK4520-000123 on COM4 at 57600 baud, QK4520-000888 on COM7 at "
                             "the server's line speed (raw TCP). COM4 is selected."});
        QCOMPARE(w.List(1010)->currentText() + " " + w.List(1046)->currentText(), "COM4 57600");

        w.Button(1001)->click();
        QVERIFY(w.dialog.IsPortOpen() && w.dialog.IsReceiving());
        QTRY_COMPARE(w.Edit(1019)->text(), QStringLiteral("10.20.30.41"));
        QCOMPARE(fast.LineSpeed(), 57600u);
        w.Button(1001)->click();
        QVERIFY(!w.dialog.IsPortOpen());
        QCOMPARE(w.messages.texts().size(), 1);
    }

    // The rate chosen in Baud Rate is tried first; a port where nothing answered is never
    // selected, whatever its number.
    void findDeviceTriesTheChosenRateFirstAndSelectsNoSilentPort() {
        sim::SimulatedDevice silent(sim::SimOptions{.noHandshake = true});
        {
            Window w(test::Pinned({{1, silent.slavePath()}}));
            w.finder().SetTiming({.polls = 1000, .retry = 1s});  // it stays on its first rate
            test::Pick(w.List(main_dialog::kPortBaudList), 8);   // 38400
            w.FindDevice();
            QTRY_VERIFY(w.finder().progress()->labelText().contains("COM1: 38400 baud"));
            w.finder().Cancel();
        }
        sim::SimulatedDevice device(sim::SimOptions{.lineSpeed = 19200});
        Window w(test::Pinned({{1, silent.slavePath()}, {4, device.slavePath()}}));
        w.finder().SetTiming(
            {.polls = 3, .retry = 50ms, .queryGap = 2ms, .answerWait = 1000ms, .readPoll = 2ms});
        w.FindDevice();
        QTRY_VERIFY_WITH_TIMEOUT(!w.finder().IsRunning(), 10000);
        QCOMPARE(w.List(main_dialog::kComList)->currentText() + " " +
                     w.List(main_dialog::kPortBaudList)->currentText(),
                 "COM4 19200");
    }

    // Cancel, closing the window or its end stop the scans at once and change nothing;
    // until then the window takes input.
    void cancelStopsTheSearch() {
        for (const QString how : {"Cancel button", "window closed", "window ended"}) {
            sim::SimulatedDevice silent(sim::SimOptions{.noHandshake = true});
            const PortDirectory ports = test::Pinned({{1, silent.slavePath()}});
            auto w = std::make_unique<Window>(ports);
            w->finder().SetTiming(
                {.polls = 1000, .retry = 1s});  // a silent port keeps its first rate
            w->FindDevice();
            QPointer<QProgressDialog> progress = w->finder().progress();
            QTRY_VERIFY(progress->labelText().contains("COM1: 9600 baud"));
            test::Pick(w->List(main_dialog::kPortBaudList), 11);
            if (how == "Cancel button") {
                // Open meanwhile: the port is busy, held by the search, which locked it.
                w->Button(main_dialog::kOpenClose)->click();
                QCOMPARE(w->messages.texts(), QStringList{"Open com failed!"});
                const QString detail = w->messages.entries.front().message.detail;
                QVERIFY2(detail.contains(QStringLiteral(" is locked by pid %1 (").arg(getpid())) &&
                             detail.endsWith(QStringLiteral(", this program)")),
                         qPrintable(detail));
                w->messages.entries.clear();
                progress->findChild<QPushButton*>()->click();
            } else if (how == "window closed") {
                w->dialog.close();
                QVERIFY(!w->dialog.isVisible());
            } else {
                w.reset();
            }
            if (w) {
                QVERIFY(!w->finder().IsRunning() && w->messages.entries.empty());
                QCOMPARE(w->List(main_dialog::kComList)->GetCurSel(), 0);
                QCOMPARE(w->List(main_dialog::kPortBaudList)->currentText(), "115200");
            }
            QTRY_VERIFY(progress.isNull());
            // The scan's thread has let go of the port.
            NoSink sink;
            CSerialPort port(ports, sink);
            QVERIFY2(port.Open(1, 9600, 8, 0, 0), qPrintable(how));
        }
    }
};

QTEST_MAIN(PortsTest)
#include "PortsTest.moc"
