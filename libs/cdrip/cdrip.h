#pragma once

/* libcdrip: digital audio extraction from CD drives and disc images, with a
 * small C interface loaded at run time by plain name (libcdrip.so).
 *
 * Drives are numbered from 0: first the machine's CD drives as libcdio lists
 * them, then the disc images named in the [Images] section of the settings
 * file given to CR_Init, in file order. One drive is active at a time; every
 * query acts on it. One sector is 2352 bytes of 16-bit little-endian stereo,
 * also from an image that stores its audio big-endian (MOTOROLA).
 *
 * Threads: all entry points may be called from any thread. The queries and
 * the ripper keep separate state, so a rip on a worker thread and queries on
 * the GUI thread do not disturb each other.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define CDRIP_API __attribute__((visibility("default")))
#else
#define CDRIP_API
#endif

/* Result codes; 0 is success everywhere. */
enum {
    CR_OK = 0,
    CR_ERR_FAILED = 1,   /* generic failure (bad argument, no drive) */
    CR_ERR_NO_DISC = 2,  /* no readable disc or table of contents */
    CR_ERR_NOT_OPEN = 3, /* CR_RipChunk without CR_OpenRipper */
    CR_ERR_READ = 4,     /* a sector could not be read: see CR_GetReadErrorSector */
    CR_ERR_RANGE = 5     /* CR_OpenRipper's range is not on the disc */
};

/* Control bits of a table-of-contents flag byte (low nibble); the high nibble
 * is the Q sub-channel ADR, 1 for every track and the lead-out. */
enum {
    CR_CONTROL_PREEMPHASIS = 0x01,
    CR_CONTROL_COPY_PERMITTED = 0x02,
    CR_CONTROL_DATA = 0x04,
    CR_CONTROL_FOUR_CHANNEL = 0x08
};

/* One table-of-contents entry, returned by value (8 bytes). */
typedef struct CR_TocEntry
{
    uint32_t startSector; /* logical block address of INDEX 01 */
    uint8_t flags;        /* ADR << 4 | control */
    uint8_t trackNumber;  /* 1-99; 0xAA for the lead-out */
    uint8_t reserved[2];
} CR_TocEntry;

/* The drive description record. The leading zero-terminated identification
 * text (at most 255 characters) is "vendor model revision" for a drive, the
 * file name for an image; after it come the drive's INQUIRY vendor and model
 * as the drive gave them (space-padded, zero-terminated), both empty for an
 * image. The rest is reserved (zero). */
enum { CR_ID_TEXT_SIZE = 256, CR_PARAMETERS_SIZE = 364, CR_VENDOR_SIZE = 9, CR_MODEL_SIZE = 17 };
typedef struct CR_CdromParameters
{
    char id[CR_ID_TEXT_SIZE];
    char vendor[CR_VENDOR_SIZE];
    char model[CR_MODEL_SIZE];
    uint8_t reserved[CR_PARAMETERS_SIZE - CR_ID_TEXT_SIZE - CR_VENDOR_SIZE - CR_MODEL_SIZE];
} CR_CdromParameters;

/* Reads the settings file: [CD-ROM] nActive (the drive made active),
 * [Images] (one image path per key, in file order) and [Reading] Paranoia
 * (0 reads straight from the drive, anything else or missing verifies every
 * sector with cdparanoia). May be called again to re-read the file; an open
 * ripper goes on reading its drive. Returns CR_ERR_FAILED when the file
 * cannot be read (the real drives are listed all the same). */
CDRIP_API int32_t CR_Init(const char *settingsPath);
/* Closes everything; the library is back to its state before CR_Init, and
 * libcdio has its log handler back. While initialised, the library replaces
 * it: libcdio's own ends the process on an error. */
CDRIP_API void CR_DeInit(void);

CDRIP_API int32_t CR_GetCDRipVersion(void);
CDRIP_API int32_t CR_GetNumCDROM(void);
CDRIP_API int32_t CR_GetActiveCDROM(void);
/* CR_ERR_FAILED for an index outside 0 .. CR_GetNumCDROM() - 1 (nothing changes). */
CDRIP_API int32_t CR_SetActiveCDROM(int32_t index);
/* Writes the identification text of the active drive into *parameters
 * (CR_PARAMETERS_SIZE bytes). */
