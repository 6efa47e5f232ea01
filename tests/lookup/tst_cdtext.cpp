#include "lookup/cdtext.h"

#include <QtTest>

using namespace CdText;

// CD-Text from raw packs, built here from the pack format, and from CUE sheets.
class tst_CdText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void crcVector();
    void packs_data();
    void packs();
    void cueSheet_data();
    void cueSheet();
};

namespace {

// The packs of one block: each type's texts (the disc's, then one per
// track) run on across 12-byte payloads, then the block size information.
class BlockWriter
{
public:
    BlockWriter(int block, uint8_t characterCode, int tracks)
        : m_block(block)
        , m_code(characterCode)
        , m_tracks(tracks)
    {}

    void texts(uint8_t type, const QList<QByteArray> &texts)
    {
        QByteArray stream;
        QList<int> trackAt; // the track of each byte's text
        QList<int> positionAt;
        for (int t = 0; t < texts.size(); ++t) {
            for (int i = 0; i <= texts[t].size(); ++i) {
                trackAt << t;
                positionAt << i;
            }
            stream += texts[t] + '\0';
        }
        while (stream.size() % 12) {
            stream += '\0';
            trackAt << int(texts.size());
            positionAt << 0;
        }
        for (int at = 0; at < stream.size(); at += 12)
            pack(type, trackAt[at], std::min(positionAt[at], 15), stream.mid(at, 12));
        ++m_counts[type - 0x80];
    }

    // The packs with the three 0x8F packs of the block size information.
    QByteArray finish(const QList<uint8_t> &languages)
    {
        QByteArray info(36, '\0');
        info[0] = char(m_code);
        info[1] = 1;
        info[2] = char(m_tracks);
        for (int i = 0; i < 16; ++i)
            info[4 + i] = char(m_counts[i]);
        info[4 + 15] = 3;
        for (int b = 0; b < languages.size(); ++b)
            info[28 + b] = char(languages[b]);
        info[20 + m_block] = char(m_sequence + 2);
        for (int i = 0; i < 3; ++i)
            pack(0x8f, i, 0, info.mid(i * 12, 12));
        return m_packs;
    }

private:
    void pack(uint8_t type, int track, int position, const QByteArray &payload)
    {
        QByteArray p(18, '\0');
        p[0] = char(type);
        p[1] = char(track);
        p[2] = char(m_sequence++);
        p[3] = char((m_block << 4) | position);
        p.replace(4, 12, payload);
        const uint16_t crc = packCrc(reinterpret_cast<const uint8_t *>(p.constData()));
        p[16] = char(crc >> 8);
        p[17] = char(crc & 0xff);
        m_packs += p;
    }

    int m_block;
    uint8_t m_code;
    int m_tracks;
    int m_sequence = 0;
    int m_counts[16] = {};
    QByteArray m_packs;
};

// One line per block and per track: "lang title | performer | songwriter",
// then "n: title | performer | songwriter | isrc".
QStringList describe(const QList<Texts> &blocks)
{
    QStringList lines;
    for (const Texts &b : blocks) {
        lines << QStringLiteral("%1 %2 | %3 | %4 | %5")
                     .arg(b.language)
                     .arg(b.title, b.performer, b.songwriter, b.upc);
        for (int i = 0; i < b.tracks.size(); ++i) {
            const Track &t = b.tracks.at(i);
            lines << QStringLiteral("%1: %2 | %3 | %4 | %5")
                         .arg(b.firstTrack + i)
                         .arg(t.title, t.performer, t.songwriter, t.isrc);
        }
    }
    return lines;
}

QByteArray latin1(const char *utf8)
{
    return QString::fromUtf8(utf8).toLatin1();
}

} // namespace

void tst_CdText::crcVector()
{
    const uint8_t pack[16] = {0x80,
                              0x00,
                              0x00,
                              0x00,
                              0x41,
                              0x20,
                              0x4D,
                              0x65,
                              0x6D,
                              0x6F,
                              0x69,
                              0x72,
                              0x20,
                              0x6F,
                              0x66,
                              0x20};
    QCOMPARE(packCrc(pack), uint16_t(0x5F23));
}

