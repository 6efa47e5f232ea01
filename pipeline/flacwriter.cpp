#include "pipeline/flacwriter.h"

#include "pipeline/pcmexception.h"

#include <QFile>

#include <sys/stat.h>

#include <cmath>
#include <exception>
#include <iterator>

namespace {

const char InitFailed[] = "Failed to initialize FLAC encoder.";
const char EncodeFailed[] = "Failed to encode data.";

} // namespace

TFLACOut::TFLACOut(QObject *owner, const QString &name)
    : TFLACOut(Flac::Library::instance(), owner, name)
{}

TFLACOut::TFLACOut(const Flac::Library &library, QObject *owner, const QString &name)
    : TPcmFileOut(owner, name)
    , m_library(library)
{
    m_library.requireLoaded();
}

TFLACOut::~TFLACOut()
{
    shutdownWorker();
    // No FinishOutput here: a run cut short has no complete audio, and its
    // STREAMINFO would still claim the whole input's length.
    if (IsBusy()) {
        m_runFailed = true;
        discardOutput();
        try {
            endRunRead();
        } catch (...) {
            // The source may be half gone too; there is nobody to tell.
        }
    }
}

void TFLACOut::SetCompressionLevel(int value)
{
    // What libFLAC 1.4's presets set, as its encoder reports them back.
    struct Preset
    {
        bool midSide;
        bool looseMidSide;
        uint16_t maxLpcOrder;
        uint16_t maxPartitionOrder;
        uint16_t blockSize;
    };
    static constexpr Preset Presets[] = {
        {false, false, 0, 3, 1152},
        {true, true, 0, 3, 1152},
        {true, false, 0, 3, 1152},
        {false, false, 6, 4, 4096},
        {true, true, 8, 4, 4096},
        {true, false, 8, 5, 4096},
        {true, false, 8, 6, 4096},
        {true, false, 12, 6, 4096},
        {true, false, 12, 6, 4096},
    };
    if (value < 0 || value >= int(std::size(Presets)))
        return;
    const Preset &p = Presets[value];
    m_enableMidSideStereo = p.midSide;
    m_enableLooseMidSideStereo = p.looseMidSide;
    m_maxLPCOrder = p.maxLpcOrder;
    m_minResidualPartitionOrder = 0;
    m_maxResidualPartitionOrder = p.maxPartitionOrder;
    m_blockSize = p.blockSize;
    m_qlpCoeffPrecision = 0;
    m_qlpCoeffPrecisionSearch = false;
    m_bestModelSearch = false;
    m_compressionLevel = value;
}

void TFLACOut::SetBestModelSearch(bool value)
{
    setOwn(m_bestModelSearch, value);
    if (value) {
        setOwn(m_enableMidSideStereo, true);
        setOwn(m_enableLooseMidSideStereo, false);
    }
}

void TFLACOut::SetEnableLooseMidSideStereo(bool value)
{
    setOwn(m_enableLooseMidSideStereo, value);
    if (value)
        setOwn(m_enableMidSideStereo, true);
}

void TFLACOut::PrepareOutput()
{
    OpenOutputFile();
    m_endOfInput = false;
    m_runFailed = false;
    try {
        m_encoder = std::make_unique<Flac::Encoder>(m_library);
        if (!m_encoder->isValid())
            throw EPcmException(InitFailed);
        Input()->BeginRead();
        m_inputOpen = true;

        const int32_t bits = Input()->BitsPerSample();
        const int32_t channels = Input()->Channels();
        // Only whole-byte samples can be widened; libFLAC itself takes 4 to 32 bits.
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
            throw EPcmException(InitFailed);
        configureEncoder(bits, channels, Input()->SampleRate());
        if (!m_encoder->init(this))
            throw EPcmException(InitFailed);

        // libFLAC 1.4 takes BlockSize 0 as "choose one"; a buffer sized by
        // the property would then be empty and the run would end at once
        // with no audio, so the buffer follows the size libFLAC encodes.
        const unsigned frames = m_encoder->blockSize();
        if (frames == 0)
            throw EPcmException(InitFailed);
        m_bytesPerSample = bits / 8;
        m_channels = channels;
        m_blockBuffer.resize(static_cast<size_t>(m_bytesPerSample) * frames
                             * static_cast<size_t>(channels));
        m_samples.resize(static_cast<size_t>(frames) * static_cast<size_t>(channels));
    } catch (...) {
        // The framework does not call FinishOutput for a run that never
        // started, so nothing of it may stay behind.
        m_runFailed = true;
        discardOutput();
        try {
            endRunRead();
        } catch (...) {
            // The error that stopped the start is the one to report.
        }
        throw;
    }
}

