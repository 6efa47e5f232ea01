#pragma once

#include <QByteArray>

#include <cstdint>

// Generated PCM for the tests, interleaved little-endian: 8-bit samples
// unsigned, 16- and 24-bit signed.
namespace TestSupport {

// Tones and a little noise: a predictor has something to predict, every
// sample differs (so a lost, doubled or shifted block shows), and the
// channels share most of their signal, as music does. `seed` changes only
// the noise. Peaks stay below 90% of full scale.
QByteArray tones(int frames, int channels, int bits = 16, uint32_t seed = 1);

// White noise over the whole range of the sample size: every value is as
// likely as any other, the worst case for a compressor.
QByteArray noise(int frames, int channels, int bits = 16, uint32_t seed = 1);

// Little-endian fields of file headers.
uint32_t le16At(const QByteArray &bytes, int at);
uint32_t le32At(const QByteArray &bytes, int at);
void putLe32(QByteArray &bytes, int at, uint32_t value);

} // namespace TestSupport
