#include "job/ripjob.h"

#include "convert/audioconvertclient.h"
#include "job/outputnaming.h"
#include "job/progressview.h"
#include "job/readsinks.h"
#include "job/ripverifier.h"
#include "lookup/accuraterip.h"
#include "pipeline/cdinput.h"
#include "pipeline/discardout.h"
#include "pipeline/flacwriter.h"
#include "pipeline/macwriter.h"
#include "pipeline/pcmexception.h"
#include "pipeline/wavewriter.h"
#include "pipeline/writerevents.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <iterator>

TRipJob::TRipJob(const Components &components, QObject *parent)
    : QObject(parent)
    , m_c(components)
{
    setObjectName(QStringLiteral("RipJob"));
    EjectDisc = [](int drive) {
        TCDIn cd;
        cd.SetCurrentDrive(drive);
        cd.EjectDisc();
    };
    // WaveOutThreadException serves every sink.
    const struct
    {
        WriterEvents *events;
        void (TRipJob::*done)();
        void (TRipJob::*progress)(int);
    } sinks[] = {
        {m_c.WaveOutEvents, &TRipJob::WaveOutDone, &TRipJob::WaveOutProgress},
        {m_c.FLACOutEvents, &TRipJob::FLACOutDone, &TRipJob::FLACOutProgress},
        {m_c.MACOutEvents, &TRipJob::FLACOutDone, &TRipJob::FLACOutProgress},
        {m_c.TestOutEvents, &TRipJob::TestOutDone, &TRipJob::WaveOutProgress},
    };
    for (const auto &sink : sinks) {
        if (!sink.events)
            continue;
        connect(sink.events, &WriterEvents::done, this, sink.done);
        connect(sink.events, &WriterEvents::progress, this, sink.progress);
        connect(sink.events, &WriterEvents::threadException, this, &TRipJob::WaveOutThreadException);
    }
    connect(m_c.Timer, &QTimer::timeout, this, &TRipJob::TimerTimer);
    connect(m_c.TimeRip, &QTimer::timeout, this, &TRipJob::TimeRipTimer);
    if (m_c.AudioConvert) {
        m_c.AudioConvert->OnConvertBlock = [this](TAudioConvert *, int32_t percent) {
            guarded([&] { ConvertBlock(percent); });
        };
        m_c.AudioConvert->OnError = [this](TAudioConvert *, TOleEnum code) { ConvertError(code); };
    }
}

TRipJob::~TRipJob()
{
    Shutdown();
    stopGapSearch();
    if (m_c.AudioConvert) {
        m_c.AudioConvert->OnConvertBlock = nullptr;
        m_c.AudioConvert->OnError = nullptr;
    }
}

// ---------------------------------------------------------------------------
// The view

void TRipJob::show(const std::function<void(ProgressView &)> &update)
{
    // A view closed while late events still come in is simply gone.
    if (m_view && m_viewObject)
        update(*m_view);
}

void TRipJob::addLine(const QString &line)
{
    m_summary.memo << line;
    show([&line](ProgressView &v) { v.addLine(line); });
}

// ---------------------------------------------------------------------------
// Starting

void TRipJob::ClearJobQueue()
{
    m_jobQueue.clear();
    m_currentOrdinal = 1;
}

void TRipJob::Start(ProgressView &view,
                    int format,
                    const QList<TTrackInfo> &records,
                    const TagFields &tags,
                    const EndOptions &options)
{
    // A search of a cancelled job may still be on its way out.
    stopGapSearch();
    m_view = &view;
    m_viewObject = view.viewObject();
    m_format = format;
    m_summary = RipSummary();
    m_summary.tags = tags;
    m_summary.options = options;
    addLine(QStringLiteral("Initialization..."));
    m_jobQueue = records;
    for (const QString &line : takeDataTracks(m_jobQueue))
        addLine(line);
    m_currentOrdinal = 1;
    m_jobTrackCount = int(m_jobQueue.size());
    m_totalStep = m_jobTrackCount > 0 ? 100 / m_jobTrackCount : 0;
    m_total = 0;
    m_tempWav.clear();
    m_partialOutput.clear();
    m_converting = false;
    m_convertErrorCode = 0;
    m_currentOutput = nullptr;
    m_running = !m_jobQueue.isEmpty();
    m_awaitingVerdicts = false;
    m_awaitingCheck = false;
    m_reads = TTrackReads(m_verifyOptions.reads, m_verifyOptions.verify);
    m_pace = m_paceOptions;
    m_pace.conversions = std::max(1, m_pace.conversions);
    m_reading = false;
    m_handedOver.clear();
    m_converters.clear(); // each job's converters take the settings of its start
    m_finishedFiles.clear();
    m_summary.testAndCopy = m_verifyOptions.reads.testAndCopy;
    // Files without the sheet that says where the gaps went hold whole tracks.
    m_summary.cueLayout = m_verifyOptions.writeCue ? m_verifyOptions.cueLayout
                                                   : TCueLayout::GapsAppended;
    if (m_running) {
        startVerifier();
        addHiddenTrack();
        if ((m_verifyOptions.detectGaps || m_verifyOptions.writeCue) && m_c.CDIn
            && !m_summary.toc.empty())
            startGapSearch();
        else
            StartNextTrack();
    }
}

