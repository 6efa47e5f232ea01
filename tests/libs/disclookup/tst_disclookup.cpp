#include "libs/cdrip/cdrip.h"
#include "libs/disclookup/disclookup.h"
#include "libs/disclookup/disctoc.h"
#include "tests/support/disclayouts.h"
#include "tests/support/loopbackhttpserver.h"
#include "tests/support/testsupport.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibrary>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

using namespace TestSupport;
using Reply = LoopbackHttpServer::Reply;
// "category discid" of a "cddb read", and its reply.
using Reads = QList<QPair<QByteArray, QByteArray>>;

Q_DECLARE_METATYPE(LoopbackHttpServer::Reply)

namespace {

constexpr int TimeoutMs = 1000;
constexpr int MaxReplySize = 64 * 1024;
// The time limit plus MusicBrainz's pause between requests and some slack.
constexpr int FailureWithinMs = TimeoutMs + 1000 + 2500;

// The images the tests list as drives, after the machine's own.
enum Image { Audio, DataLast, Enhanced, ImageCount };

struct Result
{
    bool answered = false;
    QString answer;
    QString error;
    qint64 msecs = 0;
};

QByteArray cddbEntry(const QByteArray &category, const QByteArray &id, const QByteArray &lines)
{
    return "210 " + category + ' ' + id
           + " CD database entry follows (until terminating `.')\r\n"
             "# xmcd\r\n#\r\n"
           + lines + ".\r\n";
}

Reply json(int status, const QByteArray &body)
{
    Reply r = LoopbackHttpServer::text(status, body);
    r.headers = {{"Content-Type", "application/json"}};
    return r;
}

// The releases of the disc id: one, with one medium of the audio image's three tracks.
QByteArray oneRelease(const QByteArray &discId)
{
    return R"({"releases":[{"title":"Loopback","date":"1999-09-09","artist-credit":)"
           R"([{"name":"The Sockets","joinphrase":""}],"media":[{"position":1,"discs":[{"id":")"
           + discId
           + R"("}],"tracks":[{"position":1,"title":"Listen"},{"position":2,"title":"Accept"},)"
             R"({"position":3,"title":"Close"}]}]}]})";
}

// The disc id's releases as MusicBrainz gives them with labels, release
// groups, recordings and ISRCs: disc 2 of a box set of several artists,
// and a later single-disc reissue.
QByteArray severalReleases(const QByteArray &discId)
{
    const QByteArray tracks
        = R"([{"id":"rt-1","position":1,"number":"1","title":"Listen","length":4000,)"
          R"("artist-credit":[{"name":"Anna","joinphrase":"","artist":{"id":"ar-anna"}}],)"
          R"("recording":{"id":"rec-1","isrcs":["GBAYE9900001"]}},)"
          R"({"id":"rt-2","position":2,"number":"2","title":"Accept","length":5333,)"
          R"("artist-credit":[{"name":"Bo","joinphrase":" & ","artist":{"id":"ar-bo"}},)"
          R"({"name":"Cy","joinphrase":"","artist":{"id":"ar-cy"}}],)"
          R"("recording":{"id":"rec-2","isrcs":[]}},)"
          R"({"id":"rt-3","position":3,"number":"3","title":"Close","length":6666,)"
          R"("artist-credit":[{"name":"Anna","joinphrase":"","artist":{"id":"ar-anna"}}],)"
          R"("recording":{"id":"rec-3"}}])";
    const QByteArray various = R"("artist-credit":[{"name":"Various Artists","joinphrase":"",)"
                               R"("artist":{"id":"89ad4ac3-39f7-470e-963a-56509c546377"}}])";
    return R"({"releases":[{"id":"rel-reissue","title":"Loopback","status":"Official",)"
           R"("date":"2009-03-02","country":"DE","barcode":"","disambiguation":"reissue",)"
           R"("label-info":[],"release-group":{"id":"rg-1"},)"
           + various + R"(,"media":[{"position":1,"format":"CD","track-count":3,"discs":[{"id":")"
           + discId + R"("}],"tracks":)" + tracks
           + R"(}]},{"id":"rel-box","title":"Loopback Box","status":"Official",)"
             R"("date":"1999-09-09","country":"GB","barcode":"727361379704",)"
             R"("label-info":[{"catalog-number":"ORN 001","label":{"name":"Ørn Records"}}],)"
             R"("release-group":{"id":"rg-box"},)"
           + various
           + R"(,"media":[{"position":1,"format":"CD","track-count":1,"discs":[],"tracks":[]},)"
             R"({"position":2,"format":"CD","track-count":3,"discs":[{"id":")"
           + discId + R"("}],"tracks":)" + tracks
           + R"(},{"position":3,"format":"CD","track-count":1,"discs":[],"tracks":[]}]}]})";
}

} // namespace

