// The overlapped job: the drive reads the next track while the tracks read
// before it are converted or tagged. See TRipJob.
#include "convert/audioconvertclient.h"
#include "job/outputnaming.h"
#include "job/progressview.h"
#include "job/ripjob.h"
#include "job/ripverifier.h"
#include "pipeline/flacwriter.h"
#include "pipeline/pcmexception.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

QString ofTrack(int number, const QString &message)
{
    return QStringLiteral("Track %1: %2").arg(number).arg(message);
}

void removeFile(const QString &path)
{
    if (!path.isEmpty() && QFileInfo(path).isFile())
        QFile::remove(path);
}

} // namespace

void TRipJob::handOver()
{
    HandedOver &track = m_handedOver.emplace_back();
    track.track = m_jobQueue.takeFirst();
    track.ordinal = m_currentOrdinal;
    track.reads = m_reads;
    track.readResult = m_readResult;
    track.temp = std::move(m_tempWav);
    track.output = std::exchange(m_partialOutput, QString());
    m_reading = false;
    clearTap();
    const auto it = std::prev(m_handedOver.end());
    // The drive goes on first; what follows runs while it reads.
    readNextIfRoom();
    if (OutputFormats::isConverted(m_format))
        startConversions();
    else
        tagHandedOver(it);
}

void TRipJob::readNextIfRoom()
{
    if (!m_running || m_aborted || m_reading || m_jobQueue.isEmpty())
        return;
    if (OutputFormats::isConverted(m_format)) {
        // Every track read and not converted yet holds its temporary WAV,
        // and the next read makes one more: conversions + 1 at most.
        const auto held = std::count_if(m_handedOver.begin(),
                                        m_handedOver.end(),
                                        [](const HandedOver &t) {
                                            return !t.temp.path().isEmpty();
                                        });
        if (held > m_pace.conversions)
            return;
    }
    m_currentOrdinal = m_jobTrackCount - int(m_jobQueue.size()) + 1;
    show([](ProgressView &v) { v.setRipPercent(0); });
    StartNextTrack();
}

TRipJob::Converter *TRipJob::freeConverter()
{
    for (const std::unique_ptr<Converter> &converter : m_converters) {
        const bool busy = std::any_of(m_handedOver.begin(),
                                      m_handedOver.end(),
                                      [&](const HandedOver &t) {
                                          return t.converter == converter.get();
                                      });
        if (!busy)
            return converter.get();
    }
    if (int(m_converters.size()) >= m_pace.conversions)
        return nullptr;
    if (!m_c.AudioConvert)
        throw EPcmException("The conversion component is missing.");
    auto converter = std::make_unique<Converter>();
    converter->convert = std::make_unique<TAudioConvert>();
    converter->convert->ConnectAsCopyOf(*m_c.AudioConvert);
    converter->information = converter->convert->Information();
    const Converter *self = converter.get();
    converter->convert->OnConvertBlock = [this, self](TAudioConvert *, int32_t percent) {
        guarded([&] { conversionBlock(self, percent); });
    };
    converter->convert->OnError = [this, self](TAudioConvert *, TOleEnum code) {
        guarded([&] { conversionError(self, code); });
    };
    m_converters.push_back(std::move(converter));
    return m_converters.back().get();
}

void TRipJob::startConversions()
{
    while (m_running && !m_aborted) {
        const auto waiting = std::find_if(m_handedOver.begin(),
                                          m_handedOver.end(),
                                          [](const HandedOver &t) {
                                              return !t.converter && !t.failed;
                                          });
        if (waiting == m_handedOver.end())
            return;
        Converter *converter = nullptr;
        try {
            converter = freeConverter();
            if (!converter)
                return;
            startConversion(waiting, *converter);
        } catch (const std::exception &e) {
            waiting->converter = nullptr;
            handedOverFailed(waiting, QString::fromUtf8(e.what()));
            return; // the failure went on with whatever can start
        }
    }
}

void TRipJob::startConversion(HandedOverIt track, Converter &converter)
{
    FillTrackTags(converter.convert.get(),
                  converter.information.get(),
                  track->track,
                  m_summary.tags);
    const QString temp = track->temp.path();
    if (!QFileInfo::exists(temp))
        throw EPcmException(
            QStringLiteral("The temporary file %1 is missing; the track cannot be converted.")
                .arg(temp));
    const QString &file = track->track.FileName;
    OutputNaming::CreateFolderPath(OutputNaming::folderPart(file));
    addLine(QStringLiteral("Create file: ") + file);
    track->output = file;
    track->percent = 0;
    track->converter = &converter;
    (converter.convert.get()->*ConvertOperationOf(m_format))(temp, file);
    showConvertBar();
}