bool TRipJob::hiddenHead() const
{
    return !m_jobQueue.isEmpty() && m_jobQueue.constFirst().Number == 0;
}

void TRipJob::SilenceTap::PcmDelivered(const uint8_t *data, int32_t size)
{
    if (sound)
        return;
    for (int32_t i = 0; i < size; ++i) {
        if (data[i] != 0) {
            sound = true;
            return;
        }
    }
}

void TRipJob::addHiddenTrack()
{
    const std::vector<TTocEntry> &toc = m_summary.toc;
    if (!m_verifyOptions.hiddenTrack || toc.size() < 2 || CDRip::IsDataFlag(toc[0].Flag)
        || toc[0].StartSector == 0)
        return;
    const int first = toc[0].TrackNumber;
    if (std::none_of(m_jobQueue.cbegin(), m_jobQueue.cend(), [first](const TTrackInfo &t) {
            return t.Number == first;
        }))
        return;
    m_jobQueue.prepend(*m_verifyOptions.hiddenTrack);
    m_jobTrackCount = int(m_jobQueue.size());
    m_totalStep = 100 / m_jobTrackCount;
}

void TRipJob::startGapSearch()
{
    // Cancel stops it as it stops a read.
    m_jobStage = jsWriting;
    addLine(QStringLiteral("Detecting gaps..."));
    m_gapCancel = false;
    auto result = std::make_shared<TDiscIndexes>();
    m_gapResult = result;
    const std::vector<TTocEntry> toc = m_summary.toc;
    const int32_t drive = m_c.CDIn->CurrentDrive();
    m_gapThread.reset(QThread::create([result, toc, drive, cancel = &m_gapCancel] {
        *result = FindDiscIndexes(drive, toc, cancel);
    }));
    connect(m_gapThread.get(), &QThread::finished, this, &TRipJob::gapSearchDone);
    m_gapThread->start();
}

void TRipJob::gapSearchDone()
{
    // Emitted as its thread ends, which may take a moment more.
    if (!m_gapThread)
        return;
    m_gapThread->wait();
    m_gapThread.reset();
    if (!m_running || m_aborted || m_jobQueue.isEmpty())
        return;
    m_summary.indexes = *m_gapResult;
    const TDiscIndexes &found = m_summary.indexes;
    if (!found.Searched)
        addLine(QStringLiteral("Gaps: this drive gives no sub-channel to find them in."));
    for (const TTrackInfo &record : m_jobQueue) {
        const TTrackIndexes *track = found.find(record.Number);
        if (!track)
            continue;
        QStringList parts;
        if (!track->PregapText().isEmpty())
            parts << track->PregapText();
        for (size_t i = 0; i < track->SubIndexes.size(); ++i)
            parts << QStringLiteral("index %1 at %2")
                         .arg(int(i) + 2, 2, 10, QLatin1Char('0'))
                         .arg(FormatMSF(FramesToMSF(track->SubIndexes[i] - track->Start)));
        if (track->PreEmphasis)
            parts << QStringLiteral("pre-emphasis");
        if (!parts.isEmpty())
            addLine(QStringLiteral("Track %1: %2")
                        .arg(record.Number)
                        .arg(parts.join(QStringLiteral(", "))));
    }
    if (found.GaveUp)
        addLine(QStringLiteral("Gaps: the search gave up after %1 failed sub-channel reads.")
                    .arg(found.FailedReads));
    StartNextTrack();
}

void TRipJob::stopGapSearch()
{
    if (!m_gapThread)
        return;
    m_gapCancel = true;
    m_gapThread->wait();
    m_gapThread.reset();
}

