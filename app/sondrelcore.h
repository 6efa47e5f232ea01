#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

namespace AudioConvertLib {
class IAudioConvertInformation;
class IAudioConvertLameMp3Encoder;
} // namespace AudioConvertLib
class DeviceMonitor;
class DiscModel;
struct DiscTrack;
class SettingsStore;
class TAudioConvert;
class TCDIn;
class TFreedbLookup;
class TFLACOut;
class TMACOut;
class TPcmOutput;
class TWaveOut;
class WriterEvents;

// What the program keeps for its whole run, without a window: the CD input,
// the three writers configured to read from it (each with the adapter that
// brings its events to this thread), the conversion component with its tag
// object and MP3 encoder, the device monitor, the settings and the disc.
// The main window owns one and reaches the components through it; a test
// can make one alone, without any widget.
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
    // Frees the writers before the input they read from, then the rest.
    ~SondrelCore() override;

    // The components, named as the program's handlers call them.
    TCDIn *CDIn() const { return m_cdIn; } // null without the CD library
    TWaveOut *WaveOut() const { return m_waveOut; }
    TFLACOut *FLACOut() const { return m_flacOut; } // null without libFLAC
    TMACOut *MACOut() const { return m_macOut; }    // null without libMACDll
    // Each writer's events, queued to this thread; null with its writer.
    WriterEvents *eventsOf(const TPcmOutput *writer) const;
    // Null until CreateAudioConvert.
    TAudioConvert *AudioConvert() const { return m_audioConvert; }
    // The component's tag object and MP3 encoder; empty until configured.
    const std::shared_ptr<AudioConvertLib::IAudioConvertInformation> &Information() const
    {
        return m_information;
    }
    const std::shared_ptr<AudioConvertLib::IAudioConvertLameMp3Encoder> &Mp3Encoder() const
    {
        return m_encoder;
    }
    DeviceMonitor *deviceMonitor() const { return m_deviceMonitor; }
    // Runs the disc lookups, one at a time, on a worker thread.
    TFreedbLookup *FreedbLookup() const { return m_freedbLookup; }
    SettingsStore &settings() const { return *m_settings; }
    DiscModel *disc() const { return m_disc; }

    // The conversion component, its events not yet bound.
    void CreateAudioConvert();
    // Its start-up configuration: the converter's own tag object and MP3
    // encoder, tags on, the encoder's start values sent. A failure is kept
    // in startupErrors().
    void ConfigureAudioConvert();

    // The drive names into disc()->drives(), read through a CD input of its
    // own so that CDIn's drive stays as it was.
    void FillDriveList();
    // Rebuilds disc()'s rows from the table of contents of `drive` (an index
    // that is not a drive is ignored, the last one stays): every track, audio
    // or data, unticked, with no artist or title. No rows without a readable
    // disc or without the CD library; the tracks read so far when the CD
    // input raises, which is passed on.
    void FillTrackList(int drive);
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

    // The messages of failures while starting, for the window to show once;
    // taking them empties the list.
    QStringList takeStartupErrors();

private:
    void createWriters();
    void readTracks(int drive, QList<DiscTrack> &rows);

    std::unique_ptr<SettingsStore> m_settings;
    DiscModel *m_disc = nullptr;
    TCDIn *m_cdIn = nullptr;
    TWaveOut *m_waveOut = nullptr;
    TFLACOut *m_flacOut = nullptr;
    TMACOut *m_macOut = nullptr;
    TAudioConvert *m_audioConvert = nullptr;
    std::shared_ptr<AudioConvertLib::IAudioConvertInformation> m_information;
    std::shared_ptr<AudioConvertLib::IAudioConvertLameMp3Encoder> m_encoder;
    DeviceMonitor *m_deviceMonitor = nullptr;
    TFreedbLookup *m_freedbLookup = nullptr;
    QStringList m_startupErrors;
    SpeedControl m_speedControl;
};
