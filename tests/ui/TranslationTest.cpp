// The windows in Chinese: every text they show has a translation (captions, menus, the
// texts the core hands them, Qt's own buttons), English stays the source text byte for
// byte, and the layout holds in both languages at the template's font and at 1.5 times it.
#include <QMessageBox>
#include <QProgressBar>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <cerrno>

#include "AppOptions.h"
#include "CAboutDlg.h"
#include "CAdvParamDlg.h"
#include "ComPortList.h"
#include "CommandValues.h"
#include "ConfigController.h"
#include "ControlIds.h"
#include "CoreText.h"
#include "DialogBuilder.h"
#include "DialogFont.h"
#include "DialogTemplates.h"
#include "HistoryDialog.h"
#ifndef _WIN32
#include "PortDiagnostics.h"
#endif
#include "PortIdentity.h"
#include "Profile.h"
#include "QMessageBoxPresenter.h"
#include "ResponseParser.h"
#include "SerialMessageSink.h"
#include "StringTable.h"
#include "SystemMenu.h"
#include "TemplateCaptions.h"
#include "Translations.h"
#include "UiTestSupport.h"

using namespace qk;
using namespace qk::ui;
namespace main_dialog = res::main_dialog;

namespace {

// Words a Chinese window keeps as they are: names of programs, systems and commands, and
// the words the test's own data brings (a user, a group).
const QStringList kKeptWords = {
    "Qt",      "Windows",     "en",      "zh",        "root",    "pid",     "udev",
    "ioctl",   "scan",        "apply",   "sudo",      "usermod", "then",    "udevadm",
    "reload",  "trigger",     "control", "alice",     "tty",     "dialout", "COMn",
    "QinHeng", "Electronics", "serial",  "converter", "minicom", "cat"};

bool Kept(const QString& word) {
    return kKeptWords.contains(word) ||
           std::ranges::any_of(SettableParameters(), [&](const Parameter* parameter) {
               return word == QString::fromLatin1(parameter->name);
           });
}

// The English words left in a text meant to be Chinese. Tokens that are names stay: those
// with digits, paths, options and identifiers (_ = / . : - \ ' "); so do acronyms (all upper
// case) and what a file said, quoted.
QStringList EnglishWords(QString text) {
    static const QRegularExpression quoted(QStringLiteral("'[^']*'"));
    text.remove(quoted);
    static const QRegularExpression separators(QStringLiteral("[\\s，。：；、（）“”！…()]+"));
    static const QRegularExpression name(QStringLiteral("[0-9_=/.:\\\\'\"-]"));
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
    QStringList english;
    for (const QString& token : text.split(separators, Qt::SkipEmptyParts)) {
        if (token.contains(name)) {
            continue;
        }
        for (auto it = word.globalMatch(token); it.hasNext();) {
            const QString found = it.next().captured();
            if (found != found.toUpper() && !Kept(found)) {
                english << found;
            }
        }
    }
    return english;
}

// Records what the parser shows, for the status texts and labels it builds.
struct ParserOutput final : DeviceView {
    void SetStatusText(int, std::string_view text) override { texts << FromGbk(text); }
    void SetLoginLabel(std::string_view text) override { texts << FromGbk(text); }
    void SetConfigModeLabel(std::string_view text) override { texts << FromGbk(text); }
    void ShowMessage(std::string_view text) override { texts << FromGbk(text); }
    void SelectDeviceBaud(int) override {}
    void SelectProtocol(int) override {}
    void UpdateControls() override {}
    void UpdateState() override {}
    void ScrollLogToEnd() override {}
    QStringList texts;
};

// What the core says to an operator, made by the core's own code wherever it can be, with
// values an operator meets.
QStringList CoreMessages() {
    QStringList texts;
    for (const std::string_view text :
         {kCaptionOpen, kCaptionClose, kEnteringConfigMode, kHandshakeFailed, kLogOff, kLineLost,
          kLoginFailed, kOpenComFailed, kWriteComFailed}) {
        texts << FromGbk(text);
    }
    ParserOutput view;
    DeviceState state;
    ResponseParser parser(state, view);
    parser.HandleBlock(
        "+LOGIN:OK\r\n+LOGIN:NO\r\n+STAT:25,-36,3300\r\n+STAT:\r\n"
        "+VER:QK4520-1 HW:V2.1 SW:V3.5\r\n");
    texts << view.texts;

    // Values the controller leaves out, each for another reason.
    state.deviceBaudIndex = -1;
    state.protocolIndex = 7;
    state.destAddress = "a\r\nb";
    state.destPort = "70000";
    state.advanced.registerData = std::string(50, 'x');
    state.reported.NoteCutShort(ParameterId::DnsServer);
    CommandValues values;
    values.Text("Login Key", "1\n");
    for (const Parameter* parameter : SettableParameters()) {
        values.Value(*parameter, state);
    }
    texts << QString::fromStdString(values.Message());
    // The controller's own compositions, as it puts them together.
    texts << "Cannot open: nothing is selected in the COM list."
          << "Cannot open: nothing is selected in the COM, Baud Rate, Data Bits, Parity lists."
          << "No answer to \"REQUEST CFG MODE\" at 9600 baud in 16 s. The device may use another "
             "line speed: Find Device... (in the window's context menu) and qk4410-cli scan "
             "find it."
          << "No answer to \"REQUEST CFG MODE\" at 9600 baud in 16 s. The device may use another "
             "line speed: Find Device... (in the window's context menu) and qk4410-cli scan "
             "find it. The port is open in pid 12 (minicom), pid 34 (cat) as well, which may "
             "take the answers."
          // The journal's refusal, its reason as the system gave it.
          << "Not sent: the journal cannot record the change (Permission denied).";

    // The port's failures and their details.
#ifndef _WIN32
    PortDirectory ports;
    ports.Pin(3, "/dev/ttyUSB0");
    const std::string mapping = ports.DescribeMapping();
    for (const int err : {ENOENT, ENOTTY, EIO, EBUSY, EINVAL, EPERM}) {
        texts << QString::fromStdString(DescribeOpenFailure("/dev/ttyUSB9", err, mapping));
    }
    texts << QString::fromStdString(
        DescribeOpenFailure("/dev/ttyUSB9", ENODEV, "no serial ports found"));
    texts << QString::fromStdString(DescribeHeldPort("/dev/ttyUSB9", "/nonexistent"));
    NodeAccess access{
        .path = "/dev/ttyUSB0", .mode = 0600, .owner = "root", .group = "dialout", .user = "alice"};
    for (const auto& [mode, owner, inGroup, listed] :
         {std::tuple{0600u, "root", false, false}, std::tuple{0600u, "alice", false, false},
          std::tuple{0660u, "root", true, false}, std::tuple{0660u, "root", false, true},
          std::tuple{0660u, "root", false, false}}) {
        access.mode = mode;
        access.owner = owner;
        access.processInGroup = inGroup;
        access.userInGroup = listed;
        texts << QString::fromStdString(AccessAdvice(access));
    }
#endif
    texts << "COM3 (/dev/ttyUSB0): the line was hung up (the device or its adapter is gone)"
          << "COM3 (/dev/ttyUSB0): Input/output error"
          << "COM3 stands for no device; port mapping: COM3=/dev/ttyUSB0 (pinned), COM4=COM4"
          << "/dev/ttyUSB0: No such file or directory; adapter: USB serial adapter (1a86:7523)"
          << "/dev/ttyUSB0: timed out after 900 ms (3 of 9 bytes written)"
          << "/dev/ttyUSB0: Input/output error (0 of 9 bytes written)"
          << "/dev/ttyUSB0: line settings: Invalid argument; /dev/ttyUSB0: 7200 baud: the line "
             "runs at 9600 baud"
          << "the port is not open";

    // Profile problems, and what a device refuses of a profile.
    const ProfileContents profile = ReadProfile(
        "destPort=1\n# QK4410 profile, format 1\nnonsense\nbogus=1\ndestPort=2\n"
        "heartbeat=2\nparity=\\q\ndestAddress=\xC3\n"
        "registerData=xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\n");
    for (const std::string& problem : profile.ProblemsFor({})) {
        texts << QString::fromStdString(problem);
    }
    texts << QString::fromStdString(ReadProfile("# QK4410 profile, format 9\n").problems.front());
    texts << QString::fromStdString(ReadProfile("\n").problems.front());
    return texts;
}

// Descriptions the COM list shows.
QStringList PortDescriptions() {
    QStringList texts;
    PortIdentity usb;
    usb.kind = PortIdentity::Kind::Usb;
    usb.vendorId = "1a86";
    usb.productId = "7523";
    texts << QString::fromStdString(usb.Describe());
    usb.serial = "A1B2";
    texts << QString::fromStdString(usb.Describe());
    usb.modelName = "CH340 serial converter";
    usb.vendorName = "QinHeng Electronics";
    texts << QString::fromStdString(usb.Describe());
    PortIdentity builtIn;
    builtIn.kind = PortIdentity::Kind::BuiltIn;
    builtIn.uartType = "16550A";
    texts << QString::fromStdString(builtIn.Describe());
    builtIn.uartType.clear();
    texts << QString::fromStdString(builtIn.Describe());
    return texts;
}

// What each shown control of a window says, with its object name.
QStringList ShownTexts(const QWidget& window) {
    QStringList texts{window.windowTitle()};
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&window) && !qobject_cast<const QAbstractButton*>(widget)) {
            continue;
        }
        if (auto* label = qobject_cast<const QLabel*>(widget)) {
            texts << label->text();
        } else if (auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            texts << StripAccessKeys(button->text());
        } else if (auto* box = qobject_cast<const QGroupBox*>(widget)) {
            texts << box->title();
        } else if (auto* list = qobject_cast<const CComboBox*>(widget)) {
            for (int i = 0; i < list->count(); ++i) {
                texts << list->itemText(i) << list->itemData(i, Qt::ToolTipRole).toString()
                      << list->itemData(i, ComPortList::kRowTextRole).toString();
            }
        }
        texts << widget->toolTip();
    }
    texts.removeAll(QString());
    return texts;
}

