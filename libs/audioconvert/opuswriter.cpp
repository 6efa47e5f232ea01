#include "libs/audioconvert/formatwriters.h"

#include <opusenc.h>

#include <dlfcn.h>

#include <mutex>

namespace AudioConvertLib {

namespace {

// libopusenc is opened when the first Opus conversion starts, never linked:
// a machine without it converts every other format, and an Opus conversion
// there ends with acErrEncoderMissing instead of the program not starting.
// The header supplies only the types.
struct OpusEncApi
{
#define SONDREL_OPUSENC_ENTRIES(X) \
    X(ope_comments_create) \
    X(ope_comments_destroy) \
    X(ope_encoder_create_callbacks) \
    X(ope_encoder_ctl) \
    X(ope_encoder_write) \
    X(ope_encoder_drain) \
    X(ope_encoder_destroy)
// NOLINTNEXTLINE(bugprone-macro-parentheses): the argument is a name, not an expression
#define SONDREL_OPUSENC_DECLARE(name) decltype(&::name) name = nullptr;
    SONDREL_OPUSENC_ENTRIES(SONDREL_OPUSENC_DECLARE)
#undef SONDREL_OPUSENC_DECLARE

    // Null unless the library opened and every entry point was found.
    static const OpusEncApi *instance()
    {
        static std::once_flag once;
        static const OpusEncApi *api = nullptr; // kept open until the process ends
        std::call_once(once, [] {
            void *library = dlopen(OpusEncoderLibrary, RTLD_NOW | RTLD_LOCAL);
            if (!library)
                return;
            auto *table = new OpusEncApi;
            bool complete = true;
#define SONDREL_OPUSENC_RESOLVE(name) \
    table->name = reinterpret_cast<decltype(table->name)>(dlsym(library, #name)); \
    complete = complete && table->name != nullptr;
            SONDREL_OPUSENC_ENTRIES(SONDREL_OPUSENC_RESOLVE)
#undef SONDREL_OPUSENC_RESOLVE
            if (complete) {
                api = table;
            } else {
                // A copy without all of them is never called through a null pointer.
                delete table;
                dlclose(library);
            }
        });
        return api;
    }
};

// The bitrates libopus takes, in kbit/s.
constexpr int32_t MinimumOpusBitrate = 6;
constexpr int32_t MaximumOpusBitrate = 510;

bool acceptable(const TOpusFormat &format)
{
    return format.Channels >= 1 && format.Channels <= 2 && format.Bitrate >= MinimumOpusBitrate
           && format.Bitrate <= MaximumOpusBitrate;
}

class OpusWriter final : public Detail::FormatWriter
{
public:
    // rate: the PCM handed to libopusenc, which resamples it to 48 kHz itself.
    OpusWriter(const QString &path, const TOpusFormat &format, int32_t rate, int serial)
        : FormatWriter(rate, format.Channels)
        , m_api(OpusEncApi::instance())
    {
        if (!m_api)
            throw Detail::ConvertFailure{acErrEncoderMissing};
        if (!acceptable(format))
            throw Detail::ConvertFailure{acErrSettingsRefused};
        m_comments = m_api->ope_comments_create();
        if (!m_comments)
            throw Detail::ConvertFailure{acErrEncoderFailed};
        // Nothing is written before the first audio, so the encoder can be
        // made and set up before the file exists: a refusal leaves no file.
        const OpusEncCallbacks callbacks = {&OpusWriter::writePage, &OpusWriter::closeStream};
        int error = OPE_OK;
        m_encoder = m_api->ope_encoder_create_callbacks(&callbacks,
                                                        this,
                                                        m_comments,
                                                        rate,
                                                        format.Channels,
                                                        0,
                                                        &error);
        if (!m_encoder || error != OPE_OK)
            throw Detail::ConvertFailure{error == OPE_BAD_ARG ? acErrSettingsRefused
                                                              : acErrEncoderFailed};
        // Unconstrained VBR around the bitrate, as opusenc encodes by default.
        if (m_api->ope_encoder_ctl(m_encoder,
                                   OPUS_SET_BITRATE_REQUEST,
                                   opus_int32(format.Bitrate * 1000))
                != OPE_OK
            || m_api->ope_encoder_ctl(m_encoder, OPE_SET_SERIALNO_REQUEST, opus_int32(serial))
                   != OPE_OK
            || m_api->ope_encoder_ctl(m_encoder, OPUS_SET_VBR_REQUEST, opus_int32(1)) != OPE_OK
            || m_api->ope_encoder_ctl(m_encoder, OPUS_SET_VBR_CONSTRAINT_REQUEST, opus_int32(0))
                   != OPE_OK)
            throw Detail::ConvertFailure{acErrSettingsRefused};
        m_file = Detail::createOutputFile(path);
    }

    ~OpusWriter() override
    {
        if (m_encoder)
            m_api->ope_encoder_destroy(m_encoder);
        if (m_comments)
            m_api->ope_comments_destroy(m_comments);
    }

    OpusWriter(const OpusWriter &) = delete;
    OpusWriter &operator=(const OpusWriter &) = delete;

    void write(const int16_t *frames, std::size_t count) override
    {
        constexpr std::size_t Chunk = 4096;
        while (count > 0) {
            const std::size_t n = std::min(count, Chunk);
            check(m_api->ope_encoder_write(m_encoder, frames, int(n)));
            frames += n * std::size_t(channels());
            count -= n;
        }
    }

    void finish() override
    {
        // Writes the last pages, with the end trimmed to the input's length.
        check(m_api->ope_encoder_drain(m_encoder));
        Detail::closeOutputFile(m_file);
    }

private:
    // No exception may cross libopusenc: a failed write is kept, libopusenc
    // is told, and the call that wrote is failed after it returns.
    static int writePage(void *self, const unsigned char *data, opus_int32 bytes)
    {
        auto *writer = static_cast<OpusWriter *>(self);
        if (writer->m_failure || !writer->m_file)
            return 1;
        try {
            Detail::writeBytes(writer->m_file.get(), data, std::size_t(bytes));
            return 0;
        } catch (const Detail::ConvertFailure &failure) {
            writer->m_failure = failure.code;
            return 1;
        }
    }

    // The file is ours to close, in finish() where a failure can be told.
    static int closeStream(void *) { return 0; }

    void check(int result)
    {
        if (m_failure)
            throw Detail::ConvertFailure{m_failure};
        if (result != OPE_OK)
            throw Detail::ConvertFailure{acErrEncoderFailed};
    }

    const OpusEncApi *m_api;
    OggOpusComments *m_comments = nullptr;
    OggOpusEnc *m_encoder = nullptr;
    Detail::FileHandle m_file;
    int32_t m_failure = 0; // the failure of a write inside libopusenc
};

} // namespace

QString IAudioConvert::OpusFormatDescription() const
{
    // Whatever the input's rate, an Opus stream decodes at 48 kHz.
    return QStringLiteral("Opus, 48,000 Hz, %1, VBR %2 kbit/s")
        .arg(m_opus.Channels == 1 ? QStringLiteral("Mono") : QStringLiteral("Stereo"))
        .arg(m_opus.Bitrate);
}

namespace Detail {

std::unique_ptr<FormatWriter> createOpusWriter(const QString &path,
                                               const TOpusFormat &format,
                                               int32_t inputRate,
                                               int serial)
{
    return std::make_unique<OpusWriter>(path, format, inputRate, serial);
}

} // namespace Detail

} // namespace AudioConvertLib
