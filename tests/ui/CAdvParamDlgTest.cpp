#include <QAbstractItemView>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <tuple>

#include "CAdvParamDlg.h"
#include "CComboBox.h"
#include "CDialog.h"
#include "GbkLineEdit.h"
#include "GbkText.h"
#include "LabelFitter.h"
#include "LayoutTestSupport.h"
#include "UiTestSupport.h"
#include "ValueLists.h"

using namespace qk;
using namespace qk::ui;
using namespace std::string_literals;

namespace {

constexpr std::array kListIds = {1010, 1048, 1051, 1052, 1011};  // work mode .. registration
const QString kRegistTooLong = QStringLiteral("Regist packet size should not exceed 40.");

auto Fields(const AdvancedParams& a) {
    return std::tie(a.workType, a.heartbeatCode, a.heartbeatCodeIsPosition, a.heartbeatData,
                    a.dnsServer, a.dataBits, a.parity, a.packetGap, a.packetSize, a.registerEnable,
                    a.registerData, a.reconnectInterval, a.reconnectTries, a.disconnectTime,
                    a.logoutEnable, a.logoutData);
}

// A record as the device fills it, every field set.
AdvancedParams DeviceRecord() {
    AdvancedParams a;
    a.workType = 1;
    a.heartbeatCode = 3;  // the device's code for "60s"
    a.heartbeatData = "HB\xCA\xB5";
    a.dnsServer = "8.8.8.8";
    a.dataBits = "8";
    a.parity = "E";
    a.packetGap = "100";
    a.packetSize = "1024";
    a.registerEnable = 1;
    a.registerData = "QK4520-000123";
    a.reconnectInterval = "30";
    a.reconnectTries = "5";
    a.disconnectTime = "600";
    a.logoutEnable = 0;
    a.logoutData = "bye";
    return a;
}

CComboBox* List(CDialog& window, int id) {
    return window.Item<CComboBox>(id);
}
GbkLineEdit* Edit(CDialog& window, int id) {
    return window.Item<GbkLineEdit>(id);
}

QStringList Entries(const CComboBox& list) {
    QStringList entries;
    for (int i = 0; i < list.count(); ++i) {
        entries << list.itemText(i);
    }
    return entries;
}

QStringList Texts(ValueList values) {
    QStringList texts;
    for (const std::string_view value : values) {
        texts << FromGbk(value);
    }
    return texts;
}

// Picks an entry from the opened list with the mouse, as the operator does.
void Pick(CComboBox* list, int index) {
    list->showPopup();
    QAbstractItemView* view = list->view();
    QVERIFY(QTest::qWaitFor([&] { return view->isVisible(); }));
    const QModelIndex entry = view->model()->index(index, 0);
    view->scrollTo(entry);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(entry).center());
    QVERIFY(QTest::qWaitFor([&] { return list->GetCurSel() == index; }));
}

void Retype(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    test::TypeText(edit, text);
}

// The control ID of a focused widget (a combo box's field belongs to its combo box).
int IdOf(QWidget* widget) {
    for (; widget != nullptr; widget = widget->parentWidget()) {
        bool isNumber = false;
        const int id = widget->objectName().toInt(&isNumber);
        if (isNumber) {
            return id;
        }
    }
    return 0;
}

// One dialog object, opened as often as a test likes.
struct Harness {
    test::RecordingPresenter messages;
    CAdvParamDlg dlg{messages};
    bool leftOpen = false;  // the last `drive` left the window open; it was cancelled then

    // Opens the dialog over `record` and runs `drive` inside its modal loop; returns the
    // result of DoModal.
    int Open(AdvancedParams& record, bool loggedIn, const std::function<void(CDialog&)>& drive) {
        dlg.SetData(&record, loggedIn);
        leftOpen = false;
        const auto watch = test::AnswerNextModal([&](QWidget* modal) {
            auto* window = qobject_cast<CDialog*>(modal);
            if (window == nullptr || window != dlg.window()) {
                modal->close();
                return;
            }
            drive(*window);
            if (window->isVisible()) {
                leftOpen = true;
                window->reject();
            }
        });
        return dlg.DoModal(nullptr);
    }
};

}  // namespace

