#include "convert/audioconvertclient.h"

#include "convert/outputformats.h"
#include "pipeline/pcmexception.h"

#include <stdexcept>

using AudioConvertLib::EAudioConvert;
using AudioConvertLib::IAudioConvert;

// Receives the converter's events for one wrapper; detached when the wrapper
// goes, so that an event still on its way finds nobody.
class TAudioConvert::EventSink : public AudioConvertLib::IAudioConvertEvents
{
public:
    explicit EventSink(TAudioConvert *owner)
        : m_owner(owner)
    {}
    void detach() { m_owner = nullptr; }

    void OnError(int32_t errorCode) override
    {
        if (m_owner && m_owner->OnError)
            m_owner->OnError(m_owner, errorCode);
    }
    void OnConvertBlock(int32_t percent) override
    {
        if (m_owner && m_owner->OnConvertBlock)
            m_owner->OnConvertBlock(m_owner, percent);
    }

private:
    TAudioConvert *m_owner;
};

TAudioConvert::TAudioConvert(QObject *owner)
    : QObject(owner)
    , m_sink(std::make_unique<EventSink>(this))
{}

TAudioConvert::~TAudioConvert()
{
    if (m_converter) {
        m_converter->Unadvise(m_cookie);
        m_converter.reset();
    }
    m_sink->detach();
}

void TAudioConvert::Connect()
{
    std::shared_ptr<IAudioConvert> converter = AudioConvertLib::runningOrNewConverter();
    if (converter)
        m_cookie = converter->Advise(m_sink.get());
    m_converter = std::move(converter);
}

void TAudioConvert::ConnectAsCopyOf(TAudioConvert &model)
{
    std::shared_ptr<IAudioConvert> converter = model.DefaultInterface().Duplicate();
    if (m_converter)
        m_converter->Unadvise(m_cookie);
    m_cookie = converter->Advise(m_sink.get());
    m_converter = std::move(converter);
}

IAudioConvert &TAudioConvert::DefaultInterface()
{
    if (!m_converter)
        Connect();
    if (!m_converter)
        throw std::logic_error("DefaultInterface is NULL. Component is not connected to Server. "
                               "You must call 'Connect' or 'ConnectTo' before this operation");
    return *m_converter;
}

template<typename Call>
auto TAudioConvert::invoke(Call call) -> decltype(call(std::declval<IAudioConvert &>()))
{
    IAudioConvert &converter = DefaultInterface();
    try {
        return call(converter);
    } catch (const EAudioConvert &error) {
        throw EPcmException(error.what());
    }
}

void TAudioConvert::SetWaveFormat(int32_t SampleRate, int32_t Channels, int32_t BitsPerSample)
{
    invoke([&](IAudioConvert &c) { c.SetWaveFormat(SampleRate, Channels, BitsPerSample); });
}

void TAudioConvert::SetAdpcmFormat(int32_t SampleRate, int32_t Channels)
{
    invoke([&](IAudioConvert &c) { c.SetAdpcmFormat(SampleRate, Channels); });
}

void TAudioConvert::SetMp3Format(int32_t SampleRate, int32_t Bitrate, int32_t Channels)
{
    invoke([&](IAudioConvert &c) { c.SetMp3Format(SampleRate, Bitrate, Channels); });
}

void TAudioConvert::SetOggVorbisFormat(int32_t SampleRate,
                                       int32_t Channels,
                                       int32_t NominalBitrate,
                                       int32_t MinBitrate,
                                       int32_t MaxBitrate,
                                       int16_t Quality)
{
    invoke([&](IAudioConvert &c) {
        c.SetOggVorbisFormat(SampleRate, Channels, NominalBitrate, MinBitrate, MaxBitrate, Quality);
    });
}

void TAudioConvert::SetWmaProfile(int32_t Profile)
{
    invoke([&](IAudioConvert &c) { c.SetWmaProfile(Profile); });
}

void TAudioConvert::SetOpusFormat(int32_t Channels, int32_t Bitrate)
{
    invoke([&](IAudioConvert &c) { c.SetOpusFormat(Channels, Bitrate); });
}

void TAudioConvert::ConvertWaveToAdpcm(const QString &InputFile, const QString &OutputFile)
{
    invoke([&](IAudioConvert &c) { c.ConvertWaveToAdpcm(InputFile, OutputFile); });
}

void TAudioConvert::ConvertWaveToMp3(const QString &InputFile, const QString &OutputFile)
{
    invoke([&](IAudioConvert &c) { c.ConvertWaveToMp3(InputFile, OutputFile); });
}

