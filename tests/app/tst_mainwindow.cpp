#include "app/discmodel.h"
#include "app/sondrelcore.h"
#include "app/ui/mainwindow.h"
#include "app/ui/sidepanel.h"
#include "convert/audioconvertclient.h"
#include "convert/outputformats.h"
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

#include <QAbstractButton>
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

#include <functional>
#include <map>
#include <optional>

using namespace TestSupport;

class tst_MainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    // The window inventory looks at goes once its rows are done.
    void init()
    {
        if (qstrcmp(QTest::currentTestFunction(), "inventory") != 0)
            m_looked.reset();
    }
    void cleanupTestCase() { m_looked.reset(); }
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
    void outputChoicesStoredAtChange();
    void optionBoxesStoreBothWays_data();
    void optionBoxesStoreBothWays();
    void readOffsetFollowsTheDrive();
    void secondShowIsNoSecondStart();
    void windowEndReleasesTheConverter();
    void sidePanelHotSpot();
    void drivesAndTracks();
    void selectionActions();
    void blankKeyIgnored();
    void enterEndsTypingOnly_data();
    void enterEndsTypingOnly();
    void discRemovalAndArrival();
    void drivesComeAndGo();
    void columnsStayInSight();
    void actionsNeedRows_data();
    void actionsNeedRows();
    void namePreviewListsTheRipNames_data();
    void namePreviewListsTheRipNames();
    void namesTakeTheDiscFields();
    void qualityChoices_data();
    void qualityChoices();

private:
    using Window = WindowRig;
    static Window makeWindow(const QVariantMap &stored = {}) { return Window(stored); }
    static QTableView *grid(TfrmMain *w) { return child<QTableView>(w, "CDList"); }
    static QAbstractItemModel *cells(TfrmMain *w) { return grid(w)->model(); }
    static QStringList column(TfrmMain *w, int c);
    static QList<bool> ticks(TfrmMain *w);
    // The drives every test starts with: the example disc, then the short one.
    static QList<QPair<QString, DiscGen::DiscSpec>> standardDiscs();
    // The drives of the three-track example disc and the two-track short one.
    static constexpr int ExampleDisc = -2;
    static constexpr int ShortDisc = -1;

    TestHome m_home;
    std::optional<Window> m_looked; // the window inventory looks at
};

void tst_MainWindow::initTestCase()
{
    // The disc images stand in for CD drives, after any real one.
    QVERIFY(m_home.isValid());
    installDiscs(m_home.filePath("discs"), standardDiscs());
}

