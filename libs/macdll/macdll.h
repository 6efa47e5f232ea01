#pragma once

// The C interface of libMACDll.so, our Monkey's Audio compressor: one
// compressor writes one .ape file (file version 3.99) of 8, 16 or 24-bit PCM,
// mono or stereo, at compression level 1000, 2000, 3000 or 4000.
//
// A compressor is used by one thread at a time; different compressors are
// independent. No call throws: failures are the error codes below.

#include <stdint.h>

#if defined(__GNUC__)
#define MACDLL_EXPORT __attribute__((visibility("default")))
#else
#define MACDLL_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef void *APE_COMPRESS_HANDLE;

// The 18-byte wave format record, packed as in a WAV file's "fmt " chunk.
#pragma pack(push, 1)
typedef struct MACWaveFormat
{
    uint16_t wFormatTag; // 1: integer PCM, the only kind accepted
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign; // bytes of one sample of every channel
    uint16_t wBitsPerSample;
    uint16_t cbSize;
} MACWaveFormat;
#pragma pack(pop)

enum {
    MAC_ERROR_SUCCESS = 0,
    MAC_ERROR_IO_READ = 1000,
    MAC_ERROR_IO_WRITE = 1001,
    MAC_ERROR_INVALID_INPUT_FILE = 1002,
    MAC_ERROR_INVALID_OUTPUT_FILE = 1003,
    MAC_ERROR_INPUT_FILE_TOO_LARGE = 1004,
    MAC_ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH = 1005,
    MAC_ERROR_INPUT_FILE_UNSUPPORTED_SAMPLE_RATE = 1006,
    MAC_ERROR_INPUT_FILE_UNSUPPORTED_CHANNEL_COUNT = 1007,
    MAC_ERROR_INPUT_FILE_TOO_SMALL = 1008,
    MAC_ERROR_UNSUPPORTED_FILE_TYPE = 1013,
    MAC_ERROR_INSUFFICIENT_MEMORY = 2000,
    MAC_ERROR_BAD_PARAMETER = 5000,
    MAC_ERROR_APE_COMPRESS_TOO_MUCH_DATA = 6000,
};

// Passed as the header byte count: store no WAV header; a decoder makes one.
#define MAC_CREATE_WAV_HEADER_ON_DECOMPRESSION (-1)
// Passed as the maximum audio bytes: the length is not known in advance.
#define MAC_MAX_AUDIO_BYTES_UNKNOWN (-1)

// Fills a PCM record for the given format; MAC_ERROR_BAD_PARAMETER for a
// null record, otherwise 0.
MACDLL_EXPORT int32_t FillWaveFormatEx(MACWaveFormat *format,
                                       int32_t sampleRate,
                                       int32_t bitsPerSample,
                                       int32_t channels);

// A new compressor, or null with *errorCode set (errorCode may be null).
MACDLL_EXPORT APE_COMPRESS_HANDLE c_APECompress_Create(int32_t *errorCode);
// Frees the compressor. One that was started but not finished removes the
// incomplete file it was writing (a regular file only).
MACDLL_EXPORT void c_APECompress_Destroy(APE_COMPRESS_HANDLE handle);

// Creates (truncates) the output file. maxAudioBytes is the PCM length when
// known, else MAC_MAX_AUDIO_BYTES_UNKNOWN; more audio than announced is
// refused with MAC_ERROR_APE_COMPRESS_TOO_MUCH_DATA. headerBytes of the
// source's WAV header are stored in the file, or
// MAC_CREATE_WAV_HEADER_ON_DECOMPRESSION to store none.
MACDLL_EXPORT int32_t c_APECompress_Start(APE_COMPRESS_HANDLE handle,
                                          const char *outputFileName,
                                          const MACWaveFormat *format,
                                          int32_t maxAudioBytes,
                                          int32_t compressionLevel,
                                          const void *headerData,
                                          int32_t headerBytes);

// Where the next PCM bytes go, and in *bytesAvailable how many fit there
// (at least one block after every successful unlock). Null and 0 when the
// compressor is not running.
MACDLL_EXPORT unsigned char *c_APECompress_LockBuffer(APE_COMPRESS_HANDLE handle,
                                                      int32_t *bytesAvailable);
// Takes bytesAdded bytes written at the locked address. A buffer that holds
// a whole frame is compressed and written at once; `process` is accepted for
// compatibility and changes nothing.
MACDLL_EXPORT int32_t c_APECompress_UnlockBuffer(APE_COMPRESS_HANDLE handle,
                                                 int32_t bytesAdded,
                                                 int32_t process);

// Compresses what is left, appends terminatingBytes of terminatingData (of
// which the first wavTerminatingBytes are the source's WAV tail) and writes
// the header and seek table. 0 means the file is complete; on any failure
// the file is removed. An input without a single block fails with
// MAC_ERROR_INPUT_FILE_TOO_SMALL: such a file could not be played.
MACDLL_EXPORT int32_t c_APECompress_Finish(APE_COMPRESS_HANDLE handle,
                                           unsigned char *terminatingData,
                                           int32_t terminatingBytes,
                                           int32_t wavTerminatingBytes);

#ifdef __cplusplus
}
#endif
