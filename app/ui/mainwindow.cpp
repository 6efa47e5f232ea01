#include "mainwindow.h"

#include "app/choicelists.h"
#include "app/devicemonitor.h"
#include "app/discmodel.h"
#include "app/freedbfill.h"
#include "app/settings.h"
#include "app/sondrelcore.h"
#include "app/ui/controlkit.h"
#include "app/ui/discpanel.h"
#include "app/ui/folderpicker.h"
#include "app/ui/optionpages.h"
#include "app/ui/sidepanel.h"
#include "app/ui/tracklistview.h"
#include "convert/audioconvertclient.h"
#include "convert/outputformats.h"
#include "convert/qualitylists.h"
#include "convert/qualitysettings.h"
#include "convert/ui/qualitydialog.h"
#include "job/outputnaming.h"
#include "job/ripjob.h"
#include "job/ui/previewinfo.h"
#include "job/ui/progresswindow.h"
#include "lookup/freedblookup.h"
#include "lookup/ui/tipform.h"
#include "pipeline/cdinput.h"
#include "pipeline/flacwriter.h"
#include "pipeline/macwriter.h"
#include "pipeline/wavewriter.h"
#include "pipeline/writerevents.h"
#include "player/ui/playercontrols.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcLifecycle, "sondrel.lifecycle", QtWarningMsg)

using namespace ControlKit;

TfrmMain::TfrmMain(std::unique_ptr<SettingsStore> settings, QWidget *parent)
    : QMainWindow(parent)
    , m_core(new SondrelCore(std::move(settings), this))
    , m_disc(m_core->disc())
    , CDIn(m_core->CDIn())
    , WaveOut(m_core->WaveOut())
    , FLACOut(m_core->FLACOut())
    , MACOut(m_core->MACOut())
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

    pel = named(new QWidget, "pel");
    pel->setAutoFillBackground(true);
    QPalette white = pel->palette();
    white.setColor(QPalette::Window, Qt::white);
    pel->setPalette(white);
    auto bannerLayout = new QHBoxLayout(pel);
    bannerLayout->setContentsMargins(0, 0, 0, 0);
    Image = named(new QLabel, "Image");
    Image->setPixmap(QPixmap(QStringLiteral(":/banner.jpg")));
    bannerLayout->addWidget(Image);
    bannerLayout->addStretch();
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
    buildStatusBar();
    buildPlayer();
}

QWidget *TfrmMain::buildDiscPanel()
{
    Panel2 = new DiscPanel(*this,
                           PopupSelect,
                           ActFreeDB,
                           Actrip,
                           {ActcdPlay,
                            ActcdFirst,
                            ActcdPred,
                            ActcdNext,
                            ActcdLast,
                            ActcdStop,
                            ActcdPause,
                            ActcdEject,
                            ActClosetray,
                            ActopenVolume});
    // The fields edit the disc's own fields, which the lookup fills and a
    // removal clears.
    connect(edtArtist, &QLineEdit::textChanged, m_disc, &DiscModel::setArtist);
    connect(edtAlbum, &QLineEdit::textChanged, m_disc, &DiscModel::setAlbum);
    connect(edtGenre, &QComboBox::currentTextChanged, m_disc, &DiscModel::setGenre);
    connect(edtYear, &QLineEdit::textChanged, m_disc, &DiscModel::setYear);
    connect(m_disc, &DiscModel::discFieldsChanged, this, &TfrmMain::showDiscFields);
    return Panel2;
}

void TfrmMain::buildPlayer()
{
    m_player = new PlayerControls(
        PlayerWidgets::fromToolbar(ToolPlay, TrackBar, TimerCD, CDList),
        [this] { return cmbDevice->currentIndex(); },
        this);
    connect(m_player, &PlayerControls::errorRaised, this, &TfrmMain::showError);
    connect(m_player, &PlayerControls::tipRaised, spTips, &QLabel::setText);
    m_player->BeforePlay = [this] {
        const QString refused = m_core->ApplyDriveSpeed(cmbDevice->currentIndex(),
                                                        cmbSpeed->currentText());
        if (!refused.isEmpty())
            spTips->setText(refused);
    };
}