QList<QPair<QString, DiscGen::DiscSpec>> tst_MainWindow::standardDiscs()
{
    return {{"example", audioDisc({(3 * 60 + 20) * 75, (4 * 60 + 5) * 75 + 40, 2 * 60 * 75 + 37})},
            {"short", audioDisc({150, 75})}};
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
        {"btnDetectOffset", "QPushButton"},
        {"chkTestCopy", "QCheckBox"},
        {"chkReread", "QCheckBox"},
        {"edtRereadLimit", "QSpinBox"},
        {"chkGoOn", "QCheckBox"},
        {"chkDetectGaps", "QCheckBox"},
        {"chkHiddenAudio", "QCheckBox"},
        {"cmbCueLayout", "QComboBox"},
        {"chkEncodeWhileReading", "QCheckBox"},
        {"edtParallelConversions", "QSpinBox"},
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
    // One window for every row: looking does not change it.
    if (!m_looked)
        m_looked.emplace(makeWindow());
    QObject *found = m_looked->w->findChild<QObject *>(name);
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
    // What the writers' settings make of a rip is tst_ripjob's everyFormat.
    for (const char *name : {"FLACOut", "WaveOut", "MACOut"}) {
        auto writer = w->findChild<TPcmFileOut *>(QLatin1String(name));
        QVERIFY2(writer, name);
        QCOMPARE(writer->Input(), cdIn);
        QVERIFY(writer->SuspendWhenIdle());
        QCOMPARE(writer->FileMode(), foRewrite);
    }

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
    QTest::addColumn<QString>("playlist"); // empty: the field is off
    // A stored folder other than the one the field starts with is a change
    // of the field, which stores the same folder back; nothing else is written.
    QTest::addColumn<int>("writes");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("templ");
    const QString first = "track <number>";
    const auto row = [&first](const char *name,
                              const QVariantMap &stored,
                              bool eject,
                              const QString &playlist,
                              int writes,
                              int format = 0,
                              int entry = 0,
                              const QString &templ = QString()) {
        QTest::newRow(name) << stored << eject << playlist << writes << format << entry
                            << (templ.isEmpty() ? first : templ);
    };
    // clang-format off
    row("first start", {}, false, "", 0);
    row("make list with folder", {{"Folder", "/srv/music"}, {"MakeList", 1}}, false, "/srv/music/Default.m3u", 1);
    row("make list off", {{"Folder", "/srv/music"}, {"MakeList", 0}}, false, "", 1);
    row("root folder joined as it stands", {{"Folder", "/"}, {"MakeList", 1}}, false, "//Default.m3u", 1);
    row("eject only", {{"EjectCD", 1}}, true, "", 0);
    row("both flags, no folder", {{"EjectCD", 1}, {"MakeList", 1}}, true,
        SettingsStore::defaultDestFolder() + "/Default.m3u", 0);
    // MP3 opens on its first entry, Ogg Vorbis on its fourth.
    row("output choices as stored", {{"OutputFormat", 2}, {"QualityEntry", 5},
        {"FilenameTemplate", "<artist> - <title>"}}, false, "", 0, 2, 5, "<artist> - <title>");
    row("entry of the first format", {{"QualityEntry", 4}}, false, "", 0, 0, 4);
    // Values no list holds leave the defaults.
    row("format out of range, its entry unused", {{"OutputFormat", 99}, {"QualityEntry", 4}}, false, "", 0);
    row("negative format", {{"OutputFormat", -1}}, false, "", 0);
    row("entry out of range", {{"OutputFormat", 2}, {"QualityEntry", 999}}, false, "", 0, 2, 3);
    row("not numbers", {{"OutputFormat", "ogg"}, {"QualityEntry", "best"}}, false, "", 0);
    row("unknown template", {{"FilenameTemplate", "<disc>"}}, false, "", 0);
    // clang-format on
}

void tst_MainWindow::storedSettingsAtShow()
{
    QFETCH(QVariantMap, stored);
    QFETCH(bool, eject);
    QFETCH(QString, playlist);
    QFETCH(int, writes);
    QFETCH(int, format);
    QFETCH(int, entry);
    QFETCH(QString, templ);
    Window win = makeWindow(stored);
    QVERIFY(win.show(0));
    auto playlistField = win.child<QLineEdit>("edtFilename");
    QCOMPARE(win.child<QCheckBox>("chkEject")->isChecked(), eject);
    QCOMPARE(playlistField->isEnabled(), !playlist.isEmpty());
    QCOMPARE(playlistField->text(), playlist);
    QCOMPARE(win.child<QLineEdit>("edtDestFolder")->text(),
             stored.value("Folder", SettingsStore::defaultDestFolder()).toString());
    QCOMPARE(win.child<QComboBox>("cmbOutformat")->currentIndex(), format);
    QCOMPARE(win.child<QComboBox>("edtQuality")->currentIndex(), entry);
    QCOMPARE(win.child<QComboBox>("cmbRename")->currentText(), templ);
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
    // This run's music folder, where the picker opens when the shown folder is gone.
    const QString music = m_home.filePath("Music");
    QVERIFY(QDir().mkpath(music));
    QFile userDirs(m_home.filePath("config/user-dirs.dirs"));
    QVERIFY(userDirs.open(QIODevice::WriteOnly));
    userDirs.write("XDG_MUSIC_DIR=\"" + QFile::encodeName(music) + "\"\n");
    userDirs.close();
    const auto forget = qScopeGuard([&userDirs] { userDirs.remove(); });
    QCOMPARE(SettingsStore::defaultDestFolder(), music);
    Window win = makeWindow({{"Folder", "/srv/music"}});
    QVERIFY(win.show(0));
    auto field = child<QLineEdit>(win.w.get(), "edtDestFolder");
    auto button = child<QToolButton>(win.w.get(), "edtDestFolderButton");
    // Showing the stored folder, which differs from the initial text, stores it once.
    QCOMPARE(win.settings->writes, 1);
    win.settings->writes = 0;

    // Cancel changes nothing.
    QString title;
    QString openedAt;
    const auto cancel = [&title, &openedAt](QWidget *modal) {
        title = modal->windowTitle();
        openedAt = qobject_cast<QFileDialog *>(modal)->directory().absolutePath();
        qobject_cast<QDialog *>(modal)->reject();
    };
    onNextModal(cancel);
    button->click();
    QCOMPARE(title, "Please select a folder");
    QCOMPARE(openedAt, music);
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
    // The next opening starts at the folder shown now.
    onNextModal(cancel);
    button->click();
    QCOMPARE(openedAt, dir.path());
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

    // Until the user names a file, the playlist follows the output folder.
    auto folder = child<QLineEdit>(win.w.get(), "edtDestFolder");
    folder->setText("/srv/other");
    QCOMPARE(field->text(), "/srv/other/Default.m3u");
    box->click();
    QTemporaryDir dir;
    const QString named = dir.filePath("mine.m3u");
    onNextModal([&named](QWidget *modal) {
        // Typed into the dialog's name field, as a user names the file.
        modal->findChild<QLineEdit *>("fileNameEdit")->setText(named);
        static_cast<QDialog *>(qobject_cast<QFileDialog *>(modal))->accept();
    });
    child<QToolButton>(win.w.get(), "edtFilenameButton")->click();
    QCOMPARE(field->text(), named);
    folder->setText("/srv/third");
    QCOMPARE(field->text(), named);
}

