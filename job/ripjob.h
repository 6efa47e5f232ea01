#pragma once

#include "convert/converterrors.h"
#include "convert/outputformats.h"
#include "job/readsinks.h"
#include "job/ripreport.h"
#include "job/temporarywav.h"
#include "job/trackinfo.h"
#include "job/trackreads.h"
#include "lookup/accurateriplookup.h"
#include "pipeline/cdinput.h"
#include "pipeline/cdripbinding.h"
#include "pipeline/pcmtap.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class ProgressView;
class QThread;
class QTimer;
class TAudioConvert;
class TRipVerifier;
class TCDIn;
class TFLACOut;
class TMACOut;
class TPcmDiscardOut;
class TPcmOutput;
class TWaveOut;
class WriterEvents;
namespace AudioConvertLib {
class IAudioConvertInformation;
}

// The rip job: walks the ticked tracks one at a time, in row order. MP3,
// WMA, Ogg Vorbis, both WAV formats and Opus go from the disc into a temporary WAV
// file through WaveOut, then through the conversion component into the
// output file; FLAC and APE go from the disc straight into the output file
// through FLACOut or MACOut. A completed job can eject the disc and write a
// playlist of what it made.
//
// Every decision runs on the window thread: the writers' events arrive
// through their WriterEvents adapters, the hand-over from one stage to the
// next goes through the window's one-shot timers Timer (100 ms, to the
// conversion) and TimeRip (200 ms, to the next track), and while the
// conversion component works the job waits in a nested event loop.
//
// A cancelled job leaves no temporary WAV behind and no partial file under
// a final name; neither does one ended by Shutdown (the program closing).
//
// How a track is read follows the read options (TTrackReads): a test read
// into TestOut first, copies read again until they are confirmed; a track
// that fails stalls the job, or with "go on" leaves no file and the job
// goes on with the next.
//
// With the overlap of the pace options the drive does not wait for the
// encoders: once a track is read the next one is, while the tracks before
// it are converted (several at once, each from its own temporary WAV, each
// through a converter of its own) or, for FLAC and APE, tagged. The timers
// are not used then; the files written and the lines of each track are the
// same, the playlist and the summary keep the row order.
class TRipJob : public QObject
{
    Q_OBJECT

public:
    enum TJobStage { jsIdle, jsWriting, jsConverting };

    // Output format indexes, as the format list offers them.
    enum Format {
        fmMp3 = OutputFormats::Mp3,
        fmWma = OutputFormats::Wma,
        fmOggVorbis = OutputFormats::OggVorbis,
        fmWave = OutputFormats::Wave,
        fmAdpcm = OutputFormats::Adpcm,
        fmFlac = OutputFormats::Flac,
        fmApe = OutputFormats::Ape,
        fmOpus = OutputFormats::Opus,
    };

    // What the job works with; it owns none of it. A writer missing for
    // want of its library may be null.
    struct Components
    {
        TCDIn *CDIn = nullptr;
        TWaveOut *WaveOut = nullptr;
        TFLACOut *FLACOut = nullptr;
        TMACOut *MACOut = nullptr;
        WriterEvents *WaveOutEvents = nullptr;
        WriterEvents *FLACOutEvents = nullptr;
        WriterEvents *MACOutEvents = nullptr;
        TAudioConvert *AudioConvert = nullptr;
        std::shared_ptr<AudioConvertLib::IAudioConvertInformation> Information;
        QTimer *Timer = nullptr;   // one-shot, 100 ms
        QTimer *TimeRip = nullptr; // one-shot, 200 ms
        // The test reads of test & copy; null when no job asks for them.
        TPcmDiscardOut *TestOut = nullptr;
        WriterEvents *TestOutEvents = nullptr;
    };

    // The tag fields of the main window, which stay as they are during a
    // job (the window is disabled).
    using TagFields = RipTagFields;

    // What a completed job does at its end.
    using EndOptions = RipEndOptions;

    // The verified-rip options, all off by default: the AccurateRip verdicts
    // in the log, and the rip log and CUE sheet beside the output files.
    struct VerifyOptions
    {
        bool verify = false;
        bool writeLog = false;
        bool writeCue = false;
        TAccurateRipSettings server;
        QString performer; // the disc's artist, for the log and the sheet
        QString programVersion;
        TReadOptions reads; // re-reads only with verify
        // Pregaps, sub-indexes and pre-emphasis from the drive's sub-channel
        // before the first track (also whenever a CUE sheet is written), and
        // how the sheet's files hold the gaps.
        bool detectGaps = false;
        TCueLayout cueLayout = TCueLayout::GapsAppended;
        // The record of the hidden audio before track 1 (number 0), ripped
        // first when track 1 is ripped and starts after the disc's first
        // sector; its file is kept unless the audio is digital silence, and
        // AccurateRip never checks it.
        std::optional<TTrackInfo> hiddenTrack;
    };

