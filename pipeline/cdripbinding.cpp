#include "pipeline/cdripbinding.h"

#include <QFile>
#include <QLibrary>
#include <QList>
#include <QSaveFile>
#include <QtGlobal>

#include <atomic>

namespace {

// The library's one copy in this process. GUI thread, except that the entry
// points are read by workers once published.
struct LoaderState
{
    QLibrary library;
    TCDRipEntryPoints entries;
    std::atomic<bool> loaded{false};

    ~LoaderState() { unload(); }

    void unload()
    {
        if (!loaded)
            return;
        if (entries.CR_DeInit)
            entries.CR_DeInit();
        entries = TCDRipEntryPoints();
        loaded = false;
        if (!library.unload())
            qWarning("%s stays loaded: %s", CDRipLibraryFileName, qPrintable(library.errorString()));
    }
};

LoaderState &loader()
{
    static LoaderState state;
    return state;
}

template<typename Function>
void resolveInto(QLibrary &library, Function &target, const char *name)
{
    target = reinterpret_cast<Function>(library.resolve(name));
}

void resolveAll(QLibrary &library, TCDRipEntryPoints &e)
{
#define SONDREL_RESOLVE(name) resolveInto(library, e.name, #name)
    SONDREL_RESOLVE(CR_Init);
    SONDREL_RESOLVE(CR_DeInit);
    SONDREL_RESOLVE(CR_SetActiveCDROM);
    SONDREL_RESOLVE(CR_GetNumCDROM);
    SONDREL_RESOLVE(CR_GetCDROMParameters);
    SONDREL_RESOLVE(CR_ReadToc);
    SONDREL_RESOLVE(CR_GetNumTocEntries);
    SONDREL_RESOLVE(CR_GetTocEntry);
    SONDREL_RESOLVE(CR_IsMediaLoaded);
    SONDREL_RESOLVE(CR_IsAudioPlaying);
    SONDREL_RESOLVE(CR_OpenRipper);
    SONDREL_RESOLVE(CR_RipChunk);
    SONDREL_RESOLVE(CR_CloseRipper);
    SONDREL_RESOLVE(CR_EjectCD);
    SONDREL_RESOLVE(CR_GetReadErrorSector);
    SONDREL_RESOLVE(CR_GetCDRipVersion);
    SONDREL_RESOLVE(CR_GetActiveCDROM);
    SONDREL_RESOLVE(CR_SelectCDROMType);
    SONDREL_RESOLVE(CR_GetCDROMType);
    SONDREL_RESOLVE(CR_SetCDROMParameters);
    SONDREL_RESOLVE(CR_GetPercentCompleted);
    SONDREL_RESOLVE(CR_GetPeakValue);
    SONDREL_RESOLVE(CR_GetNumberOfJitterErrors);
    SONDREL_RESOLVE(CR_GetJitterPosition);
    SONDREL_RESOLVE(CR_LoadSettings);
    SONDREL_RESOLVE(CR_SaveSettings);
    SONDREL_RESOLVE(CR_NormalizeChunk);
    SONDREL_RESOLVE(CR_ReadCDText);
    SONDREL_RESOLVE(CR_IsUnitReady);
    SONDREL_RESOLVE(CR_PlayTrack);
    SONDREL_RESOLVE(CR_StopPlayTrack);
    SONDREL_RESOLVE(CR_PauseCD);
    SONDREL_RESOLVE(CR_GetCDStatusInfo);
    SONDREL_RESOLVE(CR_LockCD);
    SONDREL_RESOLVE(CR_GetSubChannelTrackInfo);
    SONDREL_RESOLVE(CR_GetPlayPosition);
    SONDREL_RESOLVE(CR_SetPlayPosition);
    SONDREL_RESOLVE(CR_PlaySection);
    SONDREL_RESOLVE(CR_GetLastJitterErrorPosition);
    SONDREL_RESOLVE(CR_GetCurrentRipSector);
    SONDREL_RESOLVE(CR_SetTransportLayer);
    SONDREL_RESOLVE(CR_GetTransportLayer);
    SONDREL_RESOLVE(CR_ScanForC2Errors);
#undef SONDREL_RESOLVE
}

// A library without one of the entry points the CD input calls would crash
// the program at that call: it counts as not loaded.
bool hasEveryCalledEntryPoint(const TCDRipEntryPoints &e)
{
    return e.CR_Init && e.CR_DeInit && e.CR_SetActiveCDROM && e.CR_GetNumCDROM
           && e.CR_GetCDROMParameters && e.CR_ReadToc && e.CR_GetNumTocEntries && e.CR_GetTocEntry
           && e.CR_IsMediaLoaded && e.CR_IsAudioPlaying && e.CR_OpenRipper && e.CR_RipChunk
           && e.CR_CloseRipper && e.CR_EjectCD;
}

QByteArray iniName(const QByteArray &line)
{
    return line.trimmed().toLower();
}

// The section name of a "[name]" line, or a null array.
QByteArray sectionOf(const QByteArray &line)
{
    const QByteArray t = line.trimmed();
    if (!t.startsWith('['))
        return {};
    const int close = t.indexOf(']');
    return iniName(close < 0 ? t.mid(1) : t.mid(1, close - 1));
}

bool isKeyLine(const QByteArray &line, const QByteArray &lowerKey)
{
    const QByteArray t = line.trimmed();
    if (t.isEmpty() || t.startsWith(';') || t.startsWith('#'))
        return false;
    const int eq = t.indexOf('=');
    return eq > 0 && iniName(t.left(eq)) == lowerKey;
}

void writeSettingsFile(const QString &path)
{
    QByteArray text;
    QFile existing(path);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly)) {
            // Overwriting would lose the user's [Images]; the library reads
            // the file as it is.
            qWarning("%s cannot be read: %s", qPrintable(path), qPrintable(existing.errorString()));
            return;
        }
        text = existing.readAll();
    }
    const QByteArray updated = SetIniValue(text, "CD-ROM", "nActive", "0");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(updated) != updated.size() || !file.commit())
        qWarning("%s cannot be written: %s", qPrintable(path), qPrintable(file.errorString()));
}

} // namespace