class tst_DiscLookup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void cddb_data();
    void cddb();
    void musicBrainz_data();
    void musicBrainz();
    void musicBrainzPausesAfterBusy();
    void bothMerged();
    void severalEntriesToChooseFrom();
    void dataTrackLast();
    void hostileReplies_data();
    void hostileReplies();
    void discLibraryAnswersOffline();
    void partialAnswerNotKept();
    void discLibraryTrouble_data();
    void discLibraryTrouble();
    void drives();
    void ripUndisturbed();
    void noDatabaseSetUp();
    void initialisesCdLibrary();

private:
    // A fresh folder with the settings file (servers of this test's loopback
    // server unless given); returns the disc library's path in it.
    QString folder(const QString &cddbServer = QString(),
                   const QString &musicBrainzServer = QString());
    Result lookUp(const QString &libraryPath, int image);
    QString closedServer() const;
    QByteArray rip(bool lookUpBetween);

    QTemporaryDir m_dir;
    std::unique_ptr<LoopbackHttpServer> m_http;
    QLibrary m_library;
    decltype(&Getfreedbinfo) m_getInfo = nullptr;
    decltype(&Getfreedberror) m_getError = nullptr;
    int m_firstImage = 0;
    int m_folders = 0;
    std::vector<DiscLookup::DiscToc> m_tocs;
    QString m_cddbId; // of the audio image
    QString m_mbId;   // of the audio image
    QString m_query;  // the audio image's "cddb query" command
    QString m_hello;
};

void tst_DiscLookup::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_http = std::make_unique<LoopbackHttpServer>();

    auto track = [](uint32_t frames, bool data = false, uint32_t pregap = 0) {
        DiscGen::TrackSpec t;
        t.frames = frames;
        t.data = data;
        t.pregapFrames = pregap;
        return t;
    };
    DiscGen::DiscSpec plans[ImageCount];
    plans[Audio].tracks = {track(300), track(400), track(500)};
    plans[DataLast].tracks = {track(300), track(200, true)};
    // The data track's pregap stands for the gap between the two sessions.
    plans[Enhanced].tracks = {track(300), track(300), track(100, true, 11400)};
    QStringList cues;
    for (int i = 0; i < ImageCount; ++i) {
        const DiscGen::WrittenDisc disc = makeDisc(m_dir.path(),
                                                   plans[i],
                                                   QStringLiteral("disc%1").arg(i));
        cues << QString::fromStdString(disc.cuePath);
        DiscLookup::DiscToc toc;
        for (size_t t = 0; t < disc.layout.tracks.size(); ++t)
            toc.tracks.push_back(
                {int(t) + 1, disc.layout.tracks[t].start + 150, plans[i].tracks[t].data});
        toc.leadOutFrame = disc.layout.totalFrames + 150;
        m_tocs.push_back(toc);
    }
    const QString ini = m_dir.filePath(QStringLiteral("cdr.ini"));
    QVERIFY(DiscLayouts::writeText(ini, DiscLayouts::imagesSection(cues)));
    CR_Init(QFile::encodeName(ini).constData());
    m_firstImage = CR_GetNumCDROM() - ImageCount;

    m_library.setFileName(QStringLiteral("libdisclookup.so"));
    QVERIFY2(m_library.load(), qPrintable(m_library.errorString()));
    m_getInfo = reinterpret_cast<decltype(m_getInfo)>(m_library.resolve("Getfreedbinfo"));
    m_getError = reinterpret_cast<decltype(m_getError)>(m_library.resolve("Getfreedberror"));
    QVERIFY(m_getInfo && m_getError);

    const DiscLookup::DiscToc &audio = m_tocs[Audio];
    QCOMPARE(audio.key(), std::string("3 150 450 850 1350"));
    m_cddbId = QString::fromStdString(DiscLookup::cddbId(audio));
    m_mbId = QString::fromStdString(DiscLookup::musicBrainzId(DiscLookup::audioSession(audio)));
    m_query = QStringLiteral("cmd=cddb+query+%1+3+150+450+850+18").arg(m_cddbId);
    m_hello = QStringLiteral("&hello=tester+example.org+OrvanelSondrel+1.5&proto=6");
}

void tst_DiscLookup::init()
{
    m_http->reset();
}

void tst_DiscLookup::cleanupTestCase()
{
    CR_DeInit();
}

QString tst_DiscLookup::folder(const QString &cddbServer, const QString &musicBrainzServer)
{
    const QString path = m_dir.filePath(QStringLiteral("lookup%1").arg(++m_folders));
    QDir().mkpath(path);
    const QString cddb = cddbServer.isNull() ? m_http->url("/~cddb/cddb.cgi") : cddbServer;
    const QString mb = musicBrainzServer.isNull() ? m_http->url("/ws/2") : musicBrainzServer;
    const QByteArray settings = "[CDDB]\nServer=" + cddb.toUtf8()
                                + "\nHello=tester example.org\n"
                                  "[MusicBrainz]\nServer="
                                + mb.toUtf8()
                                + "\nContact=tests@example.org\n"
                                  "[Network]\nConnectTimeout=1000\nTimeout="
                                + QByteArray::number(TimeoutMs)
                                + "\nMaxReplySize=" + QByteArray::number(MaxReplySize) + '\n';
    if (!DiscLayouts::writeText(path + "/disclookup.ini", settings))
        qFatal("cannot write the settings");
    return path + QStringLiteral("/CDLibrary.db");
}