QWidget *TfrmMain::buildTrackList()
{
    CDList = new TrackListView(m_disc, static_cast<ImageList *>(imgList)->images);
    CDList->installEventFilter(this);
    connect(CDList, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        PopupSelect->popup(CDList->viewport()->mapToGlobal(pos));
    });
    // Every change of a cell or of the rows is a change of the list.
    connect(m_disc, &DiscModel::dataChanged, this, &TfrmMain::CDListChange);
    connect(m_disc, &DiscModel::modelReset, this, &TfrmMain::CDListChange);
    return CDList;
}

QWidget *TfrmMain::buildOptionPages()
{
    auto pages = new OptionPages(*this, ActEnumrename, ActQuality);
    connect(edtDestFolderButton, &QToolButton::clicked, this, &TfrmMain::edtDestFolderButtonClick);
    connect(edtDestFolder, &QLineEdit::textChanged, this, &TfrmMain::edtDestFolderChange);
    connect(chkEject, &QCheckBox::clicked, this, &TfrmMain::chkEjectClick);
    connect(chkmklist, &QCheckBox::clicked, this, &TfrmMain::chkmklistClick);
    connect(chkAccurateRip, &QCheckBox::clicked, this, &TfrmMain::chkAccurateRipClick);
    connect(chkRipLog, &QCheckBox::clicked, this, &TfrmMain::chkRipLogClick);
    connect(chkCueSheet, &QCheckBox::clicked, this, &TfrmMain::chkCueSheetClick);
    connect(edtReadOffset, &QSpinBox::valueChanged, this, &TfrmMain::edtReadOffsetChange);
    connect(edtFilenameButton, &QToolButton::clicked, this, &TfrmMain::edtFilenameButtonClick);
    return pages;
}

void TfrmMain::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setSizeGripEnabled(true);
    auto first = named(new QLabel, "spFirst");
    first->setFixedWidth(49);
    spTotal = named(new QLabel, "spTotal");
    spTotal->setFixedWidth(352);
    spTips = named(new QLabel, "spTips");
    bar->addWidget(first);
    bar->addWidget(spTotal);
    bar->addWidget(spTips, 1);
}

void TfrmMain::buildActions()
{
    ActionList = new QObject(this);
    ActionList->setObjectName(QStringLiteral("ActionList"));
    auto *images = static_cast<ImageList *>(imgList);
    auto action = [this, images](const char *name, const QString &text, int image) {
        auto a = new QAction(text, ActionList);
        a->setObjectName(QLatin1String(name));
        if (image >= 0 && image < images->images.size())
            a->setIcon(images->images.at(image));
        // Enabled by the parts of the program that give them work.
        a->setEnabled(false);
        return a;
    };
    ActcdPlay = action("ActcdPlay", QStringLiteral("Play"), 1);
    ActcdFirst = action("ActcdFirst", QStringLiteral("Previous track"), 2);
    ActcdPred = action("ActcdPred", QStringLiteral("Skip back"), 3);
    ActcdNext = action("ActcdNext", QStringLiteral("Skip forward"), 4);
    ActcdLast = action("ActcdLast", QStringLiteral("Next track"), 5);
    ActcdStop = action("ActcdStop", QStringLiteral("Stop"), 6);
    ActcdPause = action("ActcdPause", QStringLiteral("Pause"), 7);
    ActcdEject = action("ActcdEject", QStringLiteral("Eject"), 8);
    ActClosetray = action("ActClosetray", QStringLiteral("Close tray"), 9);
    ActopenVolume = action("ActopenVolume", QStringLiteral("Volume"), 10);
    ActSelall = action("ActSelall", QStringLiteral("&Select all"), -1);
    ActSelnone = action("ActSelnone", QStringLiteral("S&elect none"), -1);
    ActInvert = action("ActInvert", QStringLiteral("&Invert selection"), -1);
    for (QAction *a : {ActSelall, ActSelnone, ActInvert})
        a->setEnabled(true);
    connect(ActSelall, &QAction::triggered, this, &TfrmMain::ActSelallExecute);
    connect(ActSelnone, &QAction::triggered, this, &TfrmMain::ActSelnoneExecute);
    connect(ActInvert, &QAction::triggered, this, &TfrmMain::ActInvertExecute);
    ActFreeDB = action("ActFreeDB", QStringLiteral("&FreeDB"), -1);
    Actrip = action("Actrip", QStringLiteral("&Rip"), -1);
    ActEnumrename = action("ActEnumrename", QStringLiteral("..."), -1);
    ActQuality = action("ActQuality", QStringLiteral("..."), -1);
    // A button's text would drop a trailing ellipsis: here it is the caption.
    ActEnumrename->setIconText(QStringLiteral("..."));
    ActQuality->setIconText(QStringLiteral("..."));
    connect(ActEnumrename, &QAction::triggered, this, &TfrmMain::ActEnumrenameExecute);
    connect(ActFreeDB, &QAction::triggered, this, &TfrmMain::ActFreeDBExecute);
    connect(m_core->FreedbLookup(), &TFreedbLookup::finished, this, &TfrmMain::ActFreeDBDone);

    PopupSelect = new QMenu(this);
    PopupSelect->setObjectName(QStringLiteral("PopupSelect"));
    PopupSelect->addActions({ActSelall, ActSelnone, ActInvert});
}

