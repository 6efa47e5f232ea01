#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// Run-time binding of the CD ripping library libcdrip.so: loading by plain
// name, its settings file, and its entry points. The library is never
// linked: a machine without it runs the program with no CD access. Its C
// interface stays inside the .cpp.

// The file name the dynamic loader is asked for (found through the
// program's RPATH in the build, the system's library path when installed).
inline constexpr const char *CDRipLibraryFileName = "libcdrip.so";
// The library's settings file, in the folder given to LoadCDRipLibrary.
inline constexpr const char *CDRipSettingsFileName = "cdr.ini";

// Loads the library (again: the loader keeps one copy), writes
// "nActive"="0" in section "CD-ROM" of folder + "cdr.ini" keeping the rest of
// the file, and calls CR_Init with that file's path. `folder` ends in '/'
// and exists. A library that cannot be loaded, or lacks an entry point the
// CD input calls, leaves CDRipLoaded() as it was. GUI thread.
void LoadCDRipLibrary(const QString &folder);
// True once a load has succeeded, until UnloadCDRipLibrary.
bool CDRipLoaded();
// Program end: CR_DeInit once and the library released. Also run by a
// static guard at exit if the program has not called it; harmless twice.
// Nothing may use the library afterwards (stop the writers first).
void UnloadCDRipLibrary();

// The INI text with key=value set in the section: an existing key's line is
// replaced, a missing key goes first in its section, a missing section is
// appended. Every other byte stays as it was; section and key names
// compare without case.
QByteArray SetIniValue(const QByteArray &text,
                       const QByteArray &section,
                       const QByteArray &key,
                       const QByteArray &value);

// One table-of-contents entry, unpacked: entries 0 .. n-1 are tracks 1 .. n,
// entry n is the lead-out.
struct TTocEntry
{
    uint32_t StartSector = 0; // logical block address
    uint8_t Flag = 0;         // ADR << 4 | control; see IsDataFlag
    uint8_t TrackNumber = 0;
    // The first sector after the track: the next entry's start, but the
    // audio session's lead-out for the track before a later session (an
    // Enhanced CD, on a drive); the lead-out's own start for the lead-out.
    uint32_t EndSector = 0;
};

// What the reads of one open ripper met (CR_GetReadReport); all empty from a
// library without that entry point of ours.
struct TReadReport
{
    bool verified = false;        // cdparanoia checked the audio
    int32_t correctedSectors = 0; // re-read or realigned, and then right
    int32_t badSectors = 0;       // delivered unreadable or unverified
    std::vector<int32_t> sectors; // the first bad ones, as disc sectors in order
};

// The library's entry points as the CD input calls them; each requires a
// loaded library. The pointers behind them are set by the first successful
// load and stay until UnloadCDRipLibrary, so a worker may call RipChunk while
// the GUI thread loads again. Results are the library's codes (0 success).
namespace CDRip {

int32_t SetActiveCDROM(int32_t index);
int32_t GetNumCDROM();
// The active drive's identification text, or an image's file name.
QString GetCDROMName();
// The active drive's INQUIRY vendor and model as the drive gave them
// (space-padded); empty for an image.
void GetCDROMInquiry(QString &vendor, QString &model);
// The active drive's CD-Text as the disc carries it: a drive's raw packs or
// an image's CUE sheet (at most one of them; neither from a library without
// CR_GetCDText).
struct CdTextBytes
{
    QByteArray packs;
    QByteArray cueSheet;
};
CdTextBytes GetCDText();
int32_t ReadToc();
// The number of tracks of the table of contents last read.
int32_t GetNumTocEntries();
// The entry with its EndSector: CR_GetTrackEnd's answer, or the next
// entry's start from a library without that entry point of ours.
TTocEntry GetTocEntry(int32_t index);
// *status is 0 when a readable disc is present.
int32_t IsMediaLoaded(int32_t *status);
int32_t IsAudioPlaying();
// The sectors from startSector up to (not including) endSector; bufferSize
// in and out, in bytes.
int32_t OpenRipper(int32_t *bufferSize, int32_t startSector, int32_t endSector);
// The next chunk into buffer, its length in *numBytes; 0 bytes at the end.
int32_t RipChunk(uint8_t *buffer, int32_t *numBytes, int32_t *abort);
int32_t CloseRipper();
// open: -1 opens the tray, 0 closes it.
int32_t EjectCD(int32_t open);
// Where the last failed RipChunk stopped; -1 when unknown, also from a
// library without this entry point of ours.
int32_t GetReadErrorSector();
// speed in CD speed units, 0 for the fastest; non-zero when the drive
// refused, also from a library without this entry point of ours.
int32_t SetReadSpeed(int32_t speed);

// Rippers opened from now on read past up to maxBadSectors bad sectors and
// list them; false from a library without this entry point of ours, which
// always stops at the first.
bool SetReadThrough(int32_t maxBadSectors);
TReadReport GetReadReport();

// Sectors of the active drive before sector 0 or from the lead-out on,
// straight from the drive; false when it refuses them (an image always
// does), also from a library without this entry point of ours.
bool ReadOutside(uint8_t *buffer, int32_t startSector, int32_t sectors);
// The Q sub-channel of drive `index`, for one search at a time: false for an
// image, a drive that cannot be opened, and from a library without these
// entry points of ours. ReadSubchannelQ gives one sector's 16 bytes, false
// when the drive fails the read.
bool OpenSubchannel(int32_t index);
bool ReadSubchannelQ(int32_t sector, uint8_t *q);
void CloseSubchannel();
// What image `index` says of a track's indexes (CR_GetImageIndexes): INDEX
// 00 or -1, INDEX 01, INDEX 02 and up; empty for a drive, and from a library
// without this entry point of ours.
std::vector<int32_t> GetImageIndexes(int32_t index, int32_t track);
// The active drive's disc's catalogue number and a track's ISRC; empty when
// the disc has none, and from a library without these entry points of ours.
QString GetCatalog();
QString GetTrackIsrc(int32_t track);

// The data bit of a table-of-contents flag's control nibble is set.
bool IsDataFlag(uint8_t flag);

} // namespace CDRip
