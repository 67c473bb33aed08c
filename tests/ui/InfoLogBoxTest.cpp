// The log box and its view with text that would make the layout slow: lines cut for the
// layout must still come out whole, and a burst of changes must still show at once in the
// text while the picture catches up within a frame.
#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <string>
#include <vector>

#include "GbkText.h"
#include "InfoLogBox.h"
#include "InfoLogView.h"

using qk::ui::GbkLogDecoder;
using qk::ui::InfoLogBox;
using qk::ui::InfoLogView;

namespace {

// Answers, a line of `longLine` bytes without a line end (GBK characters in it), more
// answers; handed over in pieces of 2000 bytes at most, as the receive loop does.
std::vector<std::string> Pieces(std::size_t longLine) {
    std::string log = "+ID:1\r\n+PPORT:5000\r\n";
    for (std::size_t i = 0; log.size() < longLine; ++i) {
        log +=
            i % 7 == 0 ? std::string("\xCE\xB4") : std::string(1, static_cast<char>('a' + i % 26));
    }
    log += "\r\n+ID:2\r\n+STAT:25,36,330\r\n";
    std::vector<std::string> pieces;
    for (std::size_t at = 0; at < log.size(); at += 2000) {
        pieces.push_back(log.substr(at, 2000));
    }
    return pieces;
}

// Where a position of the box's document falls in the log's text: the cuts before it are
// not part of the text.
int LogIndex(const InfoLogBox& box, int position) {
    int cuts = 0;
    for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next()) {
        if (block.userState() == InfoLogBox::kContinuation && block.position() - 1 < position) {
            ++cuts;
        }
    }
    return position - cuts;
}

QString Copied(InfoLogBox& box, int from, int to) {
    QTextCursor selection(box.document());
    selection.setPosition(from);
    selection.setPosition(to, QTextCursor::KeepAnchor);
    box.setTextCursor(selection);
    box.copy();
    return QApplication::clipboard()->text();
}

}  // namespace

class InfoLogBoxTest : public QObject {
    Q_OBJECT
  private slots:
    void longLinesAreCutForTheLayoutButComeOutWhole() {
        InfoLogBox box;
        InfoLogView view(box);
        std::string log;
        for (const std::string& piece : Pieces(50'000)) {
            log += piece;
            view.Show(log);
        }
        const QString expected = GbkLogDecoder().Decode(log);

        int continuations = 0;
        for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next()) {
            QVERIFY(block.length() <= InfoLogView::kLongestParagraph + 1);
            continuations += block.userState() == InfoLogBox::kContinuation ? 1 : 0;
        }
        QVERIFY(continuations >= 40'000 / InfoLogView::kLongestParagraph);

        QCOMPARE(box.LogText(), expected);
        const int end = box.document()->characterCount() - 1;
        QCOMPARE(Copied(box, 0, end), expected);
        // Parts that start, end or lie inside the cut line, across cuts and line ends.
        for (const auto& [from, to] : {std::pair{3, 30}, std::pair{15, 6000}, std::pair{2040, 2080},
                                       std::pair{30'000, end - 5}, std::pair{end - 20, end}}) {
            const int first = LogIndex(box, from);
            QCOMPARE(Copied(box, from, to), expected.mid(first, LogIndex(box, to) - first));
        }
    }

    void startingOverForgetsAnUnfinishedLongParagraph() {
        InfoLogBox box;
        InfoLogView view(box);
        view.Show(std::string(InfoLogView::kLongestParagraph - 10, 'a'));
        view.Show("");  // the log was cleared
        const std::string log(InfoLogView::kLongestParagraph, 'b');
        view.Show(log);
        QCOMPARE(box.document()->blockCount(), 1);
        QCOMPARE(box.LogText(), QString::fromStdString(log));
    }

    void aBurstShowsItsTextAtOnceAndItsPictureWithinAFrame() {
        InfoLogBox box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        InfoLogView view(box);
        std::string log = "+ID:1\r\n";
        view.Show(log);
        QVERIFY(box.updatesEnabled());  // the first change after a quiet frame shows now
        log += "+ID:2\r\n";
        view.Show(log);
        QCOMPARE(box.toPlainText(), QStringLiteral("+ID:1\n+ID:2\n"));
        QVERIFY(!box.updatesEnabled());  // its picture waits for the frame's end
        QTRY_VERIFY_WITH_TIMEOUT(box.updatesEnabled(), 20 * InfoLogBox::kFrame.count());
    }
};

QTEST_MAIN(InfoLogBoxTest)
#include "InfoLogBoxTest.moc"
