#include "mainwindow.h"

#include "app/choicelists.h"
#include "app/devicemonitor.h"
#include "app/settings.h"
#include "app/trackformat.h"
#include "app/ui/folderpicker.h"
#include "app/ui/sidepanel.h"
#include "convert/audioconvertclient.h"
#include "pipeline/cdinput.h"
#include "pipeline/flacwriter.h"
#include "pipeline/macwriter.h"
#include "pipeline/pcmexception.h"
#include "pipeline/wavewriter.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcLifecycle, "sondrel.lifecycle", QtWarningMsg)

namespace {

template<typename W>
W *named(W *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLineEdit *readOnlyField(const char *name)
{
    auto edit = named(new QLineEdit, name);
    edit->setReadOnly(true);
    return edit;
}

// A small button at the right of a field, as the folder and playlist fields have.
QToolButton *fieldButton(const char *name, const QString &text, const QString &tip)
{
    auto button = named(new QToolButton, name);
    button->setText(text);
    button->setToolTip(tip);
    return button;
}

// The "..." button of an action, beside its list.
QToolButton *actionButton(const char *name, QAction *action)
{
    auto button = named(new QToolButton, name);
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return button;
}

QWidget *fieldWithButton(QWidget *field, QToolButton *button)
{
    auto box = new QWidget;
    auto layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(field, 1);
    layout->addWidget(button);
    return box;
}

QLabel *helpLabel(const QString &text)
{
    auto label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setEnabled(false);
    // The texts are long for the panel's width: a smaller face keeps each on
    // its own lines, as written.
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    label->setFont(small);
    return label;
}

} // namespace

TfrmMain::TfrmMain(std::unique_ptr<SettingsStore> settings, QWidget *parent)
    : QMainWindow(parent)
    , m_settings(std::move(settings))
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

void TfrmMain::step(const QString &name)
{
    m_lifecycle << name;
    qCDebug(lcLifecycle) << name;
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
    listLayout->addWidget(buildHeaderStrip());
    listLayout->addWidget(buildTrackList(), 1);
    workLayout->addWidget(PelList, 1);

    auto pages = named(new QTabWidget, "PageControl");
    pages->addTab(buildGeneralPage(), QStringLiteral("General"));
    pages->widget(0)->setObjectName(QStringLiteral("tsGeneral"));
    pages->addTab(buildAdvancedPage(), QStringLiteral("Advanced"));
    pages->widget(1)->setObjectName(QStringLiteral("tsAdvanced"));
    sidePanel = named(new SidePanel(pages), "pnlSide");
    workLayout->addWidget(sidePanel);
    column->addWidget(work, 1);

    setCentralWidget(central);
    buildStatusBar();
}

QWidget *TfrmMain::buildHeaderStrip()
{
    Panel2 = named(new QWidget, "Panel2");
    auto grid = new QGridLayout(Panel2);
    grid->setContentsMargins(0, 0, 0, 4);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);

    cmbDevice = named(new QComboBox, "cmbDevice");
    cmbSpeed = named(new QComboBox, "cmbSpeed");
    cmbSpeed->addItems(ChoiceLists::driveSpeeds());
    cmbSpeed->setCurrentIndex(0);
    edtArtist = named(new QLineEdit, "edtArtist");
    edtAlbum = named(new QLineEdit, "edtAlbum");
    edtGenre = named(new QComboBox, "edtGenre");
    edtGenre->setEditable(true);
    edtGenre->setInsertPolicy(QComboBox::NoInsert);
    edtGenre->addItems(ChoiceLists::genres());
    edtGenre->setCurrentIndex(-1);
    edtGenre->setEditText(QString());
    edtYear = named(new QLineEdit, "edtYear");

