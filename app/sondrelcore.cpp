#include "app/sondrelcore.h"

#include "app/choicelists.h"
#include "app/devicemonitor.h"
#include "app/discmodel.h"
#include "app/freedbfill.h"
#include "app/offsetdetection.h"
#include "app/ripsession.h"
#include "app/settings.h"
#include "app/trackformat.h"
#include "convert/audioconvertclient.h"
#include "convert/qualitysettings.h"
#include "job/ripjob.h"
#include "lookup/cdtext.h"
#include "lookup/driveoffsets.h"
#include "lookup/freedblookup.h"
#include "pipeline/cdinput.h"
#include "pipeline/discardout.h"
#include "pipeline/flacwriter.h"
#include "pipeline/macwriter.h"
#include "pipeline/pcmexception.h"
#include "pipeline/wavewriter.h"
#include "pipeline/writerevents.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>

SondrelCore::SondrelCore(std::unique_ptr<SettingsStore> settings, QObject *parent)
    : QObject(parent)
    , m_settings(std::move(settings))
    , m_disc(std::make_unique<DiscModel>(this))
    , m_cdText(std::make_unique<CdText::Texts>())
{
    setObjectName(QStringLiteral("Core"));
    // A missing CD library leaves the program without CD access, not without
    // a window.
    try {
        m_cdIn = std::make_unique<TCDIn>(this, QStringLiteral("CDIn"));
        m_cdIn->SetCurrentDrive(0);
        m_cdIn->SetStartTrack(0);
        m_cdIn->SetEndTrack(0);
    } catch (const EPcmException &e) {
        m_startupErrors << e.message();
    }
    createWriters();
    m_deviceMonitor = std::make_unique<DeviceMonitor>(this);
    m_freedbLookup = std::make_unique<TFreedbLookup>(this);
    m_freedbLookup->setObjectName(QStringLiteral("FreedbLookup"));
    connect(m_freedbLookup.get(), &TFreedbLookup::finished, this, &SondrelCore::lookupFinished);
    m_driveOffsets = std::make_unique<TDriveOffsetList>(TCDIn::SettingsFolder(), this);
    if (m_cdIn) {
        m_offsetDetection = std::make_unique<TOffsetDetection>(*m_cdIn, this);
        // Like a rip, the detection reads the CD library: device notices wait.
        connect(m_offsetDetection.get(),
                &TOffsetDetection::finished,
                this,
                &SondrelCore::replayDeviceNotices,
                Qt::QueuedConnection);
    }
}

SondrelCore::~SondrelCore()
{
    // The job's end replays held notices through a queued call; a job ended
    // by going away (a close during a rip) must not have that call reach a
    // core whose members are going too.
    m_heldDeviceEvents.clear();
    m_offsetDetection.reset();
    m_session.reset();
    m_job.reset();
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
}

void SondrelCore::createWriters()
{
    m_waveOut = std::make_unique<TWaveOut>(this, QStringLiteral("WaveOut"));
    m_waveOut->SetInput(m_cdIn.get());
    m_waveOut->SetSuspendWhenIdle(true);
    m_waveOut->SetFileMode(foRewrite);
    m_waveOut->SetWavType(wtPCM);
    m_waveOut->SetBlockSize(512);
    m_waveOutEvents = new WriterEvents(*m_waveOut);
    // Test reads go nowhere; the CD input's tap sums them.
    m_testOut = std::make_unique<TPcmDiscardOut>(this, QStringLiteral("TestOut"));
    m_testOut->SetInput(m_cdIn.get());
    m_testOut->SetSuspendWhenIdle(true);
    m_testOutEvents = new WriterEvents(*m_testOut);

    // The FLAC and APE writers need their libraries; without one the program
    // goes on without that format.
    try {
        m_flacOut = std::make_unique<TFLACOut>(this, QStringLiteral("FLACOut"));
        m_flacOut->SetInput(m_cdIn.get());
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
        m_flacOutEvents = new WriterEvents(*m_flacOut);
    } catch (const EPcmException &e) {
        m_startupErrors << e.message();
    }
    try {
        m_macOut = std::make_unique<TMACOut>(this, QStringLiteral("MACOut"));
        m_macOut->SetInput(m_cdIn.get());
        m_macOut->SetSuspendWhenIdle(true);
        m_macOut->SetFileMode(foRewrite);
        m_macOut->SetCompressionLevel(2000);
        m_macOut->SetMaxAudioBytes(-1);
        m_macOutEvents = new WriterEvents(*m_macOut);
    } catch (const EPcmException &e) {
        m_startupErrors << e.message();
    }
}

