#include "job/ripjob.h"

#include "convert/audioconvertclient.h"
#include "job/cuesheet.h"
#include "job/outputnaming.h"
#include "job/playlist.h"
#include "job/progressview.h"
#include "job/riplog.h"
#include "job/ripverifier.h"
#include "libs/disclookup/disctoc.h"
#include "pipeline/cdinput.h"
#include "pipeline/flacwriter.h"
#include "pipeline/macwriter.h"
#include "pipeline/pcmexception.h"
#include "pipeline/wavewriter.h"
#include "pipeline/writerevents.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>

namespace {

bool routeA(int format)
{
    return OutputFormats::isConverted(format);
}

void removeFile(const QString &path)
{
    if (!path.isEmpty() && QFileInfo(path).isFile())
        QFile::remove(path);
}

} // namespace

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
    if (WriterEvents *events = m_c.WaveOutEvents) {
        connect(events, &WriterEvents::done, this, &TRipJob::WaveOutDone);
        connect(events, &WriterEvents::progress, this, &TRipJob::WaveOutProgress);
        connect(events, &WriterEvents::threadException, this, &TRipJob::WaveOutThreadException);
    }
    if (WriterEvents *events = m_c.FLACOutEvents) {
        connect(events, &WriterEvents::done, this, &TRipJob::FLACOutDone);
        connect(events, &WriterEvents::progress, this, &TRipJob::FLACOutProgress);
        connect(events, &WriterEvents::threadException, this, &TRipJob::WaveOutThreadException);
    }
    if (WriterEvents *events = m_c.MACOutEvents) {
        connect(events, &WriterEvents::done, this, &TRipJob::FLACOutDone);
        connect(events, &WriterEvents::progress, this, &TRipJob::MACOutProgress);
        connect(events, &WriterEvents::threadException, this, &TRipJob::WaveOutThreadException);
    }
    connect(m_c.Timer, &QTimer::timeout, this, &TRipJob::TimerTimer);
    connect(m_c.TimeRip, &QTimer::timeout, this, &TRipJob::TimeRipTimer);
    if (m_c.AudioConvert) {
        m_c.AudioConvert->OnConvertBlock = [this](TAudioConvert *, int32_t percent) {
            ConvertBlock(percent);
        };
        m_c.AudioConvert->OnError = [this](TAudioConvert *, TOleEnum code) { ConvertError(code); };
    }
}

TRipJob::~TRipJob()
{
    Shutdown();
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
    m_memo << line;
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
    m_view = &view;
    m_viewObject = view.viewObject();
    m_format = format;
    m_tags = tags;
    m_options = options;
    m_jobQueue = records;
    m_currentOrdinal = 1;
    m_jobTrackCount = int(m_jobQueue.size());
    m_totalStep = m_jobTrackCount > 0 ? 100 / m_jobTrackCount : 0;
    m_total = 0;
    m_tempWavFile.clear();
    m_partialOutput.clear();
    m_converting = false;
    m_convertErrorCode = 0;
    m_currentOutput = nullptr;
    m_running = !m_jobQueue.isEmpty();
    m_memo.clear();
    m_finished.clear();
    m_awaitingVerdicts = false;
    addLine(QStringLiteral("Initialization..."));
    if (m_running) {
        startVerifier();
        StartNextTrack();
    }
}

void TRipJob::startVerifier()
{
    // A read cut off by a cancel may still be feeding the last job's tap.
    if (m_verifier)
        m_previousVerifier = std::move(m_verifier);
    m_toc.clear();
    m_driveName.clear();
    if (!m_c.CDIn)
        return;
    try {
        m_toc = m_c.CDIn->GetToc();
        m_driveName = m_c.CDIn->GetDriveName();
    } catch (const std::exception &) {
        m_toc.clear();
    }
    DiscLookup::DiscToc toc;
    if (m_toc.size() >= 2) {
        for (size_t i = 0; i + 1 < m_toc.size(); ++i)
            toc.tracks.push_back({int(m_toc[i].TrackNumber),
                                  m_toc[i].StartSector + DiscLookup::LeadInFrames,
                                  CDRip::IsDataFlag(m_toc[i].Flag)});
        toc.leadOutFrame = m_toc.back().StartSector + DiscLookup::LeadInFrames;
    }
    m_verifier = std::make_unique<TRipVerifier>(toc, m_verifyOptions.verify, m_verifyOptions.server);
    connect(m_verifier.get(), &TRipVerifier::MemoLine, this, &TRipJob::addLine);
    connect(m_verifier.get(), &TRipVerifier::Done, this, [this] {
        if (m_awaitingVerdicts && m_running)
            completeJob();
    });
    m_verifier->Start();
}