Result tst_DiscLookup::lookUp(const QString &libraryPath, int image)
{
    QElapsedTimer clock;
    clock.start();
    const char *answer = m_getInfo(QFile::encodeName(libraryPath).constData(), m_firstImage + image);
    Result r;
    r.msecs = clock.elapsed();
    r.answered = answer != nullptr;
    r.answer = QString::fromUtf8(answer);
    r.error = QString::fromUtf8(m_getError());
    return r;
}

// A port on which nothing listens any more.
QString tst_DiscLookup::closedServer() const
{
    QTcpServer s;
    if (!s.listen(QHostAddress::LocalHost))
        qFatal("cannot listen");
    const quint16 port = s.serverPort();
    s.close();
    return QStringLiteral("http://127.0.0.1:%1/x").arg(port);
}

void tst_DiscLookup::cddb_data()
{
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<Reads>("reads");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("error");

    const QByteArray id = m_cddbId.toLatin1();
    const QByteArray titles = "TTITLE0=Listen\r\nTTITLE1=Accept\r\nTTITLE2=Close\r\n";
    const QString answer = "Loopback\nThe Sockets\n17 - Rock\n1999\nnil\nListen\nAccept\nClose\n";

    QTest::newRow("200 exact") << "200 rock " + id + " The Sockets / Loopback\r\n"
                               << Reads{{"rock " + id,
                                         cddbEntry("rock",
                                                   id,
                                                   "DTITLE=The Sockets / Loopback\r\nDYEAR=1999\r\n"
                                                       + titles)}}
                               << answer << QString();
    QTest::newRow("210 several exact: the earliest year")
        << "210 Found exact matches\r\nrock " + id + " The Sockets / Loopback (2009)\r\nmisc " + id
               + " The Sockets / Loopback\r\n.\r\n"
        << Reads{{"rock " + id,
                  cddbEntry("rock",
                            id,
                            "DTITLE=The Sockets / Loopback (2009)\r\nDYEAR=2009\r\n" + titles)},
                 {"misc " + id,
                  cddbEntry("misc",
                            id,
                            "DTITLE=The Sockets / Loopback\r\nDYEAR=1999\r\nDGENRE=Rock\r\n"
                                + titles)}}
        << answer << QString();
    QTest::newRow("211 close match with a title per track")
        << QByteArray("211 Found inexact matches\r\nrock 0badf00d The Sockets / Loopback\r\n.\r\n")
        << Reads{{"rock 0badf00d",
                  cddbEntry("rock",
                            "0badf00d",
                            "DTITLE=The Sockets / Loopback\r\nDYEAR=1999\r\n" + titles)}}
        << answer << QString();
    QTest::newRow("211 close match of another track count")
        << QByteArray("211 Found inexact matches\r\nrock 0badf00d Other / Disc\r\n.\r\n")
        << Reads{{"rock 0badf00d",
                  cddbEntry("rock", "0badf00d", "DTITLE=Other / Disc\r\nTTITLE0=Only\r\n")}}
        << QString() << "No entry for this disc";
    QTest::newRow("202 no match") << QByteArray("202 No match found\r\n") << Reads{} << QString()
                                  << "No entry for this disc";
    // How an entry's lines are read (continued titles, no slash, Latin-1)
    // is tst_discdbreplies' cddbEntry.
}

void tst_DiscLookup::cddb()
{
    QFETCH(QByteArray, query);
    QFETCH(Reads, reads);
    QFETCH(QString, answer);
    QFETCH(QString, error);
    m_http->route("cmd=cddb+query", LoopbackHttpServer::text(200, query));
    for (const auto &read : reads)
        m_http->route("cmd=cddb+read+" + QByteArray(read.first).replace(' ', '+'),
                      LoopbackHttpServer::text(200, read.second));

    const Result r = lookUp(folder(QString(), QStringLiteral("")), Audio);
    QCOMPARE(r.answer, answer);
    QCOMPARE(r.answered, !answer.isEmpty());
    QCOMPARE(r.error, error);
    const QList<LoopbackHttpServer::Request> requests = m_http->requests();
    QVERIFY(!requests.isEmpty());
    QCOMPARE(QString::fromLatin1(requests[0].target), "/~cddb/cddb.cgi?" + m_query + m_hello);
    QCOMPARE(requests.size(), 1 + int(reads.size()));
}

