#include "app/discmodel.h"
#include "app/sondrelcore.h"
#include "app/ui/mainwindow.h"
#include "convert/audioconvertclient.h"
#include "job/playlist.h"
#include "job/ripjob.h"
#include "job/ui/progresswindow.h"
#include "pipeline/cdinput.h"
#include "pipeline/flacwriter.h"
#include "pipeline/macwriter.h"
#include "pipeline/wavewriter.h"
#include "pipeline/writerevents.h"
#include "tests/support/discdrive.h"
#include "tests/support/disclayouts.h"
#include "tests/support/mediaprobe.h"
#include "tests/support/memorysettings.h"
#include "tests/support/testsupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <cmath>
#include <unistd.h>

using namespace TestSupport;

// Rips through the real main window: generated discs stand in for the CD,
// Rip is pressed as a user presses it, and what lands on disk is read back
// with flac, ffmpeg and TagLib.
class tst_RipJob : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void everyFormat_data();
    void everyFormat();
    void oneMp3Track();
    void threeFlacTracksIntoFolders();
    void speedListReachesTheDrive();
    void playlistAndEject();
    void cancel_data();
    void cancel();
    void readErrorStallsUntilCancel();
    void conversionErrorStallsUntilCancel();
    void missingTemporaryFileIsReported();
    void lateConvertBlockAfterCancelIsIgnored();
    void noJobWithoutTracksOrFolder();
    void closingTheProgramCancels_data();
    void closingTheProgramCancels();

private:
    // A window over a generated disc, shown, with every track ticked, the
    // output going into out and the eject recorded instead of done.
    struct Rig
    {
        std::unique_ptr<TfrmMain> w;
        DiscGen::WrittenDisc disc;
        QString out;
        QStringList events; // "eject", in the order things happened
        TRipJob *job() const { return w->ripJob(); }
        SondrelCore &core() const { return *w->core(); }
    };
    std::unique_ptr<Rig> rig(const DiscGen::DiscSpec &plan, int format, int templ = 0);

    template<typename T>
    static T *child(QObject *w, const char *name)
    {
        T *c = w->findChild<T *>(QLatin1String(name));
        if (!c)
            qWarning("no %s", name);
        return c;
    }
    static void pressRip(Rig &r) { child<QPushButton>(r.w.get(), "btnRip")->click(); }
    static TfrmProgress *progress(Rig &r) { return r.w->progressWindow(); }
    static QStringList memo(Rig &r);
    static bool waitEnded(Rig &r, int ms = 120000);
    static QString trackPath(Rig &r, int track, const QString &ext);
    // Temporary WAV files (and their reserved names) left in the temporary folder.
    QStringList leftovers() const;
    // The job's state of the ended window: Cancel off, Exit on.
    static void checkEndedButtons(Rig &r);

    QTemporaryDir m_home;
    QString m_tmp;
    int m_discs = 0;
};

void tst_RipJob::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath("config")));
    // The job's temporary files go here, where a leftover shows.
    m_tmp = m_home.filePath("tmp");
    QVERIFY(QDir().mkpath(m_tmp));
    qputenv("TMPDIR", QFile::encodeName(m_tmp));
    QCOMPARE(QDir::tempPath(), m_tmp);
}

void tst_RipJob::cleanup()
{
    QCOMPARE(leftovers(), QStringList());
}

QStringList tst_RipJob::leftovers() const
{
    return QDir(m_tmp).entryList({"tem*.wav", "tem*.tmp"}, QDir::Files);
}

std::unique_ptr<tst_RipJob::Rig> tst_RipJob::rig(const DiscGen::DiscSpec &plan,
                                                 int format,
                                                 int templ)
{
    auto r = std::make_unique<Rig>();
    r->disc = installDisc(m_home.filePath(QString("disc%1").arg(++m_discs)), plan);
    r->out = m_home.filePath(QString("out%1").arg(m_discs));
    auto storage = std::make_unique<MemorySettingsStorage>();
    r->w = std::make_unique<TfrmMain>(std::make_unique<SettingsStore>(std::move(storage)));
    TfrmMain *w = r->w.get();
    auto devices = child<QComboBox>(w, "cmbDevice");
    devices->setCurrentIndex(devices->count() - 1);
    w->show();
    if (!QTest::qWaitForWindowExposed(w))
        qWarning("window not shown");
    child<QLineEdit>(w, "edtDestFolder")->setText(r->out);
    child<QComboBox>(w, "cmbRename")->setCurrentIndex(templ);
    child<QComboBox>(w, "cmbOutformat")->setCurrentIndex(format);
    Rig *raw = r.get();
    r->job()->EjectDisc = [raw](int) { raw->events << "eject"; };
    return r;
}