void TRipJob::startVerifier()
{
    // A read cut off by a cancel may still be feeding the last job's tap.
    if (m_verifier)
        m_previousVerifier = std::move(m_verifier);
    if (!m_c.CDIn)
        return;
    try {
        m_summary.toc = m_c.CDIn->GetToc();
        m_summary.drive = m_c.CDIn->GetDriveName();
        // A drive asks the disc for each: only for the sheet that shows them.
        if (m_verifyOptions.writeCue && !m_summary.toc.empty()) {
            m_summary.catalog = m_c.CDIn->GetCatalog();
            for (const TTrackInfo &record : m_jobQueue) {
                const QString isrc = m_c.CDIn->GetTrackIsrc(record.Number);
                if (!isrc.isEmpty())
                    m_summary.isrcs[record.Number] = isrc;
            }
        }
    } catch (const std::exception &) {
        m_summary.toc.clear();
    }
    m_verifier = std::make_unique<TRipVerifier>(AccurateRip::tocOf(m_summary.toc),
                                                m_verifyOptions.verify,
                                                m_verifyOptions.server);
    connect(m_verifier.get(), &TRipVerifier::MemoLine, this, &TRipJob::addLine);
    connect(m_verifier.get(), &TRipVerifier::Answer, this, [this] {
        if (std::exchange(m_awaitingCheck, false))
            guarded([this] { keepOrReread(); });
    });
    connect(m_verifier.get(), &TRipVerifier::Done, this, [this] {
        guarded([this] {
            if (m_awaitingVerdicts && m_running)
                completeJob();
        });
    });
    m_verifier->Start();
}

void TRipJob::clearTap()
{
    if (m_c.CDIn && !m_c.CDIn->IsBusy())
        m_c.CDIn->SetTap(nullptr);
}

void TRipJob::StartNextTrack()
{
    m_jobStage = jsWriting;
    m_reading = true;
    const TTrackInfo &head = m_jobQueue.constFirst();
    show([&](ProgressView &v) {
        v.setCaption(QString::asprintf("Track %d of %d (Track %d)",
                                       m_currentOrdinal,
                                       m_jobTrackCount,
                                       head.Number));
    });
    m_reads.Begin(head.Number);
    if (hiddenHead()) {
        addLine(QStringLiteral("Extracting the hidden audio before track 1..."));
        m_hiddenTap.sound = false;
        startRead(TTrackReads::Read::Copy);
        return;
    }
    addLine(QStringLiteral("Extracting Track %1...").arg(head.Number));
    startRead(m_reads.FirstRead());
}

void TRipJob::startRead(TTrackReads::Read read)
{
    m_aborted = false;
    const TTrackInfo &head = m_jobQueue.constFirst();
    guarded([&] {
        // Each read has sums of its own; the copy kept has the last.
        // AccurateRip never sees the hidden audio; only whether it is silent counts.
        TPcmTap *tap = nullptr;
        if (hiddenHead())
            tap = &m_hiddenTap;
        else if (m_verifier)
            tap = m_verifier->TapFor(head.Number);
        TPcmOutput &sink = PrepareRead(
            {m_c.CDIn, m_c.TestOut, m_c.WaveOut, m_c.FLACOut, m_c.MACOut},
            read,
            m_format,
            head,
            tap,
            hiddenHead() || m_reads.FirstCopy(),
            m_tempWav,
            m_partialOutput,
            [this](const QString &line) { addLine(line); },
            readRangeOf(head.Number));
        m_currentOutput = &sink;
        sink.StartOutput();
    });
}

TReadRange TRipJob::readRangeOf(int track) const
{
    TReadRange range;
    if (track == 0 && !m_summary.toc.empty()) {
        range.wholeTrack = false;
        range.file = {0, m_summary.toc.front().StartSector};
        range.tapped = range.file;
        return range;
    }
    if (m_summary.indexes.Tracks.empty())
        return range;
    range.file = TrackFileRange(m_summary.cueLayout, m_summary.toc, m_summary.indexes, track);
    range.tapped = TrackFileRange(TCueLayout::GapsAppended, m_summary.toc, m_summary.indexes, track);
    range.wholeTrack = range.file.First == range.tapped.First && range.file.End == range.tapped.End;
    return range;
}

void TRipJob::TestOutDone()
{
    if (m_c.TestOut->IsBusy() || m_aborted || !m_running || m_jobQueue.isEmpty())
        return;
    m_reads.TestRead(m_verifier->ReadSums(m_jobQueue.constFirst().Number));
    startRead(TTrackReads::Read::Copy);
}

