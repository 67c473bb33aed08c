#include <QAbstractItemView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "CComboBox.h"
#include "UiTestSupport.h"

using qk::ui::CComboBox;

namespace {

// A combo box with the baud-rate entries, shown and focused, 9600 selected.
struct Fixture {
    QWidget window;
    CComboBox* combo = new CComboBox(&window);
    QLineEdit* other = new QLineEdit(&window);

    Fixture() {
        for (const char* entry : {"1200", "2400", "4800", "7200", "9600", "115200"}) {
            combo->AddString(QString::fromLatin1(entry));
        }
        other->move(0, 60);
        window.show();
        active = QTest::qWaitForWindowActive(&window);
        combo->SetCurSel(4);
        combo->setFocus();
    }
    bool active = false;
};

}  // namespace

class CComboBoxTest : public QObject {
    Q_OBJECT
  private slots:
    void startsWithoutSelectionAndKeepsTheOrderGiven() {
        CComboBox combo;
        for (const char* entry : {"9600", "115200", "1200"}) {
            combo.AddString(QString::fromLatin1(entry));
        }
        QCOMPARE(combo.GetCurSel(), -1);
        QCOMPARE(combo.currentText(), QString());
        QCOMPARE(combo.itemText(0), QStringLiteral("9600"));
        QCOMPARE(combo.itemText(1), QStringLiteral("115200"));
        QCOMPARE(combo.itemText(2), QStringLiteral("1200"));
    }

    void setCurSelShowsTheEntryAndMinusOneClears() {
        Fixture f;
        QCOMPARE(f.combo->GetCurSel(), 4);
        QCOMPARE(f.combo->currentText(), QStringLiteral("9600"));
        f.combo->SetCurSel(-1);
        QCOMPARE(f.combo->GetCurSel(), -1);
        QCOMPARE(f.combo->currentText(), QString());
        f.combo->SetCurSel(99);
        QCOMPARE(f.combo->GetCurSel(), -1);
    }

    void typingLeavesNoSelection_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("thenLeave");
        QTest::newRow("other text") << QStringLiteral("abc") << false;
        QTest::newRow("other text, focus leaves") << QStringLiteral("abc") << true;
        // Qt would select the entry whose text equals what was typed when the field loses
        // focus; the framework's list does not.
        QTest::newRow("an entry's text, focus leaves") << QStringLiteral("115200") << true;
    }
    void typingLeavesNoSelection() {
        QFETCH(QString, typed);
        QFETCH(bool, thenLeave);
        Fixture f;
        QVERIFY(f.active && f.combo->hasFocus());
        f.combo->lineEdit()->selectAll();
        QTest::keyClicks(f.combo, typed);
        QCOMPARE(f.combo->GetCurSel(), -1);
        if (thenLeave) {
            f.other->setFocus();
            QTRY_VERIFY(f.other->hasFocus());
        }
        QCOMPARE(f.combo->GetCurSel(), -1);
        QCOMPARE(f.combo->currentText(), typed);
    }

    void enterNeverAddsTheTypedText() {
        Fixture f;
        f.combo->lineEdit()->selectAll();
        QTest::keyClicks(f.combo, QStringLiteral("4711"));
        QTest::keyClick(f.combo, Qt::Key_Return);
        QCOMPARE(f.combo->GetCount(), 6);
        QCOMPARE(f.combo->GetCurSel(), -1);
    }

    void pickingFromTheListSelects() {
        Fixture f;
        QTest::keyClicks(f.combo, QStringLiteral("x"));
        QCOMPARE(f.combo->GetCurSel(), -1);
        f.combo->showPopup();
        QAbstractItemView* list = f.combo->view();
        QTRY_VERIFY(list->isVisible());
        const QModelIndex entry = list->model()->index(5, 0);
        list->scrollTo(entry);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(entry).center());
        QTRY_COMPARE(f.combo->GetCurSel(), 5);
        QCOMPARE(f.combo->currentText(), QStringLiteral("115200"));
    }

    void pickingTheEntryThatWasSelectedBeforeTypingSelectsItAgain() {
        Fixture f;
        QTest::keyClicks(f.combo, QStringLiteral("x"));
        f.combo->showPopup();
        QAbstractItemView* list = f.combo->view();
        QTRY_VERIFY(list->isVisible());
        const QModelIndex entry = list->model()->index(4, 0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(entry).center());
        QTRY_COMPARE(f.combo->GetCurSel(), 4);
    }

    void arrowKeysSelectTheNextEntry() {
        Fixture f;
        QTest::keyClick(f.combo, Qt::Key_Down);
        QCOMPARE(f.combo->GetCurSel(), 5);
        QTest::keyClick(f.combo, Qt::Key_Up);
        QCOMPARE(f.combo->GetCurSel(), 4);
    }
};

QTEST_MAIN(CComboBoxTest)
#include "CComboBoxTest.moc"
