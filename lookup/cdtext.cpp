#include "lookup/cdtext.h"

#include <QMap>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace CdText {

namespace {

constexpr int PackSize = 18;
constexpr int PayloadSize = 12;
constexpr int HeaderSize = 4;

enum PackType : uint8_t {
    Title = 0x80,
    Performer = 0x81,
    Songwriter = 0x82,
    Composer = 0x83,
    Arranger = 0x84,
    Message = 0x85,
    UpcIsrc = 0x8e,
    SizeInfo = 0x8f,
};

enum CharacterCode : uint8_t { Latin1 = 0x00, Ascii = 0x01, MsJis = 0x80 };

struct Pack
{
    uint8_t type = 0;
    int track = 0;
    int sequence = 0;
    int block = 0;
    bool doubleByte = false;
    int characterPosition = 0; // 15: begun before the previous pack
    const uint8_t *payload = nullptr;
};

QString decode(const QByteArray &bytes, uint8_t code)
{
    if (code == MsJis) {
        QStringDecoder sjis("Shift_JIS");
        if (sjis.isValid())
            return sjis.decode(bytes);
    }
    // Discs put 8-bit letters in blocks marked ASCII too.
    return QString::fromLatin1(bytes);
}

bool isUpc(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{13}$"));
    return digits.match(text).hasMatch() && text != QLatin1String("0000000000000");
}

// Every text of one pack type in one block, by track number (0: the disc).
// Characters run on across packs; a pack whose predecessor is missing
// starts with the rest of a text begun there, which is dropped.
QMap<int, QByteArray> textsOf(const QList<Pack> &packs, uint8_t type)
{
    QMap<int, QByteArray> texts;
    QByteArray current;
    int track = -1;      // the track `current` belongs to; -1: none
    bool intact = false; // `current` has every character from the text's start
    int lastSequence = -2;
    for (const Pack &p : packs) {
        if (p.type != type)
            continue;
        const int width = p.doubleByte ? 2 : 1;
        const bool follows = p.sequence == lastSequence + 1 && track == p.track;
        lastSequence = p.sequence;
        if (!follows || p.characterPosition == 0) {
            // Resynchronise on what the pack says of itself.
            track = p.track;
            current.clear();
            intact = p.characterPosition == 0;
        }
        for (int i = 0; i + width <= PayloadSize; i += width) {
            const bool end = p.payload[i] == 0 && (width == 1 || p.payload[i + 1] == 0);
            if (!end) {
                current.append(reinterpret_cast<const char *>(p.payload + i), width);
                continue;
            }
            if (intact && !texts.contains(track))
                texts.insert(track, current);
            current.clear();
            intact = true;
            ++track;
        }
    }
    return texts;
}

Texts blockOf(const QList<Pack> &packs, int firstTrack, int lastTrack, uint8_t code, int language)
{
    Texts t;
    t.language = language;
    t.firstTrack = firstTrack;
    const std::pair<uint8_t, std::pair<QString Texts::*, QString Track::*>> fields[] = {
        {Title, {&Texts::title, &Track::title}},
        {Performer, {&Texts::performer, &Track::performer}},
        {Songwriter, {&Texts::songwriter, &Track::songwriter}},
        {Composer, {&Texts::composer, &Track::composer}},
        {Arranger, {&Texts::arranger, &Track::arranger}},
        {Message, {&Texts::message, &Track::message}},
        {UpcIsrc, {&Texts::upc, &Track::isrc}},
    };
    const int count = std::max(0, lastTrack - firstTrack + 1);
    t.tracks.resize(count);
    const QByteArray tab = code == MsJis ? QByteArray("\t\t") : QByteArray("\t");
    for (const auto &[type, members] : fields) {
        const QMap<int, QByteArray> texts = textsOf(packs, type);
        const auto [discMember, trackMember] = members;
        t.*discMember = decode(texts.value(0), code);
        QString previous;
        for (int i = 0; i < count; ++i) {
            const QByteArray bytes = texts.value(firstTrack + i);
            const QString text = bytes == tab ? previous : decode(bytes, code);
            t.tracks[i].*trackMember = text;
            previous = text;
        }
    }
    if (!isUpc(t.upc))
        t.upc.clear();
    for (Track &track : t.tracks) {
        if (!isIsrc(track.isrc))
            track.isrc.clear();
    }
    return t;
}

} // namespace

bool Texts::isEmpty() const
{
    if (!title.isEmpty() || !performer.isEmpty() || !songwriter.isEmpty())
        return false;
    return std::all_of(tracks.cbegin(), tracks.cend(), [](const Track &t) {
        return t.title.isEmpty() && t.performer.isEmpty() && t.songwriter.isEmpty();
    });
}

Track Texts::track(int number) const
{
    const int i = number - firstTrack;
    return i >= 0 && i < tracks.size() ? tracks.at(i) : Track();
}

