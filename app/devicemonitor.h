#pragma once

#include <QHash>
#include <QObject>

#include <memory>

// Disc arrival and removal, as the two device-change event codes the window
// handles. Window thread only.
namespace DeviceEvent {
constexpr int Arrival = 0x8000;        // a disc or a drive has arrived
constexpr int RemoveComplete = 0x8004; // a disc or a drive has gone

// The event code for one udev event of the block subsystem, or 0 when it is
// not about a CD drive or its disc. `properties` are the event's udev
// properties (ID_CDROM, ID_CDROM_MEDIA, DISK_MEDIA_CHANGE, DISK_EJECT_REQUEST).
int codeForUdevEvent(const QString &action, const QHash<QString, QString> &properties);
} // namespace DeviceEvent

// Watches udev for CD drives and discs coming and going. Where udev cannot
// be reached (a container, a test), it stays silent.
class DeviceMonitor : public QObject
{
    Q_OBJECT

public:
    explicit DeviceMonitor(QObject *parent = nullptr);
    ~DeviceMonitor() override;

    bool isWatching() const;

Q_SIGNALS:
    void deviceChange(int eventCode);

private:
    void readEvents();

    struct Private;
    std::unique_ptr<Private> d;
};
