#include "convert/qualitylists.h"

#include <iterator>

namespace QualityLists {

namespace {

constexpr Mp3Entry Mp3List[] = {
    {"Near CD-Quality", Mp3Kind::Bitrate, 128},
    {"CD-Quality", Mp3Kind::Bitrate, 192},
    {"320 kbit/s", Mp3Kind::Bitrate, 320},
    {"256 kbit/s", Mp3Kind::Bitrate, 256},
    {"224 kbit/s", Mp3Kind::Bitrate, 224},
    {"192 kbit/s", Mp3Kind::Bitrate, 192},
    {"160 kbit/s", Mp3Kind::Bitrate, 160},
    {"128 kbit/s", Mp3Kind::Bitrate, 128},
    {"112 kbit/s", Mp3Kind::Bitrate, 112},
    {"96 kbit/s", Mp3Kind::Bitrate, 96},
    {"80 kbit/s", Mp3Kind::Bitrate, 80},
    {"64 kbit/s", Mp3Kind::Bitrate, 64},
    {"56 kbit/s", Mp3Kind::Bitrate, 56},
    {"48 kbit/s", Mp3Kind::Bitrate, 48},
    {"40 kbit/s", Mp3Kind::Bitrate, 40},
    {"32 kbit/s", Mp3Kind::Bitrate, 32},
    {"24 kbit/s", Mp3Kind::Bitrate, 24},
    {"16 kbit/s", Mp3Kind::Bitrate, 16},
    {"8 kbit/s", Mp3Kind::Bitrate, 8},
    {"VBR-Quality Level 0 (highest)", Mp3Kind::Vbr, 0},
    {"VBR-Quality Level 1", Mp3Kind::Vbr, 1},
    {"VBR-Quality Level 2", Mp3Kind::Vbr, 2},
    {"VBR-Quality Level 3", Mp3Kind::Vbr, 3},
    {"VBR-Quality Level 4", Mp3Kind::Vbr, 4},
    {"VBR-Quality Level 5", Mp3Kind::Vbr, 5},
    {"VBR-Quality Level 6", Mp3Kind::Vbr, 6},
    {"VBR-Quality Level 7", Mp3Kind::Vbr, 7},
    {"VBR-Quality Level 8", Mp3Kind::Vbr, 8},
    {"VBR-Quality Level 9 (lowest)", Mp3Kind::Vbr, 9},
    {"Preset: Phone", Mp3Kind::Preset, 1},
    {"Preset: SW", Mp3Kind::Preset, 2},
    {"Preset: AM", Mp3Kind::Preset, 3},
    {"Preset: FM", Mp3Kind::Preset, 4},
    {"Preset: Voice", Mp3Kind::Preset, 5},
    {"Preset: Radio", Mp3Kind::Preset, 6},
    {"Preset: Type", Mp3Kind::Preset, 7},
    {"Preset: HiFi", Mp3Kind::Preset, 8},
    {"Preset: CD", Mp3Kind::Preset, 9},
    {"Preset: Studio", Mp3Kind::Preset, 10},
    {"Preset: R3Mix", Mp3Kind::Preset, 11},
};
constexpr WmaEntry WmaList[] = {
    {"WMA 8,000 Hz; 16 Bit; Mono; 8 kbps",
     "Video for dial-up modems or single channel ISDN (28.8 to 56 Kbps)"},
    {"WMA 32,000 Hz; 16 Bit; Stereo; 32 kbps",
     "Video for LAN, cable modem, or xDSL (100 to 768 Kbps)"},
    {"WMA 8,000 Hz; 16 Bit; Mono; 8 kbps", "Video for dial-up modems or LAN (28.8 to 100 Kbps"},
    {"WMA 8,000 Hz; 16 Bit; Mono; 4 kbps",
     "Video with voice emphasis for dial-up modems (28.8 Kbps)"},
    {"WMA 8,000 Hz; 16 Bit; Mono; 8 kbps",
     "Video with audio emphasis for dial-up modems (28.8 Kbps)"},
    {"WMA 8,000 Hz; 16 Bit; Mono; 8 kbps", "Video for Web servers (28.8 Kbps)"},
    {"WMA 11,025 Hz; 16 Bit; Mono; 10 kbps", "Video for Web servers (56 Kbps)"},
    {"WMA 11,025 Hz; 16 Bit; Mono; 10 kbps", "Video for single-channel ISDN (64 Kbps)"},
    {"WMA 16,000 Hz; 16 Bit; Mono; 16 kbps", "Video for e-mail and dual-channel ISDN (128 Kbps)"},
    {"WMA 32,000 Hz; 16 Bit; Stereo; 32 kbps", "Video for broadband NTSC (256 Kbps)"},
    {"WMA 32,000 Hz; 16 Bit; Stereo; 32 kbps", "Video for broadband NTSC (384 Kbps)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps", "Video for broadband NTSC (768 Kbps)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps", "Video for broadband NTSC (1500 Kbps total)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps", "Video for broadband NTSC (2 Mbps total)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps", "Video for broadband film content (768 Kbps)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps",
     "Video for broadband film content (1500 Kbps total)"},
    {"WMA 8,000 Hz; 16 Bit; Mono; 6 kbps",
     "Audio for low bit rate voice-oriented content (6.5 Kbps)"},
    {"WMA 22,050 Hz; 16 Bit; Mono; 20 kbps",
     "Audio for FM radio quality for dial-up modems (28.8 Kbps mono)"},
    {"WMA 22,050 Hz; 16 Bit; Stereo; 20 kbps",
     "Audio for FM radio quality for dial-up modems (28.8 Kbps stereo)"},
    {"WMA 32,000 Hz; 16 Bit; Stereo; 32 kbps", "Audio for dial-up modems (56 Kbps stereo)"},
    {"WMA 32,000 Hz; 16 Bit; Stereo; 48 kbps", "Audio for single-channel ISDN (64 Kbps stereo)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps", "Audio for near-CD quality (64 Kbps stereo)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 96 kbps", "Audio for CD-quality (96 Kbps stereo)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps",
     "Audio for CD-quality transparency (128 Kbps stereo)"},
    {"WMA 22,050 Hz; 16 Bit; Stereo; 32 kbps", "Video for color PDA devices (225 Kbps)"},
    {"WMA 22,050 Hz; 16 Bit; Stereo; 32 kbps", "Video for color PDA devices (150 Kbps)"},
    {"WMA 22,050 Hz; 16 Bit; Stereo; 32 kbps",
     "Windows Media Video 8 for Color Pocket PCs (225 Kbps)"},
    {"WMA 22,050 Hz; 16 Bit; Stereo; 32 kbps",
     "Windows Media Video 8 for Color Pocket PCs (150 Kbps)"},
    {"WMA 8,000 Hz; 16 Bit; Mono; 8 kbps",
     "Windows Media Video 8 for Dial-up Modems or Single-channel ISDN (28.8 to 56 Kbps)"},
    {"WMA 32,000 Hz; 16 Bit; Stereo; 32 kbps",
     "Windows Media Video 8 for LAN, Cable Modem, or xDSL (100 to 768 Kbps)"},
    {"WMA 8,000 Hz; 16 Bit; Mono; 8 kbps",
     "Windows Media Video 8 for Dial-up Modems or LAN (28.8 to 100 Kbps)"},
    {"WMA 8,000 Hz; 16 Bit; Mono; 5 kbps", "Windows Media Video 8 for Dial-up Modems (28.8 Kbps)"},
    {"WMA 11,025 Hz; 16 Bit; Mono; 10 kbps", "Windows Media Video 8 for Dial-up Modems (56 Kbps)"},
    {"WMA 16,000 Hz; 16 Bit; Mono; 16 kbps",
     "Windows Media Video 8 for Local Area Network (100 Kbps)"},
    {"WMA 32,000 Hz; 16 Bit; Stereo; 40 kbps",
     "Windows Media Video 8 for Local Area Network (256 Kbps)"},
    {"WMA 32,000 Hz; 16 Bit; Stereo; 48 kbps",
     "Windows Media Video 8 for Local Area Network (384 Kbps)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps",
     "Windows Media Video 8 for Local Area Network (768 Kbps)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps",
     "Windows Media Video 8 for Broadband (NTSC, 700 Kbps)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps",
     "Windows Media Video 8 for Broadband (NTSC, 1400 Kbps)"},
    {"WMA 32,000 Hz; 16 Bit; Stereo; 48 kbps",
     "Windows Media Video 8 for Broadband (PAL, 384 Kbps)"},
    {"WMA 44,000 Hz; 16 Bit; Stereo; 64 kbps",
     "Windows Media Video 8 for Broadband (PAL, 700 Kbps)"},
    {"WMA 22,050 Hz; 16 Bit; Mono; 20 kbps",
     "Windows Media Audio 8 for Dial-up Modem (Mono, 28.8 Kbps)"},
    {"WMA 22,050 Hz; 16 Bit; Stereo; 20 kbps",
     "Windows Media Audio 8 for Dial-up Modem (FM Radio Stereo, 28.8 Kbps)"},
    {"WMA 32,000 Hz; 16 Bit; Stereo; 32 kbps", "Windows Media Audio 8 for Dial-up Modem (32 Kbps)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 48 kbps",
     "Windows Media Audio 8 for Dial-up Modem (Near CD quality, 48 Kbps)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps",
     "Windows Media Audio 8 for Dial-up Modem (CD quality, 64 Kbps)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 96 kbps",
     "Windows Media Audio 8 for ISDN (Better than CD quality, 96 Kbps)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps",
     "Windows Media Audio 8 for ISDN (Better than CD quality, 128 Kbps)"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps",
     "Windows Media 8 Fair Quality based VBR for Broadband"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps",
     "Windows Media 8 High Quality based VBR for Broadband"},
    {"WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps",
     "Windows Media 8 Best Quality based VBR for Broadband"},
};
constexpr OggEntry OggList[] = {
    {"VBR Quality-0 (320 kbit/s)", true, 320, 10},
    {"VBR Quality-1 (256 kbit/s)", true, 256, 9},
    {"VBR Quality-2 (224 kbit/s)", true, 224, 8},
    {"VBR Quality-3 (192 kbit/s)", true, 192, 7},
    {"VBR Quality-4 (160 kbit/s)", true, 160, 6},
    {"VBR Quality-5 (128 kbit/s)", true, 128, 5},
    {"VBR Quality-6 (112 kbit/s)", true, 112, 4},
    {"VBR Quality-7 (96 kbit/s)", true, 96, 3},
    {"VBR Quality-8 (64 kbit/s)", true, 64, 2},
    {"VBR Quality-9 (56 kbit/s)", true, 56, 1},
    {"VBR Quality-10 (32-48 kbit/s)", true, 56, 0},
    {"320 kbit/s", false, 320, 11},
    {"256 kbit/s", false, 256, 10},
    {"224 kbit/s", false, 224, 9},
    {"192 kbit/s", false, 192, 8},
    {"160 kbit/s", false, 160, 7},
    {"128 kbit/s", false, 128, 6},
    {"112 kbit/s", false, 112, 5},
    {"96 kbit/s", false, 96, 4},
    {"64 kbit/s", false, 64, 3},
    {"56 kbit/s", false, 56, 2},
    {"48 kbit/s", false, 48, 1},
};
constexpr WaveEntry WaveList[] = {
    {"16-bit Stereo 44,100Hz (CD Quality)", 44100, 2, 16},
    {"16-bit Stereo 48,000Hz", 48000, 2, 16},
    {"16-bit Stereo 32,000Hz", 32000, 2, 16},
    {"16-bit Stereo 24,000Hz", 24000, 2, 16},
    {"16-bit Stereo 22,050Hz", 22050, 2, 16},
    {"16-bit Stereo 16,000Hz", 16000, 2, 16},
    {"16-bit Stereo 11,025Hz", 11025, 2, 16},
    {"16-bit Stereo 8,000Hz", 8000, 2, 16},
    {"16-bit Stereo 6,000Hz", 6000, 2, 16},
    {"16-bit Mono 48,000Hz", 48000, 1, 16},
    {"16-bit Mono 44,100Hz", 44100, 1, 16},
    {"16-bit Mono 32,000Hz", 32000, 1, 16},
    {"16-bit Mono 24,000Hz", 24000, 1, 16},
    {"16-bit Mono 22,050Hz", 22050, 1, 16},
    {"16-bit Mono 16,000Hz", 16000, 1, 16},
    {"16-bit Mono 11,025Hz", 11025, 1, 16},
    {"16-bit Mono 8,000Hz", 8000, 1, 16},
    {"16-bit Mono 6,000Hz", 6000, 1, 16},
    {"8-bit Stereo 48,000Hz", 48000, 2, 8},
    {"8-bit Stereo 44,100Hz", 44100, 2, 8},
    {"8-bit Stereo 32,000Hz", 32000, 2, 8},
    {"8-bit Stereo 24,000Hz", 24000, 2, 8},
    {"8-bit Stereo 22,050Hz", 22050, 2, 8},
    {"8-bit Stereo 16,000Hz", 16000, 2, 8},
    {"8-bit Stereo 11,025Hz", 11025, 2, 8},
    {"8-bit Stereo 8,000Hz", 8000, 2, 8},
    {"8-bit Stereo 6,000Hz", 6000, 2, 8},
    {"8-bit Mono 48,000Hz", 48000, 1, 8},
    {"8-bit Mono 44,100Hz", 44100, 1, 8},
    {"8-bit Mono 32,000Hz", 32000, 1, 8},
    {"8-bit Mono 24,000Hz", 24000, 1, 8},
    {"8-bit Mono 22,050Hz", 22050, 1, 8},
    {"8-bit Mono 16,000Hz", 16000, 1, 8},
    {"8-bit Mono 11,025Hz", 11025, 1, 8},
    {"8-bit Mono 8,000Hz", 8000, 1, 8},
    {"8-bit Mono 6,000Hz", 6000, 1, 8},
};
constexpr AdpcmEntry AdpcmList[] = {
    {"Stereo 48,000Hz", 48000, 2},
    {"Stereo 44,100Hz", 44100, 2},
    {"Stereo 32,000Hz", 32000, 2},
    {"Stereo 24,000Hz", 24000, 2},
    {"Stereo 22,050Hz", 22050, 2},
    {"Stereo 16,000Hz", 16000, 2},
    {"Stereo 11,025Hz", 11025, 2},
    {"Stereo 8,000Hz", 8000, 2},
    {"Stereo 6,000Hz", 6000, 2},
    {"Mono 48,000Hz", 48000, 1},
    {"Mono 44,100Hz", 44100, 1},
    {"Mono 32,000Hz", 32000, 1},
    {"Mono 24,000Hz", 24000, 1},
    {"Mono 22,050Hz", 22050, 1},
    {"Mono 16,000Hz", 16000, 1},
    {"Mono 11,025Hz", 11025, 1},
    {"Mono 8,000Hz", 8000, 1},
    {"Mono 6,000Hz", 6000, 1},
};
constexpr ApeEntry ApeList[] = {
    {"Fast Compression Level", 1000},
    {"Normal Compression Level", 2000},
    {"High Compression Level", 3000},
    {"Extra High Compression Level", 4000},
};
constexpr const char *FlacList[] = {
    "Compression Level 0",
    "Compression Level 1",
    "Compression Level 2",
    "Compression Level 3",
    "Compression Level 4",
    "Compression Level 5",
    "Compression Level 6",
    "Compression Level 7",
    "Compression Level 8",
};

constexpr OpusEntry OpusList[] = {
    {"VBR 64 kbit/s", 64},
    {"VBR 96 kbit/s", 96},
    {"VBR 128 kbit/s", 128},
    {"VBR 160 kbit/s", 160},
    {"VBR 192 kbit/s", 192},
    {"VBR 256 kbit/s", 256},
};

static_assert(std::size(Mp3List) == Mp3Count);
static_assert(std::size(WmaList) == WmaCount);
static_assert(std::size(OggList) == OggCount);
static_assert(std::size(WaveList) == WaveCount);
static_assert(std::size(AdpcmList) == AdpcmCount);
static_assert(std::size(FlacList) == FlacCount);
static_assert(std::size(ApeList) == ApeCount);
static_assert(std::size(OpusList) == OpusCount);

template<typename Entry, std::size_t N>
QStringList textsOf(const Entry (&list)[N])
{
    QStringList result;
    result.reserve(int(N));
    for (const Entry &entry : list)
        result.append(QString::fromLatin1(entry.text));
    return result;
}

} // namespace

const Mp3Entry &mp3(int n)
{
    return Mp3List[n];
}

const WmaEntry &wma(int n)
{
    return WmaList[n];
}

const OggEntry &ogg(int n)
{
    return OggList[n];
}

const WaveEntry &wave(int n)
{
    return WaveList[n];
}

const AdpcmEntry &adpcm(int n)
{
    return AdpcmList[n];
}

const ApeEntry &ape(int n)
{
    return ApeList[n];
}

const OpusEntry &opus(int n)
{
    return OpusList[n];
}

QStringList texts(int format)
{
    switch (format) {
    case Mp3:
        return textsOf(Mp3List);
    case Wma:
        return textsOf(WmaList);
    case OggVorbis:
        return textsOf(OggList);
    case Wave:
        return textsOf(WaveList);
    case Adpcm:
        return textsOf(AdpcmList);
    case Flac: {
        QStringList result;
        for (const char *text : FlacList)
            result.append(QString::fromLatin1(text));
        return result;
    }
    case Ape:
        return textsOf(ApeList);
    case Opus:
        return textsOf(OpusList);
    default:
        return {};
    }
}

int defaultEntry(int format)
{
    // "Near CD-Quality", "WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps" (profile 24),
    // "VBR Quality-3 (192 kbit/s)", CD quality, the ADPCM list's first entry
    // (48,000 Hz), level 0, "Normal Compression Level" and "VBR 128 kbit/s".
    static constexpr int Defaults[FormatCount] = {0, 23, 3, 0, 0, 0, 1, 2};
    return format >= 0 && format < FormatCount ? Defaults[format] : -1;
}

bool hasQualityDialog(int format)
{
    return format == Mp3 || format == OggVorbis;
}

} // namespace QualityLists
