#pragma once

#include "libs/cdrip/cdrip.h"

#include <QByteArray>
#include <QFunctionPointer>
#include <QString>

#include <cstdint>

// Run-time binding of the CD ripping library libcdrip.so: loading by plain
// name, its settings file, the entry points, and the CD time conversions.
// The library is never linked: a machine without it runs the program with
// no CD access.

// The file name the dynamic loader is asked for (found through the
// program's RPATH in the build, the system's library path when installed).
inline constexpr const char *CDRipLibraryFileName = "libcdrip.so";
// The library's settings file, in the folder given to LoadCDRipLibrary.
inline constexpr const char *CDRipSettingsFileName = "cdr.ini";

// One pointer per entry point, resolved by name; one the library lacks stays
// null (only CR_GetReadErrorSector and the untyped ones may). Only the first
// successful load fills them and they never change afterwards, so a worker
// may call through them while the GUI thread loads again.
struct TCDRipEntryPoints
{
    int32_t (*CR_Init)(const char *settingsPath) = nullptr;
    void (*CR_DeInit)() = nullptr;
    int32_t (*CR_SetActiveCDROM)(int32_t index) = nullptr;
    int32_t (*CR_GetNumCDROM)() = nullptr;
    int32_t (*CR_GetCDROMParameters)(CR_CdromParameters *parameters) = nullptr;
    int32_t (*CR_ReadToc)() = nullptr;
    int32_t (*CR_GetNumTocEntries)() = nullptr;
    CR_TocEntry (*CR_GetTocEntry)(int32_t index) = nullptr;
    int32_t (*CR_IsMediaLoaded)(int32_t *status) = nullptr;
    int32_t (*CR_IsAudioPlaying)() = nullptr;
    int32_t (*CR_OpenRipper)(int32_t *bufferSize, int32_t startSector, int32_t endSector) = nullptr;
    int32_t (*CR_RipChunk)(uint8_t *buffer, int32_t *numBytes, int32_t *abort) = nullptr;
    int32_t (*CR_CloseRipper)() = nullptr;
    int32_t (*CR_EjectCD)(int32_t open) = nullptr;
    // Ours: where the last failed CR_RipChunk stopped (-1: none).
    int32_t (*CR_GetReadErrorSector)() = nullptr;

    // Resolved for completeness but called by nothing, hence untyped.
    QFunctionPointer CR_GetCDRipVersion = nullptr;
    QFunctionPointer CR_GetActiveCDROM = nullptr;
    QFunctionPointer CR_SelectCDROMType = nullptr;
    QFunctionPointer CR_GetCDROMType = nullptr;
    QFunctionPointer CR_SetCDROMParameters = nullptr;
    QFunctionPointer CR_GetPercentCompleted = nullptr;
    QFunctionPointer CR_GetPeakValue = nullptr;
    QFunctionPointer CR_GetNumberOfJitterErrors = nullptr;
    QFunctionPointer CR_GetJitterPosition = nullptr;
    QFunctionPointer CR_LoadSettings = nullptr;
    QFunctionPointer CR_SaveSettings = nullptr;
    QFunctionPointer CR_NormalizeChunk = nullptr;
    QFunctionPointer CR_ReadCDText = nullptr;
    QFunctionPointer CR_IsUnitReady = nullptr;
    QFunctionPointer CR_PlayTrack = nullptr;
    QFunctionPointer CR_StopPlayTrack = nullptr;
    QFunctionPointer CR_PauseCD = nullptr;
    QFunctionPointer CR_GetCDStatusInfo = nullptr;
    QFunctionPointer CR_LockCD = nullptr;
    QFunctionPointer CR_GetSubChannelTrackInfo = nullptr;
    QFunctionPointer CR_GetPlayPosition = nullptr;
    QFunctionPointer CR_SetPlayPosition = nullptr;
    QFunctionPointer CR_PlaySection = nullptr;
    QFunctionPointer CR_GetLastJitterErrorPosition = nullptr;
    QFunctionPointer CR_GetCurrentRipSector = nullptr;
    QFunctionPointer CR_SetTransportLayer = nullptr;
    QFunctionPointer CR_GetTransportLayer = nullptr;
    QFunctionPointer CR_ScanForC2Errors = nullptr;
};

// Loads the library (again: the loader keeps one copy), writes
// "nActive"="0" in section "CD-ROM" of folder + "cdr.ini" keeping the rest of
// the file, and calls CR_Init with that file's path. `folder` ends in '/'
// and exists. A library that cannot be loaded, or lacks an entry point the
// CD input calls, leaves CDRipLoaded() as it was. GUI thread.
void LoadCDRipLibrary(const QString &folder);
// True once a load has succeeded, until UnloadCDRipLibrary.
bool CDRipLoaded();
// The entry points; all null before the first successful load.
const TCDRipEntryPoints &CDRip();
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

// A time on the disc; 75 frames (sectors) make one second.
struct TTrackTime
{
    uint8_t Minutes = 0;
    uint8_t Seconds = 0;
    uint8_t Frames = 0;
};

// A track (1-based) and an offset into it.
struct TTrackPosition
{
    int32_t Track = 0;
    TTrackTime Time;
};

// One table-of-contents entry, unpacked: entries 0 .. n-1 are tracks 1 .. n,
// entry n is the lead-out.
struct TTocEntry
{
    uint32_t StartSector = 0; // logical block address
    uint8_t Flag = 0;         // ADR << 4 | control; 0x04 of control marks data
    uint8_t TrackNumber = 0;
};

// Requires a loaded library.
TTocEntry GetTocEntry(int32_t index);

// Minutes are not limited to 99 (but are a byte, as the record has it).
TTrackTime FramesToMSF(uint32_t frames);
uint32_t MSFToFrames(const TTrackTime &time);
// "mm:ss:ff", each part at least two digits.
QString FormatMSF(const TTrackTime &time);
