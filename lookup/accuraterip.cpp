#include "lookup/accuraterip.h"

#include <QtEndian>

#include <algorithm>

namespace AccurateRip {

namespace {

constexpr uint32_t LeadIn = DiscLookup::LeadInFrames;
constexpr int HeaderBytes = 13;
constexpr int TrackBytes = 9;

QString hexLower(uint32_t value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0'));
}

uint32_t le32(const char *at)
{
    return qFromLittleEndian<uint32_t>(at);
}

bool looksLikeHtml(const QByteArray &bytes)
{
    const QByteArray start = bytes.left(64).trimmed().toLower();
    return start.startsWith("<!doctype") || start.startsWith("<html") || start.startsWith("<?xml")
           || start.startsWith("<head") || start.startsWith("<body");
}

} // namespace

Toc tocOf(const std::vector<TTocEntry> &entries)
{
    Toc toc;
    if (entries.size() < 2)
        return toc;
    for (size_t i = 0; i + 1 < entries.size(); ++i) {
        toc.tracks.push_back({int(entries[i].TrackNumber),
                              entries[i].StartSector + LeadIn,
                              CDRip::IsDataFlag(entries[i].Flag)});
        const uint32_t end = entries[i].EndSector;
        if (end > entries[i].StartSector && end < entries[i + 1].StartSector)
            toc.sessionEndFrame = end + LeadIn;
    }
    toc.leadOutFrame = entries.back().StartSector + LeadIn;
    return toc;
}

DiscIds discIds(const Toc &toc)
{
    DiscLookup::checkToc(toc);
    DiscIds ids;
    const uint32_t leadOut = toc.leadOutFrame - LeadIn;
    for (const DiscLookup::TocTrack &track : toc.tracks) {
        if (track.data)
            continue;
        const uint32_t start = track.startFrame - LeadIn;
        ++ids.audioTracks;
        ids.id1 += start;
        ids.id2 += std::max<uint32_t>(start, 1) * uint32_t(track.number);
    }
    if (ids.audioTracks == 0)
        throw InvalidToc("The disc has no audio tracks.");
    ids.id1 += leadOut;
    ids.id2 += leadOut * uint32_t(ids.audioTracks + 1);
    ids.cddb = uint32_t(std::stoul(DiscLookup::cddbId(toc), nullptr, 16));
    return ids;
}

QString filePath(const DiscIds &ids)
{
    const QString id1 = hexLower(ids.id1);
    return QStringLiteral("%1/%2/%3/dBAR-%4-%5-%6-%7.bin")
        .arg(id1.at(7))
        .arg(id1.at(6))
        .arg(id1.at(5))
        .arg(ids.audioTracks, 3, 10, QLatin1Char('0'))
        .arg(id1, hexLower(ids.id2), hexLower(ids.cddb));
}

QString fileUrl(const QString &server, const DiscIds &ids)
{
    QString base = server;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base + QStringLiteral("/accuraterip/") + filePath(ids);
}

std::vector<Record> parseFile(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        throw MalformedFile("The AccurateRip file is empty.");
    if (looksLikeHtml(bytes))
        throw MalformedFile("The AccurateRip server sent a web page, not a database file.");
    std::vector<Record> records;
    qsizetype at = 0;
    while (at < bytes.size()) {
        const char *p = bytes.constData() + at;
        const int count = uint8_t(p[0]);
        if (count == 0)
            throw MalformedFile("The AccurateRip file holds a record without tracks.");
        const qsizetype size = HeaderBytes + qsizetype(TrackBytes) * count;
        if (bytes.size() - at < size)
            throw MalformedFile("The AccurateRip file is cut short.");
        Record record;
        record.ids.audioTracks = count;
        record.ids.id1 = le32(p + 1);
        record.ids.id2 = le32(p + 5);
        record.ids.cddb = le32(p + 9);
        for (int i = 0; i < count; ++i) {
            const char *t = p + HeaderBytes + TrackBytes * i;
            record.tracks.push_back(TrackEntry{uint8_t(t[0]), le32(t + 1), le32(t + 5)});
        }
        records.push_back(std::move(record));
        at += size;
    }
    return records;
}

TrackVerdict verdictFor(const std::vector<Record> &records,
                        const DiscIds &ids,
                        int index,
                        const TTrackChecksums &sums)
{
    TrackVerdict verdict;
    verdict.kind = TrackVerdict::NotInDatabase;
    for (const Record &record : records) {
        const DiscIds &r = record.ids;
        if (r.audioTracks != ids.audioTracks || r.id1 != ids.id1 || r.id2 != ids.id2
            || r.cddb != ids.cddb || index < 0 || index >= int(record.tracks.size()))
            continue;
        const TrackEntry &entry = record.tracks[size_t(index)];
        if (entry.checksum == sums.AccurateRipV1 || entry.checksum == sums.AccurateRipV2) {
            if (verdict.kind != TrackVerdict::Accurate || entry.confidence > verdict.confidence) {
                verdict.confidence = entry.confidence;
                verdict.v2 = entry.checksum == sums.AccurateRipV2;
            }
            verdict.kind = TrackVerdict::Accurate;
        } else if (verdict.kind != TrackVerdict::Accurate) {
            verdict.kind = TrackVerdict::Mismatch;
        }
        verdict.submissions += entry.confidence;
    }
    return verdict;
}

QString hex8(uint32_t value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

QString verdictText(const TrackVerdict &verdict, const QString &reason)
{
    switch (verdict.kind) {
    case TrackVerdict::Accurate:
        return QStringLiteral("accurately ripped (confidence %1)").arg(verdict.confidence);
    case TrackVerdict::Mismatch:
        return QStringLiteral("does not match AccurateRip (%1 submissions)").arg(verdict.submissions);
    case TrackVerdict::NotInDatabase:
        return QStringLiteral("not in the AccurateRip database");
    case TrackVerdict::NotVerified:
        break;
    }
    return reason.isEmpty() ? QStringLiteral("not verified")
                            : QStringLiteral("not verified (%1)").arg(reason);
}

QString verdictLine(int trackNumber,
                    const TTrackChecksums &sums,
                    const TrackVerdict &verdict,
                    const QString &reason)
{
    return QStringLiteral("Track %1: CRC32 %2, %3")
        .arg(trackNumber)
        .arg(hex8(sums.Crc32), verdictText(verdict, reason));
}

QString summaryLine(const std::vector<TrackVerdict> &verdicts, const QString &reason)
{
    int accurate = 0;
    int mismatch = 0;
    int unknown = 0;
    int unverified = 0;
    for (const TrackVerdict &v : verdicts) {
        switch (v.kind) {
        case TrackVerdict::Accurate:
            ++accurate;
            break;
        case TrackVerdict::Mismatch:
            ++mismatch;
            break;
        case TrackVerdict::NotInDatabase:
            ++unknown;
            break;
        case TrackVerdict::NotVerified:
            ++unverified;
            break;
        }
    }
    const int total = int(verdicts.size());
    if (unverified == total && total > 0 && !reason.isEmpty())
        return QStringLiteral("AccurateRip: no track verified (%1)").arg(reason);
    if (unknown == total && total > 0)
        return QStringLiteral("AccurateRip: the disc is not in the database");
    QString line
        = QStringLiteral("AccurateRip: %1 of %2 tracks accurately ripped").arg(accurate).arg(total);
    if (mismatch > 0)
        line += QStringLiteral(", %1 not matching").arg(mismatch);
    if (unknown > 0)
        line += QStringLiteral(", %1 not in the database").arg(unknown);
    if (unverified > 0)
        line += QStringLiteral(", %1 not verified").arg(unverified);
    return line;
}

} // namespace AccurateRip
