#include "libs/disclookup/lookuperror.h"
#include "lookup/accuraterip.h"
#include "lookup/accurateriplookup.h"
#include "tests/support/loopbackhttpserver.h"

#include <QSignalSpy>
#include <QtEndian>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(DiscLookup::DiscToc)
Q_DECLARE_METATYPE(std::vector<TTocEntry>)

using namespace AccurateRip;

class tst_AccurateRip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tocFromDrive_data();
    void tocFromDrive();
    void discIdsAndPath_data();
    void discIdsAndPath();
    void parsesRecords();
    void refusesMalformedFiles_data();
    void refusesMalformedFiles();
    void verdicts();
    void verdictLines_data();
    void verdictLines();
    void summaryLines();
    void fetchOverHttp();
    void lookupNeverBlocks();
};

namespace {

DiscLookup::DiscToc tocOf(const std::vector<uint32_t> &frames, uint32_t leadOut, int dataTrack = 0)
{
    DiscLookup::DiscToc toc;
    for (size_t i = 0; i < frames.size(); ++i)
        toc.tracks.push_back(DiscLookup::TocTrack{int(i + 1), frames[i], int(i + 1) == dataTrack});
    toc.leadOutFrame = leadOut;
    return toc;
}

// The enhanced CD of the shared disc-id table: 12 audio tracks, a data track.
DiscLookup::DiscToc enhancedCd()
{
    return tocOf({150,
                  15687,
                  31841,
                  51016,
                  66616,
                  81352,
                  99559,
                  116070,
                  133243,
                  149997,
                  161710,
                  177832,
                  207256},
                 210535,
                 13);
}

void put32(QByteArray &bytes, uint32_t value)
{
    char b[4];
    qToLittleEndian(value, b);
    bytes.append(b, 4);
}

struct TrackSum
{
    int confidence;
    uint32_t checksum;
};

QByteArray record(const DiscIds &ids, const std::vector<TrackSum> &tracks)
{
    QByteArray bytes;
    bytes.append(char(tracks.size()));
    put32(bytes, ids.id1);
    put32(bytes, ids.id2);
    put32(bytes, ids.cddb);
    for (const TrackSum &t : tracks) {
        bytes.append(char(t.confidence));
        put32(bytes, t.checksum);
        put32(bytes, 0x450450u);
    }
    return bytes;
}

DiscIds threeTracks()
{
    return DiscIds{3, 0x1234, 0x5678, 0x9abc};
}

LoopbackHttpServer::Reply binary(const QByteArray &body)
{
    LoopbackHttpServer::Reply reply;
    reply.body = body;
    return reply;
}

TTrackChecksums sums(uint32_t v1, uint32_t v2, uint32_t crc = 0x1A2B3C4D)
{
    return TTrackChecksums{crc, v1, v2};
}

} // namespace

void tst_AccurateRip::tocFromDrive_data()
{
    QTest::addColumn<std::vector<TTocEntry>>("entries");
    QTest::addColumn<QString>("toc");
    QTest::newRow("none") << std::vector<TTocEntry>{} << "| 0";
    QTest::newRow("lead-out only") << std::vector<TTocEntry>{{1000, 0x10, 0xAA}} << "| 0";
    QTest::newRow("audio") << std::vector<TTocEntry>{{0, 0x10, 1},
                                                     {20000, 0x10, 2},
                                                     {40000, 0x10, 0xAA}}
                           << "1:150 2:20150 | 40150";
    QTest::newRow("data last") << std::vector<TTocEntry>{{0, 0x10, 1},
                                                         {30000, 0x14, 2},
                                                         {50000, 0x14, 0xAA}}
                               << "1:150 2:30150d | 50150";
}

void tst_AccurateRip::tocFromDrive()
{
    QFETCH(std::vector<TTocEntry>, entries);
    QFETCH(QString, toc);
    const Toc converted = tocOf(entries);
    QStringList tracks;
    for (const DiscLookup::TocTrack &t : converted.tracks)
        tracks << QString("%1:%2%3").arg(t.number).arg(t.startFrame).arg(t.data ? "d" : "");
    tracks << QString("| %1").arg(converted.leadOutFrame);
    QCOMPARE(tracks.join(' '), toc);
}

