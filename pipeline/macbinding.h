#pragma once

#include "pipeline/pcmexception.h"
#include "pipeline/runtimelibrary.h"

#include <QString>

#include <cstdint>
#include <memory>

// Run-time binding of the Monkey's Audio compressor libMACDll.so. The library
// is opened by plain name and never linked, so a machine without it runs the
// program without APE output.
namespace Mac {

// The file name the dynamic loader is asked for (found through the program's
// RPATH in the build, the system's library path when installed).
inline constexpr const char *LibraryFileName = "libMACDll.so";

struct Api;

// One opened copy of the library with the entry points the writer calls.
using Library = RuntimeBinding<Api>;

// Loads the process-wide copy; the program calls it once at start-up.
// Returns the loaded flag.
bool LoadMACLibrary();
// The loaded flag of the process-wide copy.
bool MACLoaded();

} // namespace Mac

extern template class RuntimeBinding<Mac::Api>;

// The text of one of the library's error codes, "undefined (<code>)" for an
// unknown one.
QString MACErrorText(int32_t code);

// A failure reported by the library with an error code: "MACDll error: " and
// the code's text.
class EAPEException : public EPcmException
{
public:
    explicit EAPEException(int32_t code);
    int32_t ErrorCode() const { return m_code; }

private:
    int32_t m_code;
};

// Owns one compressor of the library (from construction to destruction) and
// the wave format record it compresses. Used by one thread at a time; the
// results are the library's own codes.
class TAPECompress
{
public:
    // Raises EAPEException when the library cannot make a compressor.
    explicit TAPECompress(const Mac::Library &library);
    ~TAPECompress();
    TAPECompress(const TAPECompress &) = delete;
    TAPECompress &operator=(const TAPECompress &) = delete;

    // FillWaveFormatEx of the same library, into the record Start hands over.
    int32_t FillWaveFormatEx(int32_t sampleRate, int32_t bitsPerSample, int32_t channels);
    // Starts the file with the record FillWaveFormatEx made.
    int32_t Start(const char *fileName,
                  int32_t maxAudioBytes,
                  int32_t compressionLevel,
                  const void *headerData,
                  int32_t headerBytes);
    // The library's input buffer, and in *bytesAvailable how much fits there.
    uint8_t *LockBuffer(int32_t *bytesAvailable);
    // Hands over bytesAdded bytes written at the locked address; 0 on success.
    int32_t UnlockBuffer(int32_t bytesAdded);
    int32_t Finish(uint8_t *terminatingData, int32_t terminatingBytes, int32_t wavTerminatingBytes);

private:
    struct WaveFormat;
    const Mac::Api *m_api;
    void *m_handle = nullptr; // APE_COMPRESS_HANDLE
    int32_t m_errorCode = 0;
    std::unique_ptr<WaveFormat> m_waveFormat;
};