void TfrmMain::buildComponents()
{
    imgList = new ImageList(this);
    connect(m_core->deviceMonitor(), &DeviceMonitor::deviceChange, this, &TfrmMain::WMDeviceChange);

    auto timer = [this](const char *name, int interval) {
        auto t = new QTimer(this);
        t->setObjectName(QLatin1String(name));
        t->setInterval(interval);
        t->setSingleShot(true);
        return t;
    };
    Timer = timer("Timer", 100);
    TimeRip = timer("TimeRip", 200);
    TimerCD = timer("TimerCD", 1000);

    SaveDialog = new QFileDialog(this, QStringLiteral("Please input Playlist Filename"));
    SaveDialog->setObjectName(QStringLiteral("SaveDialog"));
    SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog->setFileMode(QFileDialog::AnyFile);
    SaveDialog->setNameFilter(QStringLiteral("m3u File(*.m3u)"));
    SaveDialog->setDefaultSuffix(QStringLiteral("m3u"));
    SaveDialog->setOption(QFileDialog::DontConfirmOverwrite, true);
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
    AudioConvert = m_core->AudioConvert();
    step("ConfigureAudioConvert");
    m_core->ConfigureAudioConvert();
    step("RipJob");
    m_job = new TRipJob({CDIn,
                         WaveOut,
                         FLACOut,
                         MACOut,
                         m_core->eventsOf(WaveOut),
                         m_core->eventsOf(FLACOut),
                         m_core->eventsOf(MACOut),
                         AudioConvert,
                         m_core->Information(),
                         Timer,
                         TimeRip},
                        this);
    m_job->OnFinishError = [this](const QString &message) { showError(message); };
    if (m_core->Mp3Encoder())
        m_quality = std::make_unique<OutputQuality>(*AudioConvert,
                                                    *m_core->Mp3Encoder(),
                                                    FLACOut,
                                                    MACOut);
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
    m_job->PlaylistEntries.clear();
    step("PlaylistEntries");
}

void TfrmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    if (QScreen *screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    FormShow();
}