void tst_MainWindow::outputChoicesStoredAtChange()
{
    Window win = makeWindow();
    QVERIFY(win.show(0));
    // A new format comes with its default entry, which is stored with it.
    win.child<QComboBox>("cmbOutformat")->setCurrentIndex(2);
    QCOMPARE(win.settings->values.value("OutputFormat"), QVariant(2));
    QCOMPARE(win.settings->values.value("QualityEntry"), QVariant(3));
    QCOMPARE(win.settings->writes, 2);
    win.child<QComboBox>("edtQuality")->setCurrentIndex(5);
    QCOMPARE(win.settings->values.value("QualityEntry"), QVariant(5));
    win.child<QComboBox>("cmbRename")->setCurrentIndex(11);
    QCOMPARE(win.settings->values.value("FilenameTemplate"), QVariant("<title>"));
    QCOMPARE(win.settings->writes, 4);
    QCOMPARE(win.child<QComboBox>("cmbCueLayout")->currentText(),
             "gaps appended to the previous track");
    win.child<QComboBox>("cmbCueLayout")->setCurrentIndex(2);
    QCOMPARE(win.settings->values.value("CueLayout"), QVariant(2));
    QCOMPARE(win.settings->writes, 5);

    // The next start sends the stored quality on, as the choice did.
    Window next = makeWindow(win.settings->values);
    QVERIFY(next.show(0));
    QCOMPARE(next.child<QComboBox>("edtQuality")->currentText(),
             win.child<QComboBox>("edtQuality")->currentText());
    QCOMPARE(next.child<QLabel>("lblTips")->text(), win.child<QLabel>("lblTips")->text());
    QCOMPARE(next.child<QComboBox>("cmbRename")->currentText(), "<title>");
    QCOMPARE(next.child<QComboBox>("cmbCueLayout")->currentIndex(), 2);
}

