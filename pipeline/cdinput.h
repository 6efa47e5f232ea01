#pragma once

#include "pipeline/cdripbinding.h"
#include "pipeline/cdtime.h"
#include "pipeline/pcminput.h"
#include "pipeline/pcmtap.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

enum TTrackKind : uint8_t { ctAudio = 0, ctData = 1 };

// A track's length and kind.
struct TTrackEntryInfo
{
    TTrackTime Length;
    TTrackKind TrackKind = ctAudio;
};

static_assert(sizeof(TTrackEntryInfo) == 4, "three bytes of time and one of kind");

// The kind a table-of-contents flag byte gives: data only when the control
// nibble's data bit (0x04) is set, so copy-permitted (0x12) and pre-emphasised
// (0x11) audio stay audio.
TTrackKind TrackKindOfFlag(uint8_t flag);

// What the read of one track met, as the CD input reports it once the read
// has ended: the positions count from the track's start.
struct TTrackReadResult
{
    int32_t Track = 0;
    bool Verified = false;     // cdparanoia checked every audio sector
    int32_t Corrected = 0;     // sectors re-read or realigned, and then right
    int32_t Uncorrectable = 0; // sectors that could not be read or verified
    QStringList Positions;     // "01:23:45" of the first uncorrectable ones
    // Samples the offset moved beyond the disc's first or last sector that
    // the drive would not read (an image never does): silence in their place.
    int32_t SilencedSamples = 0;

    // "read cleanly", "read, 4 positions re-read" or "read with 2
    // uncorrectable errors at 01:23:45, 02:00:10", and what was silenced;
    // Line() with "Track 3: ".
    QString Text() const;
    QString Line() const;
};

enum TDriveStatus { dsNotReady = 0, dsReady = 1, dsPlaying = 2 };

// The read offsets a drive may be corrected by, in stereo samples.
inline constexpr int32_t MinReadOffset = -3000;
inline constexpr int32_t MaxReadOffset = 3000;

// Raised by construction when the CD ripping library cannot be loaded.
inline constexpr const char *CDRipMissingMessage = "libcdrip.so could not be loaded.";

// The source of the pipeline that reads whole tracks StartTrack .. EndTrack
// of the disc in drive CurrentDrive through libcdrip, as 16-bit stereo PCM at
// 44100 Hz, and answers the window's questions about drives and discs.
//
// Threads: ReadData runs on the worker of the sink reading the input; every
// other operation on the GUI thread. The library keeps a rip apart from the
// queries, so the window may ask about drives during a rip. EndRead may come
// from either thread.
class TCDIn : public TPcmInput
{
public:
    // Loads the library and rewrites its settings file in the program's data
    // folder (created when missing); raises CDRipMissingMessage when the
    // library cannot be loaded.
    explicit TCDIn(QObject *owner = nullptr, const QString &name = {});
    ~TCDIn() override;

    int32_t GetBitsPerSample() override { return 16; }
    int32_t GetChannels() override { return 2; }
    int32_t GetSampleRate() override { return 44100; }

    int32_t ReadData(void *buffer, int32_t size) override;
    void BeginRead() override;
    void EndRead() override;
    // The chunk being read ends within one read command of the drive, and
    // the data with it (cdparanoia's read-ahead takes seconds on a slow
    // drive, longer than a Cancel may wait).
    void AbortRead() override;

    int32_t GetDriveCount();
    // The drive's identification, or an image's file name.
    QString GetDriveName();
    // The drive's vendor and model as its INQUIRY data gives them (padded
    // with spaces); empty for an image.
    struct TDriveInquiry
    {
        QString Vendor;
        QString Model;
    };
    TDriveInquiry GetDriveInquiry();
    // The current drive's CD-Text as the disc carries it (raw packs, or an
    // image's CUE sheet); both empty when it has none.
    CDRip::CdTextBytes GetCDText();
    TDriveStatus GetDriveStatus();
    // Reads the table of contents again; -1 when it cannot be read.
    int32_t GetTrackCount();
    // Raises "Track out of range." outside 1 .. GetTrackCount().
    TTrackEntryInfo GetTrackInfo(int32_t track);
    // The table of contents read again: tracks 1 .. n, then the lead-out;
    // empty when it cannot be read.
    std::vector<TTocEntry> GetToc();
    // The disc's media catalogue number and a track's ISRC, empty when it
    // carries none.
    QString GetCatalog();
    QString GetTrackIsrc(int32_t track);

    // Raise "The component is buisy" during a read.
    void EjectDisc();
    void CloseDiscTray();
    // Asks CurrentDrive to read at `speed` CD speed units, 0 for its fastest.
    // False when the drive refused and keeps its speed; an image takes any.
    bool SetReadSpeed(int32_t speed);

    int32_t CurrentDrive() const { return m_currentDrive; }
    // Ignores an index that is not a drive.
    void SetCurrentDrive(int32_t value);
    int32_t StartTrack() const { return m_startTrack; }
    void SetStartTrack(int32_t value);
    int32_t EndTrack() const { return m_endTrack; }
    void SetEndTrack(int32_t value);