void TRipJob::copyReadEnded()
{
    // A read was made, so there are a CD input and a verifier.
    m_readResult = m_c.CDIn->LastReadResult();
    if (hiddenHead()) {
        m_readResult.Track = 0;
        addLine(m_readResult.Line());
        if (m_hiddenTap.sound) {
            if (m_pace.overlap)
                handOver();
            else
                (OutputFormats::isConverted(m_format) ? m_c.Timer : m_c.TimeRip)->start();
            return;
        }
        // Silence: nothing is written, and track 1's sheet entry says PREGAP.
        m_reading = false;
        m_jobQueue.removeFirst();
        m_tempWav.remove();
        removePartialOutput();
        m_partialOutput.clear();
        addLine(QStringLiteral(
            "Track 0: the audio before track 1 is digital silence; no file is kept."));
        guarded([this] { nextTrack(); });
        return;
    }
    addLine(m_readResult.Line());
    guarded([this] { keepOrReread(); });
}

void TRipJob::keepOrReread()
{
    if (!m_running || m_aborted || m_jobQueue.isEmpty())
        return;
    if (m_reads.NeedsCheck() && !m_verifier->Answered()) {
        m_awaitingCheck = true;
        return;
    }
    const int number = m_jobQueue.constFirst().Number;
    QStringList lines;
    const TTrackReads::Step step = m_reads.CopyRead(m_verifier->ReadSums(number),
                                                    m_verifier->Check(number),
                                                    lines);
    for (const QString &line : lines)
        addLine(line);
    if (step == TTrackReads::Step::Reread)
        startRead(TTrackReads::Read::Copy);
    else if (m_pace.overlap)
        handOver();
    else
        (OutputFormats::isConverted(m_format) ? m_c.Timer : m_c.TimeRip)->start();
}

// ---------------------------------------------------------------------------
// The writers' events (on the window thread through their adapters)

void TRipJob::WaveOutDone()
{
    // A done of an earlier run, overtaken by a new start, is no end of this one.
    if (m_c.WaveOut->IsBusy())
        return;
    if (m_aborted || !m_running) {
        m_tempWav.remove();
        return;
    }
    copyReadEnded();
}

void TRipJob::WaveOutProgress(int percent)
{
    show([percent](ProgressView &v) { v.setRipPercent(percent); });
}

void TRipJob::WaveOutThreadException(const QString &message)
{
    if (!m_running)
        return;
    // Lines of other tracks may come between: the error names its own.
    const QString shown
        = m_pace.overlap && !m_jobQueue.isEmpty()
              ? QStringLiteral("Track %1: %2").arg(m_jobQueue.constFirst().Number).arg(message)
              : message;
    if (m_aborted || !m_verifyOptions.reads.goOn || m_jobQueue.isEmpty()) {
        stall(shown);
        return;
    }
    addLine(QStringLiteral("Error: ") + shown);
    guarded([&] { failTrack(message); });
}

void TRipJob::FLACOutDone()
{
    if (!m_currentOutput || m_currentOutput->IsBusy())
        return;
    if (m_aborted) {
        // Cancelled: what the writer finished is a cut-off track.
        if (!m_running)
            removePartialOutput();
        return;
    }
    if (m_running)
        copyReadEnded();
}

void TRipJob::FLACOutProgress(int percent)
{
    show([percent](ProgressView &v) {
        v.setRipPercent(percent);
        v.setConvertPercent(percent);
    });
}

// Route A: the conversion. Route B: the tags, then the next track.
void TRipJob::TimerTimer()
{
    m_c.Timer->stop();
    // Cancelled in the moment between the copy and this stage.
    if (!m_running || m_aborted || m_jobQueue.isEmpty())
        return;
    guarded([this] {
        FillTrackTags(m_c.AudioConvert,
                      m_c.Information.get(),
                      m_jobQueue.constFirst(),
                      m_summary.tags);
        // Nothing after the stage: its nested loop may have ended the job.
        if (const TConvertOperation convert = ConvertOperationOf(m_format))
            StartConversion(convert);
    });
}