void tst_MainWindow::optionBoxesStoreBothWays_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("otherKey");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("page"); // the page holding it; empty: the panel
    QTest::addColumn<bool>("onAtFirst");
    const char *const rows[][6] = {
        {"eject", "chkEject", "EjectCD", "MakeList", "Eject CD when finished", ""},
        {"make list", "chkmklist", "MakeList", "EjectCD", "Make play list file when finished", ""},
        {"AccurateRip",
         "chkAccurateRip",
         "VerifyAccurateRip",
         "WriteRipLog",
         "Verify with AccurateRip",
         "tsAdvanced"},
        {"rip log", "chkRipLog", "WriteRipLog", "WriteCueSheet", "Write rip log", "tsAdvanced"},
        {"CUE sheet",
         "chkCueSheet",
         "WriteCueSheet",
         "VerifyAccurateRip",
         "Write CUE sheet",
         "tsAdvanced"},
        {"test & copy",
         "chkTestCopy",
         "TestAndCopy",
         "GoOnAfterFailure",
         "Test && copy (read each track twice)",
         "tsAdvanced"},
        {"go on",
         "chkGoOn",
         "GoOnAfterFailure",
         "TestAndCopy",
         "Go on after a failed track",
         "tsAdvanced"},
        {"detect gaps", "chkDetectGaps", "DetectGaps", "RipHiddenAudio", "Detect gaps", "tsAdvanced"},
        {"hidden audio",
         "chkHiddenAudio",
         "RipHiddenAudio",
         "DetectGaps",
         "Rip hidden audio before track 1",
         "tsAdvanced"},
    };
    for (const auto &r : rows)
        QTest::newRow(r[0]) << r[1] << r[2] << r[3] << r[4] << r[5] << false;
    QTest::newRow("MusicBrainz ids") << "chkMusicBrainzIds"
                                     << "WriteMusicBrainzIds"
                                     << "FillFromCdText"
                                     << "Write MusicBrainz identifiers"
                                     << "tsAdvanced" << true;
    QTest::newRow("CD-Text") << "chkCdText"
                             << "FillFromCdText"
                             << "WriteMusicBrainzIds"
                             << "Fill in CD-Text when a disc arrives"
                             << "tsAdvanced" << true;
}

