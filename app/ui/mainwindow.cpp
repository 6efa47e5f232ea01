#include "mainwindow.h"

#include "app/devicemonitor.h"
#include "app/discmodel.h"
#include "app/freedbfill.h"
#include "app/ripsession.h"
#include "app/settings.h"
#include "app/sondrelcore.h"
#include "app/ui/controlkit.h"
#include "app/ui/discpanel.h"
#include "app/ui/folderpicker.h"
#include "app/ui/mainactions.h"
#include "app/ui/offsetdialog.h"
#include "app/ui/optionpages.h"
#include "app/ui/sidepanel.h"
#include "app/ui/tippane.h"
#include "app/ui/tracklistview.h"
#include "convert/qualitysettings.h"
#include "convert/ui/qualitydialog.h"
#include "job/ripjob.h"
#include "job/ui/previewinfo.h"
#include "job/ui/progresswindow.h"
#include "lookup/cdtext.h"
#include "lookup/freedbcandidates.h"
#include "lookup/freedblookup.h"
#include "lookup/offsetscan.h"
#include "lookup/ui/candidatechooser.h"
#include "lookup/ui/tipform.h"
#include "player/ui/playercontrols.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

Q_LOGGING_CATEGORY(lcLifecycle, "sondrel.lifecycle", QtWarningMsg)

using namespace ControlKit;

TfrmMain::TfrmMain(std::unique_ptr<SettingsStore> settings, QWidget *parent)
    : QMainWindow(parent)
    , m_core(new SondrelCore(std::move(settings), this))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Orvanel Sondrel 1.5"));
    resize(754, 573);
    setMinimumSize(754, 400);
    buildUi();
    FormCreate();
}

TfrmMain::~TfrmMain()
{
    FormDestroy();
}

void TfrmMain::step(const char *name)
{
    qCDebug(lcLifecycle, "%s", name);
}

DiscModel *TfrmMain::disc() const
{
    return m_core->disc();
}

TRipJob *TfrmMain::ripJob() const
{
    return m_core ? m_core->RipJob() : nullptr;
}

void TfrmMain::guarded(const std::function<void()> &handler)
{
    // A failure inside a handler is the user's to see, and the program goes
    // on; the box waits for the event loop, outside the signal that failed.
    try {
        handler();
    } catch (const std::exception &e) {
        showErrorLater(QString::fromUtf8(e.what()));
    }
}

