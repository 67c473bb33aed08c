// Device values that are no valid GBK, hold control or zero bytes, or run on for
// thousands of bytes: the window shows something for each, stays usable, and hands the
// exact bytes back to the record.
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

#include "CConfigToolDlg.h"
#include "GbkLineEdit.h"
#include "UiTestSupport.h"

using namespace qk;
using namespace qk::ui;
using namespace std::string_literals;

namespace {

constexpr int kDestAddress = 1019;
constexpr int kDestPort = 1020;
constexpr int kLog = 1002;

const QChar kReplacement(0xFFFD);
const QChar kStartOfHeading(0x2401);  // the control picture of byte 01
const QChar kDelete(0x2421);          // the control picture of DEL

const std::string kAddress = "A\xFF\x80\x01\x7FZ";
const std::string kPort = "5\0\x01\xFE"s;
const std::string kId = "\x81\x7F\xFF\x1B[2J";

}  // namespace

class FaultDisplayTest : public QObject {
    Q_OBJECT
  private slots:
    void oddValuesAreShownAndHandedBackByteForByte() {
        test::RecordingPresenter messages;
        CConfigToolDlg window(PortDirectory{}, messages, test::FastTiming());
        window.show();
        const std::string noLineFeed(2000, '\x80');
        const std::string block = "+PIPADD:" + kAddress + "\r\n+PPORT:" + kPort + "\r\n+ID:" + kId +
                                  "\r\n+STAT:\xFF,\x01,\x80\r\n+VER:\x01\r\n" + noLineFeed +
                                  "\r+ID:\r\n";
        window.HandleReceivedBlock(block);
        window.HandleReceivedBlock("+PIPADD:" + kAddress + "\r\n");  // the same value again

        const QString log = window.Item<QPlainTextEdit>(kLog)->toPlainText();
        QVERIFY(log.startsWith(QStringLiteral("+PIPADD:A")));
        QVERIFY(log.contains(kReplacement));
        QVERIFY(log.contains(kStartOfHeading));
        QVERIFY(log.contains(kDelete));
        QVERIFY(log.size() > static_cast<int>(noLineFeed.size()) / 2);
        QCOMPARE(window.state().infoLog, block + "+PIPADD:" + kAddress + "\r\n");

        auto* address = window.Item<GbkLineEdit>(kDestAddress);
        auto* port = window.Item<GbkLineEdit>(kDestPort);
        QVERIFY(address->text().startsWith(u'A'));
        QVERIFY(address->text().endsWith(u'Z'));
        QVERIFY(!port->text().isEmpty());
        QVERIFY(!window.statusBar()->GetText(1).isEmpty());
        QVERIFY(window.statusBar()->GetText(0).startsWith(QStringLiteral("field strength:")));

        window.UpdateState();
        QCOMPARE(window.state().destAddress, kAddress);
        QCOMPARE(window.state().destPort, kPort);
        QCOMPARE(address->Bytes(), kAddress);
        QCOMPARE(port->Bytes(), kPort);

        // Still a working window: the next answer is shown as usual.
        window.HandleReceivedBlock("+PPORT:6000\r\n");
        QCOMPARE(port->text(), QStringLiteral("6000"));
        QVERIFY(window.isVisible());
        QVERIFY(messages.entries.empty());
    }
};

QTEST_MAIN(FaultDisplayTest)
#include "FaultDisplayTest.moc"
