#include "tests/support/mediaprobe.h"

#include "tests/support/testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

namespace TestSupport {

Probe probe(const QString &path)
{
    const ProcessResult r = run(QStringLiteral("ffprobe"),
                                {QStringLiteral("-v"),
                                 QStringLiteral("error"),
                                 QStringLiteral("-print_format"),
                                 QStringLiteral("json"),
                                 QStringLiteral("-show_streams"),
                                 QStringLiteral("-show_format"),
                                 path});
    Probe p;
    if (r.exitCode != 0)
        return p;
    const QJsonObject root = QJsonDocument::fromJson(r.out).object();
    const QJsonObject stream = root.value(QStringLiteral("streams")).toArray().at(0).toObject();
    const QJsonObject format = root.value(QStringLiteral("format")).toObject();
    p.container = format.value(QStringLiteral("format_name")).toString();
    p.codec = stream.value(QStringLiteral("codec_name")).toString();
    p.sampleRate = stream.value(QStringLiteral("sample_rate")).toString().toInt();
    p.channels = stream.value(QStringLiteral("channels")).toInt();
    p.bitRate = stream.value(QStringLiteral("bit_rate")).toString().toLongLong();
    if (p.bitRate == 0)
        p.bitRate = format.value(QStringLiteral("bit_rate")).toString().toLongLong();
    p.sampleFormat = stream.value(QStringLiteral("sample_fmt")).toString();
    p.duration = format.value(QStringLiteral("duration")).toString().toDouble();
    return p;
}

QByteArray riffChunk(const QByteArray &riff, const char *id)
{
    int at = 12;
    while (at + 8 <= riff.size()) {
        const uint32_t size = qFromLittleEndian<uint32_t>(riff.constData() + at + 4);
        if (riff.mid(at, 4) == id)
            return riff.mid(at + 8, int(size));
        at += 8 + int(size) + int(size & 1);
    }
    return {};
}

QByteArray ffmpegDecode(const QString &path)
{
    const ProcessResult r = run(QStringLiteral("ffmpeg"),
                                {QStringLiteral("-v"),
                                 QStringLiteral("error"),
                                 QStringLiteral("-i"),
                                 path,
                                 QStringLiteral("-f"),
                                 QStringLiteral("s16le"),
                                 QStringLiteral("-")});
    return r.exitCode == 0 ? r.out : QByteArray();
}

} // namespace TestSupport
