#include "libs/disclookup/answer.h"
#include "libs/disclookup/cddbparser.h"
#include "libs/disclookup/lookuperror.h"
#include "libs/disclookup/musicbrainzparser.h"
#include "libs/genres/genres.h"

#include <QtTest>

using namespace DiscLookup;

Q_DECLARE_METATYPE(DiscLookup::LookupError::Kind)
Q_DECLARE_METATYPE(DiscLookup::DiscInfo)
Q_DECLARE_METATYPE(DiscLookup::DiscToc)

namespace {

enum Parser { CddbQuery, CddbRead, MusicBrainzReply };

std::string bytes(const QByteArray &a)
{
    return a.toStdString();
}

QStringList qt(const std::vector<std::string> &list)
{
    QStringList out;
    for (const std::string &s : list)
        out << QString::fromStdString(s);
    return out;
}

DiscToc audioToc(int tracks, bool dataLast = false)
{
    DiscToc toc;
    for (int i = 0; i < tracks; ++i)
        toc.tracks.push_back({i + 1, uint32_t(150 + i * 20000), dataLast && i == tracks - 1});
    toc.leadOutFrame = uint32_t(150 + tracks * 20000);
    return toc;
}

DiscInfo info(const char *album,
              const char *artist,
              const char *year,
              const char *genre,
              std::vector<std::string> titles)
{
    return DiscInfo{album, artist, genre, year, std::move(titles)};
}

// A MusicBrainz release with one medium.
QByteArray release(const QByteArray &title,
                   const QByteArray &date,
                   const QByteArray &discId,
                   const QList<QByteArray> &tracks)
{
    QByteArray list;
    for (int i = 0; i < tracks.size(); ++i) {
        list += (i ? "," : "") + QByteArray(R"({"position":)") + QByteArray::number(i + 1)
                + R"(,"title":")" + tracks[i] + R"("})";
    }
    return R"({"title":")" + title + R"(","date":")" + date
           + R"(","artist-credit":[{"name":"Band","joinphrase":""}],"media":[{"position":1,"discs":[{"id":")"
           + discId + R"("}],"tracks":[)" + list + "]}]}";
}

QByteArray releases(const QList<QByteArray> &list)
{
    return R"({"releases":[)" + list.join(',') + "]}";
}

} // namespace

Q_DECLARE_METATYPE(Parser)

class tst_DiscDbReplies : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cddbQuery_data();
    void cddbQuery();
    void refusedReplies_data();
    void refusedReplies();
    void cddbEntry_data();
    void cddbEntry();
    void musicBrainzChoice_data();
    void musicBrainzChoice();
    void musicBrainzCredits();
    void merged_data();
    void merged();
    void answerText_data();
    void answerText();
    void everyGenreFindsItself();
};

void tst_DiscDbReplies::cddbQuery_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("exact");
    QTest::addColumn<QStringList>("matches"); // "category discid title"

    // 200 and 210 replies, and the entries read for them, are tst_disclookup's cddb rows.
    QTest::newRow("211 close, LF only")
        << QByteArray("211 Found inexact matches, list follows (until terminating `.')\n"
                      "jazz 0a0b0c03 Someone / Something\n.\n")
        << false << QStringList{"jazz 0a0b0c03 Someone / Something"};
    QTest::newRow("Latin-1 title") << QByteArray("200 rock 01020304 Bj\xf6rk / Post\r\n") << true
                                   << QStringList{"rock 01020304 Björk / Post"};
}

void tst_DiscDbReplies::cddbQuery()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, exact);
    QFETCH(QStringList, matches);
    const Cddb::QueryResult r = Cddb::parseQuery(bytes(body));
    QCOMPARE(r.exact, exact);
    QStringList got;
    for (const Cddb::Match &m : r.matches)
        got << QString::fromStdString(m.category + ' ' + m.discId + ' ' + m.title);
    QCOMPARE(got, matches);
}

