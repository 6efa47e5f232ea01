#include "pipeline/wavewriter.h"

#include "libs/imaadpcm/imaadpcm.h"
#include "pipeline/pcmexception.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <vector>

namespace {

void putLe16(QByteArray &bytes, int offset, uint32_t value)
{
    bytes[offset] = static_cast<char>(value & 0xff);
    bytes[offset + 1] = static_cast<char>((value >> 8) & 0xff);
}

void putLe32(QByteArray &bytes, int offset, uint32_t value)
{
    putLe16(bytes, offset, value & 0xffff);
    putLe16(bytes, offset + 2, value >> 16);
}

uint32_t le16(const char *p)
{
    const auto *b = reinterpret_cast<const uint8_t *>(p);
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8;
}

uint32_t le32(const char *p)
{
    return le16(p) | le16(p + 2) << 16;
}

void putId(QByteArray &bytes, int offset, const char *id)
{
    std::memcpy(bytes.data() + offset, id, 4);
}

// A RIFF size field for a file of this many bytes; files past 4 GiB cannot say it.
uint32_t sizeField(int64_t value)
{
    if (value < 0)
        return 0;
    return value > 0xffffffffLL ? 0xffffffffU : static_cast<uint32_t>(value);
}

void writeLe32At(TFileStream &stream, int64_t offset, uint32_t value)
{
    QByteArray field(4, '\0');
    putLe32(field, 0, value);
    stream.seek(offset);
    stream.write(field.constData(), 4);
}

} // namespace

TWaveOut::TWaveOut(QObject *owner, const QString &name)
    : TPcmFileOut(owner, name)
    , m_encoder(std::make_unique<ImaAdpcm::TIMAEncoderState>())
{}

TWaveOut::~TWaveOut()
{
    shutdownWorker();
    // Destruction does not finish a run, but the part of the file already
    // written still gets a header that matches it.
    if (OutputStream) {
        try {
            patchHeader(*OutputStream);
            OutputStream->close();
        } catch (...) {
            // Nobody is left to tell.
        }
    }
}

void TWaveOut::SetWavType(TWavType value)
{
    if (IsBusy())
        return;
    if (value == wtPCM || value == wtDVIADPCM)
        m_wavType = value;
}

void TWaveOut::SetBlockSize(uint16_t value)
{
    if (IsBusy())
        return;
    if (value != 0 && value % 4 == 0)
        m_blockSize = value;
}

void TWaveOut::SetFileMode(TFileOutputMode value)
{
    m_fileMode = value;
}

QByteArray TWaveOut::BuildPCMHeader(int32_t size,
                                    int32_t channels,
                                    int32_t sampleRate,
                                    int32_t bitsPerSample)
{
    const uint32_t blockAlign = static_cast<uint32_t>(bitsPerSample * channels) / 8;
    QByteArray header(44, '\0');
    putId(header, 0, "RIFF");
    putLe32(header, 4, static_cast<uint32_t>(size + 36));
    putId(header, 8, "WAVE");
    putId(header, 12, "fmt ");
    putLe32(header, 16, 16);
    putLe16(header, 20, 1);
    putLe16(header, 22, static_cast<uint32_t>(channels));
    putLe32(header, 24, static_cast<uint32_t>(sampleRate));
    putLe32(header, 28, static_cast<uint32_t>(sampleRate) * blockAlign);
    putLe16(header, 32, blockAlign);
    putLe16(header, 34, static_cast<uint32_t>(bitsPerSample));
    putId(header, 36, "data");
    putLe32(header, 40, static_cast<uint32_t>(size));
    return header;
}