void TRipJob::StartConversion(void (TAudioConvert::*convert)(const QString &, const QString &))
{
    m_convertErrorCode = 0;
    m_converting = true;
    const QString temp = m_tempWav.path();
    if (!QFileInfo::exists(temp)) {
        stall(QStringLiteral("The temporary file %1 is missing; the track cannot be converted.")
                  .arg(temp));
        return;
    }
    m_jobStage = jsConverting;
    const TTrackInfo &head = m_jobQueue.constFirst();
    OutputNaming::CreateFolderPath(OutputNaming::folderPart(head.FileName));
    addLine(QStringLiteral("Create file: ") + head.FileName);
    m_partialOutput = head.FileName;
    (m_c.AudioConvert->*convert)(temp, head.FileName);
    WaitForConversion();
}

void TRipJob::WaitForConversion()
{
    const QPointer<TRipJob> alive(this);
    m_convertPercent = 0;
    bool done = false;
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (!alive)
            return;
        done = m_convertPercent == 100;
        if (!m_converting) {
            m_convertPercent = 0;
            m_c.AudioConvert->Abort();
            // The component may have opened its output after the cancel
            // removed it.
            removePartialOutput();
            return;
        }
        if (m_convertErrorCode != 0) {
            addLine(QStringLiteral("Error: ") + ConvertErrorText(m_convertErrorCode));
            m_aborted = true;
            m_convertPercent = 100;
            done = true;
        }
        const int percent = m_convertPercent;
        show([percent](ProgressView &v) { v.setConvertPercent(percent); });
    }
    if (m_convertPercent == 100 && !m_jobQueue.isEmpty())
        show([](ProgressView &v) { v.setConvertPercent(0); });
    if (m_convertErrorCode != 0 && m_verifyOptions.reads.goOn && m_running)
        failTrack(ConvertErrorText(m_convertErrorCode));
}

void TRipJob::ConvertError(int32_t ErrorCode)
{
    if (m_jobStage == jsConverting && m_converting)
        m_convertErrorCode = ErrorCode;
}

void TRipJob::ConvertBlock(int32_t Percent)
{
    // Only the running conversion counts: a late 100 after a cancel must not
    // finish a track, let alone the job.
    if (!m_running || m_jobStage != jsConverting || !m_converting || m_convertErrorCode != 0)
        return;
    m_convertPercent = Percent;
    if (Percent != 100)
        return;
    m_tempWav.remove();
    trackFinished();
}

void TRipJob::TimeRipTimer()
{
    m_c.TimeRip->stop();
    if (!m_running || m_aborted || m_jobQueue.isEmpty())
        return;
    guarded([this] {
        WriteFileTags(m_c.AudioConvert,
                      m_c.Information.get(),
                      m_jobQueue.constFirst(),
                      m_summary.tags,
                      m_c.FLACOut && m_currentOutput == m_c.FLACOut);
        trackFinished();
    });
}

// ---------------------------------------------------------------------------
// Ends of tracks and of the job

void TRipJob::trackFinished()
{
    // Every finished track of either route passes here, once.
    const TTrackInfo track = m_jobQueue.takeFirst();
    m_partialOutput.clear();
    // The conversion route lists only a file the component left behind.
    if (!OutputFormats::isConverted(m_format) || QFileInfo(track.FileName).isFile())
        PlaylistEntries << track.FileName;
    clearTap();
    if (track.Number == 0) {
        m_summary.hiddenTrackFile = track.FileName;
    } else {
        m_summary.tracks.push_back(RipTrackOf(track, m_reads, m_readResult));
        if (m_verifier)
            m_verifier->EndTrack(track.Number);
    }
    nextTrack();
}

void TRipJob::failTrack(const QString &message)
{
    const TTrackInfo track = m_jobQueue.takeFirst();
    m_reading = false;
    m_tempWav.remove();
    removePartialOutput();
    m_partialOutput.clear();
    m_summary.failedTracks.push_back(
        RipFailedTrackOf(track, m_reads, m_c.CDIn->LastReadResult(), message));
    addLine(QStringLiteral("Track %1 failed: no file is kept; the job goes on.").arg(track.Number));
    clearTap();
    if (m_verifier && track.Number != 0)
        m_verifier->EndTrack(track.Number, true);
    nextTrack();
}

void TRipJob::nextTrack()
{
    if (m_pace.overlap) {
        overlappedTrackLeft();
        return;
    }
    if (m_jobQueue.isEmpty()) {
        lastTrackFinished();
        return;
    }
    const int total = m_total += m_totalStep;
    const bool lossless = !OutputFormats::isConverted(m_format);
    show([total, lossless](ProgressView &v) {
        v.setTotalPercent(total);
        v.setRipPercent(0);
        if (lossless)
            v.setConvertPercent(0);
    });
    ++m_currentOrdinal;
    StartNextTrack();
}

