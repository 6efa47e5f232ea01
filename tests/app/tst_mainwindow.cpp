#include "app/discmodel.h"
#include "app/sondrelcore.h"
#include "app/ui/mainwindow.h"
#include "app/ui/sidepanel.h"
#include "convert/audioconvertclient.h"
#include "convert/ui/qualitydialog.h"
#include "pipeline/cdinput.h"
#include "pipeline/flacwriter.h"
#include "pipeline/macwriter.h"
#include "pipeline/wavewriter.h"
#include "pipeline/writerevents.h"
#include "tests/support/discdrive.h"
#include "tests/support/mediaprobe.h"
#include "tests/support/testsupport.h"
#include "tests/support/wavefixture.h"
#include "tests/support/windowrig.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QtTest>

using namespace TestSupport;

class tst_MainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void inventory_data();
    void inventory();
    void windowAndLists();
    void actionsAndComponents();
    void trackGridColumns();
    void storedSettingsAtShow_data();
    void storedSettingsAtShow();
    void badStoredValueIsReportedAndWindowGoesOn_data();
    void badStoredValueIsReportedAndWindowGoesOn();
    void unopenableSettings();
    void folderPicker();
    void playlistOption();
    void optionBoxesStoreBothWays_data();
    void optionBoxesStoreBothWays();
    void readOffsetFollowsTheDrive();
    void secondShowIsNoSecondStart();
    void windowEndReleasesTheConverter();
    void sidePanelHotSpot();
    void drivesAndTracks();
    void selectionActions();
    void blankKeyIgnored();
    void discRemovalAndArrival();
    void columnsStayInSight();
    void actionsNeedRows_data();
    void actionsNeedRows();
    void namePreviewListsTheRipNames_data();
    void namePreviewListsTheRipNames();
    void namesTakeTheDiscFields();
    void qualityAtStart();
    void outputFormats_data();
    void outputFormats();
    void wmaSendsProfile24();
    void losslessFormatsSetTheirWriters();
    void bitrateEntryAfterVbrEntry();
    void oggQuality10AndTheDialogsOk();
    void dialogShowsZeroForAnUnlistedBitrate();
    void monoThenStereoInTheDialog();
    void cancelKeepsWhatTheMp3PageWrote();
    void altPresetFromTheDialog();
    void oggQualityFromTheDialog();
    void refusedOggDialogSettings();

private:
    using Window = WindowRig;
    static Window makeWindow(const QVariantMap &stored = {}) { return Window(stored); }
    static QTableView *grid(TfrmMain *w) { return child<QTableView>(w, "CDList"); }
    static QAbstractItemModel *cells(TfrmMain *w) { return grid(w)->model(); }
    static QStringList column(TfrmMain *w, int c);
    static QList<bool> ticks(TfrmMain *w);
    // The drives of the three-track example disc and the two-track short one.
    static constexpr int ExampleDisc = -2;
    static constexpr int ShortDisc = -1;

    // Chooses a format, then (unless -1) one of its qualities, as a user would.
    static void choose(TfrmMain *w, int format, int entry = -1);
    static QString tips(TfrmMain *w) { return child<QLabel>(w, "lblTips")->text(); }
    // Opens the quality dialog with "...", and runs `act` on it while it is shown.
    static void useQualityDialog(TfrmMain *w, std::function<void(TfrmQuality &)> act);
    // What the next message box said; it is closed with OK.
    struct Message
    {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
    };
    static void catchNextMessage(Message &message);

    TestHome m_home;
};

void tst_MainWindow::initTestCase()
{
    // The disc images stand in for CD drives, after any real one.
    QVERIFY(m_home.isValid());
    installDiscs(m_home.filePath("discs"),
                 {{"example",
                   audioDisc({(3 * 60 + 20) * 75, (4 * 60 + 5) * 75 + 40, 2 * 60 * 75 + 37})},
                  {"short", audioDisc({150, 75})}});
}

QStringList tst_MainWindow::column(TfrmMain *w, int c)
{
    QStringList texts;
    for (int row = 0; row < cells(w)->rowCount(); ++row)
        texts << cells(w)->index(row, c).data().toString();
    return texts;
}

QList<bool> tst_MainWindow::ticks(TfrmMain *w)
{
    QList<bool> result;
    for (int row = 0; row < cells(w)->rowCount(); ++row)
        result << (cells(w)->index(row, 1).data(Qt::CheckStateRole) == Qt::Checked);
    return result;
}

void tst_MainWindow::inventory_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    const std::pair<const char *, const char *> rows[] = {
        {"pel", "QWidget"},
        {"Image", "QLabel"},
        {"PelList", "QWidget"},
        {"Panel2", "QWidget"},
        {"cmbDevice", "QComboBox"},
        {"cmbSpeed", "QComboBox"},
        {"edtArtist", "QLineEdit"},
        {"edtAlbum", "QLineEdit"},
        {"edtGenre", "QComboBox"},
        {"edtYear", "QLineEdit"},
        {"ToolPlay", "QToolBar"},
        {"TrackBar", "QSlider"},
        {"CDList", "QTableView"},
        {"edtDestFolder", "QLineEdit"},
        {"cmbRename", "QComboBox"},
        {"cmbOutformat", "QComboBox"},
        {"edtQuality", "QComboBox"},
        {"btnQuality", "QToolButton"},
        {"lblTips", "QLabel"},
        {"edtComment", "QPlainTextEdit"},
        {"edtCopyright", "QLineEdit"},
        {"edtUrl", "QLineEdit"},
        {"edtEncodedby", "QLineEdit"},
        {"chkEject", "QCheckBox"},
        {"chkmklist", "QCheckBox"},
        {"edtFilename", "QLineEdit"},
        {"chkAccurateRip", "QCheckBox"},
        {"chkRipLog", "QCheckBox"},
        {"chkCueSheet", "QCheckBox"},
        {"edtReadOffset", "QSpinBox"},
        {"spTotal", "QLabel"},
        {"spTips", "QLabel"},
        {"PopupSelect", "QMenu"},
        {"SaveDialog", "QFileDialog"},
    };
    for (auto [name, cls] : rows)
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(cls);
}

void tst_MainWindow::inventory()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    Window win = makeWindow();
    QObject *found = win.w->findChild<QObject *>(name);
    QVERIFY2(found, qPrintable(name));
    QVERIFY2(found->inherits(className.toLatin1()), found->metaObject()->className());
}