QStringList tst_RipJob::memo(Rig &r)
{
    TfrmProgress *p = progress(r);
    return p ? child<QPlainTextEdit>(p, "MemoInfo")->toPlainText().split('\n') : QStringList();
}

bool tst_RipJob::waitEnded(Rig &r, int ms)
{
    return QTest::qWaitFor([&r] { return !r.job()->Running(); }, ms);
}

QString tst_RipJob::trackPath(Rig &r, int track, const QString &ext)
{
    return r.out + QString("/track %1").arg(track, 2, 10, QChar('0')) + ext;
}

void tst_RipJob::checkEndedButtons(Rig &r)
{
    QVERIFY(progress(r));
    QVERIFY(!child<QPushButton>(progress(r), "btnCancel")->isEnabled());
    QVERIFY(child<QPushButton>(progress(r), "btnExit")->isEnabled());
}

namespace {

// Frames (stereo sample pairs) of 16-bit PCM.
int framesOf(const QByteArray &pcm)
{
    return int(pcm.size() / 4);
}

// The largest and the root-mean-square difference between two runs of
// 16-bit samples, over the shorter one.
struct Difference
{
    int largest = 0;
    double rms = 0;
};

Difference differenceOf(const QByteArray &a, const QByteArray &b)
{
    const auto *x = reinterpret_cast<const int16_t *>(a.constData());
    const auto *y = reinterpret_cast<const int16_t *>(b.constData());
    const qsizetype n = std::min(a.size(), b.size()) / 2;
    Difference d;
    double sum = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const int e = std::abs(int(x[i]) - int(y[i]));
        d.largest = std::max(d.largest, e);
        sum += double(e) * e;
    }
    d.rms = n ? std::sqrt(sum / double(n)) : 0;
    return d;
}

QString tagText(const TagLib::String &s)
{
    return QString::fromStdString(s.to8Bit(true));
}

} // namespace

void tst_RipJob::everyFormat_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("ext");
    QTest::newRow("MP3") << 0 << ".mp3";
    QTest::newRow("WMA") << 1 << ".wma";
    QTest::newRow("Ogg Vorbis") << 2 << ".ogg";
    QTest::newRow("WAV") << 3 << ".wav";
    QTest::newRow("WAV ADPCM") << 4 << ".wav";
    QTest::newRow("FLAC") << 5 << ".flac";
    QTest::newRow("APE") << 6 << ".ape";
}