    explicit TRipJob(const Components &components, QObject *parent = nullptr);
    // Ends a running job as Shutdown does.
    ~TRipJob() override;

    // Frees every record of the queue and sets CurrentOrdinal to 1.
    void ClearJobQueue();
    // Runs a job over records (at least one) into view: "Initialization...",
    // then the first track. The view must outlive the job or be destroyed
    // as a QObject (viewObject()), after which nothing is shown.
    void Start(ProgressView &view,
               int format,
               const QList<TTrackInfo> &records,
               const TagFields &tags,
               const EndOptions &options);
    // Taken by the next Start.
    void SetVerifyOptions(const VerifyOptions &options) { m_verifyOptions = options; }

    // When the stages run, off (one thing at a time) by default: with
    // overlap, the next track is read while up to `conversions` tracks read
    // before it are converted (or tagged), so that at most conversions + 1
    // temporary WAVs exist at once.
    struct PaceOptions
    {
        bool overlap = false;
        int conversions = 1;
    };
    // Taken by the next Start.
    void SetPaceOptions(const PaceOptions &options) { m_paceOptions = options; }

    // The Cancel button: stops the current track and ends the job, keeping
    // the tracks finished so far. Nothing once the job has ended.
    void CancelJob();
    // The program is closing: a job still running is cancelled, and before
    // this returns its writer has stopped and its temporary and partial
    // files are gone.
    void Shutdown();

    // Started and neither completed nor cancelled (a stalled job runs).
    bool Running() const { return m_running; }

    // The output paths of the tracks finished in this job, in finishing order.
    QStringList PlaylistEntries;

    const QList<TTrackInfo> &JobQueue() const { return m_jobQueue; }
    TJobStage JobStage() const { return m_jobStage; }
    int TotalStep() const { return m_totalStep; }
    bool Aborted() const { return m_aborted; }
    QString TempWavFile() const { return m_tempWav.path(); }
    int CurrentOrdinal() const { return m_currentOrdinal; }
    int JobTrackCount() const { return m_jobTrackCount; }

    // Opens the tray of a drive; by default through a CD input of its own.
    std::function<void(int drive)> EjectDisc;
    // Shows a failure of the end of the job (eject, playlist) to the user;
    // without it the failure is only logged in the view.
    std::function<void(const QString &message)> OnFinishError;

    // The text the log shows for an error code of the conversion component.
    static QString ConvertErrorText(int32_t code) { return ::ConvertErrorText(code); }

Q_SIGNALS:
    // The job completed ("Completed!") or was cancelled.
    void ended();

private:
    void StartNextTrack();
    void StartConversion(void (TAudioConvert::*convert)(const QString &, const QString &));
    void WaitForConversion();
    void FinishJob();

    void WaveOutDone();
    void WaveOutProgress(int percent);
    void WaveOutThreadException(const QString &message);
    void FLACOutDone();
    void FLACOutProgress(int percent);
    void TimerTimer();
    void TimeRipTimer();
    void ConvertBlock(int32_t Percent);
    void ConvertError(int32_t ErrorCode);
    void TestOutDone();

    // The sectors a read of `track` covers in the layout of the CUE sheet.
    TReadRange readRangeOf(int track) const;
    // One read of the head track: a test read, or a copy into its file.
    void startRead(TTrackReads::Read read);
    // A copy read is over: its result shows, then it is kept (on to the
    // conversion or the tags) or read again.
    void copyReadEnded();
    void keepOrReread();
    // With "go on": the head track leaves no file and the next one starts.
    void failTrack(const QString &message);
    // After the head track finished or failed: the next, or the job's end.
    void nextTrack();