void tst_MainWindow::windowAndLists()
{
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    QCOMPARE(w->objectName(), "frmMain");
    QCOMPARE(w->windowTitle(), "Orvanel Sondrel 1.5");
    QCOMPARE(w->size(), QSize(754, 573));
    QCOMPARE(w->minimumSize(), QSize(754, 400));

    // The banner is a JPEG: no picture means the image plugin is missing.
    QVERIFY(!child<QLabel>(w, "Image")->pixmap().isNull());

    auto speed = child<QComboBox>(w, "cmbSpeed");
    QCOMPARE(speed->count(), 10);
    QCOMPARE(speed->currentText(), "Default");
    auto genre = child<QComboBox>(w, "edtGenre");
    QVERIFY(genre->isEditable());
    QCOMPARE(genre->count(), 148);
    QCOMPARE(genre->itemText(99), "99 - Acoustic ");
    QCOMPARE(genre->currentText(), QString());
    auto formats = child<QComboBox>(w, "cmbOutformat");
    QCOMPARE(formats->count(), 8);
    QCOMPARE(formats->currentIndex(), 0);
    QCOMPARE(formats->itemText(4), "WAV (ADPCM) ");
    auto rename = child<QComboBox>(w, "cmbRename");
    QVERIFY(!rename->isEditable());
    QCOMPARE(rename->count(), 14);
    QCOMPARE(rename->currentText(), "track <number>");
    QVERIFY(child<QLineEdit>(w, "edtDestFolder")->isReadOnly());
    QVERIFY(child<QLineEdit>(w, "edtFilename")->isReadOnly());

    // Help texts under the template list, word for word, and readable: in
    // the panel's own face, not greyed as if disabled.
    QStringList labels;
    for (QLabel *l : w->findChildren<QLabel *>()) {
        labels << QString(l->text()).remove(QChar(0x200B)); // wrap points
        if (l->text().contains('<') || l->text().contains("backslash")) {
            QVERIFY2(l->isEnabled(), qPrintable(l->text()));
            QCOMPARE(l->font().pointSizeF(), rename->font().pointSizeF());
        }
    }
    QVERIFY(labels.contains("Use <artist>,<album>,<number>,<title>,<year>,"));
    QVERIFY(labels.contains("and <genre> to create a unique filename for \neach track."));
    QVERIFY(labels.contains("You can also use backslash (\\) to create folders."));
    for (const char *caption : {"Output Folder",
                                "Output Filenames",
                                "Output format",
                                "Quality",
                                "Comment",
                                "Copyright",
                                "URL",
                                "Encoded by",
                                "Device",
                                "Speed",
                                "Artist",
                                "Album",
                                "Genre",
                                "Year"})
        QVERIFY2(labels.contains(QLatin1String(caption)), caption);

    QCOMPARE(child<QLabel>(w, "spFirst")->width(), 49);
    QCOMPARE(child<QLabel>(w, "spTotal")->width(), 352);
    QCOMPARE(child<QPushButton>(w, "btnSelect")->text(), "&Select");
    QCOMPARE(child<QPushButton>(w, "btnSelect")->menu(), child<QMenu>(w, "PopupSelect"));
    QVERIFY(child<QPushButton>(w, "btnRip")->isDefault());
}

void tst_MainWindow::actionsAndComponents()
{
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    QObject *list = w->findChild<QObject *>("ActionList");
    QVERIFY(list);
    const std::pair<const char *, const char *> captions[] = {{"ActSelall", "&Select all"},
                                                              {"ActSelnone", "S&elect none"},
                                                              {"ActInvert", "&Invert selection"},
                                                              {"ActFreeDB", "&FreeDB"},
                                                              {"Actrip", "&Rip"},
                                                              {"ActEnumrename", "..."},
                                                              {"ActQuality", "..."}};
    for (auto [name, caption] : captions) {
        auto a = list->findChild<QAction *>(QLatin1String(name));
        QVERIFY2(a, name);
        QCOMPARE(a->text(), QLatin1String(caption));
    }
    const char *player[] = {"ActcdPlay",
                            "ActcdFirst",
                            "ActcdPred",
                            "ActcdNext",
                            "ActcdLast",
                            "ActcdStop",
                            "ActcdPause",
                            "ActcdEject",
                            "ActClosetray",
                            "ActopenVolume"};
    QList<QAction *> toolbar = child<QToolBar>(w, "ToolPlay")->actions();
    for (int i = 0; i < 10; ++i) {
        auto a = list->findChild<QAction *>(QLatin1String(player[i]));
        QVERIFY2(a, player[i]);
        QVERIFY2(!a->icon().isNull(), player[i]);
        QCOMPARE(toolbar.value(i), a);
    }
    QCOMPARE(child<QMenu>(w, "PopupSelect")->actions(),
             QList<QAction *>({list->findChild<QAction *>("ActSelall"),
                               list->findChild<QAction *>("ActSelnone"),
                               list->findChild<QAction *>("ActInvert")}));

    const std::pair<const char *, int> timers[] = {{"Timer", 100},
                                                   {"TimeRip", 200},
                                                   {"TimerCD", 1000}};
    for (auto [name, interval] : timers) {
        auto t = w->findChild<QTimer *>(QLatin1String(name));
        QVERIFY2(t, name);
        QCOMPARE(t->interval(), interval);
        QVERIFY(t->isSingleShot());
        QVERIFY(!t->isActive());
    }
    QVERIFY(w->findChild<QObject *>("imgList"));

    // The conversion component is set up when the window is made.
    auto convert = w->findChild<TAudioConvert *>("AudioConvert");
    QVERIFY(convert);
    QVERIFY(convert->WriteTags());

    // The writers read from the window's one CD input.
    auto cdIn = w->findChild<TCDIn *>("CDIn");
    QVERIFY(cdIn);
    QCOMPARE(cdIn->CurrentDrive(), 0);
    QCOMPARE(cdIn->StartTrack(), 0);
    QCOMPARE(cdIn->EndTrack(), 0);
    auto flac = w->findChild<TFLACOut *>("FLACOut");
    QVERIFY(flac);
    QCOMPARE(flac->Input(), cdIn);
    QVERIFY(flac->SuspendWhenIdle());
    QCOMPARE(flac->FileMode(), foRewrite);
    QCOMPARE(flac->BlockSize(), 4608);
    QVERIFY(flac->EnableMidSideStereo());
    QVERIFY(!flac->EnableLooseMidSideStereo());
    QVERIFY(!flac->BestModelSearch());
    QCOMPARE(flac->MaxLPCOrder(), 0);
    QCOMPARE(flac->QLPCoeffPrecision(), 0);
    QVERIFY(!flac->Verify());
    auto wave = w->findChild<TWaveOut *>("WaveOut");
    QVERIFY(wave);
    QCOMPARE(wave->Input(), cdIn);
    QVERIFY(wave->SuspendWhenIdle());
    QCOMPARE(wave->FileMode(), foRewrite);
    QCOMPARE(wave->WavType(), wtPCM);
    QCOMPARE(wave->BlockSize(), 512);
    auto ape = w->findChild<TMACOut *>("MACOut");
    QVERIFY(ape);
    QCOMPARE(ape->Input(), cdIn);
    QVERIFY(ape->SuspendWhenIdle());
    QCOMPARE(ape->FileMode(), foRewrite);
    QCOMPARE(ape->CompressionLevel(), 2000);
    QCOMPARE(ape->MaxAudioBytes(), -1);

    auto save = child<QFileDialog>(w, "SaveDialog");
    QCOMPARE(save->windowTitle(), "Please input Playlist Filename");
    QCOMPARE(save->nameFilters(), QStringList{"m3u File(*.m3u)"});
    QCOMPARE(save->defaultSuffix(), "m3u");
    QCOMPARE(save->acceptMode(), QFileDialog::AcceptSave);
    QVERIFY(save->testOption(QFileDialog::DontConfirmOverwrite));
}

