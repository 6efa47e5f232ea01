#pragma once

#include "pipeline/cdinput.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace CdText {
struct Texts;
}
namespace AudioConvertLib {
class IAudioConvertInformation;
class IAudioConvertLameMp3Encoder;
} // namespace AudioConvertLib
class DeviceMonitor;
class DiscModel;
struct DiscTrack;
struct FreedbReply;
class OutputQuality;
class QTimer;
class RipSession;
class SettingsStore;
class TAudioConvert;
class TCDIn;
class TDriveOffsetList;
class TFreedbLookup;
class TOffsetDetection;
class TFLACOut;
class TMACOut;
class TPcmDiscardOut;
class TPcmOutput;
class TRipJob;
class TWaveOut;
class WriterEvents;

// What the program keeps for its whole run, without a window: the CD input,
// the three writers configured to read from it (each with the adapter that
// brings its events to this thread), the conversion component with its tag
// object and MP3 encoder and what sends the chosen quality to them, the rip
// job with its timers and the session that starts it, the disc lookup, the
// device monitor, the settings and the disc. The main window owns one and
// reaches the components through it; a test can make one alone, without any
// widget. Members are held in the order they depend on each other, so they
// go in the reverse order by themselves.
//
// A component whose library is missing stays null; the message it raised is
// kept in startupErrors() for the window to show. Window thread only.
class SondrelCore : public QObject
{
    Q_OBJECT

public:
    // Makes CDIn, WaveOut, FLACOut and MACOut (with the configuration the
    // program runs them with) and the device monitor.
    explicit SondrelCore(std::unique_ptr<SettingsStore> settings, QObject *parent = nullptr);
    ~SondrelCore() override;

    // The components, named as the program's handlers call them.
    TCDIn *CDIn() const { return m_cdIn.get(); } // null without the CD library
    TWaveOut *WaveOut() const { return m_waveOut.get(); }
    TFLACOut *FLACOut() const { return m_flacOut.get(); } // null without libFLAC
    TMACOut *MACOut() const { return m_macOut.get(); }    // null without libMACDll
    // Each writer's events, queued to this thread; null with its writer.
    WriterEvents *eventsOf(const TPcmOutput *writer) const;
    // Null until CreateAudioConvert.
    TAudioConvert *AudioConvert() const { return m_audioConvert.get(); }
    // The component's tag object and MP3 encoder; empty until configured.
    const std::shared_ptr<AudioConvertLib::IAudioConvertInformation> &Information() const
    {
        return m_information;
    }
    const std::shared_ptr<AudioConvertLib::IAudioConvertLameMp3Encoder> &Mp3Encoder() const
    {
        return m_encoder;
    }
    // Sends the chosen quality to the converter and the writers; null until
    // ConfigureAudioConvert, and when the converter could not be configured.
    OutputQuality *quality() const { return m_quality.get(); }
    // Null until CreateRipJob.
    TRipJob *RipJob() const { return m_job.get(); }
    RipSession *ripSession() const { return m_session.get(); }
    DeviceMonitor *deviceMonitor() const { return m_deviceMonitor.get(); }
    // Runs the disc lookups, one at a time, on a worker thread.
    TFreedbLookup *FreedbLookup() const { return m_freedbLookup.get(); }
    SettingsStore &settings() const { return *m_settings; }
    DiscModel *disc() const { return m_disc.get(); }

    // The conversion component, its events not yet bound.
    void CreateAudioConvert();
    // Its start-up configuration: the converter's own tag object and MP3
    // encoder, tags on, the encoder's start values sent, and OutputQuality.
    // A failure is kept in startupErrors().
    void ConfigureAudioConvert();
    // The rip job over the components above, with its one-shot timers
    // "Timer" (100 ms) and "TimeRip" (200 ms), and the session that starts it.
    void CreateRipJob();

    // The drive names into disc()->drives(), read through a CD input of its
    // own so that CDIn's drive stays as it was.
    void FillDriveList();
    // Rebuilds disc()'s rows from the table of contents of `drive` (an index
    // that is not a drive is ignored, the last one stays): every track, audio
    // or data, unticked, with no artist or title. No rows without a readable
    // disc or without the CD library; the tracks read so far when the CD
    // input raises, which is passed on.
    void FillTrackList(int drive);
    // The CD-Text of the disc the rows were last filled from (the default
    // block), empty when it has none. With "Fill in CD-Text when a disc
    // arrives" stored on (the default), FillTrackList fills the empty fields
    // from it.
    const CdText::Texts &cdText() const;
    // A disc or drive went: no rows, and the disc's artist, genre, album and
    // year emptied.
    void DiscRemoved();

