#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The output file names of a rip: a filename template filled with a track's
// and the disc's values, made safe to write, under the output folder.
//
// A backslash in the template, or in an artist or album value, separates
// folders; the built path uses "/". Whatever the template and the values
// (they come from people and from an online database), the part after the
// output folder never leaves it: none of its components is empty, "." or
// "..", holds a "/" or a control character (U+0000 to U+001F, U+007F), or is
// longer than MaxComponentBytes in UTF-8.
//
// Everything here but CreateFolderPath is a pure function of its arguments,
// callable from any thread.
//
// How a rip uses them: it refuses to start while outputFolderProblem() of the
// output folder is not empty, showing that message; it takes the names of
// every row from BuildOutputFileList() (the main window's BuildOutputFileList
// gathers the values) and gives each ticked row's record that row's entry as
// its FileName; before a track is written it makes the folder with
// CreateFolderPath(folderPart(FileName)), and a false result means the file
// cannot be written there.
namespace OutputNaming {

// The longest file or folder name Linux file systems accept, in UTF-8 bytes.
constexpr int MaxComponentBytes = 255;

// The values shared by every track of the disc, as the window shows them at
// the time of the call.
struct DiscValues
{
    QString album;
    QString year;
    QString genre;                // the genre box's text, such as "17 - Rock"
    bool genreIsListItem = false; // that text is the selected item of the genre list
    QString outputFolder;         // used as it is, never cleaned
    QString albumArtist{};
    QString disc{};      // the disc's number in its set, as typed; empty when not one of a set
    QString discTotal{}; // how many discs the set has, as typed
};

// One row of the track list: its "#", "Artist" and "Title" cells.
struct TrackValues
{
    QString number; // two digits or more: "03"
    QString artist;
    QString title;
};

// The text "<genre>" stands for: the part of a list item after its first "-",
// trimmed ("07 - Hip-Hop" gives "Hip-Hop"), empty for an item without "-"; a
// genre typed by hand, trimmed.
QString genreForNaming(const QString &genreText, bool isListItem);

// The full output path of one track. templ is the filename template followed
// by the format's extension ("<artist>\<album>\<number>. <title>.flac").
//
// Steps, in order: backslashes of the title become "_" (a title never makes a
// folder); "<number>", "<artist>", "<title>", "<album>", "<year>" and
// "<genre>", then "<albumartist>", "<disc>" (only when the disc number is
// not empty: otherwise it ends as the word "disc") and "<disctotal>" are
// replaced, in that order, ignoring case, by the values as they
// are (so a value holding a later placeholder is expanded too); over the whole
// text "<" ">" are removed, "/" becomes "_", ":" "*" "?" become a blank, "|"
// becomes "-", the double quote and control characters are removed; each
// backslash-separated component that is empty, "." or ".." becomes "_", and
// one over MaxComponentBytes is shortened at a character boundary, keeping the
// extension; the result follows EnsureTrailingBackslash(disc.outputFolder).
// Blanks and dots at the ends of a name stay. Creates no folder.
QString BuildOutputFileName(const QString &templ, const TrackValues &track, const DiscValues &disc);

// The output paths of every row of the track list, in row order, made
// distinct by distinctNames. The preview lists all of them; the rip job names
// the record of a ticked row by that row's entry, so the preview shows the
// names a rip will write and a row keeps its name whichever rows are ticked.
QStringList BuildOutputFileList(const QString &templ,
                                const QList<TrackValues> &rows,
                                const DiscValues &disc);

// paths with every later path that equals an earlier one (ignoring letter
// case, as FAT and exFAT media do) renamed by " (2)", " (3)"... before its
// extension, skipping numbers whose name is in the list already. The first
// of equal paths and every path already unique keep their names; a renamed
// file name stays within MaxComponentBytes.
QStringList distinctNames(const QStringList &paths);

// folder, followed by "/" unless it ends in one already. An empty folder gives "/".
QString EnsureTrailingBackslash(const QString &folder);

// Creates folder with every missing parent; true when it exists as a folder
// afterwards (also when it existed before). False for an empty path.
bool CreateFolderPath(const QString &folder);

// The folder a built path's file goes into: everything before its last "/"
// ("/" for a file at the root, empty for a path without a "/").
QString folderPart(const QString &fileName);

// Why a rip must not write into outputFolder, as a message for the user:
// an empty folder would put the files at the file system's root, a relative
// one under whatever the current folder happens to be. Empty when the folder
// is usable as a place to build paths (it need not exist yet).
QString outputFolderProblem(const QString &outputFolder);

} // namespace OutputNaming