void tst_AccurateRip::discIdsAndPath_data()
{
    QTest::addColumn<DiscLookup::DiscToc>("toc");
    QTest::addColumn<QString>("path");
    // The data track is left out of the sums but its end is the lead-out;
    // the CDDB id counts it.
    QTest::newRow("enhanced CD") << enhancedCd() << "a/5/d/dBAR-012-0013bd5a-00b8d489-c60af50d.bin";
    // One track from sector 0 to 850: id1 850, id2 1 x 1 + 850 x 2.
    QTest::newRow("one track") << tocOf({150}, 1000)
                               << "2/5/3/dBAR-001-00000352-000006a5-"
                                      + QString::fromStdString(
                                          DiscLookup::cddbId(tocOf({150}, 1000)))
                                      + ".bin";
}

void tst_AccurateRip::discIdsAndPath()
{
    QFETCH(DiscLookup::DiscToc, toc);
    QFETCH(QString, path);
    const DiscIds ids = discIds(toc);
    QCOMPARE(filePath(ids), path);
    QCOMPARE(fileUrl("http://127.0.0.1:8080/", ids), "http://127.0.0.1:8080/accuraterip/" + path);
    QCOMPARE(fileUrl(DefaultServer, ids), "http://www.accuraterip.com/accuraterip/" + path);

    using DiscLookup::InvalidToc;
    const DiscLookup::DiscToc dataOnly = tocOf({150}, 1000, 1);
    const DiscLookup::DiscToc empty = tocOf({}, 1000);
    QVERIFY_THROWS_EXCEPTION(InvalidToc, discIds(dataOnly));
    QVERIFY_THROWS_EXCEPTION(InvalidToc, discIds(empty));
}

void tst_AccurateRip::parsesRecords()
{
    const DiscIds ids = threeTracks();
    const QByteArray one = record(ids, {{12, 0x11}, {7, 0x22}, {200, 0x33}});
    std::vector<Record> records = parseFile(one);
    QCOMPARE(records.size(), size_t(1));
    QCOMPARE(records[0].ids.audioTracks, 3);
    QCOMPARE(records[0].ids.id1, 0x1234u);
    QCOMPARE(records[0].ids.id2, 0x5678u);
    QCOMPARE(records[0].ids.cddb, 0x9abcu);
    QCOMPARE(records[0].tracks[2].confidence, 200);
    QCOMPARE(records[0].tracks[1].checksum, 0x22u);
    QCOMPARE(records[0].tracks[0].frame450Sum, 0x450450u);

    // Several pressings, one of them another disc with more tracks.
    DiscIds other = ids;
    other.audioTracks = 5;
    other.id2 = 0xdead;
    const QByteArray several = one + record(other, {{1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}})
                               + record(ids, {{3, 0x44}, {4, 0x55}, {5, 0x66}});
    records = parseFile(several);
    QCOMPARE(records.size(), size_t(3));
    QCOMPARE(records[1].ids.audioTracks, 5);
    QCOMPARE(records[1].tracks[4].checksum, 5u);
    QCOMPARE(records[2].tracks[2].checksum, 0x66u);
}

void tst_AccurateRip::refusesMalformedFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray one = record(threeTracks(), {{1, 1}, {1, 2}, {1, 3}});
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("cut in the header") << one.left(10);
    QTest::newRow("cut in a track") << one.left(one.size() - 1);
    QTest::newRow("second record cut") << one + one.left(20);
    QTest::newRow("no tracks") << QByteArray(13, '\0');
    QTest::newRow("HTML page") << QByteArray(
        "<!DOCTYPE html>\n<html><body>Not found</body></html>");
    QTest::newRow("HTML after blanks") << QByteArray("\r\n  <HTML><head></head></HTML>");
}

void tst_AccurateRip::refusesMalformedFiles()
{
    QFETCH(QByteArray, bytes);
    QVERIFY_THROWS_EXCEPTION(MalformedFile, parseFile(bytes));
}