void tst_MainWindow::trackGridColumns()
{
    Window win = makeWindow();
    auto grid = child<QTableView>(win.w.get(), "CDList");
    QCOMPARE(grid->model()->columnCount(), 7);
    const QStringList headers = {"", "", "#", "Artist", "Title", "Start", "Length"};
    const int widths[] = {18, 20, 30, 90, 120, 100, 100};
    for (int c = 0; c < 7; ++c) {
        QCOMPARE(grid->model()->headerData(c, Qt::Horizontal).toString(), headers.at(c));
        if (c < 4) // the title takes the slack, the times need less than 100
            QCOMPARE(grid->columnWidth(c), widths[c]);
    }
    QCOMPARE(grid->horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    QCOMPARE(grid->model()->rowCount(), 0);
}

void tst_MainWindow::storedSettingsAtShow_data()
{
    QTest::addColumn<QVariantMap>("stored");
    QTest::addColumn<bool>("eject");
    QTest::addColumn<bool>("playlistEnabled");
    QTest::addColumn<QString>("playlist");
    // A stored folder other than the one the field starts with is a change
    // of the field, which stores the same folder back; nothing else is written.
    QTest::addColumn<int>("writes");
    QTest::newRow("first start") << QVariantMap() << false << false << "" << 0;
    QTest::newRow("make list with folder") << QVariantMap{{"Folder", "/srv/music"}, {"MakeList", 1}}
                                           << false << true << "/srv/music/Default.m3u" << 1;
    QTest::newRow("make list off")
        << QVariantMap{{"Folder", "/srv/music"}, {"MakeList", 0}} << false << false << "" << 1;
    QTest::newRow("root folder joined as it stands")
        << QVariantMap{{"Folder", "/"}, {"MakeList", 1}} << false << true << "//Default.m3u" << 1;
    QTest::newRow("eject only") << QVariantMap{{"EjectCD", 1}} << true << false << "" << 0;
    QTest::newRow("both flags, no folder")
        << QVariantMap{{"EjectCD", 1}, {"MakeList", 1}} << true << true
        << SettingsStore::defaultDestFolder() + "/Default.m3u" << 0;
}

void tst_MainWindow::storedSettingsAtShow()
{
    QFETCH(QVariantMap, stored);
    QFETCH(bool, eject);
    QFETCH(bool, playlistEnabled);
    QFETCH(QString, playlist);
    QFETCH(int, writes);
    Window win = makeWindow(stored);
    QVERIFY(win.show(0));
    auto playlistField = child<QLineEdit>(win.w.get(), "edtFilename");
    QCOMPARE(child<QCheckBox>(win.w.get(), "chkEject")->isChecked(), eject);
    QCOMPARE(playlistField->isEnabled(), playlistEnabled);
    QCOMPARE(playlistField->text(), playlist);
    QCOMPARE(child<QLineEdit>(win.w.get(), "edtDestFolder")->text(),
             stored.value("Folder", SettingsStore::defaultDestFolder()).toString());
    // Reading back what is stored writes nothing new, and neither does closing.
    QCOMPARE(win.settings->values, stored);
    QCOMPARE(win.settings->writes, writes);
    win.w->close();
    QCOMPARE(win.settings->writes, writes);
}

void tst_MainWindow::badStoredValueIsReportedAndWindowGoesOn_data()
{
    QTest::addColumn<QVariantMap>("stored");
    QTest::addColumn<QString>("badKey");
    QTest::addColumn<bool>("eject");
    // EjectCD is read and applied first; a bad value ends the reading there.
    QTest::newRow("bad eject") << QVariantMap{{"Folder", "/srv/music"},
                                              {"EjectCD", "sometimes"},
                                              {"MakeList", 1}}
                               << "EjectCD" << false;
    QTest::newRow("bad make list keeps the eject")
        << QVariantMap{{"Folder", "/srv/music"}, {"EjectCD", 1}, {"MakeList", "sometimes"}}
        << "MakeList" << true;
}

void tst_MainWindow::badStoredValueIsReportedAndWindowGoesOn()
{
    QFETCH(QVariantMap, stored);
    QFETCH(QString, badKey);
    QFETCH(bool, eject);
    Window win = makeWindow(stored);
    // The example disc's drive, its rows emptied: showing the window reads them.
    auto devices = child<QComboBox>(win.w.get(), "cmbDevice");
    devices->setCurrentIndex(devices->count() - 2);
    win.w->WMDeviceChange(0x8004);
    QCOMPARE(cells(win.w.get())->rowCount(), 0);
    QString shown;
    onNextModal([&shown](QWidget *modal) {
        auto box = qobject_cast<QMessageBox *>(modal);
        if (box) {
            shown = box->text();
            box->accept();
        }
    });
    win.w->show();
    QVERIFY(QTest::qWaitForWindowExposed(win.w.get()));
    QTRY_VERIFY(!shown.isEmpty());
    QVERIFY2(shown.contains("\"" + badKey + "\""), qPrintable(shown));
    QVERIFY(shown.contains("sometimes"));
    // The rest of the show was skipped, the window lives on; the track list
    // comes before the settings.
    QCOMPARE(child<QCheckBox>(win.w.get(), "chkEject")->isChecked(), eject);
    QVERIFY(!child<QCheckBox>(win.w.get(), "chkmklist")->isChecked());
    QCOMPARE(cells(win.w.get())->rowCount(), 3);
    QVERIFY(win.w->isVisible());
    QCOMPARE(win.settings->values.value(badKey).toString(), "sometimes");
}

void tst_MainWindow::unopenableSettings()
{
    auto storage = std::make_unique<MemorySettingsStorage>();
    storage->openable = false;
    MemorySettingsStorage *raw = storage.get();
    TfrmMain w(std::make_unique<SettingsStore>(std::move(storage)));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(child<QLineEdit>(&w, "edtDestFolder")->text(), QString());
    QVERIFY(!child<QCheckBox>(&w, "chkEject")->isChecked());
    QCOMPARE(raw->writes, 0);
}

void tst_MainWindow::folderPicker()
{
    QTemporaryDir dir;
    Window win = makeWindow({{"Folder", "/srv/music"}});
    QVERIFY(win.show(0));
    auto field = child<QLineEdit>(win.w.get(), "edtDestFolder");
    auto button = child<QToolButton>(win.w.get(), "edtDestFolderButton");
    // Showing the stored folder, which differs from the initial text, stores it once.
    QCOMPARE(win.settings->writes, 1);
    win.settings->writes = 0;

    // Cancel changes nothing.
    QString title;
    onNextModal([&title](QWidget *modal) {
        title = modal->windowTitle();
        qobject_cast<QDialog *>(modal)->reject();
    });
    button->click();
    QCOMPARE(title, "Please select a folder");
    QCOMPARE(field->text(), "/srv/music");
    QCOMPARE(win.settings->writes, 0);

    // A picked folder is shown and stored at once.
    bool foldersOnly = false;
    onNextModal([&](QWidget *modal) {
        auto dialog = qobject_cast<QFileDialog *>(modal);
        foldersOnly = dialog->fileMode() == QFileDialog::Directory
                      && dialog->testOption(QFileDialog::ShowDirsOnly)
                      && !dialog->testOption(QFileDialog::ReadOnly);
        dialog->setDirectory(dir.path());
        static_cast<QDialog *>(dialog)->accept();
    });
    button->click();
    QVERIFY(foldersOnly);
    QCOMPARE(field->text(), dir.path());
    QCOMPARE(win.settings->writes, 1);
    QCOMPARE(win.settings->values.value("Folder").toString(), dir.path());
}

void tst_MainWindow::playlistOption()
{
    Window win = makeWindow({{"Folder", "/srv/music"}});
    QVERIFY(win.show(0));
    auto box = child<QCheckBox>(win.w.get(), "chkmklist");
    auto field = child<QLineEdit>(win.w.get(), "edtFilename");
    box->click();
    QVERIFY(field->isEnabled());
    QCOMPARE(field->text(), "/srv/music/Default.m3u");
    box->click();
    QVERIFY(!field->isEnabled());
    QCOMPARE(field->text(), "/srv/music/Default.m3u");
}

void tst_MainWindow::optionBoxesStoreBothWays_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("otherKey");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("page"); // the page holding it; empty: the panel
    QTest::newRow("eject") << "chkEject"
                           << "EjectCD"
                           << "MakeList"
                           << "Eject CD when finished"
                           << "";
    QTest::newRow("make list") << "chkmklist"
                               << "MakeList"
                               << "EjectCD"
                               << "Make play list file when finished"
                               << "";
    QTest::newRow("AccurateRip") << "chkAccurateRip"
                                 << "VerifyAccurateRip"
                                 << "WriteRipLog"
                                 << "Verify with AccurateRip"
                                 << "tsAdvanced";
    QTest::newRow("rip log") << "chkRipLog"
                             << "WriteRipLog"
                             << "WriteCueSheet"
                             << "Write rip log"
                             << "tsAdvanced";
    QTest::newRow("CUE sheet") << "chkCueSheet"
                               << "WriteCueSheet"
                               << "VerifyAccurateRip"
                               << "Write CUE sheet"
                               << "tsAdvanced";
}

