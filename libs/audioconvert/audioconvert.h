#pragma once

#include "libs/audioconvert/information.h"
#include "libs/audioconvert/lameencoder.h"

#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>

class QObject;

// The audio conversion component: converts a PCM WAV file into MP3 (LAME),
// Ogg Vorbis (libvorbisenc), WMA (FFmpeg's wmav2 in ASF), PCM WAV
// (libsndfile, soxr for other rates), IMA ADPCM WAV or Ogg Opus (libopusenc,
// opened at run time), and tags the result (TagLib).
namespace AudioConvertLib {

// The ErrorCode of OnError. Every failed conversion raises exactly one of
// them and leaves no output file behind.
enum TAudioConvertErrorCode : int32_t {
    acErrInputMissing = 1,       // the input file does not exist
    acErrInputNotPcmWave = 2,    // not a RIFF WAVE file of 8- to 32-bit PCM, mono or stereo,
                                 // at 1000 to 768000 Hz
    acErrOutputNotCreatable = 3, // the output could not be created, or is the input itself
    acErrSettingsRefused = 4,    // the encoder refused the format settings in force
    acErrWriteFailed = 5,        // writing the output failed (disk full, I/O error)
    acErrReadFailed = 6,         // reading the input failed part-way, or it is shorter
                                 // than its header says
    acErrEncoderFailed = 7,      // the encoder library failed while encoding
    acErrTagsFailed = 8,         // the tags could not be written into the finished file
    acErrEncoderMissing = 9,     // the encoder's library (OpusEncoderLibrary) could not be loaded
};

// The library Opus conversions open when the first one starts.
inline constexpr const char *OpusEncoderLibrary = "libopusenc.so.0";

// Raised by the operations of the component (the failure status of the COM form).
class EAudioConvert : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The files written straight from the disc, beside the component, that it tags too.
enum class TLosslessFormat { Flac, Ape };

// Writes the fields of `tags` that have a value into a finished FLAC file as
// Vorbis comments, or into an APE file as an APEv2 tag, with the names the
// conversions use. Throws EAudioConvert "The tags could not be written into
// "<path>"." when TagLib cannot read the file or a write fails part-way. Any
// thread; the file must be closed.
void WriteLosslessTags(const QString &path,
                       TLosslessFormat format,
                       const IAudioConvertInformation &tags);

// What the converter calls back with, on the thread that created the converter,
// as queued calls (never from inside an operation).
class IAudioConvertEvents
{
public:
    virtual ~IAudioConvertEvents() = default;
    virtual void OnError(int32_t errorCode) = 0;
    virtual void OnConvertBlock(int32_t percent) = 0;
};

struct TWaveFormat
{
    int32_t SampleRate = 44100;
    int32_t Channels = 2;
    int32_t BitsPerSample = 16;
};

struct TAdpcmFormat
{
    int32_t SampleRate = 44100;
    int32_t Channels = 2;
};

struct TMp3Format
{
    int32_t SampleRate = 44100;
    int32_t Bitrate = 128;
    int32_t Channels = 2;
};

struct TOggVorbisFormat
{
    int32_t SampleRate = 44100;
    int32_t Channels = 2;
    int32_t NominalBitrate = 128; // kbit/s; 0 = not set
    int32_t MinBitrate = 0;
    int32_t MaxBitrate = 0;
    int16_t Quality = -1; // 0 ... 1000 selects quality mode, -1 the bitrates
};

// Ogg Opus: libopusenc takes the input's own rate and resamples it to 48 kHz.
struct TOpusFormat
{
    int32_t Channels = 2;
    int32_t Bitrate = 128; // kbit/s, the average of an unconstrained VBR: 6 ... 510
};

// One WMA profile: what the wmav2 encoder is given for a profile number.
struct TWmaProfile
{
    int32_t SampleRate = 44100;
    int32_t Channels = 2;
    int32_t Bitrate = 128;        // kbit/s as the profile asks
    int32_t EncoderBitrate = 128; // kbit/s FFmpeg accepts (24 at least)
    QString Description;          // what is encoded, saying so when it differs
};

// The profile of number 1 ... 51; throws EAudioConvert outside that range.
TWmaProfile wmaProfile(int32_t profile);

class ConversionJob;

// The converter. Operations are called on the thread that created it, which
// must run a Qt event loop: events are queued to it. One conversion runs at a
// time on the converter's own thread; setters change the next conversion only.
class IAudioConvert
{
public:
    IAudioConvert();
    ~IAudioConvert(); // aborts a running conversion
    IAudioConvert(const IAudioConvert &) = delete;
    IAudioConvert &operator=(const IAudioConvert &) = delete;

