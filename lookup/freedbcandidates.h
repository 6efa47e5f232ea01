#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One track of an entry beyond its title line.
struct FreedbCandidateTrack
{
    QString title; // without the artist
    QString artist;
    QString recordingId;
    QString releaseTrackId;
    QString isrc;
    QStringList artistIds;
};

// One entry a lookup found for the disc, as the chooser lists it and the
// window takes it.
struct FreedbCandidate
{
    QString key;
    QString source; // "MusicBrainz", "CDDB", "CD-Text"
    QString album;
    QString artist;
    QString albumArtist;
    QString year;
    QString date;
    QString country;
    QString label;
    QString catalogNumber;
    QString barcode;
    QString media;
    QString disambiguation;
    int discNumber = 0;
    int discTotal = 0;
    int trackCount = 0;
    QString releaseId;
    QString releaseGroupId;
    QString discId;
    QStringList albumArtistIds;
    QString answer; // the entry as an answer text (see FreedbAnswer)
    QList<FreedbCandidateTrack> tracks;
};

// The JSON list the lookup gives beside its answer (libdisclookup.so's
// Getfreedbcandidates).
struct FreedbCandidates
{
    QString toc; // the disc's key in the disc library
    int preselected = 0;
    bool remembered = false; // the preselected entry is the one chosen before
    QList<FreedbCandidate> list;

    // The list in `json`; an empty list for an empty or broken text.
    static FreedbCandidates read(const QString &json);
    // Unless the entry chosen before stands: preselects the first entry whose
    // barcode is the disc's catalogue number (MCN), both left-padded to 13
    // digits, since only that tells apart releases of the same disc id.
    void preselectBarcode(const QString &mcn);
};
