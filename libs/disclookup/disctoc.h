#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace DiscLookup {

// Frames are CD sectors counted from the start of the disc, lead-in included
// (frame = logical block address + 150).
constexpr uint32_t LeadInFrames = 150;
constexpr uint32_t FramesPerSecond = 75;

struct TocTrack
{
    int number = 0;          // 1..99
    uint32_t startFrame = 0; // INDEX 01
    bool data = false;
};

// A disc's full table of contents, data tracks included.
struct DiscToc
{
    std::vector<TocTrack> tracks;
    uint32_t leadOutFrame = 0; // the real lead-out (after a data session)
    // The audio session's lead-out when the drive reports a later session
    // (an Enhanced CD): where the track before that session ends. 0 when
    // not known, and on a disc of one session.
    uint32_t sessionEndFrame = 0;

    // "N frame1 ... frameN leadout": the disc's key in the disc library.
    std::string key() const;
};

// The part of a disc MusicBrainz identifies: every track but a data track at
// the end (a second session), whose lead-out is then that track's start less
// the 11400-sector session gap.
struct AudioSession
{
    int first = 0;
    int last = 0;
    uint32_t leadOutFrame = 0;
    std::vector<uint32_t> offsets; // start frames of tracks first..last

    int trackCount() const { return last - first + 1; }
};

// Throws InvalidToc (a std::runtime_error) for a table that is not a disc's:
// no tracks, track numbers outside 1..99 or not consecutive, start frames
// out of order or past the lead-out.
void checkToc(const DiscToc &toc);

// The CDDB id of the full table as eight lower-case hex digits. Throws
// InvalidToc.
std::string cddbId(const DiscToc &toc);

// The audio session of the table. Throws InvalidToc when the disc has no
// audio session MusicBrainz could know (a lone data track, or a session gap
// that does not fit before the data track).
AudioSession audioSession(const DiscToc &toc);

// The MusicBrainz disc id (28 characters), computed by libdiscid. Throws
// InvalidToc for a lead-out past 405000 frames (90 minutes), or with
// libdiscid's reason when it refuses the session.
std::string musicBrainzId(const AudioSession &session);

// The id and the address at which MusicBrainz takes the disc's table of
// contents for a new or an existing release (libdiscid's submission URL).
// Throws as musicBrainzId.
struct MusicBrainzDisc
{
    std::string id;
    std::string submissionUrl;
};
MusicBrainzDisc musicBrainzDisc(const AudioSession &session);

} // namespace DiscLookup