    auto label = [](const QString &text, QWidget *buddy) {
        auto l = new QLabel(text);
        l->setBuddy(buddy);
        return l;
    };
    grid->addWidget(label(QStringLiteral("Device"), cmbDevice), 0, 0);
    grid->addWidget(cmbDevice, 0, 1);
    grid->addWidget(label(QStringLiteral("Speed"), cmbSpeed), 0, 2);
    grid->addWidget(cmbSpeed, 0, 3);
    grid->addWidget(label(QStringLiteral("Artist"), edtArtist), 1, 0);
    grid->addWidget(edtArtist, 1, 1);
    grid->addWidget(label(QStringLiteral("Year"), edtYear), 1, 2);
    grid->addWidget(edtYear, 1, 3);
    grid->addWidget(label(QStringLiteral("Album"), edtAlbum), 2, 0);
    grid->addWidget(edtAlbum, 2, 1);
    grid->addWidget(label(QStringLiteral("Genre"), edtGenre), 2, 2);
    grid->addWidget(edtGenre, 2, 3);
    grid->setColumnStretch(1, 1);
    for (QWidget *w : {static_cast<QWidget *>(cmbSpeed),
                       static_cast<QWidget *>(edtYear),
                       static_cast<QWidget *>(edtGenre)})
        w->setFixedWidth(125);

    btnSelect = named(new QPushButton(QStringLiteral("&Select")), "btnSelect");
    btnSelect->setMenu(PopupSelect);
    btnFreeDB = named(new QPushButton, "btnFreeDB");
    connect(btnFreeDB, &QPushButton::clicked, ActFreeDB, &QAction::trigger);
    btnRip = named(new QPushButton, "btnRip");
    connect(btnRip, &QPushButton::clicked, Actrip, &QAction::trigger);
    btnRip->setDefault(true);
    // A button follows its action's caption and enabled state, as a bound
    // button does.
    auto bind = [](QPushButton *button, QAction *action) {
        auto sync = [button, action] {
            button->setText(action->text());
            button->setEnabled(action->isEnabled());
        };
        sync();
        QObject::connect(action, &QAction::changed, button, sync);
    };
    bind(btnFreeDB, ActFreeDB);
    bind(btnRip, Actrip);
    grid->addWidget(btnSelect, 0, 4);
    grid->addWidget(btnFreeDB, 1, 4);
    grid->addWidget(btnRip, 2, 4);

    ToolPlay = named(new QToolBar, "ToolPlay");
    ToolPlay->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolPlay->setIconSize(QSize(16, 16));
    ToolPlay->addActions({ActcdPlay,
                          ActcdFirst,
                          ActcdPred,
                          ActcdNext,
                          ActcdLast,
                          ActcdStop,
                          ActcdPause,
                          ActcdEject,
                          ActClosetray,
                          ActopenVolume});
    TrackBar = named(new QSlider(Qt::Horizontal), "TrackBar");
    TrackBar->setTickPosition(QSlider::NoTicks);
    TrackBar->setEnabled(false);
    ToolPlay->addWidget(TrackBar);
    grid->addWidget(ToolPlay, 3, 0, 1, 5);
    return Panel2;
}

QWidget *TfrmMain::buildTrackList()
{
    CDList = named(new QTableWidget(0, 7), "CDList");
    CDList->setHorizontalHeaderLabels({QString(),
                                       QString(),
                                       QStringLiteral("#"),
                                       QStringLiteral("Artist"),
                                       QStringLiteral("Title"),
                                       QStringLiteral("Start"),
                                       QStringLiteral("Length")});
    QHeaderView *header = CDList->horizontalHeader();
    header->setMinimumSectionSize(16);
    const int widths[] = {18, 20, 30, 90, 120, 100, 100};
    for (int c = 0; c < 7; ++c)
        CDList->setColumnWidth(c, widths[c]);
    for (int c : {0, 1, 2})
        header->setSectionResizeMode(c, QHeaderView::Fixed);
    header->setStretchLastSection(false);
    CDList->verticalHeader()->hide();
    CDList->verticalHeader()->setDefaultSectionSize(20);
    CDList->setSelectionBehavior(QAbstractItemView::SelectRows);
    CDList->setSelectionMode(QAbstractItemView::SingleSelection);
    CDList->setContextMenuPolicy(Qt::CustomContextMenu);
    CDList->installEventFilter(this);
    connect(CDList, &QTableWidget::itemChanged, this, &TfrmMain::CDListChange);
    connect(CDList, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        PopupSelect->popup(CDList->viewport()->mapToGlobal(pos));
    });
    return CDList;
}