void tst_DiscLookup::musicBrainz_data()
{
    QTest::addColumn<QList<Reply>>("replies");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("error");

    const QByteArray id = m_mbId.toLatin1();
    const QString answer = "Loopback\nThe Sockets\nnil\n1999\nnil\nListen\nAccept\nClose\n";
    QTest::newRow("one release") << QList<Reply>{json(200, oneRelease(id))} << answer << QString();
    // Which of several releases is taken is tst_discdbreplies' musicBrainzChoice.
    QTest::newRow("404 unknown disc") << QList<Reply>{json(404, R"({"error":"Not Found"})")}
                                      << QString() << "No entry for this disc";
    Reply busy = json(503, R"({"error":"slow down"})");
    busy.headers.append(qMakePair(QByteArray("Retry-After"), QByteArray("60")));
    QTest::newRow("503 asking for longer than the time limit")
        << QList<Reply>{busy} << QString()
        << "Disc database not reachable: MusicBrainz: busy (503), asks to wait 60 s";
    QTest::newRow("500") << QList<Reply>{json(500, "{}")} << QString()
                         << "Disc database not reachable: MusicBrainz: HTTP status 500";
}

void tst_DiscLookup::musicBrainz()
{
    QFETCH(QList<Reply>, replies);
    QFETCH(QString, answer);
    QFETCH(QString, error);
    m_http->route("/ws/2/discid/", replies);

    const Result r = lookUp(folder(QStringLiteral(""), QString()), Audio);
    QCOMPARE(r.answer, answer);
    QCOMPARE(r.error, error);
    QVERIFY(r.msecs < FailureWithinMs);
    const QList<LoopbackHttpServer::Request> requests = m_http->requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(QString::fromLatin1(requests[0].target),
             "/ws/2/discid/" + m_mbId
                 + "?toc=1+3+1350+150+450+850&cdstubs=no"
                   "&inc=artist-credits+labels+recordings+release-groups+isrcs&fmt=json");
    QCOMPARE(requests[0].userAgent, QByteArray("OrvanelSondrel/1.5 ( tests@example.org )"));
}

void tst_DiscLookup::musicBrainzPausesAfterBusy()
{
    Reply busy = json(503, R"({"error":"slow down"})");
    busy.headers.append(qMakePair(QByteArray("Retry-After"), QByteArray("1")));
    m_http->route("/ws/2/discid/", {busy, json(200, oneRelease(m_mbId.toLatin1()))});
    // Two lookups in a row: every request a second or more after the one before.
    const QString library = folder(QStringLiteral(""), QString());
    QCOMPARE(lookUp(library, Audio).answer.section('\n', 0, 0), QStringLiteral("Loopback"));
    QFile::remove(library);
    QVERIFY(lookUp(library, Audio).answered);

    const QList<LoopbackHttpServer::Request> requests = m_http->requests();
    QCOMPARE(requests.size(), 3);
    QVERIFY2(requests[1].msecs - requests[0].msecs >= 990, "Retry-After not honoured");
    QVERIFY2(requests[2].msecs - requests[1].msecs >= 990, "two requests within a second");
}

void tst_DiscLookup::bothMerged()
{
    const QByteArray id = m_cddbId.toLatin1();
    m_http->route("cmd=cddb+query", LoopbackHttpServer::text(200, "200 rock " + id + " X / Y\r\n"));
    m_http
        ->route("cmd=cddb+read",
                LoopbackHttpServer::text(200,
                                         cddbEntry("rock",
                                                   id,
                                                   "DTITLE=X / "
                                                   "Y\r\nDYEAR=1998\r\nDGENRE=Trip-Hop\r\nTTITLE0="
                                                   "a\r\nTTITLE1=b\r\nTTITLE2=c\r\n")));
    m_http->route("/ws/2/discid/", json(200, oneRelease(m_mbId.toLatin1())));
    const Result r = lookUp(folder(), Audio);
    QCOMPARE(r.answer,
             QStringLiteral(
                 "Loopback\nThe Sockets\n27 - Trip-Hop\n1999\nnil\nListen\nAccept\nClose\n"));
    QCOMPARE(r.error, QString());
}