void tst_MainWindow::optionBoxesStoreBothWays()
{
    QFETCH(QString, box);
    QFETCH(QString, key);
    QFETCH(QString, otherKey);
    QFETCH(QString, text);
    QFETCH(QString, page);
    QFETCH(bool, onAtFirst);
    // Shown as stored, which writes nothing.
    Window stored = makeWindow({{key, onAtFirst ? 0 : 1}});
    QVERIFY(stored.show(0));
    QCOMPARE(stored.child<QCheckBox>(box)->isChecked(), !onAtFirst);
    QCOMPARE(stored.settings->writes, 0);

    // As at the first start; each click is stored at once.
    Window win = makeWindow();
    QVERIFY(win.show(0));
    auto check = win.child<QCheckBox>(box);
    QCOMPARE(check->isChecked(), onAtFirst);
    QCOMPARE(check->text(), text);
    if (!page.isEmpty())
        QVERIFY(win.child<QWidget>(page)->isAncestorOf(check));
    int writes = 0;
    for (bool ticked : {!onAtFirst, onAtFirst, !onAtFirst}) {
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

void tst_MainWindow::enterEndsTypingOnly_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("rips");
    QTest::newRow("artist box") << "edtArtist" << false;
    QTest::newRow("genre box") << "edtGenre" << false;
    QTest::newRow("grid") << "CDList" << false;
    QTest::newRow("title cell being edited") << "editor" << false;
    QTest::newRow("speed list, no typing") << "cmbSpeed" << true;
}

void tst_MainWindow::enterEndsTypingOnly()
{
    QFETCH(QString, field);
    QFETCH(bool, rips);
    QTemporaryDir out;
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    QVERIFY(win.show(ShortDisc));
    win.prepareRip(out.path(), 3);
    const QModelIndex title = cells(w)->index(0, 4);
    QWidget *target = field == "editor" ? grid(w) : win.child<QWidget>(field);
    grid(w)->setCurrentIndex(title);
    if (field == "editor") {
        grid(w)->edit(title);
        target = grid(w)->viewport()->findChild<QLineEdit *>();
        QVERIFY(target);
        QTest::keyClicks(target, "Intro");
    }
    target->setFocus();
    QTest::keyClick(target->focusProxy() ? target->focusProxy() : target, Qt::Key_Return);
    QCOMPARE(w->progressWindow() != nullptr, rips);
    if (rips)
        QVERIFY(win.waitEnded());
    if (field == "editor")
        QTRY_COMPARE(title.data().toString(), "Intro");
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

void tst_MainWindow::drivesComeAndGo()
{
    const QString discs = m_home.filePath("discs");
    const auto restore = qScopeGuard([&discs] { installDiscs(discs, standardDiscs()); });
    const QPair<QString, DiscGen::DiscSpec> extra{"extra", audioDisc({75})};
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    QVERIFY(win.show(ShortDisc));
    auto devices = child<QComboBox>(w, "cmbDevice");
    const int images = devices->count() - 2;
    const QString shortDrive = devices->currentText();

    // A drive plugged in is listed; the chosen one stays chosen.
    installDiscs(discs, standardDiscs() << extra);
    w->WMDeviceChange(0x8000);
    QCOMPARE(devices->count(), images + 3);
    const QString extraDrive = devices->itemText(images + 2);
    QVERIFY(extraDrive.endsWith("extra.cue"));
    QCOMPARE(devices->currentText(), shortDrive);
    QCOMPARE(cells(w)->rowCount(), 2);

    // One before it unplugged: the chosen one moves up and stays chosen.
    installDiscs(discs, {standardDiscs().at(1), extra});
    w->WMDeviceChange(0x8004);
    QCOMPARE(devices->count(), images + 2);
    QCOMPARE(devices->currentIndex(), images);
    QCOMPARE(devices->currentText(), shortDrive);

    // The chosen one unplugged: the first drive is chosen, with its own offset.
    installDiscs(discs, {extra});
    const QString firstDrive = images > 0 ? devices->itemText(0) : extraDrive;
    win.settings->values.insert("ReadOffsets/" + QUrl::toPercentEncoding(firstDrive), 48);
    w->WMDeviceChange(0x8004);
    QCOMPARE(devices->count(), images + 1);
    QCOMPARE(devices->currentText(), firstDrive);
    QCOMPARE(child<QSpinBox>(w, "edtReadOffset")->value(), 48);
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
    QCOMPARE(w->BuildOutputFileName(templ, "A", "07", "T"),
             "/srv/music/Acid - Jazz 2001/Live A 07 T.mp3");
    genre->setEditText("17 - Rock"); // typed as a list item spells it
    QCOMPARE(w->BuildOutputFileName(templ, "A", "07", "T"), "/srv/music/Rock 2001/Live A 07 T.mp3");
}

namespace {

// Works one control of `parent` as a step of qualityChoices_data says;
// false, with a warning, when there is no such control or list entry.
bool workControl(QObject *parent, const QString &step)
{
    const QString value = step.section(u'=', 1);
    QObject *control = child<QObject>(parent, step.section(u'=', 0, 0));
    if (auto list = qobject_cast<QComboBox *>(control)) {
        const int entry = list->findText(value, Qt::MatchStartsWith | Qt::MatchCaseSensitive);
        if (entry < 0)
            qWarning("no entry %s", qPrintable(step));
        list->setCurrentIndex(entry);
        return entry >= 0;
    }
    if (auto bar = qobject_cast<QSlider *>(control))
        bar->setValue(value.toInt());
    else if (auto button = qobject_cast<QAbstractButton *>(control))
        button->click();
    return control != nullptr;
}

// "name=value" for what a control of the quality dialog shows; "page" is its page.
QString shownBy(TfrmQuality &dialog, const QString &name)
{
    QObject *control = name == QLatin1String("page") ? nullptr : child<QObject>(&dialog, name);
    QString value = QString::number(dialog.page());
    if (auto list = qobject_cast<QComboBox *>(control))
        value = list->currentText();
    else if (auto bar = qobject_cast<QSlider *>(control))
        value = QString::number(bar->value());
    else if (auto label = qobject_cast<QLabel *>(control))
        value = label->text();
    return name + u'=' + value;
}

// The rate, channels and bitrate of what the converter's WMA settings make.
QString wmaFile(TAudioConvert &convert)
{
    QTemporaryDir dir;
    WaveFixture::writeWave(dir.filePath("input.wav"), 4410);
    bool done = false;
    convert.OnConvertBlock = [&done](TAudioConvert *, int32_t percent) { done |= percent == 100; };
    convert.ConvertWaveToWma(dir.filePath("input.wav"), dir.filePath("out.wma"));
    const bool ended = QTest::qWaitFor([&done] { return done; }, 30000);
    convert.OnConvertBlock = nullptr;
    const Probe p = probe(dir.filePath("out.wma"));
    // The encoder lands within a few percent of the profile's bitrate.
    return ended ? QString("%1 Hz %2 ch %3 kbit/s")
                       .arg(p.sampleRate)
                       .arg(p.channels)
                       .arg(qRound(p.bitRate / 16000.0) * 16)
                 : QString("no file");
}

// "name=value" for what the encoder, the converter or a writer holds.
QString held(const SondrelCore &core, const QString &name)
{
    const AudioConvertLib::IAudioConvertLameMp3Encoder &encoder = *core.Mp3Encoder();
    const std::map<QString, std::function<QString()>>
        getters{{"Mp3Bitrate", [&] { return QString::number(encoder.Mp3Bitrate()); }},
                {"Mp3Channels", [&] { return QString::number(encoder.Mp3Channels()); }},
                {"ChannelMode", [&] { return QString::number(encoder.ChannelMode()); }},
                {"FlacLevel", [&] { return QString::number(core.FLACOut()->CompressionLevel()); }},
                {"CompressionLevel",
                 [&] { return QString::number(core.MACOut()->CompressionLevel()); }},
                {"wma", [&] { return wmaFile(*core.AudioConvert()); }}};
    const auto getter = getters.find(name);
    return name + u'=' + (getter == getters.end() ? QString("?") : getter->second());
}

// Works the steps of a qualityChoices row. What the quality dialog showed of
// the controls `shown` names as it last opened, any message box after it and
// any step that failed, as "name=value".
QStringList work(TfrmMain *w, const QStringList &steps, const QStringList &shown)
{
    QStringList opening;
    QStringList after;
    for (int at = 0; at < steps.size(); ++at) {
        if (steps.at(at) != QLatin1String("ActQuality")) {
            if (!workControl(w, steps.at(at)))
                after << "failed=" + steps.at(at);
            continue;
        }
        // The dialog's steps run while it is shown, up to the one that closes it.
        int last = at + 1;
        while (last + 1 < steps.size() && steps.at(last) != "btnOK" && steps.at(last) != "btnCancel")
            ++last;
        const QStringList inDialog = steps.mid(at + 1, last - at);
        at = last;
        bool opened = false;
        // Bound to this opening, so that nothing is left to catch a later modal.
        QTimer watch;
        watch.setInterval(20);
        QObject::connect(&watch, &QTimer::timeout, &watch, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto box = qobject_cast<QMessageBox *>(modal)) {
                after << QString("message=%1: %2%3")
                             .arg(box->windowTitle(), box->text())
                             .arg(box->icon() == QMessageBox::Information ? ""
                                                                          : " (no information)");
                box->accept();
            }
            auto dialog = qobject_cast<TfrmQuality *>(modal);
            if (!dialog || opened)
                return;
            opened = true;
            opening.clear();
            for (const QString &item : shown)
                if (!item.startsWith("message="))
                    opening << shownBy(*dialog, item.section(u'=', 0, 0));
            for (const QString &step : inDialog)
                if (!workControl(dialog, step))
                    after << "failed=" + step;
            // Whatever the steps left open closes, so that the test goes on.
            if (dialog->isVisible()) {
                after << "left open";
                dialog->close();
            }
        });
        watch.start();
        w->findChild<QAction *>("ActQuality")->trigger();
        if (!opened)
            after << "no dialog";
    }
    return opening + after;
}

} // namespace