WriterEvents *SondrelCore::eventsOf(const TPcmOutput *writer) const
{
    if (!writer)
        return nullptr;
    for (const auto &events :
         {&m_waveOutEvents, &m_flacOutEvents, &m_macOutEvents, &m_testOutEvents}) {
        if (*events && &(*events)->writer() == writer)
            return events->get();
    }
    return nullptr;
}

void SondrelCore::CreateAudioConvert()
{
    m_audioConvert = std::make_unique<TAudioConvert>(this);
    m_audioConvert->setObjectName(QStringLiteral("AudioConvert"));
}

void SondrelCore::ConfigureAudioConvert()
{
    try {
        ::ConfigureAudioConvert(*m_audioConvert, m_information, m_encoder);
    } catch (const EPcmException &e) {
        m_startupErrors << e.message();
    }
    if (m_encoder)
        m_quality = std::make_unique<OutputQuality>(*m_audioConvert,
                                                    *m_encoder,
                                                    m_flacOut.get(),
                                                    m_macOut.get());
}

void SondrelCore::CreateRipJob()
{
    const auto timer = [](const char *name, int interval) {
        auto t = new QTimer;
        t->setObjectName(QLatin1String(name));
        t->setInterval(interval);
        t->setSingleShot(true);
        return t;
    };
    QTimer *const ripTimer = timer("Timer", 100);
    QTimer *const timeRip = timer("TimeRip", 200);
    m_job = std::make_unique<TRipJob>(TRipJob::Components{m_cdIn.get(),
                                                          m_waveOut.get(),
                                                          m_flacOut.get(),
                                                          m_macOut.get(),
                                                          m_waveOutEvents.get(),
                                                          m_flacOutEvents.get(),
                                                          m_macOutEvents.get(),
                                                          m_audioConvert.get(),
                                                          m_information,
                                                          ripTimer,
                                                          timeRip,
                                                          m_testOut.get(),
                                                          m_testOutEvents.get()},
                                      this);
    m_job->setObjectName(QStringLiteral("RipJob"));
    // Queued: the job ends inside its own handlers (and in its destructor),
    // where the window must not yet rebuild the list or touch the CD input.
    connect(m_job.get(),
            &TRipJob::ended,
            this,
            &SondrelCore::replayDeviceNotices,
            Qt::QueuedConnection);
    // The job's own: they go with it.
    ripTimer->setParent(m_job.get());
    timeRip->setParent(m_job.get());
    m_session = std::make_unique<RipSession>(*m_disc,
                                             *m_job,
                                             *m_settings,
                                             [this](int drive, const QString &item) {
                                                 return ApplyDriveSpeed(drive, item);
                                             });
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
    readCdText();
}

const CdText::Texts &SondrelCore::cdText() const
{
    return *m_cdText;
}