void tst_DiscLookup::severalEntriesToChooseFrom()
{
    const QByteArray id = m_cddbId.toLatin1();
    m_http->route("cmd=cddb+query",
                  LoopbackHttpServer::text(200,
                                           "210 Found exact matches\r\nmisc " + id
                                               + " Various / Loopback Box\r\nrock " + id
                                               + " The Sockets / Loopback\r\n.\r\n"));
    m_http
        ->route("cmd=cddb+read+misc",
                LoopbackHttpServer::text(200,
                                         cddbEntry("misc",
                                                   id,
                                                   "DTITLE=Various / Loopback Box\r\nDYEAR=1999\r\n"
                                                   "TTITLE0=Anna / Listen\r\n"
                                                   "TTITLE1=Bo & Cy / Accept\r\n"
                                                   "TTITLE2=Anna / Close\r\n")));
    m_http
        ->route("cmd=cddb+read+rock",
                LoopbackHttpServer::text(200,
                                         cddbEntry("rock",
                                                   id,
                                                   "DTITLE=The Sockets / Loopback\r\nDYEAR=2009\r\n"
                                                   "TTITLE0=Listen\r\nTTITLE1=Accept\r\n"
                                                   "TTITLE2=Close\r\n")));
    m_http->route("/ws/2/discid/", json(200, severalReleases(m_mbId.toLatin1())));
    auto candidates = reinterpret_cast<decltype(&Getfreedbcandidates)>(
        m_library.resolve("Getfreedbcandidates"));
    auto setChoice = reinterpret_cast<decltype(&Setfreedbchoice)>(
        m_library.resolve("Setfreedbchoice"));
    QVERIFY(candidates && setChoice);

    const QString library = folder();
    Result r = lookUp(library, Audio);
    // Today's answer: the earliest release, the box set's disc.
    QCOMPARE(r.answer,
             "Loopback Box\nVarious Artists\nnil\n1999\nnil\nAnna / Listen\nBo & Cy / "
             "Accept\nAnna / Close\n");
    QJsonObject list = QJsonDocument::fromJson(candidates()).object();
    QCOMPARE(list["toc"].toString(), QString::fromStdString(m_tocs[Audio].key()));
    QCOMPARE(list["preselected"].toInt(), 0);
    QVERIFY(!list["remembered"].toBool());
    QJsonArray entries = list["candidates"].toArray();
    const auto keys = [](const QJsonArray &a) {
        QStringList k;
        for (const QJsonValue v : a)
            k << v.toObject()["key"].toString();
        return k;
    };
    QCOMPARE(keys(entries),
             QStringList({"musicbrainz rel-box 2",
                          "musicbrainz rel-reissue 1",
                          "cddb misc " + m_cddbId,
                          "cddb rock " + m_cddbId}));
    const QJsonObject box = entries[0].toObject();
    const std::pair<const char *, QJsonValue> fields[] = {
        {"source", "MusicBrainz"},
        {"albumArtist", "Various Artists"},
        {"country", "GB"},
        {"label", "Ørn Records"},
        {"catalogNumber", "ORN 001"},
        {"barcode", "727361379704"},
        {"media", "CD"},
        {"discNumber", 2},
        {"discTotal", 3},
        {"trackCount", 3},
        {"releaseId", "rel-box"},
        {"releaseGroupId", "rg-box"},
        {"discId", m_mbId},
        {"date", "1999-09-09"},
    };
    for (const auto &[name, value] : fields)
        QVERIFY2(box[name] == value, name);
    QCOMPARE(box["albumArtistIds"].toArray().first().toString(),
             "89ad4ac3-39f7-470e-963a-56509c546377");
    const QJsonObject second = box["tracks"].toArray()[1].toObject();
    QCOMPARE(second["title"].toString(), "Accept");
    QCOMPARE(second["artist"].toString(), "Bo & Cy");
    QCOMPARE(second["recordingId"].toString(), "rec-2");
    QCOMPARE(second["releaseTrackId"].toString(), "rt-2");
    QCOMPARE(second["artistIds"].toArray(), QJsonArray({"ar-bo", "ar-cy"}));
    QCOMPARE(box["tracks"].toArray()[0].toObject()["isrc"].toString(), "GBAYE9900001");
    // CDDB's compilation: each track's artist from its title.
    const QJsonObject misc = entries[2].toObject();
    QCOMPARE(misc["albumArtist"].toString(), "Various Artists");
    QCOMPARE(misc["tracks"].toArray()[1].toObject()["artist"].toString(), "Bo & Cy");
    QCOMPARE(misc["tracks"].toArray()[1].toObject()["title"].toString(), "Accept");
    QCOMPARE(entries[3].toObject()["tracks"].toArray()[1].toObject()["artist"].toString(),
             "The Sockets");

    // The reissue, chosen, answers next time from the disc library, first in the list.
    QCOMPARE(QString::fromUtf8(setChoice(QFile::encodeName(library).constData(),
                                         m_tocs[Audio].key().c_str(),
                                         "musicbrainz rel-reissue 1")),
             QString());
    m_http->reset();
    r = lookUp(library, Audio);
    QCOMPARE(r.answer,
             "Loopback\nVarious Artists\nnil\n2009\nnil\nAnna / Listen\nBo & Cy / "
             "Accept\nAnna / Close\n");
    QVERIFY(m_http->requests().isEmpty());
    list = QJsonDocument::fromJson(candidates()).object();
    QCOMPARE(list["preselected"].toInt(), 0);
    QVERIFY(list["remembered"].toBool());
    QCOMPARE(keys(list["candidates"].toArray()).first(), "musicbrainz rel-reissue 1");
    QCOMPARE(list["candidates"].toArray().size(), 4);
    // A disc the library does not hold keeps no choice.
    QCOMPARE(QString::fromUtf8(setChoice(QFile::encodeName(library).constData(), "1 150 999", "x")),
             "The disc is not in the disc library");
}