    // From the next BeginRead on, the disc's sectors [first, end) instead of
    // whole tracks, while the tap sees sectors [tapFirst, tapEnd) (the
    // track's own, for its checksums; those outside the delivered ones are
    // read besides and not delivered). Set*Track goes back to whole tracks.
    // Raises "The component is buisy" during a read.
    void SetSectorRange(int64_t first, int64_t end, int64_t tapFirst, int64_t tapEnd);

    // The drive's read offset in stereo samples: sample i of what the input
    // delivers is sample i + ReadOffset of what the drive reads. Samples
    // before the disc's first sector or after its last are read from the
    // drive's lead-in or lead-out side where it gives them, and are silence
    // where it does not (see TTrackReadResult::SilencedSamples); samples of
    // a data track beyond the audio are silence.
    // Ignores a value outside MinReadOffset .. MaxReadOffset; raises "The
    // component is buisy" during a read.
    int32_t ReadOffset() const { return m_readOffset; }
    void SetReadOffset(int32_t value);
    // Sectors read beyond both ends of the tracks asked for, 0 .. 75: a scan
    // of read offsets sees the audio around the tracks. What lies outside
    // the disc's audio is silence, as for the offset. Ignores other values;
    // raises "The component is buisy" during a read.
    int32_t ReadMargin() const { return m_readMargin; }
    void SetReadMargin(int32_t sectors);
    // Sees every byte ReadData delivers, on the reader's thread; nullptr for
    // none. Raises "The component is buisy" during a read.
    TPcmTap *Tap() const { return m_tap; }
    void SetTap(TPcmTap *tap);

    // What the last read met, up to where it got; after the read ended (the
    // sink's done or failure), or from the sink's own thread.
    TTrackReadResult LastReadResult() const;

    // A read goes on past up to this many bad sectors, so that the track's
    // result can list them, and then fails with that result as its message
    // instead of handing over its last chunk: audio with bad sectors never
    // reaches the end of a file. One more ends the read at once.
    static constexpr int32_t ReadThroughSectors = 75;

    // The program's data folder, where cdr.ini lives; ends in '/'.
    static QString SettingsFolder();

private:
    class DriveHold;

    void AcquireDrive();
    void ReleaseDrive();
    // Sector range of the positions from the table of contents last read.
    void rangeSectors(int64_t &start, int64_t &end) const;
    // Refills RipBuffer from what is left of the read: leading silence, the
    // library's sectors, trailing silence; ChunkEnd 0 at the end.
    void nextChunk();
    [[noreturn]] void throwReadError();
    // The bytes [from, to) of the drive's sectors beyond the disc's ends
    // (negative positions, or from the lead-out on); empty when refused.
    std::vector<uint8_t> readOutside(int64_t from, int64_t to);
    // Takes the library's report of the open read into m_result.
    void updateResult();
    // The track holding a disc sector and the position in it ("01:23:45").
    QString positionOf(int64_t sector, int32_t &track) const;

    static constexpr int32_t RipBufferSize = 176400; // 75 sectors, one second

    // Which thread owns what: the drive bracket (count and the library's
    // active drive) is taken from both threads (EndRead), hence the mutex;
    // the properties and positions belong to the GUI thread; RipBuffer, the
    // chunk counters and the table copy are the reader's while busy.
    std::mutex m_driveMutex;
    int32_t m_openCount = 0;
    int32_t m_heldDrive = 0; // CurrentDrive when the count left 0
    int32_t m_currentDrive = 0;
    int32_t m_startTrack = 0;
    int32_t m_endTrack = 0;
    int32_t m_readOffset = 0;
    int32_t m_readMargin = 0;
    // SetSectorRange's, while set; and for the open read, the bytes of its
    // stream (read offset applied) delivered and tapped, and how far it got.
    bool m_rangeSet = false;
    int64_t m_rangeFirst = 0;
    int64_t m_rangeEnd = 0;
    int64_t m_tapFirst = 0;
    int64_t m_tapEnd = 0;
    int64_t m_deliverFrom = 0;
    int64_t m_deliverTo = 0;
    int64_t m_tapFrom = 0;
    int64_t m_tapTo = 0;
    int64_t m_streamPos = 0;
    std::atomic<TPcmTap *> m_tap{nullptr};
    TTrackPosition m_startPosition;
    TTrackPosition m_endPosition;
    int32_t m_ripSize = 0;
    int64_t m_ripStartSector = 0;
    // What the open read still owes, in bytes: silence before the drive's
    // data, bytes of the first sector the offset skips, the drive's data,
    // silence after it.
    int64_t m_leadSilence = 0;
    int64_t m_skipBytes = 0;
    int64_t m_rawLeft = 0;
    int64_t m_tailSilence = 0;
    // What stands in the place of the lead and tail silence: the drive's
    // sectors beyond the disc's ends, or nothing (zeros).
    std::vector<uint8_t> m_leadBytes;
    std::vector<uint8_t> m_tailBytes;
    // The library watches it during a chunk; set from any thread, so only
    // through atomic builtins (the library's interface takes an int32_t *).
    int32_t m_abort = 0;
    std::vector<TTocEntry> m_toc; // copy taken at BeginRead, for error positions
    std::array<uint8_t, RipBufferSize> RipBuffer{};
    int32_t m_bufferSize = RipBufferSize;
    mutable std::mutex m_resultMutex;
    TTrackReadResult m_result;
};
