#include "app/choicelists.h"

#include <QtTest>

class tst_ChoiceLists : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void genres();
    void templates();
};

void tst_ChoiceLists::genres()
{
    // The list word for word, old spellings, cut names and the blank after
    // "Acoustic" included: users' tags and file names carry these texts.
    // clang-format off
    const QStringList expected = {
        "00 - Blues", "01 - Classic Rock", "02 - Country", "03 - Dance", "04 - Disco", "05 - Funk",
        "06 - Grunge", "07 - Hip-Hop", "08 - Jazz", "09 - Metal", "10 - New Age", "11 - Oldies",
        "12 - Other", "13 - Pop", "14 - R&B", "15 - Rap", "16 - Reggae", "17 - Rock",
        "18 - Techno", "19 - Industrial", "20 - Alternative", "21 - Ska", "22 - Death Metal",
        "23 - Pranks", "24 - Soundtrack", "25 - Euro-Techno", "26 - Ambient", "27 - Trip-Hop",
        "28 - Vocal", "29 - Jazz+Funk", "30 - Fusion", "31 - Trance", "32 - Classical",
        "33 - Instrumental", "34 - Acid", "35 - House", "36 - Game", "37 - Sound Clip",
        "38 - Gospel", "39 - Noise", "40 - Alternative Rock", "41 - Bass", "42 - Soul",
        "43 - Punk", "44 - Space", "45 - Meditative", "46 - Instrumental Pop",
        "47 - Instrumental Rock", "48 - Ethnic", "49 - Gothic", "50 - Darkwave",
        "51 - Techno-Industrial", "52 - Electronic", "53 - Pop-Folk", "54 - Eurodance",
        "55 - Dream", "56 - Southern Rock", "57 - Comedy", "58 - Cult", "59 - Gangsta",
        "60 - Top 40", "61 - Christian Rap", "62 - Pop/Funk", "63 - Jungle", "64 - Native US",
        "65 - Cabaret", "66 - New Wave", "67 - Psychadelic", "68 - Rave", "69 - Showtunes",
        "70 - Trailer", "71 - Lo-Fi", "72 - Tribal", "73 - Acid Punk", "74 - Acid Jazz",
        "75 - Polka", "76 - Retro", "77 - Musical", "78 - Rock & Roll", "79 - Hard Rock",
        "80 - Folk", "81 - Folk-Rock", "82 - National Folk", "83 - Swing", "84 - Fast Fusion",
        "85 - Bebob", "86 - Latin", "87 - Revival", "88 - Celtic", "89 - Bluegrass",
        "90 - Avantgarde", "91 - Gothic Rock", "92 - Progressive Rock", "93 - Psychedelic Rock",
        "94 - Symphonic Rock", "95 - Slow Rock", "96 - Big Band", "97 - Chorus",
        "98 - Easy Listening", "99 - Acoustic ", "100 - Humour", "101 - Speech", "102 - Chanson",
        "103 - Opera", "104 - Chamber Music", "105 - Sonata", "106 - Symphony", "107 - Booty Bass",
        "108 - Primus", "109 - Porn Groove", "110 - Satire", "111 - Slow Jam", "112 - Club",
        "113 - Tango", "114 - Samba", "115 - Folklore", "116 - Ballad", "117 - Power Ballad",
        "118 - Rhytmic Soul", "119 - Freestyle", "120 - Duet", "121 - Punk Rock",
        "122 - Drum Solo", "123 - Acapella", "124 - Euro-House", "125 - Dance Hall", "126 - Goa",
        "127 - Drum & Bass", "128 - Club-House", "129 - Hardcore", "130 - Terror", "131 - Indie",
        "132 - BritPop", "133 - Negerpunk", "134 - Polsk Punk", "135 - Beat",
        "136 - Christian Gangsta", "137 - Heavy Metal", "138 - Black Metal", "139 - Crossover",
        "140 - Contemporary C", "141 - Christian Rock", "142 - Merengue", "143 - Salsa",
        "144 - Thrash Metal", "145 - Anime", "146 - JPop", "147 - SynthPop"};
    // clang-format on
    const QStringList list = ChoiceLists::genres();
    QCOMPARE(list.size(), ChoiceLists::GenreCount);
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(list.at(i), expected.at(i));
        // The name alone is what follows the number.
        QCOMPARE(ChoiceLists::genreName(i), expected.at(i).section(QStringLiteral(" - "), 1));
    }
    QCOMPARE(ChoiceLists::genreName(148), QString());
    QCOMPARE(ChoiceLists::genreName(-1), QString());
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
    // What each item asks of the drive: "Default" leaves it alone.
    QList<std::optional<int>> asked;
    for (const QString &item : ChoiceLists::driveSpeeds())
        asked << ChoiceLists::driveSpeedOf(item);
    QCOMPARE(asked, (QList<std::optional<int>>{std::nullopt, 0, 40, 32, 24, 12, 8, 4, 2, 1}));
    QCOMPARE(ChoiceLists::driveSpeedOf("0X"), std::nullopt);
    QCOMPARE(ChoiceLists::driveSpeedOf("X"), std::nullopt);
}

QTEST_GUILESS_MAIN(tst_ChoiceLists)
#include "tst_choicelists.moc"