void tst_RipJob::everyFormat()
{
    QFETCH(int, format);
    QFETCH(QString, ext);
    auto r = rig(audioDisc({150, 113}), format);
    TfrmMain *w = r->w.get();
    child<QLineEdit>(w, "edtArtist")->setText("Åsa Ørn");
    child<QLineEdit>(w, "edtAlbum")->setText("Café Noir");
    child<QLineEdit>(w, "edtYear")->setText("1999");
    auto genre = child<QComboBox>(w, "edtGenre");
    genre->setCurrentIndex(17);
    r->core().disc()->setTrackArtist(0, "Åsa Ørn");
    r->core().disc()->setTrackTitle(0, "Första");
    r->core().disc()->setTrackArtist(1, "Åsa Ørn");
    r->core().disc()->setTrackTitle(1, "Andra");
    if (format == 4) // "Stereo 44,100Hz": compared sample for sample
        child<QComboBox>(w, "edtQuality")->setCurrentIndex(1);
    pressRip(*r);
    QVERIFY(waitEnded(*r));
    QCOMPARE(memo(*r).constLast(), "Completed!");
    const QStringList files = {trackPath(*r, 1, ext), trackPath(*r, 2, ext)};
    QCOMPARE(r->job()->PlaylistEntries, files);

    for (int t = 0; t < 2; ++t) {
        const QByteArray pcm = readFile(QString::fromStdString(r->disc.trackFiles[size_t(t)]));
        const QString file = files[t];
        const QByteArray decoded = ffmpegDecode(file);
        QVERIFY2(!decoded.isEmpty(), qPrintable(file));
        QCOMPARE(probe(file).channels, 2);
        if (format == 3 || format >= 5) {
            // Lossless: the disc's samples exactly.
            QVERIFY2(decoded == pcm, qPrintable(file));
            if (format == 5)
                QCOMPARE(run("flac", {"-t", "-s", file}).exitCode, 0);
        } else if (format == 4) {
            // IMA ADPCM keeps 4 bits a sample: sample for sample the tones
            // come back within 1/16 of full scale while the step size
            // adapts, and within 1/200 of it on average.
            // ffmpeg decodes the last block whole, padding included.
            QVERIFY(framesOf(decoded) >= framesOf(pcm));
            QVERIFY(framesOf(decoded) - framesOf(pcm) < 2048);
            const Difference error = differenceOf(decoded, pcm);
            QVERIFY2(error.largest <= 2048, qPrintable(QString::number(error.largest)));
            QVERIFY2(error.rms <= 160, qPrintable(QString::number(error.rms)));
        } else {
            // Lossy: the track's length within an encoder frame or two.
            QVERIFY2(std::abs(framesOf(decoded) - framesOf(pcm)) <= 2048,
                     qPrintable(QString("%1 vs %2").arg(framesOf(decoded)).arg(framesOf(pcm))));
            const TagLib::FileRef ref(QFile::encodeName(file).constData());
            QVERIFY(!ref.isNull() && ref.tag());
            QCOMPARE(tagText(ref.tag()->title()), t == 0 ? "Första" : "Andra");
            QCOMPARE(tagText(ref.tag()->artist()), "Åsa Ørn");
            QCOMPARE(tagText(ref.tag()->album()), "Café Noir");
            QCOMPARE(ref.tag()->year(), 1999u);
            QCOMPARE(ref.tag()->track(), unsigned(t + 1));
            QCOMPARE(tagText(ref.tag()->genre()), "Rock");
        }
    }
}

void tst_RipJob::oneMp3Track()
{
    auto r = rig(audioDisc({150, 75}), 0);
    TfrmMain *w = r->w.get();
    r->core().disc()->setTicked(1, false);
    child<QCheckBox>(w, "chkmklist")->click();
    pressRip(*r);
    TfrmProgress *first = progress(*r);
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QVERIFY(!w->isEnabled());
    QCOMPARE(first->windowTitle(), "Progress");
    QCOMPARE(first->size(), QSize(513, 306));
    QVERIFY(
        !(first->windowFlags()
          & (Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint | Qt::WindowSystemMenuHint)));
    QVERIFY((first->frameGeometry().center() - w->frameGeometry().center()).manhattanLength() <= 2);
    QCOMPARE(child<QGroupBox>(first, "GroupBox")->title(), "Track 1 of 1 (Track 1)");
    QVERIFY(!child<QPushButton>(first, "btnExit")->isEnabled());
    QVERIFY(waitEnded(*r));

    const QString file = trackPath(*r, 1, ".mp3");
    QCOMPARE(memo(*r),
             QStringList({"Initialization...",
                          "Extracting Track 1...",
                          "Create file: " + file,
                          "Completed!"}));
    QCOMPARE(child<QProgressBar>(first, "pbTotal")->value(), 100);
    checkEndedButtons(*r);
    QCOMPARE(r->job()->PlaylistEntries, QStringList{file});
    QCOMPARE(readFile(r->out + "/Default.m3u"), file.toUtf8() + "\r\n");

    // Exit gives the main window back; the next job has a window of its own.
    child<QPushButton>(first, "btnExit")->click();
    QVERIFY(w->isEnabled());
    QTRY_VERIFY(!progress(*r));
    pressRip(*r);
    TfrmProgress *second = progress(*r);
    QVERIFY(second);
    QCOMPARE(child<QProgressBar>(second, "pbTotal")->value(), 0);
    QCOMPARE(memo(*r).constFirst(), "Initialization...");
    QVERIFY(waitEnded(*r));
    child<QPushButton>(second, "btnExit")->click();
}

