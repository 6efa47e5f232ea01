#include "pipeline/cdripbinding.h"

#include "libs/cdrip/cdrip.h"
#include "pipeline/runtimelibrary.h"

#include <QFile>
#include <QList>
#include <QSaveFile>
#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

namespace {

// The entry points, typed by the library's own header. Only these are
// called; a library lacking one of them counts as not loaded, except for
// CR_GetReadErrorSector, CR_SetReadSpeed, CR_GetTrackEnd, CR_SetReadThrough,
// CR_GetReadReport, CR_ReadOutside, the sub-channel's three,
// CR_GetImageIndexes, CR_GetCatalog and CR_GetTrackIsrc, which are ours and
// optional.
struct Api
{
#define SONDREL_CDRIP_REQUIRED(X) \
    X(CR_Init) \
    X(CR_DeInit) \
    X(CR_SetActiveCDROM) \
    X(CR_GetNumCDROM) \
    X(CR_GetCDROMParameters) \
    X(CR_ReadToc) \
    X(CR_GetNumTocEntries) \
    X(CR_GetTocEntry) \
    X(CR_IsMediaLoaded) \
    X(CR_IsAudioPlaying) \
    X(CR_OpenRipper) \
    X(CR_RipChunk) \
    X(CR_CloseRipper) \
    X(CR_EjectCD)
    SONDREL_CDRIP_REQUIRED(SONDREL_ENTRY_POINT)
    SONDREL_ENTRY_POINT(CR_GetReadErrorSector)
    SONDREL_ENTRY_POINT(CR_SetReadSpeed)
    SONDREL_ENTRY_POINT(CR_GetTrackEnd)
    SONDREL_ENTRY_POINT(CR_SetReadThrough)
    SONDREL_ENTRY_POINT(CR_GetReadReport)
    SONDREL_ENTRY_POINT(CR_ReadOutside)
    SONDREL_ENTRY_POINT(CR_OpenSubchannel)
    SONDREL_ENTRY_POINT(CR_ReadSubchannelQ)
    SONDREL_ENTRY_POINT(CR_CloseSubchannel)
    SONDREL_ENTRY_POINT(CR_GetImageIndexes)
    SONDREL_ENTRY_POINT(CR_GetCatalog)
    SONDREL_ENTRY_POINT(CR_GetTrackIsrc)
    SONDREL_ENTRY_POINT(CR_GetCDText)
};

// The library's one copy in this process. GUI thread, except that the entry
// points are read by workers once published.
struct LoaderState
{
    std::unique_ptr<RuntimeLibrary> library;
    Api api;
    std::atomic<bool> loaded{false};

    ~LoaderState() { unload(); }