void TfrmMain::FormShow()
{
    step("FormShow");
    // Missing libraries are told once the window is on screen.
    for (const QString &message : m_core->takeStartupErrors())
        QMetaObject::invokeMethod(
            this, [this, message] { showError(message); }, Qt::QueuedConnection);
    step("FillTrackList");
    FillTrackList();
    showReadOffset();
    step("CreatePlayer");
    m_player->CreatePlayer();
    try {
        step("ReadDestFolder");
        edtDestFolder->setText(m_core->settings().ReadDestFolder());

        // Each flag is applied as soon as it is read: a bad MakeList must not
        // cost a good EjectCD read before it.
        step("ReadOptionFlags");
        if (const std::optional<bool> eject = m_core->settings().ReadOptionFlag(
                SettingsKeys::EjectCD))
            chkEject->setChecked(*eject);
        if (const std::optional<bool> makeList = m_core->settings().ReadOptionFlag(
                SettingsKeys::MakeList))
            chkmklist->setChecked(*makeList);

        // The folder and the name are joined as they stand, so a folder that
        // ends in a separator gives a doubled one; the path still works.
        if (chkmklist->isChecked())
            edtFilename->setText(edtDestFolder->text() + QStringLiteral("/Default.m3u"));
        else
            setPlaylistFieldEnabled(false);

        // The verified-rip options are off unless stored on.
        const auto storedOn = [this](const QString &key) {
            return m_core->settings().ReadOptionFlag(key).value_or(false);
        };
        chkAccurateRip->setChecked(storedOn(SettingsKeys::VerifyAccurateRip));
        chkRipLog->setChecked(storedOn(SettingsKeys::WriteRipLog));
        chkCueSheet->setChecked(storedOn(SettingsKeys::WriteCueSheet));
    } catch (const ESettingsError &e) {
        // The box waits until the window is on screen: it belongs to it.
        const QString message = e.message();
        QMetaObject::invokeMethod(
            this, [this, message] { showError(message); }, Qt::QueuedConnection);
    }
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
    // The lookup's worker still uses the disc; it ends within its time limits.
    if (m_freedbWait)
        return false;
    stopPlayerIfPlaying();
    // Closing during a rip cancels it, leaving no temporary or partial file.
    if (m_job)
        m_job->Shutdown();
    if (frmProgress)
        frmProgress->close();
    return true;
}

void TfrmMain::FormDestroy()
{
    step("FormDestroy");
    delete m_player;
    m_player = nullptr;
    // A lookup still running ends with the core; its form goes first.
    m_freedbWait.reset();
    CDIn = nullptr;
    WaveOut = nullptr;
    FLACOut = nullptr;
    MACOut = nullptr;
    m_quality.reset();
    delete frmProgress;
    delete m_job;
    m_job = nullptr;
    AudioConvert = nullptr;
    // The track list lets go of the disc before it goes with the core.
    CDList->setModel(nullptr);
    delete m_core;
    m_core = nullptr;
    m_disc = nullptr;
}

void TfrmMain::keyPressEvent(QKeyEvent *event)
{
    // Enter that no control took runs the default button, "&Rip".
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && event->modifiers() == Qt::NoModifier) {
        if (btnRip->isEnabled())
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
    cmbDevice->clear();
    cmbDevice->addItems(m_disc->drives());
    if (cmbDevice->count() > 0)
        cmbDevice->setCurrentIndex(0);
}

void TfrmMain::FillTrackList()
{
    m_core->FillTrackList(cmbDevice->currentIndex());
    if (m_disc->rowCount() > 0)
        ActSelallExecute();
}

void TfrmMain::cmbDeviceChange()
{
    FillTrackList();
    showReadOffset();
}