void tst_DiscDbReplies::refusedReplies_data()
{
    QTest::addColumn<Parser>("parser");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<LookupError::Kind>("kind");

    QTest::newRow("202 no match") << CddbQuery << QByteArray("202 No match found\r\n")
                                  << LookupError::NoEntry;
    QTest::newRow("403 corrupt") << CddbQuery << QByteArray("403 Database entry is corrupt\r\n")
                                 << LookupError::Failed;
    QTest::newRow("409 no handshake")
        << CddbQuery << QByteArray("409 No handshake\r\n") << LookupError::Failed;
    QTest::newRow("500 bad command")
        << CddbQuery << QByteArray("500 Command syntax error\r\n") << LookupError::Failed;
    QTest::newRow("530 server error")
        << CddbQuery << QByteArray("530 Server error\r\n") << LookupError::Failed;
    QTest::newRow("list without .")
        << CddbQuery << QByteArray("210 exact\r\nrock 920ef00b A / B\r\n") << LookupError::Failed;
    QTest::newRow("empty list") << CddbQuery << QByteArray("211 close\r\n.\r\n")
                                << LookupError::Failed;
    QTest::newRow("empty body") << CddbQuery << QByteArray() << LookupError::Failed;
    QTest::newRow("no status") << CddbQuery << QByteArray("<html>gateway</html>\r\n")
                               << LookupError::Failed;
    QTest::newRow("match without disc id")
        << CddbQuery << QByteArray("200 rock\r\n") << LookupError::Failed;
    QTest::newRow("disc id with a path in it")
        << CddbQuery << QByteArray("200 rock ../../etc A / B\r\n") << LookupError::Failed;
    QTest::newRow("401 no such entry")
        << CddbRead << QByteArray("401 rock 920ef00b No such CD entry in database\r\n")
        << LookupError::NoEntry;
    QTest::newRow("402 server error")
        << CddbRead << QByteArray("402 Server error\r\n") << LookupError::Failed;
    QTest::newRow("entry without .")
        << CddbRead << QByteArray("210 rock 920ef00b follows\r\nDTITLE=A / B\r\nTTITLE0=One\r\n")
        << LookupError::Failed;
    QTest::newRow("entry cut in a line")
        << CddbRead << QByteArray("210 rock 920ef00b follows\r\nDTITLE=A / B\r\nTTITLE0=On")
        << LookupError::Failed;
    QTest::newRow("entry without titles")
        << CddbRead << QByteArray("210 rock 920ef00b follows\r\n# nothing\r\n.\r\n")
        << LookupError::Failed;
    QTest::newRow("query reply instead")
        << CddbRead << QByteArray("200 rock 920ef00b A / B\r\n") << LookupError::Failed;
    QTest::newRow("no matching medium")
        << MusicBrainzReply << releases({release("Other", "1990", "other", {"x", "y", "z"})})
        << LookupError::NoEntry;
    QTest::newRow("no releases") << MusicBrainzReply << QByteArray(R"({"releases":[]})")
                                 << LookupError::NoEntry;
    QTest::newRow("not JSON") << MusicBrainzReply << QByteArray("<html>Bad gateway</html>")
                              << LookupError::Failed;
    QTest::newRow("cut short") << MusicBrainzReply << QByteArray(R"({"releases":[{"title":"Al)")
                               << LookupError::Failed;
    QTest::newRow("an array") << MusicBrainzReply << QByteArray("[1,2]") << LookupError::Failed;
    QTest::newRow("no release list")
        << MusicBrainzReply << QByteArray(R"({"id":"x","title":"stub"})") << LookupError::Failed;
    QTest::newRow("releases not a list")
        << MusicBrainzReply << QByteArray(R"({"releases":7})") << LookupError::Failed;
    QTest::newRow("invalid UTF-8")
        << MusicBrainzReply << QByteArray("{\"releases\":[{\"title\":\"\xff\xfe\"}]}")
        << LookupError::Failed;
    QTest::newRow("deep nesting") << MusicBrainzReply << QByteArray(100000, '[')
                                  << LookupError::Failed;
}