void TfrmMain::showErrorLater(const QString &message)
{
    QMetaObject::invokeMethod(
        this, [this, message] { showError(message); }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------
// Building the window

void TfrmMain::buildUi()
{
    buildComponents();
    buildActions();

    auto central = new QWidget;
    auto column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    pel = MainParts::banner(Image);
    column->addWidget(pel);

    auto work = new QWidget;
    auto workLayout = new QHBoxLayout(work);
    workLayout->setContentsMargins(0, 0, 0, 0);
    workLayout->setSpacing(0);

    PelList = named(new QWidget, "PelList");
    PelList->installEventFilter(this);
    auto listLayout = new QVBoxLayout(PelList);
    listLayout->setContentsMargins(4, 4, 4, 4);
    listLayout->addWidget(buildDiscPanel());
    listLayout->addWidget(buildTrackList(), 1);
    workLayout->addWidget(PelList, 1);

    sidePanel = named(new SidePanel(buildOptionPages()), "pnlSide");
    workLayout->addWidget(sidePanel);
    column->addWidget(work, 1);

    setCentralWidget(central);
    MainParts::buildStatusPanes(*statusBar(), spTotal, spTips, lblSubmitDisc);
    connect(disc(), &DiscModel::tracksReplaced, lblSubmitDisc, &QWidget::hide);
    buildPlayer();
}

QWidget *TfrmMain::buildDiscPanel()
{
    Panel2 = new DiscPanel(*this, PopupSelect, ActFreeDB, Actrip, playerActions());
    DiscPanel::bindDiscFields(*this, *disc());
    return Panel2;
}

void TfrmMain::buildPlayer()
{
    m_player = new PlayerControls(
        PlayerWidgets::fromToolbar(ToolPlay, TrackBar, TimerCD, CDList),
        [this] { return cmbDevice->currentIndex(); },
        this);
    connect(m_player, &PlayerControls::errorRaised, this, &TfrmMain::showError);
    connect(m_player, &PlayerControls::tipRaised, spTips, &TipPane::setText);
    m_player->BeforePlay = [this] {
        const QString refused = m_core->ApplyDriveSpeed(cmbDevice->currentIndex(),
                                                        cmbSpeed->currentText());
        if (!refused.isEmpty())
            spTips->setText(refused);
    };
}

QWidget *TfrmMain::buildTrackList()
{
    CDList = new TrackListView(disc(), static_cast<ImageList *>(imgList)->images);
    connect(CDList, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        PopupSelect->popup(CDList->viewport()->mapToGlobal(pos));
    });
    // Every change of a cell or of the rows is a change of the list.
    connect(disc(), &DiscModel::dataChanged, this, &TfrmMain::CDListChange);
    connect(disc(), &DiscModel::modelReset, this, &TfrmMain::CDListChange);
    return CDList;
}

QWidget *TfrmMain::buildOptionPages()
{
    auto pages = new OptionPages(*this, ActEnumrename, ActQuality);
    connect(edtDestFolderButton, &QToolButton::clicked, this, &TfrmMain::edtDestFolderButtonClick);
    connect(edtDestFolder, &QLineEdit::textChanged, this, &TfrmMain::edtDestFolderChange);
    connect(chkEject, &QCheckBox::clicked, this, &TfrmMain::chkEjectClick);
    connect(chkmklist, &QCheckBox::clicked, this, &TfrmMain::chkmklistClick);
    keepVerifiedRipFlags(this, [this](StoredFlag flag, bool on) {
        m_core->settings().StoreFlag(flag, on);
    });
    connect(edtReadOffset, &QSpinBox::valueChanged, this, &TfrmMain::edtReadOffsetChange);
    connect(btnDetectOffset, &QPushButton::clicked, this, &TfrmMain::btnDetectOffsetClick);
    connect(edtFilenameButton, &QToolButton::clicked, this, &TfrmMain::edtFilenameButtonClick);
    return pages;
}

void TfrmMain::buildActions()
{
    MainParts::buildActions(*this, this, static_cast<ImageList *>(imgList)->images);
    connect(ActSelall, &QAction::triggered, this, &TfrmMain::ActSelallExecute);
    connect(ActSelnone, &QAction::triggered, this, &TfrmMain::ActSelnoneExecute);
    connect(ActInvert, &QAction::triggered, this, &TfrmMain::ActInvertExecute);
    connect(ActEnumrename, &QAction::triggered, this, &TfrmMain::ActEnumrenameExecute);
    connect(ActFreeDB, &QAction::triggered, this, &TfrmMain::ActFreeDBExecute);
    connect(m_core, &SondrelCore::lookupDone, this, &TfrmMain::ActFreeDBDone);
}

void TfrmMain::buildComponents()
{
    imgList = new ImageList(this);
    connect(m_core->deviceMonitor(), &DeviceMonitor::deviceChange, this, &TfrmMain::WMDeviceChange);
    connect(m_core, &SondrelCore::deviceNotice, this, &TfrmMain::WMDeviceChange);

    TimerCD = MainParts::playerTimer(this);
    SaveDialog = MainParts::playlistDialog(this);
}

// ---------------------------------------------------------------------------
// Lifecycle

void TfrmMain::FormCreate()
{
    step("FormCreate");
    // The conversion component: its events reach the rip job's handlers,
    // which are set when a job runs.
    step("AudioConvert");
    m_core->CreateAudioConvert();
    step("ConfigureAudioConvert");
    m_core->ConfigureAudioConvert();
    step("RipJob");
    m_core->CreateRipJob();
    ripJob()->OnFinishError = [this](const QString &message) { showError(message); };
    step("FillDriveList");
    FillDriveList();
    connect(cmbDevice, &QComboBox::currentIndexChanged, this, &TfrmMain::cmbDeviceChange);
    step("cmbOutformatChange");
    cmbOutformat->setCurrentIndex(0);
    cmbOutformatChange();
    connect(cmbOutformat, &QComboBox::currentIndexChanged, this, &TfrmMain::cmbOutformatChange);
    connect(edtQuality, &QComboBox::currentIndexChanged, this, &TfrmMain::edtQualityChange);
    connect(ActQuality, &QAction::triggered, this, &TfrmMain::ActQualityExecute);
    connect(Actrip, &QAction::triggered, this, &TfrmMain::ActripExecute);
    ripJob()->PlaylistEntries.clear();
    step("PlaylistEntries");
}

void TfrmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    ControlKit::centreOnScreen(*this);
    FormShow();
}

