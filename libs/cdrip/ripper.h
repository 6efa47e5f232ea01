#pragma once

#include "libs/cdrip/disc.h"

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

namespace CdRip {

// One open read of a sector range, with its own handles, so that queries on
// the same drive from another thread never share libcdio state with it.
//
// Audio sectors go through cdparanoia when it is on; data sectors always go
// straight to the drive, as cdparanoia cannot verify them. Either way a
// sector that cannot be read ends the rip with its position, so that a
// damaged chunk is never delivered, unless the rip reads through up to a
// number of such sectors, which it then lists. Audio comes out
// little-endian whatever order the image stores it in.
class Ripper
{
public:
    // Null and an error code (CR_ERR_*) when the drive, its table of contents
    // or the range is not usable.
    static std::unique_ptr<Ripper> open(const Drive &drive,
                                        bool paranoia,
                                        int32_t startSector,
                                        int32_t endSector,
                                        int32_t chunkSectors,
                                        int32_t badSectorLimit,
                                        int32_t &error);

    Ripper(const Ripper &) = delete;
    Ripper &operator=(const Ripper &) = delete;

    // Up to chunkSectors sectors into buffer; *numBytes 0 at the end. A
    // non-zero *abort, also one another thread writes during the call, ends
    // the chunk within one read command of the drive, delivering nothing
    // (CR_OK, *numBytes 0): a cancelled rip must not wait for cdparanoia's
    // read-ahead, which takes seconds on a slow drive.
    int32_t ripChunk(uint8_t *buffer, int32_t *numBytes, const int32_t *abort);

    int32_t errorSector() const { return m_errorSector; }
    int32_t jitterErrors() const { return m_jitterErrors; }
    void report(CR_ReadReport &report) const;

private:
    Ripper() = default;

    // [from, to) of one track kind into out; false with m_errorSector set.
    // `audio` sectors of a big-endian image are turned little-endian.
    bool readDirect(lsn_t from, lsn_t to, uint8_t *out, bool audio);
    bool readParanoia(lsn_t from, lsn_t to, uint8_t *out);
    // One sector, a short read of an image counting as a failure.
    bool readSector(lsn_t sector, uint8_t *out);
    bool failAt(lsn_t sector);
    // A sector delivered as it came, or as silence; false once there are
    // more than the rip reads through.
    bool markBad(lsn_t sector);
    bool aborted() const;
    // cdparanoia's drive read, refusing once the chunk is aborted.
    static long abortableRead(cdrom_drive_t *drive, void *buffer, lsn_t begin, long sectors);
    // End of the run of sectors of the same kind starting at `sector`.
    lsn_t runEnd(lsn_t sector, lsn_t limit, bool &data) const;

    // Declared in this order so that they are freed paranoia first.
    CdIoPtr m_cdio;
    CddaPtr m_cdda;
    ParanoiaPtr m_paranoia;

    Toc m_toc;
    bool m_image = false;
    bool m_bigEndian = false; // the image stores its audio samples big-endian
    GeneratedGaps m_gaps;     // a CUE sheet's PREGAP silence, read as zeros
    lsn_t m_start = 0;
    lsn_t m_next = 0;
    lsn_t m_end = 0;
    int32_t m_chunkSectors = 0;
    lsn_t m_paranoiaCursor = -1;       // next sector cdparanoia returns; -1: seek first
    std::vector<lsn_t> m_pendingSkips; // unverifiable sectors cdparanoia met while reading ahead
    int32_t m_errorSector = -1;
    int32_t m_jitterErrors = 0;
    int32_t m_badSectorLimit = 0;
    std::set<lsn_t> m_badSectors;
    std::set<lsn_t> m_correctedSectors; // where cdparanoia repaired or retried
    const int32_t *m_abort = nullptr;   // during ripChunk
};

} // namespace CdRip