void tst_CdText::packs_data()
{
    QTest::addColumn<QByteArray>("packs");
    QTest::addColumn<QStringList>("texts");

    // English in ISO-8859-1 with an empty songwriter of the disc, German after it.
    BlockWriter english(0, 0x00, 2);
    english.texts(0x80, {latin1("Café Noir · Live"), latin1("Première partie"), latin1("Deuxième")});
    english.texts(0x81, {latin1("Åsa Ørn"), latin1("Åsa Ørn"), "\t"});
    english.texts(0x82, {"", latin1("Søren"), latin1("Zoë")});
    english.texts(0x8e, {"", "GBAYE9912345", "000000000000"});
    BlockWriter german(1, 0x00, 2);
    german.texts(0x80, {"Kaffee schwarz", "Erster Teil", "Zweiter"});
    const QByteArray both = english.finish({0x09, 0x08}) + german.finish({0x09, 0x08});
    const QStringList englishLines = {"9 Café Noir · Live | Åsa Ørn |  | ",
                                      "1: Première partie | Åsa Ørn | Søren | GBAYE9912345",
                                      "2: Deuxième | Åsa Ørn | Zoë | "};
    QTest::newRow("two blocks, Latin-1, an empty disc field, a TAB")
        << both
        << englishLines
               + QStringList{"8 Kaffee schwarz |  |  | ",
                             "1: Erster Teil |  |  | ",
                             "2: Zweiter |  |  | "};

    QByteArray withHeader = both;
    const int length = int(both.size()) + 2;
    withHeader.prepend(QByteArray("\0\0\0\0", 4));
    withHeader[0] = char(length >> 8);
    withHeader[1] = char(length & 0xff);
    QTest::newRow("a drive's reply with its header") << withHeader << describe(parsePacks(both));

    BlockWriter ascii(0, 0x01, 1);
    ascii.texts(0x80, {"Disc", latin1("Café")});
    QTest::newRow("8-bit letters in a block marked ASCII")
        << ascii.finish({0x09}) << QStringList{"9 Disc |  |  | ", "1: Café |  |  | "};

    // "Album\0One\0Tw" | "o\0Three\0...": the first pack broken, "Two" lost
    // with it, "Three" found again from the second pack's own numbers.
    BlockWriter broken(0, 0x00, 3);
    broken.texts(0x80, {"Album", "One", "Two", "Three"});
    QByteArray bad = broken.finish({0x09});
    bad[5] = 'X';
    QTest::newRow("a pack failing its CRC")
        << bad << QStringList{"9  |  |  | ", "1:  |  |  | ", "2:  |  |  | ", "3: Three |  |  | "};
    QTest::newRow("no packs") << QByteArray() << QStringList();
}

void tst_CdText::packs()
{
    QFETCH(QByteArray, packs);
    QFETCH(QStringList, texts);
    QCOMPARE(describe(parsePacks(packs)), texts);
}

void tst_CdText::cueSheet_data()
{
    QTest::addColumn<QByteArray>("sheet");
    QTest::addColumn<QStringList>("texts");
    const QByteArray sheet = "REM GENRE Rock\r\nCATALOG 0727361379704\r\nPERFORMER \"Björk\"\r\n"
                             "TITLE \"Début\"\r\nFILE \"disc.bin\" BINARY\r\n"
                             "  TRACK 01 AUDIO\r\n    TITLE \"Human Behaviour\"\r\n"
                             "    PERFORMER Björk Guðmundsdóttir\r\n    ISRC GBAAA9300001\r\n"
                             "    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n"
                             "    TITLE \"Crying\"\r\n    INDEX 01 04:12:00\r\n";
    const QStringList texts = {"9 Début | Björk |  | 0727361379704",
                               "1: Human Behaviour | Björk Guðmundsdóttir |  | GBAAA9300001",
                               "2: Crying |  |  | "};
    QTest::newRow("UTF-8") << sheet << texts;
    QTest::newRow("UTF-8 with a BOM") << "\xEF\xBB\xBF" + sheet << texts;
    QTest::newRow("ISO-8859-1") << QString::fromUtf8(sheet).toLatin1() << texts;
}

void tst_CdText::cueSheet()
{
    QFETCH(QByteArray, sheet);
    QFETCH(QStringList, texts);
    QCOMPARE(describe({parseCue(sheet)}), texts);
}

QTEST_GUILESS_MAIN(tst_CdText)
#include "tst_cdtext.moc"
