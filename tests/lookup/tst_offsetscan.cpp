// The read offset's arithmetic: every shift's sums from one streamed read,
// and the AccurateRip drive list with the names drives give.
#include "lookup/driveoffsets.h"
#include "lookup/offsetscan.h"
#include "tests/support/loopbackhttpserver.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <vector>

using namespace OffsetScan;

class tst_OffsetScan : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sumsAtEveryShift_data();
    void sumsAtEveryShift();
    void edgesOfTheDisc_data();
    void edgesOfTheDisc();
    void driveList_data();
    void driveList();
    void refusesBrokenDriveLists_data();
    void refusesBrokenDriveLists();
    void driveListKeptAndRefreshed();
};

namespace {

QByteArray bytesOf(const std::vector<uint32_t> &words)
{
    QByteArray bytes(qsizetype(words.size()) * 4, '\0');
    for (size_t i = 0; i < words.size(); ++i)
        qToLittleEndian(words[i], bytes.data() + 4 * i);
    return bytes;
}

// Fed in pieces that end inside samples, as a read's chunks may.
void feed(Scanner &scan, const QByteArray &bytes)
{
    for (qsizetype at = 0; at < bytes.size(); at += 1001) {
        const auto n = int32_t(std::min<qsizetype>(1001, bytes.size() - at));
        scan.PcmDelivered(reinterpret_cast<const uint8_t *>(bytes.constData() + at), n);
    }
}

QByteArray driveRecord(int16_t offset, const QByteArray &name, uint8_t submissions)
{
    QByteArray r(69, '\0');
    qToLittleEndian(offset, r.data());
    r.replace(2, int(name.size()), name);
    r[35] = char(submissions);
    return r;
}

} // namespace

void tst_OffsetScan::sumsAtEveryShift_data()
{
    QTest::addColumn<int>("shift");
    QTest::addColumn<uint32_t>("v1");
    QTest::addColumn<uint32_t>("v2");
    // A middle track of 20 sectors at sector 10 of the words
    // s = 1664525 s + 1013904223.
    QTest::newRow("-3") << -3 << 0x28B07B50u << 0x2ABF786Du;
    QTest::newRow("0") << 0 << 0x58AFB1C8u << 0x5ABEB6BCu;
    QTest::newRow("+6") << 6 << 0x9A6AA258u << 0x9C799A81u;
    QTest::newRow("+667") << 667 << 0x251CA1E0u << 0x272B6881u;
}

void tst_OffsetScan::sumsAtEveryShift()
{
    QFETCH(int, shift);
    QFETCH(uint32_t, v1);
    QFETCH(uint32_t, v2);
    std::vector<uint32_t> words(5880 + 11760 + MaxShift);
    uint32_t s = 0;
    for (uint32_t &w : words)
        w = s = 1664525u * s + 1013904223u;
    Scanner scan({TrackSpan{5880, 11760, TTrackPlace{}}}, {0, shift});
    feed(scan, bytesOf(words));
    QVERIFY(scan.Complete());
    // Every shift from the running sums, the candidates from the definition.
    QCOMPARE(scan.V1(0, shift), v1);
    const std::optional<TTrackChecksums> sums = scan.SumsAt(0, shift);
    QVERIFY(sums);
    QCOMPARE(sums->AccurateRipV1, v1);
    QCOMPARE(sums->AccurateRipV2, v2);
    QVERIFY(!scan.SumsAt(0, shift + 1));
}

void tst_OffsetScan::edgesOfTheDisc_data()
{
    QTest::addColumn<bool>("first");
    QTest::addColumn<bool>("last");
    QTest::addColumn<uint32_t>("sum");
    // The words 1 .. 5880: v1 and v2 alike.
    QTest::newRow("middle") << false << false << 0xC83035F4u;
    QTest::newRow("first track") << true << false << 0xCF8D18D2u;
    QTest::newRow("last track") << false << true << 0xF9270132u;
    QTest::newRow("only track") << true << true << 0x0083E410u;
}

void tst_OffsetScan::edgesOfTheDisc()
{
    QFETCH(bool, first);
    QFETCH(bool, last);
    QFETCH(uint32_t, sum);
    // Silence stands for what lies beyond the disc's ends; shifted by +100
    // the track comes 100 samples later in the read.
    const int shift = 100;
    std::vector<uint32_t> words(MaxShift + shift, 0);
    for (uint32_t w = 1; w <= 5880; ++w)
        words.push_back(w);
    words.resize(words.size() + MaxShift, 0);
    Scanner scan({TrackSpan{MaxShift, 5880, TTrackPlace{first, last}}}, {shift});
    feed(scan, bytesOf(words));
    QVERIFY(scan.Complete());
    QCOMPARE(scan.V1(0, shift), sum);
    QCOMPARE(scan.SumsAt(0, shift)->AccurateRipV2, sum);
}

