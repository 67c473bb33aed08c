// The log box and its view with text that would make the layout slow: lines cut for the
// layout must still come out whole, and text held back during a frame must be whole to
// anyone who reads or touches the box at once, and on screen within the frame.
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <string>

#include "GbkText.h"
#include "InfoLogBox.h"
#include "InfoLogView.h"

using qk::ui::GbkLogDecoder;
using qk::ui::InfoLogBox;
using qk::ui::InfoLogView;

namespace {

// Where a position of the box's document falls in the log's text: the cuts before it are
// not part of the text.
int LogIndex(const InfoLogBox& box, int position) {
    int cuts = 0;
    for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next()) {
        cuts += block.userState() == InfoLogBox::kContinuation && block.position() - 1 < position;
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

// A shown box with its view, `log` handed to it.
struct Shown {
    InfoLogBox box;
    InfoLogView view{box};
    std::string log = "+ID:1\r\n";
    bool exposed = false;
    Shown() {
        box.resize(300, 200);
        box.show();
        exposed = QTest::qWaitForWindowExposed(&box);
    }
    void Add(const std::string& text) {
        log += text;
        view.Show(log);
        view.ScrollToEnd();
    }
};

}  // namespace

class InfoLogBoxTest : public QObject {
    Q_OBJECT
  private slots:
    void longLinesAreCutForTheLayoutButComeOutWhole() {
        // Answers, a line of 50000 bytes without a line end (GBK characters in it), more
        // answers; handed over in pieces of 2000 bytes at most, as the receive loop does.
        std::string whole = "+ID:1\r\n+PPORT:5000\r\n";
        for (std::size_t i = 0; whole.size() < 50'000; ++i) {
            whole += i % 7 == 0 ? std::string("\xCE\xB4") : std::string(1, char('a' + i % 26));
        }
        whole += "\r\n+ID:2\r\n+STAT:25,36,330\r\n";
        InfoLogBox box;
        InfoLogView view(box);
        for (std::size_t at = 0; at < whole.size(); at += 2000) {
            view.Show(whole.substr(0, at + 2000));
        }
        const QString expected = GbkLogDecoder().Decode(whole);
        QCOMPARE(box.LogText(), expected);  // and the pieces held back are in

        int continuations = 0;
        for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next()) {
            QVERIFY(block.length() <= InfoLogView::kLongestParagraph + 1);
            continuations += block.userState() == InfoLogBox::kContinuation ? 1 : 0;
        }
        QVERIFY(continuations >= 40'000 / InfoLogView::kLongestParagraph);

        const int end = box.document()->characterCount() - 1;
        // All, and parts that start, end or lie inside the cut line, across cuts and line ends.
        for (const auto& [from, to] :
             {std::pair{0, end}, std::pair{3, 30}, std::pair{15, 6000}, std::pair{2040, 2080},
              std::pair{30'000, end - 5}, std::pair{end - 20, end}}) {
            const int first = LogIndex(box, from);
            QCOMPARE(Copied(box, from, to), expected.mid(first, LogIndex(box, to) - first));
        }
    }

    // A cut falls where a line on screen starts anyway, so the box wraps a long line as it
    // would wrap it whole: no line on screen ends where the device's line does not.
    void aCutLineWrapsAsTheWholeLineWould() {
        std::string line;
        for (std::size_t i = 0; line.size() < 9000; ++i) {
            line += i % 11 == 0 ? std::string(" ") : i % 5 == 0 ? "\xCE\xB4" : "w";
        }
        Shown shown;
        QVERIFY(shown.exposed);
        for (std::size_t at = 0; at < line.size(); at += 2000) {
            shown.Add(line.substr(at, 2000));
        }
        shown.Add("\r\n+ID:2\r\n");
        QPlainTextEdit whole;
        whole.setFont(shown.box.font());
        whole.document()->setDefaultFont(shown.box.document()->defaultFont());
        whole.setWordWrapMode(shown.box.wordWrapMode());
        whole.setVerticalScrollBarPolicy(shown.box.verticalScrollBarPolicy());
        whole.resize(shown.box.size());
        whole.setPlainText(GbkLogDecoder().Decode(shown.log));
        whole.show();
        QVERIFY(QTest::qWaitForWindowExposed(&whole));
        const auto linesOnScreen = [](QPlainTextEdit& box) {
            QStringList lines;
            for (QTextBlock b = box.document()->begin(); b.isValid(); b = b.next()) {
                box.document()->documentLayout()->blockBoundingRect(b);
                for (int i = 0; i < b.layout()->lineCount(); ++i) {
                    const QTextLine l = b.layout()->lineAt(i);
                    lines << b.text().mid(l.textStart(), l.textLength());
                }
            }
            return lines;
        };
        shown.box.LogText();                              // what is held back goes in
        QVERIFY(shown.box.document()->blockCount() > 4);  // it was cut
        QCOMPARE(linesOnScreen(shown.box), linesOnScreen(whole));
    }

    // A byte that stands for no character shows as \xHH, in a colour of its own, as do the
    // control pictures; the text around them keeps the box's own colour.
    void bytesWithoutACharacterStandOut() {
        Shown shown;
        shown.Add(
            "+HEARTDAT:a\xFF\x01"
            "b\r\n");
        QCOMPARE(shown.box.LogText(), QStringLiteral("+ID:1\n+HEARTDAT:a\\xFF\u2401b\n"));
        const auto colourAt = [&](const QString& text) {
            QTextCursor at(shown.box.document());
            at.setPosition(shown.box.document()->toPlainText().indexOf(text) + 1);
            return at.charFormat().foreground().color();
        };
        const QColor plain = colourAt(QStringLiteral("a\\x"));
        QVERIFY(colourAt(QStringLiteral("\\xFF")) != plain);
        QCOMPARE(colourAt(QStringLiteral("\u2401")), colourAt(QStringLiteral("\\xFF")));
        QCOMPARE(colourAt(QStringLiteral("b\n")), plain);
    }

    // The first text after a quiet frame goes in at once, a burst after it is held back
    // until the frame ends, which puts it in and scrolls to it without anyone asking.
    // Everything the operator can do with the box acts on the whole text, held-back text
    // included; a cleared log drops what is held back and starts over.
    // The touches: a mouse press, a key press, focus, the context menu, a copy of
    // everything; then a clear, and nothing until the frame ends.
    void aBurstShowsWithinAFrameAndWholeToWhateverTouchesIt() {
        for (int action = 0; action < 7; ++action) {
            Shown s;
            QVERIFY(s.exposed);
            InfoLogBox& box = s.box;
            s.Add("");
            for (int line = 2; line <= 60; ++line) {
                s.Add(line == 2 ? "+ID:\xCE\xB4\r\n" : "+DATA:" + std::to_string(line) + "\r\n");
                QCOMPARE(box.document()->toPlainText(), QStringLiteral("+ID:1\n"));
            }
            const auto whole = [&] { return GbkLogDecoder().Decode(s.log); };
            if (action == 0) {
                QTest::mouseClick(box.viewport(), Qt::LeftButton);
            } else if (action == 1) {
                QTest::keyClick(&box, Qt::Key_End);
            } else if (action == 2) {
                QFocusEvent focus(QEvent::FocusIn, Qt::MouseFocusReason);
                QApplication::sendEvent(&box, &focus);
            } else if (action == 3) {
                QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                       box.viewport()->mapToGlobal(QPoint(5, 5)));
                QApplication::sendEvent(box.viewport(), &menu);
                if (QWidget* popup = QApplication::activePopupWidget()) {
                    popup->close();
                }
            } else if (action == 4) {
                // Selected before the text arrived: the selection reaches the end, so it takes
                // the new text in, as it would have had the text gone in at once.
                QTextCursor all(box.document());
                all.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
                box.setTextCursor(all);
                s.Add("+ID:3\r\n");
                box.copy();
                QCOMPARE(QApplication::clipboard()->text(), whole());
            } else if (action == 5) {
                s.view.Show("");
                box.CatchUp();  // what the frame's end does
                QCOMPARE(box.document()->toPlainText() + box.LogText(), QString());
                // Starting over forgets an unfinished long paragraph and a held lead byte.
                s.view.Show(std::string(InfoLogView::kLongestParagraph - 10, 'a') + "\xCE");
                s.view.Show("");
                s.log.assign(InfoLogView::kLongestParagraph, 'b');
                s.view.Show(s.log);
                QCOMPARE(box.LogText(), whole());
                QCOMPARE(box.document()->blockCount(), 1);
            } else {
                QScrollBar& bar = *box.verticalScrollBar();
                const int frames = 20 * InfoLogBox::kFrame.count();
                QTRY_COMPARE_WITH_TIMEOUT(box.document()->toPlainText(), whole(), frames);
                QCOMPARE(bar.value(), bar.maximum());
                QVERIFY(bar.maximum() > 0 && box.viewport()->updatesEnabled());
                QTRY_VERIFY_WITH_TIMEOUT(box.updatesEnabled(), frames);
                // Within the next frame, a reader gets the whole log and the picture follows.
                s.Add("+ID:2\r\n");
                QCOMPARE(box.LogText(), whole());
                QTRY_COMPARE_WITH_TIMEOUT(bar.value(), bar.maximum(), frames);
                QTRY_VERIFY_WITH_TIMEOUT(box.updatesEnabled(), frames);
            }
            QCOMPARE(box.document()->toPlainText(), whole());
        }
    }
};

QTEST_MAIN(InfoLogBoxTest)
#include "InfoLogBoxTest.moc"
