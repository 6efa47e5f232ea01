// A build of libcdrip.so that lacks CR_RipChunk: the program must refuse it
// rather than call a null entry point in the middle of a rip.
#include "libs/cdrip/cdrip.h"

#include <cstring>

extern "C" {

int32_t CR_Init(const char *)
{
    return CR_OK;
}
void CR_DeInit(void) {}
int32_t CR_GetCDRipVersion(void)
{
    return 0;
}
int32_t CR_GetNumCDROM(void)
{
    return 1;
}
int32_t CR_GetActiveCDROM(void)
{
    return 0;
}
int32_t CR_SetActiveCDROM(int32_t index)
{
    return index == 0 ? CR_OK : CR_ERR_FAILED;
}
int32_t CR_GetCDROMParameters(CR_CdromParameters *p)
{
    std::memset(p, 0, sizeof *p);
    return CR_OK;
}
int32_t CR_ReadToc(void)
{
    return CR_ERR_NO_DISC;
}
int32_t CR_GetNumTocEntries(void)
{
    return 0;
}
CR_TocEntry CR_GetTocEntry(int32_t)
{
    return CR_TocEntry{};
}
int32_t CR_IsMediaLoaded(int32_t *status)
{
    *status = 1;
    return CR_OK;
}
int32_t CR_IsAudioPlaying(void)
{
    return 0;
}
int32_t CR_EjectCD(int32_t)
{
    return CR_OK;
}
int32_t CR_OpenRipper(int32_t *, int32_t, int32_t)
{
    return CR_ERR_FAILED;
}
int32_t CR_CloseRipper(void)
{
    return CR_OK;
}

} // extern "C"