void tst_RipJob::threeFlacTracksIntoFolders()
{
    // "<artist>\<album>\<number>. <title>": the writer's folders are made first.
    auto r = rig(audioDisc({100, 90, 80}), 5, 4);
    TfrmMain *w = r->w.get();
    child<QLineEdit>(w, "edtAlbum")->setText("Live");
    for (int row = 0; row < 3; ++row)
        r->core().disc()->setTrackArtist(row, "Band");
    pressRip(*r);
    QList<int> totals;
    connect(child<QProgressBar>(progress(*r), "pbTotal"),
            &QProgressBar::valueChanged,
            this,
            [&totals](int value) { totals << value; });
    QVERIFY(waitEnded(*r));
    QCOMPARE(totals, QList<int>({33, 66, 100}));
    QStringList expected;
    QStringList lines = {"Initialization..."};
    for (int t = 1; t <= 3; ++t) {
        const QString file = r->out + QString("/Band/Live/%1. .flac").arg(t, 2, 10, QChar('0'));
        expected << file;
        lines << QString("Extracting Track %1...").arg(t) << "Create file: " + file;
        QCOMPARE(ffmpegDecode(file),
                 readFile(QString::fromStdString(r->disc.trackFiles[size_t(t - 1)])));
    }
    lines << "Completed!";
    QCOMPARE(memo(*r), lines);
    QCOMPARE(r->job()->PlaylistEntries, expected);
    QCOMPARE(child<QGroupBox>(progress(*r), "GroupBox")->title(), "Track 3 of 3 (Track 3)");
    checkEndedButtons(*r);
}

void tst_RipJob::speedListReachesTheDrive()
{
    auto r = rig(audioDisc({80}), 5);
    TfrmMain *w = r->w.get();
    auto speed = child<QComboBox>(w, "cmbSpeed");
    const int drive = child<QComboBox>(w, "cmbDevice")->currentIndex();
    QList<QPair<int, int>> asked;
    bool take = true;
    r->core().setSpeedControl([&](int d, int s) {
        asked.append({d, s});
        return take;
    });
    auto ripOnce = [&] {
        pressRip(*r);
        if (!waitEnded(*r))
            return QStringList{"the job did not end"};
        const QStringList lines = memo(*r);
        child<QPushButton>(progress(*r), "btnExit")->click();
        return lines;
    };
    // "Default" leaves the drive alone.
    QCOMPARE(ripOnce().last(), "Completed!");
    QVERIFY(asked.isEmpty());
    speed->setCurrentText("8X");
    QStringList lines = ripOnce();
    QCOMPARE(asked, (QList<QPair<int, int>>{{drive, 8}}));
    QVERIFY(!lines.join('\n').contains("speed"));
    // A drive that refuses keeps its speed; the job says so once and rips on.
    take = false;
    speed->setCurrentText("Maximum");
    lines = ripOnce();
    QCOMPARE(asked.last(), (QPair<int, int>{drive, 0}));
    QCOMPARE(lines.filter("did not take the speed \"Maximum\"").size(), 1);
    QCOMPARE(lines.last(), "Completed!");
}

void tst_RipJob::playlistAndEject()
{
    auto r = rig(audioDisc({80, 70}), 5);
    TfrmMain *w = r->w.get();
    const QString list = r->out + "/lists/rip.m3u";
    QVERIFY(QDir().mkpath(r->out + "/lists"));
    const QByteArray older = "an older playlist\r\n";
    QVERIFY(DiscLayouts::writeText(list, older));
    child<QCheckBox>(w, "chkEject")->click();
    child<QCheckBox>(w, "chkmklist")->click();
    child<QLineEdit>(w, "edtFilename")->setText(list);
    r->job()->EjectDisc = [&r, &list](int drive) {
        // The eject comes first: the playlist is still the old one.
        r->events << QString("eject %1, playlist %2").arg(drive).arg(readFile(list).size());
    };
    pressRip(*r);
    QVERIFY(waitEnded(*r));
    const int drive = child<QComboBox>(w, "cmbDevice")->currentIndex();
    QCOMPARE(r->events, QStringList{QString("eject %1, playlist %2").arg(drive).arg(older.size())});
    QCOMPARE(readFile(list),
             (trackPath(*r, 1, ".flac") + "\r\n" + trackPath(*r, 2, ".flac") + "\r\n").toUtf8());
}