QByteArray SetIniValue(const QByteArray &text,
                       const QByteArray &section,
                       const QByteArray &key,
                       const QByteArray &value)
{
    const bool crlf = text.contains("\r\n");
    const QByteArray eol = crlf ? "\r\n" : "\n";
    const QByteArray entry = key + '=' + value;
    const QByteArray lowerSection = section.toLower();
    const QByteArray lowerKey = key.toLower();

    QList<QByteArray> lines = text.split('\n');
    int header = -1;
    for (int i = 0; i < lines.size(); ++i) {
        if (sectionOf(lines[i]) == lowerSection) {
            header = i;
            break;
        }
    }
    if (header < 0) {
        QByteArray result = text;
        if (!result.isEmpty() && !result.endsWith('\n'))
            result += eol;
        return result + '[' + section + ']' + eol + entry + eol;
    }
    const QByteArray cr = crlf ? "\r" : "";
    for (int i = header + 1; i < lines.size() && sectionOf(lines[i]).isNull(); ++i) {
        if (isKeyLine(lines[i], lowerKey)) {
            lines[i] = entry + (lines[i].endsWith('\r') ? QByteArray("\r") : QByteArray());
            return lines.join('\n');
        }
    }
    // The header was the last line without a line end: give it one.
    if (header == lines.size() - 1) {
        lines[header] += cr;
        lines.append(entry + cr);
        lines.append(QByteArray());
    } else {
        lines.insert(header + 1, entry + cr);
    }
    return lines.join('\n');
}

void LoadCDRipLibrary(const QString &folder)
{
    LoaderState &s = loader();
    if (!s.library.isLoaded()) {
        s.library.setFileName(QString::fromLatin1(CDRipLibraryFileName));
        if (!s.library.load())
            return;
    }
    if (!s.loaded) {
        TCDRipEntryPoints entries;
        resolveAll(s.library, entries);
        if (!hasEveryCalledEntryPoint(entries)) {
            qWarning("%s lacks entry points of the CD ripping library", CDRipLibraryFileName);
            s.library.unload();
            return;
        }
        s.entries = entries;
        s.loaded = true;
    }
    const QString path = folder + QString::fromLatin1(CDRipSettingsFileName);
    writeSettingsFile(path);
    if (s.entries.CR_Init)
        s.entries.CR_Init(QFile::encodeName(path).constData());
}

bool CDRipLoaded()
{
    return loader().loaded;
}

const TCDRipEntryPoints &CDRip()
{
    return loader().entries;
}

void UnloadCDRipLibrary()
{
    loader().unload();
}

TTocEntry GetTocEntry(int32_t index)
{
    const CR_TocEntry raw = CDRip().CR_GetTocEntry(index);
    TTocEntry entry;
    entry.StartSector = raw.startSector;
    entry.Flag = raw.flags;
    entry.TrackNumber = raw.trackNumber;
    return entry;
}

TTrackTime FramesToMSF(uint32_t frames)
{
    const uint32_t seconds = frames / 75;
    TTrackTime t;
    t.Minutes = static_cast<uint8_t>(seconds / 60);
    t.Seconds = static_cast<uint8_t>(seconds % 60);
    t.Frames = static_cast<uint8_t>(frames % 75);
    return t;
}

uint32_t MSFToFrames(const TTrackTime &time)
{
    return (uint32_t(time.Minutes) * 60 + time.Seconds) * 75 + time.Frames;
}

QString FormatMSF(const TTrackTime &time)
{
    return QStringLiteral("%1:%2:%3")
        .arg(time.Minutes, 2, 10, QLatin1Char('0'))
        .arg(time.Seconds, 2, 10, QLatin1Char('0'))
        .arg(time.Frames, 2, 10, QLatin1Char('0'));
}