// Each row works the window's controls by objectName, as a user does, one
// step after the other: "name=value" chooses the first entry of a list that
// starts with value or moves a track bar, a bare name clicks a box or button.
// "ActQuality" opens the quality dialog, whose controls the next steps work,
// up to its btnOK or btnCancel. Then the quality list, the "..." action and
// the hint show what they should, the converter's own description of the
// format's settings is the hint, and the encoder, the converter and the
// writers hold what `holds` says.
void tst_MainWindow::qualityChoices_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("entries");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<bool>("dialog");
    QTest::addColumn<QString>("tips");
    QTest::addColumn<QString>("holds");
    QTest::addColumn<QString>("shown");
    struct Row
    {
        const char *name;
        QString steps; // separated by " > "
        int entries;
        QString selected;
        bool dialog;
        QString tips;
        QString holds; // "name=value", separated by "; "
        QString shown; // the same for the dialog as it last opened, and a message box after it
    };
    const QString cbr = "MPEG-1 Layer III, 44100 Hz, Joint Stereo, CBR %1 kbit/s";
    const QString vorbis = "Ogg Vorbis, 44100 Hz, Stereo, nominal %1 kbit/s, min %1 kbit/s, "
                           "max %1 kbit/s";
    const QString wma = "WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps";
    const QString wmaTips = "Audio for CD-quality transparency (128 Kbps stereo)";
    const QString mp3 = "Near CD-Quality";
    const QString lossless = "cmbOutformat=FLAC > edtQuality=Compression Level 8 > "
                             "cmbOutformat=APE > edtQuality=Extra High";
    // clang-format off
    const Row rows[] = {
        // A format chosen: its list on its default entry. Each comes from a
        // format whose "..." action and hint differ.
        {"Mp3 at start", "", 40, mp3, true, cbr.arg(128), "", ""},
        {"WMA after Ogg", "cmbOutformat=Ogg > cmbOutformat=WMA", 51, wma, false, wmaTips, "", ""},
        {"Ogg after APE", "cmbOutformat=APE > cmbOutformat=Ogg", 22, "VBR Quality-3 (192 kbit/s)",
         true, vorbis.arg(192), "", ""},
        {"WAV after Mp3", "cmbOutformat=Wav", 36, "16-bit Stereo 44,100Hz (CD Quality)", false,
         "PCM WAV, 16 bits, 44100 Hz, Stereo", "", ""},
        // The ADPCM list starts at 48,000 Hz.
        {"Opus after Mp3", "cmbOutformat=Opus", 6, "VBR 128 kbit/s", false,
         "Opus, 48,000 Hz, Stereo, VBR 128 kbit/s", "", ""},
        {"ADPCM after Ogg", "cmbOutformat=Ogg > cmbOutformat=WAV (ADPCM)", 18, "Stereo 48,000Hz",
         false, "IMA ADPCM WAV, 4 bits, 48000 Hz, Stereo", "", ""},
        // Entries, and formats chosen again, which start from their default.
        {"FLAC and APE entries", lossless, 4, "Extra High Compression Level", false, "",
         "CompressionLevel=4000; FlacLevel=8", ""},
        {"FLAC and APE again",
         lossless + " > cmbOutformat=FLAC > cmbOutformat=Mp3 > cmbOutformat=APE", 4,
         "Normal Compression Level", false, "", "CompressionLevel=2000; FlacLevel=0", ""},
        // Profile 1 is 8000 Hz mono; the default, profile 24, reaches the file.
        {"WMA again",
         "cmbOutformat=WMA > edtQuality=WMA 8,000 > cmbOutformat=Mp3 > cmbOutformat=WMA", 51,
         wma, false, wmaTips, "wma=44100 Hz 2 ch 128 kbit/s", ""},
        // The dialog opens on the entry's page with the entry applied again;
        // OK hands what it shows to the converter, Cancel nothing.
        {"mp3 page, mono then stereo, OK",
         "ActQuality > cmbChannel=Mono > cmbChannel=Stereo > btnOK", 40, mp3, true,
         "MPEG-1 Layer III, 44100 Hz, Mono, CBR 128 kbit/s",
         "ChannelMode=1; Mp3Channels=1", "page=0"},
        {"mp3 page, Cancel", "ActQuality > tkbBitrate=14 > btnCancel", 40, mp3, true, cbr.arg(128),
         "Mp3Bitrate=320", ""},
        {"mp3 page after Cancel",
         "ActQuality > tkbBitrate=14 > btnCancel > ActQuality > tkbBitrate=14 > btnOK", 40, mp3,
         true, cbr.arg(320), "", "tkbBitrate=9"},
        {"mp3 page, 40 kbit/s off the track bar", "edtQuality=40 kbit/s > ActQuality > btnCancel",
         40, "40 kbit/s", true, cbr.arg(40), "",
         "page=0; lblBitrate=Current bitrate: 0 kbit; tkbBitrate=9"},
        {"mp3 page, alt preset", "ActQuality > cmbAltPresets=Extrene > btnOK", 40, mp3, true,
         "MPEG-1 Layer III, 44100 Hz, Joint Stereo, VBR quality 0", "", ""},
        // The entry sends 56, but the lists show 48, and OK sends those.
        {"ogg page, OK", "cmbOutformat=Ogg > edtQuality=VBR Quality-10 > ActQuality > btnOK", 22,
         "VBR Quality-10 (32-48 kbit/s)", true, vorbis.arg(48), "",
         "page=2; cmbMinbitarte=48 kbit"},
        {"ogg page, quality",
         "cmbOutformat=Ogg > edtQuality=192 kbit/s > ActQuality > chkoggQuality > "
         "tboggQuality=650 > btnOK", 22, "192 kbit/s", true,
         "Ogg Vorbis, 44100 Hz, Stereo, quality 6.50 (VBR)", "", ""},
        // libvorbisenc has no 320 kbit/s at 8000 Hz stereo.
        {"ogg page, refused", "cmbOutformat=Ogg > ActQuality > chkoggVBR > cmboggFrequency=8000 > "
         "tboggBitrate=11 > btnOK", 22, "VBR Quality-3 (192 kbit/s)", true, vorbis.arg(192), "",
         "message=Quality Options: Incorrect OggVorbis settings, Please try again!"},
    };
    // clang-format on
    for (const Row &r : rows)
        QTest::newRow(r.name) << r.steps << r.entries << r.selected << r.dialog << r.tips << r.holds
                              << r.shown;
}

