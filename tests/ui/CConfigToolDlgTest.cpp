#include <QFontDatabase>
#include <QMessageBox>
#include <QTest>
#include <QTextDocument>

#include "AppOptions.h"
#include "CAboutDlg.h"
#include "CConfigToolDlg.h"
#include "CStatusBarCtrl.h"
#include "GbkLineEdit.h"
#include "QMessageBoxPresenter.h"
#include "SystemMenu.h"
#include "UiTestSupport.h"

using namespace qk;
using namespace qk::ui;
using namespace std::string_literals;

namespace {

// The main window without a device: no port is mapped.
struct Window {
    test::RecordingPresenter messages;
    CConfigToolDlg dialog;

    explicit Window(PortDirectory ports = {})
        : dialog(std::move(ports), messages, test::FastTiming()) {
        dialog.show();
    }
    bool Activate() { return QTest::qWaitForWindowActive(&dialog); }
    QPushButton* Button(int id) { return dialog.Item<QPushButton>(id); }
    CComboBox* List(int id) { return dialog.Item<CComboBox>(id); }
    GbkLineEdit* Edit(int id) { return dialog.Item<GbkLineEdit>(id); }
    QLabel* Label(int id) { return dialog.Item<QLabel>(id); }
};

}  // namespace

class CConfigToolDlgTest : public QObject {
    Q_OBJECT
  private slots:
    void stateRightAfterStart() {
        PortDirectory ports;
        ports.Pin(3, "/dev/ttyUSB0");
        Window w(std::move(ports));
        QVERIFY(w.Activate());
        QStringList shown;  // lists, edits, labels, status parts, log, Open
        for (const int id : {1010, 1046, 1051, 1048, 1044, 1011}) {
            shown << w.List(id)->currentText();
        }
        for (const int id : {1038, 1019, 1020}) {
            shown << w.Edit(id)->text();
        }
        for (int part = 0; part < 3; ++part) {
            shown << w.dialog.statusBar()->GetText(part);
        }
        shown << w.Label(1049)->text() << w.Label(1050)->text() << test::LogText(w.dialog)
              << w.Button(1001)->text();
        QCOMPARE(shown.join(u'|'), QStringLiteral("COM1|9600|8|N|||358024|||||||off||Open"));
        const SerialSelection s = w.dialog.GetSerialSelection();
        QCOMPARE((std::array{s.comIndex, s.baudIndex, s.dataBitsIndex, s.parityIndex,
                             w.List(1044)->GetCurSel(), w.List(1011)->GetCurSel()}),
                 (std::array{0, 4, 3, 0, -1, -1}));
        QList<int> enabled;
        for (const int id : {2, 1001, 1003, 1007, 1008, 1009, 1041}) {
            if (w.Button(id)->isEnabled()) {
                enabled << id;
            }
        }
        QCOMPARE(enabled, (QList<int>{2, 1001, 1007}));
        QVERIFY(w.Button(1)->isHidden());
        QCOMPARE(QApplication::focusWidget(), w.Button(2));
        QVERIFY(w.messages.entries.empty());
        const CStatusBarCtrl& status = *w.dialog.statusBar();
        // Parts start where the one before ends (each keeps a border's gap at its right),
        // at 180 and 300 pixels of the design font, scaled to this one.
        const int first = status.GetRect(1).left();
        const int second = status.GetRect(2).left();
        QCOMPARE(status.GetParts(), 3);
        QVERIFY2(first >= 180 && std::abs(second * 180 - first * 300) <= 300,
                 qPrintable(QStringLiteral("%1 %2").arg(first).arg(second)));
        QVERIFY(status.GetRect(0).right() < first && status.GetRect(1).right() < second);
        QVERIFY(status.GetRect(2).right() >= w.dialog.width() - 4);

        // The lists keep the order of their value lists; COM entries name their device paths.
        QStringList com;
        for (int i = 1; i <= 14; ++i) {
            com << QStringLiteral("COM%1").arg(i);
        }
        QCOMPARE(test::Entries(*w.List(1010)), com);
        QList<QStringList> lists;  // baud rates: "1200" first
        for (const int id : {1046, 1044, 1051, 1048, 1011}) {
            lists << test::Entries(*w.List(id));
        }
        QCOMPARE(lists, (QList<QStringList>{test::Texts(BaudRateList), test::Texts(BaudRateList),
                                            test::Texts(DataBitsList), test::Texts(ParityList),
                                            test::Texts(ProtocolList)}));
        QCOMPARE(w.List(1010)->itemData(2, Qt::ToolTipRole).toString(), "/dev/ttyUSB0");
        QCOMPARE(w.List(1010)->itemData(0, Qt::ToolTipRole).toString(), "no serial device");
    }

