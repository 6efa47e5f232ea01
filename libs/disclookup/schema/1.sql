-- Version 1: the discs looked up, by their full table of contents, and one
-- title per track. NULL in album, artist, genre or year: not known.
CREATE TABLE discs (
    id INTEGER PRIMARY KEY,
    toc TEXT NOT NULL UNIQUE,    -- "tracks start-frame... lead-out-frame", frames = LBA + 150
    cddb_id TEXT NOT NULL,
    musicbrainz_id TEXT,         -- NULL: the disc has none
    album TEXT,
    artist TEXT,
    genre TEXT,                  -- as the disc database gave it
    year TEXT,
    stored INTEGER NOT NULL      -- seconds since 1970
);
CREATE INDEX discs_cddb_id ON discs (cddb_id);
CREATE INDEX discs_musicbrainz_id ON discs (musicbrainz_id);
CREATE TABLE tracks (
    disc INTEGER NOT NULL REFERENCES discs (id) ON DELETE CASCADE,
    number INTEGER NOT NULL,     -- 1-based position in the table of contents
    title TEXT NOT NULL,
    PRIMARY KEY (disc, number)
);
