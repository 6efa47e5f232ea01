#include "settings.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

ESettingsError::ESettingsError(const QString &message)
    : std::runtime_error(message.toStdString())
{}

// ---------------------------------------------------------------------------

struct QSettingsStorage::Private
{
    std::unique_ptr<QSettings> settings;
};

QSettingsStorage::QSettingsStorage()
    : d(std::make_unique<Private>())
{}

QSettingsStorage::~QSettingsStorage() = default;

bool QSettingsStorage::open()
{
    d->settings = std::make_unique<QSettings>(QSettings::IniFormat,
                                              QSettings::UserScope,
                                              QStringLiteral("Orvanel Sondrel"),
                                              QStringLiteral("Orvanel Sondrel"));
    if (d->settings->status() != QSettings::NoError) {
        d->settings.reset();
        return false;
    }
    return true;
}

void QSettingsStorage::close()
{
    if (d->settings)
        d->settings->sync();
    d->settings.reset();
}

bool QSettingsStorage::contains(const QString &name) const
{
    return d->settings && d->settings->contains(name);
}

QVariant QSettingsStorage::value(const QString &name) const
{
    return d->settings ? d->settings->value(name) : QVariant();
}

void QSettingsStorage::setValue(const QString &name, const QVariant &value)
{
    if (d->settings && d->settings->isWritable())
        d->settings->setValue(name, value);
}

// ---------------------------------------------------------------------------

namespace {

// Closes the storage however the one operation in between ends.
class OpenedStorage
{
public:
    explicit OpenedStorage(SettingsStorage &storage)
        : m_storage(storage)
        , m_ok(storage.open())
    {}
    ~OpenedStorage() { m_storage.close(); }
    OpenedStorage(const OpenedStorage &) = delete;
    OpenedStorage &operator=(const OpenedStorage &) = delete;
    bool ok() const { return m_ok; }

private:
    SettingsStorage &m_storage;
    bool m_ok;
};

std::optional<bool> readFlag(const SettingsStorage &storage, const QString &name)
{
    if (!storage.contains(name))
        return std::nullopt;
    const QVariant v = storage.value(name);
    bool ok = false;
    qlonglong number = 0;
    if (v.typeId() != QMetaType::QStringList && v.typeId() != QMetaType::QVariantList)
        number = v.toString().trimmed().toLongLong(&ok);
    if (!ok) {
        throw ESettingsError(
            QStringLiteral("The stored setting \"%1\" should be 0 or 1 but is \"%2\". "
                           "It is left as it is and not used this time.")
                .arg(name, v.toStringList().join(QStringLiteral(", "))));
    }
    return number != 0;
}

} // namespace

SettingsStore::SettingsStore(std::unique_ptr<SettingsStorage> storage)
    : m_storage(std::move(storage))
{}

QString SettingsStore::defaultDestFolder()
{
    QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (music.isEmpty())
        music = QDir::homePath() + QStringLiteral("/Music");
    return QDir::toNativeSeparators(music);
}

QString SettingsStore::ReadDestFolder()
{
    OpenedStorage opened(*m_storage);
    if (!opened.ok())
        return QString();
    if (!m_storage->contains(SettingsKeys::Folder))
        return defaultDestFolder();
    const QVariant v = m_storage->value(SettingsKeys::Folder);
    if (v.typeId() != QMetaType::QString) {
        throw ESettingsError(QStringLiteral("The stored setting \"%1\" is not a folder name. "
                                            "It is left as it is and not used this time.")
                                 .arg(SettingsKeys::Folder));
    }
    return v.toString();
}

void SettingsStore::StoreDestFolder(const QString &folder)
{
    OpenedStorage opened(*m_storage);
    if (opened.ok())
        m_storage->setValue(SettingsKeys::Folder, folder);
}

std::optional<bool> SettingsStore::ReadOptionFlag(const QString &name)
{
    OpenedStorage opened(*m_storage);
    if (!opened.ok())
        return std::nullopt;
    return readFlag(*m_storage, name);
}

void SettingsStore::StoreOptionFlag(const QString &name, bool value)
{
    OpenedStorage opened(*m_storage);
    if (opened.ok())
        m_storage->setValue(name, value ? 1 : 0);
}