void TRipJob::setTap(int trackNumber)
{
    TPcmTap *tap = nullptr;
    if (m_verifier) {
        try {
            tap = &m_verifier->BeginTrack(trackNumber);
        } catch (const std::invalid_argument &) {
            // A track the table does not list as audio gets no checksums,
            // and so no verdict but "not verified".
        }
    }
    m_c.CDIn->SetTap(tap);
}

void TRipJob::clearTap()
{
    if (m_c.CDIn && !m_c.CDIn->IsBusy())
        m_c.CDIn->SetTap(nullptr);
}

void TRipJob::StartNextTrack()
{
    m_jobStage = jsWriting;
    const TTrackInfo &head = m_jobQueue.constFirst();
    show([&](ProgressView &v) {
        v.setCaption(QString::asprintf("Track %d of %d (Track %d)",
                                       m_currentOrdinal,
                                       m_jobTrackCount,
                                       head.Number));
    });
    addLine(QStringLiteral("Extracting Track %1...").arg(head.Number));
    m_aborted = false;
    try {
        TPcmFileOut *writer = nullptr;
        if (routeA(m_format)) {
            writer = m_c.WaveOut;
            m_tempWavFile = createTempWavFile();
            writer->SetFileName(m_tempWavFile);
        } else {
            addLine(QStringLiteral("Create file: ") + head.FileName);
            if (m_format == fmFlac)
                writer = m_c.FLACOut;
            else
                writer = m_c.MACOut;
            if (!writer)
                throw EPcmException(m_format == fmFlac
                                        ? "FLAC files cannot be written: libFLAC is missing."
                                        : "APE files cannot be written: libMACDll is missing.");
            // A template with folders, or an output folder not made yet,
            // needs its folders; the writer only creates the file.
            OutputNaming::CreateFolderPath(OutputNaming::folderPart(head.FileName));
            writer->SetFileName(head.FileName);
            m_partialOutput = head.FileName;
        }
        m_currentOutput = writer;
        if (!m_c.CDIn)
            throw EPcmException(CDRipMissingMessage);
        m_c.CDIn->SetStartTrack(head.Number);
        m_c.CDIn->SetEndTrack(m_c.CDIn->StartTrack());
        setTap(head.Number);
        writer->StartOutput();
    } catch (const std::exception &e) {
        stall(QString::fromUtf8(e.what()));
    }
}

QString TRipJob::createTempWavFile() const
{
    // The system hands out a unique empty "tem*.tmp"; the WAV takes its name
    // with ".wav" in place of ".tmp", which must not exist already.
    for (int attempt = 0; attempt < 100; ++attempt) {
        QTemporaryFile reserved(QDir::tempPath() + QStringLiteral("/temXXXXXX.tmp"));
        if (!reserved.open())
            throw EPcmException(QStringLiteral("Cannot create a temporary file in %1: %2")
                                    .arg(QDir::tempPath(), reserved.errorString()));
        const QString created = reserved.fileName();
        const QString wav = created.left(created.size() - 4) + QStringLiteral(".wav");
        reserved.close();
        if (reserved.rename(wav)) {
            reserved.setAutoRemove(false);
            return wav;
        }
    }
    throw EPcmException(
        QStringLiteral("Cannot create a temporary file in %1.").arg(QDir::tempPath()));
}

// ---------------------------------------------------------------------------
// The writers' events (on the window thread through their adapters)

void TRipJob::WaveOutDone()
{
    // A done of an earlier run, overtaken by a new start, is no end of this one.
    if (m_c.WaveOut->IsBusy())
        return;
    if (m_aborted || !m_running) {
        removeTempWavFile();
        return;
    }
    m_c.Timer->start();
}

