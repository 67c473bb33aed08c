#include <QTest>
#include <string>

#include "GbkText.h"

using qk::ui::GbkLogDecoder;

using namespace std::string_literals;

namespace {

// Two-byte characters, CR LF, a lone CR, a zero byte, a control byte and bytes that are not
// GBK: a log with everything that can be split badly (the ""s keeps the zero byte).
const std::string kMixedLog =
    "+STAT:25,36,330\r\n"
    "\xCE\xB4\xB5\xC7\xC2\xBD\r\n"  // 未登陆
    "temp 36\xA1\xE6\rnext\n"       // ℃, a lone CR, a lone LF
    "zero\0byte\x07 bell\r\n"
    "bad \x81\x20 \xFF end ab\x81\x41\r\n"  // 0x81 0x41: a lead byte with an ASCII trail
    "\xD2\xD1\xBD\xF8\xC8\xEB\r\n"s;        // 已进入
}  // namespace

class GbkTextTest : public QObject {
    Q_OBJECT
  private slots:
    // Line ends (CR LF, LF, CR; LF CR and CR CR LF are two breaks), zero, control and DEL
    // bytes, a tab, GBK, a lead byte with an ASCII trail; '|' between the cases.
    void logShowsLineEndsAndControlBytes() {
        QCOMPARE(
            GbkLogDecoder().Decode(
                "a\r\nb|a\nb|a\rb|a\n\rb|a\r\r\nb|a\0b|\x07\x7F|a\tb|36\xA1\xE6\r\n|ab\x81\x41"s),
            QStringLiteral(
                "a\nb|a\nb|a\nb|a\n\nb|a\n\nb|a\u2400b|\u2407\u2421|a\tb|36℃\n|ab\u4E04"));
    }

    // Every way to cut the log into three pieces shows the same text as the whole.
    void everySplitShowsTheSameText() {
        const QString whole = GbkLogDecoder().Decode(kMixedLog);
        QVERIFY(whole.startsWith(QStringLiteral("+STAT")) &&
                whole.endsWith(QStringLiteral("已进入\n")));
        const std::string_view log = kMixedLog;
        for (std::size_t first = 0; first <= log.size(); ++first) {
            for (std::size_t second = first; second <= log.size(); ++second) {
                GbkLogDecoder decoder;
                QString pieces = decoder.Decode(log.substr(0, first));
                pieces += decoder.Decode(log.substr(first, second - first));
                pieces += decoder.Decode(log.substr(second));
                QVERIFY2(pieces == whole,
                         qPrintable(QStringLiteral("cut at %1 and %2").arg(first).arg(second)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(GbkTextTest)
#include "GbkTextTest.moc"