QByteArray TWaveOut::BuildIMAADPCMHeader(int32_t size,
                                         int32_t channels,
                                         int32_t sampleRate,
                                         uint16_t blockSize)
{
    const int spb = ImaAdpcm::samplesPerBlock(blockSize, channels);
    const int32_t frames = size / 2 / channels; // ADPCM input is always 16-bit
    const auto blocks = static_cast<int64_t>(std::nearbyint(static_cast<double>(frames) / spb));
    const auto dataSize = static_cast<uint32_t>(blocks * blockSize);
    QByteArray header(60, '\0');
    putId(header, 0, "RIFF");
    putLe32(header, 4, dataSize + 52);
    putId(header, 8, "WAVE");
    putId(header, 12, "fmt ");
    putLe32(header, 16, 20);
    putLe16(header, 20, 0x0011);
    putLe16(header, 22, static_cast<uint32_t>(channels));
    putLe32(header, 24, static_cast<uint32_t>(sampleRate));
    putLe32(header, 28, static_cast<uint32_t>(sampleRate / spb) * blockSize);
    putLe16(header, 32, blockSize);
    putLe16(header, 34, 4);
    putLe16(header, 36, 2);
    putLe16(header, 38, static_cast<uint32_t>(spb));
    putId(header, 40, "fact");
    putLe32(header, 44, 4);
    putLe32(header, 48, static_cast<uint32_t>(frames));
    putId(header, 52, "data");
    putLe32(header, 56, dataSize);
    return header;
}

bool TWaveOut::SameChunkId(const char *a, const char *b)
{
    for (int i = 0; i < 4; ++i) {
        const int x = static_cast<uint8_t>(a[i]);
        const int y = static_cast<uint8_t>(b[i]);
        if (x != y && x - y != 0x20 && y - x != 0x20)
            return false;
    }
    return true;
}

TExistingWaveInfo TWaveOut::ScanWaveHeader(const QByteArray &head, int64_t fileLength)
{
    TExistingWaveInfo info;
    const int64_t window = std::min<int64_t>({head.size(), fileLength, ScanWindowBytes});
    const char *buffer = head.constData();
    int64_t p = 0; // bytes read so far = the file offset of the next byte

    // A read that would pass the end of the file or of the window ends the
    // scan unsuccessfully.
    auto read = [&](int64_t count) {
        if (count < 0 || count > window - p)
            return false;
        p += count;
        return true;
    };
    auto lastId = [&] { return buffer + p - 4; };
    auto readLength = [&](uint32_t &length) {
        if (!read(4))
            return false;
        length = le32(buffer + p - 4);
        return true;
    };
    auto skipChunk = [&] {
        uint32_t length = 0;
        return readLength(length) && read(length) && read(4);
    };

    if (!read(4))
        return info;
    int state = 0;
    TWavType type = wtUnsupported;
    for (;;) {
        bool ok = true;
        switch (state) {
        case 0:
        case 1: {
            const char *wanted = state == 0 ? "RIFF" : "WAVE";
            if (!SameChunkId(lastId(), wanted)) {
                ok = read(1);
            } else {
                ok = read(4);
                ++state;
            }
            break;
        }
        case 2:
            if (SameChunkId(lastId(), "fmt ")) {
                uint32_t length = 0;
                // The fields sit in the body's first 16 bytes; a shorter body
                // does not describe a format this writer can continue.
                if (!readLength(length) || length < 16)
                    return info;
                const char *body = buffer + p;
                if (!read(length))
                    return info;
                const uint32_t tag = le16(body);
                if (tag == 1)
                    type = wtPCM;
                else if (tag == 0x0011)
                    type = wtDVIADPCM;
                else
                    return info;
                info.Channels = static_cast<uint16_t>(le16(body + 2));
                info.SampleRate = le32(body + 4);
                info.BlockAlign = static_cast<uint16_t>(le16(body + 12));
                info.BitsPerSample = static_cast<uint16_t>(le16(body + 14));
                state = type == wtDVIADPCM ? 3 : 4;
                ok = read(4);
            } else {
                ok = skipChunk();
            }
            break;
        case 3:
            if (SameChunkId(lastId(), "fact")) {
                uint32_t length = 0;
                if (!readLength(length) || length < 4)
                    return info;
                info.FactOffset = static_cast<uint32_t>(p);
                const char *body = buffer + p;
                if (!read(length))
                    return info;
                info.FactSamples = le32(body);
                ok = read(4);
                state = 4;
            } else {
                ok = skipChunk();
            }
            break;
        default:
            if (SameChunkId(lastId(), "data")) {
                if (!readLength(info.DataSize))
                    return info;
                info.DataSizeOffset = static_cast<uint32_t>(p - 4);
                info.DataStart = static_cast<uint32_t>(p);
                // Appending goes at the end of the file: with a chunk after
                // the audio (a LIST of tags, say) its bytes would become
                // audio. A data size past the end (a cut file) is mended.
                if (int64_t(info.DataStart) + info.DataSize >= fileLength)
                    info.TypeFound = type;
                return info;
            }
            ok = skipChunk();
            break;
        }
        if (!ok || p >= fileLength)
            return info;
    }
}

