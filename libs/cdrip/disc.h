#pragma once

#include "libs/cdrip/cdrip.h"

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

// libcdio's handles, each with its one owner, and what the library knows of a
// drive and its disc. Internal to libcdrip; its C headers stay in here.
namespace CdRip {

struct CdIoDeleter
{
    void operator()(CdIo_t *cdio) const { cdio_destroy(cdio); }
};
using CdIoPtr = std::unique_ptr<CdIo_t, CdIoDeleter>;

// The cdparanoia drive borrows the CdIo_t; it must go before it does.
struct CddaDeleter
{
    void operator()(cdrom_drive_t *drive) const { cdio_cddap_close_no_free_cdio(drive); }
};
using CddaPtr = std::unique_ptr<cdrom_drive_t, CddaDeleter>;

struct ParanoiaDeleter
{
    void operator()(cdrom_paranoia_t *paranoia) const { cdio_paranoia_free(paranoia); }
};
using ParanoiaPtr = std::unique_ptr<cdrom_paranoia_t, ParanoiaDeleter>;

struct Drive
{
    std::string source; // device node or image path
    bool image = false;
    std::string name; // "vendor model revision", or the image's file name
    // A drive's INQUIRY vendor and model as it gave them (padded with
    // spaces, as drives do); empty for an image.
    std::string vendor;
    std::string model;
};

// The machine's CD drives (libcdio's device list), then the images.
std::vector<Drive> listDrives(const std::vector<std::string> &images);

// The drive list of a settings file (see CR_Init): the machine's drives,
// then the file's images, one named without a folder found beside the file.
// `settings` gets the rest of the file; false when it cannot be read (the
// machine's drives are listed all the same).
struct Settings;
bool drivesFromSettings(const char *settingsPath, Settings &settings, std::vector<Drive> &drives);

// Opens a drive; null when libcdio cannot (no device, unreadable image).
// An image whose sheet or data file is not a regular file (a folder, a FIFO,
// a device) is not opened: reading it would fail or wait for ever.
CdIoPtr openDrive(const Drive &drive);

// Whether the drive's audio comes in big-endian samples: only a CUE sheet
// whose FILE is MOTOROLA says so. A BINARY file, and any drive (as MMC
// defines CD audio), is little-endian.
bool audioIsBigEndian(const Drive &drive);

// Tracks then the lead-out, as CR_GetTocEntry returns them, and where each
// track ends (CR_GetTrackEnd).
struct Toc
{
    std::vector<CR_TocEntry> entries;
    std::vector<uint32_t> ends; // per track
    int trackCount() const { return entries.empty() ? 0 : int(entries.size()) - 1; }
    bool isData(size_t entry) const { return (entries[entry].flags & CR_CONTROL_DATA) != 0; }
};

// False when the disc has no readable table of contents, or one with an
// empty track (a start not after the one before, a lead-out not after the
// last start): such a disc has no track anybody could read. A drive's disc
// with a later session (an Enhanced CD) has the track before that session
// end at the audio session's lead-out: see CR_GetTrackEnd.
bool readToc(CdIo_t *cdio, Toc &toc);

// A CUE sheet's PREGAP lines: silence generated before a track's INDEX 01
// that no file holds and libcdio leaves out of every position. Per track
// number, in sectors; empty for any other image and for a drive.
using GeneratedGaps = std::map<int, uint32_t>;
GeneratedGaps cuePregaps(const Drive &drive);

// readToc, with every track of an image after a generated gap moved on by
// it, the lead-out by all of them: the positions of the disc the sheet
// describes, which its ids are made of.
bool readDiscToc(const Drive &drive, CdIo_t *cdio, Toc &toc);

// Where sector `sector` of such a disc (toc as readDiscToc gives it) lies
// in the image; -1 inside a generated gap, which reads as silence.
lsn_t imageSectorOf(const Toc &toc, const GeneratedGaps &gaps, lsn_t sector);

// INDEX 02 and up of a track of a CUE sheet with one FILE, whose times are
// then the disc's sectors (libcdio keeps none of them); empty for any other
// image or sheet.
std::vector<uint32_t> cueSubIndexes(const Drive &drive, int track);

} // namespace CdRip
