#pragma once

#include "convert/outputformats.h"
#include "job/trackreads.h"

#include <QString>
#include <QStringList>

#include <functional>

class DiscModel;
class ProgressView;
class SettingsStore;
class TRipJob;

// What the user chose for a rip, as the window shows it when Rip is pressed.
// A plain value: the window reads its controls into one and hands it over.
struct RipChoices
{
    int format = OutputFormats::Mp3;
    QString filenameTemplate; // without the format's extension
    QString outputFolder;
    int drive = -1;    // the drive list's index, read from and ejected
    QString speedItem; // an item of the speed list ("Default", "8X", ...)

    // The disc's fields. genreListed: the genre box shows a list item's own
    // text (a genre typed by hand names no list item).
    QString artist;
    QString album;
    QString genre;
    bool genreListed = false;
    QString year;
    // Beyond the design's fields: the album artist (empty: the disc's
    // artist names the folder, and no album artist is tagged) and the disc
    // of a set, as typed.
    QString albumArtist;
    QString discNumber;
    QString discTotal;
    bool writeMusicBrainzIds = true;
    // The tag fields of the "Advanced" page.
    QString comment;
    QString copyright;
    QString url;
    QString encodedBy;

    // At the end of a completed job.
    bool eject = false;
    bool makeList = false;
    QString playlistFile;

    // Verified rips.
    bool verify = false;
    bool writeLog = false;
    bool writeCue = false;
    // How the tracks are read; re-reads only with verify.
    bool testAndCopy = false;
    bool reread = false;
    int rereadLimit = TReadOptions::DefaultRereadLimit;
    bool goOn = false;
    // Pregaps and the CUE sheet's layout (a TCueLayout).
    bool detectGaps = false;
    bool ripHiddenAudio = false;
    int cueLayout = 0;
    // When the stages run: the next track read while the last ones are
    // converted, so many conversions at once.
    bool encodeWhileReading = true;
    int parallelConversions = 1;
};

// Turns the user's choices and the disc's ticked rows into a running rip
// job: the names of the files, the records of the tracks, the tag fields,
// the end-of-job and verified-rip options, the drive's speed. Owned by the
// core with the job it starts; window thread only.
class RipSession
{
public:
    // Asks a drive for the speed of a speed-list item; the text it returns
    // says that the drive refused, empty when it took it.
    using SpeedRequest = std::function<QString(int drive, const QString &item)>;

    RipSession(DiscModel &disc, TRipJob &job, SettingsStore &settings, SpeedRequest speed);

    // The output path of every row of the disc, ticked or not, in row order,
    // with names that come out alike made distinct: the names a rip writes.
    // A row without an artist of its own takes the disc's, here and in the
    // tags.
    QStringList outputNames(const RipChoices &choices) const;
    // The output path of one track with the disc's values of `choices`;
    // templ already carries the format's extension.
    static QString outputName(const RipChoices &choices,
                              const QString &templ,
                              const QString &artist,
                              const QString &number,
                              const QString &title);

    // Why a rip of these choices cannot start (the output folder, no ticked
    // track, only data tracks ticked); empty when it can.
    QString refusal(const RipChoices &choices) const;
    // Starts the job into view, which must outlive it or be destroyed as
    // its viewObject(). Returns refusal() without starting when there is one.
    QString start(const RipChoices &choices, ProgressView &view);

    // The playlist a folder gets until the user names one.
    static QString defaultPlaylistFile(const QString &outputFolder);

private:
    DiscModel &m_disc;
    TRipJob &m_job;
    SettingsStore &m_settings;
    SpeedRequest m_speed;
};
