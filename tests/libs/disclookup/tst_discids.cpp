#include "libs/disclookup/disctoc.h"
#include "libs/disclookup/lookuperror.h"

#include <QFile>
#include <QtTest>

using namespace DiscLookup;

Q_DECLARE_METATYPE(DiscLookup::DiscToc)

namespace {

DiscToc tocOf(uint32_t leadOut, const QList<uint32_t> &starts, bool dataLast = false)
{
    DiscToc toc;
    for (int i = 0; i < starts.size(); ++i)
        toc.tracks.push_back({i + 1, starts[i], dataLast && i == starts.size() - 1});
    toc.leadOutFrame = leadOut;
    return toc;
}

} // namespace

class tst_DiscIds : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void realDiscs_data();
    void realDiscs();
    void audioSessionOfEnhancedCd();
    void refusedTables_data();
    void refusedTables();
};

void tst_DiscIds::realDiscs_data()
{
    QTest::addColumn<DiscToc>("toc");
    QTest::addColumn<QString>("cddb");
    QTest::addColumn<QString>("musicBrainz");

    QFile file(QStringLiteral(DISCIDS_TSV));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    int rows = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> columns = line.split('\t');
        QCOMPARE(columns.size(), 5);
        QList<uint32_t> starts;
        for (const QByteArray &s : columns[1].split(' '))
            starts.append(s.toUInt());
        const DiscToc toc = tocOf(columns[0].toUInt(), starts, columns[2] == "1");
        QTest::addRow("%s", columns[3].constData())
            << toc << QString::fromLatin1(columns[3]) << QString::fromLatin1(columns[4]);
        ++rows;
    }
    QCOMPARE(rows, 8);
}

void tst_DiscIds::realDiscs()
{
    QFETCH(DiscToc, toc);
    QFETCH(QString, cddb);
    QFETCH(QString, musicBrainz);
    QCOMPARE(QString::fromStdString(cddbId(toc)), cddb);
    QCOMPARE(QString::fromStdString(musicBrainzId(audioSession(toc))), musicBrainz);
}

void tst_DiscIds::audioSessionOfEnhancedCd()
{
    const DiscToc toc = tocOf(210535, {150, 15687, 31841, 207256}, true);
    const AudioSession s = audioSession(toc);
    QCOMPARE(s.first, 1);
    QCOMPARE(s.last, 3);
    QCOMPARE(s.leadOutFrame, 207256u - 11400u);
    QCOMPARE(s.offsets, (std::vector<uint32_t>{150, 15687, 31841}));

    // A data track first belongs to the session.
    DiscToc dataFirst = tocOf(90000, {150, 20000, 40000});
    dataFirst.tracks[0].data = true;
    QCOMPARE(audioSession(dataFirst).first, 1);
    QCOMPARE(audioSession(dataFirst).leadOutFrame, 90000u);
}

void tst_DiscIds::refusedTables_data()
{
    QTest::addColumn<DiscToc>("toc");
    QTest::addColumn<bool>("cddbRefused");

    QTest::newRow("no tracks") << tocOf(1000, {}) << true;
    QTest::newRow("starts out of order") << tocOf(90000, {150, 30000, 20000}) << true;
    QTest::newRow("same start twice") << tocOf(90000, {150, 150}) << true;
    QTest::newRow("start past the lead-out") << tocOf(20000, {150, 30000}) << true;
    QTest::newRow("start on the lead-out") << tocOf(30000, {150, 30000}) << true;
    DiscToc numbers = tocOf(90000, {150, 20000});
    numbers.tracks[1].number = 3;
    QTest::newRow("track numbers with a gap") << numbers << true;
    DiscToc zero = tocOf(90000, {150});
    zero.tracks[0].number = 0;
    QTest::newRow("track number 0") << zero << true;
    // The CDDB id is defined for these; MusicBrainz's is not.
    QTest::newRow("lead-out past 90 minutes") << tocOf(405001, {150}) << false;
    QTest::newRow("lone data track") << tocOf(90000, {150}, true) << false;
    QTest::newRow("no room for the session gap") << tocOf(20000, {150, 11550}, true) << false;
}

void tst_DiscIds::refusedTables()
{
    QFETCH(DiscToc, toc);
    QFETCH(bool, cddbRefused);
    if (cddbRefused)
        QVERIFY_THROWS_EXCEPTION(InvalidToc, cddbId(toc));
    else
        QCOMPARE(cddbId(toc).size(), size_t(8));
    QVERIFY_THROWS_EXCEPTION(InvalidToc, musicBrainzId(audioSession(toc)));
}

QTEST_GUILESS_MAIN(tst_DiscIds)
#include "tst_discids.moc"
