#include "libs/disclookup/lookupsettings.h"

#include <QFile>
#include <QSettings>
#include <QStringList>

#include <unistd.h>

#include <array>
#include <cstdlib>

namespace DiscLookup {

namespace {

// A value holding commas comes back as a list; it was one text.
QString text(const QSettings &s, const char *key, const std::string &fallback)
{
    const QVariant v = s.value(QLatin1String(key));
    if (!v.isValid())
        return QString::fromStdString(fallback);
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString().trimmed();
}

template<typename Number>
Number number(const QSettings &s, const char *key, Number fallback, Number lowest, Number highest)
{
    bool ok = false;
    const qlonglong n = s.value(QLatin1String(key)).toLongLong(&ok);
    if (!ok || n < qlonglong(lowest) || n > qlonglong(highest))
        return fallback;
    return Number(n);
}

std::string loginName()
{
    const char *user = std::getenv("USER");
    return user && *user ? user : "user";
}

std::string hostName()
{
    std::array<char, 256> name{};
    if (gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0')
        return "localhost";
    return name.data();
}

} // namespace

LookupSettings defaultSettings()
{
    LookupSettings s;
    s.cddbUser = loginName();
    s.cddbHost = hostName();
    return s;
}

LookupSettings readSettings(const std::string &iniPath)
{
    LookupSettings result = defaultSettings();
    const QString path = QFile::decodeName(iniPath.c_str());
    if (iniPath.empty() || !QFile::exists(path))
        return result;
    const QSettings ini(path, QSettings::IniFormat);
    result.cddbServer = text(ini, SettingsKey::CddbServer, result.cddbServer).toStdString();
    const QStringList hello = text(ini, SettingsKey::CddbHello, {})
                                  .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (hello.size() == 2) {
        result.cddbUser = hello[0].toStdString();
        result.cddbHost = hello[1].toStdString();
    }
    result.musicBrainzServer = text(ini, SettingsKey::MusicBrainzServer, result.musicBrainzServer)
                                   .toStdString();
    result.musicBrainzContact = text(ini, SettingsKey::MusicBrainzContact, {}).toStdString();
    constexpr long MaxTimeMs = 600000;
    result.connectTimeoutMs = number(ini,
                                     SettingsKey::ConnectTimeout,
                                     result.connectTimeoutMs,
                                     1L,
                                     MaxTimeMs);
    result.timeoutMs = number(ini, SettingsKey::Timeout, result.timeoutMs, 1L, MaxTimeMs);
    constexpr size_t MaxReply = size_t(256) * 1024 * 1024;
    result.maxReplySize = number(ini,
                                 SettingsKey::MaxReplySize,
                                 result.maxReplySize,
                                 size_t(1024),
                                 MaxReply);
    return result;
}

} // namespace DiscLookup