QString Untranslated(const QStringList& texts) {
    QStringList faults;
    for (const QString& text : texts) {
        if (const QStringList english = EnglishWords(text); !english.isEmpty()) {
            faults << text + " [" + english.join(u' ') + "]";
        }
    }
    return faults.join(u'\n');
}

// A template at `pointSize` instead of its own: its dialog units grow with the font.
struct ScaledTemplate {
    ScaledTemplate(const res::DialogTemplate& original, int pointSize) : dialog(original) {
        dialog.pointSize = pointSize;
    }
    res::DialogTemplate dialog;
};

constexpr Qt::WindowFlags kDialogFrame = Qt::Dialog;

// Shown texts that do not fit, and shown widgets that overlap a sibling, in a window laid
// out by Qt's layouts (a message box, the search's progress).
QStringList WidgetLayoutFaults(const QWidget& window) {
    QStringList faults;
    std::vector<const QWidget*> shown;
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->isVisibleTo(&window) && widget->parentWidget() == &window &&
            (qobject_cast<const QLabel*>(widget) || qobject_cast<const QAbstractButton*>(widget) ||
             qobject_cast<const QProgressBar*>(widget))) {
            shown.push_back(widget);
        }
    }
    for (const QWidget* widget : shown) {
        if (auto* label = qobject_cast<const QLabel*>(widget);
            label && label->pixmap().isNull() && label->textFormat() != Qt::RichText) {
            const QRect room = label->contentsRect();
            const QRect needed = label->fontMetrics().boundingRect(
                room, int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0),
                label->text());
            if (needed.width() > room.width() || needed.height() > room.height()) {
                faults << label->text() + " is cut";
            }
        }
        if (auto* button = qobject_cast<const QAbstractButton*>(widget);
            button && button->fontMetrics().horizontalAdvance(StripAccessKeys(button->text())) + 8 >
                          button->width()) {
            faults << button->text() + " is cut";
        }
        if (!window.rect().contains(widget->geometry())) {
            faults << widget->objectName() + " leaves the window";
        }
        for (const QWidget* other : shown) {
            if (other != widget && other->geometry().intersects(widget->geometry())) {
                faults << widget->metaObject()->className() + QStringLiteral(" overlaps ") +
                              other->metaObject()->className();
            }
        }
    }
    return faults;
}

