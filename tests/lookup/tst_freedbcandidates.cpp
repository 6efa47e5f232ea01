#include "lookup/freedbcandidates.h"

#include <QtTest>

// The lookup's list of entries as the window reads it, and which one it
// preselects.
class tst_FreedbCandidates : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void preselection_data();
    void preselection();
};

void tst_FreedbCandidates::preselection_data()
{
    QTest::addColumn<QString>("mcn");
    QTest::addColumn<bool>("remembered");
    QTest::addColumn<int>("preselected");
    // One disc id, two unrelated singles of the same length: only the
    // disc's catalogue number tells them apart.
    QTest::newRow("no catalogue number: the lookup's guess") << QString() << false << 0;
    QTest::newRow("12-digit barcode, 13-digit MCN") << "0886919708127" << false << 1;
    QTest::newRow("13 digits both") << "5099766337012" << false << 2;
    QTest::newRow("no barcode matches") << "4006381333931" << false << 0;
    QTest::newRow("the user's earlier choice stands") << "5099766337012" << true << 0;
}

void tst_FreedbCandidates::preselection()
{
    QFETCH(QString, mcn);
    QFETCH(bool, remembered);
    QFETCH(int, preselected);
    const QString json = QStringLiteral(
                             R"({"toc":"1 150 20000","preselected":0,"remembered":%1,"candidates":[)"
                             R"({"key":"cddb misc 0a0a0a01","source":"CDDB","album":"Single"},)"
                             R"({"key":"musicbrainz de 1","source":"MusicBrainz","country":"DE",)"
                             R"("barcode":"886919708127","catalogNumber":"88691 97081 2",)"
                             R"("tracks":[{"title":"A","artistIds":["x","y"]}]},)"
                             R"({"key":"musicbrainz fi 1","source":"MusicBrainz","country":"FI",)"
                             R"("barcode":"5099766337012","catalogNumber":"COL 6633701"}]})")
                             .arg(remembered ? "true" : "false");
    FreedbCandidates c = FreedbCandidates::read(json);
    QCOMPARE(c.list.size(), 3);
    QCOMPARE(c.toc, "1 150 20000");
    QCOMPARE(c.list.at(1).catalogNumber, "88691 97081 2");
    QCOMPARE(c.list.at(1).tracks.at(0).artistIds, QStringList({"x", "y"}));
    c.preselectBarcode(mcn);
    QCOMPARE(c.preselected, preselected);
}

QTEST_GUILESS_MAIN(tst_FreedbCandidates)
#include "tst_freedbcandidates.moc"
