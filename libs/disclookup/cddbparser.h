#pragma once

#include <string>
#include <vector>

// Parsers of CDDB server replies (protocol level 6, UTF-8 with Latin-1 left
// in old entries). They take a reply's body and return its data; they throw
// LookupError: NoEntry when the server says it has no such disc, Failed for
// an error status or a malformed reply.
namespace DiscLookup::Cddb {

struct Match
{
    std::string category;
    std::string discId;
    std::string title; // "Artist / Album" as the server lists it
};

struct QueryResult
{
    bool exact = false;         // 200 or 210; false for close matches (211)
    std::vector<Match> matches; // at least one
};

// "cddb query": 200 one exact match, 210 several, 211 close matches; 202
// (no match) is NoEntry.
QueryResult parseQuery(const std::string &body);

struct Entry
{
    std::string discId;
    std::string artist;
    std::string album;
    std::string year;  // four digits or empty
    std::string genre; // DGENRE, may be empty
    // TTITLE0..: one per track up to the highest index in the entry, empty
    // where the entry skips one; "Artist / Title" stays as it is.
    std::vector<std::string> titles;
};

// "cddb read": 210 and the xmcd entry up to the line "."; 401 is NoEntry.
Entry parseRead(const std::string &body);

// The text as UTF-8: kept when it is valid UTF-8, read as Latin-1 otherwise.
std::string decodeLine(const std::string &text);

} // namespace DiscLookup::Cddb
