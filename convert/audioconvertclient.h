#pragma once

#include "libs/audioconvert/audioconvert.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class TAudioConvert;

using TOleEnum = int32_t;
using TAudioConvertError = std::function<void(TAudioConvert *Sender, TOleEnum ErrorCode)>;
using TAudioConvertConvertBlock = std::function<void(TAudioConvert *Sender, int32_t Percent)>;

using AudioConvertLib::IAudioConvertInformation;
using AudioConvertLib::IAudioConvertLameMp3Encoder;

// The program's handle on the conversion component. Creating it connects
// nothing; the first operation attaches to the running converter or creates
// one and links the events. Every failure of an operation is raised as
// EPcmException with the component's message.
//
// Window thread only: the operations, and the two event slots, which are
// called on this thread while it processes events, never inside an operation.
class TAudioConvert : public QObject
{
public:
    explicit TAudioConvert(QObject *owner = nullptr);
    ~TAudioConvert() override;

    TAudioConvertError OnError;
    TAudioConvertConvertBlock OnConvertBlock;

    bool Connected() const { return m_converter != nullptr; }
    // Connects to a converter of its own with the settings `model`'s
    // converter has now (connecting `model` when needed): a conversion of
    // this one runs beside `model`'s and gives the same file.
    void ConnectAsCopyOf(TAudioConvert &model);

    void SetWaveFormat(int32_t SampleRate, int32_t Channels, int32_t BitsPerSample);
    void SetAdpcmFormat(int32_t SampleRate, int32_t Channels);
    void SetMp3Format(int32_t SampleRate, int32_t Bitrate, int32_t Channels);
    void SetOggVorbisFormat(int32_t SampleRate,
                            int32_t Channels,
                            int32_t NominalBitrate,
                            int32_t MinBitrate,
                            int32_t MaxBitrate,
                            int16_t Quality);
    void SetWmaProfile(int32_t Profile);
    void SetOpusFormat(int32_t Channels, int32_t Bitrate);

    // Each returns once the conversion has started; it ends with
    // OnConvertBlock(100) or OnError.
    void ConvertWaveToAdpcm(const QString &InputFile, const QString &OutputFile);
    void ConvertWaveToMp3(const QString &InputFile, const QString &OutputFile);
    void ConvertWaveToWave(const QString &InputFile, const QString &OutputFile);
    void ConvertWaveToOggVorbis(const QString &InputFile, const QString &OutputFile);
    void ConvertWaveToWma(const QString &InputFile, const QString &OutputFile);
    void ConvertWaveToOpus(const QString &InputFile, const QString &OutputFile);
    void Abort();

    bool IsOggVorbisFormatSupported(int32_t SampleRate,
                                    int32_t Channels,
                                    int32_t NominalBitrate,
                                    int32_t MinBitrate,
                                    int32_t MaxBitrate);
    QString WaveFormatDescription();
    QString Mp3FormatDescription();
    QString AdpcmFormatDescription();
    QString OggVorbisFormatDescription();
    QString OpusFormatDescription();

    std::shared_ptr<IAudioConvertLameMp3Encoder> LameMp3Encoder();
    std::shared_ptr<IAudioConvertInformation> Information();
    bool WriteTags();
    void SetWriteTags(bool Value);

private:
    class EventSink;
    AudioConvertLib::IAudioConvert &DefaultInterface();
    void Connect();
    template<typename Call>
    auto invoke(Call call) -> decltype(call(std::declval<AudioConvertLib::IAudioConvert &>()));

    std::unique_ptr<EventSink> m_sink;
    std::shared_ptr<AudioConvertLib::IAudioConvert> m_converter; // empty until connected
    uint32_t m_cookie = 0;
};

// The operation that converts the temporary WAV into a format's file; null
// for the formats the pipeline's writers produce and for no format.
using TConvertOperation = void (TAudioConvert::*)(const QString &, const QString &);
TConvertOperation ConvertOperationOf(int format);

// The component's start-up configuration, run while the main window is
// created, after it has created `audioConvert` and set its two events: the
// window takes the converter's own MP3 encoder and information objects (this
// connects), WriteTags is set, and the encoder's sample rate, bitrate and
// channels go to SetMp3Format.
void ConfigureAudioConvert(TAudioConvert &audioConvert,
                           std::shared_ptr<IAudioConvertInformation> &information,
                           std::shared_ptr<IAudioConvertLameMp3Encoder> &encoder);

// Reads the encoder's Mp3Channels, Mp3Bitrate and Mp3SampleRate, in that
// order, and hands them to SetMp3Format: how every change of the MP3 encoder
// settings reaches the converter.
void CopyEncoderFormat(TAudioConvert &audioConvert, const IAudioConvertLameMp3Encoder &encoder);