void tst_MainWindow::optionBoxesStoreBothWays()
{
    QFETCH(QString, box);
    QFETCH(QString, key);
    QFETCH(QString, otherKey);
    QFETCH(QString, text);
    QFETCH(QString, page);
    // Shown as stored, which writes nothing.
    Window stored = makeWindow({{key, 1}});
    QVERIFY(stored.show(0));
    QVERIFY(stored.child<QCheckBox>(box)->isChecked());
    QCOMPARE(stored.settings->writes, 0);

    // Off at the first start; each click is stored at once.
    Window win = makeWindow();
    QVERIFY(win.show(0));
    auto check = win.child<QCheckBox>(box);
    QVERIFY(!check->isChecked());
    QCOMPARE(check->text(), text);
    if (!page.isEmpty())
        QVERIFY(win.child<QWidget>(page)->isAncestorOf(check));
    int writes = 0;
    for (bool ticked : {true, false, true}) {
        check->click();
        QCOMPARE(check->isChecked(), ticked);
        QCOMPARE(win.settings->values.value(key), QVariant(int(ticked)));
        QCOMPARE(win.settings->writes, ++writes);
    }
    QVERIFY(!win.settings->values.contains(otherKey));
}

void tst_MainWindow::readOffsetFollowsTheDrive()
{
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    auto devices = child<QComboBox>(w, "cmbDevice");
    const int images = devices->count() - 2;
    const QString example = devices->itemText(images);
    const QString shortDisc = devices->itemText(images + 1);
    win.settings->values.insert("ReadOffsets/" + QUrl::toPercentEncoding(shortDisc), -30);
    devices->setCurrentIndex(images);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    auto offset = child<QSpinBox>(w, "edtReadOffset");
    QCOMPARE(offset->minimum(), -3000);
    QCOMPARE(offset->maximum(), 3000);
    QCOMPARE(offset->value(), 0);

    offset->setValue(667);
    QCOMPARE(win.settings->values.value("ReadOffsets/" + QUrl::toPercentEncoding(example)).toInt(),
             667);
    // The CD input reads each drive with its own offset.
    QCOMPARE(w->core()->CDIn()->ReadOffset(), 667);
    devices->setCurrentIndex(images + 1);
    QCOMPARE(offset->value(), -30);
    QCOMPARE(w->core()->CDIn()->ReadOffset(), -30);
    devices->setCurrentIndex(images);
    QCOMPARE(offset->value(), 667);
    QCOMPARE(w->core()->CDIn()->ReadOffset(), 667);
    QCOMPARE(win.settings->writes, 1);
}

void tst_MainWindow::secondShowIsNoSecondStart()
{
    Window win = makeWindow();
    QVERIFY(win.show(0));
    // Stored meanwhile, by another instance: only the next start reads it.
    win.settings->values.insert("EjectCD", 1);
    win.w->hide();
    win.w->show();
    QVERIFY(QTest::qWaitForWindowExposed(win.w.get()));
    QVERIFY(!child<QCheckBox>(win.w.get(), "chkEject")->isChecked());
    QCOMPARE(win.settings->writes, 0);
    QVERIFY(win.w->close()); // closing is always allowed
}

