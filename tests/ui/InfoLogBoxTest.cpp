// The log box and its view with text that would make the layout slow: lines cut for the
// layout must still come out whole, and text held back during a frame must be whole to
// anyone who reads or touches the box at once, and on screen within the frame.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QScrollBar>
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

struct PaintCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

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
        QCOMPARE(box.LogText(), expected);  // and the pieces held back are in

        int continuations = 0;
        for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next()) {
            QVERIFY(block.length() <= InfoLogView::kLongestParagraph + 1);
            continuations += block.userState() == InfoLogBox::kContinuation ? 1 : 0;
        }
        QVERIFY(continuations >= 40'000 / InfoLogView::kLongestParagraph);

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

    void aBurstIsWholeToAnyReaderAtOnceAndOnScreenWithinAFrame() {
        InfoLogBox box;
        box.resize(300, 200);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        InfoLogView view(box);
        std::string log = "+ID:1\r\n";
        view.Show(log);
        view.ScrollToEnd();
        // The first text after a quiet frame goes in at once.
        QCOMPARE(box.document()->toPlainText(), QStringLiteral("+ID:1\n"));
        QVERIFY(box.InFrame());
        for (int line = 2; line <= 60; ++line) {
            log += "+DATA:" + std::to_string(line) + "\r\n";
            view.Show(log);
            view.ScrollToEnd();
        }
        const QString whole = GbkLogDecoder().Decode(log);
        QCOMPARE(box.document()->toPlainText(), QStringLiteral("+ID:1\n"));  // held back
        // The frame's end puts it all in and scrolls to it, without anyone asking.
        QTRY_COMPARE_WITH_TIMEOUT(box.document()->toPlainText(), whole,
                                  20 * InfoLogBox::kFrame.count());
        QCOMPARE(box.verticalScrollBar()->value(), box.verticalScrollBar()->maximum());
        QVERIFY(box.viewport()->updatesEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(box.updatesEnabled(), 20 * InfoLogBox::kFrame.count());

        // Within the next frame, a reader gets the whole log and the picture follows.
        log += "+ID:2\r\n";
        view.Show(log);
        view.ScrollToEnd();
        QCOMPARE(box.LogText(), GbkLogDecoder().Decode(log));
        QTRY_COMPARE_WITH_TIMEOUT(box.verticalScrollBar()->value(),
                                  box.verticalScrollBar()->maximum(),
                                  20 * InfoLogBox::kFrame.count());
        QTRY_VERIFY_WITH_TIMEOUT(box.updatesEnabled(), 20 * InfoLogBox::kFrame.count());
    }

    // Everything the operator can do with the box acts on the whole text, held-back text
    // included.
    void whateverTouchesTheTextFirstTakesInWhatIsHeldBack_data() {
        QTest::addColumn<int>("action");
        QTest::newRow("copy of everything") << 0;
        QTest::newRow("mouse press") << 1;
        QTest::newRow("key press") << 2;
        QTest::newRow("focus") << 3;
        QTest::newRow("context menu") << 4;
    }
    void whateverTouchesTheTextFirstTakesInWhatIsHeldBack() {
        QFETCH(int, action);
        InfoLogBox box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        InfoLogView view(box);
        std::string log = "+ID:1\r\n";
        view.Show(log);
        log += "+ID:\xCE\xB4\r\n";
        view.Show(log);
        const QString whole = GbkLogDecoder().Decode(log);
        QVERIFY(box.document()->toPlainText() != whole);
        switch (action) {
            case 0: {
                // Selected before the text arrived: the selection reaches the end, so it
                // takes the new text in, as it would have had the text gone in at once.
                QTextCursor all(box.document());
                all.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
                box.setTextCursor(all);
                log += "+ID:3\r\n";
                view.Show(log);
                box.copy();
                QCOMPARE(QApplication::clipboard()->text(), GbkLogDecoder().Decode(log));
                return;
            }
            case 1:
                QTest::mousePress(box.viewport(), Qt::LeftButton);
                QTest::mouseRelease(box.viewport(), Qt::LeftButton);
                break;
            case 2:
                QTest::keyClick(&box, Qt::Key_End);
                break;
            case 3: {
                QFocusEvent focus(QEvent::FocusIn, Qt::MouseFocusReason);
                QApplication::sendEvent(&box, &focus);
                break;
            }
            case 4: {
                QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                       box.viewport()->mapToGlobal(QPoint(5, 5)));
                QApplication::sendEvent(box.viewport(), &menu);
                if (QWidget* popup = QApplication::activePopupWidget()) {
                    popup->close();
                }
                break;
            }
        }
        QCOMPARE(box.document()->toPlainText(), whole);
    }

    void aClearedLogDropsWhatIsHeldBack() {
        InfoLogBox box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        InfoLogView view(box);
        view.Show("+ID:1\r\n");
        view.Show("+ID:1\r\n+ID:2\r\n");
        view.ScrollToEnd();
        view.Show("");
        box.CatchUp();  // what the frame's end does
        QCOMPARE(box.document()->toPlainText(), QString());
        QCOMPARE(box.LogText(), QString());
        view.Show("+ID:3\r\n");
        QCOMPARE(box.LogText(), QStringLiteral("+ID:3\n"));
    }

    void pieceByPieceEqualsAllAtOnceForEverySplit() {
        // GBK characters, a lead byte completed by an ASCII trail (0x81 0x41), CR LF and
        // control bytes, split at every byte into a box that holds pieces back.
        const std::string log = "+ID:\xCE\xB4\r\nab\x81\x41\r\n\x01x\x7F\rz\r\n+A:\xD2\xBB\r\n";
        const QString whole = GbkLogDecoder().Decode(log);
        QVERIFY(whole.contains(QStringLiteral("ab") + QChar(0x4E04)));
        for (std::size_t split = 1; split < log.size(); ++split) {
            InfoLogBox box;
            InfoLogView view(box);
            view.Show(log.substr(0, split));
            view.Show(log);
            QCOMPARE(box.LogText(), whole);
        }
        GbkLogDecoder decoder;
        QString pieces;
        for (const char byte : log) {
            pieces += decoder.Decode(std::string(1, byte));
        }
        QCOMPARE(pieces, whole);
    }

    void theScrollBarRepaintsWhenItsHandleMovesAndOnlyThen() {
        InfoLogBox box;
        box.resize(300, 200);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        // Line by line, each laid out as it comes: the handle is as small as it gets.
        box.SetFrameInterval(std::chrono::milliseconds(0));
        InfoLogView view(box);
        std::string log;
        for (int line = 0; line < 500; ++line) {
            log += "+DATA:" + std::to_string(line) + "\r\n";
            view.Show(log);
            view.ScrollToEnd();
        }
        QScrollBar& bar = *box.verticalScrollBar();
        PaintCounter barPaints;
        PaintCounter viewportPaints;
        bar.installEventFilter(&barPaints);
        box.viewport()->installEventFilter(&viewportPaints);
        // Repaints of one window are done together: once the viewport has been repainted,
        // so has anything else that was due.
        const auto repaintsDone = [&] {
            viewportPaints.count = 0;
            box.viewport()->update();
            return QTest::qWaitFor([&] { return viewportPaints.count > 0; });
        };
        // The bar's first showing settles over a few repaints.
        for (int settling = 0; settling < 10 && (barPaints.count = 0, repaintsDone()); ++settling) {
            if (barPaints.count == 0) {
                break;
            }
        }
        QCOMPARE(barPaints.count, 0);

        // Lines more at the end of a long log, then the scroll to them, leave the handle
        // where it was, though it moves in between.
        box.ChangeTogether([&bar] {
            bar.setMaximum(bar.maximum() + 100);
            bar.setValue(bar.maximum());
        });
        QVERIFY(repaintsDone());
        QCOMPARE(barPaints.count, 0);
        // Scrolling to the top moves it.
        bar.setValue(bar.minimum());
        QVERIFY(repaintsDone());
        QVERIFY(barPaints.count > 0);
    }
};

QTEST_MAIN(InfoLogBoxTest)
#include "InfoLogBoxTest.moc"