void tst_DiscLookup::dataTrackLast()
{
    // MusicBrainz names the audio session; the data track keeps CDDB's title.
    const DiscLookup::DiscToc &toc = m_tocs[Enhanced];
    const QByteArray id = QByteArray::fromStdString(DiscLookup::cddbId(toc));
    const QByteArray mbId = QByteArray::fromStdString(
        DiscLookup::musicBrainzId(DiscLookup::audioSession(toc)));
    m_http->route("cmd=cddb+query", LoopbackHttpServer::text(200, "200 data " + id + " X / Y\r\n"));
    m_http->route("cmd=cddb+read",
                  LoopbackHttpServer::text(
                      200,
                      cddbEntry("data",
                                id,
                                "DTITLE=X / Y\r\nTTITLE0=a\r\nTTITLE1=b\r\nTTITLE2=Extras\r\n")));
    m_http->route("/ws/2/discid/",
                  json(200,
                       R"({"releases":[{"title":"Enhanced","media":[{"discs":[{"id":")" + mbId
                           + R"("}],"tracks":[{"position":1,"title":"One"},)"
                             R"({"position":2,"title":"Two"}]}]}]})"));
    Result r = lookUp(folder(), Enhanced);
    QCOMPARE(r.answer, QStringLiteral("Enhanced\nnil\nnil\nnil\nnil\nOne\nTwo\nExtras\n"));
    QList<LoopbackHttpServer::Request> requests = m_http->requests();
    QCOMPARE(requests.size(), 3);
    QVERIFY(requests[0].target.contains("?toc=1+2+750+150+450&"));
    QVERIFY(requests[1].target.contains("cmd=cddb+query+" + id + "+3+150+450+12150+163&"));

    // Too short a gap for a second session: CDDB alone is asked.
    m_http->reset();
    const DiscLookup::DiscToc &shortToc = m_tocs[DataLast];
    const QByteArray shortId = QByteArray::fromStdString(DiscLookup::cddbId(shortToc));
    m_http->route("cmd=cddb+query", LoopbackHttpServer::text(200, "202 No match\r\n"));
    r = lookUp(folder(), DataLast);
    QCOMPARE(r.error, QStringLiteral("No entry for this disc"));
    requests = m_http->requests();
    QCOMPARE(requests.size(), 1);
    QVERIFY(requests[0].target.contains("cmd=cddb+query+" + shortId + "+2+150+450+"));
}

void tst_DiscLookup::hostileReplies_data()
{
    QTest::addColumn<bool>("musicBrainz"); // else CDDB
    QTest::addColumn<Reply>("reply");
    QTest::addColumn<QString>("error"); // its start

    const QByteArray id = m_cddbId.toLatin1();
    const QByteArray titles = "DTITLE=A / B\r\nTTITLE0=a\r\nTTITLE1=b\r\nTTITLE2=c\r\n";
    const QString oversized = QStringLiteral("reply larger than %1 bytes").arg(MaxReplySize);
    const QString timedOut = QStringLiteral("no complete reply within %1 ms").arg(TimeoutMs);
    Reply slow = LoopbackHttpServer::text(200, cddbEntry("rock", id, titles));
    slow.pieceDelayMs = 200;
    slow.pieceBytes = 4;
    Reply endless
        = LoopbackHttpServer::text(200, cddbEntry("rock", id, titles).replace("\r\n.\r\n", "\r\n"));
    endless.endless = true;
    endless.pieceDelayMs = 100;
    Reply huge = LoopbackHttpServer::text(200,
                                          cddbEntry("rock",
                                                    id,
                                                    titles + QByteArray(MaxReplySize, '#')));
    Reply chunkedHuge = huge;
    chunkedHuge.endless = true; // no Content-Length to refuse it early
    chunkedHuge.pieceDelayMs = 1;
    chunkedHuge.pieceBytes = 8192;

    QTest::newRow("CDDB oversized") << false << huge << "CDDB: " + oversized;
    QTest::newRow("CDDB oversized without length") << false << chunkedHuge << "CDDB: " + oversized;
    QTest::newRow("CDDB without terminating line")
        << false
        << LoopbackHttpServer::text(200, cddbEntry("rock", id, titles).replace("\r\n.\r\n", "\r\n"))
        << "CDDB: malformed reply: the list does not end with a \".\" line";
    QTest::newRow("CDDB HTTP 500")
        << false << LoopbackHttpServer::text(500, "oops") << "CDDB: HTTP status 500";
    QTest::newRow("CDDB slow") << false << slow << "CDDB: " + timedOut;
    QTest::newRow("CDDB never ending") << false << endless << "CDDB: " + timedOut;

    const QByteArray release = oneRelease(m_mbId.toLatin1());
    Reply mbSlow = json(200, release);
    mbSlow.pieceDelayMs = 200;
    mbSlow.pieceBytes = 8;
    Reply mbEndless = json(200, release);
    mbEndless.endless = true;
    mbEndless.pieceDelayMs = 100;
    QTest::newRow("MusicBrainz oversized")
        << true << json(200, release + QByteArray(MaxReplySize, ' '))
        << "MusicBrainz: " + oversized;
    QTest::newRow("MusicBrainz malformed")
        << true << json(200, release.left(release.size() - 3)) << "MusicBrainz: malformed reply: ";
    QTest::newRow("MusicBrainz slow") << true << mbSlow << "MusicBrainz: " + timedOut;
    QTest::newRow("MusicBrainz never ending") << true << mbEndless << "MusicBrainz: " + timedOut;
}