    // Before a rip or a play: asks `drive` to read at the speed that `item`
    // of the speed list names. "Default" asks nothing; an image takes any
    // speed. A drive that refuses keeps its own speed, and the text returned
    // says so; it is empty otherwise.
    QString ApplyDriveSpeed(int drive, const QString &item);
    // Where a speed request goes (the CD library unless a test listens):
    // true when the drive took `speed`, CD speed units or 0 for its fastest.
    using SpeedControl = std::function<bool(int drive, int speed)>;
    void setSpeedControl(SpeedControl control) { m_speedControl = std::move(control); }

    // The read offset stored for `drive` (an index of the drive list), which
    // CDIn reads with from now on. `error` is the message of a stored value
    // that cannot be read; 0 is used then. For a drive without one the
    // drive list is refreshed (see OffsetToOffer).
    struct DriveOffset
    {
        int samples = 0;
        QString error;
    };
    DriveOffset UseStoredReadOffset(int drive);
    // Keeps `samples` for `drive` (nothing is kept without a drive) and reads
    // with it from now on.
    void StoreReadOffset(int drive, int samples);

    // The read offset the AccurateRip drive list gives `drive`, looked up by
    // its vendor and model in the copy kept; empty when the copy does not
    // hold it (or there is none yet, or the drive is an image).
    std::optional<int> ListedReadOffset(int drive);
    // The listed offset to offer at the first rip of `drive`: only while no
    // offset is stored for it. The drive list is fetched again meanwhile when
    // it is missing or old, for the rips to come.
    std::optional<int> OffsetToOffer(int drive);
    // Finds the read offset of `drive` (see TOffsetDetection); its signals
    // tell how it goes. Nothing is stored.
    void StartOffsetDetection(int drive);
    TOffsetDetection *OffsetDetection() const { return m_offsetDetection.get(); }
    TDriveOffsetList *DriveOffsetList() const { return m_driveOffsets.get(); }

    // The disc lookup of `drive`; lookupDone() gives its reply. While it runs,
    // and while a rip job runs, the device notices are held back (both read
    // the CD library), and raised again as deviceNotice() once the reply is
    // in or the job has ended.
    void StartLookup(int drive);
    // True when `eventCode` is held back for later; false when it is to be
    // handled now.
    bool holdDeviceNotice(int eventCode);

    // The messages of failures while starting, for the window to show once;
    // taking them empties the list.
    QStringList takeStartupErrors();

Q_SIGNALS:
    void lookupDone(const FreedbReply &reply);
    void deviceNotice(int eventCode);

private:
    void createWriters();
    // The drive's INQUIRY vendor and model; empty for an image.
    TCDIn::TDriveInquiry inquiryOf(int drive) const;
    void readTracks(int drive, QList<DiscTrack> &rows);
    void readCdText();
    void useReadOffset(int samples);
    void lookupFinished(const FreedbReply &reply);
    // The notices held back, once neither a lookup nor a rip job runs.
    void replayDeviceNotices();

    // In the order they depend on each other: each member is destroyed
    // before those above it. Objects that are QObjects are also children of
    // the core, so that they are found by name beneath the window.
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<DiscModel> m_disc;
    std::unique_ptr<CdText::Texts> m_cdText;
    std::unique_ptr<TCDIn> m_cdIn;
    std::unique_ptr<TWaveOut> m_waveOut;
    std::unique_ptr<TFLACOut> m_flacOut;
    std::unique_ptr<TMACOut> m_macOut;
    // The events of WaveOut, FLACOut and MACOut, in that order, then the
    // sink of test reads (TestOut) and its events. Each adapter is its
    // writer's child and goes with it, after the writer's last run has
    // reported through it (a close during a rip).
    QPointer<WriterEvents> m_waveOutEvents;
    QPointer<WriterEvents> m_flacOutEvents;
    QPointer<WriterEvents> m_macOutEvents;
    std::unique_ptr<TPcmDiscardOut> m_testOut;
    QPointer<WriterEvents> m_testOutEvents;
    std::unique_ptr<TAudioConvert> m_audioConvert;
    std::shared_ptr<AudioConvertLib::IAudioConvertInformation> m_information;
    std::shared_ptr<AudioConvertLib::IAudioConvertLameMp3Encoder> m_encoder;
    std::unique_ptr<OutputQuality> m_quality;
    std::unique_ptr<TRipJob> m_job;
    std::unique_ptr<RipSession> m_session;
    std::unique_ptr<DeviceMonitor> m_deviceMonitor;
    std::unique_ptr<TFreedbLookup> m_freedbLookup;
    std::unique_ptr<TDriveOffsetList> m_driveOffsets;
    std::unique_ptr<TOffsetDetection> m_offsetDetection; // null without the CD library
    QList<int> m_heldDeviceEvents;
    bool m_lookupRunning = false;
    QStringList m_startupErrors;
    SpeedControl m_speedControl;
};
