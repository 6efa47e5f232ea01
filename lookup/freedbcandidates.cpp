#include "lookup/freedbcandidates.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QStringList textsOf(const QJsonValue &value)
{
    QStringList texts;
    for (const QJsonValue v : value.toArray())
        texts << v.toString();
    return texts;
}

} // namespace

FreedbCandidates FreedbCandidates::read(const QString &json)
{
    const QJsonObject top = QJsonDocument::fromJson(json.toUtf8()).object();
    FreedbCandidates c;
    c.toc = top.value(QLatin1String("toc")).toString();
    for (const QJsonValue value : top.value(QLatin1String("candidates")).toArray()) {
        const QJsonObject o = value.toObject();
        const auto text = [&o](const char *name) { return o.value(QLatin1String(name)).toString(); };
        FreedbCandidate e;
        e.key = text("key");
        e.source = text("source");
        e.album = text("album");
        e.artist = text("artist");
        e.albumArtist = text("albumArtist");
        e.year = text("year");
        e.date = text("date");
        e.country = text("country");
        e.label = text("label");
        e.catalogNumber = text("catalogNumber");
        e.barcode = text("barcode");
        e.media = text("media");
        e.disambiguation = text("disambiguation");
        e.discNumber = o.value(QLatin1String("discNumber")).toInt();
        e.discTotal = o.value(QLatin1String("discTotal")).toInt();
        e.trackCount = o.value(QLatin1String("trackCount")).toInt();
        e.releaseId = text("releaseId");
        e.releaseGroupId = text("releaseGroupId");
        e.discId = text("discId");
        e.albumArtistIds = textsOf(o.value(QLatin1String("albumArtistIds")));
        e.answer = text("answer");
        for (const QJsonValue t : o.value(QLatin1String("tracks")).toArray()) {
            const QJsonObject track = t.toObject();
            const auto field = [&track](const char *name) {
                return track.value(QLatin1String(name)).toString();
            };
            e.tracks.append({field("title"),
                             field("artist"),
                             field("recordingId"),
                             field("releaseTrackId"),
                             field("isrc"),
                             textsOf(track.value(QLatin1String("artistIds")))});
        }
        c.list.append(e);
    }
    c.remembered = top.value(QLatin1String("remembered")).toBool();
    const int preselected = top.value(QLatin1String("preselected")).toInt();
    c.preselected = preselected >= 0 && preselected < c.list.size() ? preselected : 0;
    return c;
}

void FreedbCandidates::preselectBarcode(const QString &mcn)
{
    const auto padded = [](const QString &digits) { return digits.rightJustified(13, u'0'); };
    if (remembered || mcn.isEmpty())
        return;
    for (int i = 0; i < list.size(); ++i) {
        if (!list.at(i).barcode.isEmpty() && padded(list.at(i).barcode) == padded(mcn)) {
            preselected = i;
            return;
        }
    }
}
