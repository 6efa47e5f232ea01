#pragma once

#include "libs/disclookup/disctoc.h"
#include "libs/disclookup/lookuperror.h"
#include "pipeline/cdripbinding.h"
#include "pipeline/trackchecksums.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <stdexcept>
#include <vector>

// The AccurateRip database of track checksums: a disc's ids, where its file
// lies, the file's records, and what they say about a ripped track. Pure
// logic, any thread.
namespace AccurateRip {

inline const QString DefaultServer = QStringLiteral("http://www.accuraterip.com");

// A disc's table of contents in frames counted with the lead-in, as the ids
// are computed from; and what a table no disc could have raises.
using Toc = DiscLookup::DiscToc;
using InvalidToc = DiscLookup::InvalidToc;

// The table the CD input reads from the drive (TCDIn::GetToc: every track,
// then the lead-out) as a Toc. With fewer than two entries there is no
// track, and the Toc is empty.
Toc tocOf(const std::vector<TTocEntry> &entries);

// The ids the database files a disc under. Only audio tracks count, but the
// lead-out is the disc's real end, after a data track that ends it.
struct DiscIds
{
    int audioTracks = 0;
    uint32_t id1 = 0;
    uint32_t id2 = 0;
    uint32_t cddb = 0;
};

// Throws InvalidToc for a table no disc could have, or one without audio
// tracks.
DiscIds discIds(const Toc &toc);

// "a/5/d/dBAR-012-0013bd5a-00b8d489-c60af50d.bin": the file's path under the
// server's "accuraterip/" folder.
QString filePath(const DiscIds &ids);
// The file's address on `server` ("http://host[:port]", a trailing '/' allowed).
QString fileUrl(const QString &server, const DiscIds &ids);

struct TrackEntry
{
    int confidence = 0;    // how many rips agreed on this checksum
    uint32_t checksum = 0; // v1 or v2, depending on the record's age
    uint32_t frame450Sum = 0;
};

struct Record
{
    DiscIds ids; // the header: track count and the three ids
    std::vector<TrackEntry> tracks;
};

// A database file that is not one: empty, cut short, an HTML page.
class MalformedFile : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Every record of a database file, in file order. Throws MalformedFile.
std::vector<Record> parseFile(const QByteArray &bytes);

// What the database says about one ripped track.
struct TrackVerdict
{
    enum Kind {
        Accurate,      // its v1 or v2 sum is in a record of this disc
        Mismatch,      // records of this disc exist, none holds its sums
        NotInDatabase, // the database has no record of this disc
        NotVerified,   // the database could not be asked or read
    };
    Kind kind = NotVerified;
    int confidence = 0;  // Accurate: the highest confidence among the matches
    int submissions = 0; // Mismatch: the confidences at this track summed
    bool v2 = false;     // Accurate: the match was a v2 sum
};

// The verdict for audio track `index` (0-based among the audio tracks) of the
// disc `ids` with the given sums, from the records of the disc's file.
TrackVerdict verdictFor(const std::vector<Record> &records,
                        const DiscIds &ids,
                        int index,
                        const TTrackChecksums &sums);

// The verdict in words, as "accurately ripped (confidence 12)". `reason`
// completes a NotVerified verdict.
QString verdictText(const TrackVerdict &verdict, const QString &reason = QString());

// The memo line of a track, as "Track 3: CRC32 1A2B3C4D, accurately ripped
// (confidence 12)".
QString verdictLine(int trackNumber,
                    const TTrackChecksums &sums,
                    const TrackVerdict &verdict,
                    const QString &reason = QString());

// The line after the last track's: how many of `verdicts` were accurate, and
// what the others were.
QString summaryLine(const std::vector<TrackVerdict> &verdicts, const QString &reason = QString());

// Eight upper-case hex digits.
QString hex8(uint32_t value);

} // namespace AccurateRip