void tst_MainWindow::windowEndReleasesTheConverter()
{
    Window win = makeWindow();
    auto convert = win.w->findChild<TAudioConvert *>("AudioConvert");
    QVERIFY(convert);
    std::weak_ptr<AudioConvertLib::IAudioConvertLameMp3Encoder> encoder = convert->LameMp3Encoder();
    encoder.lock()->SetMp3Bitrate(320);
    win.w.reset();
    QVERIFY(encoder.expired());
    // So the next start begins from the encoder's own values.
    Window next = makeWindow();
    convert = next.w->findChild<TAudioConvert *>("AudioConvert");
    QVERIFY(convert);
    QCOMPARE(convert->LameMp3Encoder()->Mp3Bitrate(), 128);
}

void tst_MainWindow::sidePanelHotSpot()
{
    Window win = makeWindow();
    QVERIFY(win.show(0));
    auto panel = child<SidePanel>(win.w.get(), "pnlSide");
    QWidget *bar = panel->bar();
    QCOMPARE(bar->width(), 5);
    QCOMPARE(panel->width(), 5 + 303);
    auto list = child<QWidget>(win.w.get(), "PelList");
    const int listWidth = list->width();

    // A click off the hot spot does nothing.
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(2, 2));
    QVERIFY(panel->isPanelShown());
    QTest::mouseClick(bar, Qt::LeftButton, {}, panel->hotSpot().center());
    QVERIFY(!panel->isPanelShown());
    QTRY_VERIFY(list->width() > listWidth);
    QTest::mouseClick(bar, Qt::LeftButton, {}, panel->hotSpot().center());
    QVERIFY(panel->isPanelShown());
}

void tst_MainWindow::drivesAndTracks()
{
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    auto devices = child<QComboBox>(w, "cmbDevice");
    QVERIFY(devices->count() >= 2);
    QCOMPARE(devices->currentIndex(), 0);
    const int images = devices->count() - 2; // real drives come first
    QVERIFY(devices->itemText(images).endsWith("example.cue"));
    QVERIFY(devices->itemText(images + 1).endsWith("short.cue"));
    devices->setCurrentIndex(images);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));

    // 3:20 and 0 frames, 4:05 and 40 frames, 2:00 and 37 frames.
    QCOMPARE(column(w, 2), QStringList({"01", "02", "03"}));
    QCOMPARE(column(w, 5), QStringList({"00:00:02", "00:03:22", "00:07:28"}));
    QCOMPARE(column(w, 6), QStringList({"00:03:20", "00:04:06", "00:02:00"}));
    QCOMPARE(column(w, 3), QStringList({"", "", ""}));
    QCOMPARE(ticks(w), QList<bool>({true, true, true}));
    QCOMPARE(child<QLabel>(w, "spTips")->text(), "3 Tracks Selected");
    QTRY_VERIFY(w->findChild<QAction *>("Actrip")->isEnabled());
    QVERIFY(child<QPushButton>(w, "btnRip")->isEnabled());

    // Another drive, another disc; typed titles do not survive a refill.
    cells(w)->setData(cells(w)->index(0, 4), "Typed");
    devices->setCurrentIndex(images + 1);
    QCOMPARE(column(w, 6), QStringList({"00:00:02", "00:00:01"}));
    QCOMPARE(column(w, 4), QStringList({"", ""}));
    QCOMPARE(child<QLabel>(w, "spTips")->text(), "2 Tracks Selected");
}

void tst_MainWindow::selectionActions()
{
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    QVERIFY(win.show(ExampleDisc));
    auto action = [w](const char *name) { return w->findChild<QAction *>(QLatin1String(name)); };

    cells(w)->setData(cells(w)->index(1, 1), Qt::Unchecked, Qt::CheckStateRole);
    QCOMPARE(child<QLabel>(w, "spTips")->text(), "2 Tracks Selected");
    action("ActInvert")->trigger();
    QCOMPARE(ticks(w), QList<bool>({false, true, false}));
    QCOMPARE(child<QLabel>(w, "spTips")->text(), "1 Tracks Selected");
    action("ActSelnone")->trigger();
    QCOMPARE(ticks(w), QList<bool>({false, false, false}));
    QCOMPARE(child<QLabel>(w, "spTips")->text(), "0 Tracks Selected");
    QVERIFY(!w->AnyTrackTicked());
    QTRY_VERIFY(!action("Actrip")->isEnabled());
    QVERIFY(!child<QPushButton>(w, "btnRip")->isEnabled());
    action("ActSelall")->trigger();
    QCOMPARE(ticks(w), QList<bool>({true, true, true}));
    QTRY_VERIFY(action("Actrip")->isEnabled());
}

void tst_MainWindow::blankKeyIgnored()
{
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    QVERIFY(win.show(ExampleDisc));
    QTableView *list = grid(w);
    list->setFocus();
    list->setCurrentIndex(cells(w)->index(0, 1));
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(ticks(w), QList<bool>({true, true, true}));
    list->setCurrentIndex(cells(w)->index(0, 4));
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(cells(w)->index(0, 4).data().toString(), QString());
    QVERIFY(list->viewport()->findChildren<QLineEdit *>().isEmpty()); // no editor opened
}

void tst_MainWindow::discRemovalAndArrival()
{
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    QVERIFY(win.show(ExampleDisc));
    child<QLineEdit>(w, "edtArtist")->setText("Artist");
    child<QLineEdit>(w, "edtAlbum")->setText("Album");
    child<QComboBox>(w, "edtGenre")->setCurrentIndex(17);
    child<QLineEdit>(w, "edtYear")->setText("1999");
    // The fields are the disc's, where the rip job and the lookup find them.
    const DiscModel *disc = w->core()->disc();
    QCOMPARE(QStringList({disc->artist(), disc->album(), disc->genre(), disc->year()}),
             QStringList({"Artist", "Album", "17 - Rock", "1999"}));

    w->WMDeviceChange(0x0007); // some other notice
    QCOMPARE(cells(w)->rowCount(), 3);
    QCOMPARE(child<QLineEdit>(w, "edtArtist")->text(), "Artist");

    w->WMDeviceChange(0x8004);
    QCOMPARE(cells(w)->rowCount(), 0);
    for (const char *field : {"edtArtist", "edtAlbum", "edtYear"})
        QCOMPARE(child<QLineEdit>(w, field)->text(), QString());
    QCOMPARE(child<QComboBox>(w, "edtGenre")->currentText(), QString());
    QCOMPARE(child<QLabel>(w, "spTips")->text(), "0 Tracks Selected");
    QTRY_VERIFY(!w->findChild<QAction *>("Actrip")->isEnabled());

    w->WMDeviceChange(0x8000);
    QCOMPARE(cells(w)->rowCount(), 3);
    QCOMPARE(ticks(w), QList<bool>({true, true, true}));
}