void TWaveOut::ScanExistingHeader()
{
    m_existing = TExistingWaveInfo();
    OutputStream->seek(0);
    QByteArray head(ScanWindowBytes, '\0');
    head.truncate(static_cast<int>(OutputStream->read(head.data(), ScanWindowBytes)));
    m_existing = ScanWaveHeader(head, OutputStream->size());
    if (m_existing.BitsPerSample != 0 || m_existing.Channels != 0)
        m_blockSize = m_existing.BlockAlign; // the file's block align rules what is appended
}

void TWaveOut::refuse(const char *message)
{
    throw EPcmException(message);
}

void TWaveOut::PrepareOutput()
{
    EndOfInput = false;
    OpenOutputFile();
    TPcmInput *input = Input();
    try {
        input->BeginRead();
    } catch (...) {
        OutputStream.reset();
        throw;
    }
    try {
        const bool appending = m_fileMode == foAppend && OutputStream->size() > 0;
        prepareStream(appending);
        m_appending = appending;
    } catch (...) {
        // The read is ended and the file closed before the error goes out; a
        // file being appended to has not been written.
        input->ResetQuietly();
        OutputStream.reset();
        throw;
    }
}

void TWaveOut::prepareStream(bool appending)
{
    TPcmInput *input = Input();
    if (appending) {
        ScanExistingHeader();
        if (m_existing.TypeFound != wtPCM && m_existing.TypeFound != wtDVIADPCM)
            refuse("Cannot append data to this .wav file.");
        m_wavType = m_existing.TypeFound;
    }
    const int32_t channels = input->Channels();
    const int32_t rate = input->SampleRate();
    const int32_t bits = input->BitsPerSample();
    if (m_wavType == wtPCM) {
        if (appending) {
            if (static_cast<int64_t>(rate) != m_existing.SampleRate
                || bits != m_existing.BitsPerSample || channels != m_existing.Channels)
                refuse("Cannot append data in different audio format.");
            OutputStream->seekToEnd();
        } else {
            const QByteArray header = BuildPCMHeader(input->Size(), channels, rate, bits);
            OutputStream->write(header.constData(), header.size());
        }
        return;
    }
    if (bits != 16)
        refuse("Cannot encode 8 bit sound into ADPCM.");
    if (appending
        && (static_cast<int64_t>(rate) != m_existing.SampleRate || channels != m_existing.Channels))
        refuse("Cannot append data in different audio format.");
    // Checked only now, so that the format and append messages come first; past this
    // point a block size that does not fit would make the encoder overrun.
    if (channels != 1 && channels != 2)
        refuse("ADPCM can only encode mono or stereo sound.");
    if (!ImaAdpcm::blockSizeFits(m_blockSize, channels))
        refuse("The ADPCM block size does not suit the number of channels.");
    if (appending) {
        OutputStream->seekToEnd();
    } else {
        const QByteArray header = BuildIMAADPCMHeader(input->Size(), channels, rate, m_blockSize);
        OutputStream->write(header.constData(), header.size());
        m_encoder->Left.StepIndex = 0;
        m_encoder->Right.StepIndex = 0;
    }
}

