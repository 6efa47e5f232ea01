#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>

// What SDL's disk driver wrote: the bytes a play handed to the sound output,
// each new play of the library writing a new file.
namespace PlayedAudio {

// How far `played` is `expected` (from its byte `from` on), and whether
// what follows that is silence (the output's tail after the end or a stop).
struct Match
{
    qsizetype bytes = 0;
    bool silentAfter = false;
};

inline Match compare(const QByteArray &played, const QByteArray &expected, qsizetype from = 0)
{
    Match m;
    const qsizetype n = qMin(played.size(), expected.size() - from);
    while (m.bytes < n && played[m.bytes] == expected[from + m.bytes])
        ++m.bytes;
    m.silentAfter = true;
    for (qsizetype i = m.bytes; i < played.size(); ++i) {
        if (played[i] != 0) {
            m.silentAfter = false;
            break;
        }
    }
    return m;
}

// The bytes of a play, without the silent buffers SDL writes while it
// opens the output, before the player's first call: the player asks for
// buffers of 2048 sample pairs.
inline QByteArray read(const QString &path)
{
    constexpr qsizetype BufferBytes = 2048 * 4;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = f.readAll();
    qsizetype start = 0;
    while (start + BufferBytes <= bytes.size()
           && bytes.mid(start, BufferBytes).count('\0') == BufferBytes)
        start += BufferBytes;
    return bytes.mid(start);
}

} // namespace PlayedAudio
