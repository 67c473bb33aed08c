#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextDocument>

#include "CAboutDlg.h"
#include "CComboBox.h"
#include "CConfigToolDlg.h"
#include "GbkLineEdit.h"
#include "GbkText.h"
#include "UiTestSupport.h"
#include "ValueLists.h"

using namespace qk;
using namespace qk::ui;
using namespace std::string_literals;

namespace {

// The main window without a device: no port is mapped.
struct Window {
    test::RecordingPresenter messages;
    CConfigToolDlg dialog{PortDirectory{}, messages, test::FastTiming()};

    Window() { dialog.show(); }
    bool Activate() { return QTest::qWaitForWindowActive(&dialog); }

    QPushButton* Button(int id) { return dialog.Item<QPushButton>(id); }
    CComboBox* List(int id) { return dialog.Item<CComboBox>(id); }
    GbkLineEdit* Edit(int id) { return dialog.Item<GbkLineEdit>(id); }
    QPlainTextEdit* Log() { return dialog.Item<QPlainTextEdit>(1002); }
    QString LabelText(int id) { return dialog.Item<QLabel>(id)->text(); }
};

QStringList Entries(const CComboBox& list) {
    QStringList entries;
    for (int i = 0; i < list.count(); ++i) {
        entries << list.itemText(i);
    }
    return entries;
}

template <std::size_t N>
QStringList Texts(const std::array<std::string_view, N>& values) {
    QStringList texts;
    for (const std::string_view value : values) {
        texts << FromGbk(value);
    }
    return texts;
}

}  // namespace

class CConfigToolDlgTest : public QObject {
    Q_OBJECT
  private slots:
    void stateRightAfterStart() {
        Window w;
        QVERIFY(w.Activate());
        QCOMPARE(w.List(1010)->currentText(), QStringLiteral("COM1"));
        QCOMPARE(w.List(1046)->currentText(), QStringLiteral("9600"));
        QCOMPARE(w.List(1051)->currentText(), QStringLiteral("8"));
        QCOMPARE(w.List(1048)->currentText(), QStringLiteral("N"));
        const SerialSelection selection = w.dialog.GetSerialSelection();
        QCOMPARE((std::array{selection.comIndex, selection.baudIndex, selection.dataBitsIndex,
                             selection.parityIndex}),
                 (std::array{0, 4, 3, 0}));
        QCOMPARE(w.List(1044)->GetCurSel(), -1);
        QCOMPARE(w.List(1044)->currentText(), QString());
        QCOMPARE(w.List(1011)->GetCurSel(), -1);
        QCOMPARE(w.Edit(1038)->text(), QStringLiteral("358024"));
        QCOMPARE(w.Edit(1019)->text(), QString());
        QCOMPARE(w.Edit(1020)->text(), QString());
        QCOMPARE(w.Log()->toPlainText(), QString());
        QCOMPARE(w.LabelText(1049), QString());
        QCOMPARE(w.LabelText(1050), QStringLiteral("off"));
        for (int part = 0; part < 3; ++part) {
            QCOMPARE(w.dialog.statusBar()->GetText(part), QString());
        }
        for (int id : {1003, 1008, 1009, 1041}) {
            QVERIFY2(!w.Button(id)->isEnabled(), qPrintable(QString::number(id)));
        }
        for (int id : {1001, 1007, 2}) {
            QVERIFY2(w.Button(id)->isEnabled(), qPrintable(QString::number(id)));
        }
        QCOMPARE(w.Button(1001)->text(), QStringLiteral("Open"));
        QVERIFY(w.Button(1)->isHidden());
        QCOMPARE(QApplication::focusWidget(), w.Button(2));
        QVERIFY(w.messages.entries.empty());
    }

