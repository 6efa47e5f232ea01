#pragma once

#include "pipeline/runtimelibrary.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>

// Run-time binding of libFLAC's stream encoder. The library is opened by its
// soname and never linked, so a machine without it still runs the program,
// only without FLAC output. libFLAC's own headers stay inside the .cpp.
namespace Flac {

// The soname the program asks the dynamic loader for.
inline constexpr const char *LibraryFileName = "libFLAC.so.12";

struct Api;

// One opened copy of libFLAC with the entry points the encoder calls.
using Library = RuntimeBinding<Api>;

// Loads the process-wide copy; the program calls it once at start-up.
// Returns the loaded flag.
bool LoadFLACLibrary();
// The loaded flag of the process-wide copy.
bool FLACLoaded();

// Where the encoder's output goes. Each call either succeeds or throws; the
// encoder turns a throw into libFLAC's error status and keeps the text.
class EncoderSink
{
public:
    virtual ~EncoderSink() = default;
    virtual void StreamWriteHook(const uint8_t *data, std::size_t bytes) = 0;
    virtual void StreamSeekHook(uint64_t absoluteOffset) = 0;
    virtual uint64_t StreamTellHook() = 0;
};

// Owns one FLAC__StreamEncoder. Setters must come before init() and return
// false when libFLAC refuses them (it does only after init). Used by one
// thread at a time; the sink's calls run inside init(), process() and
// finish(), on the calling thread.
class Encoder
{
public:
    // isValid() is false when libFLAC could not allocate an encoder.
    explicit Encoder(const Library &library);
    ~Encoder();
    Encoder(const Encoder &) = delete;
    Encoder &operator=(const Encoder &) = delete;

    bool isValid() const;

    bool setVerify(bool value);
    bool setChannels(unsigned value);
    bool setBitsPerSample(unsigned value);
    bool setSampleRate(unsigned value);
    bool setDoMidSideStereo(bool value);
    bool setLooseMidSideStereo(bool value);
    // libFLAC's preset 0 ... 8, the settings of `flac -<n>`; the setters
    // after it change single ones of them.
    bool setCompressionLevel(unsigned value);
    bool setBlockSize(unsigned value);
    bool setMaxLpcOrder(unsigned value);
    bool setQlpCoeffPrecision(unsigned value);
    bool setDoQlpCoeffPrecSearch(bool value);
    bool setMinResidualPartitionOrder(unsigned value);
    bool setMaxResidualPartitionOrder(unsigned value);
    bool setDoExhaustiveModelSearch(bool value);
    bool setTotalSamplesEstimate(uint64_t value);

    // Starts the stream into sink (which must outlive the encoder's use);
    // false with initStatusText() set when libFLAC refuses the settings.
    bool init(EncoderSink *sink);
    // The block size in frames that init() settled on (libFLAC picks one for 0).
    unsigned blockSize() const;
    // frames: samples per channel in the interleaved buffer.
    bool process(const int32_t *interleaved, unsigned frames);
    // Flushes the last block and rewrites STREAMINFO through the seek hook; false
    // when anything in the stream failed.
    bool finish();

    // libFLAC's name for the encoder's state, e.g. "FLAC__STREAM_ENCODER_CLIENT_ERROR".
    std::string stateText() const;
    std::string initStatusText() const { return m_initStatus; }
    // The text of the first exception the sink threw, empty if none.
    const std::string &sinkError() const { return m_sinkError; }

private:
    struct Callbacks;
    const Api *m_api;
    void *m_encoder; // FLAC__StreamEncoder *, typed in the .cpp
    EncoderSink *m_sink = nullptr;
    std::string m_initStatus;
    std::string m_sinkError;
};

} // namespace Flac

extern template class RuntimeBinding<Flac::Api>;
