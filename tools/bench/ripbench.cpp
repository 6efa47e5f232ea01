// sondrel-bench-rip: rips a generated disc (10 tracks, 40 minutes) through
// the rip job to FLAC (level 5) and to MP3 (128 kbit/s), and the same tracks
// through the FLAC writer alone and through the conversion component alone;
// prints the job's wall time, the sum of the lone encodes, their ratio and
// the peak memory of the process.
//
//   sondrel-bench-rip [minutes (40)] [tracks (10)]
#include "app/discmodel.h"
#include "app/settings.h"
#include "app/sondrelcore.h"
#include "convert/audioconvertclient.h"
#include "convert/qualitysettings.h"
#include "job/ripjob.h"
#include "pipeline/cdinput.h"
#include "pipeline/cdripbinding.h"
#include "pipeline/flacbinding.h"
#include "pipeline/flacwriter.h"
#include "pipeline/macbinding.h"
#include "pipeline/macwriter.h"
#include "pipeline/wavewriter.h"
#include "pipeline/writerevents.h"
#include "tools/bench/benchjob.h"
#include "tools/discgen/discimage.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// Seconds of one run of the writer over track `track`; -1 when it failed.
double writeAlone(SondrelCore &core, TPcmFileOut &writer, int track, const QString &path)
{
    core.CDIn()->SetStartTrack(track);
    core.CDIn()->SetEndTrack(track);
    writer.SetFileName(path);
    QEventLoop loop;
    bool failed = false;
    WriterEvents *events = core.eventsOf(&writer);
    const auto done = QObject::connect(events, &WriterEvents::done, &loop, &QEventLoop::quit);
    const auto error = QObject::connect(events, &WriterEvents::threadException, &loop, [&] {
        failed = true;
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    writer.StartOutput();
    loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    QObject::disconnect(done);
    QObject::disconnect(error);
    return failed ? -1 : seconds;
}

double convertAlone(TAudioConvert &convert, const QString &wave, const QString &mp3)
{
    QEventLoop loop;
    int32_t error = 0;
    convert.OnConvertBlock = [&loop](TAudioConvert *, int32_t percent) {
        if (percent == 100)
            loop.quit();
    };
    convert.OnError = [&](TAudioConvert *, TOleEnum code) {
        error = code;
        loop.quit();
    };
    QElapsedTimer clock;
    clock.start();
    convert.ConvertWaveToMp3(wave, mp3);
    loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    convert.OnConvertBlock = nullptr;
    convert.OnError = nullptr;
    return error ? -1 : seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int minutes = argc > 1 ? std::max(1, atoi(argv[1])) : 40;
    const int trackCount = argc > 2 ? std::clamp(atoi(argv[2]), 1, 99) : 10;

    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    BenchJob::useHome(work);
    const DiscGen::WrittenDisc disc = BenchJob::writeDisc(minutes, trackCount, work);
    QFile ini(TCDIn::SettingsFolder() + QLatin1String(CDRipSettingsFileName));
    if (!ini.open(QIODevice::WriteOnly))
        return 1;
    ini.write("[Images]\nImage1=" + QByteArray::fromStdString(disc.cuePath) + "\n");
    ini.close();

    Flac::LoadFLACLibrary();
    Mac::LoadMACLibrary();
    int result = 0;
    {
        const std::unique_ptr<SondrelCore> made = BenchJob::makeCore();
        if (!made)
            return 1;
        SondrelCore &core = *made;
        const int drive = int(core.disc()->drives().size()) - 1;
        core.CDIn()->SetCurrentDrive(drive);
        OutputQuality quality(*core.AudioConvert(),
                              *core.Mp3Encoder(),
                              core.FLACOut(),
                              core.MACOut());

        struct Run
        {
            const char *name;
            int format;
            int entry;
            const char *ext;
        };
        const Run runs[] = {{"FLAC level 5", TRipJob::fmFlac, 5, ".flac"},
                            {"MP3 128 kbit/s", TRipJob::fmMp3, 7, ".mp3"}};
        std::printf("%-16s %10s %10s %7s %10s\n", "", "job s", "alone s", "ratio", "peak MB");
        for (const Run &run : runs) {
            quality.apply(run.format, run.entry);
            const QString alone = work.filePath(QStringLiteral("alone"));
            const QString byJob = work.filePath(QStringLiteral("job"));
            QDir().mkpath(alone);

            // The same tracks by the encoder alone: FLAC straight from the
            // disc, MP3 from WAV files ripped beforehand (not timed).
            double sum = 0;
            for (int t = 1; t <= trackCount && sum >= 0; ++t) {
                const QString base = alone + QStringLiteral("/%1").arg(t);
                double seconds = 0;
                if (run.format == TRipJob::fmFlac) {
                    seconds = writeAlone(core, *core.FLACOut(), t, base + QLatin1String(run.ext));
                } else {
                    if (writeAlone(core, *core.WaveOut(), t, base + QLatin1String(".wav")) < 0)
                        seconds = -1;
                    else
                        seconds = convertAlone(*core.AudioConvert(),
                                               base + QLatin1String(".wav"),
                                               base + QLatin1String(run.ext));
                }
                sum = seconds < 0 ? -1 : sum + seconds;
            }
            QDir(alone).removeRecursively();

            const double wall = BenchJob::rip(core, run.format, trackCount, byJob, run.ext);
            const bool complete = wall >= 0;
            QDir(byJob).removeRecursively();
            if (!complete || sum < 0) {
                std::printf("%-16s failed\n", run.name);
                result = 1;
                continue;
            }
            std::printf("%-16s %10.2f %10.2f %7.2f %10.1f\n",
                        run.name,
                        wall,
                        sum,
                        wall / sum,
                        peakMegabytes());
        }
    }
    UnloadCDRipLibrary();
    return result;
}
