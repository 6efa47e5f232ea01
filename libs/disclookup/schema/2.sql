-- Version 2: every entry the sources gave for the disc (the JSON list the
-- lookup offers beside its answer), and the entry the user chose from it.
ALTER TABLE discs ADD COLUMN candidates TEXT; -- NULL: looked up before lists were kept
ALTER TABLE discs ADD COLUMN chosen TEXT;     -- the chosen entry's key; NULL: none chosen
