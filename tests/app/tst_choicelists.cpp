#include "app/choicelists.h"

#include <QtTest>

class tst_ChoiceLists : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void genres_data();
    void genres();
    void outputFormats();
    void templates();
};

void tst_ChoiceLists::genres_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("name");
    QTest::newRow("first") << 0 << "00 - Blues"
                           << "Blues";
    QTest::newRow("one digit padded") << 9 << "09 - Metal"
                                      << "Metal";
    QTest::newRow("ampersand") << 14 << "14 - R&B"
                               << "R&B";
    QTest::newRow("old spelling") << 67 << "67 - Psychadelic"
                                  << "Psychadelic";
    QTest::newRow("trailing blank") << 99 << "99 - Acoustic "
                                    << "Acoustic ";
    QTest::newRow("three digits") << 100 << "100 - Humour"
                                  << "Humour";
    QTest::newRow("cut name") << 140 << "140 - Contemporary C"
                              << "Contemporary C";
    QTest::newRow("last") << 147 << "147 - SynthPop"
                          << "SynthPop";
}

void tst_ChoiceLists::genres()
{
    QFETCH(int, number);
    QFETCH(QString, item);
    QFETCH(QString, name);
    const QStringList list = ChoiceLists::genres();
    QCOMPARE(list.size(), 148);
    QCOMPARE(list.at(number), item);
    QCOMPARE(ChoiceLists::genreName(number), name);
    // Every item starts with its own index: the list is the genre table.
    for (int i = 0; i < list.size(); ++i)
        QVERIFY(list.at(i).startsWith(QString::asprintf("%02d - ", i)));
    QCOMPARE(ChoiceLists::genreName(148), QString());
    QCOMPARE(ChoiceLists::genreName(-1), QString());
}

void tst_ChoiceLists::outputFormats()
{
    QCOMPARE(ChoiceLists::outputFormats(),
             QStringList({"Mp3 (Mpeg Layer-3)",
                          "WMA (Windows Media Audio 9)",
                          "Ogg (Ogg Vorbis 1.1)",
                          "Wav(Standard)",
                          "WAV (ADPCM) ",
                          "FLAC(Free Lossless Audio Codec)",
                          "APE(Monkey's Audio)"}));
    const QStringList extensions = {".mp3", ".wma", ".ogg", ".wav", ".wav", ".flac", ".ape"};
    for (int i = 0; i < extensions.size(); ++i)
        QCOMPARE(ChoiceLists::extensionOf(i), extensions.at(i));
    QCOMPARE(ChoiceLists::extensionOf(-1), QString());
    QCOMPARE(ChoiceLists::extensionOf(7), QString());
}

void tst_ChoiceLists::templates()
{
    QCOMPARE(ChoiceLists::filenameTemplates(),
             QStringList({"track <number>",
                          "<artist> - <title>",
                          "<artist> - <album>\\<number>. <title>",
                          "<artist> - <album>\\<number> - <title>",
                          "<artist>\\<album>\\<number>. <title>",
                          "<artist>\\<album>\\<number> - <title>",
                          "<album>\\<number>. <artist> - <title>",
                          "<album>\\<number> - <artist> - <title>",
                          "<number>. <title>",
                          "<number> - <title>",
                          "<artist> - <album> - <number> - <title>",
                          "<title>",
                          "<artist> - <album>",
                          "<album>"}));
    QCOMPARE(ChoiceLists::driveSpeeds(),
             QStringList(
                 {"Default", "Maximum", "40X", "32X", "24X", "12X", "8X", "4X", "2X", "1X"}));
}

QTEST_GUILESS_MAIN(tst_ChoiceLists)
#include "tst_choicelists.moc"
