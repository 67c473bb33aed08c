#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <array>

#include "CComboBox.h"
#include "CDialog.h"
#include "DialogFont.h"
#include "DialogTemplates.h"
#include "GbkLineEdit.h"
#include "LabelFitter.h"
#include "UiTestSupport.h"

using namespace qk;
using namespace qk::ui;
using res::ControlKind;

namespace {

// A template with what the advanced-parameters dialog needs beyond the main window: a
// hidden and a disabled control, a 40-byte text field, a label with '&', a default button
// that is not the first.
constexpr std::array<res::ControlTemplate, 10> kControls = {{
    {res::kNoControlId, ControlKind::GroupBox, "Options", {7, 7, 150, 80}, {}},
    {res::kNoControlId, ControlKind::Label, "&Content:", {12, 20, 30, 8}, {.group = true}},
    {2001,
     ControlKind::Edit,
     "",
     {60, 18, 90, 14},
     {.tabStop = true, .autoHScroll = true, .textLimit = 40}},
    {2002, ControlKind::Edit, "hidden", {60, 34, 90, 14}, {.hidden = true, .tabStop = true}},
    {2003,
     ControlKind::ComboBox,
     "",
     {60, 50, 90, 60},
     {.disabled = true, .tabStop = true, .vscroll = true}},
    {res::kNoControlId, ControlKind::Label, "A & B", {12, 66, 40, 8}, {.noPrefix = true}},
    {1,
     ControlKind::PushButton,
     "&Set",
     {170, 7, 50, 14},
     {.tabStop = true, .defaultButton = true}},
    {2, ControlKind::PushButton, "Cancel", {170, 24, 50, 14}, {.tabStop = true}},
    {2004,
     ControlKind::Edit,
     "log",
     {7, 92, 213, 30},
     {.tabStop = true, .readOnly = true, .multiline = true, .vscroll = true}},
    {res::kNoControlId, ControlKind::Icon, "", {230, 7, 21, 21}, {}, res::kAppIconId},
}};

constexpr res::DialogTemplate kTestDialog{
    .id = 900,
    .caption = "Test",
    .width = 260,
    .height = 130,
    .fontFace = res::kSongFace,
    .pointSize = 10,
    .frame = {},
    .controls = kControls,
};

class TestDialog : public CDialog {
  public:
    TestDialog() : CDialog(kTestDialog, nullptr, Qt::Dialog) {}
    std::vector<int> commands;

  protected:
    void OnCommand(int id) override {
        commands.push_back(id);
        CDialog::OnCommand(id);
    }
};

}  // namespace

