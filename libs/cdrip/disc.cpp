#include "libs/cdrip/disc.h"

#include "libs/cdrip/cdiolog.h"
#include "libs/cdrip/settingsfile.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

#include <sys/stat.h>

namespace CdRip {

namespace {

constexpr uint8_t AdrPosition = 0x10; // Q sub-channel mode 1: position data
// The audio session's lead-out (6,750 sectors), the next session's lead-in
// (4,500) and its first track's pregap (150) lie between two sessions.
constexpr lsn_t SessionGap = 11400;

struct DeviceListDeleter
{
    void operator()(char **list) const { cdio_free_device_list(list); }
};

std::string fileNameOf(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string resolvedPath(const char *path)
{
    struct FreeDeleter
    {
        void operator()(char *p) const { std::free(p); }
    };
    const std::unique_ptr<char, FreeDeleter> resolved(realpath(path, nullptr));
    return resolved ? std::string(resolved.get()) : std::string(path);
}

std::string lowerExtension(const std::string &path)
{
    const std::string name = fileNameOf(path);
    const auto dot = name.find_last_of('.');
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    for (char &c : ext) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return ext;
}

// "vendor model revision" of the drive's INQUIRY data, and the vendor and
// model as the drive gave them; the device's name when it tells nothing.
void identify(Drive &drive)
{
    drive.name = drive.source;
    CdIoPtr cdio(cdio_open(drive.source.c_str(), DRIVER_DEVICE));
    cdio_hwinfo_t info{};
    if (!cdio || !cdio_get_hwinfo(cdio.get(), &info))
        return;
    drive.vendor = info.psz_vendor;
    drive.model = info.psz_model;
    std::string name = info.psz_vendor;
    for (const char *part : {info.psz_model, info.psz_revision}) {
        if (*part)
            name += (name.empty() ? "" : " ") + std::string(part);
    }
    if (!name.empty())
        drive.name = name;
}

bool isRegularFile(const std::string &path)
{
    struct stat st
    {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string upper(std::string s)
{
    for (char &c : s) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

// libcdio reads the BIN of the sheet's own name, whatever its FILE line
// says: "x.cue" reads "x.bin", "X.CUE" reads "X.BIN"; it reads no other
// sheet (empty).
std::string binOfCue(const std::string &cue)
{
    const std::string stem = cue.substr(0, cue.size() - 3);
    const std::string ext = cue.substr(cue.size() - 3);
    if (ext == "cue")
        return stem + "bin";
    if (ext == "CUE")
        return stem + "BIN";
    return {};
}

// The files a cdrdao TOC sheet reads its sectors from (FILE, AUDIOFILE and
// DATAFILE "name"), found beside the sheet unless named with a folder.
std::vector<std::string> tocDataFiles(const std::string &toc)
{
    std::vector<std::string> files;
    std::ifstream in(toc);
    std::string line;
    const auto slash = toc.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string()
                                                          : toc.substr(0, slash + 1);
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string keyword;
        words >> keyword;
        if (keyword != "FILE" && keyword != "AUDIOFILE" && keyword != "DATAFILE")
            continue;
        const auto open = line.find('"');
        const auto close = open == std::string::npos ? open : line.find('"', open + 1);
        if (close == std::string::npos)
            continue;
        const std::string name = line.substr(open + 1, close - open - 1);
        files.push_back(!name.empty() && name[0] == '/' ? name : folder + name);
    }
    return files;
}

// A FIFO would stop the reader for good, a folder fails every read: an
// image is its regular files or it is no disc.
bool imageFilesAreRegular(const Drive &drive)
{
    if (!isRegularFile(drive.source))
        return false;
    const std::string ext = lowerExtension(drive.source);
    if (ext == "cue") {
        const std::string bin = binOfCue(drive.source);
        return bin.empty() || isRegularFile(bin);
    }
    if (ext == "toc") {
        for (const std::string &file : tocDataFiles(drive.source)) {
            if (!isRegularFile(file))
                return false;
        }
    }
    return true;
}

// Each line of a drive's CUE sheet: its keyword in capitals, the number of
// the TRACK it belongs to (0 before the first) and the rest of its words.
void forEachCueLine(const Drive &drive,
                    const std::function<void(const std::string &, int, std::istream &)> &line)
{
    if (!drive.image || lowerExtension(drive.source) != "cue")
        return;
    std::ifstream in(drive.source);
    std::string text;
    int track = 0;
    while (std::getline(in, text)) {
        std::istringstream words(text);
        std::string keyword;
        words >> keyword;
        keyword = upper(keyword);
        if (keyword == "TRACK")
            words >> track;
        line(keyword, track, words);
    }
}

// "mm:ss:ff" as frames.
bool readMsf(std::istream &words, uint32_t &frames)
{
    unsigned m = 0, s = 0, f = 0;
    char colon1 = 0, colon2 = 0;
    if (!(words >> m >> colon1 >> s >> colon2 >> f) || colon1 != ':' || colon2 != ':')
        return false;
    frames = (m * 60 + s) * 75 + f;
    return true;
}

uint8_t controlOf(CdIo_t *cdio, track_t track)
{
    uint8_t control = 0;
    if (cdio_get_track_format(cdio, track) != TRACK_FORMAT_AUDIO) {
        control |= CR_CONTROL_DATA;
    } else {
        if (cdio_get_track_preemphasis(cdio, track) == CDIO_TRACK_FLAG_TRUE)
            control |= CR_CONTROL_PREEMPHASIS;
        if (cdio_get_track_channels(cdio, track) == 4)
            control |= CR_CONTROL_FOUR_CHANNEL;
    }
    if (cdio_get_track_copy_permit(cdio, track) == CDIO_TRACK_FLAG_TRUE)
        control |= CR_CONTROL_COPY_PERMITTED;
    return control;
}

} // namespace

std::vector<Drive> listDrives(const std::vector<std::string> &images)
{
    std::vector<Drive> drives;
    std::unique_ptr<char *, DeviceListDeleter> devices(cdio_get_devices(DRIVER_DEVICE));
    if (devices) {
        std::vector<std::string> seen;
        for (char **d = devices.get(); *d; ++d) {
            // libcdio may list one drive under several names (/dev/cdrom and
            // /dev/sr0): the drive list shows it once.
            const std::string node = resolvedPath(*d);
            if (std::find(seen.begin(), seen.end(), node) != seen.end())
                continue;
            seen.push_back(node);
            Drive drive;
            drive.source = *d;
            identify(drive);
            drives.push_back(drive);
        }
    }
    for (const std::string &path : images) {
        Drive drive;
        drive.source = path;
        drive.image = true;
        drive.name = fileNameOf(path);
        drives.push_back(drive);
    }
    return drives;
}

bool drivesFromSettings(const char *settingsPath, Settings &settings, std::vector<Drive> &drives)
{
    const bool read = settingsPath && readSettingsFile(settingsPath, settings);
    // An image named without a folder lies beside the settings file, not in
    // whatever folder the program was started from.
    const std::string path = settingsPath ? settingsPath : "";
    const auto slash = path.find_last_of('/');
    for (std::string &image : settings.images) {
        if (image[0] != '/' && slash != std::string::npos)
            image = path.substr(0, slash + 1) + image;
    }
    drives = listDrives(settings.images);
    return read;
}

CdIoPtr openDrive(const Drive &drive)
{
    driver_id_t driver = DRIVER_DEVICE;
    if (drive.image) {
        if (!imageFilesAreRegular(drive))
            return {};
        const std::string ext = lowerExtension(drive.source);
        driver = DRIVER_UNKNOWN;
        if (ext == "cue")
            driver = DRIVER_BINCUE;
        else if (ext == "toc")
            driver = DRIVER_CDRDAO;
        else if (ext == "nrg")
            driver = DRIVER_NRG;
    }
    const LogErrorWatch watch;
    CdIoPtr cdio(cdio_open(drive.source.c_str(), driver));
    if (watch.failed())
        cdio.reset();
    return cdio;
}

bool audioIsBigEndian(const Drive &drive)
{
    if (!drive.image || lowerExtension(drive.source) != "cue")
        return false;
    // FILE "name" BINARY | MOTOROLA | ...: the word after the name.
    std::ifstream in(drive.source);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string keyword;
        words >> keyword;
        if (upper(keyword) != "FILE")
            continue;
        std::string type;
        const auto close = line.find_last_of('"');
        if (close != std::string::npos) {
            std::istringstream rest(line.substr(close + 1));
            rest >> type;
        } else {
            std::string name;
            words >> name >> type;
        }
        return upper(type) == "MOTOROLA";
    }
    return false;
}

GeneratedGaps cuePregaps(const Drive &drive)
{
    GeneratedGaps gaps;
    forEachCueLine(drive, [&gaps](const std::string &keyword, int track, std::istream &rest) {
        uint32_t frames = 0;
        if (keyword == "PREGAP" && track > 0 && readMsf(rest, frames) && frames > 0)
            gaps[track] = frames;
    });
    return gaps;
}

bool readDiscToc(const Drive &drive, CdIo_t *cdio, Toc &toc)
{
    if (!readToc(cdio, toc))
        return false;
    const GeneratedGaps gaps = cuePregaps(drive);
    if (gaps.empty())
        return true;
    uint32_t shift = 0;
    for (size_t i = 0; i < toc.entries.size(); ++i) {
        const bool track = i + 1 < toc.entries.size();
        const auto gap = track ? gaps.find(toc.entries[i].trackNumber) : gaps.end();
        if (gap != gaps.end())
            shift += gap->second;
        toc.entries[i].startSector += shift;
    }
    for (size_t i = 0; i < toc.ends.size(); ++i)
        toc.ends[i] = toc.entries[i + 1].startSector;
    return true;
}

lsn_t imageSectorOf(const Toc &toc, const GeneratedGaps &gaps, lsn_t sector)
{
    lsn_t shift = 0;
    for (size_t i = 0; i + 1 < toc.entries.size(); ++i) {
        const auto gap = gaps.find(toc.entries[i].trackNumber);
        if (gap == gaps.end())
            continue;
        const auto start = lsn_t(toc.entries[i].startSector);
        if (sector < start - lsn_t(gap->second))
            return sector - shift;
        if (sector < start)
            return -1;
        shift += lsn_t(gap->second);
    }
    return sector - shift;
}

std::vector<uint32_t> cueSubIndexes(const Drive &drive, int track)
{
    std::vector<uint32_t> found;
    int files = 0;
    forEachCueLine(drive, [&](const std::string &keyword, int current, std::istream &rest) {
        int number = 0;
        uint32_t frames = 0;
        if (keyword == "FILE")
            ++files;
        else if (keyword == "INDEX" && current == track && rest >> number && number >= 2
                 && readMsf(rest, frames))
            found.push_back(frames);
    });
    if (files != 1)
        found.clear();
    return found;
}

bool readToc(CdIo_t *cdio, Toc &toc)
{
    toc.entries.clear();
    const LogErrorWatch watch;
    const track_t first = cdio_get_first_track_num(cdio);
    const track_t count = cdio_get_num_tracks(cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0
        || first + count - 1 > 99)
        return false;
    std::vector<CR_TocEntry> entries;
    for (track_t t = first; t < first + count; ++t) {
        const lsn_t start = cdio_get_track_lsn(cdio, t);
        if (start == CDIO_INVALID_LSN || start < 0)
            return false;
        CR_TocEntry e{};
        e.startSector = static_cast<uint32_t>(start);
        e.flags = static_cast<uint8_t>(AdrPosition | controlOf(cdio, t));
        e.trackNumber = t;
        entries.push_back(e);
    }
    const lsn_t leadOut = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
    if (leadOut == CDIO_INVALID_LSN || leadOut <= lsn_t(entries.back().startSector))
        return false;
    for (size_t i = 1; i < entries.size(); ++i) {
        if (entries[i].startSector <= entries[i - 1].startSector)
            return false;
    }
    if (watch.failed())
        return false;
    CR_TocEntry end{};
    end.startSector = static_cast<uint32_t>(leadOut);
    end.flags = entries.back().flags;
    end.trackNumber = CDIO_CDROM_LEADOUT_TRACK;
    entries.push_back(end);

    std::vector<uint32_t> ends;
    for (size_t i = 0; i + 1 < entries.size(); ++i)
        ends.push_back(entries[i + 1].startSector);
    // The table of contents runs the track before a later session up to
    // that session's first track; the sectors between belong to no track
    // and no drive reads them. Images answer no such question: they keep
    // their layout.
    lsn_t lastSession = 0;
    if (cdio_get_last_session(cdio, &lastSession) == DRIVER_OP_SUCCESS && lastSession > 0) {
        for (size_t i = 1; i + 1 < entries.size(); ++i) {
            const lsn_t gapStart = lastSession - SessionGap;
            if (lsn_t(entries[i].startSector) == lastSession
                && gapStart > lsn_t(entries[i - 1].startSector))
                ends[i - 1] = static_cast<uint32_t>(gapStart);
        }
    }
    toc.entries = std::move(entries);
    toc.ends = std::move(ends);
    return true;
}

} // namespace CdRip
