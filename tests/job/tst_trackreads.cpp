#include "job/trackreads.h"

#include <QtTest>

// Which copy of a track is kept and which is read again.
class tst_TrackReads : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decisions_data();
    void decisions();
};

void tst_TrackReads::decisions_data()
{
    QTest::addColumn<bool>("testAndCopy");
    QTest::addColumn<bool>("reread");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("test");   // the test read's CRC32 in one letter; "x": incomplete
    QTest::addColumn<QString>("copies"); // per copy: a letter, then + matches AccurateRip,
                                         // - does not, ? unknown
    QTest::addColumn<QString>("steps");  // R read again, K keep
    QTest::addColumn<QString>("last");   // the last line, "": none
    QTest::newRow("plain copy") << false << false << 3 << ""
                                << "A-"
                                << "K"
                                << "";
    QTest::newRow("test and copy agree") << true << false << 3 << "A"
                                         << "A?"
                                         << "K"
                                         << "test CRC32 0000000A, copy CRC32 0000000A";
    QTest::newRow("test and copy differ") << true << false << 3 << "A"
                                          << "B?"
                                          << "K"
                                          << "test and copy differ";
    QTest::newRow("mismatch until two reads agree") << false << true << 3 << ""
                                                    << "A-A-"
                                                    << "RK"
                                                    << "kept after 2 reads, two reads agree";
    QTest::newRow("the re-read matches") << false << true << 3 << ""
                                         << "A-B+"
                                         << "RK"
                                         << "kept after 2 reads, matches AccurateRip";
    QTest::newRow("limit reached") << false << true << 2 << ""
                                   << "A-B-C-"
                                   << "RRK"
                                   << "kept after 3 reads, no two reads agree";
    QTest::newRow("a re-read agrees with the test read") << true << true << 3 << "A"
                                                         << "B?A?"
                                                         << "RK"
                                                         << "kept after 3 reads, two reads agree";
    QTest::newRow("agreeing test and copy are not read again")
        << true << true << 3 << "A"
        << "A-"
        << "K"
        << "test CRC32 0000000A, copy CRC32 0000000A";
    QTest::newRow("unknown to AccurateRip, no test read") << false << true << 3 << ""
                                                          << "A?"
                                                          << "K"
                                                          << "";
    QTest::newRow("incomplete reads agree with nothing")
        << false << true << 3 << ""
        << "x-x-x-x-"
        << "RRRK"
        << "kept after 4 reads, no two reads agree";
}

void tst_TrackReads::decisions()
{
    QFETCH(bool, testAndCopy);
    QFETCH(bool, reread);
    QFETCH(int, limit);
    QFETCH(QString, test);
    QFETCH(QString, copies);
    QFETCH(QString, steps);
    QFETCH(QString, last);
    const auto sums = [](QChar letter) -> std::optional<TTrackChecksums> {
        if (letter == 'x')
            return std::nullopt;
        TTrackChecksums s;
        s.Crc32 = uint32_t(letter.unicode() - 'A' + 10);
        return s;
    };
    TTrackReads reads({testAndCopy, reread, limit, false}, true);
    reads.Begin(3);
    QCOMPARE(reads.FirstRead(), testAndCopy ? TTrackReads::Read::Test : TTrackReads::Read::Copy);
    if (!test.isEmpty())
        reads.TestRead(sums(test[0]));
    QString made;
    QStringList lines;
    for (int i = 0; i < copies.size(); i += 2) {
        AccurateRip::TrackVerdict verdict;
        verdict.kind = copies[i + 1] == '+'   ? AccurateRip::TrackVerdict::Accurate
                       : copies[i + 1] == '-' ? AccurateRip::TrackVerdict::Mismatch
                                              : AccurateRip::TrackVerdict::NotInDatabase;
        made += reads.CopyRead(sums(copies[i]), verdict, lines) == TTrackReads::Step::Reread ? 'R'
                                                                                             : 'K';
    }
    QCOMPARE(made, steps);
    QCOMPARE(reads.Reads(), int(test.size() + copies.size() / 2));
    QCOMPARE(lines.isEmpty() ? QString() : lines.constLast(),
             last.isEmpty() ? QString() : "Track 3: " + last);
    // Without AccurateRip asked there are no re-reads.
    TTrackReads unverified({testAndCopy, true, limit, false}, false);
    unverified.Begin(3);
    QCOMPARE(unverified.NeedsCheck(), false);
}

QTEST_GUILESS_MAIN(tst_TrackReads)
#include "tst_trackreads.moc"