// The History view's title, headings and what it says of changes of every result (not the
// program and command that made them, which the journal keeps as they were recorded), and
// the view of a device without changes.
QStringList HistoryTexts() {
    Change change;
    change.started = "2026-12-07T05:25:09.123Z";
    change.program = "qk4410-cli";
    change.command = "apply";
    change.port = "/dev/ttyUSB0";
    change.deviceId = "QK-7";
    change.values = {{"destPort", "5000", "6001", std::nullopt},
                     {"protocol", std::nullopt, "UDP", "UDP"}};
    std::vector<Change> changes;
    for (const ChangeResult result : {ChangeResult::Ok, ChangeResult::Failed, ChangeResult::Sent,
                                      ChangeResult::Interrupted, ChangeResult::Running}) {
        change.result = result;
        changes.push_back(change);
    }
    HistoryDialog history("QK-7", changes);
    QStringList texts{history.windowTitle()};
    const QTableWidget* table = history.table();
    for (int column = 0; column < table->columnCount(); ++column) {
        texts << table->horizontalHeaderItem(column)->text();
    }
    constexpr int kResult = 3, kBefore = 5, kAfter = 6;
    for (int row = 0; row < table->rowCount(); ++row) {
        for (const int column : {kResult, kBefore, kAfter}) {
            texts << table->item(row, column)->text();
        }
    }
    const HistoryDialog empty("QK-7", {});
    return texts << ShownTexts(empty);
}

}  // namespace