void tst_MainWindow::columnsStayInSight()
{
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->size(), QSize(754, 573));
    QTableView *list = grid(w);
    // A disc long enough for the vertical scroll bar narrows the viewport.
    for (int rows : {3, 40}) {
        QList<DiscTrack> tracks;
        for (int n = 1; n <= rows; ++n) {
            DiscTrack track;
            track.number = n;
            track.artist = "Artist";
            track.title = "Title";
            track.startSeconds = 2 + 60 * n;
            track.lengthSeconds = 3600 * 10 + 59;
            tracks.append(track);
        }
        w->core()->disc()->setTracks(tracks);
        QTRY_COMPARE(list->verticalScrollBar()->maximum() > 0, rows == 40);
        for (int width : {754, 1000, 1280}) {
            w->resize(width, 573);
            QTRY_COMPARE(list->horizontalHeader()->sectionViewportPosition(6) + list->columnWidth(6),
                         list->viewport()->width());
            QVERIFY(list->horizontalScrollBar()->maximum() == 0);
            for (int c = 0; c < 7; ++c) {
                QVERIFY2(list->columnWidth(c) > 0, qPrintable(QString::number(c)));
                QVERIFY(list->horizontalHeader()->sectionViewportPosition(c) >= 0);
            }
            // Every time fits its column.
            const int time = list->fontMetrics().horizontalAdvance("00:00:00");
            QVERIFY(list->columnWidth(5) > time && list->columnWidth(6) > time);
        }
    }
    // The help texts of the panel, wrapped, each get the height of their lines.
    for (QLabel *l : w->findChildren<QLabel *>()) {
        if (l->isVisible() && l->wordWrap() && l->text().contains('<'))
            QTRY_VERIFY2(l->height() >= l->heightForWidth(l->width()), qPrintable(l->text()));
    }

    // Only a list narrower than the columns need scrolls.
    list->setFixedWidth(250);
    QTRY_VERIFY(list->horizontalScrollBar()->maximum() > 0);
    QCOMPARE(list->columnWidth(4), 120);
}

void tst_MainWindow::actionsNeedRows_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("button");
    QTest::newRow("name preview") << "ActEnumrename"
                                  << "btnEnumrename";
    QTest::newRow("FreeDB") << "ActFreeDB"
                            << "btnFreeDB";
}

void tst_MainWindow::actionsNeedRows()
{
    QFETCH(QString, action);
    QFETCH(QString, button);
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    auto act = win.child<QAction>(action);
    auto press = win.child<QWidget>(button);
    QVERIFY(!act->isEnabled());

    QVERIFY(win.show(ExampleDisc));
    QVERIFY(act->isEnabled());
    QVERIFY(press->isEnabled());
    w->findChild<QAction *>("ActSelnone")->trigger();
    QVERIFY2(act->isEnabled(), "rows, ticked or not, count");
    w->WMDeviceChange(0x8004);
    QVERIFY(!act->isEnabled());
    QVERIFY(!press->isEnabled());
    w->WMDeviceChange(0x8000);
    QVERIFY(act->isEnabled());
    QVERIFY(press->isEnabled());
}

void tst_MainWindow::namePreviewListsTheRipNames_data()
{
    QTest::addColumn<int>("templ");
    QTest::addColumn<int>("format");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("numbers, MP3") << 0 << 0
                                  << QStringList{"track 01.mp3", "track 02.mp3", "track 03.mp3"};
    QTest::newRow("artist and title, FLAC")
        << 1 << 5
        << QStringList{"Band - Intro.flac", "Band - AC_DC  Live .flac", "Guest - Part 1_2.flac"};
    QTest::newRow("folders, Ogg Vorbis") << 4 << 2
                                         << QStringList{"Band/Live/01. Intro.ogg",
                                                        "Band/Live/02. AC_DC  Live .ogg",
                                                        "Guest/Live/03. Part 1_2.ogg"};
    QTest::newRow("album alone, made distinct, APE")
        << 13 << 6 << QStringList{"Live.ape", "Live (2).ape", "Live (3).ape"};
    QTest::newRow("artist and album, made distinct, WAV")
        << 12 << 4 << QStringList{"Band - Live.wav", "Band - Live (2).wav", "Guest - Live.wav"};
}

void tst_MainWindow::namePreviewListsTheRipNames()
{
    QFETCH(int, templ);
    QFETCH(int, format);
    QFETCH(QStringList, names);

    Window win = makeWindow({{"Folder", "/srv/music"}});
    TfrmMain *w = win.w.get();
    QVERIFY(win.show(ExampleDisc));
    const QStringList artists{"Band", "Band", "Guest"};
    const QStringList titles{"Intro", "AC/DC: Live?", "Part 1\\2"};
    for (int row = 0; row < 3; ++row) {
        cells(w)->setData(cells(w)->index(row, 3), artists.at(row));
        cells(w)->setData(cells(w)->index(row, 4), titles.at(row));
    }
    cells(w)->setData(cells(w)->index(1, 1), Qt::Unchecked, Qt::CheckStateRole);
    child<QLineEdit>(w, "edtAlbum")->setText("Live");
    child<QComboBox>(w, "cmbRename")->setCurrentIndex(templ);
    child<QComboBox>(w, "cmbOutformat")->setCurrentIndex(format);

    QStringList lines;
    QString caption;
    onNextModal([&](QWidget *modal) {
        caption = modal->windowTitle();
        lines = child<QPlainTextEdit>(modal, "MemoNames")->toPlainText().split('\n');
        QTest::mouseClick(child<QPushButton>(modal, "btnClose"), Qt::LeftButton);
    });
    QTest::mouseClick(child<QToolButton>(w, "btnEnumrename"), Qt::LeftButton);

    QCOMPARE(caption, "Output Filename");
    for (QString &name : names)
        name.prepend("/srv/music/");
    QCOMPARE(lines, names);
    QVERIFY2(!w->findChild<QDialog *>("frmpreviewInfo"), "the preview lives for one showing");
}

void tst_MainWindow::namesTakeTheDiscFields()
{
    Window win = makeWindow({{"Folder", "/srv/music/"}});
    TfrmMain *w = win.w.get();
    QVERIFY(win.show(ExampleDisc));
    child<QLineEdit>(w, "edtAlbum")->setText("Live");
    child<QLineEdit>(w, "edtYear")->setText("2001");
    auto genre = child<QComboBox>(w, "edtGenre");
    const QString templ = "<genre> <year>\\<album> <artist> <number> <title>.mp3";

    genre->setCurrentIndex(31);
    QCOMPARE(w->BuildOutputFileName(templ, "A", "07", "T"),
             "/srv/music/Trance 2001/Live A 07 T.mp3");
    genre->setEditText("Acid - Jazz"); // typed by hand
    QCOMPARE(w->BuildOutputFileName(templ, "A", "07", "T"), "/srv/music/ 2001/Live A 07 T.mp3");
}

