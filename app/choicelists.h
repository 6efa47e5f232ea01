#pragma once

#include "libs/genres/genres.h"

#include <QStringList>

#include <optional>

// The fixed lists the main window offers. Their texts and order are what
// users, their tags and their file names depend on: an item's index is its
// meaning (the genre number, the output format index).
namespace ChoiceLists {

constexpr int GenreCount = Genres::Count;

// "00 - Blues" ... "147 - SynthPop"; item index = genre number.
QStringList genres();
// The genre's name alone ("Blues"), as used in file names; empty outside 0..147.
QString genreName(int number);

// The fourteen filename templates; a backslash separates folders.
QStringList filenameTemplates();

QStringList driveSpeeds();
// What an item of driveSpeeds() asks of the drive: nothing for "Default",
// 0 (its fastest) for "Maximum", N for "NX".
std::optional<int> driveSpeedOf(const QString &item);

} // namespace ChoiceLists
