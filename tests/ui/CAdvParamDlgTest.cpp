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

constexpr std::array kListIds = {advanced_dialog::kWorkModeList, advanced_dialog::kHeartbeatList,
                                 advanced_dialog::kDataBitsList, advanced_dialog::kParityList,
                                 advanced_dialog::kRegistList};  // work mode .. registration

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
    // What the dialog shows when it opens over `record`: the lists' texts (nothing for a
    // list without selection), then the heartbeat content, DNS server, registration content
    // and login key, '|' between them. Every opening lists the same entries, lays out
    // cleanly and keeps the controls below its group box hidden and disabled.
    QString Opened(AdvancedParams& record) {
        QStringList shown;
        Open(record, true, [&](CDialog& w) {
            QList<QStringList> lists;
            for (const int id : kListIds) {
                shown << List(w, id)->currentText();
                QCOMPARE(List(w, id)->GetCurSel() < 0, shown.back().isEmpty());
                lists << Entries(*List(w, id));
            }
            for (const int id : {advanced_dialog::kHeartbeatContent, advanced_dialog::kDnsServer,
                                 advanced_dialog::kRegistContent, advanced_dialog::kLoginKey}) {
                shown << Edit(w, id)->text();
            }
            QCOMPARE(lists, entries.isEmpty() ? entries = lists : entries);
            QCOMPARE(LayoutFaults(w).join(u'|'), QString());
            for (const int id : {advanced_dialog::kReconnectInterval,
                                 advanced_dialog::kReconnectTries, advanced_dialog::kDisconnectTime,
                                 advanced_dialog::kLogoutList, advanced_dialog::kLogoutContent,
                                 advanced_dialog::kPacketGap, advanced_dialog::kPacketSize}) {
                QVERIFY(w.GetDlgItem(id)->isHidden() && !w.GetDlgItem(id)->isEnabled());
            }
            QVERIFY(Label(w, QStringLiteral("Logout Packet Content:"))->isHidden());
        });
        return shown.join(u'|');
    }
    QList<QStringList> entries;  // of the lists at the first opening
};

}  // namespace

class CAdvParamDlgTest : public QObject {
    Q_OBJECT
  private slots:
    // The record's work type, heartbeat code, data bits, parity and registration, and what
    // the lists show for them: every list selected, values out of range, no answer yet.
    void opensWithTheRecordsSelections() {
        Harness h;
        for (const QString row :
             {"1|3|8|E|1 > 数据触发上线|60s|8|E|1", "2|4|8|E|-1 > ||8|E|", "-1|-1|||-1 > ||||"}) {
            const QStringList fields = row.section(" > ", 0, 0).split(u'|');
            AdvancedParams a = DeviceRecord();
            std::tie(a.workType, a.heartbeatCode, a.dataBits, a.parity, a.registerEnable) =
                std::tuple(fields[0].toInt(), fields[1].toInt(), fields[2].toStdString(),
                           fields[3].toStdString(), fields[4].toInt());
            QCOMPARE(h.Opened(a), row.section(" > ", 1) + "|HB实|8.8.8.8|QK4520-000123|");
        }
        QVERIFY(h.messages.entries.empty());
    }