void tst_DiscDbReplies::refusedReplies()
{
    QFETCH(Parser, parser);
    QFETCH(QByteArray, body);
    QFETCH(LookupError::Kind, kind);
    try {
        if (parser == CddbQuery)
            Cddb::parseQuery(bytes(body));
        else if (parser == CddbRead)
            Cddb::parseRead(bytes(body));
        else
            MusicBrainz::choose(MusicBrainz::parseReleases(bytes(body)),
                                "KnpGsLhvH.lPrNc1PBL21lb9Bg4-",
                                2);
        QFAIL("accepted");
    } catch (const LookupError &e) {
        QCOMPARE(e.kind(), kind);
    }
}

void tst_DiscDbReplies::cddbEntry_data()
{
    QTest::addColumn<QByteArray>("entry"); // the lines between the status line and "."
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("album");
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("genre");
    QTest::addColumn<QStringList>("titles");
    // Artist and album "A / B", no year or genre, unless the row says otherwise.
    const auto row = [](const char *name,
                        const QByteArray &entry,
                        const QStringList &titles,
                        const QStringList &disc = {"A", "B", "", ""}) {
        QTest::newRow(name) << entry << disc.at(0) << disc.at(1) << disc.at(2) << disc.at(3)
                            << titles;
    };
    row("plain",
        "# xmcd\n# Disc length: 3826 seconds\nDISCID=920ef00b\nDTITLE=Massive Attack / Mezzanine\n"
        "DYEAR=1998\nDGENRE=Trip-Hop\nTTITLE0=Angel\nTTITLE1=Risingson\n"
        "EXTD=\nEXTT0=\nPLAYORDER=\n",
        {"Angel", "Risingson"},
        {"Massive Attack", "Mezzanine", "1998", "Trip-Hop"});
    row("DTITLE without slash",
        "DTITLE=Eponymous\nTTITLE0=One\n",
        {"One"},
        {"Eponymous", "Eponymous", "", ""});
    row("slash without blanks is a name",
        "DTITLE=AC/DC / Back in Black\nTTITLE0=Hells Bells\n",
        {"Hells Bells"},
        {"AC/DC", "Back in Black", "", ""});
    row("titles over several lines",
        "DTITLE=Various / Long \nDTITLE=Names\nTTITLE0=Part one, \nTTITLE0=part two, \n"
        "TTITLE0=part three\nTTITLE1=Short\n",
        {"Part one, part two, part three", "Short"},
        {"Various", "Long Names", "", ""});
    row("character split over two lines",
        "DTITLE=A / B\nTTITLE0=Caf\xc3\nTTITLE0=\xa9 noir\n",
        {"Café noir"});
    row("Latin-1 entry",
        "DTITLE=Bj\xf6rk / Homogenic\nTTITLE0=J\xf3ga\n",
        {"Jóga"},
        {"Björk", "Homogenic", "", ""});
    row("escapes", "DTITLE=A / B\nTTITLE0=One\\nTwo\\tThree\\\\Four\n", {"One\nTwo\tThree\\Four"});
    row("skipped and far track numbers",
        "DTITLE=A / B\nTTITLE0=One\nTTITLE2=Three\nTTITLE99=Far\nTTITLE123=Farther\n"
        "TTITLEx=Nothing\n",
        {"One", "", "Three"});
    row("year that is not one", "DTITLE=A / B\nDYEAR=98\nTTITLE0=One\n", {"One"});
}

void tst_DiscDbReplies::cddbEntry()
{
    QFETCH(QByteArray, entry);
    const Cddb::Entry e = Cddb::parseRead(
        bytes("210 rock 920ef00b CD database entry follows (until terminating `.')\r\n" + entry
              + ".\r\n"));
    QTEST(QString::fromStdString(e.artist), "artist");
    QTEST(QString::fromStdString(e.album), "album");
    QTEST(QString::fromStdString(e.year), "year");
    QTEST(QString::fromStdString(e.genre), "genre");
    QTEST(qt(e.titles), "titles");
}