bool TWaveOut::WriteStep(bool abort)
{
    bool result = false;
    if (!stepPrologue(abort, EndOfInput, result))
        return result;
    switch (m_wavType) {
    case wtPCM:
        return writePcmStep();
    case wtDVIADPCM:
        return writeAdpcmStep();
    default:
        return true;
    }
}

bool TWaveOut::writePcmStep()
{
    const int32_t got = readInput(m_pcmBuffer.data(), PcmChunkBytes);
    if (got <= 0)
        return false;
    OutputStream->write(m_pcmBuffer.data(), got);
    return true;
}

bool TWaveOut::writeAdpcmStep()
{
    const int channels = Input() ? Input()->Channels() : 1;
    const int inputBytes = ImaAdpcm::inputBytesPerBlock(m_blockSize, channels);
    std::vector<char> in(static_cast<size_t>(inputBytes), 0);
    std::vector<uint8_t> block(m_blockSize, 0);
    bool ended = false;
    readInputFully(in.data(), inputBytes, ended);
    if (ended)
        EndOfInput = true;
    // Whatever the input left unread stays 0: the block's tail is silence.
    std::vector<int16_t> samples(static_cast<size_t>(inputBytes / 2));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(le16(in.data() + 2 * i));
    if (channels == 1)
        ImaAdpcm::EncodeIMABlockMono(samples.data(), block.data(), m_blockSize, m_encoder->Left);
    else
        ImaAdpcm::EncodeIMABlockStereo(samples.data(), block.data(), m_blockSize, *m_encoder);
    OutputStream->write(block.data(), m_blockSize);
    return true;
}

void TWaveOut::patchHeader(TFileStream &stream)
{
    const int64_t length = stream.size();
    if (m_wavType == wtPCM) {
        if (m_appending)
            writeLe32At(stream, m_existing.DataSizeOffset, sizeField(length - m_existing.DataStart));
        else
            writeLe32At(stream, 40, sizeField(length - 44));
    } else if (m_appending) {
        const int64_t dataSize = length - m_existing.DataStart;
        writeLe32At(stream, m_existing.DataSizeOffset, sizeField(dataSize));
        if (m_existing.FactOffset != 0) {
            const int64_t spb = ImaAdpcm::samplesPerBlock(m_blockSize, m_existing.Channels);
            writeLe32At(stream, m_existing.FactOffset, sizeField(spb * (dataSize / m_blockSize)));
        }
    } else {
        QByteArray header(60, '\0');
        stream.seek(0);
        stream.readExact(header.data(), 60);
        const int64_t dataSize = length - 60;
        const uint32_t blockAlign = le16(header.constData() + 32);
        const uint32_t spb = le16(header.constData() + 38);
        putLe32(header, 56, sizeField(dataSize));
        putLe32(header, 48, sizeField(blockAlign ? dataSize / blockAlign * spb : 0));
        stream.seek(0);
        stream.write(header.constData(), 60);
    }
    writeLe32At(stream, 4, sizeField(length - 8));
}

void TWaveOut::FinishOutput()
{
    // Taken first so that a second call, during error recovery, only ends the read.
    std::unique_ptr<TFileStream> stream = std::move(OutputStream);
    if (stream) {
        try {
            // The last buffered audio may not fit on the disk either; the
            // header is patched to what did reach it before that is reported.
            std::exception_ptr lastWrite;
            try {
                stream->flush();
            } catch (...) {
                lastWrite = std::current_exception();
            }
            // Always, not only for an unknown size or an append: a run that
            // was stopped, failed, or got less than the input's Size must not
            // keep a header promising data that is not there.
            patchHeader(*stream);
            stream->close();
            if (lastWrite)
                std::rethrow_exception(lastWrite);
        } catch (...) {
            endInputRead();
            throw;
        }
    }
    endInputRead();
}
