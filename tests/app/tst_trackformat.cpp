#include "app/trackformat.h"

#include <QtTest>

class tst_TrackFormat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formatDuration_data();
    void formatDuration();
    void roundedSeconds_data();
    void roundedSeconds();
};

void tst_TrackFormat::formatDuration_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero is blank") << 0 << "";
    QTest::newRow("two seconds") << 2 << "00:00:02";
    QTest::newRow("under an hour") << 3599 << "00:59:59";
    QTest::newRow("an hour") << 3600 << "01:00:00";
    QTest::newRow("61 minutes 5 seconds") << 61 * 60 + 5 << "01:01:05";
    QTest::newRow("hundred hours in full") << 100 * 3600 + 61 << "100:01:01";
}

void tst_TrackFormat::formatDuration()
{
    QFETCH(int, seconds);
    QFETCH(QString, text);
    QCOMPARE(TrackFormat::FormatDuration(seconds), text);
}

void tst_TrackFormat::roundedSeconds_data()
{
    QTest::addColumn<int>("m");
    QTest::addColumn<int>("s");
    QTest::addColumn<int>("f");
    QTest::addColumn<int>("seconds");
    QTest::newRow("whole") << 3 << 20 << 0 << 200;
    QTest::newRow("37 frames dropped") << 2 << 0 << 37 << 120;
    QTest::newRow("38 frames count") << 4 << 5 << 38 << 246;
    QTest::newRow("74 frames count") << 0 << 0 << 74 << 1;
}

void tst_TrackFormat::roundedSeconds()
{
    QFETCH(int, m);
    QFETCH(int, s);
    QFETCH(int, f);
    QFETCH(int, seconds);
    QCOMPARE(TrackFormat::roundedSeconds(m, s, f), seconds);
}

QTEST_GUILESS_MAIN(tst_TrackFormat)
#include "tst_trackformat.moc"