void tst_DiscDbReplies::musicBrainzChoice_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("album");
    QTest::addColumn<QString>("year");
    QTest::addColumn<QStringList>("titles");

    const QByteArray id = "KnpGsLhvH.lPrNc1PBL21lb9Bg4-";
    QTest::newRow("one release") << releases({release("Album", "1998-04-20", id, {"One", "Two"})})
                                 << "Album"
                                 << "1998" << QStringList{"One", "Two"};
    QTest::newRow("earliest release") << releases({release("Reissue", "2004", id, {"a", "b"}),
                                                   release("Original", "1998-04", id, {"A", "B"}),
                                                   release("Undated", "", id, {"x", "y"})})
                                      << "Original"
                                      << "1998" << QStringList{"A", "B"};
    QTest::newRow("undated release last") << releases(
        {release("Undated", "", id, {"x", "y"}), release("Dated", "2010", id, {"A", "B"})})
                                          << "Dated"
                                          << "2010" << QStringList{"A", "B"};
    QTest::newRow("the disc id before the track count") << releases(
        {release("Fuzzy", "1990", "other", {"x", "y"}), release("Exact", "2000", id, {"A", "B"})})
                                                        << "Exact"
                                                        << "2000" << QStringList{"A", "B"};
    QTest::newRow("fuzzy match by track count")
        << releases({release("Three", "1990", "other", {"x", "y", "z"}),
                     release("Two", "2000", "other", {"A", "B"})})
        << "Two"
        << "2000" << QStringList{"A", "B"};
    QTest::newRow("the disc id with another track count: no titles")
        << releases({release("Exact", "2000", id, {"A", "B", "C"})}) << "Exact"
        << "2000" << QStringList{};
    QTest::newRow("medium of a set") << QByteArray(
        R"({"releases":[{"title":"Set","date":"1977","artist-credit":[{"name":"Band"}],"media":[)"
        R"({"position":1,"discs":[{"id":"x"}],"tracks":[{"position":1,"title":"d1"},{"position":2,"title":"d1b"}]},)"
        R"({"position":2,"discs":[{"id":")"
        + id
        + R"("}],"tracks":[{"position":2,"title":"Second"},{"position":1,"title":"First"}]}]}]})")
                                     << "Set"
                                     << "1977" << QStringList{"First", "Second"};
}

void tst_DiscDbReplies::musicBrainzChoice()
{
    QFETCH(QByteArray, json);
    const DiscInfo i = MusicBrainz::choose(MusicBrainz::parseReleases(bytes(json)),
                                           "KnpGsLhvH.lPrNc1PBL21lb9Bg4-",
                                           2);
    QTEST(QString::fromStdString(i.album), "album");
    QTEST(QString::fromStdString(i.year), "year");
    QTEST(qt(i.titles), "titles");
    QCOMPARE(QString::fromStdString(i.artist), QStringLiteral("Band"));
}

void tst_DiscDbReplies::musicBrainzCredits()
{
    const QByteArray json = R"({"releases":[{"title":"Duets","date":"2001-02-03",
        "artist-credit":[{"name":"Ann","joinphrase":" & "},{"name":"Bob","joinphrase":""}],
        "media":[{"position":1,"discs":[{"id":"abc"}],"tracks":[
          {"position":1,"title":"Together","artist-credit":[{"name":"Ann","joinphrase":" & "},{"name":"Bob"}]},
          {"position":2,"title":"Alone","artist-credit":[{"name":"Cy","joinphrase":" feat. "},{"name":"Ann"}]},
          {"position":3,"title":7}]}]}]})";
    const DiscInfo i = MusicBrainz::choose(MusicBrainz::parseReleases(bytes(json)), "abc", 3);
    QCOMPARE(QString::fromStdString(i.artist), QStringLiteral("Ann & Bob"));
    QCOMPARE(qt(i.titles), (QStringList{"Together", "Cy feat. Ann / Alone", ""}));
}

