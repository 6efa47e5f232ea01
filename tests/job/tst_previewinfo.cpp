#include "job/ui/previewinfo.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

class tst_PreviewInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void controls();
    void linesAreTheNames_data();
    void linesAreTheNames();
    void closes_data();
    void closes();
};

void tst_PreviewInfo::controls()
{
    TfrmpreviewInfo form;
    QCOMPARE(form.objectName(), QStringLiteral("frmpreviewInfo"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Output Filename"));

    auto label = form.findChild<QLabel *>("lblFilenames");
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("Output Filename(s)"));

    auto memo = form.findChild<QPlainTextEdit *>("MemoNames");
    QVERIFY(memo);
    QVERIFY(memo->isReadOnly());
    QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    auto close = form.findChild<QPushButton *>("btnClose");
    QVERIFY(close);
    QCOMPARE(close->text(), QStringLiteral("&Close"));
    QVERIFY(close->isDefault());
}

void tst_PreviewInfo::linesAreTheNames_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::newRow("none") << QStringList();
    QTest::newRow("one") << QStringList{"/home/me/Music/track 01.mp3"};
    QTest::newRow("blanks at the ends and other scripts kept")
        << QStringList{"/home/me/Music/ - Song.mp3",
                       "/home/me/Music/Кино/夜 .flac",
                       "/home/me/Music/AC_DC  Live "};
    QStringList many;
    for (int i = 1; i <= 99; ++i)
        many << QStringLiteral("/home/me/Music/Artist - Album/%1. A rather long title that "
                               "runs past the width of the window.ogg")
                    .arg(i, 2, 10, QLatin1Char('0'));
    QTest::newRow("a full disc") << many;
}

void tst_PreviewInfo::linesAreTheNames()
{
    QFETCH(QStringList, names);
    TfrmpreviewInfo form;
    form.setNames(QStringList{"left over"});
    form.setNames(names);
    auto memo = form.findChild<QPlainTextEdit *>("MemoNames");
    QVERIFY(memo);
    QCOMPARE(memo->blockCount(), qMax(1, int(names.size())));
    QCOMPARE(memo->toPlainText(), names.join(QLatin1Char('\n')));
}

void tst_PreviewInfo::closes_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Escape in the memo") << "escape";
    QTest::newRow("Close button") << "click";
    QTest::newRow("Alt+C") << "mnemonic";
    QTest::newRow("Enter on the default button") << "enter";
}

void tst_PreviewInfo::closes()
{
    QFETCH(QString, how);
    TfrmpreviewInfo form;
    form.setNames({"/home/me/Music/track 01.mp3", "/home/me/Music/track 02.mp3"});
    auto memo = form.findChild<QPlainTextEdit *>("MemoNames");
    auto close = form.findChild<QPushButton *>("btnClose");
    QVERIFY(memo && close);

    bool finished = false;
    connect(&form, &QDialog::finished, this, [&] { finished = true; });
    form.open();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    memo->setFocus();
    QTRY_VERIFY(memo->hasFocus());

    if (how == "escape")
        QTest::keyClick(memo, Qt::Key_Escape);
    else if (how == "click")
        QTest::mouseClick(close, Qt::LeftButton);
    else if (how == "mnemonic")
        QTest::keyClick(&form, Qt::Key_C, Qt::AltModifier);
    else
        QTest::keyClick(memo, Qt::Key_Return);

    QTRY_VERIFY(finished);
    QVERIFY(!form.isVisible());
}

QTEST_MAIN(tst_PreviewInfo)
#include "tst_previewinfo.moc"