void tst_OffsetScan::driveList_data()
{
    QTest::addColumn<QString>("vendor");
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("offset"); // 0: not found

    // INQUIRY fields come space-padded; names in the list are written
    // either way.
    QTest::newRow("padded fields") << "PLEXTOR "
                                   << "DVDR   PX-716A  " << 30;
    QTest::newRow("case and spaces") << "hl-dt-st"
                                     << " dvdram  gh24nsd1" << 6;
    QTest::newRow("no vendor") << ""
                               << "CDRW 52X" << 48;
    QTest::newRow("two offsets for one model") << "TWICE"
                                               << "SEEN" << 0;
    QTest::newRow("an entry of offset 0 is none") << "ZERO"
                                                  << "DRIVE" << 0;
    QTest::newRow("vendor differs") << "OTHER"
                                    << "DVDR PX-716A" << 0;
    QTest::newRow("not listed") << "SONDREL"
                                << "SIMULATED DRIVE" << 0;
}

void tst_OffsetScan::driveList()
{
    QFETCH(QString, vendor);
    QFETCH(QString, model);
    QFETCH(int, offset);
    const QByteArray list = driveRecord(30, "PLEXTOR  - DVDR   PX-716A", 12)
                            + driveRecord(6, "HL-DT-ST - DVDRAM GH24NSD1", 200)
                            + driveRecord(48, "- CDRW 52X", 3) + driveRecord(6, "TWICE - SEEN", 1)
                            + driveRecord(667, "TWICE - SEEN", 1)
                            + driveRecord(0, "ZERO - DRIVE", 1) + driveRecord(6, "SOME - DRIVE", 4);
    const std::vector<DriveOffsets::Entry> entries = DriveOffsets::parseList(list);
    QCOMPARE(entries.size(), size_t(7));
    QCOMPARE(entries[1].name, QStringLiteral("HL-DT-ST - DVDRAM GH24NSD1"));
    QCOMPARE(entries[1].submissions, 200);
    const std::optional<int> found = DriveOffsets::offsetOf(entries, vendor, model);
    QCOMPARE(found.value_or(0), offset);
    // The most used offsets first: +6 is three drives'.
    QCOMPARE(DriveOffsets::offsetsByUse(entries).front(), 6);
}

void tst_OffsetScan::refusesBrokenDriveLists_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("cut short") << driveRecord(6, "A - B", 1).left(50);
    QTest::newRow("a web page") << QByteArray("<!DOCTYPE html><html>not here</html>");
}

void tst_OffsetScan::refusesBrokenDriveLists()
{
    QFETCH(QByteArray, bytes);
    QVERIFY_THROWS_EXCEPTION(AccurateRip::MalformedFile, DriveOffsets::parseList(bytes));
}

void tst_OffsetScan::driveListKeptAndRefreshed()
{
    QTemporaryDir folder;
    LoopbackHttpServer server;
    const QByteArray first = driveRecord(6, "A - B", 1);
    const QByteArray second = driveRecord(667, "A - B", 2);
    server.route("/accuraterip/DriveOffsets.bin",
                 {LoopbackHttpServer::text(200, first),
                  LoopbackHttpServer::text(200, second),
                  LoopbackHttpServer::text(500, "gone")});
    TAccurateRipSettings settings;
    settings.server = server.url(QStringLiteral("/"));
    TDriveOffsetList list(folder.path());
    const auto refresh = [&] {
        QSignalSpy done(&list, &TDriveOffsetList::Refreshed);
        list.Refresh(settings);
        if (list.IsRefreshing())
            QVERIFY(done.wait(10000));
    };
    const auto listed = [&] { return DriveOffsets::offsetOf(list.Entries(), "A", "B").value_or(0); };

    // Missing: fetched and kept with its date.
    QVERIFY(list.NeedsRefresh());
    refresh();
    QCOMPARE(listed(), 6);
    QVERIFY(!list.NeedsRefresh());
    QVERIFY(!list.NeedsRefresh(QDateTime::currentDateTimeUtc().addDays(9)));
    QVERIFY(list.NeedsRefresh(QDateTime::currentDateTimeUtc().addDays(10)));
    // Fresh: not asked again.
    refresh();
    QCOMPARE(server.requests().size(), 1);
    // Ten days old: fetched again; a failed fetch keeps the copy.
    QFile file(list.FilePath());
    const auto age = [&file] {
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTimeUtc().addDays(-11),
                                 QFileDevice::FileModificationTime));
        file.close();
    };
    age();
    refresh();
    QCOMPARE(server.requests().size(), 2);
    QCOMPARE(listed(), 667);
    age();
    refresh();
    QCOMPARE(server.requests().size(), 3);
    QVERIFY(list.LastError().contains(QLatin1String("HTTP 500")));
    QCOMPARE(listed(), 667);
}

QTEST_GUILESS_MAIN(tst_OffsetScan)
#include "tst_offsetscan.moc"
