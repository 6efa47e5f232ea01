// sondrel-bench-convert: converts one generated 10-minute WAV to MP3 at
// 128 kbit/s, to Ogg Vorbis at 128 kbit/s and to Opus at VBR 128 kbit/s
// through the conversion component, and the same file with `lame`, `oggenc`
// and `opusenc` (opus-tools, not among the project's packages: install it for
// this) at the same settings; prints the times and their ratios.
//
//   sondrel-bench-convert [minutes (10)]
#include "libs/audioconvert/audioconvert.h"
#include "tools/discgen/discimage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstdio>
#include <functional>

namespace {

bool writeWave(const QString &path, int64_t frames)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const auto dataBytes = uint32_t(frames * 4);
    uchar header[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    qToLittleEndian<uint32_t>(36 + dataBytes, header + 4);
    qToLittleEndian<uint32_t>(16, header + 16);
    qToLittleEndian<uint16_t>(1, header + 20);
    qToLittleEndian<uint16_t>(2, header + 22);
    qToLittleEndian<uint32_t>(44100, header + 24);
    qToLittleEndian<uint32_t>(44100 * 4, header + 28);
    qToLittleEndian<uint16_t>(4, header + 32);
    qToLittleEndian<uint16_t>(16, header + 34);
    std::copy_n("data", 4, header + 36);
    qToLittleEndian<uint32_t>(dataBytes, header + 40);
    if (file.write(reinterpret_cast<const char *>(header), sizeof header) != sizeof header)
        return false;
    QByteArray block(4 * 44100, Qt::Uninitialized);
    for (int64_t at = 0; at < frames;) {
        const int64_t n = std::min<int64_t>(44100, frames - at);
        for (int64_t i = 0; i < n; ++i) {
            int16_t left, right;
            DiscGen::audioSample(1, uint64_t(at + i), left, right);
            qToLittleEndian<int16_t>(left, block.data() + 4 * i);
            qToLittleEndian<int16_t>(right, block.data() + 4 * i + 2);
        }
        if (file.write(block.constData(), n * 4) != n * 4)
            return false;
        at += n;
    }
    return true;
}

class Waiter : public AudioConvertLib::IAudioConvertEvents
{
public:
    void OnError(int32_t errorCode) override
    {
        error = errorCode;
        loop.quit();
    }
    void OnConvertBlock(int32_t percent) override
    {
        if (percent == 100)
            loop.quit();
    }
    QEventLoop loop;
    int32_t error = 0;
};

// Seconds of one conversion through the component, -1 when it failed.
double throughComponent(AudioConvertLib::IAudioConvert &converter,
                        const std::function<void()> &start)
{
    Waiter waiter;
    const uint32_t cookie = converter.Advise(&waiter);
    QElapsedTimer timer;
    timer.start();
    start();
    waiter.loop.exec();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    converter.Unadvise(cookie);
    return waiter.error == 0 ? seconds : -1.0;
}

double throughTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        return -1.0;
    return double(timer.nsecsElapsed()) / 1e9;
}

void report(const char *what,
            double ours,
            const char *tool,
            double theirs,
            const QString &ourFile,
            const QString &theirFile)
{
    std::printf("%-22s component %7.2f s (%lld bytes)   %-7s %7.2f s (%lld bytes)   ratio %.2f\n",
                what,
                ours,
                static_cast<long long>(QFileInfo(ourFile).size()),
                tool,
                theirs,
                static_cast<long long>(QFileInfo(theirFile).size()),
                theirs > 0 ? ours / theirs : 0.0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("track.wav"));
    if (!dir.isValid() || !writeWave(input, int64_t(minutes) * 60 * 44100)) {
        std::fprintf(stderr, "cannot write the input WAV\n");
        return 1;
    }
    std::printf("input: %d minutes of 16-bit stereo at 44100 Hz\n", minutes);

    AudioConvertLib::IAudioConvert converter;
    // The component's defaults: CBR, joint stereo, LAME quality 5, Info frame.
    converter.SetMp3Format(44100, 128, 2);
    const QString ourMp3 = dir.filePath(QStringLiteral("component.mp3"));
    const QString lameMp3 = dir.filePath(QStringLiteral("lame.mp3"));
    const double mp3 = throughComponent(converter,
                                        [&] { converter.ConvertWaveToMp3(input, ourMp3); });
    const double lame = throughTool(QStringLiteral("lame"),
                                    {QStringLiteral("--quiet"),
                                     QStringLiteral("--cbr"),
                                     QStringLiteral("-b"),
                                     QStringLiteral("128"),
                                     QStringLiteral("-m"),
                                     QStringLiteral("j"),
                                     QStringLiteral("-q"),
                                     QStringLiteral("5"),
                                     input,
                                     lameMp3});

    // Managed bitrate with only the nominal rate, as oggenc --managed -b 128.
    converter.SetOggVorbisFormat(44100, 2, 128, 0, 0, -1);
    const QString ourOgg = dir.filePath(QStringLiteral("component.ogg"));
    const QString oggencOgg = dir.filePath(QStringLiteral("oggenc.ogg"));
    const double ogg = throughComponent(converter,
                                        [&] { converter.ConvertWaveToOggVorbis(input, ourOgg); });
    const double oggenc = throughTool(QStringLiteral("oggenc"),
                                      {QStringLiteral("--quiet"),
                                       QStringLiteral("--managed"),
                                       QStringLiteral("-b"),
                                       QStringLiteral("128"),
                                       QStringLiteral("-o"),
                                       oggencOgg,
                                       input});
    // Unconstrained VBR around 128 kbit/s, opusenc's default mode.
    converter.SetOpusFormat(2, 128);
    const QString ourOpus = dir.filePath(QStringLiteral("component.opus"));
    const QString opusencOpus = dir.filePath(QStringLiteral("opusenc.opus"));
    const double opus = throughComponent(converter,
                                         [&] { converter.ConvertWaveToOpus(input, ourOpus); });
    const double opusenc = throughTool(QStringLiteral("opusenc"),
                                       {QStringLiteral("--quiet"),
                                        QStringLiteral("--vbr"),
                                        QStringLiteral("--bitrate"),
                                        QStringLiteral("128"),
                                        input,
                                        opusencOpus});
    if (mp3 < 0 || lame < 0 || ogg < 0 || oggenc < 0 || opus < 0 || opusenc < 0) {
        std::fprintf(stderr, "a conversion failed\n");
        return 1;
    }
    report("MP3 CBR 128 kbit/s", mp3, "lame", lame, ourMp3, lameMp3);
    report("Ogg Vorbis 128 kbit/s", ogg, "oggenc", oggenc, ourOgg, oggencOgg);
    report("Opus VBR 128 kbit/s", opus, "opusenc", opusenc, ourOpus, opusencOpus);
    return 0;
}