class TranslationTest : public QObject {
    Q_OBJECT
  private slots:
    // Everything the main window, its menu, the About box and the Advanced Parameters dialog
    // show, the core's texts and the help, with the Chinese catalogues in use: no English
    // word left but names. Qt's own buttons come from Qt's catalogue.
    void everyShownTextHasATranslation() {
        const Translations chinese(res::Language::Chinese);
        QVERIFY(chinese.Complete());

        test::MainWindow w(test::Pinned({{3, "/dev/ttyUSB0"}}));
        QVERIFY(w.Activate());
        QStringList texts = ShownTexts(w.dialog);
        for (const QAction* action : w.dialog.systemMenu()->actions()) {
            texts << StripAccessKeys(action->text());
        }
        QCOMPARE(w.dialog.systemMenu()->actions().last()->text(),
                 FromGbk(res::LoadString(res::Language::Chinese, 101)));
        CAboutDlg about(&w.dialog);
        texts << ShownTexts(about);

        AdvancedParams record;
        CAdvParamDlg advanced(w.messages);
        advanced.SetData(&record, false);
        const auto watch = test::AnswerNextModal([&](QWidget* modal) {
            texts << ShownTexts(*modal);
            qobject_cast<CDialog*>(modal)->Item<QPushButton>(CDialog::IDOK)->click();
            modal->close();
        });
        advanced.DoModal(&w.dialog);
        QCOMPARE(w.messages.texts(), QStringList{"未登陆"});

        // What the core hands the window goes in as it came, and shows translated.
        w.dialog.SetConfigModeLabel(kEnteringConfigMode);
        w.dialog.SetOpenButtonCaption(kCaptionClose);
        w.dialog.ShowMessage(kLogOff);
        QCOMPARE(w.LabelText(main_dialog::kConfigModeLabel) +
                     w.Button(main_dialog::kOpenClose)->text() + w.messages.texts().last(),
                 "正在进入配置模式...关闭未登陆");
        // A window that refuses to search says why in Chinese, and so does F1.
        w.dialog.deviceFinder().Start(PortDirectory{}, 9600, {});
        texts << w.messages.entries.back().message.text << w.messages.entries.back().message.detail;
        w.dialog.OnHelp();
        texts << w.messages.entries.back().message.text;
        w.dialog.OnSysCommand(SystemMenu::kHistoryCommand);
        texts << w.messages.entries.back().message.text;
        texts << HistoryTexts();
        const QString untranslated = Untranslated(texts);
        QVERIFY2(untranslated.isEmpty(), qPrintable(untranslated));

        QStringList core;
        QStringList missing;
        for (const QString& text : CoreMessages()) {
            const auto translated = CoreText::TryTranslate(text);
            if (!translated) {
                missing << text;
            } else {
                core << *translated;
            }
        }
        for (const QString& text : PortDescriptions()) {
            core << CoreText::PortDescription(text);
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u'\n')));
        const QString untranslatedCore = Untranslated(core);
        QVERIFY2(untranslatedCore.isEmpty(), qPrintable(untranslatedCore));

        QMessageBoxPresenter presenter(QStringLiteral("QK4410ConfTool"));
        const auto box = presenter.MakeBox(nullptr, {QStringLiteral("x"), {}, Message::Icon::None});
        QCOMPARE(box->button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    }

    // Every template caption that is a word has its translation; names come back as they are.
    void everyTemplateCaptionHasATranslation() {
        const Translations chinese(res::Language::Chinese);
        QStringList untranslated;
        for (const res::DialogTemplate* dialog :
             {&res::MainDialogTemplate(), &res::AdvancedDialogTemplate(),
              &res::AboutDialogTemplate()}) {
            QStringList captions{TemplateCaption(dialog->caption)};
            for (const res::ControlTemplate& control : dialog->controls) {
                if (control.kind != res::ControlKind::Edit) {
                    captions << TemplateCaption(control.caption);
                }
            }
            untranslated << Untranslated(captions);
        }
        untranslated.removeAll(QString());
        QCOMPARE(untranslated.join(u'\n'), QString());
    }

    // Without the Chinese catalogues every text is the English source, byte for byte: the
    // core's texts, the captions, and the help.
    void englishIsTheSourceTextUnchanged() {
        const Translations english(res::Language::English);
        for (const QString& text : CoreMessages() + PortDescriptions()) {
            QCOMPARE(CoreText::Translate(text), text);
            QCOMPARE(CoreText::PortDescription(text), text);
        }
        for (const res::ControlTemplate& control : res::MainDialogTemplate().controls) {
            QCOMPARE(TemplateCaption(control.caption), FromGbk(control.caption));
        }
        QVERIFY(HelpText().startsWith(QStringLiteral("Usage: QK4410ConfTool")));
        QCOMPARE(SystemMenu::AboutText(), res::LoadString(res::Language::English, 101));
    }

    // A text that only looks like one of the core's keeps its words: parts that must be known
    // phrases are, and a value is never translated.
    void partsAreTranslatedOnlyWhereTheyMayBe() {
        const Translations chinese(res::Language::Chinese);
        for (const QString text : {"Not sent: Dest. Port (whatever).", "Not sent: whatever"}) {
            QCOMPARE(CoreText::Translate(text), text);
        }
        QCOMPARE(CoreText::Translate(QStringLiteral("/dev/Permission denied: Permission denied")),
                 QStringLiteral("/dev/Permission denied：权限不够"));
        QCOMPARE(CoreText::Translate(
                     QStringLiteral("Not sent: Dest. Port (must be a port from 1 to 65535), Device "
                                    "Baud Rate (no entry chosen).")),
                 QStringLiteral(
                     "未发送：目标端口（必须是 1 到 65535 之间的端口），设备波特率（未选择）。"));
        QCOMPARE(CoreText::Translate(QStringLiteral("an answer of the device")),
                 QStringLiteral("an answer of the device"));
    }

    // The main window, the Advanced Parameters dialog and the About box, in English and in
    // Chinese, at the template's font and at 1.5 times it: every caption and the texts the
    // labels take later fit, no control leaves its frame or covers another. So do a message
    // box and Find Device's progress.
    void layoutHoldsInBothLanguagesAtBothSizes() {
        for (const auto language : {res::Language::English, res::Language::Chinese}) {
            const Translations translations(language);
            for (const int pointSize : {10, 15}) {
                const QString where = QStringLiteral(" (%1, %2 pt)")
                                          .arg(language == res::Language::Chinese ? "zh_CN" : "en")
                                          .arg(pointSize);
                for (const res::DialogTemplate* original :
                     {&res::MainDialogTemplate(), &res::AdvancedDialogTemplate(),
                      &res::AboutDialogTemplate()}) {
                    const ScaledTemplate scaled(*original, pointSize);
                    CDialog dialog(scaled.dialog, nullptr, kDialogFrame);
                    QCOMPARE(test::LayoutFaults(dialog).join(u'|') + where, where);
                    if (original->id != res::kMainDialogId) {
                        continue;
                    }
                    // The texts the status labels and Open take while the window works.
                    for (const auto& [id, text] :
                         {std::pair{main_dialog::kConfigModeLabel, kEnteringConfigMode},
                          {main_dialog::kConfigModeLabel, kConfigModeEntered},
                          {main_dialog::kLoginLabel, std::string_view("Login")},
                          {main_dialog::kLoginLabel, kNotLoggedIn}}) {
                        const QString shown = CoreText::Translate(FromGbk(text));
                        QVERIFY2(test::ShowsWhole(*dialog.Item<QLabel>(id), shown),
                                 qPrintable(shown + where));
                    }
                    auto* open = dialog.Item<QPushButton>(main_dialog::kOpenClose);
                    const QString close = CoreText::Translate(FromGbk(kCaptionClose));
                    QVERIFY(open->fontMetrics().horizontalAdvance(close) + 8 <= open->width());
                }
                QFont font = DialogFont::FontFor(res::kSongFace, pointSize);

                QMessageBoxPresenter presenter(QStringLiteral("QK4410ConfTool"));
                const auto box = presenter.MakeBox(
                    nullptr, {CoreText::Translate(FromGbk(kOpenComFailed)),
                              CoreText::Translate(QStringLiteral(
                                  "/dev/ttyUSB9: No such file or directory; port mapping: "
                                  "COM3=/dev/ttyUSB0 (pinned)")),
                              Message::Icon::Warning});
                box->setFont(font);
                box->show();
                QVERIFY(QTest::qWaitForWindowExposed(box.get()));
                QCOMPARE(WidgetLayoutFaults(*box).join(u'|') + where, where);

                test::RecordingPresenter messages;
                QWidget owner;
                owner.setFont(font);
                DeviceFinder finder(owner, messages, [](int, std::uint32_t) {});
                finder.SetTiming({});
                finder.Start(test::Pinned({{1, "/nonexistent/a"}, {14, "/nonexistent/b"}}), 9600,
                             {});
                // Before the scans report: their reports are posted to this thread.
                QVERIFY(finder.progress() != nullptr && finder.progress()->isVisible());
                QCOMPARE(WidgetLayoutFaults(*finder.progress()).join(u'|') + where, where);
                finder.Cancel();
            }
        }
    }
};

QTEST_MAIN(TranslationTest)
#include "TranslationTest.moc"
