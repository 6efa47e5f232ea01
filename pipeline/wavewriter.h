#pragma once

#include "pipeline/pcmoutput.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <memory>

namespace ImaAdpcm {
struct TIMAEncoderState;
}

enum TWavType { wtUnsupported = 0, wtPCM = 1, wtDVIADPCM = 2, wtMSADPCM = 3, wtACM = 4 };

// What the scan of a WAV file to be appended to found. All offsets are file offsets.
struct TExistingWaveInfo
{
    uint32_t SampleRate = 0;
    uint16_t Channels = 0;
    uint16_t BitsPerSample = 0;
    uint32_t FactSamples = 0;
    uint32_t FactOffset = 0; // the "fact" body
    uint32_t DataSize = 0;
    uint32_t DataSizeOffset = 0;        // the "data" length field
    TWavType TypeFound = wtUnsupported; // wtUnsupported: cannot be appended to
    uint32_t DataStart = 0;
    uint16_t BlockAlign = 0;
};

// Writes its input as a RIFF/WAVE file, plain PCM (44-byte header) or IMA
// ADPCM (60-byte header), or appends to a WAV file of the same format.
//
// Threads: setters and PrepareOutput on the GUI thread, steps and
// FinishOutput on the worker (see TPcmOutput). A failed read or write ends
// the run through OnThreadException; the header then still states the
// length of what reached the file.
class TWaveOut : public TPcmFileOut
{
public:
    static constexpr int PcmChunkBytes = 16384;
    static constexpr int ScanWindowBytes = 4096;

    explicit TWaveOut(QObject *owner = nullptr, const QString &name = {});
    ~TWaveOut() override;

    TWavType WavType() const { return m_wavType; }
    // Ignored while busy; only wtPCM and wtDVIADPCM are taken.
    void SetWavType(TWavType value);
    uint16_t BlockSize() const { return m_blockSize; }
    // Ignored while busy; only non-zero multiples of 4 are taken.
    void SetBlockSize(uint16_t value);
    void SetFileMode(TFileOutputMode value) override;

    const TExistingWaveInfo &ExistingInfo() const { return m_existing; }

    static QByteArray BuildPCMHeader(int32_t size,
                                     int32_t channels,
                                     int32_t sampleRate,
                                     int32_t bitsPerSample);
    static QByteArray BuildIMAADPCMHeader(int32_t size,
                                          int32_t channels,
                                          int32_t sampleRate,
                                          uint16_t blockSize);
    // Scans the first bytes of a file (at most ScanWindowBytes of them, as
    // read from its start) of the given total length. Never reads outside
    // head. A file whose "data" chunk is not its last cannot be appended to.
    static TExistingWaveInfo ScanWaveHeader(const QByteArray &head, int64_t fileLength);
    // True when the bytes match, letters in either case.
    static bool SameChunkId(const char *a, const char *b);

protected:
    bool WriteStep(bool abort) override;
    void FinishOutput() override;
    void PrepareOutput() override;

private:
    void ScanExistingHeader();
    void prepareStream(bool appending);
    void refuse(const char *message);
    bool writePcmStep();
    bool writeAdpcmStep();
    void patchHeader(TFileStream &stream);

    // Worker-owned while running, GUI-owned while idle.
    bool EndOfInput = false;
    std::array<char, PcmChunkBytes> m_pcmBuffer{};
    TWavType m_wavType = wtPCM;
    std::unique_ptr<ImaAdpcm::TIMAEncoderState> m_encoder;
    TExistingWaveInfo m_existing;
    uint16_t m_blockSize = 512;
    bool m_appending = false; // this run continues an existing file
};