void tst_DiscLookup::hostileReplies()
{
    QFETCH(bool, musicBrainz);
    QFETCH(Reply, reply);
    QFETCH(QString, error);
    QString library;
    if (musicBrainz) {
        m_http->route("/ws/2/discid/", reply);
        library = folder(QStringLiteral(""), QString());
    } else {
        m_http->route("cmd=cddb+query",
                      LoopbackHttpServer::text(200,
                                               "200 rock " + m_cddbId.toLatin1() + " A / B\r\n"));
        m_http->route("cmd=cddb+read", reply);
        library = folder(QString(), QStringLiteral(""));
    }
    const Result r = lookUp(library, Audio);
    QVERIFY(!r.answered);
    QVERIFY2(r.error.startsWith("Disc database not reachable: " + error), qPrintable(r.error));
    QVERIFY2(r.msecs < FailureWithinMs, qPrintable(QString::number(r.msecs)));

    // Nothing of it was kept.
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(library).constData(),
                             &db,
                             SQLITE_OPEN_READONLY,
                             nullptr),
             SQLITE_OK);
    sqlite3_stmt *count = nullptr;
    QCOMPARE(
        sqlite3_prepare_v2(db,
                           "SELECT (SELECT count(*) FROM discs) + (SELECT count(*) FROM tracks)",
                           -1,
                           &count,
                           nullptr),
        SQLITE_OK);
    QCOMPARE(sqlite3_step(count), SQLITE_ROW);
    const int rows = sqlite3_column_int(count, 0);
    sqlite3_finalize(count);
    sqlite3_close(db);
    QCOMPARE(rows, 0);
}

void tst_DiscLookup::discLibraryAnswersOffline()
{
    m_http->route("/ws/2/discid/", json(200, oneRelease(m_mbId.toLatin1())));
    m_http->route("cmd=cddb+query", LoopbackHttpServer::text(200, "202 No match\r\n"));
    const QString library = folder();
    const Result first = lookUp(library, Audio);
    QVERIFY(first.answered);
    QCOMPARE(first.error, QString());

    // Both servers gone: the disc library answers alone.
    const QString down = closedServer();
    const QString offline = folder(down, down);
    QVERIFY(QFile::copy(library, offline));
    m_http->reset();
    const Result again = lookUp(offline, Audio);
    QCOMPARE(again.answer, first.answer);
    QCOMPARE(again.error, QString());
    QVERIFY(m_http->requests().isEmpty());
    // Another disc is not in it.
    const Result other = lookUp(offline, DataLast);
    QVERIFY(!other.answered);
    QVERIFY2(other.error.startsWith("Disc database not reachable: CDDB: "), qPrintable(other.error));
}

void tst_DiscLookup::partialAnswerNotKept()
{
    // CDDB answers while MusicBrainz fails: the answer is given, not kept.
    const QByteArray id = m_cddbId.toLatin1();
    m_http->route("cmd=cddb+query", LoopbackHttpServer::text(200, "200 rock " + id + " A / B\r\n"));
    m_http->route("cmd=cddb+read",
                  LoopbackHttpServer::text(
                      200,
                      cddbEntry("rock",
                                id,
                                "DTITLE=A / B\r\nTTITLE0=a\r\nTTITLE1=b\r\nTTITLE2=c\r\n")));
    const QString library = folder(QString(), closedServer());
    const Result r = lookUp(library, Audio);
    QCOMPARE(r.answer, QStringLiteral("B\nA\n17 - Rock\nnil\nnil\na\nb\nc\n"));
    m_http->reset();
    const Result again = lookUp(library, Audio);
    QVERIFY(!again.answered);
    QCOMPARE(m_http->requests().size(), 1);
}

