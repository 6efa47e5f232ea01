// A stand-in for libMACDll.so that compresses nothing: the output file gets
// the PCM exactly as handed over, and "<output>.log" one line per call, so a
// test sees the lock/unlock rounds and their order. Its behaviour is read
// from the environment when a compressor is created:
//   FAKE_MAC_LOCK_BYTES        bytes offered per lock (default 1000)
//   FAKE_MAC_CREATE_ERROR      error code that c_APECompress_Create reports
//   FAKE_MAC_START_RESULT      result of c_APECompress_Start
//   FAKE_MAC_UNLOCK_FAIL_AFTER bytes accepted before unlocks return 1001
//   FAKE_MAC_FINISH_RESULT     result of c_APECompress_Finish
#include "libs/macdll/macdll.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

int32_t setting(const char *name, int32_t fallback)
{
    const char *value = std::getenv(name);
    return value && *value ? static_cast<int32_t>(std::strtol(value, nullptr, 10)) : fallback;
}

struct FakeCompressor
{
    int32_t lockBytes = setting("FAKE_MAC_LOCK_BYTES", 1000);
    int32_t startResult = setting("FAKE_MAC_START_RESULT", 0);
    int32_t unlockFailAfter = setting("FAKE_MAC_UNLOCK_FAIL_AFTER", -1);
    int32_t finishResult = setting("FAKE_MAC_FINISH_RESULT", 0);
    std::vector<unsigned char> buffer;
    int64_t received = 0;
    std::ofstream out;
    std::ofstream log;

    void note(const std::string &line)
    {
        log << line << '\n';
        log.flush();
    }
};

FakeCompressor *fake(APE_COMPRESS_HANDLE handle)
{
    return static_cast<FakeCompressor *>(handle);
}

} // namespace

extern "C" {

int32_t FillWaveFormatEx(MACWaveFormat *format,
                         int32_t sampleRate,
                         int32_t bitsPerSample,
                         int32_t channels)
{
    format->wFormatTag = 1;
    format->nChannels = static_cast<uint16_t>(channels);
    format->nSamplesPerSec = static_cast<uint32_t>(sampleRate);
    format->wBitsPerSample = static_cast<uint16_t>(bitsPerSample);
    format->nBlockAlign = static_cast<uint16_t>(channels * bitsPerSample / 8);
    format->nAvgBytesPerSec = format->nSamplesPerSec * format->nBlockAlign;
    format->cbSize = 0;
    return 0;
}

APE_COMPRESS_HANDLE c_APECompress_Create(int32_t *errorCode)
{
    *errorCode = setting("FAKE_MAC_CREATE_ERROR", 0);
    return *errorCode ? nullptr : new FakeCompressor;
}

void c_APECompress_Destroy(APE_COMPRESS_HANDLE handle)
{
    if (FakeCompressor *c = fake(handle)) {
        c->note("destroy");
        delete c;
    }
}

int32_t c_APECompress_Start(APE_COMPRESS_HANDLE handle,
                            const char *outputFileName,
                            const MACWaveFormat *format,
                            int32_t maxAudioBytes,
                            int32_t compressionLevel,
                            const void *headerData,
                            int32_t headerBytes)
{
    FakeCompressor *c = fake(handle);
    c->out.open(outputFileName, std::ios::binary | std::ios::trunc);
    c->log.open(std::string(outputFileName) + ".log", std::ios::trunc);
    c->note("start rate=" + std::to_string(format->nSamplesPerSec)
            + " bits=" + std::to_string(format->wBitsPerSample) + " channels="
            + std::to_string(format->nChannels) + " align=" + std::to_string(format->nBlockAlign)
            + " max=" + std::to_string(maxAudioBytes) + " level=" + std::to_string(compressionLevel)
            + " header=" + (headerData ? "set" : "null") + "/" + std::to_string(headerBytes));
    c->buffer.assign(static_cast<size_t>(c->lockBytes > 0 ? c->lockBytes : 1), 0);
    return c->startResult;
}

unsigned char *c_APECompress_LockBuffer(APE_COMPRESS_HANDLE handle, int32_t *bytesAvailable)
{
    FakeCompressor *c = fake(handle);
    *bytesAvailable = c->lockBytes;
    c->note("lock " + std::to_string(c->lockBytes));
    return c->buffer.data();
}

int32_t c_APECompress_UnlockBuffer(APE_COMPRESS_HANDLE handle, int32_t bytesAdded, int32_t process)
{
    FakeCompressor *c = fake(handle);
    c->note("unlock " + std::to_string(bytesAdded) + " process=" + std::to_string(process));
    if (c->unlockFailAfter >= 0 && c->received + bytesAdded > c->unlockFailAfter)
        return 1001;
    c->out.write(reinterpret_cast<const char *>(c->buffer.data()), bytesAdded);
    c->received += bytesAdded;
    return 0;
}

int32_t c_APECompress_Finish(APE_COMPRESS_HANDLE handle,
                             unsigned char *terminatingData,
                             int32_t terminatingBytes,
                             int32_t wavTerminatingBytes)
{
    FakeCompressor *c = fake(handle);
    c->note(std::string("finish ") + (terminatingData ? "set" : "null") + " "
            + std::to_string(terminatingBytes) + " " + std::to_string(wavTerminatingBytes));
    c->out.close();
    return c->finishResult;
}

} // extern "C"
