#include "pipeline/macbinding.h"

#include "libs/macdll/macdll.h"

namespace Mac {

// The header supplies only the types: every pointer is resolved by name.
struct Api
{
    static constexpr const char *fileName = LibraryFileName;

#define SONDREL_MAC_ENTRIES(X) \
    X(FillWaveFormatEx) \
    X(c_APECompress_Create) \
    X(c_APECompress_Destroy) \
    X(c_APECompress_Start) \
    X(c_APECompress_LockBuffer) \
    X(c_APECompress_UnlockBuffer) \
    X(c_APECompress_Finish)
    SONDREL_MAC_ENTRIES(SONDREL_ENTRY_POINT)

    void resolve(RuntimeLibrary &library)
    {
#define SONDREL_MAC_RESOLVE(name) library.require(name, #name);
        SONDREL_MAC_ENTRIES(SONDREL_MAC_RESOLVE)
#undef SONDREL_MAC_RESOLVE
    }
};

bool LoadMACLibrary()
{
    return Library::instance().isLoaded();
}

bool MACLoaded()
{
    return Library::instance().isLoaded();
}

} // namespace Mac

template class RuntimeBinding<Mac::Api>;

QString MACErrorText(int32_t code)
{
    switch (code) {
    case 0:
        return QStringLiteral("OK");
    case 1000:
        return QStringLiteral("I/O read error");
    case 1001:
        return QStringLiteral("I/O write error");
    case 1002:
        return QStringLiteral("invalid input file");
    case 1003:
        return QStringLiteral("invalid output file");
    case 1004:
        return QStringLiteral("input file file too large");
    case 1005:
        return QStringLiteral("input file unsupported bit depth");
    case 1006:
        return QStringLiteral("input file unsupported sample rate");
    case 1007:
        return QStringLiteral("input file unsupported channel count");
    case 1008:
        return QStringLiteral("input file too small");
    case 1009:
        return QStringLiteral("invalid checksum");
    case 1010:
        return QStringLiteral("decompressing frame");
    case 1011:
        return QStringLiteral("initializing unmac");
    case 1012:
        return QStringLiteral("invalid function parameter");
    case 1013:
        return QStringLiteral("unsupported file type");
    case 2000:
        return QStringLiteral("insufficient memory");
    case 3000:
        return QStringLiteral("loading MAC.dll");
    case 3001:
        return QStringLiteral("loading MACinfo.dll");
    case 3002:
        return QStringLiteral("loading UnMAC.dll");
    case 4000:
        return QStringLiteral("user stopped processing");
    case 4001:
        return QStringLiteral("skipped...");
    case 5000:
        return QStringLiteral("bad parameter");
    case 6000:
        return QStringLiteral("APE compress too much data");
    default:
        return QStringLiteral("undefined (%1)").arg(code);
    }
}

EAPEException::EAPEException(int32_t code)
    : EPcmException(QStringLiteral("MACDll error: ") + MACErrorText(code))
    , m_code(code)
{}

struct TAPECompress::WaveFormat
{
    MACWaveFormat record{};
};

TAPECompress::TAPECompress(const Mac::Library &library)
    : m_api(library.api())
    , m_waveFormat(std::make_unique<WaveFormat>())
{
    library.requireLoaded();
    m_handle = m_api->c_APECompress_Create(&m_errorCode);
    if (m_errorCode != 0) {
        // A library that reports an error and still hands out a compressor
        // must not leak it.
        if (m_handle)
            m_api->c_APECompress_Destroy(m_handle);
        m_handle = nullptr;
        throw EAPEException(m_errorCode);
    }
    if (!m_handle)
        throw EAPEException(2000);
}

TAPECompress::~TAPECompress()
{
    if (m_handle)
        m_api->c_APECompress_Destroy(m_handle);
}

int32_t TAPECompress::Start(const char *fileName,
                            int32_t maxAudioBytes,
                            int32_t compressionLevel,
                            const void *headerData,
                            int32_t headerBytes)
{
    return m_api->c_APECompress_Start(m_handle,
                                      fileName,
                                      &m_waveFormat->record,
                                      maxAudioBytes,
                                      compressionLevel,
                                      headerData,
                                      headerBytes);
}

uint8_t *TAPECompress::LockBuffer(int32_t *bytesAvailable)
{
    return m_api->c_APECompress_LockBuffer(m_handle, bytesAvailable);
}

int32_t TAPECompress::UnlockBuffer(int32_t bytesAdded)
{
    return m_api->c_APECompress_UnlockBuffer(m_handle, bytesAdded, 1);
}

int32_t TAPECompress::Finish(uint8_t *terminatingData,
                             int32_t terminatingBytes,
                             int32_t wavTerminatingBytes)
{
    return m_api->c_APECompress_Finish(m_handle,
                                       terminatingData,
                                       terminatingBytes,
                                       wavTerminatingBytes);
}

int32_t TAPECompress::FillWaveFormatEx(int32_t sampleRate, int32_t bitsPerSample, int32_t channels)
{
    return m_api->FillWaveFormatEx(&m_waveFormat->record, sampleRate, bitsPerSample, channels);
}
