#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "CAboutDlg.h"
#include "QMessageBoxPresenter.h"
#include "UiTestSupport.h"
#include "WarningBoxSink.h"

using namespace qk;
using namespace qk::ui;

class AboutAndMessagesTest : public QObject {
    Q_OBJECT
  private slots:
    void aboutBoxShowsIconNameMakerAndWeb() {
        QWidget owner;
        CAboutDlg about(&owner);
        QCOMPARE(about.windowTitle(), QStringLiteral("About QK4410ConfTool"));
        QCOMPARE(about.parentWidget(), &owner);
        QStringList texts;
        int pictures = 0;
        for (auto* label : about.findChildren<QLabel*>()) {
            if (!label->pixmap().isNull()) {
                ++pictures;
                QCOMPARE(label->pixmap().size(), QSize(32, 32));
            } else {
                texts << label->text();
            }
        }
        QCOMPARE(pictures, 1);
        QVERIFY(texts.contains(QStringLiteral("QK4410ConfTool V2.2 ")));
        QVERIFY(texts.contains(QStringLiteral("QK4410ConfTool contributors, open source")));
        QVERIFY(texts.contains(QStringLiteral("https://example.org/QK4410ConfTool")));
        QVERIFY(about.Item<QPushButton>(1)->isDefault());
        const Qt::WindowFlags flags = about.windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    }

    void aboutBoxEnds_data() {
        QTest::addColumn<int>("how");
        QTest::addColumn<int>("result");
        QTest::newRow("OK button") << 0 << int(CDialog::IDOK);
        QTest::newRow("Enter") << 1 << int(CDialog::IDOK);
        QTest::newRow("Escape") << 2 << int(CDialog::IDCANCEL);
        QTest::newRow("close box") << 3 << int(CDialog::IDCANCEL);
    }
    void aboutBoxEnds() {
        QFETCH(int, how);
        QFETCH(int, result);
        QWidget owner;
        owner.show();
        CAboutDlg about(&owner);
        const auto watch = test::AnswerNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<CAboutDlg*>(modal);
            switch (how) {
                case 0:
                    dialog->Item<QPushButton>(1)->click();
                    break;
                case 1:
                    QTest::keyClick(dialog, Qt::Key_Return);
                    break;
                case 2:
                    QTest::keyClick(dialog, Qt::Key_Escape);
                    break;
                case 3:
                    dialog->close();
                    break;
            }
        });
        QCOMPARE(about.DoModal(), result);
    }

    void plainMessageBoxHasNoIcon() {
        const QMessageBoxPresenter presenter(QStringLiteral("QK4410ConfTool"));
        const auto box =
            presenter.MakeBox(nullptr, {QStringLiteral("Log off"), {}, Message::Icon::None});
        QCOMPARE(box->windowTitle(), QStringLiteral("QK4410ConfTool"));
        QCOMPARE(box->text(), QStringLiteral("Log off"));
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box->informativeText(), QString());
    }

    void serialErrorsBecomeWarningBoxesWithTheirCause() {
        QWidget owner;
        test::RecordingPresenter presenter;
        WarningBoxSink sink(owner, presenter);
        sink.SerialError("Write com failed", "/dev/ttyUSB0: Input/output error");
        QCOMPARE(presenter.entries.size(), std::size_t{1});
        QCOMPARE(presenter.entries[0].owner, &owner);
        QCOMPARE(presenter.entries[0].message.text, QStringLiteral("Write com failed"));
        QCOMPARE(presenter.entries[0].message.detail,
                 QStringLiteral("/dev/ttyUSB0: Input/output error"));
        QCOMPARE(presenter.entries[0].message.icon, Message::Icon::Warning);

        const QMessageBoxPresenter real(QStringLiteral("QK4410ConfTool"));
        const auto box = real.MakeBox(&owner, presenter.entries[0].message);
        QCOMPARE(box->icon(), QMessageBox::Warning);
        QCOMPARE(box->informativeText(), QStringLiteral("/dev/ttyUSB0: Input/output error"));
        QCOMPARE(box->parentWidget(), &owner);
    }

    void presentReturnsWhenTheOperatorPressesOk() {
        QWidget owner;
        owner.show();
        QMessageBoxPresenter presenter(QStringLiteral("QK4410ConfTool"));
        bool answered = false;
        const auto watch = test::AnswerNextModal([&](QWidget* modal) {
            answered = true;
            qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
        });
        presenter.Present(&owner, {QStringLiteral("Login fail!"), {}, Message::Icon::None});
        QVERIFY(answered);
    }
};

QTEST_MAIN(AboutAndMessagesTest)
#include "AboutAndMessagesTest.moc"