    // The head track is finished: it leaves the queue for the playlist, and
    // the next one starts or the job completes.
    void trackFinished();
    // The last track is finished: the verdicts still owed come first.
    void lastTrackFinished();
    void completeJob();
    void startVerifier();
    // The gap search on a thread of its own, then the first track.
    void startGapSearch();
    void gapSearchDone();
    void stopGapSearch();
    void clearTap();
    // The job stops advancing with "Error: " + message in the log; Cancel ends it.
    void stall(const QString &message);
    // A failure: a running job stalls; after its end it is shown as one of
    // the end's (the log line and OnFinishError).
    void fail(const QString &message);
    // Runs the work of a handler that the event loop calls, where nothing
    // may be thrown: a failure goes to fail().
    void guarded(const std::function<void()> &work);
    void removePartialOutput();
    void waitForWriter();

    void show(const std::function<void(ProgressView &)> &update);
    void addLine(const QString &line);

    // Overlapped jobs. A track that has been read and is converted, waits
    // for a converter, or stalled the job.
    struct Converter
    {
        std::unique_ptr<TAudioConvert> convert;
        std::shared_ptr<AudioConvertLib::IAudioConvertInformation> information;
    };
    struct HandedOver
    {
        TTrackInfo track;
        int ordinal = 0;
        TemporaryWavFile temp;
        QString output; // under its final name, once begun
        TTrackReads reads{TReadOptions(), false};
        TTrackReadResult readResult;
        Converter *converter = nullptr; // while converting
        int percent = 0;
        bool failed = false; // the job stalled on it
    };
    using HandedOverIt = std::list<HandedOver>::iterator;
    // The head's kept read leaves the queue: the next read starts, and its
    // conversion or tags.
    void handOver();
    void readNextIfRoom();
    void startConversions();
    void startConversion(HandedOverIt track, Converter &converter);
    Converter *freeConverter();
    void conversionBlock(const Converter *converter, int32_t percent);
    void conversionError(const Converter *converter, int32_t code);
    void tagHandedOver(HandedOverIt track);
    void finishHandedOver(HandedOverIt track);
    // Stalls on the track, or with "go on" drops it and goes on.
    void handedOverFailed(HandedOverIt track, const QString &message);
    // A track finished or failed: the bars, the next stages or the end.
    void overlappedTrackLeft();
    void showConvertBar();
    void abortHandedOver();

    PaceOptions m_paceOptions;
    PaceOptions m_pace; // of the running job
    bool m_reading = false;
    std::list<HandedOver> m_handedOver; // in row order
    std::vector<std::unique_ptr<Converter>> m_converters;
    std::vector<std::pair<int, QString>> m_finishedFiles; // ordinal, path

    Components m_c;

    // Window thread only, like every member below.
    ProgressView *m_view = nullptr;
    QPointer<QObject> m_viewObject;
    int m_format = fmMp3;

    QList<TTrackInfo> m_jobQueue;
    TJobStage m_jobStage = jsIdle;
    int m_totalStep = 0;
    int m_total = 0; // what the total bar shows
    bool m_aborted = false;
    TemporaryWavFile m_tempWav;
    int32_t m_convertPercent = 0;
    bool m_converting = false;
    int32_t m_convertErrorCode = 0;
    TPcmOutput *m_currentOutput = nullptr;
    int m_currentOrdinal = 1;
    int m_jobTrackCount = 0;
    bool m_running = false;
    // The file under a final name that the current track is writing, until
    // the track has finished.
    QString m_partialOutput;

    VerifyOptions m_verifyOptions;
    // The checksums and verdicts of the running job. The one before it stays
    // until then: a cancelled read may still feed its tap.
    std::unique_ptr<TRipVerifier> m_verifier;
    std::unique_ptr<TRipVerifier> m_previousVerifier;
    // What the job has done, for the files written at its end: the finished
    // tracks, the memo lines, the disc's table, the tags and end options.
    RipSummary m_summary;
    bool m_awaitingVerdicts = false;
    TTrackReads m_reads{TReadOptions(), false};
    // A copy waits for AccurateRip's answer before it is kept or read again.
    bool m_awaitingCheck = false;
    TTrackReadResult m_readResult; // of the last copy read
    // The gap search running before the first track, and what it found
    // (written by its thread, read once it has finished).
    std::unique_ptr<QThread> m_gapThread;
    std::atomic<bool> m_gapCancel{false};
    std::shared_ptr<TDiscIndexes> m_gapResult;
    // Sees the hidden audio's read: whether any sample is not zero.
    struct SilenceTap : TPcmTap
    {
        std::atomic<bool> sound{false};
        void PcmDelivered(const uint8_t *data, int32_t size) override;
    };
    SilenceTap m_hiddenTap;
    // The head is the hidden audio before track 1.
    bool hiddenHead() const;
    void addHiddenTrack();
};