void TFLACOut::configureEncoder(int32_t bits, int32_t channels, int32_t rate)
{
    Flac::Encoder &e = *m_encoder;
    bool ok = e.setVerify(m_verify);
    ok = ok && e.setChannels(static_cast<unsigned>(channels));
    ok = ok && e.setBitsPerSample(static_cast<unsigned>(bits));
    ok = ok && e.setSampleRate(static_cast<unsigned>(rate));
    if (m_compressionLevel >= 0) {
        // The preset's apodization has no property: only libFLAC's own
        // preset call encodes as `flac -<n>` does.
        ok = ok && e.setCompressionLevel(static_cast<unsigned>(m_compressionLevel));
    } else {
        if (channels == 2) {
            ok = ok && e.setDoMidSideStereo(m_enableMidSideStereo);
            ok = ok && e.setLooseMidSideStereo(m_enableLooseMidSideStereo);
        }
        ok = ok && e.setBlockSize(m_blockSize);
        ok = ok && e.setMaxLpcOrder(m_maxLPCOrder);
        if (bits + m_qlpCoeffPrecision > 31)
            m_qlpCoeffPrecision = static_cast<uint16_t>(31 - bits);
        ok = ok && e.setQlpCoeffPrecision(m_qlpCoeffPrecision);
        ok = ok && e.setDoQlpCoeffPrecSearch(m_qlpCoeffPrecisionSearch);
        ok = ok && e.setMinResidualPartitionOrder(m_minResidualPartitionOrder);
        ok = ok && e.setMaxResidualPartitionOrder(m_maxResidualPartitionOrder);
        ok = ok && e.setDoExhaustiveModelSearch(m_bestModelSearch);
    }
    const int32_t size = Input()->Size();
    if (size > 0 && channels > 0) {
        const double frames = static_cast<double>(size) / (bits / 8.0) / channels;
        ok = ok && e.setTotalSamplesEstimate(static_cast<uint64_t>(std::nearbyint(frames)));
    }
    // libFLAC refuses a setting only once initialised, which cannot be the
    // case for a fresh encoder; treat it like any other refusal anyway.
    if (!ok)
        throw EPcmException(InitFailed);
}

bool TFLACOut::WriteStep(bool abort)
{
    bool result = false;
    if (!stepPrologue(abort, m_endOfInput, result))
        return result;
    try {
        const int32_t bytes = fillBlock();
        if (bytes == 0)
            return false;
        widenSamples(bytes);
        const auto frames = static_cast<unsigned>(bytes / m_bytesPerSample / m_channels);
        if (!m_encoder->process(m_samples.data(), frames)) {
            // A failed write says more than libFLAC's state does.
            if (!m_encoder->sinkError().empty())
                throw EPcmException(QString::fromStdString(m_encoder->sinkError()));
            throw EPcmException(EncodeFailed);
        }
        return true;
    } catch (...) {
        m_runFailed = true;
        throw;
    }
}

int32_t TFLACOut::fillBlock()
{
    bool ended = false;
    const int32_t filled = readInputFully(m_blockBuffer.data(),
                                          static_cast<int32_t>(m_blockBuffer.size()),
                                          ended);
    if (ended)
        m_endOfInput = true;
    return filled;
}

void TFLACOut::widenSamples(int32_t bytes)
{
    // A trailing partial sample (a source that ends mid-sample) is dropped
    // with the partial frame it belongs to.
    const int32_t count = bytes / m_bytesPerSample;
    const uint8_t *p = m_blockBuffer.data();
    int32_t *out = m_samples.data();
    switch (m_bytesPerSample) {
    case 1: // 8-bit PCM is unsigned, as in WAV files
        for (int32_t i = 0; i < count; ++i)
            out[i] = static_cast<int32_t>(p[i]) - 128;
        break;
    case 2:
        for (int32_t i = 0; i < count; ++i, p += 2)
            out[i] = static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
        break;
    case 3:
        for (int32_t i = 0; i < count; ++i, p += 3) {
            const uint32_t u = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8)
                               | (static_cast<uint32_t>(p[2]) << 16);
            out[i] = static_cast<int32_t>(u ^ 0x800000u) - 0x800000;
        }
        break;
    default:
        for (int32_t i = 0; i < count; ++i, p += 4)
            out[i] = static_cast<int32_t>(
                static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8)
                | (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
        break;
    }
}

void TFLACOut::FinishOutput()
{
    // May run twice for one run (again during error recovery after it
    // raised), so everything is released before anything is raised.
    std::string error;
    if (m_encoder && !m_runFailed) {
        const bool finished = m_encoder->finish();
        if (!m_encoder->sinkError().empty())
            error = m_encoder->sinkError();
        else if (!finished)
            error = EncodeFailed;
    }
    m_encoder.reset();
    if (OutputStream) {
        try {
            OutputStream->close();
        } catch (const std::exception &e) {
            if (error.empty())
                error = e.what();
        }
    }
    if (!error.empty())
        m_runFailed = true;
    if (m_runFailed)
        discardOutput();
    OutputStream.reset();
    m_blockBuffer = {};
    m_samples = {};
    endRunRead();
    if (!error.empty())
        throw EPcmException(QString::fromStdString(error));
}

void TFLACOut::discardOutput()
{
    m_encoder.reset();
    if (!OutputStream)
        return;
    const QString fileName = OutputStream->fileName();
    OutputStream.reset(); // closes quietly; the file is going anyway
    // Only a regular file is ours to delete: a target such as a device or a
    // pipe must survive a failed run.
    struct stat info
    {};
    if (::stat(QFile::encodeName(fileName).constData(), &info) == 0 && S_ISREG(info.st_mode))
        QFile::remove(fileName);
}

void TFLACOut::endRunRead()
{
    if (!m_inputOpen)
        return;
    m_inputOpen = false;
    endInputRead();
}

void TFLACOut::StreamWriteHook(const uint8_t *data, std::size_t bytes)
{
    OutputStream->write(data, static_cast<int64_t>(bytes));
}

void TFLACOut::StreamSeekHook(uint64_t absoluteOffset)
{
    OutputStream->seek(static_cast<int64_t>(absoluteOffset));
}

uint64_t TFLACOut::StreamTellHook()
{
    return static_cast<uint64_t>(OutputStream->position());
}
