#pragma once

#include "libs/disclookup/disctoc.h"
#include "lookup/accuraterip.h"
#include "pipeline/trackchecksums.h"
#include "tests/support/testsupport.h"
#include "tools/discgen/discimage.h"

#include <QByteArray>
#include <QtEndian>

namespace AccurateRipDatabase {

// The generated disc's table of contents as a drive reports it (150 frames
// of lead-in before the first track).
inline DiscLookup::DiscToc tocOf(const DiscGen::WrittenDisc &disc)
{
    DiscLookup::DiscToc toc;
    for (size_t i = 0; i < disc.layout.tracks.size(); ++i)
        toc.tracks.push_back({int(i + 1), disc.layout.tracks[i].start + 150, false});
    toc.leadOutFrame = disc.layout.totalFrames + 150;
    return toc;
}

// The database file an AccurateRip server holds for the disc: a v1 and a v2
// record, each with every track's checksum of the disc's own audio at the
// given confidence.
inline QByteArray fileFor(const DiscGen::WrittenDisc &disc, int v1Confidence, int v2Confidence)
{
    const AccurateRip::DiscIds ids = AccurateRip::discIds(tocOf(disc));
    QByteArray v1Record;
    QByteArray v2Record;
    for (QByteArray *record : {&v1Record, &v2Record}) {
        record->append(char(ids.audioTracks));
        for (uint32_t v : {ids.id1, ids.id2, ids.cddb}) {
            char b[4];
            qToLittleEndian(v, b);
            record->append(b, 4);
        }
    }
    const auto entry = [](QByteArray &record, int confidence, uint32_t sum) {
        char b[4];
        record.append(char(confidence));
        qToLittleEndian(sum, b);
        record.append(b, 4);
        record.append(4, '\0');
    };
    const size_t n = disc.trackFiles.size();
    for (size_t t = 0; t < n; ++t) {
        const QByteArray pcm = TestSupport::readFile(QString::fromStdString(disc.trackFiles[t]));
        TTrackChecksummer sums(uint32_t(pcm.size() / 4), TTrackPlace{t == 0, t + 1 == n});
        sums.PcmDelivered(reinterpret_cast<const uint8_t *>(pcm.constData()), int32_t(pcm.size()));
        const TTrackChecksums r = sums.Result();
        entry(v1Record, v1Confidence, r.AccurateRipV1);
        entry(v2Record, v2Confidence, r.AccurateRipV2);
    }
    return v1Record + v2Record;
}

} // namespace AccurateRipDatabase
