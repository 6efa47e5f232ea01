#include "libs/audioconvert/audioconvert.h"

#include "libs/audioconvert/formatwriters.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QObject>

#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace AudioConvertLib {

using Detail::ConvertFailure;
using Detail::FormatWriter;

namespace {

// An Ogg stream's serial number, from the audio it carries: different audio
// gets different numbers, and converting the same WAV again gives the same
// file byte for byte.
int streamSerialOf(const QString &input)
{
    QFile file(input);
    if (!file.open(QIODevice::ReadOnly))
        return 0; // the conversion itself says what is wrong
    const QByteArray head = file.read(1 << 20);
    return int((qHashBits(head.constData(), size_t(head.size()), 0) ^ size_t(file.size()))
               & 0x7fffffff);
}

} // namespace

// One conversion on its own thread. It reports through `post`, which queues
// the event to the converter's thread; the converter decides there whether
// the event is still wanted.
class ConversionJob
{
public:
    using Post = std::function<void(bool error, int32_t value)>;
    // Given the input's sample rate; the writer says the rate it takes.
    using MakeWriter = std::function<std::unique_ptr<FormatWriter>(int32_t inputRate)>;

    ConversionJob(QString input,
                  QString output,
                  MakeWriter makeWriter,
                  std::optional<std::pair<Detail::TagKind, IAudioConvertInformation>> tags,
                  Post post)
        : m_input(std::move(input))
        , m_output(std::move(output))
        , m_makeWriter(std::move(makeWriter))
        , m_tags(std::move(tags))
        , m_post(std::move(post))
    {
        m_thread = std::thread([this] { run(); });
    }

    ~ConversionJob()
    {
        m_abort = true;
        m_thread.join();
    }

    void abort() { m_abort = true; }

private:
    void run()
    {
        bool created = false;
        try {
            convert(created);
            m_post(false, 100);
        } catch (const ConvertFailure &failure) {
            if (m_abort)
                return;
            // A failed conversion must not leave a file that looks like a
            // finished track; a file that was there before and never touched stays.
            if (created)
                discardOutput();
            m_post(true, failure.code);
        } catch (const std::exception &) {
            if (m_abort)
                return;
            if (created)
                discardOutput();
            m_post(true, acErrEncoderFailed);
        }
    }

    // Only a plain file is ours to remove: the output may be a device.
    void discardOutput()
    {
        const QFileInfo info(m_output);
        if (info.isFile() && !info.isSymLink())
            QFile::remove(m_output);
    }

    void convert(bool &created)
    {
        Detail::WaveSource source(m_input);
        // Creating the output would empty the input before it is read.
        const QString inputPath = QFileInfo(m_input).canonicalFilePath();
        if (!inputPath.isEmpty() && inputPath == QFileInfo(m_output).canonicalFilePath())
            throw ConvertFailure{acErrOutputNotCreatable};
        std::unique_ptr<FormatWriter> writer = m_makeWriter(source.sampleRate());
        created = true;
        Detail::PcmConverter converter(source.sampleRate(),
                                       source.channels(),
                                       writer->sampleRate(),
                                       writer->channels());
        constexpr std::size_t BlockFrames = 8192;
        std::vector<int16_t> block(BlockFrames * std::size_t(source.channels()));
        std::vector<int16_t> converted;
        int64_t framesRead = 0;
        int32_t lastPercent = -1;
        const auto report = [&](int32_t percent) {
            if (percent != lastPercent) {
                lastPercent = percent;
                m_post(false, percent);
            }
        };
        report(0);
        for (;;) {
            if (m_abort)
                throw ConvertFailure{0};
            const std::size_t got = source.read(block.data(), BlockFrames);
            converted.clear();
            if (got == 0)
                converter.flush(converted);
            else
                converter.process(block.data(), got, converted);
            if (!converted.empty())
                writer->write(converted.data(), converted.size() / std::size_t(writer->channels()));
            if (got == 0)
                break;
            framesRead += int64_t(got);
            if (source.frames() > 0)
                report(int32_t(std::min<int64_t>(99, framesRead * 100 / source.frames())));
        }
        writer->finish();
        writer.reset();
        if (m_tags && !Detail::writeTags(m_output, m_tags->first, m_tags->second))
            throw ConvertFailure{acErrTagsFailed};
    }

