#pragma once

#include "pipeline/macbinding.h"
#include "pipeline/pcmoutput.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

// A file sink that compresses its Input into an APE (Monkey's Audio) file
// through libMACDll.so, which opens and writes the file itself. Each step
// reads up to 64 KiB and hands it to the library in lock/unlock rounds.
// FileMode is always foRewrite.
//
// Threads: the properties are set on the GUI thread while the writer is idle
// and read by PrepareOutput on the thread that calls StartOutput; the steps
// and FinishOutput run on the worker.
//
// A run ends in OnDone only when the library completed the file; a failure
// at any point, also in its final write, ends in OnThreadException and
// leaves no file behind. A run ended by RequestStop keeps the audio so far.
class TMACOut : public TPcmFileOut
{
public:
    // Bytes read from the input per step.
    static constexpr int32_t TransferBytes = 65536;

    // Uses the process-wide library; raises EPcmException
    // "libMACDll.so library could not be loaded." when it is missing.
    explicit TMACOut(QObject *owner = nullptr, const QString &name = {});
    // The same with a given copy of the library (which must outlive the writer).
    explicit TMACOut(const Mac::Library &library,
                     QObject *owner = nullptr,
                     const QString &name = {});
    ~TMACOut() override;

    int32_t CompressionLevel() const { return m_compressionLevel; }
    // 1000, 2000, 3000 and 4000 are kept; anything else becomes 2000.
    void SetCompressionLevel(int32_t value);
    // The PCM length announced to the library, -1 for unknown.
    int32_t MaxAudioBytes() const { return m_maxAudioBytes; }
    void SetMaxAudioBytes(int32_t value) { m_maxAudioBytes = value; }

    // The input returned 0 bytes in the current or last run.
    bool EndOfInput() const { return m_endOfInput; }

protected:
    void PrepareOutput() override;
    bool WriteStep(bool abort) override;
    void FinishOutput() override;

private:
    void handOver(int32_t bytes);
    void endRunRead();

    const Mac::Library &m_library;

    // Settings: GUI thread.
    int32_t m_compressionLevel = 2000;
    int32_t m_maxAudioBytes = -1;

    // State of one run: made by PrepareOutput, then the worker's until
    // FinishOutput releases it.
    std::vector<uint8_t> m_transfer;
    std::unique_ptr<TAPECompress> m_compressor;
    std::atomic<bool> m_endOfInput{false};
    bool m_runFailed = false;
    bool m_inputOpen = false;
};
