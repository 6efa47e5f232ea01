#include "app/devicemonitor.h"

#include <QtTest>

using Props = QHash<QString, QString>;

class tst_DeviceMonitor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void udevEvents_data();
    void udevEvents();
};

void tst_DeviceMonitor::udevEvents_data()
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

void tst_DeviceMonitor::udevEvents()
{
    QFETCH(QString, action);
    QFETCH(Props, properties);
    QFETCH(int, code);
    QCOMPARE(DeviceEvent::codeForUdevEvent(action, properties), code);
}

QTEST_GUILESS_MAIN(tst_DeviceMonitor)
#include "tst_devicemonitor.moc"
