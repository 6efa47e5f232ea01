#include "libs/macdll/macdll.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/pcmsignals.h"
#include "tests/support/testsupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <optional>

using TestSupport::le32At;

namespace {

constexpr uint32_t FrameBlocks = 73728;
constexpr uint32_t LongFrameBlocks = 4 * FrameBlocks; // level 4000

// Interleaved WAV-order PCM of the kinds that reach different coder paths.
QByteArray makePcm(const QString &kind, uint32_t blocks, int channels, int bits = 16)
{
    if (kind == QLatin1String("tones"))
        return TestSupport::tones(int(blocks), channels, bits, 2024);
    if (kind == QLatin1String("noise")) // escapes, pivots over 65535, carries
        return TestSupport::noise(int(blocks), channels, bits, 2024);
    // "blend" is a frame each of silence, identical channels and tones.
    const QByteArray tones = kind == QLatin1String("blend")
                                 ? TestSupport::tones(int(blocks), channels, bits, 2024)
                                 : QByteArray();
    const int bytes = bits / 8;
    QByteArray pcm(int(blocks) * channels * bytes, Qt::Uninitialized);
    auto *p = reinterpret_cast<uint8_t *>(pcm.data());
    const int32_t full = (1 << (bits - 1)) - 1;
    for (uint32_t t = 0; t < blocks; ++t) {
        const uint32_t section = kind == QLatin1String("blend") ? (t / FrameBlocks) % 3 : 9;
        if (section == 2) {
            const int at = int(t) * channels * bytes;
            std::memcpy(p, tones.constData() + at, size_t(channels * bytes));
            p += channels * bytes;
            continue;
        }
        int32_t first = 0;
        for (int c = 0; c < channels; ++c) {
            int32_t v = 0;
            if (kind == QLatin1String("vector")) // the known-answer input
                v = c == 0 ? int32_t(t * 1237 % 4001) - 2000
                           : int32_t((t * 733 + 500) % 3001) - 1500;
            else if (kind == QLatin1String("square"))
                v = (t / 3 + c) % 2 ? full : -full - 1;
            else if (kind == QLatin1String("identical") || section == 1)
                v = c == 0 ? int32_t(0.7 * full * std::sin(t * 0.01)) : first;
            v = std::clamp(v, -full - 1, full); // "silence" stays 0
            first = c == 0 ? v : first;
            v += bits == 8 ? 128 : 0;
            for (int b = 0; b < bytes; ++b)
                *p++ = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * b));
        }
    }
    return pcm;
}

struct Options
{
    int level = 2000;
    int channels = 2;
    int bits = 16;
    int rate = 44100;
    int32_t maxAudioBytes = MAC_MAX_AUDIO_BYTES_UNKNOWN;
    QByteArray header;              // stored WAV header; none when empty
    QByteArray tail;                // terminating data, all of it WAV tail
    int32_t largestRound = 1 << 30; // bytes handed over per unlock at most
};

// Compresses pcm through the C interface the way a caller does: lock, copy
// what fits, unlock. Returns the first non-zero result.
int32_t compress(const QString &path, const QByteArray &pcm, const Options &o)
{
    MACWaveFormat format{};
    FillWaveFormatEx(&format, o.rate, o.bits, o.channels);
    int32_t error = -1;
    APE_COMPRESS_HANDLE h = c_APECompress_Create(&error);
    if (!h || error)
        return error;
    const bool header = !o.header.isEmpty();
    int32_t r = c_APECompress_Start(h,
                                    QFile::encodeName(path).constData(),
                                    &format,
                                    o.maxAudioBytes,
                                    o.level,
                                    header ? o.header.constData() : nullptr,
                                    header ? int32_t(o.header.size())
                                           : MAC_CREATE_WAV_HEADER_ON_DECOMPRESSION);
    for (int32_t done = 0; r == 0 && done < pcm.size();) {
        int32_t available = 0;
        unsigned char *p = c_APECompress_LockBuffer(h, &available);
        if (!p || available <= 0)
            return -2;
        const int32_t k = std::min({available, int32_t(pcm.size()) - done, o.largestRound});
        std::memcpy(p, pcm.constData() + done, size_t(k));
        r = c_APECompress_UnlockBuffer(h, k, 1);
        done += k;
    }
    QByteArray tail = o.tail;
    if (r == 0)
        r = c_APECompress_Finish(h,
                                 reinterpret_cast<unsigned char *>(tail.data()),
                                 int32_t(tail.size()),
                                 int32_t(tail.size()));
    c_APECompress_Destroy(h);
    return r;
}

