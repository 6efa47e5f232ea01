#include "libs/macdll/macdll.h"
#include "tests/support/testsupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t FrameBlocks = 73728;
constexpr uint32_t LongFrameBlocks = 4 * FrameBlocks; // level 4000

// Interleaved WAV-order PCM of the kinds that reach different coder paths.
QByteArray makePcm(const QString &kind, uint32_t blocks, int channels, int bits = 16)
{
    const int bytes = bits / 8;
    QByteArray pcm(int(blocks) * channels * bytes, Qt::Uninitialized);
    auto *p = reinterpret_cast<uint8_t *>(pcm.data());
    const int32_t full = (1 << (bits - 1)) - 1;
    uint32_t noise = 2024;
    const auto random = [&noise] {
        noise = noise * 1103515245u + 12345u;
        return noise >> 8;
    };
    for (uint32_t t = 0; t < blocks; ++t) {
        int32_t first = 0;
        for (int c = 0; c < channels; ++c) {
            int32_t v = 0;
            if (kind == QLatin1String("vector")) { // the known-answer input
                v = c == 0 ? int32_t(t * 1237 % 4001) - 2000 : int32_t((t * 733 + 500) % 3001) - 1500;
            } else if (kind == QLatin1String("tones")) {
                const double tone = 0.5 * std::sin(t * 0.031 + c) + 0.3 * std::sin(t * 0.0023);
                v = int32_t(tone * full) + int32_t(random() % 64) - 32;
            } else if (kind == QLatin1String("noise")) {
                v = int32_t(random() % uint32_t(2 * full + 2)) - full - 1;
            } else if (kind == QLatin1String("square")) {
                v = (t / 3 + c) % 2 ? full : -full - 1;
            } else if (kind == QLatin1String("identical")) {
                v = c == 0 ? int32_t(0.7 * full * std::sin(t * 0.01)) : first;
            } else if (kind == QLatin1String("blend")) {
                // A frame each of silence, identical channels and plain stereo.
                const uint32_t section = (t / FrameBlocks) % 3;
                if (section == 1)
                    v = c == 0 ? int32_t(0.6 * full * std::sin(t * 0.02)) : first;
                else if (section == 2)
                    v = int32_t(0.4 * full * std::sin(t * (0.01 + 0.003 * c)));
            } // "silence" stays 0
            v = std::clamp(v, -full - 1, full);
            if (c == 0)
                first = v;
            if (bits == 8)
                v += 128;
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
    QByteArray header;         // stored WAV header; none when empty
    QByteArray tail;           // terminating data, all of it WAV tail
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
    const QByteArray name = QFile::encodeName(path);
    int32_t r = c_APECompress_Start(h, name.constData(), &format, o.maxAudioBytes, o.level,
                                    o.header.isEmpty() ? nullptr : o.header.constData(),
                                    o.header.isEmpty() ? MAC_CREATE_WAV_HEADER_ON_DECOMPRESSION
                                                       : int32_t(o.header.size()));
    int32_t done = 0;
    while (r == 0 && done < pcm.size()) {
        int32_t available = 0;
        unsigned char *p = c_APECompress_LockBuffer(h, &available);
        if (!p || available <= 0) {
            r = -2;
            break;
        }
        const int32_t k = std::min({available, int32_t(pcm.size()) - done, o.largestRound});
        std::memcpy(p, pcm.constData() + done, size_t(k));
        r = c_APECompress_UnlockBuffer(h, k, 1);
        done += k;
    }
    if (r == 0) {
        QByteArray tail = o.tail;
        r = c_APECompress_Finish(h, tail.isEmpty() ? nullptr : reinterpret_cast<unsigned char *>(tail.data()),
                                 int32_t(tail.size()), int32_t(tail.size()));
    }
    c_APECompress_Destroy(h);
    return r;
}

// The reference decoder with frame CRCs checked; null on any complaint.
QByteArray decode(const QString &path, int bits, QString *error)
{
    const char *format = bits == 8 ? "u8" : bits == 24 ? "s24le" : "s16le";
    const auto r = TestSupport::run(QStringLiteral("ffmpeg"),
                                    {"-v", "error", "-xerror", "-err_detect", "crccheck", "-i", path,
                                     "-map", "0:a:0", "-f", format, "-"});
    *error = QString::fromUtf8(r.err);
    if (r.exitCode != 0 || !r.err.isEmpty())
        return {};
    return r.out;
}

uint32_t le32(const QByteArray &file, int offset)
{
    const auto *p = reinterpret_cast<const uint8_t *>(file.constData()) + offset;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t le16(const QByteArray &file, int offset)
{
    const auto *p = reinterpret_cast<const uint8_t *>(file.constData()) + offset;
    return uint16_t(p[0] | p[1] << 8);
}

// Offsets of the descriptor and header fields.
enum : int {
    SeekTableBytesAt = 16,
    WavHeaderBytesAt = 20,
    WavTailBytesAt = 32,
    LevelAt = 52,
    FlagsAt = 54,
    BlocksPerFrameAt = 56,
    FinalFrameBlocksAt = 60,
    TotalFramesAt = 64,
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
    void maxAudioBytes();
    void startRefusals_data();
    void startRefusals();
    void callsOutOfTurn();
    void finishFailures_data();
    void finishFailures();
    void unfinishedFileIsRemoved();

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
    // Published digests of the 48-block test vector, one frame, exact seek table.
    QTest::newRow("stereo 1000") << 1000 << 2 << QByteArray("a737a0cab49b1e779f932f97fa7b160c621dbec2e5b7d46ad2f756fef3431eaa");
    QTest::newRow("stereo 2000") << 2000 << 2 << QByteArray("29b4ed44aefc3f5fe79c696ca9eeca5de89662403255dcd6a882524547cd7597");
    QTest::newRow("stereo 3000") << 3000 << 2 << QByteArray("9e742d4daec1314426c5697c1f12b0f95975eea68718107c4ebbc57c3c3bb5c4");
    QTest::newRow("stereo 4000") << 4000 << 2 << QByteArray("2885ffdd574f140e319300612c49190ddcd2c669b1d81dc702a2276025f8a8d1");
    QTest::newRow("mono 1000") << 1000 << 1 << QByteArray("813c0a3e182c889c3a9bff675e89fbbcd90edaea860e7756fd236660416d596f");
    QTest::newRow("mono 2000") << 2000 << 1 << QByteArray("2956d9c240b15f8ae596383b402e20a63623e91e118321477d3e91729ab7e1ef");
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
    const QString path = m_dir.filePath(QStringLiteral("vector-%1-%2.ape").arg(level).arg(channels));
    QCOMPARE(compress(path, pcm, o), 0);
    QByteArray file = TestSupport::readFile(path);
    // The digests were made with 73728 blocks per frame at every level; with
    // a single short frame nothing else depends on that field.
    if (level == 4000) {
        QCOMPARE(le32(file, BlocksPerFrameAt), LongFrameBlocks);
        const uint32_t common = FrameBlocks;
        std::memcpy(file.data() + BlocksPerFrameAt, &common, 4);
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

    for (int level : {1000, 2000, 3000, 4000}) {
        const uint32_t frame = level == 4000 ? LongFrameBlocks : FrameBlocks;
        for (int channels : {2, 1}) {
            const char *layout = channels == 2 ? "stereo" : "mono";
            QTest::addRow("%d %s one block", level, layout) << level << channels << 16 << QStringLiteral("tones") << 1u << (1 << 30);
            QTest::addRow("%d %s short last frame", level, layout)
                << level << channels << 16 << QStringLiteral("tones") << 2 * frame + 1001 << 65536;
        }
        QTest::addRow("%d stereo noise", level) << level << 2 << 16 << QStringLiteral("noise") << 50000u << 4096;
    }
    QTest::newRow("2000 stereo full last frame") << 2000 << 2 << 16 << QStringLiteral("tones") << 2 * FrameBlocks << 65536;
    QTest::newRow("2000 stereo three minutes") << 2000 << 2 << 16 << QStringLiteral("tones") << 180u * 44100 << 65536;
    QTest::newRow("2000 stereo 3 blocks, odd rounds") << 2000 << 2 << 16 << QStringLiteral("tones") << 3u << 3;
    QTest::newRow("1000 mono noise") << 1000 << 1 << 16 << QStringLiteral("noise") << 50000u << 65536;
    QTest::newRow("2000 stereo square") << 2000 << 2 << 16 << QStringLiteral("square") << 30000u << 65536;
    QTest::newRow("3000 mono square") << 3000 << 1 << 16 << QStringLiteral("square") << 30000u << 65536;
    QTest::newRow("2000 stereo silence") << 2000 << 2 << 16 << QStringLiteral("silence") << FrameBlocks + 5 << 65536;
    QTest::newRow("2000 mono silence") << 2000 << 1 << 16 << QStringLiteral("silence") << 1000u << 65536;
    QTest::newRow("2000 stereo identical channels") << 2000 << 2 << 16 << QStringLiteral("identical") << FrameBlocks + 77 << 65536;
    QTest::newRow("3000 stereo blend") << 3000 << 2 << 16 << QStringLiteral("blend") << 3 * FrameBlocks + 99 << 65536;
    QTest::newRow("2000 stereo 8-bit") << 2000 << 2 << 8 << QStringLiteral("tones") << FrameBlocks + 10 << 65536;
    QTest::newRow("2000 stereo 24-bit") << 2000 << 2 << 24 << QStringLiteral("tones") << FrameBlocks + 10 << 65536;
    QTest::newRow("4000 stereo 24-bit noise") << 4000 << 2 << 24 << QStringLiteral("noise") << 20000u << 65536;
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
    QCOMPARE(le16(file, LevelAt), uint16_t(level));
    QCOMPARE(le32(file, BlocksPerFrameAt), frame);
    QCOMPARE(le32(file, TotalFramesAt), (blocks + frame - 1) / frame);
    QCOMPARE(le32(file, FinalFrameBlocksAt), blocks - (blocks - 1) / frame * frame);

    QString error;
    const QByteArray decoded = decode(path, bits, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(decoded.size(), pcm.size());
    QVERIFY(decoded == pcm);
    if (kind == QLatin1String("silence") || kind == QLatin1String("identical")) {
        // Such frames are flagged and cost next to nothing, or half a stereo frame.
        const qint64 frames = file.size() - 52 - 24 - le32(file, SeekTableBytesAt);
        QVERIFY2(frames < (kind == QLatin1String("silence") ? 64 : pcm.size() / 4),
                 qPrintable(QString::number(frames)));
    }
}

void tst_MacDll::storedHeaderAndTail()
{
    // A stored WAV header and tail sit outside the frames and are skipped by
    // their lengths; the audio must come back unchanged.
    const QByteArray pcm = makePcm(QStringLiteral("tones"), 5000, 2);
    Options o;
    o.header = QByteArray("RIFF....WAVEfmt ").leftJustified(44, 'h');
    o.tail = QByteArray("LIST\x04\0\0\0tail", 12);
    const QString path = m_dir.filePath(QStringLiteral("stored.ape"));
    QCOMPARE(compress(path, pcm, o), 0);
    const QByteArray file = TestSupport::readFile(path);
    QCOMPARE(le32(file, WavHeaderBytesAt), 44u);
    QCOMPARE(le32(file, WavTailBytesAt), 12u);
    QCOMPARE(le16(file, FlagsAt), uint16_t(0));
    QVERIFY(file.endsWith(o.tail));
    QCOMPARE(file.indexOf(o.header), int(52 + 24 + le32(file, SeekTableBytesAt)));
    QString error;
    QVERIFY(decode(path, 16, &error) == pcm);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void tst_MacDll::seekTableGrowsPastTheReserve()
{
    // An unknown length reserves the seek table for 80 minutes; at 100 Hz
    // that is 7 frames, so 9 frames make the frame data move once.
    const uint32_t blocks = 8 * FrameBlocks + 123;
    const QByteArray pcm = makePcm(QStringLiteral("tones"), blocks, 1);
    Options o;
    o.channels = 1;
    o.rate = 100;
    const QString path = m_dir.filePath(QStringLiteral("grown.ape"));
    QCOMPARE(compress(path, pcm, o), 0);
    const QByteArray file = TestSupport::readFile(path);
    QCOMPARE(le32(file, TotalFramesAt), 9u);
    QCOMPARE(le32(file, SeekTableBytesAt), 4u * 14);
    const uint32_t first = 52 + 24 + 4 * 14;
    QCOMPARE(le32(file, 76), first);
    for (int i = 1; i < 9; ++i)
        QVERIFY(le32(file, 76 + 4 * i) > le32(file, 76 + 4 * (i - 1)));
    QString error;
    QVERIFY(decode(path, 16, &error) == pcm);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void tst_MacDll::maxAudioBytes()
{
    const QByteArray pcm = makePcm(QStringLiteral("tones"), FrameBlocks + 10, 2);
    Options o;
    o.maxAudioBytes = int32_t(pcm.size());
    const QString exact = m_dir.filePath(QStringLiteral("exact.ape"));
    QCOMPARE(compress(exact, pcm, o), 0);
    QCOMPARE(le32(TestSupport::readFile(exact), SeekTableBytesAt), 8u);

    o.maxAudioBytes = int32_t(pcm.size()) - 4;
    const QString over = m_dir.filePath(QStringLiteral("over.ape"));
    QCOMPARE(compress(over, pcm, o), int32_t(MAC_ERROR_APE_COMPRESS_TOO_MUCH_DATA));
    QVERIFY(!QFileInfo::exists(over));
}

void tst_MacDll::startRefusals_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expected");
    // field: 0 format tag, 1 bits, 2 channels, 3 rate, 4 block align,
    // 5 level, 6 max audio bytes, 7 header bytes
    QTest::newRow("not PCM") << 0 << 3 << int(MAC_ERROR_UNSUPPORTED_FILE_TYPE);
    QTest::newRow("12 bits") << 1 << 12 << int(MAC_ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH);
    QTest::newRow("32 bits") << 1 << 32 << int(MAC_ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH);
    QTest::newRow("3 channels") << 2 << 3 << int(MAC_ERROR_INPUT_FILE_UNSUPPORTED_CHANNEL_COUNT);
    QTest::newRow("no channels") << 2 << 0 << int(MAC_ERROR_INPUT_FILE_UNSUPPORTED_CHANNEL_COUNT);
    QTest::newRow("rate 0") << 3 << 0 << int(MAC_ERROR_INPUT_FILE_UNSUPPORTED_SAMPLE_RATE);
    QTest::newRow("block align") << 4 << 3 << int(MAC_ERROR_INVALID_INPUT_FILE);
    QTest::newRow("level 5000") << 5 << 5000 << int(MAC_ERROR_BAD_PARAMETER);
    QTest::newRow("level 1500") << 5 << 1500 << int(MAC_ERROR_BAD_PARAMETER);
    QTest::newRow("level 0") << 5 << 0 << int(MAC_ERROR_BAD_PARAMETER);
    QTest::newRow("max bytes -2") << 6 << -2 << int(MAC_ERROR_BAD_PARAMETER);
    QTest::newRow("header bytes -2") << 7 << -2 << int(MAC_ERROR_BAD_PARAMETER);
    QTest::newRow("header without data") << 7 << 44 << int(MAC_ERROR_BAD_PARAMETER);
}

void tst_MacDll::startRefusals()
{
    QFETCH(int, field);
    QFETCH(int, value);
    QFETCH(int, expected);
    MACWaveFormat format{};
    QCOMPARE(FillWaveFormatEx(&format, 44100, 16, 2), 0);
    int32_t level = 2000;
    int32_t maxBytes = -1;
    int32_t headerBytes = -1;
    switch (field) {
    case 0: format.wFormatTag = uint16_t(value); break;
    case 1: format.wBitsPerSample = uint16_t(value); break;
    case 2: format.nChannels = uint16_t(value); break;
    case 3: format.nSamplesPerSec = uint32_t(value); break;
    case 4: format.nBlockAlign = uint16_t(value); break;
    case 5: level = value; break;
    case 6: maxBytes = value; break;
    default: headerBytes = value; break;
    }
    const QString path = m_dir.filePath(QStringLiteral("refused.ape"));
    int32_t error = -1;
    APE_COMPRESS_HANDLE h = c_APECompress_Create(&error);
    QVERIFY(h);
    QCOMPARE(error, 0);
    QCOMPARE(c_APECompress_Start(h, QFile::encodeName(path).constData(), &format, maxBytes, level,
                                 nullptr, headerBytes),
             expected);
    int32_t available = 7;
    QVERIFY(!c_APECompress_LockBuffer(h, &available));
    QCOMPARE(available, 0);
    c_APECompress_Destroy(h);
    // Refused before anything was created.
    QVERIFY(!QFileInfo::exists(path));
}

void tst_MacDll::callsOutOfTurn()
{
    MACWaveFormat format{};
    FillWaveFormatEx(&format, 44100, 16, 2);
    QCOMPARE(format.nBlockAlign, uint16_t(4));
    QCOMPARE(format.nAvgBytesPerSec, 176400u);
    QCOMPARE(FillWaveFormatEx(nullptr, 44100, 16, 2), int32_t(MAC_ERROR_BAD_PARAMETER));

    int32_t error = -1;
    APE_COMPRESS_HANDLE h = c_APECompress_Create(&error);
    QCOMPARE(c_APECompress_UnlockBuffer(h, 4, 1), int32_t(MAC_ERROR_BAD_PARAMETER));
    QCOMPARE(c_APECompress_Finish(h, nullptr, 0, 0), int32_t(MAC_ERROR_BAD_PARAMETER));
    const QString path = m_dir.filePath(QStringLiteral("turns.ape"));
    QCOMPARE(c_APECompress_Start(h, QFile::encodeName(path).constData(), &format, -1, 2000, nullptr, -1), 0);
    QCOMPARE(c_APECompress_Start(h, QFile::encodeName(path).constData(), &format, -1, 2000, nullptr, -1),
             int32_t(MAC_ERROR_BAD_PARAMETER));
    int32_t available = 0;
    unsigned char *p = c_APECompress_LockBuffer(h, &available);
    QVERIFY(p);
    QCOMPARE(available, int32_t(FrameBlocks * 4));
    // More than was offered is refused and changes nothing.
    QCOMPARE(c_APECompress_UnlockBuffer(h, available + 1, 1), int32_t(MAC_ERROR_BAD_PARAMETER));
    QCOMPARE(c_APECompress_UnlockBuffer(h, -1, 1), int32_t(MAC_ERROR_BAD_PARAMETER));
    std::memset(p, 0x11, 8);
    QCOMPARE(c_APECompress_UnlockBuffer(h, 8, 1), 0);
    QCOMPARE(c_APECompress_LockBuffer(h, &available), p + 8);
    QCOMPARE(available, int32_t(FrameBlocks * 4 - 8));
    QCOMPARE(c_APECompress_Finish(h, nullptr, 0, 0), 0);
    QVERIFY(!c_APECompress_LockBuffer(h, &available));
    QCOMPARE(c_APECompress_Finish(h, nullptr, 0, 0), int32_t(MAC_ERROR_BAD_PARAMETER));
    c_APECompress_Destroy(h);
    // 80 minutes of seek table reserved, then the one frame.
    const QByteArray file = TestSupport::readFile(path);
    QCOMPARE(le32(file, SeekTableBytesAt), 4u * 2872);
    QCOMPARE(le32(file, 24), uint32_t(file.size()) - (52 + 24 + 4 * 2872));
    QCOMPARE(le32(file, 76), 52u + 24 + 4 * 2872);
    QCOMPARE(le32(file, 80), 0u);

    c_APECompress_Destroy(nullptr);
    QVERIFY(!c_APECompress_LockBuffer(nullptr, &available));
    QCOMPARE(c_APECompress_Finish(nullptr, nullptr, 0, 0), int32_t(MAC_ERROR_BAD_PARAMETER));
}

void tst_MacDll::finishFailures_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<int>("expected");
    // Nothing that plays can be made of no audio.
    QTest::newRow("no audio") << QStringLiteral("empty.ape") << 0 << int(MAC_ERROR_INPUT_FILE_TOO_SMALL);
    // A partial block is no block either.
    QTest::newRow("two bytes") << QStringLiteral("twobytes.ape") << -2 << int(MAC_ERROR_INPUT_FILE_TOO_SMALL);
    // A full disk at the very end: everything short of a frame is written by Finish.
    QTest::newRow("disk full") << QStringLiteral("/dev/full") << 100 << int(MAC_ERROR_IO_WRITE);
}

void tst_MacDll::finishFailures()
{
    QFETCH(QString, target);
    QFETCH(int, blocks);
    QFETCH(int, expected);
    const QString path = target.startsWith('/') ? target : m_dir.filePath(target);
    QByteArray pcm = blocks >= 0 ? makePcm(QStringLiteral("tones"), uint32_t(blocks), 2)
                                 : QByteArray(-blocks, '\x01');
    QCOMPARE(compress(path, pcm, Options()), expected);
    if (!target.startsWith('/'))
        QVERIFY(!QFileInfo::exists(path));
}

void tst_MacDll::unfinishedFileIsRemoved()
{
    MACWaveFormat format{};
    FillWaveFormatEx(&format, 44100, 16, 2);
    int32_t error = -1;
    APE_COMPRESS_HANDLE h = c_APECompress_Create(&error);
    const QString path = m_dir.filePath(QStringLiteral("unfinished.ape"));
    QCOMPARE(c_APECompress_Start(h, QFile::encodeName(path).constData(), &format, -1, 1000, nullptr, -1), 0);
    const QByteArray pcm = makePcm(QStringLiteral("tones"), FrameBlocks, 2);
    int32_t available = 0;
    unsigned char *p = c_APECompress_LockBuffer(h, &available);
    QCOMPARE(available, int32_t(pcm.size()));
    std::memcpy(p, pcm.constData(), size_t(pcm.size()));
    QCOMPARE(c_APECompress_UnlockBuffer(h, available, 1), 0);
    QVERIFY(QFileInfo(path).size() > 0); // the first frame is on disk
    c_APECompress_Destroy(h);
    QVERIFY(!QFileInfo::exists(path));

    // A device given as the target survives.
    h = c_APECompress_Create(&error);
    QCOMPARE(c_APECompress_Start(h, "/dev/null", &format, -1, 1000, nullptr, -1), 0);
    c_APECompress_Destroy(h);
    QVERIFY(QFileInfo::exists(QStringLiteral("/dev/null")));

    // A folder that does not exist.
    h = c_APECompress_Create(&error);
    QCOMPARE(c_APECompress_Start(h, QFile::encodeName(m_dir.filePath("none/x.ape")).constData(),
                                 &format, -1, 1000, nullptr, -1),
             int32_t(MAC_ERROR_INVALID_OUTPUT_FILE));
    c_APECompress_Destroy(h);
}

QTEST_GUILESS_MAIN(tst_MacDll)
#include "tst_macdll.moc"
