#include "pipeline/trackchecksums.h"

#include <QtTest>

#include <zlib.h>

#include <vector>

// The sums of a known block of 5880 stereo samples in every place a track can
// have on the disc, against figures worked out independently.
class tst_TrackChecksums : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void knownBlocks_data();
    void knownBlocks();
    void piecesOfAnySize();
    void shortTrackAtBothEnds();
};

namespace {

// Ten sectors of words 1, 2, ..., 5880, or of 0xFFFFFFFF, little-endian.
QByteArray block(bool allOnes)
{
    QByteArray bytes;
    for (uint32_t i = 1; i <= 5880; ++i) {
        const uint32_t w = allOnes ? 0xFFFFFFFFu : i;
        const char b[4] = {char(w), char(w >> 8), char(w >> 16), char(w >> 24)};
        bytes.append(b, 4);
    }
    return bytes;
}

TTrackChecksums sumsOf(const QByteArray &pcm, TTrackPlace place, int piece)
{
    TTrackChecksummer sums(uint32_t(pcm.size() / 4), place);
    for (int at = 0; at < pcm.size(); at += piece) {
        const int n = std::min(piece, int(pcm.size()) - at);
        sums.PcmDelivered(reinterpret_cast<const uint8_t *>(pcm.constData()) + at, n);
    }
    if (!sums.Complete())
        qFatal("every sample was delivered but the sums are not complete");
    return sums.Result();
}

} // namespace

void tst_TrackChecksums::knownBlocks_data()
{
    QTest::addColumn<bool>("allOnes");
    QTest::addColumn<bool>("first");
    QTest::addColumn<bool>("last");
    QTest::addColumn<uint>("v1");
    QTest::addColumn<uint>("v2");
    QTest::addColumn<uint>("crc");

    const uint rampCrc = 0x0168EBD5;
    const uint onesCrc = 0x76E68117;
    QTest::newRow("ramp, middle track")
        << false << false << false << 0xC83035F4u << 0xC83035F4u << rampCrc;
    QTest::newRow("ramp, first track")
        << false << true << false << 0xCF8D18D2u << 0xCF8D18D2u << rampCrc;
    QTest::newRow("ramp, last track")
        << false << false << true << 0xF9270132u << 0xF9270132u << rampCrc;
    QTest::newRow("ramp, only track")
        << false << true << true << 0x0083E410u << 0x0083E410u << rampCrc;
    QTest::newRow("all ones, middle track")
        << true << false << false << 0xFEF82C64u << 0xFFFFE908u << onesCrc;
    QTest::newRow("all ones, first track")
        << true << true << false << 0xFF3A18AEu << 0xFFFFF483u << onesCrc;
    QTest::newRow("all ones, last track")
        << true << false << true << 0xFFBE083Au << 0xFFFFF484u << onesCrc;
    QTest::newRow("all ones, only track")
        << true << true << true << 0xFFFFF484u << 0xFFFFFFFFu << onesCrc;
}

void tst_TrackChecksums::knownBlocks()
{
    QFETCH(bool, allOnes);
    QFETCH(bool, first);
    QFETCH(bool, last);
    QFETCH(uint, v1);
    QFETCH(uint, v2);
    QFETCH(uint, crc);

    const TTrackChecksums sums = sumsOf(block(allOnes), TTrackPlace{first, last}, 2352 * 4);
    QCOMPARE(sums.AccurateRipV1, v1);
    QCOMPARE(sums.AccurateRipV2, v2);
    QCOMPARE(sums.Crc32, crc);
}

void tst_TrackChecksums::piecesOfAnySize()
{
    // Writers read in pieces that need not end on a sample: 1, 3 and 1000
    // bytes give the sums of one whole piece.
    const QByteArray pcm = block(false);
    const TTrackChecksums whole = sumsOf(pcm, TTrackPlace{true, false}, int(pcm.size()));
    for (int piece : {1, 3, 1000, 4097}) {
        const TTrackChecksums sums = sumsOf(pcm, TTrackPlace{true, false}, piece);
        QCOMPARE(sums.AccurateRipV1, whole.AccurateRipV1);
        QCOMPARE(sums.AccurateRipV2, whole.AccurateRipV2);
        QCOMPARE(sums.Crc32, whole.Crc32);
    }

    TTrackChecksummer partial(5880, TTrackPlace{});
    partial.PcmDelivered(reinterpret_cast<const uint8_t *>(pcm.constData()), 4 * 5879 + 2);
    QVERIFY(!partial.Complete());
    QCOMPARE(partial.SeenSamples(), 5879u);
}

void tst_TrackChecksums::shortTrackAtBothEnds()
{
    // An only track shorter than both skipped edges together sums nothing,
    // and its CRC still covers every byte.
    const QByteArray pcm = block(false).left(4 * 4000);
    const TTrackChecksums sums = sumsOf(pcm, TTrackPlace{true, true}, 512);
    QCOMPARE(sums.AccurateRipV1, 0u);
    QCOMPARE(sums.AccurateRipV2, 0u);
    QCOMPARE(sums.Crc32, uint(crc32(0, reinterpret_cast<const Bytef *>(pcm.constData()), 16000)));
}

QTEST_GUILESS_MAIN(tst_TrackChecksums)
#include "tst_trackchecksums.moc"