void TRipJob::WaveOutProgress(int percent)
{
    show([percent](ProgressView &v) { v.setRipPercent(percent); });
}

void TRipJob::WaveOutThreadException(const QString &message)
{
    if (!m_running)
        return;
    stall(message);
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
        m_c.TimeRip->start();
}

void TRipJob::FLACOutProgress(int percent)
{
    show([percent](ProgressView &v) {
        v.setRipPercent(percent);
        v.setConvertPercent(percent);
    });
}

void TRipJob::MACOutProgress(int percent)
{
    FLACOutProgress(percent);
}

// ---------------------------------------------------------------------------
// Route A: the conversion

void TRipJob::TimerTimer()
{
    m_c.Timer->stop();
    // Cancelled in the moment between the copy and this stage.
    if (!m_running || m_aborted || m_jobQueue.isEmpty())
        return;
    try {
        writeTags(m_jobQueue.constFirst());
        switch (m_format) {
        case fmMp3:
            StartConversionMp3();
            break;
        case fmWma:
            StartConversionWma();
            break;
        case fmOggVorbis:
            StartConversionOggVorbis();
            break;
        case fmWave:
            StartConversionWave();
            break;
        case fmAdpcm:
            StartConversionAdpcm();
            break;
        default:
            break;
        }
    } catch (const std::exception &e) {
        stall(QString::fromUtf8(e.what()));
    }
}

bool TRipJob::writeTags(const TTrackInfo &track)
{
    if (!m_c.AudioConvert || !m_c.AudioConvert->WriteTags() || !m_c.Information)
        return false;
    AudioConvertLib::IAudioConvertInformation &info = *m_c.Information;
    info.SetTagTitle(track.Title);
    info.SetTagTrack(int16_t(track.Number));
    info.SetTagArtist(track.Artist);
    // An empty year or genre writes none, rather than the last job's.
    info.SetTagYear(m_tags.year.isEmpty() ? 0 : m_tags.year.toInt());
    info.SetTagAlbum(m_tags.album);
    info.SetTagGenre(m_tags.genre.isEmpty() ? -1 : m_tags.genreIndex);
    info.SetTagComment(m_tags.comment);
    info.SetTagCopyright(m_tags.copyright);
    info.SetTagUrl(m_tags.url);
    info.SetTagEncodedBy(m_tags.encodedBy);
    return true;
}

void TRipJob::writeLosslessTags(const TTrackInfo &track)
{
    // The writer has closed the file; the tags go in before the track counts.
    if (!writeTags(track))
        return;
    AudioConvertLib::WriteLosslessTags(track.FileName,
                                       m_format == fmFlac ? AudioConvertLib::TLosslessFormat::Flac
                                                          : AudioConvertLib::TLosslessFormat::Ape,
                                       *m_c.Information);
}

void TRipJob::StartConversionMp3()
{
    StartConversion(&TAudioConvert::ConvertWaveToMp3);
}

void TRipJob::StartConversionWma()
{
    StartConversion(&TAudioConvert::ConvertWaveToWma);
}

void TRipJob::StartConversionOggVorbis()
{
    StartConversion(&TAudioConvert::ConvertWaveToOggVorbis);
}

void TRipJob::StartConversionWave()
{
    StartConversion(&TAudioConvert::ConvertWaveToWave);
}

void TRipJob::StartConversionAdpcm()
{
    StartConversion(&TAudioConvert::ConvertWaveToAdpcm);
}

void TRipJob::StartConversion(void (TAudioConvert::*convert)(const QString &, const QString &))
{
    m_convertErrorCode = 0;
    m_converting = true;
    if (!QFileInfo::exists(m_tempWavFile)) {
        stall(QStringLiteral("The temporary file %1 is missing; the track cannot be converted.")
                  .arg(m_tempWavFile));
        return;
    }
    m_jobStage = jsConverting;
    const TTrackInfo &head = m_jobQueue.constFirst();
    OutputNaming::CreateFolderPath(OutputNaming::folderPart(head.FileName));
    addLine(QStringLiteral("Create file: ") + head.FileName);
    m_partialOutput = head.FileName;
    (m_c.AudioConvert->*convert)(m_tempWavFile, head.FileName);
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
        if (m_convertPercent == 100)
            done = true;
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
    removeTempWavFile();
    trackFinished();
}

