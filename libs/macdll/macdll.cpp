// The exported C entry points. No exception may cross into the caller's C
// code, so each one ends here as an error code.
#include "libs/macdll/macdll.h"

#include "libs/macdll/compressor.h"

#include <new>

namespace {

Ape::Compressor *compressorOf(APE_COMPRESS_HANDLE handle)
{
    return static_cast<Ape::Compressor *>(handle);
}

template<typename Call>
int32_t guarded(Call call)
{
    try {
        return call();
    } catch (const std::bad_alloc &) {
        return MAC_ERROR_INSUFFICIENT_MEMORY;
    } catch (...) {
        return MAC_ERROR_BAD_PARAMETER;
    }
}

} // namespace

extern "C" {

int32_t FillWaveFormatEx(MACWaveFormat *format,
                         int32_t sampleRate,
                         int32_t bitsPerSample,
                         int32_t channels)
{
    if (!format)
        return MAC_ERROR_BAD_PARAMETER;
    format->wFormatTag = 1;
    format->nChannels = static_cast<uint16_t>(channels);
    format->nSamplesPerSec = static_cast<uint32_t>(sampleRate);
    format->wBitsPerSample = static_cast<uint16_t>(bitsPerSample);
    format->nBlockAlign = static_cast<uint16_t>(channels * (bitsPerSample / 8));
    format->nAvgBytesPerSec = format->nSamplesPerSec * format->nBlockAlign;
    format->cbSize = 0;
    return MAC_ERROR_SUCCESS;
}

APE_COMPRESS_HANDLE c_APECompress_Create(int32_t *errorCode)
{
    auto *compressor = new (std::nothrow) Ape::Compressor;
    if (errorCode)
        *errorCode = compressor ? MAC_ERROR_SUCCESS : MAC_ERROR_INSUFFICIENT_MEMORY;
    return compressor;
}

void c_APECompress_Destroy(APE_COMPRESS_HANDLE handle)
{
    delete compressorOf(handle);
}

int32_t c_APECompress_Start(APE_COMPRESS_HANDLE handle,
                            const char *outputFileName,
                            const MACWaveFormat *format,
                            int32_t maxAudioBytes,
                            int32_t compressionLevel,
                            const void *headerData,
                            int32_t headerBytes)
{
    if (!handle)
        return MAC_ERROR_BAD_PARAMETER;
    return guarded([&] {
        return compressorOf(handle)->start(outputFileName,
                                           format,
                                           maxAudioBytes,
                                           compressionLevel,
                                           headerData,
                                           headerBytes);
    });
}

unsigned char *c_APECompress_LockBuffer(APE_COMPRESS_HANDLE handle, int32_t *bytesAvailable)
{
    if (!handle) {
        if (bytesAvailable)
            *bytesAvailable = 0;
        return nullptr;
    }
    return compressorOf(handle)->lockBuffer(bytesAvailable);
}

int32_t c_APECompress_UnlockBuffer(APE_COMPRESS_HANDLE handle, int32_t bytesAdded, int32_t)
{
    if (!handle)
        return MAC_ERROR_BAD_PARAMETER;
    return guarded([&] { return compressorOf(handle)->unlockBuffer(bytesAdded); });
}

int32_t c_APECompress_Finish(APE_COMPRESS_HANDLE handle,
                             unsigned char *terminatingData,
                             int32_t terminatingBytes,
                             int32_t wavTerminatingBytes)
{
    if (!handle)
        return MAC_ERROR_BAD_PARAMETER;
    return guarded([&] {
        return compressorOf(handle)->finish(terminatingData, terminatingBytes, wavTerminatingBytes);
    });
}

} // extern "C"
