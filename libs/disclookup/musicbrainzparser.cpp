#include "libs/disclookup/musicbrainzparser.h"

#include "libs/disclookup/lookuperror.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <optional>

namespace DiscLookup::MusicBrainz {

namespace {

std::string textOf(const QJsonObject &o, const char *key)
{
    return o.value(QLatin1String(key)).toString().toStdString();
}

std::string creditOf(const QJsonObject &o)
{
    std::string text;
    for (const QJsonValue part : o.value(QLatin1String("artist-credit")).toArray()) {
        const QJsonObject credit = part.toObject();
        text += textOf(credit, "name") + textOf(credit, "joinphrase");
    }
    return text;
}

std::vector<std::string> creditIdsOf(const QJsonObject &o)
{
    std::vector<std::string> ids;
    for (const QJsonValue part : o.value(QLatin1String("artist-credit")).toArray()) {
        const std::string id = textOf(part.toObject().value(QLatin1String("artist")).toObject(),
                                      "id");
        if (!id.empty())
            ids.push_back(id);
    }
    return ids;
}

Track trackOf(const QJsonObject &t)
{
    Track track;
    track.position = t.value(QLatin1String("position")).toInt();
    track.title = textOf(t, "title");
    track.artist = creditOf(t);
    track.id = textOf(t, "id");
    const QJsonObject recording = t.value(QLatin1String("recording")).toObject();
    track.recordingId = textOf(recording, "id");
    const QJsonArray isrcs = recording.value(QLatin1String("isrcs")).toArray();
    if (!isrcs.isEmpty())
        track.isrc = isrcs.first().toString().toStdString();
    // A track credited like its recording may carry the credit only there.
    track.artistIds = creditIdsOf(t);
    if (track.artist.empty()) {
        track.artist = creditOf(recording);
        track.artistIds = creditIdsOf(recording);
    }
    return track;
}

Medium mediumOf(const QJsonObject &o)
{
    Medium m;
    m.position = o.value(QLatin1String("position")).toInt();
    m.format = textOf(o, "format");
    for (const QJsonValue disc : o.value(QLatin1String("discs")).toArray())
        m.discIds.push_back(textOf(disc.toObject(), "id"));
    for (const QJsonValue value : o.value(QLatin1String("tracks")).toArray()) {
        m.tracks.push_back(trackOf(value.toObject()));
    }
    std::stable_sort(m.tracks.begin(), m.tracks.end(), [](const Track &a, const Track &b) {
        return a.position < b.position;
    });
    return m;
}

std::string yearOf(const std::string &date)
{
    if (date.size() < 4 || !std::all_of(date.begin(), date.begin() + 4, [](char c) {
            return c >= '0' && c <= '9';
        }))
        return {};
    return date.substr(0, 4);
}

struct Candidate
{
    const Release *release = nullptr;
    const Medium *medium = nullptr;
    bool exact = false;
    bool fits = false;
};

// Whether a ranks before b; ties keep reply order (stable sort).
bool ranksBefore(const Candidate &a, const Candidate &b)
{
    if (a.exact != b.exact)
        return a.exact;
    if (a.fits != b.fits)
        return a.fits;
    const std::string &da = a.release->date;
    const std::string &db = b.release->date;
    if (da.empty() != db.empty())
        return db.empty();
    return da < db;
}

} // namespace

std::vector<Release> parseReleases(const std::string &json)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    if (error.error != QJsonParseError::NoError)
        throw LookupError(LookupError::Failed,
                          "malformed reply: " + error.errorString().toStdString() + " at byte "
                              + std::to_string(error.offset));
    const QJsonValue list = doc.isObject() ? doc.object().value(QLatin1String("releases"))
                                           : QJsonValue();
    if (!list.isArray())
        throw LookupError(LookupError::Failed, "malformed reply: no list of releases");
    std::vector<Release> releases;
    for (const QJsonValue value : list.toArray()) {
        const QJsonObject r = value.toObject();
        Release release;
        release.title = textOf(r, "title");
        release.artist = creditOf(r);
        release.date = textOf(r, "date");
        release.id = textOf(r, "id");
        release.releaseGroupId = textOf(r.value(QLatin1String("release-group")).toObject(), "id");
        release.country = textOf(r, "country");
        release.barcode = textOf(r, "barcode");
        release.disambiguation = textOf(r, "disambiguation");
        release.artistIds = creditIdsOf(r);
        for (const QJsonValue info : r.value(QLatin1String("label-info")).toArray()) {
            const QJsonObject i = info.toObject();
            if (release.catalogNumber.empty())
                release.catalogNumber = textOf(i, "catalog-number");
            if (release.label.empty())
                release.label = textOf(i.value(QLatin1String("label")).toObject(), "name");
        }
        for (const QJsonValue medium : r.value(QLatin1String("media")).toArray())
            release.media.push_back(mediumOf(medium.toObject()));
        releases.push_back(std::move(release));
    }
    return releases;
}

namespace {

std::vector<Candidate> ranked(const std::vector<Release> &releases,
                              const std::string &discId,
                              int trackCount)
{
    std::vector<Candidate> candidates;
    for (const Release &r : releases) {
        for (const Medium &m : r.media) {
            Candidate c{&r, &m, false, int(m.tracks.size()) == trackCount};
            c.exact = std::find(m.discIds.begin(), m.discIds.end(), discId) != m.discIds.end();
            if (c.exact || c.fits)
                candidates.push_back(c);
        }
    }
    if (candidates.empty())
        throw LookupError(LookupError::NoEntry, "no release with this disc");
    std::stable_sort(candidates.begin(), candidates.end(), ranksBefore);
    return candidates;
}

DiscInfo infoOf(const Candidate &c, const std::string &discId)
{
    const Release &r = *c.release;
    const Medium &m = *c.medium;
    DiscInfo info;
    info.album = r.title;
    info.artist = r.artist;
    info.year = yearOf(r.date);
    info.source = "MusicBrainz";
    info.key = "musicbrainz " + r.id + ' ' + std::to_string(m.position);
    info.albumArtist = r.artist;
    info.date = r.date;
    info.country = r.country;
    info.label = r.label;
    info.catalogNumber = r.catalogNumber;
    info.barcode = r.barcode;
    info.media = m.format;
    info.disambiguation = r.disambiguation;
    info.discNumber = m.position;
    info.discTotal = int(r.media.size());
    info.trackCount = int(m.tracks.size());
    info.releaseId = r.id;
    info.releaseGroupId = r.releaseGroupId;
    info.discId = c.exact ? discId : std::string();
    info.albumArtistIds = r.artistIds;
    if (c.fits) {
        for (const Track &t : m.tracks) {
            const bool guest = !t.artist.empty() && t.artist != info.artist;
            info.titles.push_back(guest ? t.artist + " / " + t.title : t.title);
            info.tracks.push_back({t.title,
                                   t.artist.empty() ? r.artist : t.artist,
                                   t.recordingId,
                                   t.id,
                                   t.isrc,
                                   t.artistIds.empty() ? r.artistIds : t.artistIds});
        }
    }
    return info;
}

} // namespace

DiscInfo choose(const std::vector<Release> &releases, const std::string &discId, int trackCount)
{
    return infoOf(ranked(releases, discId, trackCount).front(), discId);
}

std::vector<DiscInfo> candidates(const std::vector<Release> &releases,
                                 const std::string &discId,
                                 int trackCount)
{
    std::vector<DiscInfo> infos;
    for (const Candidate &c : ranked(releases, discId, trackCount))
        infos.push_back(infoOf(c, discId));
    return infos;
}

} // namespace DiscLookup::MusicBrainz
