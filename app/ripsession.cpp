#include "app/ripsession.h"

#include "app/choicelists.h"
#include "app/discmodel.h"
#include "app/settings.h"
#include "job/outputnaming.h"
#include "job/progressview.h"
#include "job/ripjob.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

OutputNaming::DiscValues discValues(const RipChoices &choices)
{
    // A typed text that spells a list item is that item, as it is for the tags.
    const bool listed = choices.genreListed || ChoiceLists::genres().contains(choices.genre);
    return {choices.album,
            choices.year,
            choices.genre,
            listed,
            choices.outputFolder,
            choices.albumArtist.isEmpty() ? choices.artist : choices.albumArtist,
            choices.discNumber,
            choices.discTotal};
}

// A row without an artist of its own is by the disc's artist; rows with one
// (a disc of several artists) keep theirs.
QString artistOf(const RipChoices &choices, const DiscTrack &track)
{
    return track.artist.isEmpty() ? choices.artist : track.artist;
}

// The row's tags beyond the design's, with the album artist and the disc of
// the set as the window shows them.
AudioConvertLib::TReleaseTags releaseTags(const RipChoices &choices, const DiscModel &disc, int row)
{
    AudioConvertLib::TReleaseTags tags = disc.releaseTagsOf(row);
    tags.albumArtist = choices.albumArtist;
    tags.discNumber = choices.discNumber.trimmed().toInt();
    tags.discTotal = tags.discNumber > 0 ? choices.discTotal.trimmed().toInt() : 0;
    if (!choices.writeMusicBrainzIds) {
        tags.releaseId.clear();
        tags.releaseGroupId.clear();
        tags.recordingId.clear();
        tags.releaseTrackId.clear();
        tags.discId.clear();
        tags.artistIds.clear();
        tags.albumArtistIds.clear();
    }
    return tags;
}

} // namespace

RipSession::RipSession(DiscModel &disc, TRipJob &job, SettingsStore &settings, SpeedRequest speed)
    : m_disc(disc)
    , m_job(job)
    , m_settings(settings)
    , m_speed(std::move(speed))
{}

QString RipSession::outputName(const RipChoices &choices,
                               const QString &templ,
                               const QString &artist,
                               const QString &number,
                               const QString &title)
{
    return OutputNaming::BuildOutputFileName(templ, {number, artist, title}, discValues(choices));
}

QStringList RipSession::outputNames(const RipChoices &choices) const
{
    QList<OutputNaming::TrackValues> rows;
    for (int row = 0; row < m_disc.rowCount(); ++row) {
        // The cells as the grid shows them: the number as it is written.
        const auto cell = [this, row](int column) {
            return m_disc.index(row, column).data().toString();
        };
        rows.append({cell(DiscModel::NumberColumn),
                     artistOf(choices, m_disc.track(row)),
                     cell(DiscModel::TitleColumn)});
    }
    const QString templ = choices.filenameTemplate + OutputFormats::extensionOf(choices.format);
    return OutputNaming::BuildOutputFileList(templ, rows, discValues(choices));
}

QString RipSession::refusal(const RipChoices &choices) const
{
    const QString problem = OutputNaming::outputFolderProblem(choices.outputFolder);
    if (!problem.isEmpty())
        return problem;
    if (m_disc.tickedCount() == 0)
        return QStringLiteral("No track is ticked: tick the tracks to rip.");
    const QList<int> ticked = m_disc.tickedRows();
    if (std::all_of(ticked.cbegin(), ticked.cend(), [this](int row) {
            return m_disc.track(row).kind == ctData;
        }))
        return QStringLiteral("Only data tracks are ticked: tick the audio tracks to rip.");
    return QString();
}

QString RipSession::start(const RipChoices &choices, ProgressView &view)
{
    const QString refused = refusal(choices);
    if (!refused.isEmpty())
        return refused;
    m_job.ClearJobQueue();

    const QStringList names = outputNames(choices);
    QList<TTrackInfo> records;
    for (int row : m_disc.tickedRows()) {
        const DiscTrack &track = m_disc.track(row);
        records.append({track.number,
                        artistOf(choices, track),
                        choices.album,
                        choices.genre,
                        choices.year,
                        track.title,
                        names.at(row),
                        track.kind == ctData,
                        releaseTags(choices, m_disc, row)});
    }
    const TRipJob::TagFields tags{choices.year,
                                  choices.album,
                                  choices.genre,
                                  int(ChoiceLists::genres().indexOf(choices.genre)),
                                  choices.comment,
                                  choices.copyright,
                                  choices.url,
                                  choices.encodedBy};
    const TRipJob::EndOptions options{choices.eject,
                                      choices.drive,
                                      choices.makeList,
                                      choices.playlistFile};
    TRipJob::VerifyOptions verify;
    verify.verify = choices.verify;
    verify.writeLog = choices.writeLog;
    verify.writeCue = choices.writeCue;
    verify.reads = {choices.testAndCopy, choices.reread, choices.rereadLimit, choices.goOn};
    verify.detectGaps = choices.detectGaps;
    if (choices.ripHiddenAudio) {
        // Named like the tracks, with the number 00.
        const QString title = QStringLiteral("Hidden track");
        const QString templ = choices.filenameTemplate + OutputFormats::extensionOf(choices.format);
        verify.hiddenTrack
            = TTrackInfo{0,
                         choices.artist,
                         choices.album,
                         choices.genre,
                         choices.year,
                         title,
                         outputName(choices, templ, choices.artist, QStringLiteral("00"), title),
                         false};
    }
    verify.cueLayout = TCueLayout(std::clamp(choices.cueLayout, 0, 2));
    verify.performer = choices.artist;
    verify.programVersion = QCoreApplication::applicationVersion();
    if (verify.verify) {
        try {
            verify.server.server = m_settings.ReadAccurateRipServer();
        } catch (const std::exception &) {
            // The public server stands when the stored one cannot be read.
        }
    }
    m_job.SetVerifyOptions(verify);
    m_job.SetPaceOptions({choices.encodeWhileReading, choices.parallelConversions});
    // The drive reads at the chosen speed, or the job says once that it will
    // not (after the job's first lines, which the reading does not wait for).
    const QString speedRefused = m_speed ? m_speed(choices.drive, choices.speedItem) : QString();
    m_job.Start(view, choices.format, records, tags, options);
    if (!speedRefused.isEmpty())
        view.addLine(speedRefused);
    return QString();
}

QString RipSession::defaultPlaylistFile(const QString &outputFolder)
{
    // The folder and the name are joined as they stand, so a folder that
    // ends in a separator gives a doubled one; the path still works.
    return outputFolder + QStringLiteral("/Default.m3u");
}