    // The device's ID and versions, as long as they get, show whole in their parts.
    void statusPartsShowTheIdAndVersionsWhole() {
        Window w;
        w.dialog.HandleReceivedBlock("+ID:860000000001\r\n+VER:QK4520-1 HW:V2.1 SW:V3.5\r\n");
        const CStatusBarCtrl& status = *w.dialog.statusBar();
        const QStringList shown{status.GetText(1), status.GetText(2)};
        QCOMPARE(shown, (QStringList{"ID:860000000001", "Hardware Ver:V2.1,Software Ver:V3.5"}));
        for (int part = 1; part <= 2; ++part) {
            const auto* label = status.findChild<QLabel*>(QStringLiteral("part%1").arg(part));
            const int room = label->contentsRect().width() - label->indent();
            QVERIFY2(label->fontMetrics().horizontalAdvance(status.GetText(part)) <= room,
                     qPrintable(status.GetText(part)));
            QCOMPARE(label->text(), status.GetText(part));  // not cut
        }
    }

    void typedTextLeavesNoSelectionAndOpenRefuses_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("name");
        QTest::newRow("COM") << 1010 << "COM";
        QTest::newRow("baud rate") << 1046 << "Baud Rate";
        QTest::newRow("data bits") << 1051 << "Data Bits";
        QTest::newRow("parity") << 1048 << "Parity";
    }
    void typedTextLeavesNoSelectionAndOpenRefuses() {
        QFETCH(int, id);
        QFETCH(QString, name);
        Window w;
        QVERIFY(w.Activate());
        w.List(id)->setFocus();
        w.List(id)->lineEdit()->selectAll();
        QTest::keyClicks(w.List(id), w.List(id)->itemText(1));  // an entry's text, still typed
        QCOMPARE(w.List(id)->GetCurSel(), -1);
        w.Button(1001)->click();
        QCOMPARE(w.messages.texts(),
                 QStringList{"Cannot open: nothing is selected in the " + name + " list."});
        QCOMPARE(w.Button(1001)->text(), QStringLiteral("Open"));
    }

    void logShowsTheSameTextBlockByBlockAsAtOnce() {
        const std::vector<std::string> blocks = {
            "+STAT:25,36,330\r",  // CR here, LF in the next block
            "\n+ID:\xCE",         // a GBK character split between blocks
            "\xB4\xB5\xC7\xC2\xBD\r\n",
            "zero\0byte\x07\r\n"s,
            "bad \x81\x20 \xFF\r\nab\x81",  // a lead byte, its ASCII trail in the next block
            "\x41\x01x\x7F\rz\r\n",
            std::string(30000, 'x') + "\r\n",  // long enough to be cut into paragraphs
        };
        Window byBlock;
        Window atOnce;
        std::string all;
        for (const std::string& block : blocks) {
            byBlock.dialog.HandleReceivedBlock(block);
            all += block;
        }
        atOnce.dialog.HandleReceivedBlock(all);
        QCOMPARE(test::LogText(byBlock.dialog), test::LogText(atOnce.dialog));
        QCOMPARE(test::LogText(byBlock.dialog), GbkLogDecoder().Decode(all));
        QVERIFY(test::LogText(byBlock.dialog).contains(QStringLiteral("+ID:未登陆\n")));
        QVERIFY(test::LogText(byBlock.dialog).contains(QStringLiteral("ab\u4E04\u2401x")));
        QCOMPARE(byBlock.dialog.state().infoLog, all);
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
        // Clear empties the log, which starts over.
        QCOMPARE(test::LogText(w.dialog), QString());
        QVERIFY(w.dialog.state().infoLog.empty());
        w.dialog.HandleReceivedBlock("+ID:2\r\n");
        QCOMPARE(test::LogText(w.dialog), QStringLiteral("+ID:2\n"));
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
            QStringList seen;  // title, captions, pictures
            const auto watch = test::AnswerNextModal(
                [&](QWidget* modal) {
                    seen << modal->windowTitle();
                    for (auto* label : modal->findChildren<QLabel*>()) {
                        const QSize size = label->pixmap().size();
                        seen
                            << (size.isEmpty()
                                    ? label->text()
                                    : QStringLiteral("%1x%2").arg(size.width()).arg(size.height()));
                    }
                    QVERIFY(modal->parentWidget() == &w.dialog);
                    QTest::keyClick(modal, Qt::Key_Return);
                },
                opens ? 10000 : 200);
            w.dialog.OnSysCommand(command);
            QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
            for (const char* text : {"About QK4410ConfTool", "QK4410ConfTool V2.2 ", "32x32",
                                     "QK4410ConfTool contributors, open source",
                                     "https://example.org/QK4410ConfTool"}) {
                QVERIFY2(seen.contains(text) == opens, text);
            }
        }
        QVERIFY(w.dialog.isVisible());
        QVERIFY(w.dialog.findChildren<CAboutDlg*>().empty());
    }

    // Linux gives programs no system menu: the window's context menu stands in for it. F1
    // shows the command line help.
    void contextMenuHoldsCloseAndAboutAndF1ShowsHelp() {
        Window w;
        QVERIFY(w.Activate());
        QTest::keyClick(w.List(1010), Qt::Key_F1);
        QCOMPARE(w.messages.texts(), QStringList{HelpText()});
        const std::optional<QFont> helpFont = w.messages.entries.at(0).message.font;
        QVERIFY(helpFont && QFontInfo(*helpFont).fixedPitch());
        auto* menu = w.dialog.findChild<SystemMenu*>();
        QVERIFY(menu != nullptr);
        QStringList items;
        QAction* about = nullptr;
        for (QAction* action : menu->actions()) {
            items << action->text();
            if (action->data().toUInt() == SystemMenu::kAboutCommand) {
                about = action;
            }
        }
        QCOMPARE(items, (QStringList{"&Close", "", "Save Profile…", "Load Profile…", "Save Log…",
                                     "", "Find Device…", "", FromGbk(SystemMenu::AboutText())}));
        QString title;
        const auto watch = test::AnswerNextModal([&](QWidget* modal) {
            title = modal->windowTitle();
            QTest::keyClick(modal, Qt::Key_Return);
        });
        about->trigger();
        QCOMPARE(title, QStringLiteral("About QK4410ConfTool"));
    }

    // With the real presenter: the program's caption, one OK button, the warning icon and the
    // cause, over the window, which stays closed.
    void openFailureShowsTheWarningBox() {
        PortDirectory ports;
        ports.Pin(1, "/nonexistent/ttyQK");
        QMessageBoxPresenter presenter(QStringLiteral("QK4410ConfTool"));
        CConfigToolDlg dialog(std::move(ports), presenter, test::FastTiming());
        dialog.show();
        QStringList seen;
        const auto watch = test::AnswerNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            seen << box->windowTitle() << box->text() << QString::number(box->icon())
                 << QString::number(box->standardButtons().toInt())
                 << QString::number(box->parentWidget() == &dialog) << box->informativeText();
            box->button(QMessageBox::Ok)->click();
        });
        dialog.Item<QPushButton>(1001)->click();
        QCOMPARE(seen.mid(0, 5), (QStringList{"QK4410ConfTool", "Open com failed!",
                                              QString::number(QMessageBox::Warning),
                                              QString::number(QMessageBox::Ok), "1"}));
        QVERIFY(seen.value(5).contains(QStringLiteral("/nonexistent/ttyQK")));
        QCOMPARE(dialog.Item<QPushButton>(1001)->text(), QStringLiteral("Open"));
        QCOMPARE(dialog.Item<QLabel>(1049)->text(), QString());
        // A message without an icon shows none.
        QCOMPARE(presenter.MakeBox(nullptr, {QStringLiteral("Log off"), {}, Message::Icon::None})
                     ->icon(),
                 QMessageBox::NoIcon);
    }

    // A message with a font of its own: the box shows it in that font, every line whole.
    void messageInItsOwnFontKeepsItsLines() {
        const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        QMessageBoxPresenter presenter(QStringLiteral("QK4410ConfTool"));
        const auto box = presenter.MakeBox(nullptr, {HelpText(), {}, Message::Icon::None, fixed});
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label != nullptr && QFontInfo(label->font()).fixedPitch());
        int widest = 0;
        for (const QString& line : HelpText().split(u'\n')) {
            widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
        }
        QVERIFY2(label->contentsRect().width() >= widest,
                 qPrintable(QStringLiteral("%1 < %2").arg(label->width()).arg(widest)));
        QTextDocument shown;
        shown.setHtml(label->text());
        QCOMPARE(shown.toPlainText(), HelpText());
    }

    void captionsFitAndNothingOverlaps() {
        Window w;
        // Every control is inside its group box (IDs, or label captions).
        for (const auto& [group, controls] :
             {std::pair{"Serial Paramters",
                        "COM:|1001|1010|Baund Rate:|1046|Data Bits|1051|Parity|1048"},
              std::pair{"Login ", "Login Key:|1038|1003|1007"},
              std::pair{"TCP/IP",
                        "Baund Rate|1044|Dest. IP/Name|1019|Dest. Port|1020|Protocol:|1011"},
              std::pair{"Status", "Config Mode:|Login:|1049|1050"},
              std::pair{"Information", "1002"}}) {
            QCOMPARE(test::Outside(w.dialog, group, controls), QStringList{});
        }
        QCOMPARE(test::LayoutFaults(w.dialog), QStringList{});
        for (const auto& control : w.dialog.controls().All()) {
            QVERIFY(control.widget->geometry().bottom() < w.dialog.statusBar()->y());
        }
        // Texts set later must fit as well.
        for (const QString text : {"Entering Config Mode...", "已进入配置模式"}) {
            QVERIFY2(test::ShowsWhole(*w.Label(1049), text), qPrintable(text));
        }
        for (const QString text : {"off", "Login", "未登陆"}) {
            QVERIFY2(test::ShowsWhole(*w.Label(1050), text), qPrintable(text));
        }
        QVERIFY(w.Button(1001)->fontMetrics().horizontalAdvance(QStringLiteral("Close")) + 8 <=
                w.Button(1001)->width());
        CAboutDlg about(&w.dialog);
        QCOMPARE(test::LayoutFaults(about), QStringList{});
    }
};

QTEST_MAIN(CConfigToolDlgTest)
#include "CConfigToolDlgTest.moc"
