#include "pipeline/flacbinding.h"

#include <FLAC/stream_encoder.h>

#include <exception>

namespace Flac {

// The header supplies only the types: every pointer is resolved by name at
// run time and nothing here refers to libFLAC's symbols at link time.
struct Api
{
    static constexpr const char *fileName = LibraryFileName;

#define SONDREL_FLAC_ENTRIES(X) \
    X(FLAC__stream_encoder_new) \
    X(FLAC__stream_encoder_delete) \
    X(FLAC__stream_encoder_set_verify) \
    X(FLAC__stream_encoder_set_channels) \
    X(FLAC__stream_encoder_set_bits_per_sample) \
    X(FLAC__stream_encoder_set_sample_rate) \
    X(FLAC__stream_encoder_set_do_mid_side_stereo) \
    X(FLAC__stream_encoder_set_loose_mid_side_stereo) \
    X(FLAC__stream_encoder_set_compression_level) \
    X(FLAC__stream_encoder_set_blocksize) \
    X(FLAC__stream_encoder_set_max_lpc_order) \
    X(FLAC__stream_encoder_set_qlp_coeff_precision) \
    X(FLAC__stream_encoder_set_do_qlp_coeff_prec_search) \
    X(FLAC__stream_encoder_set_min_residual_partition_order) \
    X(FLAC__stream_encoder_set_max_residual_partition_order) \
    X(FLAC__stream_encoder_set_do_exhaustive_model_search) \
    X(FLAC__stream_encoder_set_total_samples_estimate) \
    X(FLAC__stream_encoder_get_state) \
    X(FLAC__stream_encoder_get_blocksize) \
    X(FLAC__stream_encoder_init_stream) \
    X(FLAC__stream_encoder_process_interleaved) \
    X(FLAC__stream_encoder_finish)
    SONDREL_FLAC_ENTRIES(SONDREL_ENTRY_POINT)

    // Exported string tables; optional, the numbers are shown without them.
    const char *const *stateStrings = nullptr;
    const char *const *initStatusStrings = nullptr;

    void resolve(RuntimeLibrary &library)
    {
#define SONDREL_FLAC_RESOLVE(name) library.require(name, #name);
        SONDREL_FLAC_ENTRIES(SONDREL_FLAC_RESOLVE)
#undef SONDREL_FLAC_RESOLVE
        library.optional(stateStrings, "FLAC__StreamEncoderStateString");
        library.optional(initStatusStrings, "FLAC__StreamEncoderInitStatusString");
    }
};

namespace {

std::string numbered(const char *const *table, std::size_t count, unsigned value, const char *prefix)
{
    if (table && value < count)
        return table[value];
    return std::string(prefix) + std::to_string(value);
}

} // namespace

bool LoadFLACLibrary()
{
    return Library::instance().isLoaded();
}

bool FLACLoaded()
{
    return Library::instance().isLoaded();
}

// C entry points for libFLAC; client_data is the Encoder. No exception may
// cross back into C code, so each one becomes an error status and its text
// is kept for the caller.
struct Encoder::Callbacks
{
    static void keep(Encoder *self, const char *text)
    {
        if (self->m_sinkError.empty())
            self->m_sinkError = text;
    }

    template<typename Status, typename Call>
    static Status guarded(void *clientData, Status ok, Status failed, const char *fallback, Call call)
    {
        auto self = static_cast<Encoder *>(clientData);
        try {
            call(*self->m_sink);
            return ok;
        } catch (const std::exception &e) {
            keep(self, e.what());
        } catch (...) {
            keep(self, fallback);
        }
        return failed;
    }

    static FLAC__StreamEncoderWriteStatus write(const FLAC__StreamEncoder *,
                                                const FLAC__byte buffer[],
                                                size_t bytes,
                                                uint32_t,
                                                uint32_t,
                                                void *clientData)
    {
        return guarded(clientData,
                       FLAC__STREAM_ENCODER_WRITE_STATUS_OK,
                       FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR,
                       "Writing the FLAC stream failed.",
                       [&](EncoderSink &sink) { sink.StreamWriteHook(buffer, bytes); });
    }

    static FLAC__StreamEncoderSeekStatus seek(const FLAC__StreamEncoder *,
                                              FLAC__uint64 offset,
                                              void *clientData)
    {
        // ERROR, not UNSUPPORTED: libFLAC silently skips the STREAMINFO
        // rewrite for any other status, and the file would look finished.
        return guarded(clientData,
                       FLAC__STREAM_ENCODER_SEEK_STATUS_OK,
                       FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR,
                       "Seeking in the FLAC stream failed.",
                       [&](EncoderSink &sink) { sink.StreamSeekHook(offset); });
    }

