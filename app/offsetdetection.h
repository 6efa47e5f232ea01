#pragma once

#include "lookup/accurateriplookup.h"
#include "lookup/offsetscan.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TCDIn;
class TPcmDiscardOut;
class WriterEvents;

// What a detection of the drive's read offset came to.
struct TOffsetDetectionResult
{
    enum Kind {
        Found,         // `offset`, confirmed by `matched` tracks
        NotInDatabase, // AccurateRip has no file of this disc
        TooFewTracks,  // fewer than two audio tracks
        NoAgreement,   // no offset makes two tracks match
        Failed,        // the disc or the database could not be read: `reason`
        Cancelled,
    };
    Kind kind = Failed;
    int offset = 0;
    int matched = 0;
    int scanned = 0;
    int confidence = 0;
    std::optional<int> listed; // the AccurateRip drive list's offset for the drive
    QString reason;

    // The list gives the drive another offset than the one found.
    bool disagreesWithList() const { return kind == Found && listed && *listed != offset; }
    // The answer in words, as the detection dialog shows it.
    QString Text() const;
};

// Finds the read offset of the drive CDIn reads from, on a disc that
// AccurateRip knows: the disc's file is fetched, a few tracks are read once
// without correction (with the margins a scan needs) into a sink of its own,
// every shift of them is summed as they stream past, and the shift at which
// two tracks match the most trusted records is the answer. Nothing is
// stored: the caller decides. CDIn's offset, tracks, margin and tap are its
// own again when finished() comes. Window thread.
class TOffsetDetection : public QObject
{
    Q_OBJECT

public:
    explicit TOffsetDetection(TCDIn &input, QObject *parent = nullptr);
    ~TOffsetDetection() override;

    // The drive list's offset for the drive, asked when the detection ends
    // (a list fetched meanwhile counts).
    using ListedOffset = std::function<std::optional<int>()>;
    // Starts on CDIn's drive. `moreCandidates`: offsets whose v2 sums are
    // worth working out besides the common ones. Ignored while running.
    void Start(const TAccurateRipSettings &settings,
               ListedOffset listed,
               const std::vector<int> &moreCandidates);
    // The read ends within one read command; finished() follows with Cancelled.
    void Cancel();
    bool IsRunning() const { return m_running; }

Q_SIGNALS:
    // What is being done, in words ("Reading tracks 2 to 4").
    void stage(const QString &text);
    void progress(int percent);
    void finished(const TOffsetDetectionResult &result);

private:
    void lookupFinished();
    void startRead();
    void readDone();
    void readFailed(const QString &message);
    void finish(TOffsetDetectionResult result);
    void restoreInput();

    TCDIn &m_in;
    std::unique_ptr<TPcmDiscardOut> m_sink;
    std::unique_ptr<TAccurateRipLookup> m_lookup;
    std::unique_ptr<OffsetScan::Scanner> m_scanner;

    // One detection's state.
    bool m_running = false;
    bool m_cancelled = false;
    bool m_reading = false;
    ListedOffset m_listed;
    std::vector<int> m_candidates;
    AccurateRip::DiscIds m_ids;
    std::vector<TTocEntry> m_toc;
    std::vector<int> m_audioIndexes; // of the scanned tracks
    int m_firstTrack = 0;
    int m_lastTrack = 0;
    int32_t m_savedOffset = 0;
};
