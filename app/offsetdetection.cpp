#include "app/offsetdetection.h"

#include "pipeline/cdinput.h"
#include "pipeline/discardout.h"
#include "pipeline/pcmexception.h"
#include "pipeline/writerevents.h"

#include <QDeadlineTimer>
#include <QThread>

#include <limits>

namespace {

// Three tracks are read when the disc has them: two must agree, and one may
// be a track the database holds no trusted checksum of.
constexpr size_t ScannedTracks = 3;
constexpr int SamplesPerSector = 588;

QString tryAnother()
{
    return QStringLiteral(" Try another disc.");
}

} // namespace

QString TOffsetDetectionResult::Text() const
{
    using OffsetScan::signedSamples;
    switch (kind) {
    case Found: {
        QString text = QStringLiteral("The drive's read offset is %1 samples: %2 of %3 tracks "
                                      "match AccurateRip with it (confidence %4).")
                           .arg(signedSamples(offset))
                           .arg(matched)
                           .arg(scanned)
                           .arg(confidence);
        if (listed && *listed == offset)
            text += QStringLiteral(" The AccurateRip drive list gives the same.");
        else if (listed)
            text += QStringLiteral(" But the AccurateRip drive list gives %1 for this drive: "
                                   "the disc may be a pressing of its own. Detect again with "
                                   "another disc before you keep %2.")
                        .arg(signedSamples(*listed), signedSamples(offset));
        return text;
    }
    case NotInDatabase:
        return QStringLiteral("This disc is not in the AccurateRip database.") + tryAnother();
    case TooFewTracks:
        return QStringLiteral("This disc has too few audio tracks: the offset needs two to "
                              "agree.")
               + tryAnother();
    case NoAgreement:
        return QStringLiteral("No read offset makes two tracks of this disc match AccurateRip.")
               + tryAnother();
    case Failed:
        return reason + QLatin1Char('.');
    case Cancelled:
        break;
    }
    return QString();
}

TOffsetDetection::TOffsetDetection(TCDIn &input, QObject *parent)
    : QObject(parent)
    , m_in(input)
    , m_sink(std::make_unique<TPcmDiscardOut>(this, QStringLiteral("OffsetOut")))
    , m_lookup(std::make_unique<TAccurateRipLookup>(this))
{
    setObjectName(QStringLiteral("OffsetDetection"));
    m_sink->SetInput(&m_in);
    m_sink->SetSuspendWhenIdle(true);
    auto events = new WriterEvents(*m_sink);
    connect(events, &WriterEvents::progress, this, [this](int percent) {
        if (m_reading)
            Q_EMIT progress(percent);
    });
    connect(events, &WriterEvents::done, this, &TOffsetDetection::readDone);
    connect(events, &WriterEvents::threadException, this, &TOffsetDetection::readFailed);
    connect(m_lookup.get(), &TAccurateRipLookup::Finished, this, &TOffsetDetection::lookupFinished);
}

TOffsetDetection::~TOffsetDetection()
{
    if (m_reading) {
        m_in.AbortRead();
        m_sink->RequestStop();
    }
    // The sink's worker ends before the scanner it feeds goes.
    if (m_reading)
        restoreInput();
    m_sink.reset();
}

void TOffsetDetection::Start(const TAccurateRipSettings &settings,
                             ListedOffset listed,
                             const std::vector<int> &moreCandidates)
{
    if (m_running)
        return;
    m_running = true;
    m_cancelled = false;
    m_listed = std::move(listed);
    m_candidates = OffsetScan::commonOffsets();
    if (const std::optional<int> known = m_listed ? m_listed() : std::nullopt)
        m_candidates.insert(m_candidates.begin(), *known);
    m_candidates.insert(m_candidates.end(), moreCandidates.begin(), moreCandidates.end());

    TOffsetDetectionResult result;
    try {
        m_toc = m_in.GetToc();
        if (m_toc.size() < 2) {
            result.reason = QStringLiteral("The drive holds no disc that can be read");
            return finish(result);
        }
        m_ids = AccurateRip::discIds(AccurateRip::tocOf(m_toc));
    } catch (const std::exception &e) {
        result.reason = QString::fromUtf8(e.what());
        if (result.reason.endsWith(QLatin1Char('.')))
            result.reason.chop(1);
        return finish(result);
    }
    if (m_ids.audioTracks < 2) {
        result.kind = TOffsetDetectionResult::TooFewTracks;
        return finish(result);
    }
    Q_EMIT stage(QStringLiteral("Asking AccurateRip for this disc"));
    m_lookup->Start(m_ids, settings);
}

void TOffsetDetection::Cancel()
{
    if (!m_running)
        return;
    m_cancelled = true;
    if (m_reading) {
        m_in.AbortRead();
        m_sink->RequestStop();
        return; // the read's end finishes
    }
    TOffsetDetectionResult result;
    result.kind = TOffsetDetectionResult::Cancelled;
    finish(result);
}

void TOffsetDetection::lookupFinished()
{
    if (!m_running || m_reading)
        return;
    const TAccurateRipOutcome &outcome = m_lookup->Outcome();
    TOffsetDetectionResult result;
    if (outcome.kind == TAccurateRipOutcome::NotInDatabase) {
        result.kind = TOffsetDetectionResult::NotInDatabase;
        return finish(result);
    }
    if (outcome.kind != TAccurateRipOutcome::Found) {
        result.reason = outcome.reason;
        return finish(result);
    }
    startRead();
}