uint16_t packCrc(const uint8_t *pack)
{
    uint16_t crc = 0;
    for (int i = 0; i < 16; ++i) {
        crc ^= uint16_t(pack[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = uint16_t(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return uint16_t(~crc);
}

QList<Texts> parsePacks(const QByteArray &bytes)
{
    // A drive's reply starts with its length, which counts the bytes after itself.
    const auto *data = reinterpret_cast<const uint8_t *>(bytes.constData());
    qsizetype start = 0;
    if (bytes.size() % PackSize == HeaderSize && ((data[0] << 8) | data[1]) == int(bytes.size()) - 2)
        start = HeaderSize;

    std::array<QList<Pack>, 8> blocks;
    for (qsizetype at = start; at + PackSize <= bytes.size(); at += PackSize) {
        const uint8_t *p = data + at;
        if (p[0] < Title || p[0] > SizeInfo || packCrc(p) != ((p[16] << 8) | p[17]))
            continue;
        Pack pack;
        pack.type = p[0];
        pack.track = p[1] & 0x7f;
        pack.sequence = p[2];
        pack.doubleByte = (p[3] & 0x80) != 0;
        pack.block = (p[3] >> 4) & 0x07;
        pack.characterPosition = p[3] & 0x0f;
        pack.payload = p + 4;
        blocks[size_t(pack.block)].append(pack);
    }

    QList<Texts> result;
    for (QList<Pack> &packs : blocks) {
        if (packs.isEmpty())
            continue;
        std::stable_sort(packs.begin(), packs.end(), [](const Pack &a, const Pack &b) {
            return a.sequence < b.sequence;
        });
        // The block size information: three packs of 12 bytes make 36.
        QByteArray info(36, '\0');
        bool haveInfo = false;
        for (const Pack &p : packs) {
            if (p.type == SizeInfo && p.track < 3) {
                info.replace(p.track * PayloadSize,
                             PayloadSize,
                             reinterpret_cast<const char *>(p.payload),
                             PayloadSize);
                haveInfo = true;
            }
        }
        uint8_t code = Latin1;
        int first = 1;
        int last = 0;
        int language = 0;
        if (haveInfo) {
            code = uint8_t(info[0]);
            first = uint8_t(info[1]);
            last = uint8_t(info[2]);
            language = uint8_t(info[28 + packs.first().block]);
        } else {
            // Without it, the tracks the packs name.
            for (const Pack &p : packs)
                last = std::max(last, p.track);
        }
        const Texts texts = blockOf(packs, std::max(1, first), last, code, language);
        if (!texts.isEmpty())
            result.append(texts);
    }
    return result;
}

Texts parseCue(const QByteArray &sheet)
{
    QByteArray bytes = sheet;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);

    Texts t;
    int track = 0;
    static const QRegularExpression line(
        QStringLiteral(R"re(^\s*([A-Za-z_]+)\s+(?:"([^"]*)"?|(.*\S))\s*$)re"));
    for (const QString &raw : text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")))) {
        const QRegularExpressionMatch m = line.match(raw);
        if (!m.hasMatch())
            continue;
        const QString command = m.captured(1).toUpper();
        const QString value = m.hasCaptured(2) ? m.captured(2) : m.captured(3);
        if (command == QLatin1String("TRACK")) {
            track = value.section(u' ', 0, 0).toInt();
            if (track < 1 || track > 99) {
                track = 0;
                continue;
            }
            if (t.tracks.isEmpty())
                t.firstTrack = track;
            while (t.firstTrack + t.tracks.size() <= track)
                t.tracks.append(Track());
            continue;
        }
        const std::pair<const char *, std::pair<QString Texts::*, QString Track::*>> fields[] = {
            {"TITLE", {&Texts::title, &Track::title}},
            {"PERFORMER", {&Texts::performer, &Track::performer}},
            {"SONGWRITER", {&Texts::songwriter, &Track::songwriter}},
            {"COMPOSER", {&Texts::composer, &Track::composer}},
            {"ARRANGER", {&Texts::arranger, &Track::arranger}},
            {"MESSAGE", {&Texts::message, &Track::message}},
            {"CATALOG", {&Texts::upc, nullptr}},
            {"ISRC", {nullptr, &Track::isrc}},
        };
        for (const auto &[name, members] : fields) {
            if (command != QLatin1String(name))
                continue;
            const auto [discMember, trackMember] = members;
            if (track == 0 && discMember)
                t.*discMember = value;
            else if (track > 0 && trackMember)
                t.tracks[track - t.firstTrack].*trackMember = value;
        }
    }
    if (!isUpc(t.upc))
        t.upc.clear();
    for (Track &tr : t.tracks) {
        if (!isIsrc(tr.isrc))
            tr.isrc.clear();
    }
    t.language = 0x09;
    return t;
}

bool isIsrc(const QString &text)
{
    static const QRegularExpression isrc(QStringLiteral("^[A-Z]{2}[0-9A-Z]{3}[0-9]{7}$"));
    return isrc.match(text).hasMatch();
}

} // namespace CdText