void tst_RipJob::cancel_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("count"); // tracks reported as extracted
    QTest::newRow("reading track 2 of 3") << "Reading" << 0 << 1;
    QTest::newRow("between copy and conversion") << "Waiting-A" << 3 << 0;
    QTest::newRow("converting track 1") << "Converting" << 0 << 0;
    QTest::newRow("writing FLAC track 2 of 3") << "Writing" << 5 << 1;
    QTest::newRow("writing APE track 2 of 3") << "Writing" << 6 << 1;
    QTest::newRow("between FLAC tracks") << "Waiting-B" << 5 << 0;
}

void tst_RipJob::cancel()
{
    QFETCH(QString, state);
    QFETCH(int, format);
    QFETCH(int, count);
    // The second track is long enough to be caught while it is read.
    auto r = rig(audioDisc({150, 75 * 150, 100}), format);
    TfrmMain *w = r->w.get();
    child<QCheckBox>(w, "chkEject")->click();
    child<QCheckBox>(w, "chkmklist")->click();
    if (state == "Converting")
        r->core().disc()->setTicked(0, false); // the long track first
    TRipJob *job = r->job();
    auto pressCancel = [&r] { child<QPushButton>(progress(*r), "btnCancel")->click(); };
    QString cancelledStage;
    QString cancelledTemp;
    const bool writerDone = state == "Waiting-A" || state == "Waiting-B";
    const TPcmOutput *writer = format == 5   ? static_cast<TPcmOutput *>(r->core().FLACOut())
                               : format == 6 ? static_cast<TPcmOutput *>(r->core().MACOut())
                                             : r->core().WaveOut();
    if (writerDone) {
        // Right after the first track's copy, before the timer's stage.
        connect(r->core().eventsOf(writer), &WriterEvents::done, this, [&] {
            if (!cancelledStage.isEmpty())
                return;
            cancelledStage = QString("timer %1")
                                 .arg(format == 3
                                          ? r->w->findChild<QTimer *>("Timer")->isActive()
                                          : r->w->findChild<QTimer *>("TimeRip")->isActive());
            cancelledTemp = job->TempWavFile();
            pressCancel();
        });
    }
    pressRip(*r);
    QPlainTextEdit *log = child<QPlainTextEdit>(progress(*r), "MemoInfo");
    connect(log, &QPlainTextEdit::textChanged, this, [&] {
        if (writerDone || !cancelledStage.isEmpty())
            return;
        const QString last = log->toPlainText().section('\n', -1);
        const bool now = state == "Converting" ? last.startsWith("Create file: ")
                                               : last == "Extracting Track 2...";
        if (now) {
            cancelledStage = "armed";
            QTimer::singleShot(0, this, [&] {
                cancelledStage = QString("stage %1").arg(job->JobStage());
                cancelledTemp = job->TempWavFile();
                pressCancel();
            });
        }
    });
    QVERIFY(waitEnded(*r));
    if (writerDone)
        QCOMPARE(cancelledStage, QString("timer 1"));
    else
        QCOMPARE(cancelledStage,
                 QString("stage %1")
                     .arg(state == "Converting" ? TRipJob::jsConverting : TRipJob::jsWriting));
    // Whatever was still on its way arrives, and changes nothing.
    QTest::qWait(600);
    const QStringList lines = memo(*r);
    QCOMPARE(lines.mid(lines.size() - 2),
             QStringList({"Cancelled.",
                          QString("Done. %1 track(s) were successfully extracted.").arg(count)}));
    QVERIFY(!lines.contains("Completed!"));
    if (state == "Waiting-A")
        QVERIFY(!lines.join('\n').contains("Create file: "));
    checkEndedButtons(*r);
    const QString ext = QStringList(
        {".mp3", ".wma", ".ogg", ".wav", ".wav", ".flac", ".ape"})[format];
    const int cancelledTrack = state == "Converting" ? 2 : count + 1;
    QVERIFY2(!QFile::exists(trackPath(*r, cancelledTrack, ext)), "partial file kept");
    QVERIFY(!QFile::exists(trackPath(*r, 3, ext)));
    if (count == 1) {
        QVERIFY(QFile::exists(trackPath(*r, 1, ext)));
        if (format >= 5)
            QCOMPARE(ffmpegDecode(trackPath(*r, 1, ext)),
                     readFile(QString::fromStdString(r->disc.trackFiles[0])));
    }
    if (!cancelledTemp.isEmpty())
        QVERIFY(!QFile::exists(cancelledTemp));
    QCOMPARE(r->events, QStringList());
    QVERIFY(!QFile::exists(r->out + "/Default.m3u"));
    // Exit gives the window back.
    child<QPushButton>(progress(*r), "btnExit")->click();
    QVERIFY(w->isEnabled());
}

