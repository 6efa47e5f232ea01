#pragma once

#include "tools/discgen/discimage.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cmath>
#include <cstdint>
#include <functional>

// PCM WAV inputs for the conversion tests, made of generated track audio.
namespace WaveFixture {

inline void put16(QByteArray &b, uint32_t v)
{
    b.append(char(v & 0xff)).append(char((v >> 8) & 0xff));
}

inline void put32(QByteArray &b, uint32_t v)
{
    put16(b, v & 0xffff);
    put16(b, v >> 16);
}

// A 16-bit PCM WAV of the given samples (frame index -> left, right);
// returns its sample bytes.
inline QByteArray writeWaveOf(const QString &path,
                              int frames,
                              int channels,
                              int rate,
                              const std::function<void(int, int16_t &, int16_t &)> &sample)
{
    QByteArray pcm;
    for (int i = 0; i < frames; ++i) {
        int16_t left, right;
        sample(i, left, right);
        put16(pcm, uint16_t(left));
        if (channels == 2)
            put16(pcm, uint16_t(right));
    }
    QByteArray file("RIFF");
    put32(file, uint32_t(36 + pcm.size()));
    file.append("WAVEfmt ");
    put32(file, 16);
    put16(file, 1);
    put16(file, uint32_t(channels));
    put32(file, uint32_t(rate));
    put32(file, uint32_t(rate * channels * 2));
    put16(file, uint32_t(channels * 2));
    put16(file, 16);
    file.append("data");
    put32(file, uint32_t(pcm.size()));
    file.append(pcm);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size())
        qFatal("cannot write %s", qPrintable(path));
    return pcm;
}

// The same of generated track audio.
inline QByteArray writeWave(const QString &path, int frames, int channels = 2, int rate = 44100)
{
    return writeWaveOf(path, frames, channels, rate, [](int i, int16_t &left, int16_t &right) {
        DiscGen::audioSample(3, uint64_t(i), left, right);
    });
}

} // namespace WaveFixture