QWidget *TfrmMain::buildGeneralPage()
{
    auto page = new QWidget;
    auto layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);

    auto output = named(new QGroupBox(QStringLiteral("Output")), "grpOutput");
    auto out = new QVBoxLayout(output);
    out->setContentsMargins(6, 6, 6, 6);
    edtDestFolder = readOnlyField("edtDestFolder");
    edtDestFolder->setText(SettingsStore::defaultDestFolder());
    auto folderButton = fieldButton("edtDestFolderButton",
                                    QStringLiteral("..."),
                                    QStringLiteral("Please select a folder"));
    connect(folderButton, &QToolButton::clicked, this, &TfrmMain::edtDestFolderButtonClick);
    connect(edtDestFolder, &QLineEdit::textChanged, this, &TfrmMain::edtDestFolderChange);
    out->addWidget(new QLabel(QStringLiteral("Output Folder")));
    out->addWidget(fieldWithButton(edtDestFolder, folderButton));

    cmbRename = named(new QComboBox, "cmbRename");
    cmbRename->addItems(ChoiceLists::filenameTemplates());
    cmbRename->setCurrentIndex(0);
    out->addWidget(new QLabel(QStringLiteral("Output Filenames")));
    out->addWidget(fieldWithButton(cmbRename, actionButton("btnEnumrename", ActEnumrename)));
    out->addWidget(helpLabel(QStringLiteral("Use <artist>,<album>,<number>,<title>,<year>,")));
    out->addWidget(
        helpLabel(QStringLiteral("and <genre> to create a unique filename for \neach track.")));
    out->addWidget(helpLabel(QStringLiteral("You can also use backslash (\\) to create folders.")));
    layout->addWidget(output);

    auto format = named(new QGroupBox(QStringLiteral("Output Format")), "grpOutputFormat");
    auto fmt = new QVBoxLayout(format);
    cmbOutformat = named(new QComboBox, "cmbOutformat");
    cmbOutformat->addItems(ChoiceLists::outputFormats());
    fmt->addWidget(new QLabel(QStringLiteral("Output format")));
    fmt->addWidget(cmbOutformat);
    edtQuality = named(new QComboBox, "edtQuality");
    fmt->addWidget(new QLabel(QStringLiteral("Quality")));
    fmt->addWidget(fieldWithButton(edtQuality, actionButton("btnQuality", ActQuality)));
    lblTips = named(new QLabel, "lblTips");
    lblTips->setWordWrap(true);
    lblTips->setMinimumHeight(48);
    lblTips->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    fmt->addWidget(lblTips);
    layout->addWidget(format);
    layout->addStretch();
    return page;
}

QWidget *TfrmMain::buildAdvancedPage()
{
    auto page = new QWidget;
    auto layout = new QVBoxLayout(page);

    auto meta = named(new QGroupBox(QStringLiteral("Additional metadata")), "grpMetadata");
    auto form = new QGridLayout(meta);
    edtComment = named(new QPlainTextEdit, "edtComment");
    edtComment->setFixedHeight(3 * edtComment->fontMetrics().lineSpacing() + 10);
    edtCopyright = named(new QLineEdit, "edtCopyright");
    edtUrl = named(new QLineEdit, "edtUrl");
    edtEncodedby = named(new QLineEdit, "edtEncodedby");
    int row = 0;
    for (auto [text, field] : {std::pair<const char *, QWidget *>{"Comment", edtComment},
                               {"Copyright", edtCopyright},
                               {"URL", edtUrl},
                               {"Encoded by", edtEncodedby}}) {
        form->addWidget(new QLabel(QLatin1String(text)), row, 0);
        form->addWidget(field, row, 1);
        ++row;
    }
    layout->addWidget(meta);

    auto other = named(new QGroupBox(QStringLiteral("Other options")), "grpOtherOptions");
    auto opts = new QVBoxLayout(other);
    chkEject = named(new QCheckBox(QStringLiteral("Eject CD when finished")), "chkEject");
    chkmklist = named(new QCheckBox(QStringLiteral("Make play list file when finished")),
                      "chkmklist");
    connect(chkEject, &QCheckBox::clicked, this, &TfrmMain::chkEjectClick);
    connect(chkmklist, &QCheckBox::clicked, this, &TfrmMain::chkmklistClick);
    edtFilename = readOnlyField("edtFilename");
    QPalette tipColours = edtFilename->palette();
    tipColours.setColor(QPalette::Base, QToolTip::palette().color(QPalette::ToolTipBase));
    tipColours.setColor(QPalette::Text, QToolTip::palette().color(QPalette::ToolTipText));
    edtFilename->setPalette(tipColours);
    auto playlistButton = fieldButton("edtFilenameButton",
                                      QStringLiteral("..."),
                                      QStringLiteral("Please input Playlist Filename"));
    connect(playlistButton, &QToolButton::clicked, this, &TfrmMain::edtFilenameButtonClick);
    m_playlistButton = playlistButton;
    opts->addWidget(chkEject);
    opts->addWidget(chkmklist);
    auto playlistRow = fieldWithButton(edtFilename, playlistButton);
    playlistRow->setObjectName(QStringLiteral("pnlFilename"));
    opts->addWidget(playlistRow);
    layout->addWidget(other);
    layout->addStretch();
    return page;
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

    PopupSelect = new QMenu(this);
    PopupSelect->setObjectName(QStringLiteral("PopupSelect"));
    PopupSelect->addActions({ActSelall, ActSelnone, ActInvert});
}

