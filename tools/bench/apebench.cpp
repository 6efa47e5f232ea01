// sondrel-bench-ape: time and size of a 10-minute track compressed by
// libMACDll.so at each level, beside `flac -8` on the same audio, and a
// check that ffmpeg decodes every file back to the input.
//
//   sondrel-bench-ape [raw.pcm]   (16-bit little-endian stereo, 44.1 kHz)
#include "tools/bench/flactool.h"

#include "pipeline/macbinding.h"
#include "tools/discgen/discimage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr int Seconds = 600;
constexpr int Rate = 44100;

// The disc generator's audio of one track: tones with a little noise.
QByteArray generatedTrack()
{
    const qint64 blocks = qint64(Seconds) * Rate;
    QByteArray pcm(int(blocks * 4), Qt::Uninitialized);
    auto *p = reinterpret_cast<uint8_t *>(pcm.data());
    for (qint64 i = 0; i < blocks; ++i) {
        int16_t left = 0;
        int16_t right = 0;
        DiscGen::audioSample(1, uint64_t(i), left, right);
        for (int16_t v : {left, right}) {
            *p++ = static_cast<uint8_t>(v);
            *p++ = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
        }
    }
    return pcm;
}

// Compresses the way TMACOut does: 64 KiB chunks in lock/unlock rounds.
QString compress(const QString &path, const QByteArray &pcm, int level)
{
    try {
        TAPECompress compressor(Mac::Library::instance());
        compressor.FillWaveFormatEx(Rate, 16, 2);
        const QByteArray name = QFile::encodeName(path);
        int32_t r = compressor.Start(name.constData(), -1, level, nullptr, -1);
        if (r != 0)
            return QStringLiteral("start: ") + MACErrorText(r);
        for (int done = 0; done < pcm.size();) {
            int32_t available = 0;
            uint8_t *target = compressor.LockBuffer(&available);
            if (!target || available <= 0)
                return QStringLiteral("no buffer space");
            const int k = std::min({available, int(pcm.size()) - done, 65536});
            std::memcpy(target, pcm.constData() + done, size_t(k));
            if ((r = compressor.UnlockBuffer(k)) != 0)
                return QStringLiteral("unlock: ") + MACErrorText(r);
            done += k;
        }
        if ((r = compressor.Finish(nullptr, 0, 0)) != 0)
            return QStringLiteral("finish: ") + MACErrorText(r);
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

bool decodesTo(const QString &path, const QByteArray &pcm)
{
    QProcess ffmpeg;
    ffmpeg
        .start(QStringLiteral("ffmpeg"),
               {"-v", "error", "-xerror", "-err_detect", "crccheck", "-i", path, "-f", "s16le", "-"});
    if (!ffmpeg.waitForFinished(600000) || ffmpeg.exitCode() != 0)
        return false;
    return ffmpeg.readAllStandardOutput() == pcm;
}

void report(const char *what, double seconds, qint64 bytes, qint64 input, const char *note)
{
    std::printf("%-18s %7.2f s  %6.1f x real time  %10lld bytes  %5.1f %%  %s\n",
                what,
                seconds,
                Seconds / seconds,
                static_cast<long long>(bytes),
                100.0 * double(bytes) / double(input),
                note);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!Mac::LoadMACLibrary()) {
        std::fprintf(stderr, "%s\n", qPrintable(Mac::Library::instance().errorText()));
        return 1;
    }
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;

    QByteArray pcm;
    if (argc > 1) {
        QFile in(QString::fromLocal8Bit(argv[1]));
        if (!in.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", argv[1]);
            return 1;
        }
        pcm = in.read(qint64(Seconds) * Rate * 4);
    } else {
        pcm = generatedTrack();
    }
    std::printf("input: %.1f s of 16-bit stereo, %lld bytes\n",
                pcm.size() / 4.0 / Rate,
                static_cast<long long>(pcm.size()));

    const QString raw = dir.filePath(QStringLiteral("track.raw"));
    {
        QFile out(raw);
        if (!out.open(QIODevice::WriteOnly) || out.write(pcm) != pcm.size())
            return 1;
    }

    int failures = 0;
    const std::pair<int, const char *> levels[] = {{1000, "APE 1000 Fast"},
                                                   {2000, "APE 2000 Normal"},
                                                   {3000, "APE 3000 High"},
                                                   {4000, "APE 4000 Extra"}};
    for (const auto &[level, name] : levels) {
        const QString path = dir.filePath(QStringLiteral("track-%1.ape").arg(level));
        QElapsedTimer timer;
        timer.start();
        const QString error = compress(path, pcm, level);
        const double seconds = timer.nsecsElapsed() / 1e9;
        if (!error.isEmpty()) {
            std::printf("%-18s error: %s\n", name, qPrintable(error));
            ++failures;
            continue;
        }
        const bool exact = decodesTo(path, pcm);
        failures += exact ? 0 : 1;
        report(name,
               seconds,
               QFileInfo(path).size(),
               pcm.size(),
               exact ? "ffmpeg: bit-exact" : "ffmpeg: MISMATCH");
        QFile::remove(path);
    }

    const QString flac = dir.filePath(QStringLiteral("track.flac"));
    QProcess encoder;
    QElapsedTimer timer;
    timer.start();
    encoder.start(QStringLiteral("flac"),
                  QStringList{"-8"} + flacRawCdInputOptions() + QStringList{"-o", flac, raw});
    if (encoder.waitForFinished(600000) && encoder.exitCode() == 0) {
        report("flac -8", timer.nsecsElapsed() / 1e9, QFileInfo(flac).size(), pcm.size(), "");
    } else {
        std::printf("flac -8            could not run: %s\n",
                    encoder.readAllStandardError().constData());
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
