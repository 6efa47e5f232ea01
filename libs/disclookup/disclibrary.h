#pragma once

#include "libs/disclookup/discinfo.h"
#include "libs/disclookup/disctoc.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

struct sqlite3;

namespace DiscLookup {

// The disc library cannot be opened, read or written.
class LibraryError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The local disc library: an SQLite file of the discs looked up before, keyed
// by their full table of contents. The schema carries its version in the
// file (PRAGMA user_version) and is brought up to date on opening; a file of
// a newer version is left alone. One object per thread.
class DiscLibrary
{
public:
    // Opens the file, creating it (not its folder) when missing. Throws
    // LibraryError.
    explicit DiscLibrary(const std::string &path);
    ~DiscLibrary();
    DiscLibrary(const DiscLibrary &) = delete;
    DiscLibrary &operator=(const DiscLibrary &) = delete;

    struct Known
    {
        DiscInfo info;
        std::string candidates; // the JSON list (see toJson), empty when none was kept
        std::string chosen;     // the key of the entry the user chose, empty when none
    };

    // The data kept for the disc, if any. Throws LibraryError.
    std::optional<Known> find(const DiscToc &toc) const;

    // Keeps the data of the disc, replacing what was kept for it, in one
    // transaction; a choice made before stays. `musicBrainzId` and
    // `candidates` may be empty. Throws LibraryError.
    void store(const DiscToc &toc,
               const std::string &cddbId,
               const std::string &musicBrainzId,
               const DiscInfo &info,
               const std::string &candidates = std::string());

    // Remembers the entry the user chose for the disc of `tocKey` (see
    // DiscToc::key). False when the disc is not kept. Throws LibraryError.
    bool choose(const std::string &tocKey, const std::string &candidateKey);

    // The schema version this code writes.
    static int schemaVersion();

private:
    struct Closer
    {
        void operator()(sqlite3 *db) const;
    };
    std::unique_ptr<sqlite3, Closer> m_db;
};

} // namespace DiscLookup