void TRipJob::lastTrackFinished()
{
    if (!m_verifier) {
        completeJob();
        return;
    }
    // The summary follows the last verdict; a lookup still under way holds
    // "Completed!" back until its answer or its time limit.
    m_awaitingVerdicts = true;
    m_verifier->Finish();
    if (m_verifier->IsDone() && m_running && m_awaitingVerdicts)
        completeJob();
}

void TRipJob::completeJob()
{
    m_awaitingVerdicts = false;
    m_total = 100;
    m_jobStage = jsIdle;
    m_running = false;
    for (const QString &line : RipEndLines(m_summary))
        addLine(line);
    show([](ProgressView &v) {
        v.setTotalPercent(100);
        v.setCancelEnabled(false);
        v.setExitEnabled(true);
    });
    FinishJob();
    Q_EMIT ended();
}

void TRipJob::FinishJob()
{
    if (m_verifier)
        m_verifier->FillSummary(m_summary);
    m_summary.playlistEntries = PlaylistEntries;
    m_summary.performer = m_verifyOptions.performer;
    m_summary.programVersion = m_verifyOptions.programVersion;
    m_summary.readOffset = m_c.CDIn ? m_c.CDIn->ReadOffset() : 0;
    m_summary.date = QDateTime::currentDateTime();
    m_summary.writeLog = m_verifyOptions.writeLog;
    m_summary.writeCue = m_verifyOptions.writeCue;
    // FinishRip puts the failures into the memo; here they are only shown.
    FinishRip(m_summary, EjectDisc, [this](const QString &message) {
        show([&message](ProgressView &v) { v.addLine(QStringLiteral("Error: ") + message); });
        if (OnFinishError)
            OnFinishError(message);
    });
}

void TRipJob::stall(const QString &message)
{
    addLine(QStringLiteral("Error: ") + message);
    m_aborted = true;
}

void TRipJob::fail(const QString &message)
{
    if (m_running) {
        stall(message);
        return;
    }
    addLine(QStringLiteral("Error: ") + message);
    if (OnFinishError)
        OnFinishError(message);
}

void TRipJob::guarded(const std::function<void()> &work)
{
    try {
        work();
    } catch (const std::exception &e) {
        fail(QString::fromUtf8(e.what()));
    } catch (...) {
        fail(QStringLiteral("Unknown error."));
    }
}

void TRipJob::CancelJob()
{
    if (!m_running || m_jobStage == jsIdle)
        return;
    guarded([this] {
        // Failed tracks are no successes.
        const int extracted = int(m_summary.tracks.size());
        const QString done = QString::asprintf("Done. %d track(s) were successfully extracted.",
                                               extracted);
        m_gapCancel = true;
        if (m_jobStage == jsWriting) {
            if (m_currentOutput && !m_awaitingVerdicts)
                m_currentOutput->RequestStop();
            m_aborted = true;
        } else {
            m_converting = false;
        }
        abortHandedOver();
        m_tempWav.remove();
        show([&done](ProgressView &v) {
            v.addLine(QStringLiteral("Cancelled."));
            v.addLine(done);
            v.setCancelEnabled(false);
            v.setExitEnabled(true);
        });
        m_running = false;
        m_c.Timer->stop();
        m_c.TimeRip->stop();
        // A writer still finishing keeps its file open; it goes again once
        // the writer is done (FLACOutDone).
        removePartialOutput();
        Q_EMIT ended();
    });
}

void TRipJob::Shutdown()
{
    if (!m_running)
        return;
    const bool converting = m_jobStage == jsConverting && m_converting;
    CancelJob();
    // The program is closing (or the job going): nothing may escape.
    guarded([&] {
        if (converting)
            m_c.AudioConvert->Abort();
    });
    stopGapSearch();
    waitForWriter();
    clearTap();
    m_tempWav.remove();
    removePartialOutput();
}

void TRipJob::waitForWriter()
{
    if (!m_currentOutput)
        return;
    // A cancelled copy ends at its next chunk, a second of audio at most.
    QDeadlineTimer deadline(30000);
    while (m_currentOutput->IsBusy() && !deadline.hasExpired())
        QThread::msleep(5);
}

void TRipJob::removePartialOutput()
{
    if (!m_partialOutput.isEmpty() && QFileInfo(m_partialOutput).isFile())
        QFile::remove(m_partialOutput);
}
