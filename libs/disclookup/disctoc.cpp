#include "libs/disclookup/disctoc.h"

#include "libs/disclookup/lookuperror.h"

#include <discid/discid.h>

#include <array>
#include <cstdio>
#include <memory>

namespace DiscLookup {

namespace {

constexpr uint32_t MaxLeadOutFrames = 405000; // 90 minutes, libdiscid's bound
constexpr uint32_t SessionGapFrames = 11400;

int digitSum(uint32_t n)
{
    int sum = 0;
    for (; n > 0; n /= 10)
        sum += int(n % 10);
    return sum;
}

struct DiscIdDeleter
{
    void operator()(DiscId *d) const { discid_free(d); }
};

} // namespace

std::string DiscToc::key() const
{
    std::string text = std::to_string(tracks.size());
    for (const TocTrack &t : tracks)
        text += ' ' + std::to_string(t.startFrame);
    return text + ' ' + std::to_string(leadOutFrame);
}

void checkToc(const DiscToc &toc)
{
    if (toc.tracks.empty())
        throw InvalidToc("the disc has no tracks");
    for (size_t i = 0; i < toc.tracks.size(); ++i) {
        const TocTrack &t = toc.tracks[i];
        if (t.number < 1 || t.number > 99 || (i > 0 && t.number != toc.tracks[i - 1].number + 1))
            throw InvalidToc("track numbers are not 1 to 99 in order");
        if (t.startFrame < LeadInFrames || (i > 0 && t.startFrame <= toc.tracks[i - 1].startFrame))
            throw InvalidToc("track starts are out of order");
    }
    if (toc.leadOutFrame <= toc.tracks.back().startFrame)
        throw InvalidToc("a track starts past the lead-out");
}

std::string cddbId(const DiscToc &toc)
{
    checkToc(toc);
    int n = 0;
    for (const TocTrack &t : toc.tracks)
        n += digitSum(t.startFrame / FramesPerSecond);
    const uint32_t seconds = toc.leadOutFrame / FramesPerSecond
                             - toc.tracks.front().startFrame / FramesPerSecond;
    const uint32_t id = (uint32_t(n % 255) << 24) | (seconds << 8) | uint32_t(toc.tracks.size());
    std::array<char, 9> text{};
    std::snprintf(text.data(), text.size(), "%08x", id);
    return text.data();
}

AudioSession audioSession(const DiscToc &toc)
{
    checkToc(toc);
    AudioSession session;
    session.first = toc.tracks.front().number;
    session.last = toc.tracks.back().number;
    session.leadOutFrame = toc.leadOutFrame;
    std::vector<TocTrack> tracks = toc.tracks;
    if (tracks.back().data) {
        if (tracks.size() == 1)
            throw InvalidToc("the disc has no audio tracks");
        if (tracks.back().startFrame <= SessionGapFrames + tracks[tracks.size() - 2].startFrame)
            throw InvalidToc("the data session leaves no room for the session gap");
        session.leadOutFrame = tracks.back().startFrame - SessionGapFrames;
        tracks.pop_back();
        session.last = tracks.back().number;
    }
    for (const TocTrack &t : tracks)
        session.offsets.push_back(t.startFrame);
    return session;
}

std::string musicBrainzId(const AudioSession &session)
{
    return musicBrainzDisc(session).id;
}

MusicBrainzDisc musicBrainzDisc(const AudioSession &session)
{
    std::unique_ptr<DiscId, DiscIdDeleter> disc(discid_new());
    if (!disc)
        throw std::bad_alloc();
    std::array<int, 100> offsets{};
    offsets[0] = int(session.leadOutFrame);
    if (session.first < 1 || session.last > 99
        || session.trackCount() != int(session.offsets.size()))
        throw InvalidToc("track numbers are not 1 to 99 in order");
    if (session.leadOutFrame > MaxLeadOutFrames)
        throw InvalidToc("the lead-out lies past 90 minutes");
    for (size_t i = 0; i < session.offsets.size(); ++i)
        offsets[size_t(session.first) + i] = int(session.offsets[i]);
    if (!discid_put(disc.get(), session.first, session.last, offsets.data()))
        throw InvalidToc(discid_get_error_msg(disc.get()));
    return {discid_get_id(disc.get()), discid_get_submission_url(disc.get())};
}

} // namespace DiscLookup
