#include <QTest>
#include <tuple>

#include "CAdvParamDlg.h"
#include "GbkLineEdit.h"
#include "UiTestSupport.h"

using namespace qk;
using namespace qk::ui;
using namespace qk::test;
using namespace std::string_literals;

namespace {

constexpr std::array kListIds = {1010, 1048, 1051, 1052, 1011};  // work mode .. registration
const QString kRegistTooLong = QStringLiteral("Regist packet size should not exceed 40.");

auto Fields(auto& a) {
    return std::tie(a.workType, a.heartbeatCode, a.heartbeatCodeIsPosition, a.heartbeatData,
                    a.dnsServer, a.dataBits, a.parity, a.packetGap, a.packetSize, a.registerEnable,
                    a.registerData, a.reconnectInterval, a.reconnectTries, a.disconnectTime,
                    a.logoutEnable, a.logoutData);
}

// A record as the device fills it, every field set; heartbeat code 3 is the device's "60s".
AdvancedParams DeviceRecord() {
    AdvancedParams a;
    Fields(a) = std::tuple(1, 3, false, "HB\xCA\xB5", "8.8.8.8", "8", "E", "100", "1024", 1,
                           "QK4520-000123", "30", "5", "600", 0, "bye");
    return a;
}

const auto List = [](CDialog& window, int id) { return window.Item<CComboBox>(id); };
const auto Edit = [](CDialog& window, int id) { return window.Item<GbkLineEdit>(id); };
const auto Press = [](CDialog& window, int id) { window.Item<QPushButton>(id)->click(); };

// One dialog object, opened as often as a test likes.
struct Harness {
    RecordingPresenter messages;
    CAdvParamDlg dlg{messages};
    bool leftOpen = false;  // the last `drive` left the window open; it was cancelled then

    // Opens the dialog over `record` and runs `drive` inside its modal loop; returns the
    // result of DoModal.
    int Open(AdvancedParams& record, bool loggedIn, const std::function<void(CDialog&)>& drive) {
        dlg.SetData(&record, loggedIn);
        leftOpen = false;
        const auto watch = AnswerNextModal([&](QWidget* modal) {
            auto* window = qobject_cast<CDialog*>(modal);
            QVERIFY(window == dlg.window());
            drive(*window);
            if (window->isVisible()) {
                leftOpen = true;
                window->reject();
            }
        });
        return dlg.DoModal(nullptr);
    }
    // The lists' texts, '|' between them; a list without selection shows nothing.
    QString Shown(AdvancedParams& record) {
        QStringList texts;
        Open(record, true, [&](CDialog& w) {
            for (const int id : kListIds) {
                texts << List(w, id)->currentText();
                QCOMPARE(List(w, id)->GetCurSel() < 0, texts.back().isEmpty());
            }
        });
        return texts.join(u'|');
    }
    // The login key shown when the dialog opens; every opening lists the same entries.
    QString KeyAtOpening(AdvancedParams& record) {
        QString key;
        Open(record, true, [&](CDialog& w) {
            key = Edit(w, 1028)->text();
            QList<QStringList> lists;
            for (const int id : {1010, 1048, 1051, 1052, 1011, 1044}) {
                lists << Entries(*List(w, id));
            }
            if (entries.isEmpty()) {
                entries = lists;
            }
            QCOMPARE(lists, entries);
        });
        return key;
    }
    QList<QStringList> entries;  // of the lists at the first opening
};

}  // namespace

