#include "devicemonitor.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

#include <libudev.h>

Q_LOGGING_CATEGORY(lcDevices, "sondrel.devices", QtWarningMsg)

namespace DeviceEvent {

int codeForUdevEvent(const QString &action, const QHash<QString, QString> &properties)
{
    if (properties.value(QStringLiteral("ID_CDROM")) != QLatin1String("1"))
        return 0;
    if (action == QLatin1String("add"))
        return Arrival;
    if (action == QLatin1String("remove"))
        return RemoveComplete;
    if (action != QLatin1String("change"))
        return 0;
    // A pressed eject button or a changed disc: the media properties say
    // whether a disc is now there.
    if (properties.value(QStringLiteral("DISK_EJECT_REQUEST")) == QLatin1String("1"))
        return RemoveComplete;
    if (properties.value(QStringLiteral("DISK_MEDIA_CHANGE")) != QLatin1String("1"))
        return 0;
    return properties.value(QStringLiteral("ID_CDROM_MEDIA")) == QLatin1String("1")
               ? Arrival
               : RemoveComplete;
}

} // namespace DeviceEvent

namespace {

struct UdevDeleter
{
    void operator()(udev *u) const { udev_unref(u); }
    void operator()(udev_monitor *m) const { udev_monitor_unref(m); }
    void operator()(udev_device *dev) const { udev_device_unref(dev); }
};

} // namespace

struct DeviceMonitor::Private
{
    std::unique_ptr<udev, UdevDeleter> context;
    std::unique_ptr<udev_monitor, UdevDeleter> monitor;
    QSocketNotifier *notifier = nullptr;
};

DeviceMonitor::DeviceMonitor(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    setObjectName(QStringLiteral("DeviceMonitor"));
    d->context.reset(udev_new());
    if (!d->context) {
        qCInfo(lcDevices) << "udev is not available; disc changes are not followed";
        return;
    }
    d->monitor.reset(udev_monitor_new_from_netlink(d->context.get(), "udev"));
    if (!d->monitor
        || udev_monitor_filter_add_match_subsystem_devtype(d->monitor.get(), "block", "disk") < 0
        || udev_monitor_enable_receiving(d->monitor.get()) < 0) {
        qCInfo(lcDevices) << "cannot listen to udev; disc changes are not followed";
        d->monitor.reset();
        return;
    }
    d->notifier = new QSocketNotifier(udev_monitor_get_fd(d->monitor.get()),
                                      QSocketNotifier::Read,
                                      this);
    connect(d->notifier, &QSocketNotifier::activated, this, &DeviceMonitor::readEvents);
}

DeviceMonitor::~DeviceMonitor() = default;

bool DeviceMonitor::isWatching() const
{
    return d->notifier != nullptr;
}

void DeviceMonitor::readEvents()
{
    while (true) {
        std::unique_ptr<udev_device, UdevDeleter> device(
            udev_monitor_receive_device(d->monitor.get()));
        if (!device)
            return;
        QHash<QString, QString> properties;
        for (udev_list_entry *e = udev_device_get_properties_list_entry(device.get()); e;
             e = udev_list_entry_get_next(e)) {
            properties.insert(QString::fromUtf8(udev_list_entry_get_name(e)),
                              QString::fromUtf8(udev_list_entry_get_value(e)));
        }
        const char *action = udev_device_get_action(device.get());
        const int code = DeviceEvent::codeForUdevEvent(QString::fromUtf8(action ? action : ""),
                                                       properties);
        if (code != 0)
            Q_EMIT deviceChange(code);
    }
}
