#include "libs/disclookup/disclibrary.h"

#include "schemasteps.h"

#include <sqlite3.h>

#include <array>
#include <ctime>

namespace DiscLookup {

namespace {

struct StatementDeleter
{
    void operator()(sqlite3_stmt *s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

[[noreturn]] void fail(sqlite3 *db)
{
    throw LibraryError(sqlite3_errmsg(db));
}

void exec(sqlite3 *db, const char *sql)
{
    char *message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : sqlite3_errmsg(db);
        sqlite3_free(message);
        throw LibraryError(text);
    }
}

Statement prepare(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK)
        fail(db);
    return Statement(s);
}

void bindText(sqlite3 *db, sqlite3_stmt *s, int index, const std::string &text)
{
    // Empty means not known: NULL.
    const int rc = text.empty()
                       ? sqlite3_bind_null(s, index)
                       : sqlite3_bind_text(s, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        fail(db);
}

void bindInt(sqlite3 *db, sqlite3_stmt *s, int index, sqlite3_int64 value)
{
    if (sqlite3_bind_int64(s, index, value) != SQLITE_OK)
        fail(db);
}

// SQLITE_ROW or SQLITE_DONE; anything else throws.
int step(sqlite3 *db, sqlite3_stmt *s)
{
    const int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        fail(db);
    return rc;
}

std::string columnText(sqlite3_stmt *s, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(s, column));
    return text ? std::string(text, size_t(sqlite3_column_bytes(s, column))) : std::string();
}

int userVersion(sqlite3 *db)
{
    Statement s = prepare(db, "PRAGMA user_version");
    return step(db, s.get()) == SQLITE_ROW ? sqlite3_column_int(s.get(), 0) : 0;
}

// Rolls back unless committed.
class Transaction
{
public:
    explicit Transaction(sqlite3 *db)
        : m_db(db)
    {
        exec(m_db, "BEGIN IMMEDIATE");
    }
    ~Transaction()
    {
        if (m_db)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    void commit()
    {
        exec(m_db, "COMMIT");
        m_db = nullptr;
    }

private:
    sqlite3 *m_db;
};

void upgrade(sqlite3 *db)
{
    Transaction transaction(db);
    const int version = userVersion(db);
    if (version > int(SchemaSteps.size()))
        throw LibraryError("the disc library was written by a newer version of the program");
    for (int v = version; v < int(SchemaSteps.size()); ++v)
        exec(db, SchemaSteps[size_t(v)]);
    if (version < int(SchemaSteps.size()))
        exec(db, ("PRAGMA user_version = " + std::to_string(SchemaSteps.size())).c_str());
    transaction.commit();
}

} // namespace

void DiscLibrary::Closer::operator()(sqlite3 *db) const
{
    sqlite3_close_v2(db);
}

int DiscLibrary::schemaVersion()
{
    return int(SchemaSteps.size());
}

DiscLibrary::DiscLibrary(const std::string &path)
{
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(),
                                   &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                   nullptr);
    m_db.reset(db); // also when opening failed: the handle holds the message
    if (rc != SQLITE_OK)
        throw LibraryError(db ? sqlite3_errmsg(db) : "out of memory");
    // Another lookup may hold the file for a moment.
    sqlite3_busy_timeout(db, 2000);
    exec(db, "PRAGMA foreign_keys = ON");
    upgrade(db);
}

DiscLibrary::~DiscLibrary() = default;

std::optional<DiscLibrary::Known> DiscLibrary::find(const DiscToc &toc) const
{
    sqlite3 *db = m_db.get();
    Statement disc = prepare(db,
                             "SELECT id, album, artist, genre, year, candidates, chosen FROM discs"
                             " WHERE toc = ?");
    bindText(db, disc.get(), 1, toc.key());
    if (step(db, disc.get()) != SQLITE_ROW)
        return std::nullopt;
    Known known;
    known.candidates = columnText(disc.get(), 5);
    known.chosen = columnText(disc.get(), 6);
    DiscInfo &info = known.info;
    const sqlite3_int64 id = sqlite3_column_int64(disc.get(), 0);
    info.album = columnText(disc.get(), 1);
    info.artist = columnText(disc.get(), 2);
    info.genre = columnText(disc.get(), 3);
    info.year = columnText(disc.get(), 4);

    Statement tracks = prepare(db, "SELECT title FROM tracks WHERE disc = ? ORDER BY number");
    bindInt(db, tracks.get(), 1, id);
    while (step(db, tracks.get()) == SQLITE_ROW)
        info.titles.push_back(columnText(tracks.get(), 0));
    return known;
}

bool DiscLibrary::choose(const std::string &tocKey, const std::string &candidateKey)
{
    sqlite3 *db = m_db.get();
    Statement update = prepare(db, "UPDATE discs SET chosen = ? WHERE toc = ?");
    bindText(db, update.get(), 1, candidateKey);
    bindText(db, update.get(), 2, tocKey);
    step(db, update.get());
    return sqlite3_changes(db) > 0;
}

void DiscLibrary::store(const DiscToc &toc,
                        const std::string &cddbId,
                        const std::string &musicBrainzId,
                        const DiscInfo &info,
                        const std::string &candidates)
{
    sqlite3 *db = m_db.get();
    Transaction transaction(db);
    std::string chosen;
    {
        Statement before = prepare(db, "SELECT chosen FROM discs WHERE toc = ?");
        bindText(db, before.get(), 1, toc.key());
        if (step(db, before.get()) == SQLITE_ROW)
            chosen = columnText(before.get(), 0);
    }
    // Replacing the row drops its tracks (ON DELETE CASCADE).
    Statement disc = prepare(db,
                             "INSERT OR REPLACE INTO discs"
                             " (toc, cddb_id, musicbrainz_id, album, artist, genre, year, stored,"
                             " candidates, chosen)"
                             " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    bindText(db, disc.get(), 1, toc.key());
    bindText(db, disc.get(), 2, cddbId);
    bindText(db, disc.get(), 3, musicBrainzId);
    bindText(db, disc.get(), 4, info.album);
    bindText(db, disc.get(), 5, info.artist);
    bindText(db, disc.get(), 6, info.genre);
    bindText(db, disc.get(), 7, info.year);
    bindInt(db, disc.get(), 8, sqlite3_int64(std::time(nullptr)));
    bindText(db, disc.get(), 9, candidates);
    bindText(db, disc.get(), 10, chosen);
    step(db, disc.get());
    const sqlite3_int64 id = sqlite3_last_insert_rowid(db);

    Statement track = prepare(db, "INSERT INTO tracks (disc, number, title) VALUES (?, ?, ?)");
    for (size_t i = 0; i < info.titles.size(); ++i) {
        sqlite3_reset(track.get());
        bindInt(db, track.get(), 1, id);
        bindInt(db, track.get(), 2, sqlite3_int64(i) + 1);
        // An empty title is a title: bound as text, not as NULL.
        if (sqlite3_bind_text(track.get(),
                              3,
                              info.titles[i].data(),
                              int(info.titles[i].size()),
                              SQLITE_TRANSIENT)
            != SQLITE_OK)
            fail(db);
        step(db, track.get());
    }
    transaction.commit();
}

} // namespace DiscLookup