    void listsKeepTheOrderOfTheirValueLists() {
        Window w;
        QStringList ports;
        for (int i = 1; i <= 14; ++i) {
            ports << QStringLiteral("COM%1").arg(i);
        }
        QCOMPARE(Entries(*w.List(1010)), ports);
        QCOMPARE(Entries(*w.List(1046)), Texts(BaudRateList));
        QCOMPARE(Entries(*w.List(1044)), Texts(BaudRateList));
        QCOMPARE(w.List(1046)->itemText(0), QStringLiteral("1200"));  // not "115200" first
        QCOMPARE(Entries(*w.List(1051)), Texts(DataBitsList));
        QCOMPARE(Entries(*w.List(1048)), Texts(ParityList));
        QCOMPARE(Entries(*w.List(1011)), Texts(ProtocolList));
    }

    void comEntriesNameTheirDevicePaths() {
        PortDirectory ports;
        ports.Pin(3, "/dev/ttyUSB0");
        test::RecordingPresenter messages;
        CConfigToolDlg dialog{ports, messages, test::FastTiming()};
        dialog.show();
        auto* list = dialog.Item<CComboBox>(1010);
        QCOMPARE(list->itemData(2, Qt::ToolTipRole).toString(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(list->itemData(0, Qt::ToolTipRole).toString(), QStringLiteral("no serial device"));
    }

    void typedComPortLeavesNothingToOpen() {
        Window w;
        QVERIFY(w.Activate());
        w.List(1010)->setFocus();
        w.List(1010)->lineEdit()->selectAll();
        QTest::keyClicks(w.List(1010), QStringLiteral("COM3"));
        QCOMPARE(w.dialog.GetSerialSelection().comIndex, -1);
        w.Button(1001)->click();
        QCOMPARE(w.messages.texts(),
                 QStringList{QStringLiteral("Cannot open: nothing is selected in the COM list.")});
        QCOMPARE(w.Button(1001)->text(), QStringLiteral("Open"));
    }

    void blocksSetListsStatusAndEdits() {
        Window w;
        w.dialog.HandleReceivedBlock(
            "+BAUD:115200\r\n+PROTOCOL:UDP\r\n+ID:QK4520-7\r\n+PIPADD:10.0.0.9\r\n+PPORT:6000\r\n");
        QCOMPARE(w.List(1044)->GetCurSel(), 11);
        QCOMPARE(w.List(1044)->currentText(), QStringLiteral("115200"));
        QCOMPARE(w.List(1011)->currentText(), QStringLiteral("UDP"));
        QCOMPARE(w.dialog.statusBar()->GetText(1), QStringLiteral("ID:QK4520-7"));
        QCOMPARE(w.Edit(1019)->text(), QStringLiteral("10.0.0.9"));
        QCOMPARE(w.Edit(1020)->text(), QStringLiteral("6000"));
    }

    void receivedBlockShowsAtTheEndInView() {
        Window w;
        std::string many;
        for (int i = 0; i < 200; ++i) {
            many += "line " + std::to_string(i) + "\r\n";
        }
        w.dialog.HandleReceivedBlock(many);
        w.dialog.HandleReceivedBlock("+LAST:1\r\n");
        QVERIFY(w.Log()->toPlainText().endsWith(QStringLiteral("line 199\n+LAST:1\n")));
        QScrollBar* bar = w.Log()->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QTRY_COMPARE(bar->value(), bar->maximum());
    }

    void logShowsTheSameTextBlockByBlockAsAtOnce() {
        const std::vector<std::string> blocks = {
            "+STAT:25,36,330\r",  // CR here, LF in the next block
            "\n+ID:\xCE",         // a GBK character split between blocks
            "\xB4\xB5\xC7\xC2\xBD\r\n",
            "zero\0byte\x07\r\n"s,
            "bad \x81\x20 \xFF\r\n",
        };
        Window byBlock;
        std::string all;
        for (const std::string& block : blocks) {
            byBlock.dialog.HandleReceivedBlock(block);
            all += block;
        }
        Window atOnce;
        atOnce.dialog.HandleReceivedBlock(all);
        GbkLogDecoder decoder;
        QCOMPARE(byBlock.Log()->toPlainText(), atOnce.Log()->toPlainText());
        QCOMPARE(byBlock.Log()->toPlainText(), decoder.Decode(all));
        QVERIFY(byBlock.Log()->toPlainText().contains(QStringLiteral("+ID:未登陆\n")));
        QCOMPARE(byBlock.dialog.state().infoLog, all);
    }

    void logBoxIsGivenOnlyWhatIsNew() {
        Window w;
        w.dialog.HandleReceivedBlock(std::string(5000, 'a') + "\r\n");
        QTextDocument* document = w.Log()->document();
        const int before = document->characterCount();
        QList<std::array<int, 3>> changes;
        connect(document, &QTextDocument::contentsChange, this,
                [&](int from, int removed, int added) {
                    changes.push_back({from, removed, added});
                });
        w.dialog.HandleReceivedBlock("+ID:1\r\n");
        w.dialog.UpdateControls();  // nothing new: nothing changes
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes[0][0], before - 1);  // at the end
        QCOMPARE(changes[0][1], 0);           // nothing removed
        QCOMPARE(changes[0][2], 6);           // "+ID:1" and the line break
    }

    void clearEmptiesTheLogAndItStartsOver() {
        Window w;
        w.dialog.HandleReceivedBlock("+ID:1\r\n");
        w.Button(1007)->click();
        QCOMPARE(w.Log()->toPlainText(), QString());
        QVERIFY(w.dialog.state().infoLog.empty());
        w.dialog.HandleReceivedBlock("+ID:2\r\n");
        QCOMPARE(w.Log()->toPlainText(), QStringLiteral("+ID:2\n"));
    }

    void typedDestAddressIsReplacedByABlockAndKeptByClear() {
        Window w;
        QVERIFY(w.Activate());
        w.Edit(1019)->setFocus();
        QTest::keyClicks(w.Edit(1019), QStringLiteral("typed.example"));
        w.dialog.HandleReceivedBlock("+STAT:25,36,330\r\n");
        QCOMPARE(w.Edit(1019)->text(), QString());  // the stored value, still empty

        QTest::keyClicks(w.Edit(1019), QStringLiteral("kept.example"));
        w.Button(1007)->click();
        QCOMPARE(w.Edit(1019)->text(), QStringLiteral("kept.example"));
        QCOMPARE(w.dialog.state().destAddress, "kept.example"s);
    }

    void deviceValueThatIsNotGbkGoesBackUnchanged() {
        const std::string raw = "\x81\x20\xFF\xFE\x80";
        QVERIFY(ToGbk(FromGbk(raw)) != raw);  // a round trip would change it
        Window w;
        QVERIFY(w.Activate());
        w.dialog.HandleReceivedBlock("+PIPADD:" + raw + "\r\n+PPORT:" + raw + "\r\n");
        w.dialog.UpdateState();
        QCOMPARE(w.dialog.state().destAddress, raw);
        QCOMPARE(w.dialog.state().destPort, raw);

        w.Edit(1020)->setFocus();
        w.Edit(1020)->selectAll();
        QTest::keyClicks(w.Edit(1020), QStringLiteral("7000"));
        w.dialog.UpdateState();
        QCOMPARE(w.dialog.state().destPort, "7000"s);
        QCOMPARE(w.dialog.state().destAddress, raw);
    }

    void enterEndsTheWindowWithOkAfterTakingTheEdits() {
        Window w;
        QVERIFY(w.Activate());
        w.Edit(1038)->setFocus();
        w.Edit(1038)->selectAll();
        QTest::keyClicks(w.Edit(1038), QStringLiteral("111111"));
        QTest::keyClick(w.Edit(1038), Qt::Key_Return);
        QCOMPARE(w.dialog.result(), CDialog::IDOK);
        QVERIFY(!w.dialog.isVisible());
        QCOMPARE(w.dialog.state().loginKey, "111111"s);
    }

    void enterOnAFocusedButtonPressesThatButton() {
        Window w;
        QVERIFY(w.Activate());
        w.dialog.HandleReceivedBlock("+ID:1\r\n");
        w.Button(1007)->setFocus();
        QTest::keyClick(w.Button(1007), Qt::Key_Return);
        QVERIFY(w.dialog.isVisible());
        QVERIFY(w.dialog.state().infoLog.empty());
    }

    void cancelEscapeAndCloseEndWithCancel_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel button") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("close box") << 2;
        QTest::newRow("system command SC_CLOSE") << 3;
    }
    void cancelEscapeAndCloseEndWithCancel() {
        QFETCH(int, how);
        Window w;
        QVERIFY(w.Activate());
        switch (how) {
            case 0:
                w.Button(2)->click();
                break;
            case 1:
                QTest::keyClick(w.Edit(1019), Qt::Key_Escape);
                break;
            case 2:
                w.dialog.close();
                break;
            case 3:
                w.dialog.OnSysCommand(SystemMenu::kCloseCommand);
                break;
        }
        QVERIFY(!w.dialog.isVisible());
        QCOMPARE(w.dialog.result(), CDialog::IDCANCEL);
    }