void tst_MainWindow::choose(TfrmMain *w, int format, int entry)
{
    child<QComboBox>(w, "cmbOutformat")->setCurrentIndex(format);
    if (entry >= 0)
        child<QComboBox>(w, "edtQuality")->setCurrentIndex(entry);
}

void tst_MainWindow::useQualityDialog(TfrmMain *w, std::function<void(TfrmQuality &)> act)
{
    bool shown = false;
    onNextModal([&shown, act](QWidget *modal) {
        if (auto *dialog = qobject_cast<TfrmQuality *>(modal)) {
            shown = true;
            act(*dialog);
        }
        // Whatever `act` left open closes, so that the test goes on.
        if (QApplication::activeModalWidget() == modal)
            modal->close();
    });
    w->findChild<QAction *>("ActQuality")->trigger();
    QVERIFY(shown);
}

void tst_MainWindow::catchNextMessage(Message &message)
{
    onNextModal([&message](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            message = {box->windowTitle(), box->text(), box->icon()};
            box->accept();
        }
    });
}

namespace {

QPushButton *dialogButton(TfrmQuality &dialog, const char *name)
{
    return dialog.findChild<QPushButton *>(QLatin1String(name));
}

} // namespace

void tst_MainWindow::qualityAtStart()
{
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    auto quality = child<QComboBox>(w, "edtQuality");
    QCOMPARE(quality->count(), 40);
    QCOMPARE(quality->currentText(), "Near CD-Quality");
    QVERIFY(w->findChild<QAction *>("ActQuality")->isEnabled());
    QVERIFY(child<QToolButton>(w, "btnQuality")->isEnabled());
    QCOMPARE(tips(w), "MPEG-1 Layer III, 44100 Hz, Joint Stereo, CBR 128 kbit/s");
    TAudioConvert *convert = w->core()->AudioConvert();
    QCOMPARE(convert->Mp3FormatDescription(), tips(w));
}

void tst_MainWindow::outputFormats_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("entries");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<bool>("dialog");
    QTest::addColumn<QString>("tips");
    QTest::newRow("Mp3 (Mpeg Layer-3)")
        << 0 << 40 << "Near CD-Quality" << true
        << "MPEG-1 Layer III, 44100 Hz, Joint Stereo, CBR 128 kbit/s";
    QTest::newRow("WMA (Windows Media Audio 9)")
        << 1 << 51 << "WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps" << false
        << "Audio for CD-quality transparency (128 Kbps stereo)";
    QTest::newRow("Ogg (Ogg Vorbis 1.1)")
        << 2 << 22 << "VBR Quality-3 (192 kbit/s)" << true
        << "Ogg Vorbis, 44100 Hz, Stereo, nominal 192 kbit/s, min 192 kbit/s, max 192 kbit/s";
    QTest::newRow("Wav(Standard)") << 3 << 36 << "16-bit Stereo 44,100Hz (CD Quality)" << false
                                   << "PCM WAV, 16 bits, 44100 Hz, Stereo";
    // The ADPCM list starts at 48,000 Hz.
    QTest::newRow("WAV (ADPCM) ") << 4 << 18 << "Stereo 48,000Hz" << false
                                  << "IMA ADPCM WAV, 4 bits, 48000 Hz, Stereo";
    QTest::newRow("FLAC(Free Lossless Audio Codec)")
        << 5 << 9 << "Compression Level 0" << false << QString();
    QTest::newRow("APE(Monkey's Audio)")
        << 6 << 4 << "Normal Compression Level" << false << QString();
    QTest::newRow("Opus (Ogg Opus)")
        << 7 << 6 << "VBR 128 kbit/s" << false << "Opus, 48,000 Hz, Stereo, VBR 128 kbit/s";
}

void tst_MainWindow::outputFormats()
{
    QFETCH(int, format);
    QFETCH(int, entries);
    QFETCH(QString, selected);
    QFETCH(bool, dialog);
    QFETCH(QString, tips);
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    // From a format with the dialog and one without, so that every format
    // must set both the list and the button itself.
    for (int before : {format == 0 ? 2 : 0, format == 5 ? 6 : 5}) {
        choose(w, before, 1);
        choose(w, format);
        auto quality = child<QComboBox>(w, "edtQuality");
        QCOMPARE(quality->count(), entries);
        QCOMPARE(quality->currentText(), selected);
        QCOMPARE(w->findChild<QAction *>("ActQuality")->isEnabled(), dialog);
        QCOMPARE(tst_MainWindow::tips(w), tips);
    }
}

void tst_MainWindow::wmaSendsProfile24()
{
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    choose(w, 1, 0); // profile 1: 8000 Hz mono
    QCOMPARE(tips(w), "Video for dial-up modems or single channel ISDN (28.8 to 56 Kbps)");
    choose(w, 0);
    choose(w, 1);
    // The file shows profile 24: 44100 Hz, stereo, 128 kbit/s.
    QTemporaryDir dir;
    const QString input = dir.filePath("input.wav");
    WaveFixture::writeWave(input, 4410);
    TAudioConvert *convert = w->core()->AudioConvert();
    bool done = false;
    convert->OnConvertBlock = [&done](TAudioConvert *, int32_t percent) { done |= percent == 100; };
    convert->ConvertWaveToWma(input, dir.filePath("out.wma"));
    QTRY_VERIFY_WITH_TIMEOUT(done, 30000);
    convert->OnConvertBlock = nullptr;
    const TestSupport::Probe p = TestSupport::probe(dir.filePath("out.wma"));
    QCOMPARE(p.sampleRate, 44100);
    QCOMPARE(p.channels, 2);
    QVERIFY2(qAbs(p.bitRate - 128000) <= 6400, qPrintable(QString::number(p.bitRate)));
}

void tst_MainWindow::losslessFormatsSetTheirWriters()
{
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    TFLACOut *flac = w->core()->FLACOut();
    TMACOut *mac = w->core()->MACOut();
    QVERIFY(flac && mac);
    choose(w, 5, 8);
    QCOMPARE(flac->CompressionLevel(), 8);
    choose(w, 6, 3);
    QCOMPARE(mac->CompressionLevel(), 4000);
    QCOMPARE(tips(w), QString());
    // Choosing the format again starts from its default entry.
    choose(w, 0);
    choose(w, 6);
    QCOMPARE(mac->CompressionLevel(), 2000);
    choose(w, 5);
    QCOMPARE(flac->CompressionLevel(), 0);
    QCOMPARE(tips(w), QString());
}

