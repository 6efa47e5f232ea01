#include "app/discmodel.h"
#include "app/sondrelcore.h"
#include "convert/audioconvertclient.h"
#include "convert/converterrors.h"
#include "job/ripjob.h"
#include "job/ui/progresswindow.h"
#include "pipeline/wavewriter.h"
#include "tests/support/discdrive.h"
#include "tests/support/disclayouts.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/testsupport.h"
#include "tests/support/windowrig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <optional>

using namespace TestSupport;

// Rips with "Encode while reading the next track" through the real window:
// the same files as one track at a time, the playlist in row order whatever
// order the tracks finish in, nothing left behind by a cancel, and failures
// that stall or skip as they do one track at a time.
class tst_OverlappedRip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void sameFilesAsOneAtATime_data();
    void sameFilesAsOneAtATime();
    void playlistInRowOrder();
    void cancelLeavesNothing();
    void failureWhileOthersRun_data();
    void failureWhileOthersRun();

private:
    struct Rig : WindowRig
    {
        QString out;
        QStringList events;
    };
    // A disc of tracks of these lengths in seconds.
    std::unique_ptr<Rig> rig(std::initializer_list<uint32_t> seconds,
                             int format,
                             bool overlap = true);
    static TfrmProgress *progress(Rig &r) { return r.w->progressWindow(); }
    static QString trackPath(const QString &folder, int track, const QString &ext)
    {
        return folder + QString("/track %1").arg(track, 2, 10, QChar('0')) + ext;
    }
    static QStringList tempWavs(const TestHome &home)
    {
        return QDir(home.tempPath()).entryList({"tem*"}, QDir::Files);
    }

    TestHome m_home;
    int m_rigs = 0;
};

void tst_OverlappedRip::cleanup()
{
    QCOMPARE(m_home.leftovers(), QStringList());
}

std::unique_ptr<tst_OverlappedRip::Rig> tst_OverlappedRip::rig(
    std::initializer_list<uint32_t> seconds, int format, bool overlap)
{
    DiscGen::DiscSpec plan = audioDisc({});
    for (const uint32_t s : seconds) {
        DiscGen::TrackSpec track;
        track.frames = s * 75;
        plan.tracks.push_back(track);
    }
    m_home.installDisc(plan);
    auto r = std::make_unique<Rig>();
    r->out = m_home.filePath(QString("out%1").arg(++m_rigs));
    if (!r->show())
        qWarning("window not shown");
    r->prepareRip(r->out, format, 0, overlap);
    r->child<QSpinBox>("edtParallelConversions")->setValue(2);
    Rig *raw = r.get();
    r->job()->EjectDisc = [raw](int) { raw->events << "eject"; };
    return r;
}

void tst_OverlappedRip::sameFilesAsOneAtATime_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("ext");
    QTest::newRow("MP3") << 0 << ".mp3";
    QTest::newRow("Ogg Vorbis") << 2 << ".ogg";
    QTest::newRow("FLAC") << 5 << ".flac";
    QTest::newRow("APE") << 6 << ".ape";
    QTest::newRow("Opus") << 7 << ".opus";
    QTest::newRow("WMA") << 1 << ".wma";
}

void tst_OverlappedRip::sameFilesAsOneAtATime()
{
    QFETCH(int, format);
    QFETCH(QString, ext);
    auto r = rig({6, 2, 4}, format, false);
    r->child<QLineEdit>("edtArtist")->setText("Åsa Ørn");
    r->child<QLineEdit>("edtAlbum")->setText("Кофе");
    r->child<QLineEdit>("edtYear")->setText("1999");
    for (int row = 0; row < 3; ++row)
        r->core().disc()->setTrackTitle(row, QString("Title %1").arg(row + 1));
    const QStringList serial = r->ripAll();
    QCOMPARE(serial.constLast(), "Completed!");
    child<QPushButton>(progress(*r), "btnExit")->click();

    const QString one = r->out;
    r->out = m_home.filePath(QString("out%1").arg(++m_rigs));
    r->prepareRip(r->out, format, 0, true);
    const QStringList overlapped = r->ripAll();
    QCOMPARE(overlapped.constLast(), "Completed!");
    // The same lines; those of one track keep their order.
    QStringList same = overlapped;
    same.replaceInStrings(r->out, one);
    same.sort();
    QStringList expected = serial;
    expected.sort();
    QCOMPARE(same, expected);
    for (int t = 1; t <= 3; ++t) {
        const QString file = trackPath(r->out, t, ext);
        const QStringList own = {QString("Extracting Track %1...").arg(t),
                                 QString("Track %1: read cleanly").arg(t),
                                 "Create file: " + file};
        QList<qsizetype> at;
        for (const QString &line : own)
            at << overlapped.indexOf(line);
        QVERIFY2(!at.contains(-1), qPrintable(overlapped.join('\n')));
        QVERIFY2(at[0] < at[1] && (format >= 5 || at[1] < at[2]), qPrintable(overlapped.join('\n')));
        QCOMPARE(r->job()->PlaylistEntries.value(t - 1), file);
        const QByteArray bytes = readFile(file);
        QVERIFY(!bytes.isEmpty());
        QVERIFY2(bytes == readFile(trackPath(one, t, ext)), qPrintable(file));
    }
}

