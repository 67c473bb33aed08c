// The main window without a device: what it shows, what it does with received bytes and
// typed text, its menus and boxes, and its layout.
#include <QMessageBox>
#include <QTest>
#include <QTextDocument>

#include "AppOptions.h"
#include "CAboutDlg.h"
#include "DialogFont.h"
#include "QMessageBoxPresenter.h"
#include "UiTestSupport.h"

using namespace qk;
using namespace qk::ui;
using namespace std::string_literals;

class CConfigToolDlgTest : public QObject {
    Q_OBJECT
  private slots:
    // What the window shows right after start, every caption fitting and every control
    // inside its frame.
    void stateAndLayoutRightAfterStart() {
        test::MainWindow w(test::Pinned({{3, "/dev/ttyUSB0"}}));
        QVERIFY(w.Activate());
        QStringList shown;  // lists, edits, labels, status parts, log, Open
        for (const int id :
             {main_dialog::kComList, main_dialog::kPortBaudList, main_dialog::kDataBitsList,
              main_dialog::kParityList, main_dialog::kDeviceBaudList, main_dialog::kProtocolList}) {
            shown << w.List(id)->currentText();
        }
        for (const int id :
             {main_dialog::kLoginKey, main_dialog::kDestAddress, main_dialog::kDestPort}) {
            shown << w.Edit(id)->text();
        }
        shown << w.Status(0) << w.Status(1) << w.Status(2)
              << w.LabelText(main_dialog::kConfigModeLabel) << w.LabelText(main_dialog::kLoginLabel)
              << test::LogText(w.dialog) << w.Button(main_dialog::kOpenClose)->text();
        QCOMPARE(shown.join(u'|'), QStringLiteral("COM1|9600|8|N|||358024|||||||off||Open"));
        QCOMPARE(w.List(main_dialog::kDeviceBaudList)->GetCurSel() +
                     w.List(main_dialog::kProtocolList)->GetCurSel(),
                 -2);
        QList<int> enabled{res::kIdCancel,        main_dialog::kOpenClose, main_dialog::kLogin,
                           main_dialog::kClear,   main_dialog::kGetParam,  main_dialog::kSetParam,
                           main_dialog::kAdvParam};
        enabled.removeIf([&](int id) { return !w.Button(id)->isEnabled(); });
        QCOMPARE(enabled,
                 (QList<int>{res::kIdCancel, main_dialog::kOpenClose, main_dialog::kClear}));
        QVERIFY(w.Button(res::kIdOk)->isHidden());
        QCOMPARE(QApplication::focusWidget(), w.Button(res::kIdCancel));
        QCOMPARE(w.List(main_dialog::kComList)->itemData(2, Qt::ToolTipRole).toString(),
                 "/dev/ttyUSB0");
        QCOMPARE(w.List(main_dialog::kComList)->itemData(0, Qt::ToolTipRole).toString(),
                 "no serial device");
        QVERIFY(w.messages.entries.empty());

        QCOMPARE(test::LayoutFaults(w.dialog).join("|"), QString());
        for (const auto& control : w.dialog.controls().All()) {
            QVERIFY(control.widget->geometry().bottom() < w.dialog.statusBar()->y());
        }
        // Texts set later must fit as well.
        for (const QString text :
             {"1049Entering Config Mode...", "1049已进入配置模式", "1050Login", "1050未登陆"}) {
            QVERIFY2(test::ShowsWhole(*w.dialog.Item<QLabel>(text.left(4).toInt()), text.mid(4)),
                     qPrintable(text));
        }
        QVERIFY(w.Button(main_dialog::kOpenClose)->fontMetrics().horizontalAdvance("Close") + 8 <=
                w.Button(main_dialog::kOpenClose)->width());
        CAboutDlg about(&w.dialog);
        QCOMPARE(test::LayoutFaults(about).join(u'|'), QString());
    }

