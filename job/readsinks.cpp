#include "job/readsinks.h"

#include "convert/outputformats.h"
#include "job/outputnaming.h"
#include "pipeline/cdinput.h"
#include "pipeline/discardout.h"
#include "pipeline/flacwriter.h"
#include "pipeline/macwriter.h"
#include "pipeline/pcmexception.h"
#include "pipeline/wavewriter.h"

namespace {

TPcmOutput &sinkOf(const TReadSinks &sinks,
                   TTrackReads::Read read,
                   int format,
                   const TTrackInfo &track,
                   bool firstCopy,
                   TemporaryWavFile &tempWav,
                   QString &partialOutput,
                   const std::function<void(const QString &)> &show)
{
    if (read == TTrackReads::Read::Test) {
        if (!sinks.test)
            throw EPcmException("No test read can be made.");
        show(QStringLiteral("Test read of track %1...").arg(track.Number));
        return *sinks.test;
    }
    if (OutputFormats::isConverted(format)) {
        tempWav.create();
        sinks.wave->SetFileName(tempWav.path());
        return *sinks.wave;
    }
    if (firstCopy)
        show(QStringLiteral("Create file: ") + track.FileName);
    const OutputFormats::Format *row = OutputFormats::find(format);
    const bool flac = row && row->writer == OutputFormats::Writer::Flac;
    TPcmFileOut *writer = flac ? static_cast<TPcmFileOut *>(sinks.flac) : sinks.mac;
    if (!writer)
        throw EPcmException(flac ? "FLAC files cannot be written: libFLAC is missing."
                                 : "APE files cannot be written: libMACDll is missing.");
    // A template with folders, or an output folder not made yet, needs its
    // folders; the writer only creates the file.
    OutputNaming::CreateFolderPath(OutputNaming::folderPart(track.FileName));
    writer->SetFileName(track.FileName);
    partialOutput = track.FileName;
    return *writer;
}

} // namespace

TPcmOutput &PrepareRead(const TReadSinks &sinks,
                        TTrackReads::Read read,
                        int format,
                        const TTrackInfo &track,
                        TPcmTap *tap,
                        bool firstCopy,
                        TemporaryWavFile &tempWav,
                        QString &partialOutput,
                        const std::function<void(const QString &)> &show,
                        const TReadRange &range)
{
    TPcmOutput &sink = sinkOf(sinks, read, format, track, firstCopy, tempWav, partialOutput, show);
    if (!sinks.cd)
        throw EPcmException(CDRipMissingMessage);
    sinks.cd->SetStartTrack(track.Number);
    sinks.cd->SetEndTrack(sinks.cd->StartTrack());
    if (!range.wholeTrack)
        sinks.cd->SetSectorRange(range.file.First,
                                 range.file.End,
                                 range.tapped.First,
                                 range.tapped.End);
    sinks.cd->SetTap(tap);
    return sink;
}