void SondrelCore::readCdText()
{
    *m_cdText = CdText::Texts();
    m_disc->setMcn(QString());
    if (!m_cdIn || m_disc->rowCount() == 0)
        return;
    const CDRip::CdTextBytes bytes = m_cdIn->GetCDText();
    if (!bytes.packs.isEmpty()) {
        const QList<CdText::Texts> blocks = CdText::parsePacks(bytes.packs);
        if (!blocks.isEmpty())
            *m_cdText = blocks.first();
    } else if (!bytes.cueSheet.isEmpty()) {
        *m_cdText = CdText::parseCue(bytes.cueSheet);
    }
    bool fill = true;
    try {
        fill = m_settings->ReadOptionFlag(SettingsKeys::FillFromCdText).value_or(true);
    } catch (const ESettingsError &) {
        // The default stands when the stored value cannot be read.
    }
    // The disc's catalogue number and ISRCs go into the tags either way; the
    // sub-channel's when the CD-Text has none.
    m_disc->setMcn(m_cdText->upc.isEmpty() ? m_cdIn->GetCatalog() : m_cdText->upc);
    for (int row = 0; row < m_disc->rowCount(); ++row) {
        const int number = m_disc->track(row).number;
        QString isrc = m_cdText->track(number).isrc;
        if (isrc.isEmpty())
            isrc = m_cdIn->GetTrackIsrc(number);
        if (!isrc.isEmpty())
            m_disc->setTrackIds(row, isrc, QString(), QString(), QStringList());
    }
    if (fill)
        FillFromCdText(*m_disc, *m_cdText);
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

SondrelCore::DriveOffset SondrelCore::UseStoredReadOffset(int drive)
{
    DriveOffset offset;
    try {
        if (drive >= 0 && drive < m_disc->drives().size())
            offset.samples = m_settings->ReadReadOffset(m_disc->drives().at(drive));
    } catch (const ESettingsError &e) {
        offset.error = e.message();
    }
    useReadOffset(offset.samples);
    // A drive without an offset yet gets the drive list fetched now, so that
    // its first rip can offer the listed one.
    OffsetToOffer(drive);
    return offset;
}

void SondrelCore::StoreReadOffset(int drive, int samples)
{
    // No drive, no offset to keep.
    if (drive >= 0 && drive < m_disc->drives().size())
        m_settings->StoreReadOffset(m_disc->drives().at(drive), samples);
    useReadOffset(samples);
}

void SondrelCore::useReadOffset(int samples)
{
    // The window is disabled while a rip reads, so the input is idle here.
    if (m_cdIn && !m_cdIn->IsBusy())
        m_cdIn->SetReadOffset(samples);
}

std::optional<int> SondrelCore::ListedReadOffset(int drive)
{
    const TCDIn::TDriveInquiry inquiry = inquiryOf(drive);
    if (inquiry.Model.trimmed().isEmpty())
        return std::nullopt;
    return DriveOffsets::offsetOf(m_driveOffsets->Entries(), inquiry.Vendor, inquiry.Model);
}

TCDIn::TDriveInquiry SondrelCore::inquiryOf(int drive) const
{
    if (!m_cdIn || drive < 0 || drive >= m_disc->drives().size())
        return {};
    try {
        // A CD input of its own, as for the drive list: CDIn's drive stays.
        TCDIn asker;
        asker.SetCurrentDrive(drive);
        return asker.GetDriveInquiry();
    } catch (const EPcmException &) {
        return {};
    }
}

std::optional<int> SondrelCore::OffsetToOffer(int drive)
{
    if (drive < 0 || drive >= m_disc->drives().size()
        || m_settings->HasReadOffset(m_disc->drives().at(drive)))
        return std::nullopt;
    // Only a drive has an entry in the list; an image never asks for it.
    const TCDIn::TDriveInquiry inquiry = inquiryOf(drive);
    if (inquiry.Model.trimmed().isEmpty())
        return std::nullopt;
    TAccurateRipSettings server;
    server.server = m_settings->ReadAccurateRipServer();
    m_driveOffsets->Refresh(server);
    return DriveOffsets::offsetOf(m_driveOffsets->Entries(), inquiry.Vendor, inquiry.Model);
}

void SondrelCore::StartOffsetDetection(int drive)
{
    if (!m_offsetDetection || m_offsetDetection->IsRunning())
        return;
    TAccurateRipSettings server;
    server.server = m_settings->ReadAccurateRipServer();
    m_driveOffsets->Refresh(server);
    m_cdIn->SetCurrentDrive(drive);
    // The offsets most drives of the list have are worth their v2 sums too;
    // each one costs a pass over the read.
    constexpr size_t ListedCandidates = 64;
    std::vector<int> candidates = DriveOffsets::offsetsByUse(m_driveOffsets->Entries());
    candidates.resize(std::min(candidates.size(), ListedCandidates));
    m_offsetDetection->Start(
        server, [this, drive] { return ListedReadOffset(drive); }, candidates);
}

void SondrelCore::StartLookup(int drive)
{
    m_lookupRunning = m_freedbLookup->start(TFreedbLookup::LibraryPath(), drive)
                      || m_freedbLookup->isRunning();
}

bool SondrelCore::holdDeviceNotice(int eventCode)
{
    if (!m_lookupRunning && !(m_job && m_job->Running())
        && !(m_offsetDetection && m_offsetDetection->IsRunning()))
        return false;
    m_heldDeviceEvents << eventCode;
    return true;
}

void SondrelCore::lookupFinished(const FreedbReply &reply)
{
    m_lookupRunning = false;
    Q_EMIT lookupDone(reply);
    replayDeviceNotices();
}

void SondrelCore::replayDeviceNotices()
{
    if (m_lookupRunning || (m_job && m_job->Running())
        || (m_offsetDetection && m_offsetDetection->IsRunning()))
        return;
    for (int eventCode : std::exchange(m_heldDeviceEvents, {}))
        Q_EMIT deviceNotice(eventCode);
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