// The reference decoder with frame CRCs checked; empty on any complaint.
QByteArray decode(const QString &path, int bits, QString *error)
{
    const char *format = bits == 8 ? "u8" : bits == 24 ? "s24le" : "s16le";
    const auto r = TestSupport::run(QStringLiteral("ffmpeg"),
                                    {"-v",
                                     "error",
                                     "-xerror",
                                     "-err_detect",
                                     "crccheck",
                                     "-i",
                                     path,
                                     "-map",
                                     "0:a:0",
                                     "-f",
                                     format,
                                     "-"});
    *error = QString::fromUtf8(r.err);
    return r.exitCode == 0 && r.err.isEmpty() ? r.out : QByteArray();
}

// Offsets of descriptor and header fields.
enum : int {
    SeekTableBytesAt = 16,
    WavHeaderBytesAt = 20,
    WavTailBytesAt = 32,
    FlagsAt = 54,
    BlocksPerFrameAt = 56,
    FinalFrameBlocksAt = 60,
    TotalFramesAt = 64,
    SeekTableAt = 76,
};

} // namespace

class tst_MacDll : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void knownAnswer_data();
    void knownAnswer();
    void roundTrip_data();
    void roundTrip();
    void storedHeaderAndTail();
    void seekTableGrowsPastTheReserve();
    void startRefusals_data();
    void startRefusals();
    void failures_data();
    void failures();
    void bufferRounds();

private:
    QTemporaryDir m_dir;
};

void tst_MacDll::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(TestSupport::run(QStringLiteral("ffmpeg"), {"-version"}).exitCode == 0,
             "ffmpeg is needed to check the files");
}

void tst_MacDll::knownAnswer_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("channels");
    QTest::addColumn<QByteArray>("sha256");
    // Known-answer digests of the 48-block vector: one frame, exact seek table.
    QTest::newRow("stereo 1000")
        << 1000 << 2
        << QByteArray("a737a0cab49b1e779f932f97fa7b160c621dbec2e5b7d46ad2f756fef3431eaa");
    QTest::newRow("stereo 2000")
        << 2000 << 2
        << QByteArray("29b4ed44aefc3f5fe79c696ca9eeca5de89662403255dcd6a882524547cd7597");
    QTest::newRow("stereo 3000")
        << 3000 << 2
        << QByteArray("9e742d4daec1314426c5697c1f12b0f95975eea68718107c4ebbc57c3c3bb5c4");
    QTest::newRow("stereo 4000")
        << 4000 << 2
        << QByteArray("2885ffdd574f140e319300612c49190ddcd2c669b1d81dc702a2276025f8a8d1");
    QTest::newRow("mono 1000")
        << 1000 << 1
        << QByteArray("813c0a3e182c889c3a9bff675e89fbbcd90edaea860e7756fd236660416d596f");
    QTest::newRow("mono 2000")
        << 2000 << 1
        << QByteArray("2956d9c240b15f8ae596383b402e20a63623e91e118321477d3e91729ab7e1ef");
}

void tst_MacDll::knownAnswer()
{
    QFETCH(int, level);
    QFETCH(int, channels);
    QFETCH(QByteArray, sha256);
    const QByteArray pcm = makePcm(QStringLiteral("vector"), 48, channels);
    Options o;
    o.level = level;
    o.channels = channels;
    o.maxAudioBytes = int32_t(pcm.size());
    const QString path = m_dir.filePath(QStringLiteral("vector.ape"));
    QCOMPARE(compress(path, pcm, o), 0);
    QByteArray file = TestSupport::readFile(path);
    // The digests were made with 73728 blocks per frame at every level; with
    // one short frame nothing else depends on that field.
    if (level == 4000) {
        QCOMPARE(le32At(file, BlocksPerFrameAt), LongFrameBlocks);
        std::memcpy(file.data() + BlocksPerFrameAt, &FrameBlocks, 4);
    }
    QCOMPARE(QCryptographicHash::hash(file, QCryptographicHash::Sha256).toHex(), sha256);
}