CDRIP_API int32_t CR_GetCDROMParameters(CR_CdromParameters *parameters);

/* Reads the table of contents of the active drive afresh. CR_ERR_NO_DISC
 * also for an image whose sheet or BIN is not a regular file, and for a
 * table with an empty track (two tracks at one sector, a lead-out not after
 * the last track): no such disc exists. */
CDRIP_API int32_t CR_ReadToc(void);
/* Tracks of the last successful CR_ReadToc (0 after a failed one). Entries
 * 0 .. n-1 are the tracks, entry n the lead-out; any other index gives an
 * all-zero entry. */
CDRIP_API int32_t CR_GetNumTocEntries(void);
CDRIP_API CR_TocEntry CR_GetTocEntry(int32_t index);
/* The first sector after track entry `index` (0 .. n-1) of the last
 * successful CR_ReadToc: the next entry's start, except on a drive's disc
 * with a later session (an Enhanced CD), whose track before that session
 * ends at the audio session's lead-out, 11,400 sectors before the session's
 * first track (those sectors are no track's, and no drive reads them). -1
 * for any other index. */
CDRIP_API int32_t CR_GetTrackEnd(int32_t index);

/* The active drive's CD-Text as the disc carries it, for the caller to
 * parse: *kind := CR_CDTEXT_PACKS for a drive's raw 18-byte packs (READ
 * TOC/PMA/ATIP format 5, without the reply's 4-byte header),
 * CR_CDTEXT_CUE_SHEET for an image's CUE sheet (its text, in which TITLE and
 * PERFORMER lines are the CD-Text), CR_CDTEXT_NONE when there is none.
 * *size: the buffer's size on entry, the bytes written on return.
 * CR_ERR_FAILED without a drive, or for a buffer smaller than
 * CR_CDTEXT_MAX_SIZE that cannot hold them (*size then says how many). */
enum { CR_CDTEXT_NONE = 0, CR_CDTEXT_PACKS = 1, CR_CDTEXT_CUE_SHEET = 2 };
enum { CR_CDTEXT_MAX_SIZE = 1 << 20 };
CDRIP_API int32_t CR_GetCDText(uint8_t *buffer, int32_t *size, int32_t *kind);

/* *status := 0 when a disc with a readable table of contents is present. */
CDRIP_API int32_t CR_IsMediaLoaded(int32_t *status);
/* Non-zero while a drive plays audio through its own outputs; 0 for images. */
CDRIP_API int32_t CR_IsAudioPlaying(void);
/* Non-zero opens the tray, 0 closes it; images have no tray (CR_OK). */
CDRIP_API int32_t CR_EjectCD(int32_t open);
/* Asks the active drive to read at `speed` CD speed units (8 for "8X"), or
 * as fast as it can for 0. CR_OK when the drive took it, and for an image,
 * which has no speed; CR_ERR_FAILED when the drive refused (it keeps the
 * speed it had) or there is no drive. */
CDRIP_API int32_t CR_SetReadSpeed(int32_t speed);

/* Reads `sectors` sectors from `startSector` of the active drive where no
 * track lies, before sector 0 (the lead-in side, negative sectors) or from
 * the lead-out on, straight from the drive: cdparanoia never reads there, and
 * a read offset needs a few such sectors. CR_ERR_RANGE when a sector lies on
 * the tracks or more than 150 sectors beyond either end; CR_ERR_READ when the
 * drive refuses, as many do, and always for an image, which holds nothing
 * there. */
CDRIP_API int32_t CR_ReadOutside(uint8_t *buffer, int32_t startSector, int32_t sectors);

/* Prepares reading sectors [startSector, endSector) of the active drive.
 * *bufferSize is the caller's buffer in bytes; it is rounded down to whole
 * sectors and that is the most one CR_RipChunk delivers. */
CDRIP_API int32_t CR_OpenRipper(int32_t *bufferSize, int32_t startSector, int32_t endSector);
/* Fills buffer with the next sectors and *numBytes with their length, 0 at the
 * end of the range or when *abort is non-zero. *abort is also watched during
 * the call (another thread may set it, with an atomic store): the chunk then
 * ends within one read command, delivering nothing (CR_OK, *numBytes 0). A
 * sector that cannot be read (or that cdparanoia could not verify) gives
 * CR_ERR_READ, *numBytes 0, and every later call fails the same way: nothing
 * damaged is delivered. */