void tst_AccurateRip::verdicts()
{
    const DiscIds ids = threeTracks();
    DiscIds other = ids;
    other.id1 = 0x4321;
    // An old record with v1 sums, a newer one with v2 sums, another disc's
    // record that holds the sums of track 1 and 3.
    const std::vector<Record> records = parseFile(
        record(ids, {{12, 0x100}, {3, 0x200}, {5, 0x300}})
        + record(ids, {{20, 0x101}, {4, 0x201}, {6, 0x301}})
        + record(other, {{99, 0x999}, {99, 0x201}, {99, 0x777}}));

    TrackVerdict v = verdictFor(records, ids, 0, sums(0x100, 0x101));
    QCOMPARE(v.kind, TrackVerdict::Accurate);
    QCOMPARE(v.confidence, 20); // the higher of the two matches
    QVERIFY(v.v2);
    v = verdictFor(records, ids, 1, sums(0x200, 0xbad));
    QCOMPARE(v.kind, TrackVerdict::Accurate);
    QCOMPARE(v.confidence, 3);
    QVERIFY(!v.v2);
    // The other disc's record holds 0x777 at track 3: it is not this disc's.
    v = verdictFor(records, ids, 2, sums(0x777, 0x777));
    QCOMPARE(v.kind, TrackVerdict::Mismatch);
    QCOMPARE(v.submissions, 11);
    v = verdictFor(records, other, 2, sums(0x777, 0x1));
    QCOMPARE(v.kind, TrackVerdict::Accurate);
    QCOMPARE(v.confidence, 99);

    // No record of this disc, no records at all, a track past the records.
    DiscIds unknown = ids;
    unknown.cddb = 1;
    QCOMPARE(verdictFor(records, unknown, 0, sums(0x100, 0x101)).kind, TrackVerdict::NotInDatabase);
    QCOMPARE(verdictFor({}, ids, 0, sums(0x100, 0x101)).kind, TrackVerdict::NotInDatabase);
    QCOMPARE(verdictFor(records, ids, 3, sums(0x100, 0x101)).kind, TrackVerdict::NotInDatabase);
}

void tst_AccurateRip::verdictLines_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("line");
    QTest::newRow("accurate") << int(TrackVerdict::Accurate) << QString()
                              << "Track 3: CRC32 1A2B3C4D, accurately ripped (confidence 12)";
    QTest::newRow("unknown") << int(TrackVerdict::NotInDatabase) << QString()
                             << "Track 3: CRC32 1A2B3C4D, not in the AccurateRip database";
    QTest::newRow("mismatch")
        << int(TrackVerdict::Mismatch) << QString()
        << "Track 3: CRC32 1A2B3C4D, does not match AccurateRip (4 submissions)";
    QTest::newRow("not verified")
        << int(TrackVerdict::NotVerified) << "AccurateRip not reachable: Connection refused"
        << "Track 3: CRC32 1A2B3C4D, not verified (AccurateRip not reachable: Connection refused)";
}

void tst_AccurateRip::verdictLines()
{
    QFETCH(int, kind);
    QFETCH(QString, reason);
    QFETCH(QString, line);
    TrackVerdict v;
    v.kind = TrackVerdict::Kind(kind);
    v.confidence = 12;
    v.submissions = 4;
    QCOMPARE(verdictLine(3, sums(1, 2), v, reason), line);
    QCOMPARE(hex8(0xab), QString("000000AB"));
}

void tst_AccurateRip::summaryLines()
{
    const auto of = [](std::initializer_list<TrackVerdict::Kind> kinds) {
        std::vector<TrackVerdict> verdicts;
        for (TrackVerdict::Kind k : kinds) {
            TrackVerdict v;
            v.kind = k;
            verdicts.push_back(v);
        }
        return verdicts;
    };
    using V = TrackVerdict;
    QCOMPARE(summaryLine(of({V::Accurate, V::Accurate})),
             QString("AccurateRip: 2 of 2 tracks accurately ripped"));
    QCOMPARE(summaryLine(of({V::Accurate, V::Mismatch, V::Accurate})),
             QString("AccurateRip: 2 of 3 tracks accurately ripped, 1 not matching"));
    QCOMPARE(summaryLine(of({V::NotInDatabase, V::NotInDatabase})),
             QString("AccurateRip: the disc is not in the database"));
    QCOMPARE(summaryLine(of({V::NotVerified}), "AccurateRip server answered HTTP 500"),
             QString("AccurateRip: no track verified (AccurateRip server answered HTTP 500)"));
    QCOMPARE(summaryLine(of({V::Accurate, V::NotVerified, V::NotInDatabase})),
             QString("AccurateRip: 1 of 3 tracks accurately ripped, 1 not in the database, "
                     "1 not verified"));
}