void tst_MainWindow::qualityChoices()
{
    QFETCH(QString, steps);
    QFETCH(int, entries);
    QFETCH(QString, selected);
    QFETCH(bool, dialog);
    QFETCH(QString, tips);
    QFETCH(QString, holds);
    QFETCH(QString, shown);
    Window win = makeWindow();
    TfrmMain *w = win.w.get();
    const QStringList expected = shown.split("; ", Qt::SkipEmptyParts);
    QCOMPARE(work(w, steps.split(" > ", Qt::SkipEmptyParts), expected), expected);

    auto quality = child<QComboBox>(w, "edtQuality");
    QCOMPARE(quality->count(), entries);
    QCOMPARE(quality->currentText(), selected);
    QCOMPARE(w->findChild<QAction *>("ActQuality")->isEnabled(), dialog);
    QCOMPARE(child<QToolButton>(w, "btnQuality")->isEnabled(), dialog);
    QCOMPARE(child<QLabel>(w, "lblTips")->text(), tips);
    // The hint says what is in force: neither Cancel nor a refusal sent anything.
    using Description = QString (TAudioConvert::*)();
    const std::map<int, Description>
        descriptions{{OutputFormats::Mp3, &TAudioConvert::Mp3FormatDescription},
                     {OutputFormats::OggVorbis, &TAudioConvert::OggVorbisFormatDescription},
                     {OutputFormats::Wave, &TAudioConvert::WaveFormatDescription},
                     {OutputFormats::Adpcm, &TAudioConvert::AdpcmFormatDescription}};
    const auto description = descriptions.find(child<QComboBox>(w, "cmbOutformat")->currentIndex());
    if (description != descriptions.end())
        QCOMPARE((win.core().AudioConvert()->*description->second)(), tips);
    QStringList actual;
    for (const QString &item : holds.split("; ", Qt::SkipEmptyParts))
        actual << held(win.core(), item.section(u'=', 0, 0));
    QCOMPARE(actual, holds.split("; ", Qt::SkipEmptyParts));
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