void tst_RipJob::readErrorStallsUntilCancel()
{
    auto r = rig(audioDisc({300, 200}), 0);
    // The disc goes unreadable after its table of contents was shown.
    QCOMPARE(::truncate(r->disc.binPath.c_str(), 0), 0);
    pressRip(*r);
    const QString message = "Error: The drive is not ready";
    QTRY_COMPARE(memo(*r).constLast(), message);
    QTest::qWait(600);
    QCOMPARE(memo(*r), QStringList({"Initialization...", "Extracting Track 1...", message}));
    QVERIFY(r->job()->Running());
    QVERIFY(child<QPushButton>(progress(*r), "btnCancel")->isEnabled());
    QVERIFY(!child<QPushButton>(progress(*r), "btnExit")->isEnabled());
    // The stalled job's window stays until the job has ended.
    progress(*r)->close();
    QVERIFY(progress(*r) && progress(*r)->isVisible());
    child<QPushButton>(progress(*r), "btnCancel")->click();
    QCOMPARE(memo(*r).mid(3),
             QStringList({"Cancelled.", "Done. 0 track(s) were successfully extracted."}));
    checkEndedButtons(*r);
}

void tst_RipJob::conversionErrorStallsUntilCancel()
{
    // The output folder cannot be made: a file stands where it should be.
    auto r = rig(audioDisc({100}), 0);
    QVERIFY(DiscLayouts::writeText(r->out, "not a folder"));
    pressRip(*r);
    const QString message = "Error: "
                            + TRipJob::ConvertErrorText(AudioConvertLib::acErrOutputNotCreatable);
    QTRY_COMPARE_WITH_TIMEOUT(memo(*r).constLast(), message, 60000);
    QTest::qWait(400);
    QCOMPARE(memo(*r).constLast(), message);
    QVERIFY(r->job()->Running());
    const QString temp = r->job()->TempWavFile();
    QVERIFY(QFile::exists(temp));
    child<QPushButton>(progress(*r), "btnCancel")->click();
    QVERIFY(!QFile::exists(temp));
    QCOMPARE(memo(*r).constLast(), "Done. 0 track(s) were successfully extracted.");

    // The lossless route reports its writer's failure the same way.
    auto b = rig(audioDisc({100}), 5);
    QVERIFY(DiscLayouts::writeText(b->out, "not a folder"));
    pressRip(*b);
    QTRY_VERIFY(memo(*b).constLast().startsWith("Error: "));
    child<QPushButton>(progress(*b), "btnCancel")->click();
    checkEndedButtons(*b);
}

void tst_RipJob::missingTemporaryFileIsReported()
{
    auto r = rig(audioDisc({100}), 0);
    // Gone between the copy and the conversion.
    connect(r->core().eventsOf(r->core().WaveOut()), &WriterEvents::done, this, [&r] {
        QFile::remove(r->job()->TempWavFile());
    });
    pressRip(*r);
    QTRY_VERIFY(memo(*r).constLast().startsWith("Error: "));
    const QString temp = r->job()->TempWavFile();
    QCOMPARE(memo(*r).constLast(),
             "Error: The temporary file " + temp + " is missing; the track cannot be converted.");
    QVERIFY(r->job()->Running());
    child<QPushButton>(progress(*r), "btnCancel")->click();
    checkEndedButtons(*r);
}