class DialogBuilderTest : public QObject {
    Q_OBJECT
  private slots:
    void dialogUnitsFollowTheFontAsWindowsComputesThem() {
        const DialogFont font(kTestDialog);
        const QFontMetrics metrics(font.font());
        const int extent = metrics.horizontalAdvance(
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        QCOMPARE(font.baseUnitX(), (extent / 26 + 1) / 2);
        QCOMPARE(font.baseUnitY(), metrics.height());
        QCOMPARE(font.font().pixelSize(), 13);  // ten points at 96 dpi
        // Corners are mapped, so adjacent rectangles stay adjacent.
        const QRect left = font.ToPixels({7, 7, 33, 8});
        const QRect right = font.ToPixels({40, 7, 10, 8});
        QCOMPARE(left.x() + left.width(), right.x());
        QCOMPARE(font.ToPixelsX(4), font.baseUnitX());
        QCOMPARE(font.ToPixelsY(8), font.baseUnitY());
    }

    void songFaceIsTheChineseFallbackOfAProportionalLatinFace() {
        const QFont font = DialogFont::FontFor(res::kSongFace, 10);
        QCOMPARE(font.families(),
                 (QStringList{DialogFont::kLatinFamily, DialogFont::kChineseFamily}));
        QVERIFY2(QFontDatabase::hasFamily(DialogFont::kChineseFamily),
                 "install fonts-arphic-uming (scripts/install-deps)");
    }

    void controlsGetIdsStylesAndCreationOrder() {
        TestDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Test"));
        QCOMPARE(dialog.size(), DialogFont(kTestDialog).ClientSize(kTestDialog));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());

        QVERIFY(dialog.Item<GbkLineEdit>(2001));
        QVERIFY(dialog.Item<GbkLineEdit>(2002)->isHidden());
        QVERIFY(!dialog.Item<CComboBox>(2003)->isEnabled());
        QCOMPARE(dialog.Item<GbkLineEdit>(2001)->LimitText(), 40);
        QVERIFY(dialog.Item<QPushButton>(1)->isDefault());
        QVERIFY(dialog.Item<QPlainTextEdit>(2004)->isReadOnly());
        QCOMPARE(dialog.Item<QPlainTextEdit>(2004)->toPlainText(), QStringLiteral("log"));
        QCOMPARE(dialog.findChild<QWidget*>(QStringLiteral("2001")), dialog.GetDlgItem(2001));
        QCOMPARE(dialog.GetDlgItem(4711), nullptr);

        // '&' marks an access key on buttons and disappears from labels, unless noPrefix.
        QCOMPARE(dialog.Item<QPushButton>(1)->text(), QStringLiteral("&Set"));
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("static1"))->text(),
                 QStringLiteral("Content:"));
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("static5"))->text(),
                 QStringLiteral("A & B"));
        QVERIFY(!dialog.findChild<QLabel*>(QStringLiteral("static9"))->pixmap().isNull());

        // The group box is a frame under the controls that lets clicks through.
        auto* group = dialog.findChild<QGroupBox*>(QStringLiteral("static0"));
        QVERIFY(group->testAttribute(Qt::WA_TransparentForMouseEvents));
        QCOMPARE(dialog.children().indexOf(group), 0);
        QVERIFY(group->children().isEmpty() || !group->isAncestorOf(dialog.GetDlgItem(2001)));
    }

    void tabOrderIsCreationOrderOverVisibleEnabledTabStops() {
        TestDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        dialog.GetDlgItem(2001)->setFocus();
        QStringList visited;
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        // 2002 is hidden and 2003 disabled: both are skipped.
        QCOMPARE(visited, (QStringList{"1", "2", "2004", "2001"}));
    }

    void comboBoxIsClosedHeightWithTheRestAsItsList() {
        TestDialog dialog;
        auto* combo = dialog.Item<CComboBox>(2003);
        const QRect templateRect = DialogFont(kTestDialog).ToPixels(kControls[4].rect);
        QCOMPARE(combo->height(), std::min(combo->sizeHint().height(), templateRect.height()));
        QCOMPARE(
            combo->maxVisibleItems(),
            std::max((templateRect.height() - combo->height()) / combo->fontMetrics().height(), 1));
    }

    void textLimitCountsGbkBytes() {
        TestDialog dialog;
        dialog.show();
        auto* edit = dialog.Item<GbkLineEdit>(2001);
        edit->setFocus();
        QTest::keyClicks(edit, QString(45, u'x'));
        QCOMPARE(edit->text().size(), 40);

        edit->clear();
        test::TypeText(edit, QString(25, u'登'));  // two bytes each
        QCOMPARE(edit->Bytes().size(), std::size_t{40});
        QCOMPARE(edit->text().size(), 20);

        edit->clear();
        edit->insert(QString(50, u'y'));  // a paste is cut to fit
        QCOMPARE(edit->text().size(), 40);
    }

    void aLongerValueFromTheProgramStaysWholeAndCanShrink() {
        TestDialog dialog;
        dialog.show();
        auto* edit = dialog.Item<GbkLineEdit>(2001);
        const std::string longValue(60, 'v');
        edit->SetBytes(longValue);
        QCOMPARE(edit->Bytes(), longValue);
        edit->setFocus();
        edit->end(false);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text().size(), 59);
        QTest::keyClicks(edit, QStringLiteral("ww"));  // cannot grow back beyond 59
        QCOMPARE(edit->text().size(), 59);
    }

    void enterRunsTheDefaultCommandUnlessAButtonHasTheFocus() {
        TestDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        dialog.GetDlgItem(2001)->setFocus();
        QTest::keyClick(dialog.GetDlgItem(2001), Qt::Key_Return);
        QCOMPARE(dialog.commands, std::vector<int>{1});
        QCOMPARE(dialog.result(), CDialog::IDOK);

        dialog.commands.clear();
        dialog.show();
        dialog.GetDlgItem(2)->setFocus();
        QTest::keyClick(dialog.GetDlgItem(2), Qt::Key_Return);
        QCOMPARE(dialog.commands, std::vector<int>{2});
        QCOMPARE(dialog.result(), CDialog::IDCANCEL);
    }

    void labelGrowsIntoFreeRoomThenWraps() {
        QWidget parent;
        parent.resize(400, 200);
        static constexpr std::array<res::ControlTemplate, 3> entries = {{
            {res::kNoControlId, ControlKind::Label, "", {}, {}},
            {res::kNoControlId, ControlKind::Label, "", {}, {}},
            {res::kNoControlId, ControlKind::Label, "", {}, {}},
        }};
        auto* wide = new QLabel(QStringLiteral("A caption far wider than its box"), &parent);
        wide->setGeometry(10, 10, 30, 16);
        auto* blocker = new QLabel(QStringLiteral("x"), &parent);
        blocker->setGeometry(120, 10, 20, 16);
        auto* below = new QLabel(QStringLiteral("y"), &parent);
        below->setGeometry(10, 100, 20, 16);
        ControlSet controls;
        controls.Add(entries[0], wide);
        controls.Add(entries[1], blocker);
        controls.Add(entries[2], below);

        LabelFitter(controls, parent.size()).FitAll();

        QCOMPARE(wide->geometry().right(), blocker->geometry().left() - 1);
        QVERIFY(wide->wordWrap());
        const QRect needed = wide->fontMetrics().boundingRect(QRect(0, 0, wide->width(), 1000),
                                                              Qt::TextWordWrap, wide->text());
        QVERIFY(wide->height() >= needed.height());
        QVERIFY(!wide->geometry().intersects(below->geometry()));
        QVERIFY(!wide->geometry().intersects(blocker->geometry()));
    }
};

QTEST_MAIN(DialogBuilderTest)
#include "DialogBuilderTest.moc"
