#include <QTest>

#include "UiTestSupport.h"

using qk::ui::CComboBox;

namespace {

// A combo box with the baud-rate entries, shown and focused, 9600 selected.
struct Fixture {
    QWidget window;
    CComboBox* combo = new CComboBox(&window);
    QLineEdit* other = new QLineEdit(&window);
    bool active = false;

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
};

}  // namespace

class CComboBoxTest : public QObject {
    Q_OBJECT
  private slots:
    void typingLeavesNoSelectionPickingOrArrowKeysSelect_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("thenLeave");
        QTest::newRow("other text") << QStringLiteral("abc") << false;
        QTest::newRow("other text, focus leaves") << QStringLiteral("abc") << true;
        // Qt would select the entry whose text equals what was typed when the field loses
        // focus; the framework's list does not.
        QTest::newRow("an entry's text, focus leaves") << QStringLiteral("115200") << true;
    }
    void typingLeavesNoSelectionPickingOrArrowKeysSelect() {
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
        QTest::keyClick(f.combo, Qt::Key_Return);  // never adds the typed text
        QCOMPARE(f.combo->GetCount(), 6);
        QCOMPARE(f.combo->GetCurSel(), -1);
        // Picking or the arrow keys select.
        qk::test::Pick(f.combo, 4);  // the entry selected before typing, again
        qk::test::Pick(f.combo, 5);
        QCOMPARE(f.combo->currentText(), QStringLiteral("115200"));
        QTest::keyClick(f.combo, Qt::Key_Up);
        QCOMPARE(f.combo->GetCurSel(), 4);
        QTest::keyClick(f.combo, Qt::Key_Down);
        QCOMPARE(f.combo->GetCurSel(), 5);
    }
};

QTEST_MAIN(CComboBoxTest)
#include "CComboBoxTest.moc"
