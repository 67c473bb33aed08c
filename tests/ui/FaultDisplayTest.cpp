// Device values that are no valid GBK, hold control or zero bytes, or run on for
// thousands of bytes: the window shows something for each, stays usable, and hands the
// exact bytes back to the record.
#include <QTest>

#include "CConfigToolDlg.h"
#include "GbkLineEdit.h"
#include "UiTestSupport.h"

using namespace qk;
using namespace qk::ui;
using namespace std::string_literals;

class FaultDisplayTest : public QObject {
    Q_OBJECT
  private slots:
    void oddValuesAreShownAndHandedBackByteForByte() {
        const std::string address = "A\x81\x20\xFF\xFE\x80\x01\x7FZ";
        const std::string port = "5\0\x01\xFE"s;
        QVERIFY(ToGbk(FromGbk(address)) != address);  // a round trip would change it
        test::RecordingPresenter messages;
        CConfigToolDlg window(PortDirectory{}, messages, test::FastTiming());
        window.show();
        const std::string block = "+PIPADD:" + address + "\r\n+PPORT:" + port +
                                  "\r\n+ID:\x81\x7F\xFF\x1B[2J\r\n+STAT:\xFF,\x01,\x80\r\n" +
                                  std::string(2000, '\x80') + "\r+ID:\r\n";
        window.HandleReceivedBlock(block);
        window.HandleReceivedBlock("+PIPADD:" + address + "\r\n");  // the same value again
        QCOMPARE(window.state().infoLog, block + "+PIPADD:" + address + "\r\n");
        const QString log = test::LogText(window);
        QVERIFY(log.startsWith(QStringLiteral("+PIPADD:A")));
        for (const QChar shown : {QChar(0xFFFD), QChar(0x2401), QChar(0x2421)}) {
            QVERIFY(log.contains(shown));  // replacement, pictures of bytes 01 and DEL
        }
        QVERIFY(log.size() > 1000);
        QVERIFY(window.statusBar()->GetText(0).startsWith(QStringLiteral("field strength:")));
        QVERIFY(!window.statusBar()->GetText(1).isEmpty());

        auto* addressEdit = window.Item<GbkLineEdit>(1019);
        auto* portEdit = window.Item<GbkLineEdit>(1020);
        QVERIFY(addressEdit->text().startsWith(u'A') && addressEdit->text().endsWith(u'Z'));
        window.UpdateState();
        QCOMPARE(window.state().destAddress, address);
        QCOMPARE(window.state().destPort, port);
        QCOMPARE(portEdit->Bytes(), port);

        // An edited field takes the new text; the other still goes back unchanged.
        QVERIFY(QTest::qWaitForWindowActive(&window));
        test::Retype(portEdit, QStringLiteral("7000"));
        window.UpdateState();
        QCOMPARE(window.state().destPort, "7000"s);
        QCOMPARE(window.state().destAddress, address);
        // Still a working window: the next answer is shown as usual.
        window.HandleReceivedBlock("+PPORT:6000\r\n");
        QCOMPARE(portEdit->text(), QStringLiteral("6000"));
        QVERIFY(messages.entries.empty());
    }
};

QTEST_MAIN(FaultDisplayTest)
#include "FaultDisplayTest.moc"