class CAdvParamDlgTest : public QObject {
    Q_OBJECT
  private slots:
    void opensWithTheRecordsSelections_data() {
        QTest::addColumn<int>("workType");
        QTest::addColumn<int>("heartbeatCode");
        QTest::addColumn<QByteArray>("dataBits");
        QTest::addColumn<QByteArray>("parity");
        QTest::addColumn<int>("registerEnable");
        QTest::addColumn<QStringList>("shown");  // work mode, heartbeat, bits, parity, regist.
        const QString none;
        QTest::newRow("every list")
            << 1 << 3 << QByteArray("8") << QByteArray("E") << 1
            << QStringList{QStringLiteral("数据触发上线"), "60s", "8", "E", "1"};
        QTest::newRow("first entries")
            << 0 << 1 << QByteArray("5") << QByteArray("N") << 0
            << QStringList{QStringLiteral("实时在线"), "30s", "5", "N", "0"};
        QTest::newRow("lower-case parity")
            << 1 << 3 << QByteArray("8") << QByteArray("o") << 1
            << QStringList{QStringLiteral("数据触发上线"), "60s", "8", "O", "1"};
        QTest::newRow("data bits with a blank")
            << 1 << 3 << QByteArray("8 ") << QByteArray("E") << 1
            << QStringList{QStringLiteral("数据触发上线"), "60s", none, "E", "1"};
        QTest::newRow("empty texts")
            << 1 << 3 << QByteArray() << QByteArray() << 1
            << QStringList{QStringLiteral("数据触发上线"), "60s", none, none, "1"};
        QTest::newRow("heartbeat code 4")
            << 1 << 4 << QByteArray("8") << QByteArray("E") << 1
            << QStringList{QStringLiteral("数据触发上线"), none, "8", "E", "1"};
        QTest::newRow("work type 2") << 2 << 3 << QByteArray("8") << QByteArray("E") << 1
                                     << QStringList{none, "60s", "8", "E", "1"};
        QTest::newRow("registration -1")
            << 1 << 3 << QByteArray("8") << QByteArray("E") << -1
            << QStringList{QStringLiteral("数据触发上线"), "60s", "8", "E", none};
        QTest::newRow("before any answer") << kNoValue << kNoValue << QByteArray() << QByteArray()
                                           << kNoValue << QStringList{none, none, none, none, none};
    }
    void opensWithTheRecordsSelections() {
        QFETCH(int, workType);
        QFETCH(int, heartbeatCode);
        QFETCH(QByteArray, dataBits);
        QFETCH(QByteArray, parity);
        QFETCH(int, registerEnable);
        QFETCH(QStringList, shown);
        AdvancedParams record = DeviceRecord();
        record.workType = workType;
        record.heartbeatCode = heartbeatCode;
        record.dataBits = dataBits.toStdString();
        record.parity = parity.toStdString();
        record.registerEnable = registerEnable;
        Harness h;
        QStringList texts;
        QList<int> selected;
        QStringList edits;
        h.Open(record, true, [&](CDialog& w) {
            for (const int id : kListIds) {
                texts << List(w, id)->currentText();
                selected << List(w, id)->GetCurSel();
            }
            for (const int id : {1027, 1021, 1029}) {
                edits << Edit(w, id)->text();
            }
        });
        QCOMPARE(texts, shown);
        for (qsizetype i = 0; i < shown.size(); ++i) {
            QCOMPARE(selected[i] < 0, shown[i].isEmpty());
        }
        QCOMPARE(edits, (QStringList{QStringLiteral("HB实"), "8.8.8.8", "QK4520-000123"}));
        QVERIFY(h.messages.entries.empty());
    }

    void setWhileLoggedInStoresTheChoicesAndEndsWithOk() {
        AdvancedParams record = DeviceRecord();
        AdvancedParams expected = record;
        Harness h;
        const int result = h.Open(record, true, [&](CDialog& w) {
            Pick(List(w, 1048), 1);  // "45s"
            Pick(List(w, 1010), 0);
            Pick(List(w, 1051), 1);
            Pick(List(w, 1052), 0);
            Pick(List(w, 1011), 0);
            Retype(Edit(w, 1027), QStringLiteral("心跳"));
            Retype(Edit(w, 1021), QStringLiteral("1.1.1.1"));
            Retype(Edit(w, 1029), QStringLiteral("REG"));
            w.Item<QPushButton>(1)->click();
        });
        QCOMPARE(result, CDialog::IDOK);
        QVERIFY(!h.leftOpen);
        QVERIFY(!h.dlg.IsOpen());
        expected.heartbeatCode = 1;  // the list position, not the device's code
        expected.heartbeatCodeIsPosition = true;
        expected.workType = 0;
        expected.dataBits = "6";
        expected.parity = "N";
        expected.registerEnable = 0;
        expected.heartbeatData = "\xD0\xC4\xCC\xF8";  // GBK "心跳"
        expected.dnsServer = "1.1.1.1";
        expected.registerData = "REG";
        QVERIFY(Fields(record) == Fields(expected));
        QVERIFY(h.messages.entries.empty());
    }