    static FLAC__StreamEncoderTellStatus tell(const FLAC__StreamEncoder *,
                                              FLAC__uint64 *offset,
                                              void *clientData)
    {
        return guarded(clientData,
                       FLAC__STREAM_ENCODER_TELL_STATUS_OK,
                       FLAC__STREAM_ENCODER_TELL_STATUS_ERROR,
                       "Reading the FLAC stream position failed.",
                       [&](EncoderSink &sink) { *offset = sink.StreamTellHook(); });
    }
};

namespace {
FLAC__StreamEncoder *typed(void *encoder)
{
    return static_cast<FLAC__StreamEncoder *>(encoder);
}
} // namespace

Encoder::Encoder(const Library &library)
    : m_api(library.api())
    , m_encoder(m_api ? m_api->FLAC__stream_encoder_new() : nullptr)
{}

Encoder::~Encoder()
{
    // delete also finishes an encoder that is still open; its result is of no
    // use to anybody at this point, and the owner calls finish() itself.
    if (m_encoder)
        m_api->FLAC__stream_encoder_delete(typed(m_encoder));
}

bool Encoder::isValid() const
{
    return m_encoder != nullptr;
}

#define SONDREL_FLAC_SETTER(method, type, entry, cast) \
    bool Encoder::method(type value) \
    { \
        return m_encoder && m_api->entry(typed(m_encoder), cast(value)); \
    }
#define SONDREL_FLAC_BOOL(v) static_cast<FLAC__bool>((v) ? 1 : 0)
#define SONDREL_FLAC_UINT(v) static_cast<uint32_t>(v)

SONDREL_FLAC_SETTER(setVerify, bool, FLAC__stream_encoder_set_verify, SONDREL_FLAC_BOOL)
SONDREL_FLAC_SETTER(setChannels, unsigned, FLAC__stream_encoder_set_channels, SONDREL_FLAC_UINT)
SONDREL_FLAC_SETTER(setBitsPerSample,
                    unsigned,
                    FLAC__stream_encoder_set_bits_per_sample,
                    SONDREL_FLAC_UINT)
SONDREL_FLAC_SETTER(setSampleRate, unsigned, FLAC__stream_encoder_set_sample_rate, SONDREL_FLAC_UINT)
SONDREL_FLAC_SETTER(setDoMidSideStereo,
                    bool,
                    FLAC__stream_encoder_set_do_mid_side_stereo,
                    SONDREL_FLAC_BOOL)
SONDREL_FLAC_SETTER(setLooseMidSideStereo,
                    bool,
                    FLAC__stream_encoder_set_loose_mid_side_stereo,
                    SONDREL_FLAC_BOOL)
SONDREL_FLAC_SETTER(setBlockSize, unsigned, FLAC__stream_encoder_set_blocksize, SONDREL_FLAC_UINT)
SONDREL_FLAC_SETTER(setCompressionLevel,
                    unsigned,
                    FLAC__stream_encoder_set_compression_level,
                    SONDREL_FLAC_UINT)
SONDREL_FLAC_SETTER(setMaxLpcOrder,
                    unsigned,
                    FLAC__stream_encoder_set_max_lpc_order,
                    SONDREL_FLAC_UINT)
SONDREL_FLAC_SETTER(setQlpCoeffPrecision,
                    unsigned,
                    FLAC__stream_encoder_set_qlp_coeff_precision,
                    SONDREL_FLAC_UINT)
SONDREL_FLAC_SETTER(setDoQlpCoeffPrecSearch,
                    bool,
                    FLAC__stream_encoder_set_do_qlp_coeff_prec_search,
                    SONDREL_FLAC_BOOL)
SONDREL_FLAC_SETTER(setMinResidualPartitionOrder,
                    unsigned,
                    FLAC__stream_encoder_set_min_residual_partition_order,
                    SONDREL_FLAC_UINT)
SONDREL_FLAC_SETTER(setMaxResidualPartitionOrder,
                    unsigned,
                    FLAC__stream_encoder_set_max_residual_partition_order,
                    SONDREL_FLAC_UINT)
SONDREL_FLAC_SETTER(setDoExhaustiveModelSearch,
                    bool,
                    FLAC__stream_encoder_set_do_exhaustive_model_search,
                    SONDREL_FLAC_BOOL)
SONDREL_FLAC_SETTER(setTotalSamplesEstimate,
                    uint64_t,
                    FLAC__stream_encoder_set_total_samples_estimate,
                    static_cast<FLAC__uint64>)

#undef SONDREL_FLAC_SETTER
#undef SONDREL_FLAC_BOOL
#undef SONDREL_FLAC_UINT

bool Encoder::init(EncoderSink *sink)
{
    if (!m_encoder || !sink) {
        m_initStatus = "no encoder";
        return false;
    }
    m_sink = sink;
    m_sinkError.clear();
    const FLAC__StreamEncoderInitStatus status = m_api->FLAC__stream_encoder_init_stream(
        typed(m_encoder), &Callbacks::write, &Callbacks::seek, &Callbacks::tell, nullptr, this);
    if (status == FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
        m_initStatus.clear();
        return true;
    }
    m_initStatus = numbered(m_api->initStatusStrings,
                            FLAC__STREAM_ENCODER_INIT_STATUS_ALREADY_INITIALIZED + 1u,
                            static_cast<unsigned>(status),
                            "init status ");
    if (status == FLAC__STREAM_ENCODER_INIT_STATUS_ENCODER_ERROR)
        m_initStatus += " (" + stateText() + ")";
    return false;
}

unsigned Encoder::blockSize() const
{
    return m_encoder ? m_api->FLAC__stream_encoder_get_blocksize(typed(m_encoder)) : 0;
}

bool Encoder::process(const int32_t *interleaved, unsigned frames)
{
    return m_encoder
           && m_api->FLAC__stream_encoder_process_interleaved(typed(m_encoder), interleaved, frames);
}

bool Encoder::finish()
{
    return m_encoder && m_api->FLAC__stream_encoder_finish(typed(m_encoder));
}

std::string Encoder::stateText() const
{
    if (!m_encoder)
        return "no encoder";
    const auto state = m_api->FLAC__stream_encoder_get_state(typed(m_encoder));
    return numbered(m_api->stateStrings,
                    FLAC__STREAM_ENCODER_MEMORY_ALLOCATION_ERROR + 1u,
                    static_cast<unsigned>(state),
                    "encoder state ");
}

} // namespace Flac

template class RuntimeBinding<Flac::Api>;
