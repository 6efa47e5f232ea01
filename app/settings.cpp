#include "settings.h"

#include "job/trackreads.h"
#include "lookup/accuraterip.h"
#include "pipeline/cdinput.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <algorithm>

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
    storeValue(SettingsKeys::Folder, folder);
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
    storeValue(name, value ? 1 : 0);
}

QString SettingsStore::keyOf(StoredFlag flag)
{
    switch (flag) {
    case StoredFlag::EjectCD:
        return SettingsKeys::EjectCD;
    case StoredFlag::MakeList:
        return SettingsKeys::MakeList;
    case StoredFlag::VerifyAccurateRip:
        return SettingsKeys::VerifyAccurateRip;
    case StoredFlag::WriteRipLog:
        return SettingsKeys::WriteRipLog;
    case StoredFlag::WriteCueSheet:
        return SettingsKeys::WriteCueSheet;
    case StoredFlag::TestAndCopy:
        return SettingsKeys::TestAndCopy;
    case StoredFlag::RereadMismatches:
        return SettingsKeys::RereadMismatches;
    case StoredFlag::GoOnAfterFailure:
        return SettingsKeys::GoOnAfterFailure;
    case StoredFlag::DetectGaps:
        return SettingsKeys::DetectGaps;
    case StoredFlag::RipHiddenAudio:
        return SettingsKeys::RipHiddenAudio;
    case StoredFlag::WriteMusicBrainzIds:
        return SettingsKeys::WriteMusicBrainzIds;
    case StoredFlag::FillFromCdText:
        return SettingsKeys::FillFromCdText;
    case StoredFlag::EncodeWhileReading:
        return SettingsKeys::EncodeWhileReading;
    }
    return QString();
}

void SettingsStore::StoreFlag(StoredFlag flag, bool value)
{
    StoreOptionFlag(keyOf(flag), value);
}

StoredOptions SettingsStore::ReadOptions()
{
    StoredOptions options;
    try {
        options.destFolder = ReadDestFolder();
        options.ejectCD = ReadOptionFlag(SettingsKeys::EjectCD);
        options.makeList = ReadOptionFlag(SettingsKeys::MakeList);
        options.endOfJobRead = true;
        options.verifyAccurateRip = ReadOptionFlag(SettingsKeys::VerifyAccurateRip).value_or(false);
        options.writeRipLog = ReadOptionFlag(SettingsKeys::WriteRipLog).value_or(false);
        options.writeCueSheet = ReadOptionFlag(SettingsKeys::WriteCueSheet).value_or(false);
        options.testAndCopy = ReadOptionFlag(SettingsKeys::TestAndCopy).value_or(false);
        options.rereadMismatches = ReadOptionFlag(SettingsKeys::RereadMismatches).value_or(false);
        options.goOnAfterFailure = ReadOptionFlag(SettingsKeys::GoOnAfterFailure).value_or(false);
        options.detectGaps = ReadOptionFlag(SettingsKeys::DetectGaps).value_or(false);
        options.ripHiddenAudio = ReadOptionFlag(SettingsKeys::RipHiddenAudio).value_or(false);
        options.writeMusicBrainzIds = ReadOptionFlag(SettingsKeys::WriteMusicBrainzIds)
                                          .value_or(true);
        options.fillFromCdText = ReadOptionFlag(SettingsKeys::FillFromCdText).value_or(true);
        options.encodeWhileReading = ReadOptionFlag(SettingsKeys::EncodeWhileReading).value_or(true);
    } catch (const ESettingsError &e) {
        options.error = e.message();
    }
    // A value that cannot be used only costs its own default.
    options.outputFormat = readNumber(SettingsKeys::OutputFormat);
    options.qualityEntry = readNumber(SettingsKeys::QualityEntry);
    options.rereadLimit = readNumber(SettingsKeys::RereadLimit);
    if (options.rereadLimit
        && (*options.rereadLimit < 1 || *options.rereadLimit > TReadOptions::MaxRereadLimit))
        options.rereadLimit.reset();
    options.cueLayout = readNumber(SettingsKeys::CueLayout);
    if (options.cueLayout && (*options.cueLayout < 0 || *options.cueLayout > 2))
        options.cueLayout.reset();
    options.parallelConversions = readNumber(SettingsKeys::ParallelConversions);
    if (options.parallelConversions
        && (*options.parallelConversions < 1
            || *options.parallelConversions > SettingsKeys::MaxParallelConversions))
        options.parallelConversions.reset();
    OpenedStorage opened(*m_storage);
    const QVariant templ = opened.ok() ? m_storage->value(SettingsKeys::FilenameTemplate)
                                       : QVariant();
    if (templ.typeId() == QMetaType::QString)
        options.filenameTemplate = templ.toString();
    return options;
}