QString TRipJob::ConvertErrorText(int32_t code)
{
    using namespace AudioConvertLib;
    switch (code) {
    case acErrInputMissing:
        return QStringLiteral("The temporary WAV file to convert does not exist.");
    case acErrInputNotPcmWave:
        return QStringLiteral("The temporary file is not a PCM WAV file the converter can read.");
    case acErrOutputNotCreatable:
        return QStringLiteral("The output file could not be created.");
    case acErrSettingsRefused:
        return QStringLiteral("The encoder refused the quality settings.");
    case acErrWriteFailed:
        return QStringLiteral("Writing the output file failed (disk full or I/O error).");
    case acErrReadFailed:
        return QStringLiteral("Reading the temporary WAV file failed.");
    case acErrEncoderFailed:
        return QStringLiteral("The encoder failed while encoding.");
    case acErrTagsFailed:
        return QStringLiteral("The tags could not be written into the output file.");
    default:
        return QStringLiteral("The conversion failed (error code %1).").arg(code);
    }
}

// ---------------------------------------------------------------------------
// Route B: the next track

void TRipJob::TimeRipTimer()
{
    m_c.TimeRip->stop();
    if (!m_running || m_aborted || m_jobQueue.isEmpty())
        return;
    try {
        writeLosslessTags(m_jobQueue.constFirst());
    } catch (const std::exception &e) {
        stall(QString::fromUtf8(e.what()));
        return;
    }
    trackFinished();
}

// ---------------------------------------------------------------------------
// Ends of tracks and of the job

void TRipJob::trackFinished()
{
    // Every finished track of either route passes here, once.
    const TTrackInfo track = m_jobQueue.takeFirst();
    m_partialOutput.clear();
    // The conversion route lists only a file the component left behind.
    if (!routeA(m_format) || QFileInfo(track.FileName).isFile())
        PlaylistEntries << track.FileName;
    m_finished << track;
    clearTap();
    if (m_verifier)
        m_verifier->EndTrack(track.Number);
    if (m_jobQueue.isEmpty()) {
        lastTrackFinished();
        return;
    }
    m_total += m_totalStep;
    const int total = m_total;
    const bool lossless = !routeA(m_format);
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
    show([](ProgressView &v) {
        v.setTotalPercent(100);
        v.addLine(QStringLiteral("Completed!"));
        v.setCancelEnabled(false);
        v.setExitEnabled(true);
    });
    m_memo << QStringLiteral("Completed!");
    FinishJob();
    Q_EMIT ended();
}

void TRipJob::FinishJob()
{
    auto report = [this](const std::exception &e) {
        const QString message = QString::fromUtf8(e.what());
        addLine(QStringLiteral("Error: ") + message);
        if (OnFinishError)
            OnFinishError(message);
    };
    // The disc goes first, whatever becomes of the playlist.
    if (m_options.eject && EjectDisc) {
        try {
            EjectDisc(m_options.drive);
        } catch (const std::exception &e) {
            report(e);
        }
    }
    if (m_options.makeList && !PlaylistEntries.isEmpty() && !m_options.playlistFile.isEmpty()) {
        try {
            Playlist::write(m_options.playlistFile, PlaylistEntries);
        } catch (const std::exception &e) {
            report(e);
        }
    }
    if (m_verifyOptions.writeCue && !m_finished.isEmpty()) {
        try {
            writeCueSheet();
        } catch (const std::exception &e) {
            report(e);
        }
    }
    // The log last, so that it holds what became of the others.
    if (m_verifyOptions.writeLog && !m_finished.isEmpty()) {
        try {
            writeRipLog();
        } catch (const std::exception &e) {
            report(e);
        }
    }
}

QString TRipJob::sideFilePath(const QString &extension) const
{
    // Beside the first file of the job; "<album>.log" names the pair.
    const QString folder = QFileInfo(m_finished.constFirst().FileName).absolutePath();
    QString name = RipLogFileName(m_tags.album);
    name.chop(4);
    return folder + QLatin1Char('/') + name + extension;
}