void tst_MainWindow::bitrateEntryAfterVbrEntry()
{
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    choose(w, 0, 23); // "VBR-Quality Level 4"
    QCOMPARE(tips(w), "MPEG-1 Layer III, 44100 Hz, Joint Stereo, VBR quality 4");
    choose(w, 0, 7); // "128 kbit/s"
    QCOMPARE(child<QComboBox>(w, "edtQuality")->currentText(), "128 kbit/s");
    QCOMPARE(tips(w), "MPEG-1 Layer III, 44100 Hz, Joint Stereo, CBR 128 kbit/s");
    QCOMPARE(w->core()->Mp3Encoder()->VbrMethod(), -1);
}

void tst_MainWindow::oggQuality10AndTheDialogsOk()
{
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    choose(w, 2, 10); // "VBR Quality-10 (32-48 kbit/s)"
    const QString sent56 = "Ogg Vorbis, 44100 Hz, Stereo, nominal 56 kbit/s, min 56 kbit/s, "
                           "max 56 kbit/s";
    QCOMPARE(tips(w), sent56);
    QString minimum;
    useQualityDialog(w, [&minimum](TfrmQuality &dialog) {
        QCOMPARE(dialog.page(), TfrmQuality::pgOgg);
        minimum = dialog.findChild<QComboBox *>("cmbMinbitarte")->currentText();
        dialogButton(dialog, "btnOK")->click();
    });
    // The lists showed 48, and OK sends what they show.
    QCOMPARE(minimum, "48 kbit");
    QCOMPARE(tips(w),
             "Ogg Vorbis, 44100 Hz, Stereo, nominal 48 kbit/s, min 48 kbit/s, max 48 kbit/s");
    QCOMPARE(w->core()->AudioConvert()->OggVorbisFormatDescription(), tips(w));
}

void tst_MainWindow::dialogShowsZeroForAnUnlistedBitrate()
{
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    for (int entry : {14, 10}) { // "40 kbit/s", "80 kbit/s"
        choose(w, 0, entry);
        QString label;
        int position = -1;
        useQualityDialog(w, [&](TfrmQuality &dialog) {
            QCOMPARE(dialog.page(), TfrmQuality::pgMp3);
            label = dialog.findChild<QLabel *>("lblBitrate")->text();
            position = dialog.findChild<QSlider *>("tkbBitrate")->value();
            dialogButton(dialog, "btnCancel")->click();
        });
        QCOMPARE(label, "Current bitrate: 0 kbit");
        QCOMPARE(position, 9);
    }
}

void tst_MainWindow::monoThenStereoInTheDialog()
{
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    useQualityDialog(w, [](TfrmQuality &dialog) {
        auto channels = dialog.findChild<QComboBox *>("cmbChannel");
        channels->setCurrentText("Mono");
        channels->setCurrentText("Stereo");
        dialogButton(dialog, "btnOK")->click();
    });
    QCOMPARE(w->core()->Mp3Encoder()->Mp3Channels(), 1);
    QCOMPARE(w->core()->Mp3Encoder()->ChannelMode(), 1);
    QCOMPARE(tips(w), "MPEG-1 Layer III, 44100 Hz, Mono, CBR 128 kbit/s");
}

void tst_MainWindow::cancelKeepsWhatTheMp3PageWrote()
{
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    const QString before = tips(w);
    useQualityDialog(w, [](TfrmQuality &dialog) {
        dialog.findChild<QSlider *>("tkbBitrate")->setValue(14);
        dialogButton(dialog, "btnCancel")->click();
    });
    QCOMPARE(w->core()->Mp3Encoder()->Mp3Bitrate(), 320);
    // The converter and the hint wait for the next OK.
    QCOMPARE(w->core()->AudioConvert()->Mp3FormatDescription(), before);
    QCOMPARE(tips(w), before);
    useQualityDialog(w, [](TfrmQuality &dialog) {
        // The quality list's entry was applied again as the dialog opened.
        QCOMPARE(dialog.findChild<QSlider *>("tkbBitrate")->value(), 9);
        dialog.findChild<QSlider *>("tkbBitrate")->setValue(14);
        dialogButton(dialog, "btnOK")->click();
    });
    QCOMPARE(tips(w), "MPEG-1 Layer III, 44100 Hz, Joint Stereo, CBR 320 kbit/s");
}

void tst_MainWindow::altPresetFromTheDialog()
{
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    useQualityDialog(w, [](TfrmQuality &dialog) {
        dialog.findChild<QComboBox *>("cmbAltPresets")->setCurrentText("Extrene");
        dialogButton(dialog, "btnOK")->click();
    });
    QCOMPARE(tips(w), "MPEG-1 Layer III, 44100 Hz, Joint Stereo, VBR quality 0");
    useQualityDialog(w, [](TfrmQuality &dialog) {
        dialog.findChild<QComboBox *>("cmbPresets")->setCurrentText("CD");
        dialogButton(dialog, "btnOK")->click();
    });
    QCOMPARE(tips(w), "MPEG-1 Layer III, 44100 Hz, Joint Stereo, ABR 192 kbit/s");
}

void tst_MainWindow::oggQualityFromTheDialog()
{
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    choose(w, 2, 14); // "192 kbit/s", a fixed bitrate
    useQualityDialog(w, [](TfrmQuality &dialog) {
        auto vbr = dialog.findChild<QCheckBox *>("chkoggVBR");
        dialog.findChild<QCheckBox *>("chkoggQuality")->click();
        QVERIFY(!vbr->isEnabled() && !vbr->isChecked());
        dialog.findChild<QSlider *>("tboggQuality")->setValue(650);
        dialogButton(dialog, "btnOK")->click();
    });
    // Only the quality counts; the hint says so.
    QCOMPARE(tips(w), "Ogg Vorbis, 44100 Hz, Stereo, quality 6.50 (VBR)");
}

void tst_MainWindow::refusedOggDialogSettings()
{
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    choose(w, 2);
    const QString before = tips(w);
    Message message;
    useQualityDialog(w, [&message](TfrmQuality &dialog) {
        // libvorbisenc has no 320 kbit/s at 8000 Hz stereo.
        dialog.findChild<QCheckBox *>("chkoggVBR")->click();
        dialog.findChild<QComboBox *>("cmboggFrequency")->setCurrentText("8000");
        dialog.findChild<QSlider *>("tboggBitrate")->setValue(11);
        catchNextMessage(message);
        dialogButton(dialog, "btnOK")->click();
    });
    QTRY_COMPARE(message.text, "Incorrect OggVorbis settings, Please try again!");
    QCOMPARE(message.title, "Quality Options");
    QCOMPARE(message.icon, QMessageBox::Information);
    QCOMPARE(w->core()->AudioConvert()->OggVorbisFormatDescription(), before);
    QCOMPARE(tips(w), before);
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