void SettingsStore::StoreOutputFormat(int format)
{
    storeValue(SettingsKeys::OutputFormat, format);
}

void SettingsStore::StoreQualityEntry(int entry)
{
    storeValue(SettingsKeys::QualityEntry, entry);
}

void SettingsStore::StoreFilenameTemplate(const QString &templ)
{
    storeValue(SettingsKeys::FilenameTemplate, templ);
}

void SettingsStore::StoreParallelConversions(int conversions)
{
    storeValue(SettingsKeys::ParallelConversions, conversions);
}

int SettingsStore::defaultParallelConversions()
{
    return std::clamp(QThread::idealThreadCount(), 1, SettingsKeys::MaxParallelConversions);
}

void SettingsStore::StoreRereadLimit(int reads)
{
    storeValue(SettingsKeys::RereadLimit, reads);
}

void SettingsStore::StoreCueLayout(int layout)
{
    storeValue(SettingsKeys::CueLayout, layout);
}

void SettingsStore::storeValue(const QString &name, const QVariant &value)
{
    OpenedStorage opened(*m_storage);
    if (opened.ok())
        m_storage->setValue(name, value);
}

std::optional<int> SettingsStore::readNumber(const QString &name)
{
    OpenedStorage opened(*m_storage);
    if (!opened.ok() || !m_storage->contains(name))
        return std::nullopt;
    const QVariant v = m_storage->value(name);
    bool ok = false;
    const int number = v.typeId() == QMetaType::QStringList || v.typeId() == QMetaType::QVariantList
                           ? 0
                           : v.toString().trimmed().toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

namespace {

QString readOffsetKey(const QString &driveName)
{
    return SettingsKeys::ReadOffsets + QLatin1Char('/')
           + QString::fromLatin1(QUrl::toPercentEncoding(driveName));
}

} // namespace

int SettingsStore::ReadReadOffset(const QString &driveName)
{
    OpenedStorage opened(*m_storage);
    const QString key = readOffsetKey(driveName);
    if (!opened.ok() || !m_storage->contains(key))
        return 0;
    const QVariant v = m_storage->value(key);
    bool ok = false;
    int samples = 0;
    if (v.typeId() != QMetaType::QStringList && v.typeId() != QMetaType::QVariantList)
        samples = v.toString().trimmed().toInt(&ok);
    if (!ok || samples < MinReadOffset || samples > MaxReadOffset) {
        throw ESettingsError(
            QStringLiteral(
                "The stored read offset of \"%1\" should be a number of samples "
                "from %2 to %3 but is \"%4\". It is left as it is and not used this time.")
                .arg(driveName)
                .arg(MinReadOffset)
                .arg(MaxReadOffset)
                .arg(v.toStringList().join(QStringLiteral(", "))));
    }
    return samples;
}

bool SettingsStore::HasReadOffset(const QString &driveName)
{
    OpenedStorage opened(*m_storage);
    return opened.ok() && m_storage->contains(readOffsetKey(driveName));
}

void SettingsStore::StoreReadOffset(const QString &driveName, int samples)
{
    storeValue(readOffsetKey(driveName), samples);
}

QString SettingsStore::ReadAccurateRipServer()
{
    OpenedStorage opened(*m_storage);
    if (!opened.ok() || !m_storage->contains(SettingsKeys::AccurateRipServer))
        return AccurateRip::DefaultServer;
    const QString server = m_storage->value(SettingsKeys::AccurateRipServer).toString().trimmed();
    return server.isEmpty() ? AccurateRip::DefaultServer : server;
}
