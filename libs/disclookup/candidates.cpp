#include "libs/disclookup/candidates.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace DiscLookup {

namespace {

// The text fields of a candidate by their JSON names.
struct TextField
{
    const char *name;
    std::string DiscInfo::*member;
};
const TextField TextFields[] = {
    {"key", &DiscInfo::key},
    {"source", &DiscInfo::source},
    {"album", &DiscInfo::album},
    {"artist", &DiscInfo::artist},
    {"albumArtist", &DiscInfo::albumArtist},
    {"genre", &DiscInfo::genre},
    {"year", &DiscInfo::year},
    {"date", &DiscInfo::date},
    {"country", &DiscInfo::country},
    {"label", &DiscInfo::label},
    {"catalogNumber", &DiscInfo::catalogNumber},
    {"barcode", &DiscInfo::barcode},
    {"media", &DiscInfo::media},
    {"disambiguation", &DiscInfo::disambiguation},
    {"releaseId", &DiscInfo::releaseId},
    {"releaseGroupId", &DiscInfo::releaseGroupId},
    {"discId", &DiscInfo::discId},
};
const std::pair<const char *, int DiscInfo::*> NumberFields[] = {
    {"discNumber", &DiscInfo::discNumber},
    {"discTotal", &DiscInfo::discTotal},
    {"trackCount", &DiscInfo::trackCount},
};
const std::pair<const char *, std::string TrackFacts::*> TrackFields[] = {
    {"title", &TrackFacts::title},
    {"artist", &TrackFacts::artist},
    {"recordingId", &TrackFacts::recordingId},
    {"releaseTrackId", &TrackFacts::releaseTrackId},
    {"isrc", &TrackFacts::isrc},
};

QString q(const std::string &text)
{
    return QString::fromStdString(text);
}

std::string s(const QJsonValue &value)
{
    return value.toString().toStdString();
}

void putText(QJsonObject &o, const char *name, const std::string &value)
{
    if (!value.empty())
        o.insert(QLatin1String(name), q(value));
}

void putList(QJsonObject &o, const char *name, const std::vector<std::string> &values)
{
    if (values.empty())
        return;
    QJsonArray list;
    for (const std::string &v : values)
        list.append(q(v));
    o.insert(QLatin1String(name), list);
}

std::vector<std::string> listOf(const QJsonValue &value)
{
    std::vector<std::string> list;
    for (const QJsonValue v : value.toArray())
        list.push_back(s(v));
    return list;
}

} // namespace

CandidateList CandidateList::withFirst(const std::string &key) const
{
    const auto found = std::find_if(candidates.begin(),
                                    candidates.end(),
                                    [&key](const Candidate &c) { return c.info.key == key; });
    if (key.empty() || found == candidates.end())
        return *this;
    CandidateList list = *this;
    std::rotate(list.candidates.begin(),
                list.candidates.begin() + (found - candidates.begin()),
                list.candidates.begin() + (found - candidates.begin()) + 1);
    list.preselected = 0;
    list.remembered = true;
    return list;
}

std::string toJson(const CandidateList &list)
{
    QJsonArray candidates;
    for (const Candidate &c : list.candidates) {
        QJsonObject o;
        for (const TextField &f : TextFields)
            putText(o, f.name, c.info.*f.member);
        for (const auto &[name, member] : NumberFields) {
            if (c.info.*member > 0)
                o.insert(QLatin1String(name), c.info.*member);
        }
        putList(o, "albumArtistIds", c.info.albumArtistIds);
        putText(o, "answer", c.answer);
        QJsonArray tracks;
        for (const TrackFacts &t : c.info.tracks) {
            QJsonObject track;
            for (const auto &[name, member] : TrackFields)
                putText(track, name, t.*member);
            putList(track, "artistIds", t.artistIds);
            tracks.append(track);
        }
        if (!tracks.isEmpty())
            o.insert(QLatin1String("tracks"), tracks);
        candidates.append(o);
    }
    QJsonObject top;
    top.insert(QLatin1String("toc"), q(list.toc));
    top.insert(QLatin1String("preselected"), int(list.preselected));
    top.insert(QLatin1String("remembered"), list.remembered);
    top.insert(QLatin1String("candidates"), candidates);
    return QJsonDocument(top).toJson(QJsonDocument::Compact).toStdString();
}

CandidateList fromJson(const std::string &json)
{
    const QJsonObject top = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
    CandidateList list;
    list.toc = s(top.value(QLatin1String("toc")));
    for (const QJsonValue value : top.value(QLatin1String("candidates")).toArray()) {
        const QJsonObject o = value.toObject();
        Candidate c;
        for (const TextField &f : TextFields)
            c.info.*f.member = s(o.value(QLatin1String(f.name)));
        for (const auto &[name, member] : NumberFields)
            c.info.*member = o.value(QLatin1String(name)).toInt();
        c.info.albumArtistIds = listOf(o.value(QLatin1String("albumArtistIds")));
        c.answer = s(o.value(QLatin1String("answer")));
        for (const QJsonValue t : o.value(QLatin1String("tracks")).toArray()) {
            const QJsonObject track = t.toObject();
            TrackFacts facts;
            for (const auto &[name, member] : TrackFields)
                facts.*member = s(track.value(QLatin1String(name)));
            facts.artistIds = listOf(track.value(QLatin1String("artistIds")));
            c.info.tracks.push_back(std::move(facts));
        }
        list.candidates.push_back(std::move(c));
    }
    const int preselected = top.value(QLatin1String("preselected")).toInt();
    list.preselected = preselected >= 0 && size_t(preselected) < list.candidates.size()
                           ? size_t(preselected)
                           : 0;
    return list;
}

} // namespace DiscLookup
