// sondrel-bench-rip: rips a generated disc (15 tracks, 74 minutes) from its
// image through the rip job to MP3 (128 kbit/s) and to FLAC (level 5), each
// one track at a time and with encoding while the next track is read (one
// conversion per core, or as many as given); prints both wall times, their
// ratio and the peak memory of the process so far, and checks that both
// rips wrote the same bytes.
//
//   sondrel-bench-rip [minutes (74)] [tracks (15)] [conversions (cores)]
#include "app/discmodel.h"
#include "app/settings.h"
#include "app/sondrelcore.h"
#include "convert/qualitysettings.h"
#include "job/ripjob.h"
#include "pipeline/cdinput.h"
#include "pipeline/cdripbinding.h"
#include "pipeline/flacbinding.h"
#include "pipeline/macbinding.h"
#include "tools/bench/benchjob.h"
#include "tools/discgen/discimage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <sys/resource.h>

namespace {

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// Seconds of processor time the process has used so far.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool sameFiles(const QString &a, const QString &b, int trackCount, const char *ext)
{
    for (int t = 1; t <= trackCount; ++t) {
        const QString name = QStringLiteral("/%1").arg(t) + QLatin1String(ext);
        QFile x(a + name);
        QFile y(b + name);
        if (!x.open(QIODevice::ReadOnly) || !y.open(QIODevice::ReadOnly)
            || x.readAll() != y.readAll())
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int minutes = argc > 1 ? std::max(1, atoi(argv[1])) : 74;
    const int trackCount = argc > 2 ? std::clamp(atoi(argv[2]), 1, 99) : 15;
    const int conversions = argc > 3 ? std::max(1, atoi(argv[3]))
                                     : SettingsStore::defaultParallelConversions();

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
        const Run runs[] = {{"MP3 128 kbit/s", TRipJob::fmMp3, 7, ".mp3"},
                            {"FLAC level 5", TRipJob::fmFlac, 5, ".flac"}};
        std::printf("%d conversions at once, %d cores\n", conversions, QThread::idealThreadCount());
        // The processor time of each rip shows how much of the machine it had.
        std::printf("%-16s %12s %12s %7s %10s %14s\n",
                    "",
                    "one by one s",
                    "overlapped s",
                    "ratio",
                    "peak MB",
                    "cpu s (1 / ov)");
        for (const Run &run : runs) {
            quality.apply(run.format, run.entry);
            const QString serial = work.filePath(QStringLiteral("serial"));
            const QString overlapped = work.filePath(QStringLiteral("overlapped"));
            const double cpu0 = cpuSeconds();
            const double one = BenchJob::rip(core, run.format, trackCount, serial, run.ext);
            const double cpu1 = cpuSeconds();
            const double both = BenchJob::rip(core,
                                              run.format,
                                              trackCount,
                                              overlapped,
                                              run.ext,
                                              {true, conversions});
            const double cpu2 = cpuSeconds();
            const bool same = one >= 0 && both >= 0
                              && sameFiles(serial, overlapped, trackCount, run.ext);
            QDir(serial).removeRecursively();
            QDir(overlapped).removeRecursively();
            if (!same) {
                std::printf("%-16s failed (%s)\n",
                            run.name,
                            one < 0 || both < 0 ? "a track is missing" : "the files differ");
                result = 1;
                continue;
            }
            std::printf("%-16s %12.2f %12.2f %7.2f %10.1f %6.1f / %5.1f\n",
                        run.name,
                        one,
                        both,
                        both / one,
                        peakMegabytes(),
                        cpu1 - cpu0,
                        cpu2 - cpu1);
        }
    }
    UnloadCDRipLibrary();
    return result;
}
