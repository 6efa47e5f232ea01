#pragma once

/* libdisclookup: the disc database lookup, with a small C interface loaded at
 * run time by plain name (libdisclookup.so).
 *
 * Getfreedbinfo reads the table of contents of a drive through the CD library
 * libcdrip.so (same drive numbering, disc images included), computes the
 * disc's CDDB and MusicBrainz ids, and answers from the local disc library
 * when the disc is known there; otherwise it asks MusicBrainz and a CDDB
 * server, merges their answers and keeps the result in the disc library.
 *
 * The answer is UTF-8 text, one line per item, lines ending in "\n":
 *   1 album, 2 artist of the disc, 3 genre, 4 year ("nil" for each one that
 *     is not known). The genre is the program's genre list item ("17 - Rock")
 *     when the found genre is one of its 148 genres, else the genre's name.
 *   5 "nil" when one title per track follows, "no titles" otherwise.
 *   6.. one title per track of the table of contents in track order, data
 *     tracks included; a track by another artist than the disc's reads
 *     "Track artist / Title".
 *
 * Settings: the INI file "disclookup.ini" in the disc library's folder
 * (optional; every key has a default):
 *   [CDDB]        Server = http://gnudb.gnudb.org/~cddb/cddb.cgi  (empty: not asked)
 *                 Hello = <user> <host>   (login and host name by default)
 *   [MusicBrainz] Server = https://musicbrainz.org/ws/2           (empty: not asked)
 *                 Contact = an address the MusicBrainz operators can reach
 *                           (added to the User-Agent)
 *   [Network]     ConnectTimeout = 5000 (ms)   Timeout = 15000 (ms, one request)
 *                 MaxReplySize = 4194304 (bytes, one reply)
 *
 * Threads: both functions may be called from any thread; calls are
 * serialised. A lookup blocks for up to a few request time limits, so call
 * it from a worker thread. It selects the drive in libcdrip.so for the time
 * of reading the table of contents and then selects the drive that was
 * active before; a rip in progress is not disturbed, but the program should
 * not query the CD library from another thread meanwhile.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define DISCLOOKUP_API __attribute__((visibility("default")))
#else
#define DISCLOOKUP_API
#endif

/* libraryPath: full path of the local disc library file ("CDLibrary.db"),
 * null or empty for none (nothing is then kept). driveIndex: the drive's
 * index in the CD library's drive list, 0 for the first. When nothing in
 * this process has initialised libcdrip.so yet (it lists no drive), the
 * lookup initialises it with "cdr.ini" in the disc library's folder.
 *
 * Returns the answer, valid until the next call of Getfreedbinfo (the caller
 * copies it and never frees it), or null when there is none; the reason is
 * then Getfreedberror(). */
DISCLOOKUP_API const char *Getfreedbinfo(const char *libraryPath, int32_t driveIndex);

/* Why the last Getfreedbinfo returned null, as one line for a status bar
 * ("No entry for this disc", "Disc database not reachable: ..."). After an
 * answer it is empty, or a warning that the answer could not be kept in the
 * disc library ("The disc library cannot be used: ..."). Valid until the next
 * call of Getfreedbinfo; never null. */
DISCLOOKUP_API const char *Getfreedberror(void);

/* Beside the answer: every entry the last Getfreedbinfo found for the disc
 * (at most 20, MusicBrainz's first, the one chosen before in the disc
 * library first of all), as UTF-8 JSON:
 *   {"toc": <the disc's key>, "preselected": <index of the answer's entry>,
 *    "remembered": <true when that is the entry the user chose before>,
 *    "candidates": [{"key", "source", "album", "artist", "albumArtist",
 *      "genre", "year", "date", "country", "label", "catalogNumber",
 *      "barcode", "media", "disambiguation", "discNumber", "discTotal",
 *      "trackCount", "releaseId", "releaseGroupId", "discId",
 *      "albumArtistIds": [..], "answer": <that entry as an answer text>,
 *      "tracks": [{"title", "artist", "recordingId", "releaseTrackId",
 *                  "isrc", "artistIds": [..]}]}]}
 * Values not known are left out. Empty when the last call had no answer,
 * or the answer came from a disc library entry kept before lists were.
 * Valid until the next call of Getfreedbinfo; never null. */
DISCLOOKUP_API const char *Getfreedbcandidates(void);

/* The address at which MusicBrainz takes the disc of the last Getfreedbinfo
 * (its table of contents, for a new release or one already there):
 * libdiscid's submission URL. Set whether or not there was an answer; empty
 * for a disc without a MusicBrainz id. Nothing is sent: the user opens it.
 * Valid until the next call of Getfreedbinfo; never null. */
DISCLOOKUP_API const char *Getfreedbsubmiturl(void);

/* Remembers in the disc library the entry (its "key") the user chose for
 * the disc of `tocKey` (the list's "toc"), so that the next lookup answers
 * with it and lists it first. Returns an empty text when it was kept, else
 * why not; valid until the next call of this function; never null. */
DISCLOOKUP_API const char *Setfreedbchoice(const char *libraryPath,
                                           const char *tocKey,
                                           const char *candidateKey);

#ifdef __cplusplus
}
#endif