void TRipJob::writeRipLog()
{
    TRipLog log;
    log.ProgramVersion = m_verifyOptions.programVersion;
    log.Date = QDateTime::currentDateTime();
    log.Drive = m_driveName;
    log.ReadMode = QStringLiteral("secure (cdparanoia)");
    log.ReadOffset = m_c.CDIn ? m_c.CDIn->ReadOffset() : 0;
    log.Artist = m_verifyOptions.performer;
    log.Album = m_tags.album;
    if (m_verifier) {
        log.AccurateRipIds = m_verifier->AccurateRipIds();
        // The CDDB id is the second part of the AccurateRip ones' last.
        log.CddbId = log.AccurateRipIds.section(QLatin1Char('-'), 3);
    }
    for (const TTrackInfo &track : std::as_const(m_finished)) {
        TRipLogTrack entry;
        entry.Number = track.Number;
        entry.FileName = QFileInfo(track.FileName).fileName();
        if (m_verifier) {
            entry.Sums = m_verifier->Sums(track.Number);
            entry.Verdict = m_verifier->Verdict(track.Number);
        }
        log.Tracks.push_back(entry);
    }
    log.Memo = m_memo;
    WriteRipLog(sideFilePath(QStringLiteral(".log")), log);
}

void TRipJob::writeCueSheet()
{
    const QString path = sideFilePath(QStringLiteral(".cue"));
    const QDir folder = QFileInfo(path).absoluteDir();
    TCueSheet sheet;
    sheet.Performer = m_verifyOptions.performer;
    sheet.Title = m_tags.album;
    sheet.Genre = m_tags.genre.section(QStringLiteral(" - "), -1);
    sheet.Year = m_tags.year.toInt();
    if (m_verifier)
        sheet.DiscId = m_verifier->AccurateRipIds().section(QLatin1Char('-'), 3);
    for (const TTrackInfo &track : std::as_const(m_finished)) {
        TCueTrack entry;
        entry.Number = track.Number;
        entry.FileName = folder.relativeFilePath(track.FileName);
        entry.Title = track.Title;
        entry.Performer = track.Artist;
        // A file holds its track up to the next entry of the table.
        for (size_t i = 0; i + 1 < m_toc.size(); ++i)
            if (m_toc[i].TrackNumber == track.Number)
                entry.Frames = m_toc[i + 1].StartSector - m_toc[i].StartSector;
        sheet.Tracks.push_back(entry);
    }
    WriteCueSheet(path, sheet);
}

void TRipJob::stall(const QString &message)
{
    addLine(QStringLiteral("Error: ") + message);
    m_aborted = true;
}

void TRipJob::CancelJob()
{
    if (!m_running)
        return;
    // While the verdicts are awaited every track is already finished.
    const int extracted = m_awaitingVerdicts ? m_currentOrdinal : m_currentOrdinal - 1;
    const QString done = QStringLiteral("Done. ")
                         + QString::asprintf("%d track(s) were successfully extracted.", extracted);
    auto showEnd = [&done](ProgressView &v) {
        v.addLine(QStringLiteral("Cancelled."));
        v.addLine(done);
        v.setCancelEnabled(false);
        v.setExitEnabled(true);
    };
    switch (m_jobStage) {
    case jsWriting:
        if (m_currentOutput && !m_awaitingVerdicts)
            m_currentOutput->RequestStop();
        m_aborted = true;
        show(showEnd);
        removeTempWavFile();
        break;
    case jsConverting:
        m_converting = false;
        removeTempWavFile();
        show(showEnd);
        break;
    case jsIdle:
        return;
    }
    m_running = false;
    m_c.Timer->stop();
    m_c.TimeRip->stop();
    // A writer still finishing keeps its file open; it goes again once the
    // writer is done (FLACOutDone).
    removePartialOutput();
    Q_EMIT ended();
}

void TRipJob::Shutdown()
{
    if (!m_running)
        return;
    const bool converting = m_jobStage == jsConverting && m_converting;
    CancelJob();
    if (converting)
        m_c.AudioConvert->Abort();
    waitForWriter();
    clearTap();
    removeTempWavFile();
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

void TRipJob::removeTempWavFile()
{
    removeFile(m_tempWavFile);
}

void TRipJob::removePartialOutput()
{
    removeFile(m_partialOutput);
}