class CAdvParamDlgTest : public QObject {
    Q_OBJECT
  private slots:
    void opensWithTheRecordsSelections_data() {
        // The record's work type, heartbeat code, data bits, parity and registration, and
        // what the lists show for them.
        QTest::addColumn<QString>("row");
        QTest::newRow("every list") << "1|3|8|E|1 > 数据触发上线|60s|8|E|1";
        QTest::newRow("out of range") << "2|4|8|E|-1 > ||8|E|";
        QTest::newRow("before any answer") << "-1|-1|||-1 > ||||";
    }
    void opensWithTheRecordsSelections() {
        QFETCH(QString, row);
        const QStringList fields = row.section(" > ", 0, 0).split(u'|');
        const QString shown = row.section(" > ", 1);
        AdvancedParams a = DeviceRecord();
        a.workType = fields[0].toInt();
        a.heartbeatCode = fields[1].toInt();
        a.dataBits = fields[2].toStdString();
        a.parity = fields[3].toStdString();
        a.registerEnable = fields[4].toInt();
        Harness h;
        QCOMPARE(h.Shown(a), shown);
        h.Open(a, true, [&](CDialog& w) {
            QCOMPARE(
                (QStringList{Edit(w, 1027)->text(), Edit(w, 1021)->text(), Edit(w, 1029)->text()}),
                (QStringList{QStringLiteral("HB实"), "8.8.8.8", "QK4520-000123"}));
            // The rows stay in the group box, whatever the lists show; those below it exist,
            // never shown, never enabled.
            QCOMPARE(Outside(w, QStringLiteral("Work Parameters"),
                             "Work Mode:|1010|DNS Server IP:|1021|Heart Beat Interval:|1048|Heart "
                             "Beat Content:|1027|Serial Data Bits:|1051|Serial Parity:|1052|Login "
                             "Key:|1028|Regist Packet:|1011|Regist Packet Content:|1029"),
                     QStringList{});
            QCOMPARE(LayoutFaults(w), QStringList{});
            for (const int id : {1026, 1032, 1034, 1044, 1045, 1017, 1018}) {
                QVERIFY(w.GetDlgItem(id)->isHidden() && !w.GetDlgItem(id)->isEnabled());
            }
            QVERIFY(Label(w, QStringLiteral("Logout Packet Content:"))->isHidden());
        });
        QVERIFY(h.messages.entries.empty());
    }

