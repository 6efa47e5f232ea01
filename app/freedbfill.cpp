#include "app/freedbfill.h"

#include "app/discmodel.h"
#include "lookup/freedbanswer.h"
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
