#pragma once

#include "job/cuesheet.h"
#include "job/temporarywav.h"
#include "job/trackinfo.h"
#include "job/trackreads.h"

#include <QString>
#include <QStringList>

#include <functional>

class TCDIn;
class TFLACOut;
class TMACOut;
class TPcmTap;
class TPcmDiscardOut;
class TPcmOutput;
class TWaveOut;

// The source of a read of a track and the sinks it can go to; one missing
// for want of its library is null.
struct TReadSinks
{
    TCDIn *cd = nullptr;
    TPcmDiscardOut *test = nullptr;
    TWaveOut *wave = nullptr;
    TFLACOut *flac = nullptr;
    TMACOut *mac = nullptr;
};

// What a read covers: the whole track, or the sectors of its file with the
// tap on the track's own (see TCDIn::SetSectorRange).
struct TReadRange
{
    bool wholeTrack = true;
    TSectorRange file;
    TSectorRange tapped;
};

// One read of `track` in output format `format` made ready: the CD input set
// to the track (or `range`) with `tap`, and the sink returned to be started. A test read
// goes nowhere; a copy of a converted format goes into a new temporary WAV
// (tempWav), one of FLAC or APE into the track's file, whose folders are made
// and which becomes partialOutput. `show` gets what the job shows ("Create
// file: ..." for a first copy) as it happens. Throws EPcmException when the source or the
// sink is missing. Window thread.
TPcmOutput &PrepareRead(const TReadSinks &sinks,
                        TTrackReads::Read read,
                        int format,
                        const TTrackInfo &track,
                        TPcmTap *tap,
                        bool firstCopy,
                        TemporaryWavFile &tempWav,
                        QString &partialOutput,
                        const std::function<void(const QString &)> &show,
                        const TReadRange &range = {});