    void endingWithoutSetLeavesTheRecordUntouched_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("close box") << 2;
        QTest::newRow("Set and Enter while logged out, then Cancel") << 3;
    }
    void endingWithoutSetLeavesTheRecordUntouched() {
        QFETCH(int, how);
        AdvancedParams record = DeviceRecord();
        const AdvancedParams before = record;
        Harness h;
        QWidget* window = nullptr;
        bool stayedOpen = true;
        const int result = h.Open(record, how != 3, [&](CDialog& w) {
            window = &w;
            for (const int id : kListIds) {
                Pick(List(w, id), 0);
            }
            QTest::keyClicks(List(w, 1051), QStringLiteral("x"));  // no selection
            for (const int id : {1027, 1021, 1028, 1029}) {
                Retype(Edit(w, id), QStringLiteral("changed"));
            }
            const std::array<std::function<void()>, 4> ways = {
                [&] { Press(w, 2); }, [&] { QTest::keyClick(Edit(w, 1027), Qt::Key_Escape); },
                [&] { w.close(); },
                [&] {
                    Press(w, 1);
                    stayedOpen = w.isVisible();
                    QTest::keyClick(Edit(w, 1021), Qt::Key_Return);  // Enter is "Set" as well
                    stayedOpen = stayedOpen && w.isVisible();
                    Press(w, 2);
                }};
            ways.at(how)();
        });
        QVERIFY(!h.leftOpen && stayedOpen);
        QCOMPARE(result, CDialog::IDCANCEL);
        QVERIFY(Fields(record) == Fields(before));
        QCOMPARE(h.KeyAtOpening(record), QString());
        QCOMPARE(h.messages.texts(), (how == 3 ? QStringList{"Logout", "Logout"} : QStringList{}));
        for (const auto& entry : h.messages.entries) {
            QVERIFY(entry.owner == window && entry.message.icon == Message::Icon::None);
        }
    }

    // Typing stops at 40 bytes. A longer text can only come from the device: it is kept
    // whole, and each edit that leaves more than 40 bytes says so.
    void registrationContentKeeps40BytesAndWarnsAboveThem_data() {
        QTest::addColumn<QString>("fromDevice");
        QTest::addColumn<QString>("typed");  // after deleting the last character
        QTest::addColumn<QString>("kept");
        QTest::addColumn<bool>("warns");
        const QString twenty = QString(20, QChar(u'注'));
        QTest::newRow("Chinese typed") << "" << twenty + "册" << twenty << false;
        QTest::newRow("ASCII typed") << "" << QString(41, u'a') << QString(40, u'a') << false;
        QTest::newRow("mixed typed") << "" << "a" + twenty << "a" + twenty.chopped(1) << false;
        QTest::newRow("41 bytes sent, 40 left") << QString(41, u'a') << "X" << QString(40, u'a')
                                                << false;
        QTest::newRow("42 bytes sent, 41 left") << QString(42, u'a') << "X" << QString(41, u'a')
                                                << true;
        QTest::newRow("50 bytes sent") << twenty + "0123456789" << "X" << twenty + "012345678"
                                       << true;
    }
    void registrationContentKeeps40BytesAndWarnsAboveThem() {
        QFETCH(QString, fromDevice);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(bool, warns);
        AdvancedParams record;
        record.registerData = ToGbk(fromDevice);
        Harness h;
        QStringList shown;
        QWidget* window = nullptr;
        h.Open(record, true, [&](CDialog& w) {
            window = &w;
            GbkLineEdit* edit = Edit(w, 1029);
            shown << edit->text() << h.messages.texts();  // filled from the record: no message
            edit->setFocus();
            edit->end(false);
            QTest::keyClick(edit, Qt::Key_Backspace);
            TypeText(edit, typed);
            shown << edit->text();
            Press(w, 1);
        });
        QCOMPARE(shown, (QStringList{fromDevice, kept}));
        QCOMPARE(h.messages.texts(), warns ? QStringList{kRegistTooLong} : QStringList{});
        QVERIFY(h.messages.entries.empty() || h.messages.entries[0].owner == window);
        QCOMPARE(record.registerData, ToGbk(kept));
    }

    // "Set" stores the choices and what was typed, the heartbeat as its list position, and
    // keeps the login key for the next opening; a field left alone keeps the device's bytes, even ones a round trip through the widgets
    // would change. Opened again the dialog shows the choice, as it does for the device's
    // own code for it.
    void setWhileLoggedInStoresTheChoices_data() {
        QTest::addColumn<int>("position");
        QTest::newRow("30s") << 0;
        QTest::newRow("45s") << 1;
        QTest::newRow("60s") << 2;
    }
    void setWhileLoggedInStoresTheChoices() {
        QFETCH(int, position);
        const std::string raw = "\x81\x20\xFF\xFE\x80";
        QVERIFY(ToGbk(FromGbk(raw)) != raw);
        AdvancedParams record = DeviceRecord();
        record.heartbeatData = raw;
        AdvancedParams expected = record;
        Harness h;
        const int result = h.Open(record, true, [&](CDialog& w) {
            QCOMPARE(w.focusWidget(), w.Item<QPushButton>(1));  // focus starts on "Set"
            for (const int id : kListIds) {
                Pick(List(w, id), id == 1048 ? position : id == 1051 ? 1 : 0);
            }
            Retype(Edit(w, 1021), QStringLiteral("1.1.1.1"));
            Retype(Edit(w, 1029), QStringLiteral("注册"));
            Retype(Edit(w, 1028), QStringLiteral("333333"));
            Press(w, 1);
        });
        QCOMPARE(result, CDialog::IDOK);
        QVERIFY(!h.leftOpen && !h.dlg.IsOpen());
        Fields(expected) = std::tuple(0, position, true, raw, "1.1.1.1", "6", "N", "100", "1024",
                                      0, "\xD7\xA2\xB2\xE1" /* 注册 */, "30", "5", "600", 0, "bye");
        QVERIFY(Fields(record) == Fields(expected));
        QCOMPARE(h.Shown(record).section(u'|', 1, 1), QTest::currentDataTag());
        h.Open(record, true, [&](CDialog& w) { Press(w, 1); });  // an unchanged "Set"
        QVERIFY(Fields(record) == Fields(expected));
        // The login key is kept from an accepted "Set" only.
        h.Open(record, true, [&](CDialog& w) {
            Retype(Edit(w, 1028), QStringLiteral("444444"));
            Press(w, 2);
        });
        QCOMPARE(h.KeyAtOpening(record), QStringLiteral("333333"));
        QCOMPARE(h.KeyAtOpening(record), QStringLiteral("333333"));
        record.heartbeatCode = position + 1;  // the device's answer
        record.heartbeatCodeIsPosition = false;
        QCOMPARE(h.Shown(record).section(u'|', 1, 1), QTest::currentDataTag());
        QVERIFY(h.messages.entries.empty());
    }
};

QTEST_MAIN(CAdvParamDlgTest)
#include "CAdvParamDlgTest.moc"