void tst_AccurateRip::fetchOverHttp()
{
    const DiscIds ids = discIds(enhancedCd());
    std::vector<TrackSum> tracks(12, TrackSum{9, 0x77});
    const QByteArray file = record(ids, tracks) + record(ids, tracks);
    LoopbackHttpServer server;
    TAccurateRipSettings settings;
    settings.server = server.url("/");
    settings.connectTimeoutMs = 2000;
    settings.timeoutMs = 5000;

    server.route("dBAR-012-0013bd5a", binary(file));
    TAccurateRipOutcome outcome = FetchAccurateRip(ids, settings);
    QCOMPARE(outcome.kind, TAccurateRipOutcome::Found);
    QCOMPARE(outcome.records.size(), size_t(2));
    QCOMPARE(server.requests().size(), 1);
    QCOMPARE(server.requests()[0].target,
             QByteArray("/accuraterip/a/5/d/dBAR-012-0013bd5a-00b8d489-c60af50d.bin"));
    QVERIFY(server.requests()[0].userAgent.startsWith("OrvanelSondrel/"));

    server.reset(); // every request now a 404
    outcome = FetchAccurateRip(ids, settings);
    QCOMPARE(outcome.kind, TAccurateRipOutcome::NotInDatabase);

    server.route("dBAR", LoopbackHttpServer::text(200, "<html><body>Sorry</body></html>"));
    outcome = FetchAccurateRip(ids, settings);
    QCOMPARE(outcome.kind, TAccurateRipOutcome::Failed);
    QCOMPARE(outcome.reason, QString("The AccurateRip server sent a web page, not a database file"));

    server.reset();
    server.route("dBAR", binary(file.left(file.size() - 3)));
    outcome = FetchAccurateRip(ids, settings);
    QCOMPARE(outcome.kind, TAccurateRipOutcome::Failed);
    QCOMPARE(outcome.reason, QString("The AccurateRip file is cut short"));

    server.reset();
    server.route("dBAR", LoopbackHttpServer::text(503, "busy"));
    outcome = FetchAccurateRip(ids, settings);
    QCOMPARE(outcome.kind, TAccurateRipOutcome::Failed);
    QCOMPARE(outcome.reason, QString("AccurateRip server answered HTTP 503"));

    // Nothing listens on port 1.
    settings.server = "http://127.0.0.1:1";
    outcome = FetchAccurateRip(ids, settings);
    QCOMPARE(outcome.kind, TAccurateRipOutcome::Failed);
    QVERIFY2(outcome.reason.startsWith("AccurateRip not reachable: "), qPrintable(outcome.reason));
}

void tst_AccurateRip::lookupNeverBlocks()
{
    const DiscIds ids = discIds(enhancedCd());
    const QByteArray file = record(ids, std::vector<TrackSum>(12, TrackSum{2, 0x5}));
    LoopbackHttpServer server;
    // Half a second for the whole file: the window's thread goes on meanwhile.
    LoopbackHttpServer::Reply slow = binary(file);
    slow.pieceDelayMs = 25;
    slow.pieceBytes = 6;
    server.route("dBAR", slow);
    TAccurateRipSettings settings;
    settings.server = server.url("");

    TAccurateRipLookup lookup;
    QSignalSpy finished(&lookup, &TAccurateRipLookup::Finished);
    lookup.Start(ids, settings);
    QVERIFY(lookup.IsRunning());
    QCOMPARE(finished.count(), 0);
    QVERIFY(finished.wait(10000));
    QVERIFY(!lookup.IsRunning());
    QCOMPARE(lookup.Outcome().kind, TAccurateRipOutcome::Found);
    QCOMPARE(lookup.Outcome().records.size(), size_t(1));

    // A lookup forgotten by a new one, and one whose object goes away, drop
    // their answers.
    lookup.Start(ids, settings);
    settings.server = "http://127.0.0.1:1";
    lookup.Start(ids, settings);
    QVERIFY(finished.wait(10000));
    QCOMPARE(lookup.Outcome().kind, TAccurateRipOutcome::Failed);
    QTest::qWait(800);
    QCOMPARE(finished.count(), 2);

    settings.server = server.url("");
    auto gone = std::make_unique<TAccurateRipLookup>();
    gone->Start(ids, settings);
    gone.reset();
    QTest::qWait(800);
}

QTEST_GUILESS_MAIN(tst_AccurateRip)
#include "tst_accuraterip.moc"