    void unload()
    {
        if (!loaded)
            return;
        api.CR_DeInit();
        api = Api();
        loaded = false;
        library.reset();
    }
};

LoaderState &loader()
{
    static LoaderState state;
    return state;
}

const Api &api()
{
    return loader().api;
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
    if (!s.loaded) {
        auto library = std::make_unique<RuntimeLibrary>(QLatin1String(CDRipLibraryFileName));
        Api entries;
#define SONDREL_CDRIP_REQUIRE(name) library->require(entries.name, #name);
        SONDREL_CDRIP_REQUIRED(SONDREL_CDRIP_REQUIRE)
#undef SONDREL_CDRIP_REQUIRE
        library->optional(entries.CR_GetReadErrorSector, "CR_GetReadErrorSector");
        library->optional(entries.CR_SetReadSpeed, "CR_SetReadSpeed");
        library->optional(entries.CR_GetTrackEnd, "CR_GetTrackEnd");
        library->optional(entries.CR_SetReadThrough, "CR_SetReadThrough");
        library->optional(entries.CR_GetReadReport, "CR_GetReadReport");
        library->optional(entries.CR_ReadOutside, "CR_ReadOutside");
        library->optional(entries.CR_OpenSubchannel, "CR_OpenSubchannel");
        library->optional(entries.CR_ReadSubchannelQ, "CR_ReadSubchannelQ");
        library->optional(entries.CR_CloseSubchannel, "CR_CloseSubchannel");
        library->optional(entries.CR_GetImageIndexes, "CR_GetImageIndexes");
        library->optional(entries.CR_GetCatalog, "CR_GetCatalog");
        library->optional(entries.CR_GetTrackIsrc, "CR_GetTrackIsrc");
        library->optional(entries.CR_GetCDText, "CR_GetCDText");
        if (!library->isLoaded()) {
            qWarning("%s: %s", CDRipLibraryFileName, qPrintable(library->errorText()));
            return;
        }
        s.library = std::move(library);
        s.api = entries;
        s.loaded = true;
    }
    const QString path = folder + QString::fromLatin1(CDRipSettingsFileName);
    writeSettingsFile(path);
    s.api.CR_Init(QFile::encodeName(path).constData());
}

bool CDRipLoaded()
{
    return loader().loaded;
}

void UnloadCDRipLibrary()
{
    loader().unload();
}

namespace CDRip {

int32_t SetActiveCDROM(int32_t index)
{
    return api().CR_SetActiveCDROM(index);
}

int32_t GetNumCDROM()
{
    return api().CR_GetNumCDROM();
}

QString GetCDROMName()
{
    CR_CdromParameters record;
    std::memset(&record, 0, sizeof record);
    api().CR_GetCDROMParameters(&record);
    constexpr size_t MaxNameLength = 255;
    return QString::fromUtf8(record.id, int(qstrnlen(record.id, MaxNameLength)));
}

void GetCDROMInquiry(QString &vendor, QString &model)
{
    CR_CdromParameters record;
    std::memset(&record, 0, sizeof record);
    api().CR_GetCDROMParameters(&record);
    vendor = QString::fromLatin1(record.vendor, int(qstrnlen(record.vendor, sizeof record.vendor)));
    model = QString::fromLatin1(record.model, int(qstrnlen(record.model, sizeof record.model)));
}

CdTextBytes GetCDText()
{
    CdTextBytes text;
    if (!api().CR_GetCDText)
        return text;
    QByteArray buffer(CR_CDTEXT_MAX_SIZE, Qt::Uninitialized);
    int32_t size = int32_t(buffer.size());
    int32_t kind = CR_CDTEXT_NONE;
    if (api().CR_GetCDText(reinterpret_cast<uint8_t *>(buffer.data()), &size, &kind) != CR_OK)
        return text;
    buffer.truncate(size);
    if (kind == CR_CDTEXT_PACKS)
        text.packs = buffer;
    else if (kind == CR_CDTEXT_CUE_SHEET)
        text.cueSheet = buffer;
    return text;
}

int32_t ReadToc()
{
    return api().CR_ReadToc();
}

int32_t GetNumTocEntries()
{
    return api().CR_GetNumTocEntries();
}

TTocEntry GetTocEntry(int32_t index)
{
    const CR_TocEntry raw = api().CR_GetTocEntry(index);
    TTocEntry entry;
    entry.StartSector = raw.startSector;
    entry.Flag = raw.flags;
    entry.TrackNumber = raw.trackNumber;
    entry.EndSector = raw.startSector;
    if (index >= 0 && index < api().CR_GetNumTocEntries()) {
        const int32_t end = api().CR_GetTrackEnd ? api().CR_GetTrackEnd(index) : -1;
        entry.EndSector = end >= 0 ? uint32_t(end) : api().CR_GetTocEntry(index + 1).startSector;
    }
    return entry;
}

int32_t IsMediaLoaded(int32_t *status)
{
    return api().CR_IsMediaLoaded(status);
}

int32_t IsAudioPlaying()
{
    return api().CR_IsAudioPlaying();
}

int32_t OpenRipper(int32_t *bufferSize, int32_t startSector, int32_t endSector)
{
    return api().CR_OpenRipper(bufferSize, startSector, endSector);
}

int32_t RipChunk(uint8_t *buffer, int32_t *numBytes, int32_t *abort)
{
    return api().CR_RipChunk(buffer, numBytes, abort);
}

int32_t CloseRipper()
{
    return api().CR_CloseRipper();
}

int32_t EjectCD(int32_t open)
{
    return api().CR_EjectCD(open);
}

int32_t GetReadErrorSector()
{
    return api().CR_GetReadErrorSector ? api().CR_GetReadErrorSector() : -1;
}

int32_t SetReadSpeed(int32_t speed)
{
    return api().CR_SetReadSpeed ? api().CR_SetReadSpeed(speed) : CR_ERR_FAILED;
}

bool SetReadThrough(int32_t maxBadSectors)
{
    return api().CR_SetReadThrough && api().CR_SetReadThrough(maxBadSectors) == CR_OK;
}

TReadReport GetReadReport()
{
    TReadReport report;
    CR_ReadReport raw{};
    if (!api().CR_GetReadReport || api().CR_GetReadReport(&raw) != CR_OK)
        return report;
    report.verified = raw.verified != 0;
    report.correctedSectors = raw.correctedSectors;
    report.badSectors = raw.badSectors;
    const int32_t listed = std::clamp<int32_t>(raw.listed, 0, CR_REPORT_SECTORS);
    report.sectors.assign(raw.sectors, raw.sectors + listed);
    return report;
}

bool ReadOutside(uint8_t *buffer, int32_t startSector, int32_t sectors)
{
    return api().CR_ReadOutside && api().CR_ReadOutside(buffer, startSector, sectors) == CR_OK;
}

bool OpenSubchannel(int32_t index)
{
    return api().CR_OpenSubchannel && api().CR_ReadSubchannelQ && api().CR_CloseSubchannel
           && api().CR_OpenSubchannel(index) == CR_OK;
}

bool ReadSubchannelQ(int32_t sector, uint8_t *q)
{
    return api().CR_ReadSubchannelQ && api().CR_ReadSubchannelQ(sector, 1, q) == CR_OK;
}

void CloseSubchannel()
{
    if (api().CR_CloseSubchannel)
        api().CR_CloseSubchannel();
}

std::vector<int32_t> GetImageIndexes(int32_t index, int32_t track)
{
    constexpr int32_t MaxIndexes = 100; // INDEX 00 to 99
    std::vector<int32_t> positions(MaxIndexes);
    const int32_t written = api().CR_GetImageIndexes ? api().CR_GetImageIndexes(index,
                                                                                track,
                                                                                positions.data(),
                                                                                MaxIndexes)
                                                     : -1;
    positions.resize(size_t(std::max(written, 0)));
    return positions;
}

QString GetCatalog()
{
    char text[CR_CODE_TEXT_SIZE] = {};
    if (!api().CR_GetCatalog || api().CR_GetCatalog(text) != CR_OK)
        return QString();
    return QString::fromLatin1(text, int(qstrnlen(text, sizeof text)));
}

QString GetTrackIsrc(int32_t track)
{
    char text[CR_CODE_TEXT_SIZE] = {};
    if (!api().CR_GetTrackIsrc || api().CR_GetTrackIsrc(track, text) != CR_OK)
        return QString();
    return QString::fromLatin1(text, int(qstrnlen(text, sizeof text)));
}

bool IsDataFlag(uint8_t flag)
{
    return (flag & CR_CONTROL_DATA) != 0;
}

} // namespace CDRip