void TAudioConvert::ConvertWaveToWave(const QString &InputFile, const QString &OutputFile)
{
    invoke([&](IAudioConvert &c) { c.ConvertWaveToWave(InputFile, OutputFile); });
}

void TAudioConvert::ConvertWaveToOggVorbis(const QString &InputFile, const QString &OutputFile)
{
    invoke([&](IAudioConvert &c) { c.ConvertWaveToOggVorbis(InputFile, OutputFile); });
}

void TAudioConvert::ConvertWaveToWma(const QString &InputFile, const QString &OutputFile)
{
    invoke([&](IAudioConvert &c) { c.ConvertWaveToWma(InputFile, OutputFile); });
}

void TAudioConvert::ConvertWaveToOpus(const QString &InputFile, const QString &OutputFile)
{
    invoke([&](IAudioConvert &c) { c.ConvertWaveToOpus(InputFile, OutputFile); });
}

void TAudioConvert::Abort()
{
    invoke([](IAudioConvert &c) { c.Abort(); });
}

bool TAudioConvert::IsOggVorbisFormatSupported(int32_t SampleRate,
                                               int32_t Channels,
                                               int32_t NominalBitrate,
                                               int32_t MinBitrate,
                                               int32_t MaxBitrate)
{
    return invoke([&](IAudioConvert &c) {
        return c.IsOggVorbisFormatSupported(SampleRate,
                                            Channels,
                                            NominalBitrate,
                                            MinBitrate,
                                            MaxBitrate);
    });
}

QString TAudioConvert::WaveFormatDescription()
{
    return invoke([](IAudioConvert &c) { return c.WaveFormatDescription(); });
}

QString TAudioConvert::Mp3FormatDescription()
{
    return invoke([](IAudioConvert &c) { return c.Mp3FormatDescription(); });
}

QString TAudioConvert::AdpcmFormatDescription()
{
    return invoke([](IAudioConvert &c) { return c.AdpcmFormatDescription(); });
}

QString TAudioConvert::OggVorbisFormatDescription()
{
    return invoke([](IAudioConvert &c) { return c.OggVorbisFormatDescription(); });
}

QString TAudioConvert::OpusFormatDescription()
{
    return invoke([](IAudioConvert &c) { return c.OpusFormatDescription(); });
}

std::shared_ptr<IAudioConvertLameMp3Encoder> TAudioConvert::LameMp3Encoder()
{
    return invoke([](IAudioConvert &c) { return c.LameMp3Encoder(); });
}

std::shared_ptr<IAudioConvertInformation> TAudioConvert::Information()
{
    return invoke([](IAudioConvert &c) { return c.Information(); });
}

bool TAudioConvert::WriteTags()
{
    return invoke([](IAudioConvert &c) { return c.WriteTags(); });
}

void TAudioConvert::SetWriteTags(bool Value)
{
    invoke([&](IAudioConvert &c) { c.SetWriteTags(Value); });
}

void ConfigureAudioConvert(TAudioConvert &audioConvert,
                           std::shared_ptr<IAudioConvertInformation> &information,
                           std::shared_ptr<IAudioConvertLameMp3Encoder> &encoder)
{
    encoder = audioConvert.LameMp3Encoder();
    information = audioConvert.Information();
    audioConvert.SetWriteTags(true);
    CopyEncoderFormat(audioConvert, *encoder);
}

void CopyEncoderFormat(TAudioConvert &audioConvert, const IAudioConvertLameMp3Encoder &encoder)
{
    const int32_t channels = encoder.Mp3Channels();
    const int32_t bitrate = encoder.Mp3Bitrate();
    const int32_t sampleRate = encoder.Mp3SampleRate();
    audioConvert.SetMp3Format(sampleRate, bitrate, channels);
}

TConvertOperation ConvertOperationOf(int format)
{
    switch (format) {
    case OutputFormats::Mp3:
        return &TAudioConvert::ConvertWaveToMp3;
    case OutputFormats::Wma:
        return &TAudioConvert::ConvertWaveToWma;
    case OutputFormats::OggVorbis:
        return &TAudioConvert::ConvertWaveToOggVorbis;
    case OutputFormats::Wave:
        return &TAudioConvert::ConvertWaveToWave;
    case OutputFormats::Adpcm:
        return &TAudioConvert::ConvertWaveToAdpcm;
    case OutputFormats::Opus:
        return &TAudioConvert::ConvertWaveToOpus;
    default:
        return nullptr;
    }
}
