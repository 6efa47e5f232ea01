#include "app/sondrelcore.h"

#include "app/choicelists.h"
#include "app/devicemonitor.h"
#include "app/discmodel.h"
#include "app/settings.h"
#include "app/trackformat.h"
#include "convert/audioconvertclient.h"
#include "lookup/freedblookup.h"
#include "pipeline/cdinput.h"
#include "pipeline/flacwriter.h"
#include "pipeline/macwriter.h"
#include "pipeline/pcmexception.h"
#include "pipeline/wavewriter.h"
#include "pipeline/writerevents.h"

SondrelCore::SondrelCore(std::unique_ptr<SettingsStore> settings, QObject *parent)
    : QObject(parent)
    , m_settings(std::move(settings))
    , m_disc(new DiscModel(this))
{
    setObjectName(QStringLiteral("Core"));
    // A missing CD library leaves the program without CD access, not without
    // a window.
    try {
        m_cdIn = new TCDIn(this, QStringLiteral("CDIn"));
        m_cdIn->SetCurrentDrive(0);
        m_cdIn->SetStartTrack(0);
        m_cdIn->SetEndTrack(0);
    } catch (const EPcmException &e) {
        m_startupErrors << e.message();
    }
    createWriters();
    m_deviceMonitor = new DeviceMonitor(this);
    m_freedbLookup = new TFreedbLookup(this);
    m_freedbLookup->setObjectName(QStringLiteral("FreedbLookup"));
}

SondrelCore::~SondrelCore()
{
    // Writers go before the input they read from.
    delete m_waveOut;
    delete m_flacOut;
    delete m_macOut;
    delete m_cdIn;
    delete m_audioConvert;
    m_encoder.reset();
    m_information.reset();
}

void SondrelCore::createWriters()
{
    m_waveOut = new TWaveOut(this, QStringLiteral("WaveOut"));
    m_waveOut->SetInput(m_cdIn);
    m_waveOut->SetSuspendWhenIdle(true);
    m_waveOut->SetFileMode(foRewrite);
    m_waveOut->SetWavType(wtPCM);
    m_waveOut->SetBlockSize(512);
    new WriterEvents(*m_waveOut);

    // The FLAC and APE writers need their libraries; without one the program
    // goes on without that format.
    try {
        m_flacOut = new TFLACOut(this, QStringLiteral("FLACOut"));
        m_flacOut->SetInput(m_cdIn);
        m_flacOut->SetSuspendWhenIdle(true);
        m_flacOut->SetFileMode(foRewrite);
        m_flacOut->SetBlockSize(4608);
        m_flacOut->SetEnableMidSideStereo(true);
        m_flacOut->SetEnableLooseMidSideStereo(false);
        m_flacOut->SetBestModelSearch(false);
        m_flacOut->SetMaxLPCOrder(0);
        m_flacOut->SetMaxResidualPartitionOrder(0);
        m_flacOut->SetMinResidualPartitionOrder(0);
        m_flacOut->SetQLPCoeffPrecision(0);
        m_flacOut->SetQLPCoeffPrecisionSearch(false);
        m_flacOut->SetVerify(false);
        new WriterEvents(*m_flacOut);
    } catch (const EPcmException &e) {
        m_startupErrors << e.message();
    }
    try {
        m_macOut = new TMACOut(this, QStringLiteral("MACOut"));
        m_macOut->SetInput(m_cdIn);
        m_macOut->SetSuspendWhenIdle(true);
        m_macOut->SetFileMode(foRewrite);
        m_macOut->SetCompressionLevel(2000);
        m_macOut->SetMaxAudioBytes(-1);
        new WriterEvents(*m_macOut);
    } catch (const EPcmException &e) {
        m_startupErrors << e.message();
    }
}

WriterEvents *SondrelCore::eventsOf(const TPcmOutput *writer) const
{
    return writer ? writer->findChild<WriterEvents *>(QString(), Qt::FindDirectChildrenOnly)
                  : nullptr;
}

void SondrelCore::CreateAudioConvert()
{
    m_audioConvert = new TAudioConvert(this);
    m_audioConvert->setObjectName(QStringLiteral("AudioConvert"));
}

void SondrelCore::ConfigureAudioConvert()
{
    try {
        ::ConfigureAudioConvert(*m_audioConvert, m_information, m_encoder);
    } catch (const EPcmException &e) {
        m_startupErrors << e.message();
    }
}

QString SondrelCore::ApplyDriveSpeed(int drive, const QString &item)
{
    const std::optional<int> speed = ChoiceLists::driveSpeedOf(item);
    if (!speed)
        return QString();
    bool taken = false;
    if (m_speedControl) {
        taken = m_speedControl(drive, *speed);
    } else if (m_cdIn) {
        // A CD input of its own, as for ejecting: CDIn's drive stays as it was.
        try {
            TCDIn speedy;
            speedy.SetCurrentDrive(drive);
            taken = speedy.SetReadSpeed(*speed);
        } catch (const EPcmException &) {
            taken = false;
        }
    }
    if (taken)
        return QString();
    return QStringLiteral("The drive did not take the speed \"%1\" and reads at its own.").arg(item);
}

void SondrelCore::FillDriveList()
{
    QStringList names;
    if (m_cdIn) {
        try {
            TCDIn lister;
            const int count = lister.GetDriveCount();
            for (int i = 0; i < count; ++i) {
                lister.SetCurrentDrive(i);
                names << lister.GetDriveName();
            }
        } catch (const EPcmException &e) {
            m_startupErrors << e.message();
        }
    }
    m_disc->setDrives(names);
}

void SondrelCore::FillTrackList(int drive)
{
    QList<DiscTrack> rows;
    if (m_cdIn) {
        try {
            readTracks(drive, rows);
        } catch (...) {
            // A disc that goes while it is read shows the tracks read so far.
            m_disc->setTracks(rows);
            throw;
        }
    }
    m_disc->setTracks(rows);
}

void SondrelCore::readTracks(int drive, QList<DiscTrack> &rows)
{
    m_cdIn->SetCurrentDrive(drive);
    const int n = m_cdIn->GetTrackCount();
    // The shown starts add up rounded lengths from two seconds on, as a
    // player's counter does, rather than the disc's own offsets.
    int start = 2;
    for (int t = 1; t <= n; ++t) {
        const TTrackEntryInfo info = m_cdIn->GetTrackInfo(t);
        DiscTrack track;
        track.number = t;
        track.length = info.Length;
        track.kind = info.TrackKind;
        track.lengthSeconds = TrackFormat::roundedSeconds(info.Length.Minutes,
                                                          info.Length.Seconds,
                                                          info.Length.Frames);
        track.startSeconds = start;
        start += track.lengthSeconds;
        rows << track;
    }
}

void SondrelCore::DiscRemoved()
{
    m_disc->clearTracks();
    m_disc->clearDiscFields();
}

QStringList SondrelCore::takeStartupErrors()
{
    return std::exchange(m_startupErrors, {});
}
