#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// A lookup's answer as the window reads it. Its lines end at a carriage
// return, a line feed or both; "nil" is compared exactly, without trimming.
//   1 album, 2 artist of the disc, 3 genre, 4 year: "nil" when not known
//   5 "nil" when the titles follow; anything else means none do
//   6.. one title per track, in track order
struct FreedbAnswer
{
    // Unset where the line is "nil".
    std::optional<QString> album;
    std::optional<QString> artist;
    std::optional<QString> genre;
    std::optional<QString> year;
    // Set when line 5 is "nil": lines 6 to the last, perhaps none.
    std::optional<QStringList> titles;

    // The answer in `text`; nothing when it has fewer than five lines, which
    // no whole answer has.
    static std::optional<FreedbAnswer> read(const QString &text);
};
