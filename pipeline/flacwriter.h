#pragma once

#include "pipeline/flacbinding.h"
#include "pipeline/pcmoutput.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A file sink that encodes its Input into a FLAC file with libFLAC, one FLAC
// block of input per step. FileMode is always foRewrite.
//
// Threads: the properties are set on the GUI thread while the writer is idle
// and read by PrepareOutput on the thread that calls StartOutput; the steps,
// the stream hooks and FinishOutput run on the worker.
//
// A run that fails, and a run cut short by destroying the writer, leave no
// file behind: only a finished encode is kept under FileName. A run ended by
// RequestStop is finished properly and keeps the audio written so far.
class TFLACOut : public TPcmFileOut, private Flac::EncoderSink
{
public:
    // Uses the process-wide libFLAC; raises EPcmException
    // "libFLAC.so.12 library could not be loaded." when it is missing.
    explicit TFLACOut(QObject *owner = nullptr, const QString &name = {});
    // The same with a given copy of the library (which must outlive the writer).
    explicit TFLACOut(const Flac::Library &library,
                      QObject *owner = nullptr,
                      const QString &name = {});
    ~TFLACOut() override;

    bool Verify() const { return m_verify; }
    void SetVerify(bool value) { m_verify = value; }

    // libFLAC's compression preset 0 ... 8, encoded exactly as `flac -<n>`
    // encodes (its block size, stereo decorrelation, apodization, LPC order
    // and partition orders); -1 when the properties below govern. Setting a
    // level also sets the properties to what it stands for; changing one of
    // them afterwards ends the preset. Other values are ignored.
    int CompressionLevel() const { return m_compressionLevel; }
    void SetCompressionLevel(int value);

    // Frames per FLAC block; 0 lets libFLAC choose, and it refuses sizes
    // outside 16..4608 at 44.1 kHz (the start then fails).
    uint16_t BlockSize() const { return m_blockSize; }
    void SetBlockSize(uint16_t value) { setOwn(m_blockSize, value); }
    bool BestModelSearch() const { return m_bestModelSearch; }
    // true also turns mid-side stereo on and loose mid-side off.
    void SetBestModelSearch(bool value);
    bool EnableMidSideStereo() const { return m_enableMidSideStereo; }
    void SetEnableMidSideStereo(bool value) { setOwn(m_enableMidSideStereo, value); }
    bool EnableLooseMidSideStereo() const { return m_enableLooseMidSideStereo; }
    // true also turns mid-side stereo on.
    void SetEnableLooseMidSideStereo(bool value);
    // 0 restricts libFLAC to its fixed predictors.
    uint16_t MaxLPCOrder() const { return m_maxLPCOrder; }
    void SetMaxLPCOrder(uint16_t value) { setOwn(m_maxLPCOrder, value); }
    // 0 lets libFLAC choose; PrepareOutput lowers it so that it plus the
    // input's bits per sample stays within 31.
    uint16_t QLPCoeffPrecision() const { return m_qlpCoeffPrecision; }
    void SetQLPCoeffPrecision(uint16_t value) { setOwn(m_qlpCoeffPrecision, value); }
    bool QLPCoeffPrecisionSearch() const { return m_qlpCoeffPrecisionSearch; }
    void SetQLPCoeffPrecisionSearch(bool value) { setOwn(m_qlpCoeffPrecisionSearch, value); }
    uint16_t MinResidualPartitionOrder() const { return m_minResidualPartitionOrder; }
    void SetMinResidualPartitionOrder(uint16_t value)
    {
        setOwn(m_minResidualPartitionOrder, value);
    }
    uint16_t MaxResidualPartitionOrder() const { return m_maxResidualPartitionOrder; }
    void SetMaxResidualPartitionOrder(uint16_t value)
    {
        setOwn(m_maxResidualPartitionOrder, value);
    }

    // The input returned 0 bytes in the current or last run.
    bool EndOfInput() const { return m_endOfInput; }

protected:
    void PrepareOutput() override;
    bool WriteStep(bool abort) override;
    void FinishOutput() override;

private:
    void StreamWriteHook(const uint8_t *data, std::size_t bytes) override;
    void StreamSeekHook(uint64_t absoluteOffset) override;
    uint64_t StreamTellHook() override;

    // A property changed to another value than the preset's ends the preset.
    template<typename T>
    void setOwn(T &property, T value)
    {
        if (property != value)
            m_compressionLevel = -1;
        property = value;
    }
    void configureEncoder(int32_t bits, int32_t channels, int32_t rate);
    int32_t fillBlock();
    void widenSamples(int32_t bytes);
    // Closes and deletes a file that does not hold a finished encode.
    void discardOutput();
    void endRunRead();

    const Flac::Library &m_library;

    // Settings: GUI thread.
    bool m_verify = false;
    int m_compressionLevel = -1;
    uint16_t m_blockSize = 4608;
    bool m_bestModelSearch = false;
    bool m_enableMidSideStereo = true;
    uint16_t m_maxLPCOrder = 0;
    bool m_enableLooseMidSideStereo = false;
    uint16_t m_qlpCoeffPrecision = 0;
    bool m_qlpCoeffPrecisionSearch = false;
    uint16_t m_maxResidualPartitionOrder = 0;
    uint16_t m_minResidualPartitionOrder = 0;

    // State of one run: made by PrepareOutput, then the worker's until
    // FinishOutput releases it.
    std::unique_ptr<Flac::Encoder> m_encoder;
    std::vector<uint8_t> m_blockBuffer;
    std::vector<int32_t> m_samples;
    int32_t m_bytesPerSample = 0;
    int32_t m_channels = 0;
    std::atomic<bool> m_endOfInput{false}; // also read by the GUI thread
    bool m_runFailed = false;
    bool m_inputOpen = false;
};
