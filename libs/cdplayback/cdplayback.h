#pragma once

/* libcdplayback: plays the audio of a CD drive or disc image through the
 * machine's sound output (SDL2), with a small C interface loaded at run time
 * by plain name (libcdplayback.so).
 *
 * Drives are numbered as libcdrip numbers them, from the same settings file:
 * first the machine's CD drives, then the images of its [Images] section.
 *
 * Times are frames (sectors of 1/75 s) counted from the disc's first sector
 * (logical block addresses); track n + 1 stands for the lead-out, so its
 * start is the disc's length.
 *
 * One play runs at a time in the process, as one drive plays one range:
 * CDP_Play returns at once and the audio goes on, on the library's own
 * threads, after the handle it was started through is closed. Its position
 * is that of the audio handed to the sound output, never a clock's guess.
 * Data tracks inside a played range are skipped.
 *
 * Threads: every entry point may be called from any thread.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define CDPLAYBACK_API __attribute__((visibility("default")))
#else
#define CDPLAYBACK_API
#endif

/* Result codes; 0 is success everywhere. */
enum {
    CDP_OK = 0,
    CDP_ERR_FAILED = 1,  /* bad argument or handle */
    CDP_ERR_NO_DISC = 2, /* no readable disc in the drive */
    CDP_ERR_RANGE = 3,   /* a range that is not on the disc, or holds no audio */
    CDP_ERR_AUDIO = 4    /* no sound output could be opened: see CDP_GetLastError */
};

/* What a drive is doing (CDP_GetMode). */
enum { CDP_MODE_NOT_READY = 0, CDP_MODE_STOPPED = 1, CDP_MODE_PLAYING = 2, CDP_MODE_PAUSED = 3 };

typedef struct CDP_Device CDP_Device;

/* (Re)reads the drive list from the settings file (libcdrip's); a running
 * play goes on. CDP_ERR_FAILED when the file cannot be read (the machine's
 * drives are listed all the same). */
CDPLAYBACK_API int32_t CDP_Init(const char *settingsPath);
/* Stops any play and closes the sound output. */
CDPLAYBACK_API void CDP_DeInit(void);
CDPLAYBACK_API int32_t CDP_GetNumDrives(void);

/* A handle on one drive of the list, null for an index that is none. It
 * looks at the disc when opened; reopen to look again. */
CDPLAYBACK_API CDP_Device *CDP_Open(int32_t drive);
/* Frees the handle; a play started through it goes on. */
CDPLAYBACK_API void CDP_Close(CDP_Device *device);

/* 1 when the drive holds a disc with a readable table of contents. */
CDPLAYBACK_API int32_t CDP_IsMediaPresent(CDP_Device *device);
CDPLAYBACK_API int32_t CDP_GetMode(CDP_Device *device);
/* 0 without a disc. */
CDPLAYBACK_API int32_t CDP_GetNumTracks(CDP_Device *device);
/* Start of track 1 .. n, or the disc's length for n + 1. */
CDPLAYBACK_API int32_t CDP_GetTrackStart(CDP_Device *device, int32_t track, uint32_t *frame);
/* 1 for an audio track, 0 for a data track or a track not on the disc. */
CDPLAYBACK_API int32_t CDP_IsAudioTrack(CDP_Device *device, int32_t track);

/* Plays the frames [from, to) and returns at once; any play before it stops.
 * CDP_ERR_AUDIO leaves nothing playing. */
CDPLAYBACK_API int32_t CDP_Play(CDP_Device *device, uint32_t from, uint32_t to);
/* Pause, resume and stop act on a play of the handle's drive. */
CDPLAYBACK_API int32_t CDP_Pause(CDP_Device *device);
CDPLAYBACK_API int32_t CDP_Resume(CDP_Device *device);
CDPLAYBACK_API int32_t CDP_Stop(CDP_Device *device);
/* The frame being handed to the sound output; after a play has ended, the
 * end of its range; 0 when the drive has not played. */
CDPLAYBACK_API int32_t CDP_GetPosition(CDP_Device *device, uint32_t *frame);

/* Left and right gain on the played samples, 0 to 65535 (unchanged samples);
 * one setting for the process, kept across plays. */
CDPLAYBACK_API void CDP_SetVolume(uint16_t left, uint16_t right);
CDPLAYBACK_API void CDP_GetVolume(uint16_t *left, uint16_t *right);

/* Why the calling thread's last CDP_Play failed with CDP_ERR_AUDIO. */
CDPLAYBACK_API const char *CDP_GetLastError(void);

#ifdef __cplusplus
}
#endif