void tst_DiscDbReplies::merged_data()
{
    QTest::addColumn<DiscToc>("toc");
    QTest::addColumn<bool>("haveMusicBrainz");
    QTest::addColumn<DiscInfo>("musicBrainz");
    QTest::addColumn<bool>("haveCddb");
    QTest::addColumn<DiscInfo>("cddb");
    QTest::addColumn<DiscInfo>("expected");

    const DiscInfo mb = info("MB Album", "MB Artist", "1998", "", {"m1", "m2"});
    const DiscInfo cddb = info("CD Album", "CD Artist", "2001", "Rock", {"c1", "c2"});
    // Both answers, either alone and a data track named by CDDB are also
    // tst_disclookup's, through the library.
    QTest::newRow("MusicBrainz without year")
        << audioToc(2) << true << info("MB Album", "MB Artist", "", "", {"m1", "m2"}) << true
        << cddb << info("MB Album", "MB Artist", "2001", "Rock", {"m1", "m2"});
    QTest::newRow("MusicBrainz without titles")
        << audioToc(2) << true << info("MB Album", "MB Artist", "1998", "", {}) << true << cddb
        << info("CD Album", "CD Artist", "2001", "Rock", {"c1", "c2"});
    QTest::newRow("CDDB without a title per track")
        << audioToc(3) << false << DiscInfo() << true << cddb
        << info("CD Album", "CD Artist", "2001", "Rock", {});
    QTest::newRow("data track without CDDB")
        << audioToc(3, true) << true << mb << false << DiscInfo()
        << info("MB Album", "MB Artist", "1998", "", {"m1", "m2", DataTrackTitle});
}

void tst_DiscDbReplies::merged()
{
    QFETCH(DiscToc, toc);
    QFETCH(bool, haveMusicBrainz);
    QFETCH(DiscInfo, musicBrainz);
    QFETCH(bool, haveCddb);
    QFETCH(DiscInfo, cddb);
    QFETCH(DiscInfo, expected);
    const DiscInfo got = merge(toc,
                               haveMusicBrainz ? std::optional<DiscInfo>(musicBrainz) : std::nullopt,
                               haveCddb ? std::optional<DiscInfo>(cddb) : std::nullopt);
    QCOMPARE(QString::fromStdString(formatAnswer(got)),
             QString::fromStdString(formatAnswer(expected)));
}

void tst_DiscDbReplies::answerText_data()
{
    QTest::addColumn<DiscInfo>("info");
    QTest::addColumn<QString>("answer");

    QTest::newRow("all known")
        << info("Mezzanine", "Massive Attack", "1998", "Trip-Hop", {"Angel", "Risingson"})
        << "Mezzanine\nMassive Attack\n27 - Trip-Hop\n1998\nnil\nAngel\nRisingson\n";
    QTest::newRow("nothing known") << DiscInfo() << "nil\nnil\nnil\nnil\nno titles\n";
    QTest::newRow("CDDB category as genre")
        << info("A", "B", "", "rock", {}) << "A\nB\n17 - Rock\nnil\nno titles\n";
    QTest::newRow("genre by another spelling")
        << info("A", "B", "", "new age", {}) << "A\nB\n10 - New Age\nnil\nno titles\n";
    QTest::newRow("genre number above 99")
        << info("A", "B", "", "Humour", {}) << "A\nB\n100 - Humour\nnil\nno titles\n";
    QTest::newRow("genre not in the list")
        << info("A", "B", "", "Chillwave", {}) << "A\nB\nChillwave\nnil\nno titles\n";
    QTest::newRow("line breaks inside values")
        << info("A\r\nB", " C ", "", "", {"One\nTwo", "", "\tThree"})
        << "A  B\nC\nnil\nnil\nnil\nOne Two\n\nThree\n";
}

void tst_DiscDbReplies::answerText()
{
    QFETCH(DiscInfo, info);
    QTEST(QString::fromStdString(formatAnswer(info)), "answer");
}

void tst_DiscDbReplies::everyGenreFindsItself()
{
    for (int i = 0; i < Genres::Count; ++i)
        QCOMPARE(Genres::find(Genres::name(i)), i);
    QCOMPARE(Genres::find(""), -1);
    QCOMPARE(Genres::find(" - "), -1);
    QCOMPARE(QString::fromStdString(Genres::listItem(0)), QStringLiteral("00 - Blues"));
    QCOMPARE(QString::fromStdString(Genres::listItem(147)), QStringLiteral("147 - SynthPop"));
}

QTEST_GUILESS_MAIN(tst_DiscDbReplies)
#include "tst_discdbreplies.moc"
