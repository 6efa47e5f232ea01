#include "libs/disclookup/drivetoc.h"

#include "libs/cdrip/cdrip.h"

#include <dlfcn.h>

#include <mutex>

namespace DiscLookup {

namespace {

// The entry points this reader calls, resolved once the library loads.
struct CdRip
{
    int32_t (*init)(const char *) = nullptr;
    int32_t (*numDrives)() = nullptr;
    int32_t (*activeDrive)() = nullptr;
    int32_t (*setActiveDrive)(int32_t) = nullptr;
    int32_t (*readToc)() = nullptr;
    int32_t (*numTocEntries)() = nullptr;
    CR_TocEntry (*tocEntry)(int32_t) = nullptr;
};

template<typename Function>
bool resolve(void *library, Function &target, const char *name)
{
    target = reinterpret_cast<Function>(dlsym(library, name));
    return target != nullptr;
}

// Loads the library on the first call that finds it and keeps it for the
// process; a failed load is tried again by the next lookup.
const CdRip &cdRip()
{
    static std::mutex mutex;
    static CdRip entries;
    static bool loaded = false;
    std::lock_guard<std::mutex> lock(mutex);
    if (loaded)
        return entries;
    void *library = dlopen(CdRipLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char *why = dlerror();
        throw DriveError(std::string("The CD library cannot be loaded: ")
                         + (why ? why : CdRipLibraryName));
    }
    CdRip e;
    if (!resolve(library, e.init, "CR_Init") || !resolve(library, e.numDrives, "CR_GetNumCDROM")
        || !resolve(library, e.activeDrive, "CR_GetActiveCDROM")
        || !resolve(library, e.setActiveDrive, "CR_SetActiveCDROM")
        || !resolve(library, e.readToc, "CR_ReadToc")
        || !resolve(library, e.numTocEntries, "CR_GetNumTocEntries")
        || !resolve(library, e.tocEntry, "CR_GetTocEntry")) {
        dlclose(library);
        throw DriveError(std::string("The CD library ") + CdRipLibraryName
                         + " lacks an entry point");
    }
    entries = e;
    loaded = true;
    return entries;
}

// Selects the drive that was active when it was made, when it goes.
class ActiveDriveGuard
{
public:
    explicit ActiveDriveGuard(const CdRip &cd)
        : m_cd(cd)
        , m_drive(cd.activeDrive())
        , m_hadToc(cd.numTocEntries() > 0)
    {}
    ~ActiveDriveGuard()
    {
        if (m_cd.activeDrive() == m_drive)
            return;
        m_cd.setActiveDrive(m_drive);
        if (m_hadToc)
            m_cd.readToc();
    }
    ActiveDriveGuard(const ActiveDriveGuard &) = delete;
    ActiveDriveGuard &operator=(const ActiveDriveGuard &) = delete;

private:
    const CdRip &m_cd;
    int32_t m_drive;
    bool m_hadToc;
};

} // namespace

DiscToc readDriveToc(int32_t drive, const std::string &settingsFolder)
{
    const CdRip &cd = cdRip();
    if (cd.numDrives() == 0) {
        // Without a settings file the library lists the machine's drives.
        const std::string settings = settingsFolder + CdRipSettingsName;
        cd.init(settingsFolder.empty() ? nullptr : settings.c_str());
    }
    if (drive < 0 || drive >= cd.numDrives())
        throw DriveError("There is no drive " + std::to_string(drive));

    DiscToc toc;
    {
        ActiveDriveGuard guard(cd);
        if (cd.setActiveDrive(drive) != CR_OK)
            throw DriveError("There is no drive " + std::to_string(drive));
        if (cd.readToc() != CR_OK || cd.numTocEntries() <= 0)
            throw DriveError("No disc in the drive");
        const int32_t n = cd.numTocEntries();
        for (int32_t i = 0; i < n; ++i) {
            const CR_TocEntry e = cd.tocEntry(i);
            toc.tracks.push_back(
                {e.trackNumber, e.startSector + LeadInFrames, (e.flags & CR_CONTROL_DATA) != 0});
        }
        toc.leadOutFrame = cd.tocEntry(n).startSector + LeadInFrames;
    }
    return toc;
}

} // namespace DiscLookup