void TfrmMain::FormShow()
{
    step("FormShow");
    // Missing libraries are told once the window is on screen.
    for (const QString &message : m_core->takeStartupErrors())
        showErrorLater(message);
    step("FillTrackList");
    guarded([this] { FillTrackList(); });
    showReadOffset();
    step("CreatePlayer");
    m_player->CreatePlayer();
    step("ReadOptions");
    // Each value is applied as it was read: a bad MakeList must not cost a
    // good EjectCD read before it.
    const StoredOptions stored = m_core->settings().ReadOptions();
    showStored(stored);
    storeOutputChoices(m_core->settings(), m_core);
    // The box waits until the window is on screen: it belongs to it.
    if (!stored.error.isEmpty())
        showErrorLater(stored.error);
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

bool TfrmMain::FormCloseQuery()
{
    step("FormCloseQuery");
    // The lookup's worker still uses the disc; it ends within its time
    // limits, and the window closes then.
    if (m_freedbWait) {
        m_freedbWait->closeOwnerAtEnd();
        return false;
    }
    stopPlayerIfPlaying();
    // Closing during a rip cancels it, leaving no temporary or partial file.
    if (TRipJob *job = ripJob())
        job->Shutdown();
    if (frmProgress)
        frmProgress->close();
    return true;
}

void TfrmMain::FormDestroy()
{
    step("FormDestroy");
    // The window's own users of the core go first: the player, a lookup's
    // form, the progress window; a lookup still running ends with the core.
    delete m_player;
    m_player = nullptr;
    m_freedbWait.reset();
    delete frmProgress;
    CDList->setModel(nullptr);
    delete m_core;
    m_core = nullptr;
}

void TfrmMain::keyPressEvent(QKeyEvent *event)
{
    // Enter that no control took runs the default button, "&Rip"; one that
    // ends typing in a field or a cell only ends the typing.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && event->modifiers() == Qt::NoModifier) {
        if (btnRip->isEnabled() && !MainParts::typesText(focusWidget()))
            btnRip->click();
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

// ---------------------------------------------------------------------------
// Drives and tracks

void TfrmMain::FillDriveList()
{
    m_core->FillDriveList();
    if (DiscPanel::showDrives(*this, disc()->drives()))
        showReadOffset();
}

void TfrmMain::FillTrackList()
{
    m_core->FillTrackList(cmbDevice->currentIndex());
    if (disc()->rowCount() > 0)
        ActSelallExecute();
}

void TfrmMain::cmbDeviceChange()
{
    guarded([this] { FillTrackList(); });
    showReadOffset();
    // The disc found is played as one that arrived.
    m_player->CreatePlayer();
}

void TfrmMain::WMDeviceChange(int eventCode)
{
    if (m_core->holdDeviceNotice(eventCode))
        return;
    if (eventCode == DeviceEvent::Arrival) {
        FillDriveList(); // the notice may be a drive's, not only a disc's
        guarded([this] { FillTrackList(); });
        m_player->CreatePlayer();
    } else if (eventCode == DeviceEvent::RemoveComplete) {
        FillDriveList();
        m_core->DiscRemoved();
        m_player->DestroyPlayer();
    }
}

bool TfrmMain::playerExists() const
{
    return m_player && m_player->playerExists();
}

void TfrmMain::stopPlayerIfPlaying()
{
    if (m_player)
        m_player->stopIfPlaying();
}

void TfrmMain::ActSelallExecute()
{
    disc()->setAllTicks([](bool) { return true; });
}

void TfrmMain::ActSelnoneExecute()
{
    disc()->setAllTicks([](bool) { return false; });
}

void TfrmMain::ActInvertExecute()
{
    disc()->setAllTicks([](bool ticked) { return !ticked; });
}

bool TfrmMain::AnyTrackTicked() const
{
    return disc()->tickedCount() > 0;
}

void TfrmMain::CDListChange()
{
    spTips->setText(QString::asprintf("%d Tracks Selected", disc()->tickedCount()));
    // Every change of a tick or of the rows passes here, so the actions that
    // depend on them are brought up to date here too.
    ActripUpdate();
    ActEnumrenameUpdate();
    ActFreeDB->setEnabled(disc()->rowCount() > 0);
}

void TfrmMain::ActripUpdate()
{
    Actrip->setEnabled(AnyTrackTicked());
}

RipChoices TfrmMain::ripChoices() const
{
    RipChoices c;
    OptionControls::readChoices(c);
    DiscControls::readChoices(c);
    c.albumArtist = disc()->albumArtist();
    return c;
}

void TfrmMain::ActripExecute()
{
    ripJob()->PlaylistEntries.clear();
    stopPlayerIfPlaying();
    const RipChoices choices = ripChoices();
    const QString refused = m_core->ripSession()->refusal(choices);
    if (!refused.isEmpty()) {
        showError(refused);
        return;
    }
    offerListedReadOffset(choices.drive);
    frmProgress = new TfrmProgress;
    connect(frmProgress, &TfrmProgress::cancelRequested, ripJob(), &TRipJob::CancelJob);
    connect(frmProgress, &TfrmProgress::closing, this, [this] { setEnabled(true); });
    frmProgress->show();
    // Its frame is known once it is shown.
    frmProgress->centreOn(*this);
    guarded([this, &choices] { m_core->ripSession()->start(choices, *frmProgress); });
    frmProgress->setEnabled(true);
    setEnabled(false);
}

// ---------------------------------------------------------------------------
// Output file names

QString TfrmMain::BuildOutputFileName(const QString &templ,
                                      const QString &artist,
                                      const QString &number,
                                      const QString &title) const
{
    return RipSession::outputName(ripChoices(), templ, artist, number, title);
}

void TfrmMain::BuildOutputFileList(QStringList &list) const
{
    list = m_core->ripSession()->outputNames(ripChoices());
}

void TfrmMain::ActEnumrenameExecute()
{
    TfrmpreviewInfo frmpreviewInfo(this);
    frmpreviewInfo.setNames(m_core->ripSession()->outputNames(ripChoices()));
    frmpreviewInfo.exec();
}

void TfrmMain::ActEnumrenameUpdate()
{
    ActEnumrename->setEnabled(disc()->rowCount() > 0);
}

void TfrmMain::ActFreeDBExecute()
{
    if (m_freedbWait)
        return;
    m_freedbWait = std::make_unique<FreedbWait>(this);
    lblSubmitDisc->hide();
    m_core->StartLookup(cmbDevice->currentIndex());
}

namespace {

bool sameDisc(const QList<DiscTrack> &a, const QList<DiscTrack> &b)
{
    return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(), [](const auto &x, const auto &y) {
        return x.number == y.number && MSFToFrames(x.length) == MSFToFrames(y.length)
               && x.kind == y.kind;
    });
}

} // namespace

void TfrmMain::ActFreeDBDone(const FreedbReply &reply)
{
    // No database knows the disc: the user may add it to MusicBrainz.
    if (!reply.answered && reply.message.startsWith(QLatin1String("No entry for this disc"))
        && !reply.submitUrl.isEmpty()) {
        lblSubmitDisc->setText(QStringLiteral("<a href=\"%1\">Submit this disc to MusicBrainz</a>")
                                   .arg(reply.submitUrl.toHtmlEscaped()));
        lblSubmitDisc->show();
    }
    FreedbCandidates found = FreedbCandidates::read(reply.candidates);
    // The disc's own CD-Text is one more entry beside the databases'.
    if (!found.list.isEmpty() && !m_core->cdText().isEmpty())
        found.list.append(CdTextCandidate(m_core->cdText(), disc()->rowCount()));
    found.preselectBarcode(disc()->mcn());
    // The chooser comes after the wait form, with the windows enabled again.
    m_freedbWait.reset();
    guarded([this, &reply, &found] {
        if (found.list.isEmpty()) {
            const QString tip = FillFromFreedb(*disc(), reply);
            if (!tip.isEmpty())
                spTips->setText(tip);
            return;
        }
        // A disc that goes or changes while the chooser is up takes nothing.
        const QList<DiscTrack> looked = disc()->tracks();
        const int chosen = found.list.size() == 1 ? 0 : TfrmCandidates::choose(found, this);
        if (chosen < 0 || !sameDisc(looked, disc()->tracks()))
            return;
        QString tip = FillFromCandidate(*disc(), found.list.at(chosen), reply);
        if (found.list.size() > 1 && found.list.at(chosen).source != QLatin1String("CD-Text")) {
            const QString kept = FreedbLib::Setfreedbchoice(TFreedbLookup::LibraryPath(),
                                                            found.toc,
                                                            found.list.at(chosen).key);
            if (!kept.isEmpty())
                tip = kept;
        }
        if (!tip.isEmpty())
            spTips->setText(tip);
    });
}

void TfrmMain::PelListResize()
{
    CDList->fitColumns();
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == PelList && event->type() == QEvent::Resize)
        PelListResize();
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Handlers

void TfrmMain::edtDestFolderButtonClick()
{
    QString folder = edtDestFolder->text();
    if (BrowseForFolder(QStringLiteral("Please select a folder"), folder))
        edtDestFolder->setText(folder);
}

void TfrmMain::edtDestFolderChange(const QString &text)
{
    m_core->settings().StoreDestFolder(text);
}

bool TfrmMain::BrowseForFolder(const QString &caption, QString &folder)
{
    return FolderPicker::browse(this, caption, folder);
}

void TfrmMain::chkEjectClick()
{
    m_core->settings().StoreFlag(StoredFlag::EjectCD, chkEject->isChecked());
}

void TfrmMain::chkmklistClick()
{
    setPlaylistFieldEnabled(chkmklist->isChecked());
    if (chkmklist->isChecked() && edtFilename->text().isEmpty())
        edtFilename->setText(RipSession::defaultPlaylistFile(edtDestFolder->text()));
    m_core->settings().StoreFlag(StoredFlag::MakeList, chkmklist->isChecked());
}

void TfrmMain::edtReadOffsetChange(int samples)
{
    m_core->StoreReadOffset(cmbDevice->currentIndex(), samples);
}

void TfrmMain::showReadOffset()
{
    const SondrelCore::DriveOffset offset = m_core->UseStoredReadOffset(cmbDevice->currentIndex());
    if (!offset.error.isEmpty())
        showErrorLater(offset.error);
    const QSignalBlocker quiet(edtReadOffset);
    edtReadOffset->setValue(offset.samples);
    edtReadOffset->setEnabled(cmbDevice->currentIndex() >= 0);
    btnDetectOffset->setEnabled(cmbDevice->currentIndex() >= 0);
}

void TfrmMain::btnDetectOffsetClick()
{
    const int drive = cmbDevice->currentIndex();
    if (drive < 0)
        return;
    stopPlayerIfPlaying();
    TfrmDetectOffset dialog(*m_core, drive, cmbDevice->currentText(), this);
    if (dialog.exec() != QDialog::Accepted || !dialog.ChosenOffset())
        return;
    m_core->StoreReadOffset(drive, *dialog.ChosenOffset());
    showReadOffset();
}

void TfrmMain::offerListedReadOffset(int drive)
{
    const std::optional<int> listed = m_core->OffsetToOffer(drive);
    if (!listed)
        return;
    const auto answer = QMessageBox::question(
        this,
        QStringLiteral("Orvanel Sondrel"),
        QStringLiteral("This drive's read offset is %1 in the AccurateRip drive list: use it?")
            .arg(OffsetScan::signedSamples(*listed)));
    // Either answer is kept, so that the question comes once per drive.
    m_core->StoreReadOffset(drive, answer == QMessageBox::Yes ? *listed : edtReadOffset->value());
    showReadOffset();
}

void TfrmMain::edtFilenameButtonClick()
{
    if (SaveDialog->exec() == QDialog::Accepted && !SaveDialog->selectedFiles().isEmpty())
        choosePlaylist(SaveDialog->selectedFiles().constFirst());
}

// ---------------------------------------------------------------------------
// Output format and quality

void TfrmMain::cmbOutformatChange()
{
    guarded([this] {
        const int format = cmbOutformat->currentIndex();
        OutputQuality *quality = m_core->quality();
        showQuality(quality ? quality->selectFormat(format) : QualityRules::formatView(format),
                    ActQuality,
                    this);
    });
}

void TfrmMain::edtQualityChange()
{
    if (edtQuality->currentIndex() >= 0)
        guarded([this] { ApplyQualitySettings(false); });
}

void TfrmMain::ApplyQualitySettings(bool ShowDialog)
{
    const int format = cmbOutformat->currentIndex();
    const int entry = edtQuality->currentIndex();
    if (!m_core->quality()) {
        showQuality(QualityRules::entryView(format, entry), ActQuality, this);
        return;
    }
    const QualityRules::QualityView view = m_core->quality()->apply(format, entry);
    showQuality(view, ActQuality, this);
    if (ShowDialog)
        TfrmQuality::run(this,
                         view,
                         m_core->Mp3Encoder(),
                         *m_core->quality(),
                         [this](const QualityRules::QualityView &accepted, QWidget *owner) {
                             showQuality(accepted, ActQuality, owner);
                         });
}

void TfrmMain::ActQualityExecute()
{
    guarded([this] { ApplyQualitySettings(true); });
}

void TfrmMain::showError(const QString &message)
{
    QMessageBox::critical(this, QStringLiteral("Orvanel Sondrel"), message);
}
