#include "job/trackreads.h"

#include <algorithm>

namespace {

QString crcText(std::optional<uint32_t> crc)
{
    return crc ? QStringLiteral("%1").arg(*crc, 8, 16, QLatin1Char('0')).toUpper()
               : QStringLiteral("none (incomplete read)");
}

std::optional<uint32_t> crcOf(const std::optional<TTrackChecksums> &sums)
{
    return sums ? std::optional<uint32_t>(sums->Crc32) : std::nullopt;
}

} // namespace

TTrackReads::TTrackReads(const TReadOptions &options, bool verify)
    : m_options(options)
{
    m_options.reread = m_options.reread && verify;
    m_options.rereadLimit = std::clamp(m_options.rereadLimit, 1, TReadOptions::MaxRereadLimit);
}

void TTrackReads::Begin(int track)
{
    m_track = track;
    m_crcs.clear();
    m_testCrc.reset();
    m_confirmed = false;
}

void TTrackReads::TestRead(const std::optional<TTrackChecksums> &sums)
{
    m_testCrc = crcOf(sums);
    m_crcs.push_back(m_testCrc);
}

bool TTrackReads::lastAgrees() const
{
    // An incomplete read agrees with nothing.
    const std::optional<uint32_t> &last = m_crcs.back();
    return last && std::count(m_crcs.begin(), m_crcs.end() - 1, last) > 0;
}

TTrackReads::Step TTrackReads::CopyRead(const std::optional<TTrackChecksums> &sums,
                                        const std::optional<AccurateRip::TrackVerdict> &verdict,
                                        QStringList &lines)
{
    using Kind = AccurateRip::TrackVerdict::Kind;
    const Check check = !verdict                          ? Check::Unknown
                        : verdict->kind == Kind::Accurate ? Check::Matches
                        : verdict->kind == Kind::Mismatch ? Check::DoesNotMatch
                                                          : Check::Unknown;
    const QString track = QStringLiteral("Track %1: ").arg(m_track);
    const std::optional<uint32_t> crc = crcOf(sums);
    m_crcs.push_back(crc);
    const int normalReads = m_options.testAndCopy ? 2 : 1;
    const int reads = Reads();
    const bool agrees = lastAgrees();
    if (m_options.testAndCopy && reads == normalReads) {
        lines << track
                     + QStringLiteral("test CRC32 %1, copy CRC32 %2")
                           .arg(crcText(m_testCrc), crcText(crc));
        if (!agrees)
            lines << track + QStringLiteral("test and copy differ");
    }
    m_confirmed = agrees;
    if (!m_options.reread)
        return Step::Keep;

    // A copy AccurateRip confirms is right; two reads that agree are what
    // the drive gives, and another read would give it again.
    const bool unconfirmed = check == Check::DoesNotMatch || m_options.testAndCopy;
    const bool again = check != Check::Matches && unconfirmed && !agrees;
    if (again && reads - normalReads < m_options.rereadLimit) {
        const QString why = check == Check::DoesNotMatch
                                ? QStringLiteral("does not match AccurateRip")
                            : reads == normalReads ? QStringLiteral("test and copy differ")
                                                   : QStringLiteral("the reads differ");
        lines << track + QStringLiteral("%1, reading again (read %2)").arg(why).arg(reads + 1);
        return Step::Reread;
    }
    if (reads > normalReads) {
        const QString outcome = check == Check::Matches ? QStringLiteral("matches AccurateRip")
                                : agrees                ? QStringLiteral("two reads agree")
                                                        : QStringLiteral("no two reads agree");
        lines << track + QStringLiteral("kept after %1 reads, %2").arg(reads).arg(outcome);
    }
    return Step::Keep;
}
