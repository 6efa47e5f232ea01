#include "job/ripverifier.h"

#include <stdexcept>

struct TRipVerifier::Track
{
    int number = 0;
    int audioIndex = 0; // among the disc's audio tracks, from 0
    TTrackChecksummer sums;
    bool finished = false;
    bool failed = false;
    std::optional<TTrackChecksums> result;
    AccurateRip::TrackVerdict verdict;
    QString verdictText; // "accurately ripped (confidence 12)"
    QString memoLine;

    Track(int n, int index, uint32_t samples, TTrackPlace place)
        : number(n)
        , audioIndex(index)
        , sums(samples, place)
    {}
};

TRipVerifier::TRipVerifier(const AccurateRip::Toc &toc,
                           bool verify,
                           const TAccurateRipSettings &settings,
                           QObject *parent)
    : QObject(parent)
    , m_toc(toc)
    , m_verify(verify)
    , m_settings(settings)
    , m_lookup(this)
{
    setObjectName(QStringLiteral("RipVerifier"));
    try {
        m_ids = AccurateRip::discIds(toc);
    } catch (const AccurateRip::InvalidToc &e) {
        m_idsError = QStringLiteral("no AccurateRip disc id: %1").arg(QString::fromUtf8(e.what()));
    }
    connect(&m_lookup, &TAccurateRipLookup::Finished, this, &TRipVerifier::lookupFinished);
}

TRipVerifier::~TRipVerifier() = default;

void TRipVerifier::Start()
{
    if (m_verify && m_ids)
        m_lookup.Start(*m_ids, m_settings);
    else
        m_answered = true;
}

TTrackChecksummer &TRipVerifier::BeginTrack(int trackNumber)
{
    // The track's place among the audio tracks and its length as the CD
    // input reads it: up to the next entry of the table, or to the audio
    // session's lead-out before a later session.
    int audioIndex = -1;
    int audioCount = 0;
    uint32_t samples = 0;
    const auto &tracks = m_toc.tracks;
    for (size_t i = 0; i < tracks.size(); ++i) {
        if (tracks[i].data)
            continue;
        if (tracks[i].number == trackNumber) {
            audioIndex = audioCount;
            uint32_t end = i + 1 < tracks.size() ? tracks[i + 1].startFrame : m_toc.leadOutFrame;
            const uint32_t sessionEnd = m_toc.sessionEndFrame;
            if (sessionEnd > tracks[i].startFrame && sessionEnd < end)
                end = sessionEnd;
            samples = (end - tracks[i].startFrame) * 588;
        }
        ++audioCount;
    }
    if (audioIndex < 0)
        throw std::invalid_argument("not an audio track of the disc");
    const TTrackPlace place{audioIndex == 0, audioIndex == audioCount - 1};
    auto &slot = m_tracks[trackNumber];
    slot = std::make_unique<Track>(trackNumber, audioIndex, samples, place);
    return slot->sums;
}

TTrackChecksummer *TRipVerifier::TapFor(int trackNumber)
{
    try {
        return &BeginTrack(trackNumber);
    } catch (const std::invalid_argument &) {
        return nullptr;
    }
}

std::optional<TTrackChecksums> TRipVerifier::ReadSums(int trackNumber) const
{
    const auto it = m_tracks.find(trackNumber);
    if (it == m_tracks.end() || !it->second->sums.Complete())
        return std::nullopt;
    return it->second->sums.Result();
}

std::optional<AccurateRip::TrackVerdict> TRipVerifier::Check(int trackNumber) const
{
    const auto it = m_tracks.find(trackNumber);
    if (!m_answered || it == m_tracks.end())
        return std::nullopt;
    QString reason;
    return verdictOf(*it->second, ReadSums(trackNumber), reason);
}

void TRipVerifier::EndTrack(int trackNumber, bool failed)
{
    auto it = m_tracks.find(trackNumber);
    if (it == m_tracks.end() || it->second->finished)
        return;
    Track &track = *it->second;
    track.finished = true;
    track.failed = failed;
    if (!failed && track.sums.Complete())
        track.result = track.sums.Result();
    m_waiting.push_back(trackNumber);
    flush();
}

void TRipVerifier::Finish()
{
    m_finishing = true;
    flush();
}

void TRipVerifier::lookupFinished()
{
    m_answered = true;
    Q_EMIT Answer();
    flush();
}

void TRipVerifier::flush()
{
    if (!m_answered || m_done)
        return;
    for (int number : m_waiting) {
        Track &track = *m_tracks.at(number);
        decide(track);
        if (m_verify)
            Q_EMIT MemoLine(track.memoLine);
    }
    m_waiting.clear();
    if (!m_finishing)
        return;
    m_done = true;
    if (m_verify && !m_verdicts.empty())
        Q_EMIT MemoLine(AccurateRip::summaryLine(m_verdicts, m_lookup.Outcome().reason));
    Q_EMIT Done();
}

AccurateRip::TrackVerdict TRipVerifier::verdictOf(const Track &track,
                                                  const std::optional<TTrackChecksums> &sums,
                                                  QString &reason) const
{
    using AccurateRip::TrackVerdict;
    TrackVerdict verdict;
    if (track.failed) {
        reason = QStringLiteral("the track failed");
    } else if (!sums) {
        reason = QStringLiteral("the track was not read to its end");
    } else if (!m_ids) {
        reason = m_idsError;
    } else {
        const TAccurateRipOutcome &outcome = m_lookup.Outcome();
        switch (outcome.kind) {
        case TAccurateRipOutcome::Found:
            verdict = AccurateRip::verdictFor(outcome.records, *m_ids, track.audioIndex, *sums);
            break;
        case TAccurateRipOutcome::NotInDatabase:
            verdict.kind = TrackVerdict::NotInDatabase;
            break;
        case TAccurateRipOutcome::Failed:
            reason = outcome.reason;
            break;
        }
    }
    return verdict;
}

void TRipVerifier::decide(Track &track)
{
    if (!m_verify)
        return;
    QString reason;
    track.verdict = verdictOf(track, track.result, reason);
    m_verdicts.push_back(track.verdict);
    track.verdictText = AccurateRip::verdictText(track.verdict, reason);
    track.memoLine = track.result
                         ? AccurateRip::verdictLine(track.number,
                                                    *track.result,
                                                    track.verdict,
                                                    reason)
                         : QStringLiteral("Track %1: %2").arg(track.number).arg(track.verdictText);
}

std::optional<TTrackChecksums> TRipVerifier::Sums(int trackNumber) const
{
    const auto it = m_tracks.find(trackNumber);
    return it == m_tracks.end() ? std::nullopt : it->second->result;
}

QString TRipVerifier::Verdict(int trackNumber) const
{
    const auto it = m_tracks.find(trackNumber);
    return it == m_tracks.end() ? QString() : it->second->verdictText;
}

QString TRipVerifier::AccurateRipIds() const
{
    if (!m_ids)
        return QString();
    return AccurateRip::filePath(*m_ids).section(QLatin1Char('/'), 3).mid(5).chopped(4);
}

void TRipVerifier::FillSummary(RipSummary &summary) const
{
    for (auto *tracks : {&summary.tracks, &summary.failedTracks}) {
        for (RipSummaryTrack &track : *tracks) {
            track.sums = Sums(track.record.Number);
            track.verdict = Verdict(track.record.Number);
        }
    }
    summary.accurateRipIds = AccurateRipIds();
}
