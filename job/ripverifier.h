#pragma once

#include "job/ripreport.h"
#include "lookup/accuraterip.h"
#include "lookup/accurateriplookup.h"
#include "pipeline/trackchecksums.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <optional>
#include <vector>

// The checksums and AccurateRip verdicts of one rip job. The job asks it for
// a tap before each read of a track starts (to set as the CD input's tap;
// a track read again gets a new one, and the last read is the one judged),
// tells it when the track is finished, and shows the lines it sends. The
// database is asked once, when the job starts; a verdict whose answer has
// not come yet waits for it, in track order.
//
// Window thread; the taps are fed on the reading worker between BeginTrack
// and EndTrack.
class TRipVerifier : public QObject
{
    Q_OBJECT

public:
    // toc: the disc's whole table of contents, its real lead-out included.
    // verify: ask AccurateRip; without it no verdict or summary line is sent.
    TRipVerifier(const AccurateRip::Toc &toc,
                 bool verify,
                 const TAccurateRipSettings &settings,
                 QObject *parent = nullptr);
    ~TRipVerifier() override;

    // Starts the lookup (with verify). A table the disc ids cannot be had
    // from makes every verdict "not verified" with the reason.
    void Start();

    // The tap for audio track `trackNumber`, whose read is about to start.
    // Stays valid until this object goes. Throws std::invalid_argument for a
    // track that is not an audio track of the table.
    TTrackChecksummer &BeginTrack(int trackNumber);
    // BeginTrack's tap, or null for a track the table does not list as audio,
    // which so gets no checksums and no verdict but "not verified".
    TTrackChecksummer *TapFor(int trackNumber);
    // The sums of the track's read that ended last; none when it did not
    // deliver every sample.
    std::optional<TTrackChecksums> ReadSums(int trackNumber) const;
    // The verdict on those sums; none until the database has answered.
    std::optional<AccurateRip::TrackVerdict> Check(int trackNumber) const;
    bool Answered() const { return m_answered; }
    // The track is finished; its verdict line follows (at once or when the
    // answer comes). A track whose read did not deliver every sample, or
    // that failed, gets no checksums and is never called accurate.
    void EndTrack(int trackNumber, bool failed = false);
    // No more tracks: the summary line follows the last verdict, then Done.
    void Finish();
    bool IsDone() const { return m_done; }

    // What the log needs, once Done: per finished track its sums (none when
    // incomplete) and verdict line (empty without verify), and the disc's
    // ids ("012-0013bd5a-00b8d489-c60af50d", empty when the table gives none).
    std::optional<TTrackChecksums> Sums(int trackNumber) const;
    QString Verdict(int trackNumber) const;
    QString AccurateRipIds() const;
    // All three into the summary's finished and failed tracks.
    void FillSummary(RipSummary &summary) const;

Q_SIGNALS:
    void MemoLine(const QString &line);
    // The database's answer is in (also when it could not be had).
    void Answer();
    void Done();

private:
    struct Track;

    void lookupFinished();
    void flush();
    // Sets the track's verdict and its line.
    void decide(Track &track);
    // The verdict on `sums` of that track, with the reason of one not given.
    AccurateRip::TrackVerdict verdictOf(const Track &track,
                                        const std::optional<TTrackChecksums> &sums,
                                        QString &reason) const;

    AccurateRip::Toc m_toc;
    bool m_verify;
    TAccurateRipSettings m_settings;
    std::optional<AccurateRip::DiscIds> m_ids;
    QString m_idsError;
    TAccurateRipLookup m_lookup;
    bool m_answered = false;
    std::map<int, std::unique_ptr<Track>> m_tracks;
    std::vector<int> m_waiting; // finished tracks whose line is not out yet
    std::vector<AccurateRip::TrackVerdict> m_verdicts;
    bool m_finishing = false;
    bool m_done = false;
};