void TOffsetDetection::startRead()
{
    // The audio tracks in disc order, each with its place among them.
    std::vector<size_t> audio;
    for (size_t i = 0; i + 1 < m_toc.size(); ++i) {
        if (!CDRip::IsDataFlag(m_toc[i].Flag))
            audio.push_back(i);
    }
    // The shortest run of neighbouring audio tracks: the least to read.
    const size_t count = std::min(ScannedTracks, audio.size());
    size_t best = 0;
    int64_t bestLength = std::numeric_limits<int64_t>::max();
    for (size_t a = 0; a + count <= audio.size(); ++a) {
        if (audio[a + count - 1] - audio[a] != count - 1)
            continue; // a data track between them
        const int64_t length = int64_t(m_toc[audio[a + count - 1]].EndSector)
                               - int64_t(m_toc[audio[a]].StartSector);
        if (length < bestLength) {
            bestLength = length;
            best = a;
        }
    }
    std::vector<OffsetScan::TrackSpan> spans;
    m_audioIndexes.clear();
    const int64_t first = m_toc[audio[best]].StartSector;
    for (size_t a = best; a < best + count; ++a) {
        const TTocEntry &t = m_toc[audio[a]];
        OffsetScan::TrackSpan span;
        span.begin = (int64_t(t.StartSector) - first + OffsetScan::MarginSectors)
                     * SamplesPerSector;
        span.length = uint32_t((t.EndSector - t.StartSector) * SamplesPerSector);
        span.place = TTrackPlace{a == 0, a + 1 == audio.size()};
        spans.push_back(span);
        m_audioIndexes.push_back(int(a));
    }
    m_firstTrack = m_toc[audio[best]].TrackNumber;
    m_lastTrack = m_toc[audio[best + count - 1]].TrackNumber;
    m_scanner = std::make_unique<OffsetScan::Scanner>(std::move(spans), m_candidates);

    m_savedOffset = m_in.ReadOffset();
    try {
        m_in.SetStartTrack(m_firstTrack);
        m_in.SetEndTrack(m_lastTrack);
        m_in.SetReadOffset(0);
        m_in.SetReadMargin(OffsetScan::MarginSectors);
        m_in.SetTap(m_scanner.get());
        m_reading = true;
        Q_EMIT stage(QStringLiteral("Reading tracks %1 to %2").arg(m_firstTrack).arg(m_lastTrack));
        Q_EMIT progress(0);
        m_sink->StartOutput();
    } catch (const std::exception &e) {
        restoreInput();
        m_reading = false;
        TOffsetDetectionResult result;
        result.reason = QString::fromUtf8(e.what());
        finish(result);
    }
}

void TOffsetDetection::restoreInput()
{
    // A failed run may still be winding down; it ends within a chunk.
    QDeadlineTimer deadline(30000);
    while ((m_sink && m_sink->IsBusy()) || m_in.IsBusy()) {
        if (deadline.hasExpired())
            return; // the scanner stays the tap, and alive
        QThread::msleep(5);
    }
    m_in.SetTap(nullptr);
    m_in.SetReadMargin(0);
    m_in.SetReadOffset(m_savedOffset);
}

void TOffsetDetection::readDone()
{
    if (!m_reading || m_sink->IsBusy())
        return;
    m_reading = false;
    restoreInput();
    TOffsetDetectionResult result;
    if (m_cancelled) {
        result.kind = TOffsetDetectionResult::Cancelled;
        return finish(result);
    }
    if (!m_scanner->Complete()) {
        result.reason = QStringLiteral("The read of tracks %1 to %2 ended early")
                            .arg(m_firstTrack)
                            .arg(m_lastTrack);
        return finish(result);
    }
    const OffsetScan::Finding finding = OffsetScan::judge(*m_scanner,
                                                          m_lookup->Outcome().records,
                                                          m_ids,
                                                          m_audioIndexes);
    result.scanned = int(m_audioIndexes.size());
    result.kind = finding.kind == OffsetScan::Finding::Found ? TOffsetDetectionResult::Found
                                                             : TOffsetDetectionResult::NoAgreement;
    result.offset = finding.offset;
    result.matched = finding.matched;
    result.confidence = finding.confidence;
    finish(result);
}

void TOffsetDetection::readFailed(const QString &message)
{
    if (!m_reading)
        return;
    m_reading = false;
    restoreInput();
    TOffsetDetectionResult result;
    result.kind = m_cancelled ? TOffsetDetectionResult::Cancelled : TOffsetDetectionResult::Failed;
    result.reason = message;
    if (result.reason.endsWith(QLatin1Char('.')))
        result.reason.chop(1);
    finish(result);
}

void TOffsetDetection::finish(TOffsetDetectionResult result)
{
    m_running = false;
    if (m_in.Tap() != m_scanner.get())
        m_scanner.reset();
    if (result.kind == TOffsetDetectionResult::Found && m_listed)
        result.listed = m_listed();
    Q_EMIT finished(result);
}