CDRIP_API int32_t CR_RipChunk(uint8_t *buffer, int32_t *numBytes, int32_t *abort);
CDRIP_API int32_t CR_CloseRipper(void);

/* Read-through: rippers opened from now on read on past up to `maxBadSectors`
 * sectors that cannot be read or that cdparanoia could not verify, delivering
 * cdparanoia's best guess (silence for a plain read) in their place and
 * listing them in the read report; one more ends the rip with CR_ERR_READ.
 * 0, the default, ends the rip at the first (see CR_RipChunk). A caller that
 * reads through decides from the report what the delivered audio is worth.
 * CR_ERR_FAILED for a negative count. */
CDRIP_API int32_t CR_SetReadThrough(int32_t maxBadSectors);

/* What the reads since CR_OpenRipper met. */
enum { CR_REPORT_SECTORS = 64 };
typedef struct CR_ReadReport
{
    int32_t verified;         /* non-zero when cdparanoia checked the audio */
    int32_t correctedSectors; /* sectors cdparanoia had to re-read or realign, and got */
    int32_t badSectors;       /* sectors delivered unreadable or unverified */
    int32_t listed;           /* how many of them `sectors` holds, in disc order */
    int32_t sectors[CR_REPORT_SECTORS];
} CR_ReadReport;
CDRIP_API int32_t CR_GetReadReport(CR_ReadReport *report);

/* The sector the last failed CR_RipChunk could not read, -1 when none failed
 * since CR_OpenRipper. */
CDRIP_API int32_t CR_GetReadErrorSector(void);
/* Sectors cdparanoia had to repair (re-read or realign) since CR_OpenRipper. */
CDRIP_API int32_t CR_GetNumberOfJitterErrors(void);

/* The Q sub-channel of a drive, for the positions the table of contents does
 * not hold (INDEX 00, INDEX 02 and up) and the flags only the sub-channel may
 * carry. CR_OpenSubchannel opens drive `index` for CR_ReadSubchannelQ, apart
 * from the queries and the ripper (so a search may run on a thread of its
 * own), closing what was open: CR_ERR_FAILED for an image, which has no
 * sub-channel, or no such drive; CR_ERR_NO_DISC when the drive cannot be
 * opened. */
enum { CR_Q_BYTES = 16 };
CDRIP_API int32_t CR_OpenSubchannel(int32_t index);
/* The formatted Q (16 bytes each: CONTROL << 4 | ADR, track, index, relative
 * M:S:F, 0, absolute M:S:F, CRC big-endian, as the drive gives them,
 * unchecked) of `count` (1 .. 75) sectors from `sector`, read with their
 * audio (READ CD), into q. CR_ERR_READ when the drive fails the command,
 * CR_ERR_NOT_OPEN without CR_OpenSubchannel. */
CDRIP_API int32_t CR_ReadSubchannelQ(int32_t sector, int32_t count, uint8_t *q);
CDRIP_API int32_t CR_CloseSubchannel(void);
/* What a disc image says of track `track`'s indexes (a drive's are in its
 * sub-channel): positions[0] its INDEX 00 (-1 without one), positions[1]
 * its INDEX 01, then INDEX 02 and up, as the disc's sectors. Returns how
 * many it wrote (at most max), -1 for a drive, a track the image lacks or
 * an image that cannot be read. INDEX 00 comes from libcdio; INDEX 02 and up,
 * which libcdio drops, from the CUE sheet's own lines when it has one FILE. */
CDRIP_API int32_t CR_GetImageIndexes(int32_t index, int32_t track, int32_t *positions, int32_t max);
/* The active drive's media catalogue number (13 digits) and the ISRC of
 * track `track` (12 characters), as libcdio reads them from the disc (or the
 * sheet's CATALOG and ISRC lines): zero-terminated into text (at least 16
 * bytes). CR_ERR_FAILED when the disc carries none. */
enum { CR_CODE_TEXT_SIZE = 16 };
CDRIP_API int32_t CR_GetCatalog(char *text);
CDRIP_API int32_t CR_GetTrackIsrc(int32_t track, char *text);

#ifdef __cplusplus
}
#endif
