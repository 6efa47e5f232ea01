// sondrel-bench-drivepace: a generated disc (74 minutes, 20 tracks) in the
// simulated drive of the tests (tests/simdrive), throttled to 8x and to 24x.
// For each speed it prints what the speed alone allows (the disc's bytes at
// n x 176,400 bytes a second); the time of reading the disc whole through
// the CD input into a sink that keeps nothing, and that of reading each
// track so, one after the other, as the rip job reads them; the time the
// job takes to rip the disc to FLAC (level 5) one track at a time, and to
// MP3 (128 kbit/s) encoding while it reads the next track, one conversion
// per core. cdparanoia is on, as in the program: it reads most sectors twice.
//
//   sondrel-bench-drivepace [minutes (74)] [speed ...  (8 24)]
//
// Run from the build tree: it starts itself again with the simulated
// drive's library preloaded (lib-simdrive/ beside bin/).
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
#include "tools/bench/discardout.h"
#include "tools/discgen/discimage.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char *PreloadedMark = "SONDREL_BENCH_PRELOADED";

// Starts the benchmark again with the simulated drive preloaded; returns
// only when that cannot be done.
void restartWithDrive(char **argv)
{
    std::vector<char> self(4096);
    const ssize_t n = readlink("/proc/self/exe", self.data(), self.size() - 1);
    if (n <= 0 || std::getenv(PreloadedMark))
        return;
    std::string path(self.data(), size_t(n));
    path = path.substr(0, path.find_last_of('/')) + "/../lib-simdrive/libsondrel-simdrive.so";
    if (access(path.c_str(), R_OK) != 0)
        return;
    setenv("LD_PRELOAD", path.c_str(), 1);
    setenv(PreloadedMark, "1", 1);
    execv("/proc/self/exe", argv);
}

bool writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

// Seconds of reading tracks first .. last in one read; -1 when the read failed.
double readAlone(TCDIn &in, int first, int last)
{
    in.SetStartTrack(first);
    in.SetEndTrack(last);
    DiscardOut sink;
    sink.SetInput(&in);
    bool failed = false;
    sink.OnThreadException = [&failed](TPcmOutput *, const std::exception &e) {
        std::fprintf(stderr, "read failed: %s\n", e.what());
        failed = true;
    };
    QElapsedTimer clock;
    clock.start();
    sink.StartOutput();
    while (sink.IsBusy())
        QThread::msleep(20);
    const double seconds = clock.nsecsElapsed() / 1e9;
    sink.SetInput(nullptr);
    return failed ? -1 : seconds;
}

} // namespace

int main(int argc, char **argv)
{
    if (!dlsym(RTLD_DEFAULT, "sondrel_simdrive_counters"))
        restartWithDrive(argv);
    if (!dlsym(RTLD_DEFAULT, "sondrel_simdrive_counters")) {
        std::fputs("sondrel-bench-drivepace: the simulated drive's library (build "
                   "lib-simdrive/libsondrel-simdrive.so) cannot be preloaded\n",
                   stderr);
        return 1;
    }
    QCoreApplication app(argc, argv);
    const int minutes = argc > 1 ? std::clamp(atoi(argv[1]), 1, 80) : 74;
    std::vector<int> speeds;
    for (int i = 2; i < argc; ++i)
        speeds.push_back(std::max(1, atoi(argv[i])));
    if (speeds.empty())
        speeds = {8, 24};
    const int trackCount = 20;

    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    BenchJob::useHome(work);
    const QString driveConfig = work.filePath("simdrive.conf");
    qputenv("SONDREL_SIMDRIVE", QFile::encodeName(driveConfig));

    const DiscGen::WrittenDisc disc = BenchJob::writeDisc(minutes, trackCount, work);
    const QByteArray image = "image = " + QByteArray::fromStdString(disc.cuePath) + '\n';
    if (!writeFile(driveConfig, image)
        || !writeFile(TCDIn::SettingsFolder() + QLatin1String(CDRipSettingsFileName),
                      "[Reading]\nParanoia=1\n"))
        return 1;

    Flac::LoadFLACLibrary();
    Mac::LoadMACLibrary();
    int result = 0;
    {
        const std::unique_ptr<SondrelCore> made = BenchJob::makeCore();
        if (!made)
            return 1;
        SondrelCore &core = *made;
        const int drive = int(core.disc()->drives().indexOf("SONDREL SIMULATED DRIVE 1.0"));
        if (drive < 0) {
            std::fputs("sondrel-bench-drivepace: the simulated drive is not listed\n", stderr);
            return 1;
        }
        core.CDIn()->SetCurrentDrive(drive);
        OutputQuality quality(*core.AudioConvert(),
                              *core.Mp3Encoder(),
                              core.FLACOut(),
                              core.MACOut());

        const double bytes = double(disc.layout.totalFrames) * DiscGen::SectorBytes;
        std::printf("%-6s %10s %10s %10s %10s %9s %10s %9s %10s\n",
                    "speed",
                    "allowed s",
                    "read s",
                    "tracks s",
                    "flac s",
                    "flac/read",
                    "mp3 s",
                    "mp3/read",
                    "mp3/tracks");
        for (const int speed : speeds) {
            // Every open of the drive reads its configuration again.
            if (!writeFile(driveConfig, image + "speed = " + QByteArray::number(speed) + '\n'))
                return 1;
            const double allowed = bytes / (speed * 176400.0);
            const double read = readAlone(*core.CDIn(), 1, trackCount);
            // Each track in a read of its own, as the job reads them.
            double tracks = read < 0 ? -1 : 0;
            for (int t = 1; t <= trackCount && tracks >= 0; ++t) {
                const double one = readAlone(*core.CDIn(), t, t);
                tracks = one < 0 ? -1 : tracks + one;
            }
            const QString folder = work.filePath(QStringLiteral("rip"));
            QDir().mkpath(folder);
            quality.apply(TRipJob::fmFlac, 5);
            const double rip = tracks < 0 ? -1
                                          : BenchJob::rip(core,
                                                          TRipJob::fmFlac,
                                                          trackCount,
                                                          folder,
                                                          ".flac");
            QDir(folder).removeRecursively();
            quality.apply(TRipJob::fmMp3, 7);
            const TRipJob::PaceOptions overlapped{true, SettingsStore::defaultParallelConversions()};
            const double mp3
                = rip < 0
                      ? -1
                      : BenchJob::rip(core, TRipJob::fmMp3, trackCount, folder, ".mp3", overlapped);
            QDir(folder).removeRecursively();
            if (tracks < 0 || rip < 0 || mp3 < 0) {
                std::printf("%4dx  failed\n", speed);
                result = 1;
                continue;
            }
            std::printf("%4dx  %10.1f %10.1f %10.1f %10.1f %9.2f %10.1f %9.2f %10.2f\n",
                        speed,
                        allowed,
                        read,
                        tracks,
                        rip,
                        rip / read,
                        mp3,
                        mp3 / read,
                        mp3 / tracks);
        }
    }
    UnloadCDRipLibrary();
    return result;
}