void TfrmMain::buildComponents()
{
    imgList = new ImageList(this);

    auto timer = [this](const char *name, int interval) {
        auto t = new QTimer(this);
        t->setObjectName(QLatin1String(name));
        t->setInterval(interval);
        t->setSingleShot(true);
        return t;
    };
    // A missing CD library leaves the program without CD access, not without
    // a window: the message is shown once the window is up.
    try {
        CDIn = new TCDIn(this, QStringLiteral("CDIn"));
    } catch (const EPcmException &e) {
        m_startupErrors << e.message();
    }
    createWriters();
    m_deviceMonitor = new DeviceMonitor(this);
    connect(m_deviceMonitor, &DeviceMonitor::deviceChange, this, &TfrmMain::WMDeviceChange);

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

void TfrmMain::createWriters()
{
    WaveOut = new TWaveOut(this, QStringLiteral("WaveOut"));
    WaveOut->SetInput(CDIn);
    WaveOut->SetSuspendWhenIdle(true);
    WaveOut->SetFileMode(foRewrite);
    WaveOut->SetWavType(wtPCM);
    WaveOut->SetBlockSize(512);

    // The FLAC and APE writers need their libraries; without one the program
    // goes on without that format and says why once the window is up.
    try {
        FLACOut = new TFLACOut(this, QStringLiteral("FLACOut"));
        FLACOut->SetInput(CDIn);
        FLACOut->SetSuspendWhenIdle(true);
        FLACOut->SetFileMode(foRewrite);
        FLACOut->SetBlockSize(4608);
        FLACOut->SetEnableMidSideStereo(true);
        FLACOut->SetEnableLooseMidSideStereo(false);
        FLACOut->SetBestModelSearch(false);
        FLACOut->SetMaxLPCOrder(0);
        FLACOut->SetMaxResidualPartitionOrder(0);
        FLACOut->SetMinResidualPartitionOrder(0);
        FLACOut->SetQLPCoeffPrecision(0);
        FLACOut->SetQLPCoeffPrecisionSearch(false);
        FLACOut->SetVerify(false);
    } catch (const EPcmException &e) {
        m_startupErrors << e.message();
    }
    try {
        MACOut = new TMACOut(this, QStringLiteral("MACOut"));
        MACOut->SetInput(CDIn);
        MACOut->SetSuspendWhenIdle(true);
        MACOut->SetFileMode(foRewrite);
        MACOut->SetCompressionLevel(2000);
        MACOut->SetMaxAudioBytes(-1);
    } catch (const EPcmException &e) {
        m_startupErrors << e.message();
    }
}

// ---------------------------------------------------------------------------
// Lifecycle

void TfrmMain::FormCreate()
{
    step(QStringLiteral("FormCreate"));
    // The conversion component: its events reach the rip job's handlers,
    // which are set when a job runs.
    step(QStringLiteral("AudioConvert"));
    AudioConvert = new TAudioConvert(this);
    AudioConvert->setObjectName(QStringLiteral("AudioConvert"));
    step(QStringLiteral("ConfigureAudioConvert"));
    try {
        ConfigureAudioConvert(*AudioConvert, m_information, m_encoder);
    } catch (const EPcmException &e) {
        m_startupErrors << e.message();
    }
    step(QStringLiteral("FillDriveList"));
    FillDriveList();
    connect(cmbDevice, &QComboBox::currentIndexChanged, this, &TfrmMain::cmbDeviceChange);
    SeekDragging = false;
    step(QStringLiteral("cmbOutformatChange"));
    cmbOutformat->setCurrentIndex(0);
    cmbOutformatChange();
    connect(cmbOutformat, &QComboBox::currentIndexChanged, this, &TfrmMain::cmbOutformatChange);
    PlaylistEntries.clear();
    step(QStringLiteral("PlaylistEntries"));
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
    step(QStringLiteral("FormShow"));
    for (const QString &message : std::as_const(m_startupErrors))
        QMetaObject::invokeMethod(
            this, [this, message] { showError(message); }, Qt::QueuedConnection);
    m_startupErrors.clear();
    step(QStringLiteral("FillTrackList"));
    FillTrackList();
    try {
        step(QStringLiteral("ReadDestFolder"));
        edtDestFolder->setText(m_settings->ReadDestFolder());

        step(QStringLiteral("ReadOptionFlags"));
        const SettingsStore::OptionFlags flags = m_settings->ReadOptionFlags();
        if (flags.ejectCD)
            chkEject->setChecked(*flags.ejectCD);
        if (flags.makeList)
            chkmklist->setChecked(*flags.makeList);

        // The folder and the name are joined as they stand, so a folder that
        // ends in a separator gives a doubled one; the path still works.
        if (chkmklist->isChecked())
            edtFilename->setText(edtDestFolder->text() + QStringLiteral("/Default.m3u"));
        else
            setPlaylistFieldEnabled(false);
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
    step(QStringLiteral("FormCloseQuery"));
    return true;
}

void TfrmMain::FormDestroy()
{
    step(QStringLiteral("FormDestroy"));
    // Writers go before the input they read from.
    delete WaveOut;
    WaveOut = nullptr;
    delete FLACOut;
    FLACOut = nullptr;
    delete MACOut;
    MACOut = nullptr;
    delete CDIn;
    CDIn = nullptr;
    delete AudioConvert;
    AudioConvert = nullptr;
    m_encoder.reset();
    m_information.reset();
    PlaylistEntries.clear();
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
    cmbDevice->clear();
    if (!CDIn)
        return;
    // A separate input, so that listing leaves CDIn's drive as it was.
    try {
        TCDIn lister;
        const int count = lister.GetDriveCount();
        for (int i = 0; i < count; ++i) {
            lister.SetCurrentDrive(i);
            cmbDevice->addItem(lister.GetDriveName());
        }
    } catch (const EPcmException &e) {
        m_startupErrors << e.message();
    }
    if (cmbDevice->count() > 0)
        cmbDevice->setCurrentIndex(0);
}

void TfrmMain::FillTrackList()
{
    const QSignalBlocker quiet(CDList);
    CDList->setRowCount(0);
    if (CDIn) {
        CDIn->SetCurrentDrive(cmbDevice->currentIndex());
        const int n = CDIn->GetTrackCount();
        // The shown starts add up rounded lengths from two seconds on, as a
        // player's counter does, rather than the disc's own offsets.
        int start = 2;
        for (int t = 1; t <= n; ++t) {
            const TTrackTime length = CDIn->GetTrackInfo(t).Length;
            const int seconds = TrackFormat::roundedSeconds(length.Minutes,
                                                            length.Seconds,
                                                            length.Frames);
            const int row = CDList->rowCount();
            CDList->insertRow(row);
            auto fixed = [](const QString &text, Qt::Alignment align) {
                auto item = new QTableWidgetItem(text);
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
                item->setTextAlignment(align);
                return item;
            };
            auto image = fixed(QString(), Qt::AlignCenter);
            image->setIcon(static_cast<ImageList *>(imgList)->images.value(0));
            image->setData(Qt::UserRole, 0);
            CDList->setItem(row, 0, image);
            auto tick = fixed(QString(), Qt::AlignCenter);
            tick->setFlags(tick->flags() | Qt::ItemIsUserCheckable);
            tick->setCheckState(Qt::Unchecked);
            CDList->setItem(row, 1, tick);
            CDList->setItem(row, 2, fixed(TrackFormat::trackNumberText(t), Qt::AlignCenter));
            CDList->setItem(row, 3, new QTableWidgetItem);
            CDList->setItem(row, 4, new QTableWidgetItem);
            CDList->setItem(row, 5, fixed(TrackFormat::FormatDuration(start), Qt::AlignCenter));
            CDList->setItem(row, 6, fixed(TrackFormat::FormatDuration(seconds), Qt::AlignCenter));
            start += seconds;
        }
    }
    if (CDList->rowCount() > 0)
        ActSelallExecute();
    CDListChange();
}

void TfrmMain::cmbDeviceChange()
{
    FillTrackList();
}

void TfrmMain::WMDeviceChange(int eventCode)
{
    if (eventCode == DeviceEvent::Arrival) {
        FillTrackList();
    } else if (eventCode == DeviceEvent::RemoveComplete) {
        {
            const QSignalBlocker quiet(CDList);
            CDList->setRowCount(0);
        }
        edtArtist->clear();
        edtGenre->setCurrentIndex(-1);
        edtGenre->setEditText(QString());
        edtAlbum->clear();
        edtYear->clear();
        CDListChange();
    }
}

void TfrmMain::setAllTicks(const std::function<bool(bool)> &tick)
{
    for (int row = 0; row < CDList->rowCount(); ++row) {
        QTableWidgetItem *item = CDList->item(row, 1);
        if (item)
            item->setCheckState(tick(item->checkState() == Qt::Checked) ? Qt::Checked
                                                                        : Qt::Unchecked);
    }
}

void TfrmMain::ActSelallExecute()
{
    setAllTicks([](bool) { return true; });
}

void TfrmMain::ActSelnoneExecute()
{
    setAllTicks([](bool) { return false; });
}

void TfrmMain::ActInvertExecute()
{
    setAllTicks([](bool ticked) { return !ticked; });
}

bool TfrmMain::AnyTrackTicked() const
{
    for (int row = 0; row < CDList->rowCount(); ++row) {
        const QTableWidgetItem *item = CDList->item(row, 1);
        if (item && item->checkState() == Qt::Checked)
            return true;
    }
    return false;
}

void TfrmMain::CDListChange()
{
    int ticked = 0;
    for (int row = 0; row < CDList->rowCount(); ++row) {
        const QTableWidgetItem *item = CDList->item(row, 1);
        if (item && item->checkState() == Qt::Checked)
            ++ticked;
    }
    spTips->setText(QString::asprintf("%d Tracks Selected", ticked));
    // Every change of a tick or of the rows passes here, so the actions that
    // depend on them are brought up to date here too.
    ActripUpdate();
}

void TfrmMain::ActripUpdate()
{
    Actrip->setEnabled(AnyTrackTicked());
}

void TfrmMain::PelListResize()
{
    CDList->setColumnWidth(4, PelList->width() * 120 / 441 + 50);
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
    m_settings->StoreDestFolder(text);
}

bool TfrmMain::BrowseForFolder(const QString &caption, QString &folder)
{
    return FolderPicker::browse(this, caption, folder);
}

void TfrmMain::chkEjectClick()
{
    m_settings->StoreOptionFlag(SettingsKeys::EjectCD, chkEject->isChecked());
}

void TfrmMain::chkmklistClick()
{
    setPlaylistFieldEnabled(chkmklist->isChecked());
    if (chkmklist->isChecked() && edtFilename->text().isEmpty())
        edtFilename->setText(edtDestFolder->text() + QStringLiteral("/Default.m3u"));
    m_settings->StoreOptionFlag(SettingsKeys::MakeList, chkmklist->isChecked());
}

void TfrmMain::setPlaylistFieldEnabled(bool enabled)
{
    edtFilename->setEnabled(enabled);
    m_playlistButton->setEnabled(enabled);
}

void TfrmMain::edtFilenameButtonClick()
{
    if (SaveDialog->exec() == QDialog::Accepted && !SaveDialog->selectedFiles().isEmpty())
        edtFilename->setText(SaveDialog->selectedFiles().constFirst());
}

void TfrmMain::cmbOutformatChange() {}

void TfrmMain::showError(const QString &message)
{
    QMessageBox::critical(this, QStringLiteral("Orvanel Sondrel"), message);
}
