#pragma once

#include <QByteArray>
#include <QString>

// What the real decoders say about a sound file we wrote.
namespace TestSupport {

// ffprobe's view of a file's first stream; all empty or 0 when ffprobe
// could not read it.
struct Probe
{
    QString container;
    QString codec;
    int sampleRate = 0;
    int channels = 0;
    qint64 bitRate = 0; // the stream's bit rate, else the container's
    QString sampleFormat;
    double duration = 0; // seconds
};

Probe probe(const QString &path);

// The payload of a RIFF file's chunk ("fmt ", "data"), empty without one.
QByteArray riffChunk(const QByteArray &riff, const char *id);

// Decodes any of our outputs to interleaved 16-bit PCM with ffmpeg; empty on failure.
QByteArray ffmpegDecode(const QString &path);

} // namespace TestSupport