    const QString m_input;
    const QString m_output;
    MakeWriter m_makeWriter;
    std::optional<std::pair<Detail::TagKind, IAudioConvertInformation>> m_tags;
    Post m_post;
    std::atomic<bool> m_abort{false};
    std::thread m_thread;
};

IAudioConvert::IAudioConvert()
    : m_encoder(std::make_shared<IAudioConvertLameMp3Encoder>())
    , m_information(std::make_shared<IAudioConvertInformation>())
    , m_eventContext(std::make_unique<QObject>())
{}

IAudioConvert::~IAudioConvert()
{
    m_job.reset();
}

std::shared_ptr<IAudioConvert> IAudioConvert::Duplicate() const
{
    auto copy = std::make_shared<IAudioConvert>();
    copy->m_wave = m_wave;
    copy->m_adpcm = m_adpcm;
    copy->m_mp3 = m_mp3;
    copy->m_ogg = m_ogg;
    copy->m_wmaProfile = m_wmaProfile;
    copy->m_opus = m_opus;
    copy->m_writeTags = m_writeTags;
    copy->m_encoder = m_encoder;
    return copy;
}

uint32_t IAudioConvert::Advise(IAudioConvertEvents *sink)
{
    if (!sink)
        throw EAudioConvert("No event sink to advise");
    const uint32_t cookie = m_nextCookie++;
    m_sinks[cookie] = sink;
    return cookie;
}

void IAudioConvert::Unadvise(uint32_t cookie)
{
    if (m_sinks.erase(cookie) == 0)
        throw EAudioConvert("No event connection with that cookie");
}

void IAudioConvert::SetWaveFormat(int32_t sampleRate, int32_t channels, int32_t bitsPerSample)
{
    m_wave = {sampleRate, channels, bitsPerSample};
}

void IAudioConvert::SetAdpcmFormat(int32_t sampleRate, int32_t channels)
{
    m_adpcm = {sampleRate, channels};
}

void IAudioConvert::SetMp3Format(int32_t sampleRate, int32_t bitrate, int32_t channels)
{
    m_mp3 = {sampleRate, bitrate, channels};
}

void IAudioConvert::SetOggVorbisFormat(int32_t sampleRate,
                                       int32_t channels,
                                       int32_t nominalBitrate,
                                       int32_t minBitrate,
                                       int32_t maxBitrate,
                                       int16_t quality)
{
    m_ogg = {sampleRate, channels, nominalBitrate, minBitrate, maxBitrate, quality};
}

void IAudioConvert::SetWmaProfile(int32_t profile)
{
    wmaProfile(profile); // refuses numbers outside the table
    m_wmaProfile = profile;
}

void IAudioConvert::SetOpusFormat(int32_t channels, int32_t bitrate)
{
    m_opus = {channels, bitrate};
}

void IAudioConvert::ConvertWaveToAdpcm(const QString &inputFile, const QString &outputFile)
{
    start(Target::Adpcm, inputFile, outputFile);
}

void IAudioConvert::ConvertWaveToMp3(const QString &inputFile, const QString &outputFile)
{
    start(Target::Mp3, inputFile, outputFile);
}

void IAudioConvert::ConvertWaveToWave(const QString &inputFile, const QString &outputFile)
{
    start(Target::Wave, inputFile, outputFile);
}

void IAudioConvert::ConvertWaveToOggVorbis(const QString &inputFile, const QString &outputFile)
{
    start(Target::OggVorbis, inputFile, outputFile);
}

void IAudioConvert::ConvertWaveToWma(const QString &inputFile, const QString &outputFile)
{
    start(Target::Wma, inputFile, outputFile);
}