    // A converter of its own, not registered as the running one, with this
    // one's format settings, WriteTags switch and MP3 encoder (shared), and
    // a tag object of its own: a second conversion that runs beside this
    // one's writes the same bytes.
    std::shared_ptr<IAudioConvert> Duplicate() const;

    // Connection point: the sink receives the events until Unadvise. The
    // cookie is never 0.
    uint32_t Advise(IAudioConvertEvents *sink);
    void Unadvise(uint32_t cookie);

    void SetWaveFormat(int32_t sampleRate, int32_t channels, int32_t bitsPerSample);
    void SetAdpcmFormat(int32_t sampleRate, int32_t channels);
    void SetMp3Format(int32_t sampleRate, int32_t bitrate, int32_t channels);
    void SetOggVorbisFormat(int32_t sampleRate,
                            int32_t channels,
                            int32_t nominalBitrate,
                            int32_t minBitrate,
                            int32_t maxBitrate,
                            int16_t quality);
    // Throws EAudioConvert for a profile outside 1 ... 51.
    void SetWmaProfile(int32_t profile);
    void SetOpusFormat(int32_t channels, int32_t bitrate);

    // Each starts a conversion of a PCM WAV file and returns at once; its end
    // is OnConvertBlock(100) once the output is complete and closed, or one
    // OnError. Throws EAudioConvert while another conversion is running.
    void ConvertWaveToAdpcm(const QString &inputFile, const QString &outputFile);
    void ConvertWaveToMp3(const QString &inputFile, const QString &outputFile);
    void ConvertWaveToWave(const QString &inputFile, const QString &outputFile);
    void ConvertWaveToOggVorbis(const QString &inputFile, const QString &outputFile);
    void ConvertWaveToWma(const QString &inputFile, const QString &outputFile);
    void ConvertWaveToOpus(const QString &inputFile, const QString &outputFile);

    // Stops the running conversion and returns once its output is closed; no
    // event of that conversion is delivered afterwards. Without one, nothing.
    void Abort();

    // libvorbisenc's own answer for these settings (bitrates in kbit/s, 0 = unset).
    bool IsOggVorbisFormatSupported(int32_t sampleRate,
                                    int32_t channels,
                                    int32_t nominalBitrate,
                                    int32_t minBitrate,
                                    int32_t maxBitrate) const;

    QString WaveFormatDescription() const;
    QString Mp3FormatDescription() const;
    QString AdpcmFormatDescription() const;
    QString OggVorbisFormatDescription() const;
    QString OpusFormatDescription() const;

    std::shared_ptr<IAudioConvertLameMp3Encoder> LameMp3Encoder() const { return m_encoder; }
    std::shared_ptr<IAudioConvertInformation> Information() const { return m_information; }
    bool WriteTags() const { return m_writeTags; }
    void SetWriteTags(bool value) { m_writeTags = value; }

private:
    enum class Target { Wave, Adpcm, Mp3, OggVorbis, Wma, Opus };
    void start(Target target, const QString &inputFile, const QString &outputFile);
    void deliver(uint64_t run, bool error, int32_t value);
    void joinWorker();

    // Owned by the creating thread; the worker sees only its job's copy.
    TWaveFormat m_wave;
    TAdpcmFormat m_adpcm;
    TMp3Format m_mp3;
    TOggVorbisFormat m_ogg;
    int32_t m_wmaProfile = 24;
    TOpusFormat m_opus;
    bool m_writeTags = false;
    std::shared_ptr<IAudioConvertLameMp3Encoder> m_encoder;
    std::shared_ptr<IAudioConvertInformation> m_information;
    std::map<uint32_t, IAudioConvertEvents *> m_sinks;
    uint32_t m_nextCookie = 1;
    uint64_t m_run = 0;        // the conversion whose events are still wanted
    bool m_runFinished = true; // its last event has been delivered
    std::unique_ptr<QObject> m_eventContext;
    std::unique_ptr<ConversionJob> m_job;
};

// The process-wide converter the first caller created and that is still alive
// (the running object of the COM form), otherwise a new one registered as such.
std::shared_ptr<IAudioConvert> runningOrNewConverter();

} // namespace AudioConvertLib