void tst_OverlappedRip::playlistInRowOrder()
{
    // The long first track is still converted when the short ones are done.
    auto r = rig({40, 2, 2}, 0);
    r->child<QCheckBox>("chkmklist")->click();
    r->child<QCheckBox>("chkEject")->click();
    r->child<QCheckBox>("chkRipLog")->click();
    const QStringList lines = r->ripAll();
    QCOMPARE(lines.constLast(), "Completed!");
    QStringList files;
    for (int t = 1; t <= 3; ++t)
        files << trackPath(r->out, t, ".mp3");
    QVERIFY2(QFileInfo(files[0]).lastModified() > QFileInfo(files[2]).lastModified(),
             "the tracks finished in row order");
    QCOMPARE(r->job()->PlaylistEntries, files);
    QCOMPARE(readFile(r->out + "/Default.m3u"), (files.join("\r\n") + "\r\n").toUtf8());
    QCOMPARE(r->events, QStringList{"eject"});
    // The log lists the tracks in row order too.
    const QByteArray log = readFile(r->out + "/rip.log");
    QVERIFY(log.indexOf("track 01.mp3") >= 0);
    QVERIFY(log.indexOf("track 01.mp3") < log.indexOf("track 02.mp3"));
    QVERIFY(log.indexOf("track 02.mp3") < log.indexOf("track 03.mp3"));
}

void tst_OverlappedRip::cancelLeavesNothing()
{
    // Two conversions run while the third track is read.
    auto r = rig({50, 50, 100}, 0);
    r->child<QCheckBox>("chkmklist")->click();
    r->child<QPushButton>("btnRip")->click();
    QPlainTextEdit *log = child<QPlainTextEdit>(progress(*r), "MemoInfo");
    bool armed = false;
    QStringList atCancel;
    qint64 cancelMs = -1;
    connect(log, &QPlainTextEdit::textChanged, this, [&] {
        if (armed || log->toPlainText().section('\n', -1) != "Extracting Track 3...")
            return;
        armed = true;
        QTimer::singleShot(0, this, [&] {
            atCancel = tempWavs(m_home);
            QElapsedTimer clock;
            clock.start();
            child<QPushButton>(progress(*r), "btnCancel")->click();
            cancelMs = clock.elapsed();
        });
    });
    QVERIFY(r->waitEnded());
    // Track 3's WAV, and those of the two tracks under conversion.
    QCOMPARE(atCancel.size(), 3);
    QVERIFY2(cancelMs >= 0 && cancelMs < 1000, qPrintable(QString::number(cancelMs)));
    const QStringList lines = r->memo();
    QCOMPARE(lines.mid(lines.size() - 2),
             QStringList({"Cancelled.", "Done. 0 track(s) were successfully extracted."}));
    // The read stops at its next chunk, and then nothing is left.
    QTRY_VERIFY_WITH_TIMEOUT(!r->core().WaveOut()->IsBusy(), 1000);
    QTRY_COMPARE_WITH_TIMEOUT(tempWavs(m_home), QStringList(), 1000);
    QCOMPARE(QDir(r->out).entryList(QDir::Files), QStringList());
    QTest::qWait(300);
    QCOMPARE(QDir(r->out).entryList(QDir::Files), QStringList());
    QVERIFY(!r->memo().contains("Completed!"));
}

void tst_OverlappedRip::failureWhileOthersRun_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("goOn");
    for (const char *fault : {"conversion", "temporary folder full"}) {
        QTest::newRow(qPrintable(QString("%1, stalls").arg(fault))) << fault << false;
        QTest::newRow(qPrintable(QString("%1, go on").arg(fault))) << fault << true;
    }
}

void tst_OverlappedRip::failureWhileOthersRun()
{
    QFETCH(QString, fault);
    QFETCH(bool, goOn);
    auto r = rig({2, 60, 2}, 0);
    // A conversion: track 1's file cannot be made (a folder has its name),
    // and its error comes while track 2 is read. A full temporary folder:
    // track 2's WAV cannot be written while track 1 is converted.
    const bool conversion = fault == "conversion";
    const int failed = conversion ? 1 : 2;
    if (conversion)
        QVERIFY(QDir().mkpath(trackPath(r->out, 1, ".mp3")));
    std::optional<FileSizeLimit> full;
    if (!conversion)
        QVERIFY(full.emplace(4 << 20).isActive());
    if (goOn)
        r->child<QCheckBox>("chkGoOn")->click();
    const QStringList lines = r->ripAll();
    const QString error = QString("Error: Track %1: ").arg(failed);
    const auto at = std::find_if(lines.begin(), lines.end(), [&](const QString &line) {
        return line.startsWith(error);
    });
    QVERIFY2(at != lines.end(), qPrintable(lines.join('\n')));
    if (conversion)
        QCOMPARE(*at, error + ConvertErrorText(AudioConvertLib::acErrOutputNotCreatable));
    QVERIFY2(at - lines.begin() > lines.indexOf("Extracting Track 2..."),
             qPrintable(lines.join('\n')));
    if (goOn) {
        QCOMPARE(*(at + 1),
                 QString("Track %1 failed: no file is kept; the job goes on.").arg(failed));
        QCOMPARE(lines.constLast(), "Completed with 1 failed track(s)!");
        QStringList kept;
        for (int t = 1; t <= 3; ++t) {
            if (t != failed)
                kept << trackPath(r->out, t, ".mp3");
        }
        QCOMPARE(r->job()->PlaylistEntries, kept);
        QVERIFY(!QFileInfo(trackPath(r->out, failed, ".mp3")).isFile());
        return;
    }
    // Stalled: nothing more starts until Cancel, which removes every WAV.
    QTest::qWait(1500);
    QCOMPARE(r->memo(), lines);
    QVERIFY(r->job()->Running());
    QVERIFY(!r->memo().contains("Extracting Track 3..."));
    child<QPushButton>(progress(*r), "btnCancel")->click();
    QVERIFY(r->memo().constLast().startsWith("Done. "));
    QCOMPARE(tempWavs(m_home), QStringList());
    QVERIFY(!QFileInfo(trackPath(r->out, failed, ".mp3")).isFile());
}

QTEST_MAIN(tst_OverlappedRip)
#include "tst_overlappedrip.moc"
