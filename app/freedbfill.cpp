#include "app/freedbfill.h"

#include "app/discmodel.h"
#include "lookup/cdtext.h"
#include "lookup/freedbanswer.h"
#include "lookup/freedbcandidates.h"
#include "lookup/freedblookup.h"

QString FillFromFreedb(DiscModel &disc, const FreedbReply &reply)
{
    if (!reply.answered || reply.answer.isEmpty())
        return reply.message.isEmpty() ? QStringLiteral("No entry for this disc") : reply.message;
    const std::optional<FreedbAnswer> answer = FreedbAnswer::read(reply.answer);
    if (!answer)
        return QStringLiteral("The disc database's answer is incomplete");

    if (answer->album)
        disc.setAlbum(*answer->album);
    if (answer->artist)
        disc.setArtist(*answer->artist);
    if (answer->genre)
        disc.setGenre(*answer->genre);
    if (answer->year)
        disc.setYear(*answer->year);

    if (!answer->titles)
        return reply.message.isEmpty() ? QStringLiteral("No track titles for this disc")
                                       : reply.message;
    const QStringList &titles = *answer->titles;
    if (titles.size() != disc.rowCount())
        return QStringLiteral("%1 titles for %2 tracks: the titles were left as they were")
            .arg(titles.size())
            .arg(disc.rowCount());
    const QString artist = disc.artist();
    for (int row = 0; row < disc.rowCount(); ++row) {
        disc.setTrackArtist(row, artist);
        disc.setTrackTitle(row, titles.at(row));
    }
    return reply.message;
}

QString FillFromCandidate(DiscModel &disc,
                          const FreedbCandidate &candidate,
                          const FreedbReply &reply)
{
    FreedbReply chosen = reply;
    chosen.answered = true;
    chosen.answer = candidate.answer;
    const QString tip = FillFromFreedb(disc, chosen);
    if (!FreedbAnswer::read(candidate.answer))
        return tip;

    disc.setAlbumArtist(candidate.albumArtist);
    disc.setDiscNumber(candidate.discNumber > 0 ? QString::number(candidate.discNumber) : QString());
    disc.setDiscTotal(candidate.discNumber > 0 && candidate.discTotal > 0
                          ? QString::number(candidate.discTotal)
                          : QString());
    AudioConvertLib::TReleaseTags release;
    release.barcode = candidate.barcode;
    release.label = candidate.label;
    release.catalogNumber = candidate.catalogNumber;
    release.releaseCountry = candidate.country;
    release.media = candidate.media;
    release.releaseId = candidate.releaseId;
    release.releaseGroupId = candidate.releaseGroupId;
    release.discId = candidate.discId;
    release.albumArtistIds = candidate.albumArtistIds;
    disc.setRelease(release);

    // A data track after the audio has no entry of its own in MusicBrainz.
    const bool perRow = candidate.tracks.size() == disc.rowCount()
                        || (candidate.tracks.size() == disc.rowCount() - 1
                            && disc.track(disc.rowCount() - 1).kind == ctData);
    for (int row = 0; row < disc.rowCount(); ++row) {
        // The disc's own ISRC stands where the entry has none.
        const QString discIsrc = disc.track(row).isrc;
        if (!perRow || row >= candidate.tracks.size()) {
            disc.setTrackIds(row, discIsrc, QString(), QString(), QStringList());
            continue;
        }
        const FreedbCandidateTrack &t = candidate.tracks.at(row);
        if (!t.artist.isEmpty())
            disc.setTrackArtist(row, t.artist);
        disc.setTrackTitle(row, t.title);
        disc.setTrackIds(row,
                         t.isrc.isEmpty() ? discIsrc : t.isrc,
                         t.recordingId,
                         t.releaseTrackId,
                         t.artistIds);
    }
    return tip;
}

FreedbCandidate CdTextCandidate(const CdText::Texts &texts, int rows)
{
    FreedbCandidate c;
    c.key = QStringLiteral("cdtext");
    c.source = QStringLiteral("CD-Text");
    c.album = texts.title;
    c.artist = texts.performer;
    c.albumArtist = texts.performer;
    c.trackCount = int(texts.tracks.size());
    const auto line = [](const QString &value) {
        return value.isEmpty() ? QStringLiteral("nil") : value;
    };
    c.answer = line(c.album) + '\n' + line(c.artist) + QStringLiteral("\nnil\nnil\n");
    // Titles only when the CD-Text starts at the first track and covers every row.
    const bool everyRow = texts.firstTrack == 1 && texts.tracks.size() == rows && rows > 0;
    if (!everyRow) {
        c.answer += QStringLiteral("no titles\n");
        return c;
    }
    c.answer += QStringLiteral("nil\n");
    for (const CdText::Track &t : texts.tracks) {
        c.answer += QString(t.title).replace(u'\n', u' ') + '\n';
        c.tracks.append({t.title, t.performer, QString(), QString(), t.isrc, QStringList()});
    }
    return c;
}

bool FillFromCdText(DiscModel &disc, const CdText::Texts &texts)
{
    if (texts.isEmpty() || !disc.album().isEmpty() || !disc.artist().isEmpty())
        return false;
    for (const DiscTrack &t : disc.tracks()) {
        if (!t.artist.isEmpty() || !t.title.isEmpty())
            return false;
    }
    FillFromCandidate(disc, CdTextCandidate(texts, disc.rowCount()), FreedbReply());
    return true;
}