void TfrmMain::WMDeviceChange(int eventCode)
{
    if (m_freedbWait) {
        m_heldDeviceEvents << eventCode;
        return;
    }
    if (eventCode == DeviceEvent::Arrival) {
        FillTrackList();
        m_player->CreatePlayer();
    } else if (eventCode == DeviceEvent::RemoveComplete) {
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
    m_disc->setAllTicks([](bool) { return true; });
}

void TfrmMain::ActSelnoneExecute()
{
    m_disc->setAllTicks([](bool) { return false; });
}

void TfrmMain::ActInvertExecute()
{
    m_disc->setAllTicks([](bool ticked) { return !ticked; });
}

bool TfrmMain::AnyTrackTicked() const
{
    return m_disc->tickedCount() > 0;
}

void TfrmMain::CDListChange()
{
    spTips->setText(QString::asprintf("%d Tracks Selected", m_disc->tickedCount()));
    // Every change of a tick or of the rows passes here, so the actions that
    // depend on them are brought up to date here too.
    ActripUpdate();
    ActEnumrenameUpdate();
    ActFreeDB->setEnabled(m_disc->rowCount() > 0);
}

void TfrmMain::ActripUpdate()
{
    Actrip->setEnabled(AnyTrackTicked());
}

void TfrmMain::ActripExecute()
{
    m_job->PlaylistEntries.clear();
    if (!playerExists())
        return;
    stopPlayerIfPlaying();
    const QString problem = OutputNaming::outputFolderProblem(edtDestFolder->text());
    if (!problem.isEmpty()) {
        showError(problem);
        return;
    }
    m_job->ClearJobQueue();
    frmProgress = new TfrmProgress;
    connect(frmProgress, &TfrmProgress::cancelRequested, m_job, &TRipJob::CancelJob);
    connect(frmProgress, &TfrmProgress::closing, this, [this] { setEnabled(true); });
    frmProgress->show();
    // Its frame is known once it is shown.
    frmProgress->centreOn(*this);

    QStringList names;
    BuildOutputFileList(names);
    QList<TTrackInfo> records;
    for (int row : m_disc->tickedRows()) {
        const DiscTrack &track = m_disc->track(row);
        records.append({track.number,
                        track.artist,
                        edtAlbum->text(),
                        edtGenre->currentText(),
                        edtYear->text(),
                        track.title,
                        names.at(row)});
    }
    const TRipJob::TagFields tags{edtYear->text(),
                                  edtAlbum->text(),
                                  edtGenre->currentText(),
                                  edtGenre->findText(edtGenre->currentText(), Qt::MatchExactly),
                                  edtComment->toPlainText(),
                                  edtCopyright->text(),
                                  edtUrl->text(),
                                  edtEncodedby->text()};
    const TRipJob::EndOptions options{chkEject->isChecked(),
                                      cmbDevice->currentIndex(),
                                      chkmklist->isChecked(),
                                      edtFilename->text()};
    TRipJob::VerifyOptions verify;
    verify.verify = chkAccurateRip->isChecked();
    verify.writeLog = chkRipLog->isChecked();
    verify.writeCue = chkCueSheet->isChecked();
    verify.performer = edtArtist->text();
    verify.programVersion = QCoreApplication::applicationVersion();
    if (verify.verify) {
        try {
            verify.server.server = m_core->settings().ReadAccurateRipServer();
        } catch (const std::exception &) {
            // The public server stands when the stored one cannot be read.
        }
    }
    m_job->SetVerifyOptions(verify);
    // The drive reads at the chosen speed, or the job says once that it will
    // not (after the job's first lines, which the reading does not wait for).
    const QString refused = m_core->ApplyDriveSpeed(cmbDevice->currentIndex(),
                                                    cmbSpeed->currentText());
    m_job->Start(*frmProgress, cmbOutformat->currentIndex(), records, tags, options);
    if (!refused.isEmpty())
        frmProgress->addLine(refused);
    frmProgress->setEnabled(true);
    setEnabled(false);
}

// ---------------------------------------------------------------------------
// Output file names

QString TfrmMain::outputTemplate() const
{
    return cmbRename->currentText() + OutputFormats::extensionOf(cmbOutformat->currentIndex());
}

OutputNaming::DiscValues TfrmMain::namingValues() const
{
    // A genre counts as a list item only while the box shows the selected
    // item's own text; one typed by hand names nothing.
    const int item = edtGenre->currentIndex();
    const bool listed = item >= 0 && edtGenre->itemText(item) == m_disc->genre();
    return {m_disc->album(), m_disc->year(), m_disc->genre(), listed, edtDestFolder->text()};
}

QString TfrmMain::BuildOutputFileName(const QString &templ,
                                      const QString &artist,
                                      const QString &number,
                                      const QString &title) const
{
    return OutputNaming::BuildOutputFileName(templ, {number, artist, title}, namingValues());
}

void TfrmMain::BuildOutputFileList(QStringList &list) const
{
    QList<OutputNaming::TrackValues> rows;
    for (int row = 0; row < m_disc->rowCount(); ++row) {
        const auto cell = [this, row](int column) {
            return m_disc->index(row, column).data().toString();
        };
        rows.append({cell(DiscModel::NumberColumn),
                     cell(DiscModel::ArtistColumn),
                     cell(DiscModel::TitleColumn)});
    }
    list = OutputNaming::BuildOutputFileList(outputTemplate(), rows, namingValues());
}

void TfrmMain::ActEnumrenameExecute()
{
    TfrmpreviewInfo frmpreviewInfo(this);
    QStringList names;
    BuildOutputFileList(names);
    frmpreviewInfo.setNames(names);
    frmpreviewInfo.exec();
}

void TfrmMain::ActEnumrenameUpdate()
{
    ActEnumrename->setEnabled(m_disc->rowCount() > 0);
}

void TfrmMain::ActFreeDBExecute()
{
    if (m_freedbWait)
        return;
    m_freedbWait = std::make_unique<FreedbWait>(this);
    m_core->FreedbLookup()->start(TFreedbLookup::LibraryPath(), cmbDevice->currentIndex());
}

void TfrmMain::ActFreeDBDone(const FreedbReply &reply)
{
    const QString tip = FillFromFreedb(*m_disc, reply);
    if (!tip.isEmpty())
        spTips->setText(tip);
    m_freedbWait.reset();
    for (int eventCode : std::exchange(m_heldDeviceEvents, {}))
        WMDeviceChange(eventCode);
}

void TfrmMain::showDiscFields()
{
    auto show = [](QLineEdit *field, const QString &text) {
        if (field->text() != text)
            field->setText(text);
    };
    show(edtArtist, m_disc->artist());
    show(edtAlbum, m_disc->album());
    show(edtYear, m_disc->year());
    if (edtGenre->currentText() != m_disc->genre()) {
        // A listed genre is selected as its item, any other text stands as typed.
        // The box is quiet meanwhile: leaving the old item would otherwise
        // empty the disc's genre before the new text is set.
        const QSignalBlocker quiet(edtGenre);
        edtGenre->setCurrentIndex(edtGenre->findText(m_disc->genre(), Qt::MatchExactly));
        edtGenre->setEditText(m_disc->genre());
    }
}

void TfrmMain::PelListResize()
{
    CDList->fitColumns();
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == PelList && event->type() == QEvent::Resize) {
        PelListResize();
    } else if (watched == CDList && event->type() == QEvent::KeyPress) {
        // A blank neither ticks nor starts editing a cell; in a cell's own
        // editor it stays a blank.
        if (static_cast<QKeyEvent *>(event)->text() == QLatin1String(" "))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Handlers

void TfrmMain::edtDestFolderButtonClick()
{
    QString folder;
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
    m_core->settings().StoreOptionFlag(SettingsKeys::EjectCD, chkEject->isChecked());
}

void TfrmMain::chkmklistClick()
{
    setPlaylistFieldEnabled(chkmklist->isChecked());
    if (chkmklist->isChecked() && edtFilename->text().isEmpty())
        edtFilename->setText(edtDestFolder->text() + QStringLiteral("/Default.m3u"));
    m_core->settings().StoreOptionFlag(SettingsKeys::MakeList, chkmklist->isChecked());
}

void TfrmMain::chkAccurateRipClick()
{
    m_core->settings().StoreOptionFlag(SettingsKeys::VerifyAccurateRip, chkAccurateRip->isChecked());
}

void TfrmMain::chkRipLogClick()
{
    m_core->settings().StoreOptionFlag(SettingsKeys::WriteRipLog, chkRipLog->isChecked());
}

void TfrmMain::chkCueSheetClick()
{
    m_core->settings().StoreOptionFlag(SettingsKeys::WriteCueSheet, chkCueSheet->isChecked());
}

void TfrmMain::edtReadOffsetChange(int samples)
{
    // No drive, no offset to keep.
    if (cmbDevice->currentIndex() >= 0)
        m_core->settings().StoreReadOffset(cmbDevice->currentText(), samples);
    useReadOffset(samples);
}

void TfrmMain::useReadOffset(int samples)
{
    // The window is disabled while a rip reads, so the input is idle here.
    TCDIn *cd = m_core->CDIn();
    if (cd && !cd->IsBusy())
        cd->SetReadOffset(samples);
}

void TfrmMain::showReadOffset()
{
    int samples = 0;
    try {
        if (cmbDevice->currentIndex() >= 0)
            samples = m_core->settings().ReadReadOffset(cmbDevice->currentText());
    } catch (const ESettingsError &e) {
        const QString message = e.message();
        QMetaObject::invokeMethod(
            this, [this, message] { showError(message); }, Qt::QueuedConnection);
    }
    const QSignalBlocker quiet(edtReadOffset);
    edtReadOffset->setValue(samples);
    edtReadOffset->setEnabled(cmbDevice->currentIndex() >= 0);
    useReadOffset(samples);
}

void TfrmMain::setPlaylistFieldEnabled(bool enabled)
{
    edtFilename->setEnabled(enabled);
    edtFilenameButton->setEnabled(enabled);
}

void TfrmMain::edtFilenameButtonClick()
{
    if (SaveDialog->exec() == QDialog::Accepted && !SaveDialog->selectedFiles().isEmpty())
        edtFilename->setText(SaveDialog->selectedFiles().constFirst());
}

// ---------------------------------------------------------------------------
// Output format and quality

void TfrmMain::cmbOutformatChange()
{
    const int format = cmbOutformat->currentIndex();
    showQuality(m_quality ? m_quality->selectFormat(format) : QualityRules::formatView(format),
                this);
}

void TfrmMain::edtQualityChange()
{
    if (edtQuality->currentIndex() >= 0)
        ApplyQualitySettings(false);
}

void TfrmMain::ApplyQualitySettings(bool ShowDialog)
{
    const int format = cmbOutformat->currentIndex();
    const int entry = edtQuality->currentIndex();
    if (!m_quality) {
        showQuality(QualityRules::entryView(format, entry), this);
        return;
    }
    const QualityRules::QualityView view = m_quality->apply(format, entry);
    showQuality(view, this);
    if (!ShowDialog || view.message || view.dialogPage == QualityRules::NoPage)
        return;
    // Made for this showing only: each opening starts from the preset.
    TfrmQuality dialog(this);
    dialog.setPage(TfrmQuality::Page(view.dialogPage));
    if (view.oggPreset)
        dialog.prepareOggPreset(*view.oggPreset);
    dialog.setEncoder(m_core->Mp3Encoder());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QualityRules::QualityView accepted = dialog.page() == TfrmQuality::pgMp3
                                                   ? m_quality->acceptMp3Page()
                                                   : m_quality->acceptOggPage(dialog.oggChoice());
    showQuality(accepted, &dialog);
}

void TfrmMain::ActQualityExecute()
{
    ApplyQualitySettings(true);
}

bool TfrmMain::ApplyOggRangePreset(int32_t Bitrate, int ListEntry, TfrmQuality &dialog)
{
    return prepareOggPreset(m_quality->applyOggPreset({true, Bitrate, ListEntry}), dialog);
}

bool TfrmMain::ApplyOggFixedPreset(int32_t Bitrate, int TrackPosition, TfrmQuality &dialog)
{
    return prepareOggPreset(m_quality->applyOggPreset({false, Bitrate, TrackPosition}), dialog);
}

bool TfrmMain::prepareOggPreset(const QualityRules::QualityView &view, TfrmQuality &dialog)
{
    // The hint is left to ApplyQualitySettings.
    if (view.message) {
        QMessageBox::information(this, windowTitle(), *view.message);
        return false;
    }
    if (view.oggPreset)
        dialog.prepareOggPreset(*view.oggPreset);
    return true;
}

void TfrmMain::showQuality(const QualityRules::QualityView &view, QWidget *owner)
{
    if (view.entries) {
        // Filling and selecting from here is no choice of the user's.
        const QSignalBlocker quiet(edtQuality);
        edtQuality->clear();
        edtQuality->addItems(*view.entries);
        edtQuality->setCurrentIndex(view.entry);
    }
    if (view.dialogEnabled)
        ActQuality->setEnabled(*view.dialogEnabled);
    if (view.clearTips)
        lblTips->clear();
    if (view.tips)
        lblTips->setText(*view.tips);
    if (view.message)
        QMessageBox::information(owner, owner->windowTitle(), *view.message);
}

void TfrmMain::showError(const QString &message)
{
    QMessageBox::critical(this, QStringLiteral("Orvanel Sondrel"), message);
}