    // The device's status, ID and versions, as long as they get, show whole in their parts
    // at the window's font, the parts taking the room the others leave; with a font larger
    // than the one the window was drawn for the ID and versions still do, and a status cut
    // short is whole in its tool tip.
    void statusPartsShowStatusIdAndVersionsWhole() {
        for (const double scale : {1.0, 1.5}) {
            test::RecordingPresenter messages;
            CConfigToolDlg window(PortDirectory{}, messages);
            QFont font = window.font();
            font.setPointSizeF(font.pointSizeF() * scale);
            window.setFont(font);
            window.show();
            window.HandleReceivedBlock(
                "+STAT:25,-36,3300\r\n+ID:860000000001\r\n+VER:QK4520-1 HW:V2.1 SW:V3.5\r\n");
            const CStatusBarCtrl& status = *window.statusBar();
            const QString stat =
                QStringLiteral("field strength:25  temperature:-36℃  Voltage:3.30V0");
            QCOMPARE(
                (QStringList{QString::number(status.GetParts()), status.GetText(0),
                             status.GetText(1), status.GetText(2)}),
                (QStringList{"3", stat, "ID:860000000001", "Hardware Ver:V2.1,Software Ver:V3.5"}));
            for (int part = 0; part <= 2; ++part) {
                const auto* label = status.findChild<QLabel*>(QStringLiteral("part%1").arg(part));
                const int room = label->contentsRect().width() - label->indent();
                QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= room,
                         qPrintable(QStringLiteral("%1 at %2").arg(label->text()).arg(scale)));
                if (part == 0 && scale > 1) {
                    QCOMPARE(label->text() == stat ? stat : label->toolTip(), stat);
                    continue;
                }
                QCOMPARE(label->text(), status.GetText(part));  // not cut
                QVERIFY(part == 0 ||
                        status.GetRect(part - 1).right() < status.GetRect(part).left());
            }
            QVERIFY(status.GetRect(2).right() >= window.width() - 4);
        }
    }

    // Typed text selects no entry, not even an entry's own text once the focus leaves, and
    // Open refuses it; picking or the arrow keys select again.
    void typedTextLeavesNoSelectionAndOpenRefuses() {
        test::MainWindow w;
        QVERIFY(w.Activate());
        for (const auto& [id, name] : {std::pair{main_dialog::kComList, "COM"},
                                       std::pair{main_dialog::kPortBaudList, "Baud Rate"},
                                       std::pair{main_dialog::kDataBitsList, "Data Bits"},
                                       std::pair{main_dialog::kParityList, "Parity"}}) {
            CComboBox* list = w.List(id);
            const int entries = list->count();
            list->setFocus();
            list->lineEdit()->selectAll();
            QTest::keyClicks(list, list->itemText(1));
            QTest::keyClick(list, Qt::Key_Return);  // never adds the typed text
            w.Edit(main_dialog::kLoginKey)->setFocus();
            QTRY_VERIFY(!list->hasFocus());
            QCOMPARE((QList<int>{list->GetCurSel(), list->count()}), (QList<int>{-1, entries}));
            QCOMPARE(list->currentText(), list->itemText(1));
            w.Button(main_dialog::kOpenClose)->click();
            QCOMPARE(w.messages.texts().value(0) + w.Button(main_dialog::kOpenClose)->text(),
                     "Cannot open: nothing is selected in the " + QString(name) + " list.Open");
            w.messages.entries.clear();
            test::Pick(list, 2);
            QTest::keyClick(list, Qt::Key_Up);
            QCOMPARE(list->GetCurSel(), 1);
            QTest::keyClick(list, Qt::Key_Down);
            QCOMPARE(list->GetCurSel(), 2);
        }
    }

    // Block by block the log shows what it shows for all of it at once, characters split
    // between blocks included; values that are no valid GBK, hold control or zero bytes or
    // run on for thousands of bytes are shown, and go back to the record byte for byte.
    // Clear empties the log and keeps the edits.
    void receivedBytesShowInTheLogAndGoBackToTheRecordUnchanged() {
        const std::string address = "A\x81\x20\xFF\xFE\x80\x01\x7FZ";
        const std::string port = "5\0\x01\xFE"s;
        const std::vector<std::string> blocks = {
            "+STAT:25,36,330\r",  // CR here, LF in the next block
            "\n+ID:\xCE",         // a GBK character split between blocks
            "\xB4\xB5\xC7\xC2\xBD\r\nab\x81",
            "\x40\x81",  // trail bytes below 0x80, the second one in the next block
            "\x41\x01x\x7F\rz\r\n",
            "+PIPADD:" + address + "\r\n+PPORT:" + port + "\r\n+ID:\x81\x7F\xFF\x1B[2J\r\n",
            std::string(30000, '\x80') + "\r\n",  // long enough to be cut into paragraphs
            "+PIPADD:" + address + "\r\n",        // the same value again
        };
        test::MainWindow byBlock;
        test::MainWindow atOnce;
        std::string all;
        for (const std::string& block : blocks) {
            byBlock.dialog.HandleReceivedBlock(block);
            all += block;
        }
        atOnce.dialog.HandleReceivedBlock(all);
        const QString log = test::LogText(byBlock.dialog);
        QCOMPARE(log, test::LogText(atOnce.dialog));
        QCOMPARE(log, GbkLogDecoder().Decode(all));
        QVERIFY(log.contains(QStringLiteral("+ID:未登陆\n")));
        QCOMPARE(byBlock.dialog.state().infoLog, all);
        QVERIFY(!byBlock.Status(1).isEmpty());

        QVERIFY(ToGbk(FromGbk(address)) != address);  // a round trip would change it
        byBlock.dialog.UpdateState();
        QCOMPARE(byBlock.dialog.state().destAddress + "|" + byBlock.dialog.state().destPort,
                 address + "|" + port);
        // An edited field takes the new text; the other still goes back unchanged.
        byBlock.dialog.activateWindow();
        QVERIFY(byBlock.Activate());
        test::Retype(byBlock.Edit(main_dialog::kDestPort), QStringLiteral("7000"));
        byBlock.dialog.UpdateState();
        QCOMPARE(byBlock.dialog.state().destAddress + "|" + byBlock.dialog.state().destPort,
                 address + "|7000");
        // A block shows the record: an address typed and not yet taken goes; Clear keeps it.
        QTest::keyClicks(byBlock.Edit(main_dialog::kDestAddress), QStringLiteral("typed.example"));
        byBlock.dialog.HandleReceivedBlock("+PPORT:6000\r\n");
        QCOMPARE(byBlock.Edit(main_dialog::kDestPort)->text() + "|" +
                     byBlock.Edit(main_dialog::kDestAddress)->text(),
                 "6000|" + FromGbk(address));
        test::Retype(byBlock.Edit(main_dialog::kDestAddress), QStringLiteral("kept.example"));
        byBlock.Button(main_dialog::kClear)->click();
        QCOMPARE(byBlock.Edit(main_dialog::kDestAddress)->text() + test::LogText(byBlock.dialog),
                 "kept.example");
        QCOMPARE(byBlock.dialog.state().destAddress + byBlock.dialog.state().infoLog,
                 "kept.example"s);
        // Clear empties the log, which starts over.
        byBlock.dialog.HandleReceivedBlock("+ID:2\r\n");
        QCOMPARE(test::LogText(byBlock.dialog), QStringLiteral("+ID:2\n"));
        QVERIFY(byBlock.messages.entries.empty());
    }

    // Linux gives programs no system menu: the window's context menu stands in for it, its
    // About item opening the About box. F1 shows the command line help.
    void contextMenuHoldsCloseAndAboutAndF1ShowsHelp() {
        test::MainWindow w;
        QVERIFY(w.Activate());
        QTest::keyClick(w.List(main_dialog::kComList), Qt::Key_F1);
        QCOMPARE(w.messages.texts(), QStringList{HelpText()});
        const std::optional<QFont> helpFont = w.messages.entries.at(0).message.font;
        QVERIFY(helpFont && QFontInfo(*helpFont).fixedPitch());
        QStringList items;
        for (QAction* action : w.dialog.systemMenu()->actions()) {
            items << action->text();
        }
        QAction* about = w.dialog.systemMenu()->actions().last();
        QCOMPARE(items,
                 (QStringList{"&Close", "", "Save Profile…", "Load Profile…", "Save Log…", "",
                              "Find Device…", "History…", "", FromGbk(SystemMenu::AboutText())}));
        // Open it a few times: nothing of one About box survives into the next.
        for (int round = 0; round < 3; ++round) {
            QStringList seen;  // title, captions, pictures
            const auto watch = test::AnswerNextModal([&](QWidget* modal) {
                seen << modal->windowTitle();
                for (auto* label : modal->findChildren<QLabel*>()) {
                    const QSize size = label->pixmap().size();
                    seen << (size.isEmpty()
                                 ? label->text()
                                 : QStringLiteral("%1x%2").arg(size.width()).arg(size.height()));
                }
                QVERIFY(modal->parentWidget() == &w.dialog);
                QTest::keyClick(modal, Qt::Key_Return);
            });
            about->trigger();
            QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
            for (const char* text : {"About QK4410ConfTool", "QK4410ConfTool V2.2 ", "32x32",
                                     "QK4410ConfTool contributors, open source",
                                     "https://example.org/QK4410ConfTool"}) {
                QVERIFY2(seen.contains(text), text);
            }
        }
        QVERIFY(w.dialog.findChildren<CAboutDlg*>().empty());
    }

    // With the real presenter: the program's caption, one OK button, the warning icon and the
    // cause, over the window, which stays closed. A message with a font of its own shows in
    // that font, every line whole.
    void messagesShowInTheWarningBox() {
        QMessageBoxPresenter presenter(QStringLiteral("QK4410ConfTool"));
        CConfigToolDlg dialog(test::Pinned({{1, "/nonexistent/ttyQK"}}), presenter,
                              test::FastTiming());
        dialog.show();
        QStringList seen;
        const auto watch = test::AnswerNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            seen << box->windowTitle() << box->text() << QString::number(box->icon())
                 << QString::number(box->standardButtons().toInt())
                 << QString::number(box->parentWidget() == &dialog) << box->informativeText();
            box->button(QMessageBox::Ok)->click();
        });
        dialog.Item<QPushButton>(main_dialog::kOpenClose)->click();
        QCOMPARE(seen.mid(0, 5), (QStringList{"QK4410ConfTool", "Open com failed!",
                                              QString::number(QMessageBox::Warning),
                                              QString::number(QMessageBox::Ok), "1"}));
        QVERIFY(seen.value(5).contains(QStringLiteral("/nonexistent/ttyQK")));
        QCOMPARE(dialog.Item<QPushButton>(main_dialog::kOpenClose)->text() +
                     dialog.Item<QLabel>(main_dialog::kConfigModeLabel)->text(),
                 "Open");

        const QFont fixed = DialogFont::FixedPitch();
        const auto box = presenter.MakeBox(nullptr, {HelpText(), {}, Message::Icon::None, fixed});
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label != nullptr && QFontInfo(label->font()).fixedPitch());
        for (const QString& line : HelpText().split(u'\n')) {
            QVERIFY2(label->contentsRect().width() >= label->fontMetrics().horizontalAdvance(line),
                     qPrintable(line));
        }
        QTextDocument shown;
        shown.setHtml(label->text());
        QCOMPARE(shown.toPlainText(), HelpText());
    }
};

QTEST_MAIN(CConfigToolDlgTest)
#include "CConfigToolDlgTest.moc"
