#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "CAboutDlg.h"
#include "CComboBox.h"
#include "CConfigToolDlg.h"
#include "LabelFitter.h"
#include "LayoutTestSupport.h"
#include "UiTestSupport.h"

using namespace qk;
using namespace qk::ui;
using qk::test::GroupBox;
using qk::test::Label;
using qk::test::ShowsWhole;

namespace {

struct Window {
    test::RecordingPresenter messages;
    CConfigToolDlg dialog{PortDirectory{}, messages};
    Window() { dialog.InitDialog(); }
};

}  // namespace

class MainWindowLayoutTest : public QObject {
    Q_OBJECT
  private slots:
    void everyControlIsInsideItsGroupBox_data() {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QStringList>("controls");  // IDs, or label captions
        QTest::newRow("serial") << QStringLiteral("Serial Paramters")
                                << QStringList{"COM:",      "1001", "1010",   "Baund Rate:", "1046",
                                               "Data Bits", "1051", "Parity", "1048"};
        QTest::newRow("login") << QStringLiteral("Login ")
                               << QStringList{"Login Key:", "1038", "1003", "1007"};
        QTest::newRow("tcp/ip") << QStringLiteral("TCP/IP")
                                << QStringList{"Baund Rate", "1044", "Dest. IP/Name", "1019",
                                               "Dest. Port", "1020", "Protocol:",     "1011"};
        QTest::newRow("status") << QStringLiteral("Status")
                                << QStringList{"Config Mode:", "Login:", "1049", "1050"};
        QTest::newRow("information") << QStringLiteral("Information") << QStringList{"1002"};
    }
    void everyControlIsInsideItsGroupBox() {
        QFETCH(QString, group);
        QFETCH(QStringList, controls);
        Window w;
        QGroupBox* box = GroupBox(w.dialog, group);
        QVERIFY(box);
        // Clear of the frame, and below the title.
        QRect inside = GroupBoxInside(box->geometry());
        inside.setTop(box->y() + box->fontMetrics().height());
        for (const QString& name : controls) {
            QWidget* control =
                name.front().isDigit() ? w.dialog.GetDlgItem(name.toInt()) : Label(w.dialog, name);
            QVERIFY2(control, qPrintable(name));
            QVERIFY2(inside.contains(control->geometry()),
                     qPrintable(QStringLiteral("%1 leaves %2").arg(name, group)));
        }
    }

    void noControlsOverlapAndNoneReachesTheStatusBar() {
        Window w;
        const int statusTop = w.dialog.statusBar()->y();
        const auto& all = w.dialog.controls().All();
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (qobject_cast<QGroupBox*>(all[i].widget)) {
                continue;
            }
            const QRect a = all[i].widget->geometry();
            QVERIFY2(a.bottom() < statusTop, qPrintable(all[i].widget->objectName()));
            QVERIFY(QRect(QPoint(0, 0), w.dialog.size()).contains(a));
            for (std::size_t j = i + 1; j < all.size(); ++j) {
                if (qobject_cast<QGroupBox*>(all[j].widget)) {
                    continue;
                }
                QVERIFY2(!a.intersects(all[j].widget->geometry()),
                         qPrintable(all[i].widget->objectName() + " overlaps " +
                                    all[j].widget->objectName()));
            }
        }
    }

    void everyCaptionIsReadable() {
        Window w;
        for (auto* label : w.dialog.findChildren<QLabel*>()) {
            if (label->objectName().startsWith(QStringLiteral("static"))) {
                QVERIFY2(ShowsWhole(*label, label->text()), qPrintable(label->text()));
            }
        }
        auto* configMode = w.dialog.findChild<QLabel*>(QStringLiteral("1049"));
        auto* login = w.dialog.findChild<QLabel*>(QStringLiteral("1050"));
        for (const QString& text :
             {QStringLiteral("Entering Config Mode..."), QStringLiteral("已进入配置模式")}) {
            QVERIFY2(ShowsWhole(*configMode, text), qPrintable(text));
        }
        for (const QString& text :
             {QStringLiteral("off"), QStringLiteral("Login"), QStringLiteral("未登陆")}) {
            QVERIFY2(ShowsWhole(*login, text), qPrintable(text));
        }
        for (auto* button : w.dialog.findChildren<QPushButton*>()) {
            QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) + 8 <= button->width(),
                     qPrintable(button->text()));
        }
        QVERIFY(QFontMetrics(w.dialog.font()).horizontalAdvance(QStringLiteral("Close")) + 8 <=
                w.dialog.GetDlgItem(1001)->width());
        for (auto* box : w.dialog.findChildren<QGroupBox*>()) {
            QVERIFY2(box->fontMetrics().horizontalAdvance(box->title()) + 16 <= box->width(),
                     qPrintable(box->title()));
        }
        for (auto* combo : w.dialog.findChildren<CComboBox*>()) {
            for (int i = 0; i < combo->count(); ++i) {
                QVERIFY(combo->fontMetrics().horizontalAdvance(combo->itemText(i)) <=
                        combo->lineEdit()->width());
            }
        }
    }

    void windowIsAFixedSizeTopLevelWithoutMinimiseOrMaximise() {
        Window w;
        QCOMPARE(w.dialog.windowTitle(), QStringLiteral("QK4520ConfTool"));
        QCOMPARE(w.dialog.minimumSize(), w.dialog.maximumSize());
        const Qt::WindowFlags flags = w.dialog.windowFlags();
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Window);
        QVERIFY(flags.testFlag(Qt::WindowTitleHint));
        QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(w.dialog.windowIcon().availableSizes(),
                 (QList<QSize>{QSize(32, 32), QSize(16, 16)}));
    }

    void statusBarRunsAlongTheBottomInThreeParts() {
        Window w;
        CStatusBarCtrl* bar = w.dialog.statusBar();
        QCOMPARE(bar->geometry().bottom(), w.dialog.height() - 1);
        QCOMPARE(bar->width(), w.dialog.width());
        QCOMPARE(bar->GetParts(), 3);
        QCOMPARE(bar->GetRect(0).right() < 180, true);
        QCOMPARE(bar->GetRect(1).left(), 180);
        QCOMPARE(bar->GetRect(1).right() < 300, true);
        QCOMPARE(bar->GetRect(2).left(), 300);
        QVERIFY(bar->GetRect(2).right() >= w.dialog.width() - 3);
    }

    void statusTextTooWideForItsPartIsCutVisiblyAndKeptWhole() {
        Window w;
        const QString stat = QStringLiteral("field strength:25  temperature:36℃  Voltage:3.30");
        w.dialog.statusBar()->SetText(0, stat);
        QCOMPARE(w.dialog.statusBar()->GetText(0), stat);
        auto* part = w.dialog.statusBar()->findChild<QLabel*>(QStringLiteral("part0"));
        QVERIFY(part->text().endsWith(u'…'));
        QCOMPARE(part->toolTip(), stat);
    }

    void aboutBoxCaptionsAreReadable() {
        QWidget owner;
        CAboutDlg about(&owner);
        for (auto* label : about.findChildren<QLabel*>()) {
            if (label->pixmap().isNull()) {
                QVERIFY2(ShowsWhole(*label, label->text()), qPrintable(label->text()));
            }
            QVERIFY(QRect(QPoint(0, 0), about.size()).contains(label->geometry()));
        }
    }
};

QTEST_MAIN(MainWindowLayoutTest)
#include "MainWindowLayoutTest.moc"