    void systemMenuCarriesCloseAndAbout() {
        Window w;
        const QList<QAction*> actions = w.dialog.systemMenu()->actions();
        QCOMPARE(actions.size(), 3);
        QCOMPARE(actions[0]->data().toUInt(), SystemMenu::kCloseCommand);
        QVERIFY(actions[1]->isSeparator());
        QCOMPARE(actions[2]->data().toUInt(), SystemMenu::kAboutCommand);
        QCOMPARE(actions[2]->text(), FromGbk(SystemMenu::AboutText()));
    }

    void emptyAboutTextAddsNothing() {
        QWidget owner;
        SystemMenu menu(&owner, "", [](unsigned) {});
        QCOMPARE(menu.actions().size(), 1);
        QCOMPARE(menu.actions()[0]->data().toUInt(), SystemMenu::kCloseCommand);
    }

    void aboutBoxOpensForCommands16To31Only_data() {
        QTest::addColumn<unsigned>("command");
        QTest::addColumn<bool>("opens");
        QTest::newRow("16") << 16u << true;
        QTest::newRow("31") << 31u << true;
        QTest::newRow("32") << 32u << false;
        QTest::newRow("SC_MOVE") << 0xF010u << false;
    }
    void aboutBoxOpensForCommands16To31Only() {
        QFETCH(unsigned, command);
        QFETCH(bool, opens);
        Window w;
        QVERIFY(w.Activate());
        // Open and close it a few times: nothing of one About box survives into the next.
        for (int round = 0; round < (opens ? 3 : 1); ++round) {
            QString seen;
            const auto watch = test::AnswerNextModal(
                [&](QWidget* modal) {
                    seen = modal->windowTitle();
                    qobject_cast<CAboutDlg*>(modal)->accept();
                },
                opens ? 10000 : 200);
            w.dialog.OnSysCommand(command);
            if (opens) {
                QCOMPARE(seen, QStringLiteral("About QK4410ConfTool"));
            } else {
                QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
                QVERIFY(seen.isEmpty());
            }
        }
        QVERIFY(w.dialog.isVisible());
        QCOMPARE(w.dialog.findChildren<CAboutDlg*>().size(), 0);
    }

    void f1ShowsTheCommandLineHelp() {
        Window w;
        QVERIFY(w.Activate());
        QTest::keyClick(w.Edit(1019), Qt::Key_F1);
        QCOMPARE(w.messages.entries.size(), std::size_t{1});
        QVERIFY(w.messages.entries[0].message.text.contains(QStringLiteral("--demo")));
        QVERIFY(w.dialog.isVisible());
    }
};

QTEST_MAIN(CConfigToolDlgTest)
#include "CConfigToolDlgTest.moc"