    // Cancel, Escape, the close box; Set and Enter while logged out, then Cancel.
    void endingWithoutSetLeavesTheRecordUntouched() {
        for (int how = 0; how < 4; ++how) {
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
                QTest::keyClicks(List(w, advanced_dialog::kDataBitsList),
                                 QStringLiteral("x"));  // no selection
                for (const int id :
                     {advanced_dialog::kHeartbeatContent, advanced_dialog::kDnsServer,
                      advanced_dialog::kLoginKey, advanced_dialog::kRegistContent}) {
                    Retype(Edit(w, id), QStringLiteral("changed"));
                }
                const std::array<std::function<void()>, 4> ways = {
                    [&] { Press(w, res::kIdCancel); },
                    [&] {
                        QTest::keyClick(Edit(w, advanced_dialog::kHeartbeatContent),
                                        Qt::Key_Escape);
                    },
                    [&] { w.close(); },
                    [&] {
                        Press(w, advanced_dialog::kSet);
                        stayedOpen = w.isVisible();
                        QTest::keyClick(Edit(w, advanced_dialog::kDnsServer),
                                        Qt::Key_Return);  // Enter is "Set" as well
                        stayedOpen = stayedOpen && w.isVisible();
                        Press(w, res::kIdCancel);
                    }};
                ways.at(how)();
            });
            QVERIFY(result == CDialog::IDCANCEL && !h.leftOpen && stayedOpen);
            QVERIFY(Fields(record) == Fields(before));
            QCOMPARE(h.Opened(record), "数据触发上线|60s|8|E|1|HB实|8.8.8.8|QK4520-000123|");
            QCOMPARE(h.messages.texts(),
                     (how == 3 ? QStringList{"Logout", "Logout"} : QStringList{}));
            for (const auto& entry : h.messages.entries) {
                QVERIFY(entry.owner == window && entry.message.icon == Message::Icon::None);
            }
        }
    }

    // Typing stops at 40 bytes. A longer text can only come from the device: it is kept
    // whole, and each edit that leaves more than 40 bytes says so.
    void registrationContentKeeps40BytesAndWarnsAboveThem() {
        // What the device sent, what is typed after deleting the last character, what is
        // kept, and "warns" where the edit says so.
        const QString twenty = QString(20, QChar(u'注')), a40 = QString(40, u'a');
        for (const QStringList& row :
             QList<QStringList>{{"", twenty + "册", twenty},
                                {"", a40 + "a", a40},
                                {"", "a" + twenty, "a" + twenty.chopped(1)},
                                {a40 + "a", "X", a40},
                                {a40 + "aa", "X", a40 + "a", "warns"},
                                {twenty + "0123456789", "X", twenty + "012345678", "warns"}}) {
            const QString fromDevice = row[0], typed = row[1], kept = row[2];
            const bool warns = row.size() > 3;
            AdvancedParams record;
            record.registerData = ToGbk(fromDevice);
            Harness h;
            QStringList shown;
            QWidget* window = nullptr;
            h.Open(record, true, [&](CDialog& w) {
                window = &w;
                GbkLineEdit* edit = Edit(w, advanced_dialog::kRegistContent);
                shown << edit->text() << h.messages.texts();  // filled from the record: no message
                edit->setFocus();
                edit->end(false);
                QTest::keyClick(edit, Qt::Key_Backspace);
                TypeText(edit, typed);
                shown << edit->text();
                Press(w, advanced_dialog::kSet);
            });
            QCOMPARE(shown, (QStringList{fromDevice, kept}));
            QCOMPARE(h.messages.texts().join(""),
                     warns ? "Regist packet size should not exceed 40." : "");
            QVERIFY(h.messages.entries.empty() || h.messages.entries[0].owner == window);
            QCOMPARE(record.registerData, ToGbk(kept));
        }
    }

    // "Set" stores the choices and what was typed, the heartbeat as its list position, and
    // keeps the login key for the next opening; a field left alone keeps the device's bytes, even
    // ones a round trip through the widgets would change. Opened again the dialog shows the choice,
    // as it does for the device's own code for it.
    void setWhileLoggedInStoresTheChoices() {
        for (int position = 0; position < 3; ++position) {
            const QString shown = QStringList{"30s", "45s", "60s"}.at(position);
            const std::string raw = "\x81\x20\xFF\xFE\x80";
            QVERIFY(ToGbk(FromGbk(raw)) != raw);
            AdvancedParams record = DeviceRecord();
            record.heartbeatData = raw;
            AdvancedParams expected = record;
            Harness h;
            const int result = h.Open(record, true, [&](CDialog& w) {
                QCOMPARE(w.focusWidget(),
                         w.Item<QPushButton>(advanced_dialog::kSet));  // focus starts on "Set"
                for (const int id : kListIds) {
                    Pick(List(w, id), id == advanced_dialog::kHeartbeatList  ? position
                                      : id == advanced_dialog::kDataBitsList ? 1
                                                                             : 0);
                }
                Retype(Edit(w, advanced_dialog::kDnsServer), QStringLiteral("1.1.1.1"));
                Retype(Edit(w, advanced_dialog::kRegistContent), QStringLiteral("注册"));
                Retype(Edit(w, advanced_dialog::kLoginKey), QStringLiteral("333333"));
                Press(w, advanced_dialog::kSet);
            });
            QVERIFY(result == CDialog::IDOK && !h.leftOpen && !h.dlg.IsOpen());
            Fields(expected) =
                std::tuple(0, position, true, raw, "1.1.1.1", "6", "N", "100", "1024", 0,
                           "\xD7\xA2\xB2\xE1" /* 注册 */, "30", "5", "600", 0, "bye");
            QVERIFY(Fields(record) == Fields(expected));
            QCOMPARE(h.Opened(record).section(u'|', 1, 1), shown);
            h.Open(record, true,
                   [&](CDialog& w) { Press(w, advanced_dialog::kSet); });  // an unchanged "Set"
            QVERIFY(Fields(record) == Fields(expected));
            // The login key is kept from an accepted "Set" only.
            h.Open(record, true, [&](CDialog& w) {
                Retype(Edit(w, advanced_dialog::kLoginKey), QStringLiteral("444444"));
                Press(w, res::kIdCancel);
            });
            QCOMPARE(h.Opened(record).section(u'|', 8) + h.Opened(record).section(u'|', 8),
                     "333333333333");
            record.heartbeatCode = position + 1;  // the device's answer
            record.heartbeatCodeIsPosition = false;
            QCOMPARE(h.Opened(record).section(u'|', 1, 1), shown);
            QVERIFY(h.messages.entries.empty());
        }
    }
};

QTEST_MAIN(CAdvParamDlgTest)
#include "CAdvParamDlgTest.moc"