void TRipJob::conversionBlock(const Converter *converter, int32_t percent)
{
    const auto track = std::find_if(m_handedOver.begin(),
                                    m_handedOver.end(),
                                    [&](const HandedOver &t) { return t.converter == converter; });
    if (!m_running || track == m_handedOver.end())
        return;
    track->percent = percent;
    if (percent != 100) {
        showConvertBar();
        return;
    }
    track->converter = nullptr;
    finishHandedOver(track);
}

void TRipJob::conversionError(const Converter *converter, int32_t code)
{
    const auto track = std::find_if(m_handedOver.begin(),
                                    m_handedOver.end(),
                                    [&](const HandedOver &t) { return t.converter == converter; });
    if (!m_running || track == m_handedOver.end() || code == 0)
        return;
    track->converter = nullptr;
    handedOverFailed(track, ConvertErrorText(code));
}

void TRipJob::tagHandedOver(HandedOverIt track)
{
    try {
        const OutputFormats::Format *row = OutputFormats::find(m_format);
        WriteFileTags(m_c.AudioConvert,
                      m_c.Information.get(),
                      track->track,
                      m_summary.tags,
                      row && row->writer == OutputFormats::Writer::Flac);
    } catch (const std::exception &e) {
        handedOverFailed(track, QString::fromUtf8(e.what()));
        return;
    }
    finishHandedOver(track);
}

void TRipJob::finishHandedOver(HandedOverIt track)
{
    track->temp.remove();
    const QString &file = track->track.FileName;
    // The conversion route lists only a file the component left behind.
    if (!OutputFormats::isConverted(m_format) || QFileInfo(file).isFile())
        m_finishedFiles.emplace_back(track->ordinal, file);
    const int number = track->track.Number;
    // The hidden audio before track 1 is no track of the summary or of AccurateRip.
    if (number == 0)
        m_summary.hiddenTrackFile = file;
    else
        m_summary.tracks.push_back(RipTrackOf(track->track, track->reads, track->readResult));
    m_handedOver.erase(track);
    if (m_verifier && number != 0)
        m_verifier->EndTrack(number);
    overlappedTrackLeft();
}

void TRipJob::handedOverFailed(HandedOverIt track, const QString &message)
{
    const int number = track->track.Number;
    addLine(QStringLiteral("Error: ") + ofTrack(number, message));
    if (!m_verifyOptions.reads.goOn) {
        // Stalled as on a track read alone: its files stay until Cancel.
        track->failed = true;
        m_aborted = true;
        showConvertBar();
        return;
    }
    track->temp.remove();
    removeFile(track->output);
    m_summary.failedTracks.push_back(
        RipFailedTrackOf(track->track, track->reads, track->readResult, message));
    m_handedOver.erase(track);
    addLine(QStringLiteral("Track %1 failed: no file is kept; the job goes on.").arg(number));
    if (m_verifier && number != 0)
        m_verifier->EndTrack(number, true);
    overlappedTrackLeft();
}

void TRipJob::overlappedTrackLeft()
{
    showConvertBar();
    if (m_jobQueue.isEmpty() && !m_reading && m_handedOver.empty()) {
        // Whatever order the tracks finished in, the end lists them in row order.
        std::stable_sort(m_finishedFiles.begin(), m_finishedFiles.end(), [](auto &a, auto &b) {
            return a.first < b.first;
        });
        for (const auto &finished : m_finishedFiles)
            PlaylistEntries << finished.second;
        const auto byNumber = [](const RipSummaryTrack &a, const RipSummaryTrack &b) {
            return a.record.Number < b.record.Number;
        };
        std::stable_sort(m_summary.tracks.begin(), m_summary.tracks.end(), byNumber);
        std::stable_sort(m_summary.failedTracks.begin(), m_summary.failedTracks.end(), byNumber);
        lastTrackFinished();
        return;
    }
    const int total = m_total += m_totalStep;
    show([total](ProgressView &v) { v.setTotalPercent(total); });
    startConversions();
    readNextIfRoom();
}

void TRipJob::showConvertBar()
{
    if (!OutputFormats::isConverted(m_format))
        return;
    // The oldest conversion still running.
    int percent = 0;
    for (const HandedOver &track : m_handedOver) {
        if (track.converter) {
            percent = track.percent;
            break;
        }
    }
    show([percent](ProgressView &v) { v.setConvertPercent(percent); });
}

void TRipJob::abortHandedOver()
{
    // Each abort returns once its conversion has closed its output.
    for (HandedOver &track : m_handedOver) {
        if (track.converter)
            track.converter->convert->Abort();
        track.converter = nullptr;
        track.temp.remove();
        removeFile(track.output);
    }
    m_handedOver.clear();
}
