#include <QTest>
#include <array>

#include "DialogFont.h"
#include "DialogTemplates.h"
#include "UiTestSupport.h"

using namespace qk;
using namespace qk::ui;
using res::ControlKind;

namespace {

// A template with what the advanced-parameters dialog needs beyond the main window: a
// hidden and a disabled control, a 40-byte text field, a label with '&', a default button
// that is not the first.
// clang-format off
constexpr std::array<res::ControlTemplate, 10> kControls = {{
    {res::kNoControlId, ControlKind::GroupBox, "Options", {7, 7, 150, 80}, {}},
    {res::kNoControlId, ControlKind::Label, "&Content:", {12, 20, 30, 8}, {.group = true}},
    {2001, ControlKind::Edit, "", {60, 18, 90, 14}, {.tabStop = true, .autoHScroll = true, .textLimit = 40}},
    {2002, ControlKind::Edit, "hidden", {60, 34, 90, 14}, {.hidden = true, .tabStop = true}},
    {2003, ControlKind::ComboBox, "", {60, 50, 90, 60}, {.disabled = true, .tabStop = true, .vscroll = true}},
    {res::kNoControlId, ControlKind::Label, "A & B", {12, 66, 40, 8}, {.noPrefix = true}},
    {1, ControlKind::PushButton, "&Set", {170, 7, 50, 14}, {.tabStop = true, .defaultButton = true}},
    {2, ControlKind::PushButton, "Cancel", {170, 24, 50, 14}, {.tabStop = true}},
    {2004, ControlKind::Edit, "log", {7, 92, 213, 30}, {.tabStop = true, .readOnly = true, .multiline = true, .vscroll = true}},
    {res::kNoControlId, ControlKind::Icon, "", {230, 7, 21, 21}, {}, res::kAppIconId},
}};
constexpr res::DialogTemplate kTestDialog{.id = 900, .caption = "Test", .width = 260, .height = 130,
    .fontFace = res::kSongFace, .pointSize = 10, .controls = kControls};

// Two labels hemmed in on the right and below: the first needs more room on the left than
// there is, the second (one word, which no wrapping can help) less.
constexpr std::array<res::ControlTemplate, 8> kCrampedControls = {{
    {2101, ControlKind::Edit, "", {7, 10, 40, 12}, {}},
    {res::kNoControlId, ControlKind::Label, "Line speed of the PC:", {52, 12, 24, 8}, {}},
    {2102, ControlKind::Edit, "", {78, 10, 40, 12}, {}},
    {2103, ControlKind::Edit, "", {52, 22, 66, 12}, {}},
    {2104, ControlKind::Edit, "", {7, 40, 10, 12}, {}},
    {res::kNoControlId, ControlKind::Label, "Baudrate:", {40, 42, 10, 8}, {}},
    {2105, ControlKind::Edit, "", {52, 40, 66, 12}, {}},
    {2106, ControlKind::Edit, "", {40, 52, 78, 12}, {}},
}};
constexpr res::DialogTemplate kCrampedDialog{.id = 901, .caption = "Cramped", .width = 130,
    .height = 70, .fontFace = res::kSongFace, .pointSize = 10, .controls = kCrampedControls};
// clang-format on

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
    void controlsFollowTheTemplateInTabOrderAndEnterRunsTheDefault() {
        QVERIFY2(QFontDatabase::hasFamily(DialogFont::kChineseFamily),
                 "install fonts-arphic-uming (scripts/install-deps)");
        TestDialog dialog;
        QCOMPARE(dialog.size(), DialogFont(kTestDialog).ClientSize(kTestDialog));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        // '&' marks an access key on buttons and disappears from labels, unless noPrefix.
        QVERIFY(test::Label(dialog, "Content:") && test::Label(dialog, "A & B"));
        // The group box is a frame under the controls that lets clicks through.
        auto* group = dialog.findChild<QGroupBox*>(QStringLiteral("static0"));
        QVERIFY(group->testAttribute(Qt::WA_TransparentForMouseEvents));
        QCOMPARE(dialog.children().indexOf(group), 0);
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

        // Enter runs the default command unless a button has the focus.
        QTest::keyClick(dialog.GetDlgItem(2001), Qt::Key_Return);
        QCOMPARE(dialog.result(), CDialog::IDOK);
        dialog.show();
        dialog.GetDlgItem(2)->setFocus();
        QTest::keyClick(dialog.GetDlgItem(2), Qt::Key_Return);
        QCOMPARE(dialog.commands, (std::vector<int>{1, 2}));
        QCOMPARE(dialog.result(), CDialog::IDCANCEL);
    }

    // A caption with no room on its right or below moves left into free room, as far as it
    // needs and never over the control before it; its right edge stays.
    void aCaptionWithoutRoomRightOrBelowGrowsLeftNoFurtherThanItMay() {
        CDialog dialog(kCrampedDialog, nullptr, Qt::Dialog);
        const auto edge = [&](int id) { return dialog.GetDlgItem(id)->geometry(); };
        QLabel* cut = test::Label(dialog, "Line speed of the PC:");
        QCOMPARE(cut->geometry().left(), edge(2101).right() + 1);
        QCOMPARE(cut->geometry().right(), edge(2102).left() - 1);
        QVERIFY(!test::ShowsWhole(*cut, cut->text()));

        QLabel* word = test::Label(dialog, "Baudrate:");
        QVERIFY(test::ShowsWhole(*word, word->text()));
        QCOMPARE(word->width(), word->fontMetrics().horizontalAdvance(word->text()));
        QCOMPARE(word->geometry().right(), edge(2105).left() - 1);
        QVERIFY(word->geometry().left() > edge(2104).right());
        QCOMPARE(word->height(), DialogFont(kCrampedDialog).ToPixels({40, 42, 10, 8}).height());
    }
};

QTEST_MAIN(DialogBuilderTest)
#include "DialogBuilderTest.moc"