void tst_MacDll::roundTrip_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bits");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<uint>("blocks");
    QTest::addColumn<int>("round"); // largest hand-over per unlock

    const QString tones = QStringLiteral("tones");
    for (int level : {1000, 2000, 3000, 4000}) {
        const uint32_t frame = level == 4000 ? LongFrameBlocks : FrameBlocks;
        for (int channels : {2, 1}) {
            const char *layout = channels == 2 ? "stereo" : "mono";
            QTest::addRow("%d %s one block", level, layout)
                << level << channels << 16 << tones << 1u << (1 << 30);
            QTest::addRow("%d %s short last frame", level, layout)
                << level << channels << 16 << tones << 2 * frame + 1001 << 65536;
        }
        QTest::addRow("%d stereo noise", level)
            << level << 2 << 16 << QStringLiteral("noise") << 50000u << 4096;
    }
    QTest::newRow("full last frame") << 2000 << 2 << 16 << tones << 2 * FrameBlocks << 65536;
    QTest::newRow("three minutes") << 2000 << 2 << 16 << tones << 180u * 44100 << 65536;
    QTest::newRow("3 blocks in odd rounds") << 2000 << 2 << 16 << tones << 3u << 3;
    QTest::newRow("mono noise") << 1000 << 1 << 16 << QStringLiteral("noise") << 50000u << 65536;
    QTest::newRow("square") << 2000 << 2 << 16 << QStringLiteral("square") << 30000u << 65536;
    QTest::newRow("stereo silence")
        << 2000 << 2 << 16 << QStringLiteral("silence") << FrameBlocks + 5 << 65536;
    QTest::newRow("mono silence") << 2000 << 1 << 16 << QStringLiteral("silence") << 1000u << 65536;
    QTest::newRow("identical channels")
        << 2000 << 2 << 16 << QStringLiteral("identical") << FrameBlocks + 77 << 65536;
    QTest::newRow("blend") << 3000 << 2 << 16 << QStringLiteral("blend") << 3 * FrameBlocks + 99
                           << 65536;
    QTest::newRow("8-bit") << 2000 << 2 << 8 << tones << FrameBlocks + 10 << 65536;
    QTest::newRow("24-bit") << 2000 << 2 << 24 << tones << FrameBlocks + 10 << 65536;
    QTest::newRow("24-bit noise") << 4000 << 2 << 24 << QStringLiteral("noise") << 20000u << 65536;
}

