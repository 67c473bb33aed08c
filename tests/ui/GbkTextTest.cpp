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
    "bad \x81\x20 \xFF \xAA\xA1 end ab\x81\x41\r\n"  // 0x81 0x41: an ASCII trail
    "\xD2\xD1\xBD\xF8\xC8\xEB\r\n"s;                 // 已进入
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

    // A byte that stands for no character shows as \xHH, as the command line shows it: a
    // lone 0xFF (which the converter maps to a private-use code point nothing draws), a
    // lead byte without its trail, a pair in GBK's user-defined area. They and the control
    // pictures are marked; the characters around them are not.
    void bytesWithoutACharacterShowAsEscapesAndAreMarked() {
        const GbkLogDecoder::Shown shown =
            GbkLogDecoder().DecodeMarked("a\xFF|\x81 |\xAA\xA1|\x80\xA1\xE6|\x01\r\n"s);
        QCOMPARE(shown.text, QStringLiteral("a\\xFF|\\x81 |\\xAA\\xA1|€℃|\u2401\n"));
        QCOMPARE(Marked(shown), (QStringList{"\\xFF", "\\x81", "\\xAA\\xA1", "\u2401"}));
    }

    // Every way to cut the log into three pieces shows the same text, and marks the same
    // parts of it, as the whole.
    void everySplitShowsTheSameText() {
        const GbkLogDecoder::Shown whole = GbkLogDecoder().DecodeMarked(kMixedLog);
        QVERIFY(whole.text.startsWith(QStringLiteral("+STAT")) &&
                whole.text.endsWith(QStringLiteral("已进入\n")));
        const std::string_view log = kMixedLog;
        for (std::size_t first = 0; first <= log.size(); ++first) {
            for (std::size_t second = first; second <= log.size(); ++second) {
                GbkLogDecoder decoder;
                QString pieces;
                QStringList marked;
                for (const auto piece : {log.substr(0, first), log.substr(first, second - first),
                                         log.substr(second)}) {
                    const GbkLogDecoder::Shown shown = decoder.DecodeMarked(piece);
                    pieces += shown.text;
                    marked += Marked(shown);
                }
                QVERIFY2(pieces == whole.text && marked == Marked(whole),
                         qPrintable(QStringLiteral("cut at %1 and %2").arg(first).arg(second)));
            }
        }
    }

  private:
    static QStringList Marked(const GbkLogDecoder::Shown& shown) {
        QStringList marked;
        for (const auto& [start, length] : shown.marked) {
            marked << shown.text.mid(start, length);
        }
        return marked;
    }
};

QTEST_GUILESS_MAIN(GbkTextTest)
#include "GbkTextTest.moc"