void IAudioConvert::ConvertWaveToOpus(const QString &inputFile, const QString &outputFile)
{
    start(Target::Opus, inputFile, outputFile);
}

void IAudioConvert::start(Target target, const QString &inputFile, const QString &outputFile)
{
    if (!m_runFinished)
        throw EAudioConvert("A conversion is already running");
    m_job.reset(); // the thread of the last conversion has ended or is about to

    ConversionJob::MakeWriter makeWriter;
    Detail::TagKind kind = Detail::TagKind::RiffInfo;
    switch (target) {
    case Target::Wave:
        makeWriter = [path = outputFile, format = m_wave](int32_t) {
            return Detail::createWaveWriter(path, format);
        };
        break;
    case Target::Adpcm:
        makeWriter = [path = outputFile, format = m_adpcm](int32_t) {
            return Detail::createAdpcmWriter(path, format);
        };
        break;
    case Target::Mp3:
        kind = Detail::TagKind::Id3v2;
        makeWriter = [path = outputFile, format = m_mp3, settings = m_encoder->settings()](
                         int32_t) { return Detail::createMp3Writer(path, format, settings); };
        break;
    case Target::OggVorbis:
        kind = Detail::TagKind::Xiph;
        makeWriter = [path = outputFile, input = inputFile, format = m_ogg](int32_t) {
            return Detail::createOggVorbisWriter(path, format, streamSerialOf(input));
        };
        break;
    case Target::Wma:
        kind = Detail::TagKind::Asf;
        makeWriter = [path = outputFile, profile = wmaProfile(m_wmaProfile)](int32_t) {
            return Detail::createWmaWriter(path, profile);
        };
        break;
    case Target::Opus:
        kind = Detail::TagKind::Opus;
        makeWriter = [path = outputFile, input = inputFile, format = m_opus](int32_t inputRate) {
            return Detail::createOpusWriter(path, format, inputRate, streamSerialOf(input));
        };
        break;
    }
    std::optional<std::pair<Detail::TagKind, IAudioConvertInformation>> tags;
    if (m_writeTags)
        tags.emplace(kind, *m_information);

    const uint64_t run = ++m_run;
    m_runFinished = false;
    QObject *context = m_eventContext.get(); // outlives every job: joined first
    auto post = [this, context, run](bool error, int32_t value) {
        // Queued, so that nothing arrives before the starting call has
        // returned and everything arrives on the converter's thread.
        QMetaObject::invokeMethod(
            context,
            [this, run, error, value] { deliver(run, error, value); },
            Qt::QueuedConnection);
    };
    m_job = std::make_unique<ConversionJob>(inputFile,
                                            outputFile,
                                            std::move(makeWriter),
                                            std::move(tags),
                                            std::move(post));
}

void IAudioConvert::deliver(uint64_t run, bool error, int32_t value)
{
    if (run != m_run || m_runFinished)
        return;
    if (error || value == 100)
        m_runFinished = true;
    // A handler may Advise or Unadvise: walk a copy.
    const auto sinks = m_sinks;
    for (const auto &entry : sinks) {
        if (m_sinks.count(entry.first) == 0)
            continue;
        if (error)
            entry.second->OnError(value);
        else
            entry.second->OnConvertBlock(value);
    }
}

void IAudioConvert::Abort()
{
    if (!m_job)
        return;
    m_job.reset(); // joins: the output is closed when this returns
    ++m_run;       // events still queued for the stopped run are dropped
    m_runFinished = true;
}

std::shared_ptr<IAudioConvert> runningOrNewConverter()
{
    static std::mutex lock;
    static std::weak_ptr<IAudioConvert> running;
    std::lock_guard<std::mutex> guard(lock);
    std::shared_ptr<IAudioConvert> converter = running.lock();
    if (!converter) {
        converter = std::make_shared<IAudioConvert>();
        running = converter;
    }
    return converter;
}

} // namespace AudioConvertLib
