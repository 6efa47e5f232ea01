#include "app/devicemonitor.h"
#include "app/trackformat.h"

#include <QtTest>

using Props = QHash<QString, QString>;

class tst_TrackFormat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formatDuration_data();
    void formatDuration();
    void roundedSeconds_data();
    void roundedSeconds();
    void udevEvents_data();
    void udevEvents();
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

void tst_TrackFormat::udevEvents_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<Props>("properties");
    QTest::addColumn<int>("code");
    const Props cd{{"ID_CDROM", "1"}};
    QTest::newRow("drive added") << "add" << cd << DeviceEvent::Arrival;
    QTest::newRow("drive removed") << "remove" << cd << DeviceEvent::RemoveComplete;
    QTest::newRow("disc inserted")
        << "change" << Props{{"ID_CDROM", "1"}, {"DISK_MEDIA_CHANGE", "1"}, {"ID_CDROM_MEDIA", "1"}}
        << DeviceEvent::Arrival;
    QTest::newRow("disc taken out")
        << "change" << Props{{"ID_CDROM", "1"}, {"DISK_MEDIA_CHANGE", "1"}}
        << DeviceEvent::RemoveComplete;
    QTest::newRow("eject button") << "change"
                                  << Props{{"ID_CDROM", "1"}, {"DISK_EJECT_REQUEST", "1"}}
                                  << DeviceEvent::RemoveComplete;
    QTest::newRow("other change") << "change" << cd << 0;
    QTest::newRow("a hard disk") << "add" << Props{{"DEVTYPE", "disk"}} << 0;
    QTest::newRow("bind") << "bind" << cd << 0;
}

void tst_TrackFormat::udevEvents()
{
    QFETCH(QString, action);
    QFETCH(Props, properties);
    QFETCH(int, code);
    QCOMPARE(DeviceEvent::codeForUdevEvent(action, properties), code);
}

QTEST_GUILESS_MAIN(tst_TrackFormat)
#include "tst_trackformat.moc"
