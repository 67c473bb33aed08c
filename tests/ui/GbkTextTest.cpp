#include <QTest>
#include <string>

#include "GbkText.h"

using qk::ui::GbkLogDecoder;

Q_DECLARE_METATYPE(std::string)

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
    void logShowsLineEndsAndControlBytes_data() {
        QTest::addColumn<std::string>("log");
        QTest::addColumn<QString>("shown");
        QTest::newRow("CR LF") << std::string("a\r\nb") << QStringLiteral("a\nb");
        QTest::newRow("lone LF") << std::string("a\nb") << QStringLiteral("a\nb");
        QTest::newRow("lone CR") << std::string("a\rb") << QStringLiteral("a\nb");
        QTest::newRow("LF CR is two breaks") << std::string("a\n\rb") << QStringLiteral("a\n\nb");
        QTest::newRow("CR CR LF") << std::string("a\r\r\nb") << QStringLiteral("a\n\nb");
        QTest::newRow("zero byte") << std::string("a\0b", 3) << QStringLiteral("a\u2400b");
        QTest::newRow("bell and DEL") << std::string("\x07\x7F") << QStringLiteral("\u2407\u2421");
        QTest::newRow("tab") << std::string("a\tb") << QStringLiteral("a\tb");
        QTest::newRow("GBK") << std::string("36\xA1\xE6\r\n") << QStringLiteral("36℃\n");
        QTest::newRow("ASCII trail") << std::string("ab\x81\x41") << QStringLiteral("ab\u4E04");
    }
    void logShowsLineEndsAndControlBytes() {
        QFETCH(std::string, log);
        QFETCH(QString, shown);
        QCOMPARE(GbkLogDecoder().Decode(log), shown);
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

    void resetForgetsAHeldLeadByte() {
        GbkLogDecoder decoder;
        QCOMPARE(decoder.Decode("a\xCE"), QStringLiteral("a"));
        decoder.Reset();
        QCOMPARE(decoder.Decode("\xCE\xB4"), QStringLiteral("未"));
    }
};

QTEST_GUILESS_MAIN(GbkTextTest)
#include "GbkTextTest.moc"