void tst_MacDll::roundTrip()
{
    QFETCH(int, level);
    QFETCH(int, channels);
    QFETCH(int, bits);
    QFETCH(QString, kind);
    QFETCH(uint, blocks);
    QFETCH(int, round);
    const QByteArray pcm = makePcm(kind, blocks, channels, bits);
    Options o;
    o.level = level;
    o.channels = channels;
    o.bits = bits;
    o.largestRound = round;
    const QString path = m_dir.filePath(QStringLiteral("round.ape"));
    QCOMPARE(compress(path, pcm, o), 0);

    const QByteArray file = TestSupport::readFile(path);
    const uint32_t frame = level == 4000 ? LongFrameBlocks : FrameBlocks;
    QCOMPARE(le32At(file, TotalFramesAt), (blocks + frame - 1) / frame);
    QCOMPARE(le32At(file, FinalFrameBlocksAt), blocks - (blocks - 1) / frame * frame);
    QString error;
    const QByteArray decoded = decode(path, bits, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(decoded.size(), pcm.size());
    QVERIFY(decoded == pcm);
    if (kind == QLatin1String("silence") || kind == QLatin1String("identical")) {
        // Flagged frames cost next to nothing, or half a stereo frame.
        const qint64 frames = file.size() - SeekTableAt - le32At(file, SeekTableBytesAt);
        QVERIFY2(frames < (kind == QLatin1String("silence") ? 64 : pcm.size() / 4),
                 qPrintable(QString::number(frames)));
    }
}

void tst_MacDll::storedHeaderAndTail()
{
    // They sit outside the frames and are skipped by their lengths.
    const QByteArray pcm = makePcm(QStringLiteral("tones"), 5000, 2);
    Options o;
    o.header = QByteArray("RIFF....WAVEfmt ").leftJustified(44, 'h');
    o.tail = QByteArray("LIST\x04\0\0\0tail", 12);
    const QString path = m_dir.filePath(QStringLiteral("stored.ape"));
    QCOMPARE(compress(path, pcm, o), 0);
    const QByteArray file = TestSupport::readFile(path);
    QCOMPARE(le32At(file, WavHeaderBytesAt), 44u);
    QCOMPARE(le32At(file, WavTailBytesAt), 12u);
    QCOMPARE(file.at(FlagsAt), '\0'); // "make a WAV header" is off
    QVERIFY(file.endsWith(o.tail));
    QCOMPARE(file.indexOf(o.header), int(SeekTableAt + le32At(file, SeekTableBytesAt)));
    QString error;
    QVERIFY(decode(path, 16, &error) == pcm);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void tst_MacDll::seekTableGrowsPastTheReserve()
{
    // An unknown length reserves the seek table for 80 minutes; at 100 Hz
    // that is 7 frames, so 9 frames make the frame data move.
    const QByteArray pcm = makePcm(QStringLiteral("tones"), 8 * FrameBlocks + 123, 1);
    Options o;
    o.channels = 1;
    o.rate = 100;
    const QString path = m_dir.filePath(QStringLiteral("grown.ape"));
    QCOMPARE(compress(path, pcm, o), 0);
    const QByteArray file = TestSupport::readFile(path);
    QCOMPARE(le32At(file, TotalFramesAt), 9u);
    QCOMPARE(le32At(file, SeekTableBytesAt), 4u * 14);
    QCOMPARE(le32At(file, SeekTableAt), uint32_t(SeekTableAt + 4 * 14));
    QString error;
    QVERIFY(decode(path, 16, &error) == pcm);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void tst_MacDll::startRefusals_data()
{
    QTest::addColumn<int>("field"); // index into the values changed below
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("not PCM") << 0 << 3 << int(MAC_ERROR_UNSUPPORTED_FILE_TYPE);
    QTest::newRow("12 bits") << 1 << 12 << int(MAC_ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH);
    QTest::newRow("3 channels") << 2 << 3 << int(MAC_ERROR_INPUT_FILE_UNSUPPORTED_CHANNEL_COUNT);
    QTest::newRow("rate 0") << 3 << 0 << int(MAC_ERROR_INPUT_FILE_UNSUPPORTED_SAMPLE_RATE);
    QTest::newRow("block align") << 4 << 3 << int(MAC_ERROR_INVALID_INPUT_FILE);
    QTest::newRow("level 5000") << 5 << 5000 << int(MAC_ERROR_BAD_PARAMETER);
    QTest::newRow("level 1500") << 5 << 1500 << int(MAC_ERROR_BAD_PARAMETER);
    QTest::newRow("max bytes -2") << 6 << -2 << int(MAC_ERROR_BAD_PARAMETER);
    QTest::newRow("header without data") << 7 << 44 << int(MAC_ERROR_BAD_PARAMETER);
}

void tst_MacDll::startRefusals()
{
    QFETCH(int, field);
    QFETCH(int, value);
    QFETCH(int, expected);
    MACWaveFormat format{};
    QCOMPARE(FillWaveFormatEx(&format, 44100, 16, 2), 0);
    int32_t numbers[] = {2000, -1, -1}; // level, max audio bytes, header bytes
    uint16_t *fields[] = {&format.wFormatTag, &format.wBitsPerSample, &format.nChannels};
    if (field < 3)
        *fields[field] = uint16_t(value);
    else if (field == 3)
        format.nSamplesPerSec = uint32_t(value);
    else if (field == 4)
        format.nBlockAlign = uint16_t(value);
    else
        numbers[field - 5] = value;
    const QString path = m_dir.filePath(QStringLiteral("refused.ape"));
    int32_t error = -1;
    APE_COMPRESS_HANDLE h = c_APECompress_Create(&error);
    QCOMPARE(error, 0);
    QCOMPARE(c_APECompress_Start(h,
                                 QFile::encodeName(path).constData(),
                                 &format,
                                 numbers[1],
                                 numbers[0],
                                 nullptr,
                                 numbers[2]),
             expected);
    int32_t available = 7;
    QVERIFY(!c_APECompress_LockBuffer(h, &available));
    QCOMPARE(available, 0);
    c_APECompress_Destroy(h);
    QVERIFY(!QFileInfo::exists(path)); // refused before anything was created
}

void tst_MacDll::failures_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("maxAudioBytes");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("fileLimit"); // largest file the process may write, 0: any
    // Nothing that plays can be made of no audio, nor of a partial block.
    QTest::newRow("no audio") << QStringLiteral("empty.ape") << 0 << -1
                              << int(MAC_ERROR_INPUT_FILE_TOO_SMALL) << 0;
    QTest::newRow("two bytes") << QStringLiteral("two.ape") << 2 << -1
                               << int(MAC_ERROR_INPUT_FILE_TOO_SMALL) << 0;
    QTest::newRow("more than announced") << QStringLiteral("over.ape") << 400000 << 399996
                                         << int(MAC_ERROR_APE_COMPRESS_TOO_MUCH_DATA) << 0;
    // A full disk at the very end: a short input is written by Finish alone,
    // past the 11.5 KB reserved for the seek table.
    QTest::newRow("disk full") << QStringLiteral("full.ape") << 4000 << -1
                               << int(MAC_ERROR_IO_WRITE) << 12000;
    QTest::newRow("no such folder")
        << QStringLiteral("none/x.ape") << 4000 << -1 << int(MAC_ERROR_INVALID_OUTPUT_FILE) << 0;
}

void tst_MacDll::failures()
{
    QFETCH(QString, target);
    QFETCH(int, bytes);
    QFETCH(int, maxAudioBytes);
    QFETCH(int, expected);
    QFETCH(int, fileLimit);
    const QString path = m_dir.filePath(target);
    Options o;
    o.maxAudioBytes = maxAudioBytes;
    const QByteArray pcm = makePcm(QStringLiteral("tones"), uint32_t(bytes + 3) / 4, 2).left(bytes);
    int32_t result = -1;
    {
        std::optional<FileSizeLimit> limit;
        if (fileLimit) {
            limit.emplace(rlim_t(fileLimit));
            QVERIFY(limit->isActive());
        }
        result = compress(path, pcm, o);
    }
    QCOMPARE(result, expected);
    // A failed file is never left looking like a finished one.
    QVERIFY(!QFileInfo::exists(path));
}

void tst_MacDll::bufferRounds()
{
    MACWaveFormat format{};
    FillWaveFormatEx(&format, 44100, 16, 2);
    QCOMPARE(format.nAvgBytesPerSec, 176400u);
    int32_t error = -1;
    APE_COMPRESS_HANDLE h = c_APECompress_Create(&error);
    QCOMPARE(c_APECompress_UnlockBuffer(h, 4, 1), int32_t(MAC_ERROR_BAD_PARAMETER)); // not started
    const QString path = m_dir.filePath(QStringLiteral("rounds.ape"));
    QCOMPARE(
        c_APECompress_Start(h, QFile::encodeName(path).constData(), &format, -1, 1000, nullptr, -1),
        0);
    int32_t available = 0;
    unsigned char *p = c_APECompress_LockBuffer(h, &available);
    QCOMPARE(available, int32_t(FrameBlocks * 4));
    // More than offered is refused and changes nothing.
    QCOMPARE(c_APECompress_UnlockBuffer(h, available + 1, 1), int32_t(MAC_ERROR_BAD_PARAMETER));
    const QByteArray pcm = makePcm(QStringLiteral("tones"), FrameBlocks, 2);
    std::memcpy(p, pcm.constData(), 8);
    QCOMPARE(c_APECompress_UnlockBuffer(h, 8, 1), 0);
    QCOMPARE(c_APECompress_LockBuffer(h, &available), p + 8);
    std::memcpy(p + 8, pcm.constData() + 8, size_t(available));
    QCOMPARE(c_APECompress_UnlockBuffer(h, available, 1), 0);
    QVERIFY(QFileInfo(path).size() > 0); // a whole frame goes to disk at once
    QCOMPARE(c_APECompress_LockBuffer(h, &available), p);
    // Freed unfinished, the compressor removes its incomplete file.
    c_APECompress_Destroy(h);
    QVERIFY(!QFileInfo::exists(path));

    // A pipe given as the target is not the compressor's to remove.
    const QByteArray fifo = QFile::encodeName(m_dir.filePath(QStringLiteral("fifo")));
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    h = c_APECompress_Create(&error);
    QCOMPARE(c_APECompress_Start(h, fifo.constData(), &format, -1, 1000, nullptr, -1), 0);
    c_APECompress_Destroy(h);
    QVERIFY(QFileInfo::exists(QFile::decodeName(fifo)));
}

QTEST_GUILESS_MAIN(tst_MacDll)
#include "tst_macdll.moc"
