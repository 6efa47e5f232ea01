#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

// CD-Text as the disc carries it: the raw packs a drive reads from the
// lead-in (READ TOC/PMA/ATIP format 5), or the TITLE / PERFORMER /
// SONGWRITER lines of a CUE sheet. Pure functions of their bytes; any thread.
namespace CdText {

struct Track
{
    QString title;
    QString performer;
    QString songwriter;
    QString composer;
    QString arranger;
    QString message;
    QString isrc; // only a valid one
};

// The texts of one block (language). Empty fields are not on the disc.
struct Texts
{
    int language = 0; // EBU Tech 3264 code of the block, 0x09 English
    QString title;
    QString performer;
    QString songwriter;
    QString composer;
    QString arranger;
    QString message;
    QString upc;         // the disc's UPC/EAN, 13 digits, only a valid one
    int firstTrack = 1;  // the track number of tracks[0]
    QList<Track> tracks; // firstTrack, firstTrack + 1, ...

    bool isEmpty() const;
    // Track `number`'s texts; empty ones for a track the block has none of.
    Track track(int number) const;
};

// The CD-Text CRC of a pack's first 16 bytes: polynomial 0x1021, initial 0,
// the result inverted.
uint16_t packCrc(const uint8_t *pack);

// The blocks of raw packs (18 bytes each, with or without the drive's
// 4-byte reply header), block 0 (the default) first. Packs whose CRC fails
// are dropped; a text whose beginning was in a dropped pack is left out.
// Texts are decoded by the block's character code (ISO-8859-1, also for
// blocks marked ASCII, or MS-JIS); a text of one TAB repeats the previous
// track's. Empty when there is no text.
QList<Texts> parsePacks(const QByteArray &packs);

// The disc's and tracks' texts of a CUE sheet: TITLE, PERFORMER and
// SONGWRITER (COMPOSER, ARRANGER, MESSAGE too) before the first TRACK are
// the disc's, after a TRACK that track's; ISRC per track and CATALOG for the
// disc. UTF-8 (a BOM is skipped), read as ISO-8859-1 when it is not UTF-8.
Texts parseCue(const QByteArray &sheet);

// Whether text is an ISRC: 2 letters of a country, 3 letters or digits of
// an owner, 2 digits of a year, 5 of a serial; "000000000000" is none.
bool isIsrc(const QString &text);

} // namespace CdText