void tst_DiscLookup::discLibraryTrouble_data()
{
    QTest::addColumn<QByteArray>("content"); // of the library file before the lookup
    QTest::addColumn<QString>("warning");

    QTest::newRow("not a database")
        << QByteArray(4096, 'x') << "The disc library cannot be used: file is not a database";
    QTest::newRow("newer schema")
        << QByteArray("PRAGMA user_version = 99;")
        << "The disc library cannot be used: the disc library was written by a newer "
           "version of the program";
}

void tst_DiscLookup::discLibraryTrouble()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, warning);
    const QString library = folder(QString(), QStringLiteral(""));
    if (content.startsWith("PRAGMA")) {
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(library).constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, content.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    } else {
        QVERIFY(DiscLayouts::writeText(library, content));
    }
    const QByteArray before = readFile(library);
    m_http->route("cmd=cddb+query",
                  LoopbackHttpServer::text(200, "200 rock " + m_cddbId.toLatin1() + " A / B\r\n"));
    m_http->route("cmd=cddb+read",
                  LoopbackHttpServer::text(
                      200,
                      cddbEntry("rock",
                                m_cddbId.toLatin1(),
                                "DTITLE=A / B\r\nTTITLE0=a\r\nTTITLE1=b\r\nTTITLE2=c\r\n")));
    const Result r = lookUp(library, Audio);
    QVERIFY(r.answered);
    QCOMPARE(r.error, warning);
    QCOMPARE(readFile(library), before);
}

void tst_DiscLookup::drives()
{
    const QString library = folder();
    Result r = lookUp(library, 99);
    QVERIFY(!r.answered);
    QCOMPARE(r.error, QStringLiteral("There is no drive %1").arg(m_firstImage + 99));

    // The drive the program had selected stays selected, its table read.
    QCOMPARE(CR_SetActiveCDROM(m_firstImage + DataLast), int32_t(CR_OK));
    QCOMPARE(CR_ReadToc(), int32_t(CR_OK));
    m_http->route("cmd=cddb+query", LoopbackHttpServer::text(200, "202 No match\r\n"));
    m_http->route("/ws/2/discid/", json(404, "{}"));
    r = lookUp(library, Audio);
    QCOMPARE(r.error, QStringLiteral("No entry for this disc"));
    QCOMPARE(CR_GetActiveCDROM(), int32_t(m_firstImage + DataLast));
    QCOMPARE(CR_GetNumTocEntries(), 2);
}

// Reads the audio image's first 1200 sectors through the ripper, with a
// lookup of another drive after the first chunk when `lookUpBetween`.
QByteArray tst_DiscLookup::rip(bool lookUpBetween)
{
    if (CR_SetActiveCDROM(m_firstImage + Audio) != CR_OK)
        return "no drive";
    int32_t size = 10 * 2352;
    if (CR_OpenRipper(&size, 0, 1200) != CR_OK)
        return "open failed";
    QByteArray out;
    QByteArray chunk(size, '\0');
    int32_t abort = 0;
    for (int32_t n = -1; n != 0;) {
        if (CR_RipChunk(reinterpret_cast<uint8_t *>(chunk.data()), &n, &abort) != CR_OK)
            return "read failed";
        out.append(chunk.constData(), n);
        if (lookUpBetween && out.size() == size) {
            m_http->route("cmd=cddb+query", LoopbackHttpServer::text(200, "202 No match\r\n"));
            if (lookUp(folder(QString(), QStringLiteral("")), DataLast).error
                != "No entry for this disc")
                return "lookup failed";
        }
    }
    CR_CloseRipper();
    return out;
}

void tst_DiscLookup::ripUndisturbed()
{
    const QByteArray alone = rip(false);
    QCOMPARE(alone.size(), 1200 * 2352);
    QVERIFY(rip(true) == alone);
    QCOMPARE(CR_GetActiveCDROM(), int32_t(m_firstImage + Audio));
}

void tst_DiscLookup::noDatabaseSetUp()
{
    const Result r = lookUp(folder(QStringLiteral(""), QStringLiteral("")), Audio);
    QVERIFY(!r.answered);
    QCOMPARE(r.error, QStringLiteral("No disc database is set up"));
}

void tst_DiscLookup::initialisesCdLibrary()
{
    // Nothing in the process has initialised the CD library: the lookup does,
    // with the cdr.ini beside the disc library.
    CR_DeInit();
    QCOMPARE(CR_GetNumCDROM(), 0);
    const QString library = folder();
    QVERIFY(QFile::copy(m_dir.filePath("cdr.ini"), QFileInfo(library).path() + "/cdr.ini"));
    m_http->route("cmd=cddb+query", LoopbackHttpServer::text(200, "202 No match\r\n"));
    m_http->route("/ws/2/discid/", json(404, "{}"));
    const Result r = lookUp(library, Audio);
    QCOMPARE(r.error, QStringLiteral("No entry for this disc"));
    QCOMPARE(CR_GetNumCDROM(), m_firstImage + ImageCount);
}

QTEST_GUILESS_MAIN(tst_DiscLookup)
#include "tst_disclookup.moc"