void tst_RipJob::lateConvertBlockAfterCancelIsIgnored()
{
    auto r = rig(audioDisc({75 * 120}), 0);
    child<QCheckBox>(r->w.get(), "chkmklist")->click();
    TAudioConvert *convert = r->core().AudioConvert();
    bool late = false;
    QPlainTextEdit *log = nullptr;
    pressRip(*r);
    log = child<QPlainTextEdit>(progress(*r), "MemoInfo");
    connect(log, &QPlainTextEdit::textChanged, this, [&] {
        if (late || !log->toPlainText().section('\n', -1).startsWith("Create file: "))
            return;
        late = true;
        QTimer::singleShot(0, this, [&] {
            child<QPushButton>(progress(*r), "btnCancel")->click();
            // The component's last word, after all.
            convert->OnConvertBlock(convert, 100);
        });
    });
    QVERIFY(waitEnded(*r));
    QTest::qWait(300);
    QVERIFY(late);
    QVERIFY(!memo(*r).contains("Completed!"));
    QCOMPARE(r->job()->JobQueue().size(), 1);
    QCOMPARE(r->job()->PlaylistEntries, QStringList());
    QVERIFY(!QFile::exists(r->out + "/Default.m3u"));
    QVERIFY(!QFile::exists(trackPath(*r, 1, ".mp3")));
}

void tst_RipJob::noJobWithoutTracksOrFolder()
{
    auto r = rig(audioDisc({100}), 0);
    // An empty output folder would put the files at the root: the rip is
    // refused with the reason.
    child<QLineEdit>(r->w.get(), "edtDestFolder")->clear();
    QString told;
    QTimer boxes;
    connect(&boxes, &QTimer::timeout, this, [&told] {
        if (auto box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            told = box->text();
            box->accept();
        }
    });
    boxes.start(20);
    pressRip(*r);
    QVERIFY(!told.isEmpty());
    QVERIFY(!progress(*r));
    QVERIFY(r->w->isEnabled());

    r->core().DiscRemoved();
    QAction *rip = r->w->findChild<QAction *>("Actrip");
    rip->setEnabled(true);
    rip->trigger();
    QVERIFY(!progress(*r));
    QVERIFY(r->w->isEnabled());
    QVERIFY(!r->job()->Running());
}

void tst_RipJob::closingTheProgramCancels_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("when");
    QTest::newRow("reading for MP3") << 0 << "Extracting Track 1...";
    QTest::newRow("converting to MP3") << 0 << "Create file: ";
    QTest::newRow("writing FLAC") << 5 << "Create file: ";
    QTest::newRow("writing APE") << 6 << "Create file: ";
}

void tst_RipJob::closingTheProgramCancels()
{
    QFETCH(int, format);
    QFETCH(QString, when);
    auto r = rig(audioDisc({75 * 150}), format);
    pressRip(*r);
    QPlainTextEdit *log = child<QPlainTextEdit>(progress(*r), "MemoInfo");
    bool closed = false;
    QString temp;
    auto closeWhenDue = [&] {
        if (closed || !log->toPlainText().section('\n', -1).startsWith(when))
            return;
        closed = true;
        QTimer::singleShot(0, this, [&] {
            temp = r->job()->TempWavFile();
            QVERIFY(r->w->close());
        });
    };
    connect(log, &QPlainTextEdit::textChanged, this, closeWhenDue);
    closeWhenDue();
    QTRY_VERIFY_WITH_TIMEOUT(closed && !r->w->isVisible(), 60000);
    QVERIFY(!r->job()->Running());
    QTRY_VERIFY(!progress(*r));
    const QString ext = QStringList({".mp3", "", "", "", "", ".flac", ".ape"})[format];
    QVERIFY(!QFile::exists(trackPath(*r, 1, ext)));
    if (!temp.isEmpty())
        QVERIFY(!QFile::exists(temp));
    r->w.reset();
}

QTEST_MAIN(tst_RipJob)
#include "tst_ripjob.moc"