    void setWhileLoggedOutShowsLogoutAndKeepsTheDialogOpen() {
        AdvancedParams record = DeviceRecord();
        const AdvancedParams before = record;
        Harness h;
        bool openAfterFirst = false;
        bool openAfterSecond = false;
        QWidget* window = nullptr;
        const int result = h.Open(record, false, [&](CDialog& w) {
            window = &w;
            Pick(List(w, 1048), 0);
            Retype(Edit(w, 1029), QStringLiteral("other"));
            w.Item<QPushButton>(1)->click();
            openAfterFirst = w.isVisible();
            QTest::keyClick(Edit(w, 1021), Qt::Key_Return);  // Enter is "Set" as well
            openAfterSecond = w.isVisible();
            w.Item<QPushButton>(2)->click();
        });
        QVERIFY(openAfterFirst);
        QVERIFY(openAfterSecond);
        QVERIFY(!h.leftOpen);
        QCOMPARE(result, CDialog::IDCANCEL);
        QCOMPARE(h.messages.texts(), (QStringList{"Logout", "Logout"}));
        QCOMPARE(h.messages.entries[0].owner, window);
        QCOMPARE(h.messages.entries[0].message.icon, Message::Icon::None);
        QVERIFY(Fields(record) == Fields(before));
    }

    void endingWithoutSetLeavesTheRecordUntouched_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("close box") << 2;
    }
    void endingWithoutSetLeavesTheRecordUntouched() {
        QFETCH(int, how);
        AdvancedParams record = DeviceRecord();
        const AdvancedParams before = record;
        Harness h;
        const int result = h.Open(record, true, [&](CDialog& w) {
            for (const int id : kListIds) {
                Pick(List(w, id), 0);
            }
            QTest::keyClicks(List(w, 1051), QStringLiteral("x"));  // no selection
            for (const int id : {1027, 1021, 1028, 1029}) {
                Retype(Edit(w, id), QStringLiteral("changed"));
            }
            switch (how) {
                case 0:
                    w.Item<QPushButton>(2)->click();
                    break;
                case 1:
                    QTest::keyClick(Edit(w, 1027), Qt::Key_Escape);
                    break;
                case 2:
                    w.close();
                    break;
            }
        });
        QVERIFY(!h.leftOpen);
        QCOMPARE(result, CDialog::IDCANCEL);
        QVERIFY(Fields(record) == Fields(before));
        QVERIFY(h.messages.entries.empty());
    }

    void emptiedListsStoreNoChoice() {
        AdvancedParams record = DeviceRecord();
        Harness h;
        const int result = h.Open(record, true, [&](CDialog& w) {
            for (const int id : kListIds) {
                // Typing into the field leaves the list without a selection.
                List(w, id)->lineEdit()->selectAll();
                QTest::keyClicks(List(w, id), QStringLiteral("8"));
                QCOMPARE(List(w, id)->GetCurSel(), -1);
            }
            w.Item<QPushButton>(1)->click();
        });
        QCOMPARE(result, CDialog::IDOK);
        QCOMPARE(record.workType, -1);
        QCOMPARE(record.heartbeatCode, -1);
        QCOMPARE(record.registerEnable, -1);
        // Nothing to store from an empty data-bits or parity list: the empty text, which
        // the controller leaves out (and says so) instead of sending it.
        QCOMPARE(record.dataBits, ""s);
        QCOMPARE(record.parity, ""s);
    }

    void enterPressesSetAndFocusStartsOnSet_data() {
        QTest::addColumn<int>("from");
        QTest::newRow("Set focused") << 1;
        QTest::newRow("edit box") << 1021;
        QTest::newRow("list") << 1048;
    }
    void enterPressesSetAndFocusStartsOnSet() {
        QFETCH(int, from);
        AdvancedParams record = DeviceRecord();
        Harness h;
        int firstFocus = 0;
        const int result = h.Open(record, true, [&](CDialog& w) {
            QVERIFY(QTest::qWaitForWindowActive(&w));
            firstFocus = IdOf(QApplication::focusWidget());
            QWidget* target = w.GetDlgItem(from);
            target->setFocus();
            QVERIFY(QTest::qWaitFor([&] { return IdOf(QApplication::focusWidget()) == from; }));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(firstFocus, 1);
        QVERIFY(!h.leftOpen);
        QCOMPARE(result, CDialog::IDOK);
    }

    void tabFollowsTheTemplateOrder() {
        AdvancedParams record;
        Harness h;
        QList<int> order;
        h.Open(record, true, [&](CDialog& w) {
            QVERIFY(QTest::qWaitForWindowActive(&w));
            for (int i = 0; i < 12; ++i) {
                order << IdOf(QApplication::focusWidget());
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            }
        });
        QCOMPARE(order,
                 (QList<int>{1, 2, 1027, 1029, 1010, 1011, 1021, 1048, 1051, 1052, 1028, 1}));
    }

    void windowIsAFixedSizeDialogWithCloseBoxOnly() {
        AdvancedParams record;
        Harness h;
        h.Open(record, true, [&](CDialog& w) {
            QCOMPARE(w.windowTitle(), QStringLiteral("Advanced Parameters"));
            QCOMPARE(w.minimumSize(), w.maximumSize());
            const Qt::WindowFlags flags = w.windowFlags();
            QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
            QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
            QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
            QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
            QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
            QVERIFY(w.isModal());
            QVERIFY(w.Item<QPushButton>(1)->isDefault());
            QCOMPARE(w.Item<QPushButton>(1)->text(), QStringLiteral("Set"));
        });
    }

    void typingIntoTheRegistrationContentStopsAt40Bytes_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        const QString twenty = QString(20, QChar(u'注'));
        QTest::newRow("Chinese") << twenty + QStringLiteral("册") << twenty;
        QTest::newRow("ASCII") << QString(41, u'a') << QString(40, u'a');
        QTest::newRow("mixed") << QStringLiteral("a") + QString(20, QChar(u'注'))
                               << QStringLiteral("a") + QString(19, QChar(u'注'));
    }
    void typingIntoTheRegistrationContentStopsAt40Bytes() {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        AdvancedParams record;
        Harness h;
        QString shown;
        h.Open(record, true, [&](CDialog& w) {
            test::TypeText(Edit(w, 1029), typed);
            shown = Edit(w, 1029)->text();
            w.Item<QPushButton>(1)->click();
        });
        QCOMPARE(shown, kept);
        QCOMPARE(record.registerData, ToGbk(kept));
        QVERIFY(record.registerData.size() <= 40);
        QVERIFY(h.messages.entries.empty());
    }

    void longerTextFromTheDeviceWarnsOnEachEditAndIsStoredWhole() {
        // 20 Chinese characters and 10 letters: 50 bytes.
        const QString longText = QString(20, QChar(u'注')) + QStringLiteral("0123456789");
        AdvancedParams record;
        record.registerData = ToGbk(longText);
        QCOMPARE(record.registerData.size(), std::size_t{50});
        Harness h;
        QStringList atOpening;
        QStringList afterDelete;
        QStringList afterRefusedKey;
        QWidget* window = nullptr;
        h.Open(record, true, [&](CDialog& w) {
            window = &w;
            GbkLineEdit* edit = Edit(w, 1029);
            QCOMPARE(edit->text(), longText);
            atOpening = h.messages.texts();
            edit->setCursorPosition(static_cast<int>(longText.size()));
            QTest::keyClick(edit, Qt::Key_Backspace);
            afterDelete = h.messages.texts();
            test::TypeText(edit, QStringLiteral("X"));  // refused: still 49 bytes
            afterRefusedKey = h.messages.texts();
            w.Item<QPushButton>(1)->click();
        });
        QCOMPARE(atOpening, QStringList{});
        QCOMPARE(afterDelete, QStringList{kRegistTooLong});
        QCOMPARE(afterRefusedKey, QStringList{kRegistTooLong});
        QCOMPARE(h.messages.entries[0].owner, window);
        QCOMPARE(record.registerData, ToGbk(longText).substr(0, 49));
    }

    void loginKeyBoxShowsOnlyWhatAnAcceptedSetTook() {
        AdvancedParams record = DeviceRecord();
        Harness h;
        auto typeKeyAndEnd = [&](bool loggedIn, const QString& key, int button) {
            QString shownAtOpening;
            h.Open(record, loggedIn, [&](CDialog& w) {
                shownAtOpening = Edit(w, 1028)->text();
                Retype(Edit(w, 1028), key);
                w.Item<QPushButton>(button)->click();
                if (w.isVisible()) {
                    w.Item<QPushButton>(2)->click();
                }
            });
            return shownAtOpening;
        };
        QCOMPARE(typeKeyAndEnd(true, "111111", 2), QString());   // Cancel
        QCOMPARE(typeKeyAndEnd(false, "222222", 1), QString());  // refused Set, then Cancel
        QCOMPARE(typeKeyAndEnd(true, "333333", 1), QString());   // accepted Set
        QCOMPARE(typeKeyAndEnd(true, "444444", 2), QStringLiteral("333333"));
        QCOMPARE(typeKeyAndEnd(true, "555555", 1), QStringLiteral("333333"));
        QCOMPARE(typeKeyAndEnd(true, "666666", 2), QStringLiteral("555555"));
        const AdvancedParams untouched = DeviceRecord();
        QCOMPARE(record.packetGap, untouched.packetGap);  // the key goes into no field
        QCOMPARE(record.logoutData, untouched.logoutData);
    }

    void listsAreRebuiltAtEveryOpening() {
        AdvancedParams record = DeviceRecord();
        Harness h;
        for (int opening = 0; opening < 4; ++opening) {
            QList<QStringList> lists;
            h.Open(record, true, [&](CDialog& w) {
                for (const int id : {1010, 1048, 1051, 1052, 1011, 1044}) {
                    lists << Entries(*List(w, id));
                }
                if (opening % 2 == 0) {
                    w.Item<QPushButton>(1)->click();
                }
            });
            QCOMPARE(lists.size(), 6);
            QCOMPARE(lists[0], Texts(WorkModeList));
            QCOMPARE(lists[1], Texts(HeartbeatList));
            QCOMPARE(lists[2], Texts(DataBitsList));
            QCOMPARE(lists[3], (QStringList{"N", "O", "E"}));  // list order, not sorted
            QCOMPARE(lists[4], (QStringList{"0", "1"}));
            QCOMPARE(lists[5], (QStringList{"0", "1"}));
        }
    }

    void reopeningAfterSetShowsTheChosenHeartbeat_data() {
        QTest::addColumn<int>("position");
        QTest::newRow("30s") << 0;
        QTest::newRow("45s") << 1;
        QTest::newRow("60s") << 2;
    }
    void reopeningAfterSetShowsTheChosenHeartbeat() {
        QFETCH(int, position);
        AdvancedParams record = DeviceRecord();
        Harness h;
        h.Open(record, true, [&](CDialog& w) {
            Pick(List(w, 1048), position);
            w.Item<QPushButton>(1)->click();
        });
        QCOMPARE(record.heartbeatCode, position);
        int shown = -2;
        h.Open(record, true, [&](CDialog& w) { shown = List(w, 1048)->GetCurSel(); });
        QCOMPARE(shown, position);
        // An unchanged "Set" keeps the position.
        h.Open(record, true, [&](CDialog& w) { w.Item<QPushButton>(1)->click(); });
        QCOMPARE(record.heartbeatCode, position);
        QVERIFY(record.heartbeatCodeIsPosition);

        // The device's answer (code = position + 1) shows the same entry.
        record.heartbeatCode = position + 1;
        record.heartbeatCodeIsPosition = false;
        h.Open(record, true, [&](CDialog& w) { shown = List(w, 1048)->GetCurSel(); });
        QCOMPARE(shown, position);
    }

    void deviceBytesThatAreNotGbkSurviveAnUneditedSet() {
        const std::string raw = "\x81\x20\xFF\xFE\x80";
        QVERIFY(ToGbk(FromGbk(raw)) != raw);  // a round trip through the widgets would change it
        AdvancedParams record = DeviceRecord();
        record.heartbeatData = raw;
        record.dnsServer = "dns" + raw;
        record.registerData = raw + "reg";
        Harness h;
        const int result = h.Open(record, true, [&](CDialog& w) {
            Pick(List(w, 1048), 1);
            w.Item<QPushButton>(1)->click();
        });
        QCOMPARE(result, CDialog::IDOK);
        QCOMPARE(record.heartbeatData, raw);
        QCOMPARE(record.dnsServer, "dns" + raw);
        QCOMPARE(record.registerData, raw + "reg");
        QVERIFY(h.messages.entries.empty());
    }

    void layoutKeepsRowsInTheGroupBoxAndHiddenRowsHidden() {
        AdvancedParams record;
        record.workType = 1;  // the widest entry in its field
        Harness h;
        h.Open(record, true, [&](CDialog& w) {
            QGroupBox* box = test::GroupBox(w, QStringLiteral("Work Parameters"));
            QVERIFY(box);
            QRect inside = GroupBoxInside(box->geometry());
            inside.setTop(box->y() + box->fontMetrics().height());
            const QStringList rows = {"Work Mode:",
                                      "1010",
                                      "DNS Server IP:",
                                      "1021",
                                      "Heart Beat Interval:",
                                      "1048",
                                      "Heart Beat Content:",
                                      "1027",
                                      "Serial Data Bits:",
                                      "1051",
                                      "Serial Parity:",
                                      "1052",
                                      "Login Key:",
                                      "1028",
                                      "Regist Packet:",
                                      "1011",
                                      "Regist Packet Content:",
                                      "1029"};
            for (const QString& name : rows) {
                QWidget* control =
                    name.front().isDigit() ? w.GetDlgItem(name.toInt()) : test::Label(w, name);
                QVERIFY2(control && control->isVisible(), qPrintable(name));
                QVERIFY2(inside.contains(control->geometry()),
                         qPrintable(name + QStringLiteral(" leaves the group box")));
                if (auto* label = qobject_cast<QLabel*>(control)) {
                    QVERIFY2(test::ShowsWhole(*label, name), qPrintable(name));
                }
            }
            const QRect client(QPoint(0, 0), w.size());
            for (const int id : {1, 2}) {
                auto* button = w.Item<QPushButton>(id);
                QVERIFY(client.contains(button->geometry()));
                QVERIFY(!button->geometry().intersects(box->geometry()));
                QVERIFY(button->fontMetrics().horizontalAdvance(button->text()) + 8 <=
                        button->width());
            }
            QVERIFY(box->fontMetrics().horizontalAdvance(box->title()) + 16 <= box->width());
            // The rows below the group box exist, never shown, never enabled, empty.
            for (const int id : {1026, 1032, 1034, 1044, 1045, 1017, 1018}) {
                QWidget* control = w.GetDlgItem(id);
                QVERIFY2(control && control->isHidden() && !control->isEnabled(),
                         qPrintable(QString::number(id)));
                auto* edit = qobject_cast<GbkLineEdit*>(control);
                QVERIFY(edit == nullptr || edit->text().isEmpty());
            }
            QVERIFY(test::Label(w, QStringLiteral("Logout Packet Content:"))->isHidden());
            // No two visible controls overlap.
            QList<QWidget*> visible;
            for (const auto& control : w.controls().All()) {
                if (control.widget->isVisible() && control.widget != box) {
                    visible << control.widget;
                }
            }
            for (qsizetype i = 0; i < visible.size(); ++i) {
                for (qsizetype j = i + 1; j < visible.size(); ++j) {
                    QVERIFY2(!visible[i]->geometry().intersects(visible[j]->geometry()),
                             qPrintable(visible[i]->objectName() + " overlaps " +
                                        visible[j]->objectName()));
                }
            }
            for (const int id : {1010, 1048, 1051, 1052, 1011}) {
                CComboBox* list = List(w, id);
                for (int i = 0; i < list->count(); ++i) {
                    QVERIFY2(list->fontMetrics().horizontalAdvance(list->itemText(i)) <=
                                 list->lineEdit()->width(),
                             qPrintable(list->itemText(i)));
                }
            }
        });
    }
};

QTEST_MAIN(CAdvParamDlgTest)
#include "CAdvParamDlgTest.moc"
