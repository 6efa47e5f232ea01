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

Medium mediumOf(const QJsonObject &o)
{
    Medium m;
    m.position = o.value(QLatin1String("position")).toInt();
    for (const QJsonValue disc : o.value(QLatin1String("discs")).toArray())
        m.discIds.push_back(textOf(disc.toObject(), "id"));
    for (const QJsonValue value : o.value(QLatin1String("tracks")).toArray()) {
        const QJsonObject t = value.toObject();
        m.tracks.push_back(
            {t.value(QLatin1String("position")).toInt(), textOf(t, "title"), creditOf(t)});
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
        for (const QJsonValue medium : r.value(QLatin1String("media")).toArray())
            release.media.push_back(mediumOf(medium.toObject()));
        releases.push_back(std::move(release));
    }
    return releases;
}

DiscInfo choose(const std::vector<Release> &releases, const std::string &discId, int trackCount)
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

    const Candidate &best = candidates.front();
    DiscInfo info;
    info.album = best.release->title;
    info.artist = best.release->artist;
    info.year = yearOf(best.release->date);
    if (best.fits) {
        for (const Track &t : best.medium->tracks) {
            const bool guest = !t.artist.empty() && t.artist != info.artist;
            info.titles.push_back(guest ? t.artist + " / " + t.title : t.title);
        }
    }
    return info;
}

} // namespace DiscLookup::MusicBrainz
