// sondrel-bench-flac: encodes one generated track to FLAC through TFLACOut
// and through the `flac` command at the same settings, and prints both times.
//
//   sondrel-bench-flac [minutes (10)] [MaxLPCOrder (8)] [BlockSize (4608)]
#include "tools/bench/flactool.h"

#include "pipeline/flacwriter.h"
#include "pipeline/pcmexception.h"
#include "tools/discgen/discimage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

// The track in memory, so that the figures are the encoders' and not a
// disc reader's.
class MemoryTrack : public TPcmInput
{
public:
    explicit MemoryTrack(QByteArray pcm)
        : m_pcm(std::move(pcm))
    {}
    ~MemoryTrack() override { releaseListeners(); }

    int32_t GetBitsPerSample() override { return 16; }
    int32_t GetChannels() override { return 2; }
    int32_t GetSampleRate() override { return 44100; }
    int32_t ReadData(void *buffer, int32_t size) override
    {
        const int32_t at = m_position;
        const int32_t n = std::min(size, static_cast<int32_t>(m_pcm.size()) - at);
        if (n <= 0)
            return 0;
        std::memcpy(buffer, m_pcm.constData() + at, static_cast<size_t>(n));
        m_position = at + n;
        return n;
    }
    void BeginRead() override
    {
        m_position = 0;
        m_size = static_cast<int32_t>(m_pcm.size());
        m_isBusy = true;
    }
    void EndRead() override
    {
        m_isBusy = false;
        m_size = 0;
    }

private:
    QByteArray m_pcm;
};

QByteArray generatedTrack(int minutes)
{
    const qint64 frames = qint64(minutes) * 60 * 44100;
    QByteArray pcm(static_cast<qsizetype>(frames * 4), Qt::Uninitialized);
    auto *out = reinterpret_cast<uint8_t *>(pcm.data());
    for (qint64 i = 0; i < frames; ++i) {
        int16_t left = 0;
        int16_t right = 0;
        DiscGen::audioSample(1, static_cast<uint64_t>(i), left, right);
        for (int16_t v : {left, right}) {
            *out++ = static_cast<uint8_t>(static_cast<uint16_t>(v) & 0xff);
            *out++ = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
        }
    }
    return pcm;
}

// Seconds for one encode, or -1 with the reason printed.
double encodeWithWriter(MemoryTrack &track, const QString &path, uint16_t lpc, uint16_t block)
{
    TFLACOut out;
    out.SetInput(&track);
    out.SetFileName(path);
    out.SetMaxLPCOrder(lpc);
    out.SetBlockSize(block);
    std::mutex mutex;
    std::condition_variable ended;
    bool over = false;
    QString error;
    out.OnDone = [&](TPcmOutput *) {
        std::lock_guard<std::mutex> lock(mutex);
        over = true;
        ended.notify_all();
    };
    out.OnThreadException = [&](TPcmOutput *, const std::exception &e) {
        std::lock_guard<std::mutex> lock(mutex);
        error = QString::fromUtf8(e.what());
        over = true;
        ended.notify_all();
    };
    QElapsedTimer timer;
    timer.start();
    out.StartOutput();
    std::unique_lock<std::mutex> lock(mutex);
    ended.wait(lock, [&] { return over; });
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!error.isEmpty()) {
        std::fprintf(stderr, "TFLACOut failed: %s\n", qPrintable(error));
        return -1;
    }
    return seconds;
}

double encodeWithTool(const QString &raw, const QString &path, uint16_t lpc, uint16_t block)
{
    // TFLACOut's settings spelt out: no partition orders above 0, no
    // exhaustive search, no metadata beyond STREAMINFO.
    const QStringList arguments = flacRawCdInputOptions()
                                  + QStringList{"-b",
                                                QString::number(block),
                                                "-m",
                                                "-l",
                                                QString::number(lpc),
                                                "-r",
                                                "0",
                                                "-q",
                                                "0",
                                                "--no-padding",
                                                "--no-seektable",
                                                "-o",
                                                path,
                                                raw};
    QProcess flac;
    QElapsedTimer timer;
    timer.start();
    flac.start(QStringLiteral("flac"), arguments);
    if (!flac.waitForStarted() || !flac.waitForFinished(-1) || flac.exitCode() != 0) {
        std::fprintf(stderr, "flac failed: %s\n", flac.readAllStandardError().constData());
        return -1;
    }
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int minutes = args.size() > 1 ? args[1].toInt() : 10;
    const auto lpc = static_cast<uint16_t>(args.size() > 2 ? args[2].toInt() : 8);
    const auto block = static_cast<uint16_t>(args.size() > 3 ? args[3].toInt() : 4608);
    if (minutes <= 0 || minutes > 80) { // a CD's length at most; the track is held in memory
        std::fprintf(stderr,
                     "usage: sondrel-bench-flac [minutes 1..80] [MaxLPCOrder] [BlockSize]\n");
        return 2;
    }
    if (!Flac::LoadFLACLibrary()) {
        std::fprintf(stderr, "%s\n", qPrintable(Flac::Library::instance().errorText()));
        return 1;
    }
    QTemporaryDir dir;
    const QByteArray pcm = generatedTrack(minutes);
    const QString raw = dir.filePath(QStringLiteral("track.raw"));
    {
        QFile file(raw);
        if (!file.open(QIODevice::WriteOnly) || file.write(pcm) != pcm.size() || !file.flush()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(raw));
            return 1;
        }
    }
    MemoryTrack track(pcm);
    const QString ours = dir.filePath(QStringLiteral("writer.flac"));
    const QString theirs = dir.filePath(QStringLiteral("tool.flac"));
    try {
        const double writer = encodeWithWriter(track, ours, lpc, block);
        const double tool = encodeWithTool(raw, theirs, lpc, block);
        if (writer < 0 || tool < 0)
            return 1;
        std::printf("%d min of 16-bit stereo, MaxLPCOrder %u, BlockSize %u\n", minutes, lpc, block);
        std::printf("TFLACOut: %.3f s, %lld bytes\n", writer, QFileInfo(ours).size());
        std::printf("flac:     %.3f s, %lld bytes\n", tool, QFileInfo(theirs).size());
        std::printf("ratio TFLACOut / flac: %.2f\n", writer / tool);
        QFile a(ours);
        QFile b(theirs);
        const bool same = a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly)
                          && a.readAll() == b.readAll();
        std::printf("files identical: %s\n", same ? "yes" : "no");
    } catch (const EPcmException &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
