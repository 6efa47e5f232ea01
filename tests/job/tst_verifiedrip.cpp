#include "app/discmodel.h"
#include "app/settings.h"
#include "app/sondrelcore.h"
#include "app/ui/mainwindow.h"
#include "job/ripjob.h"
#include "job/ui/progresswindow.h"
#include "libs/disclookup/disctoc.h"
#include "lookup/accuraterip.h"
#include "pipeline/trackchecksums.h"
#include "tests/job/accuraterip_database.h"
#include "tests/support/discdrive.h"
#include "tests/support/loopbackhttpserver.h"
#include "tests/support/mediaprobe.h"
#include "tests/support/memorysettings.h"
#include "tests/support/testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <taglib/fileref.h>
#include <taglib/tag.h>

using namespace TestSupport;

// Verified rips through the real main window: a generated disc stands in for
// the CD, a loopback server for AccurateRip, holding a file the test makes
// from the disc's own audio.
class tst_VerifiedRip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void everyTrackAccurate();
    void changedSampleMismatchesOneTrack();
    void unknownDisc();
    void serverDown();
    void losslessTags_data();
    void losslessTags();
    void logAndCueSheet();

private:
    struct Rig
    {
        std::unique_ptr<TfrmMain> w;
        DiscGen::WrittenDisc disc;
        QString out;
        TRipJob *job() const { return w->ripJob(); }
    };
    // A window over a generated four-track disc, every track ticked, the
    // verified-rip options of these names ticked and the server set.
    std::unique_ptr<Rig> rig(int format, const QStringList &options, const QString &server);
    // Presses Rip and waits for the job's end; the memo lines.
    static QStringList ripAll(Rig &r);
    static QString trackPath(Rig &r, int track, const QString &ext);
    // The database file of a disc: a record of v1 sums, one of v2 sums.
    static QByteArray databaseFile(const DiscGen::WrittenDisc &disc);

    QTemporaryDir m_home;
    int m_discs = 0;
    LoopbackHttpServer m_server;
};

void tst_VerifiedRip::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath("config")));
}

std::unique_ptr<tst_VerifiedRip::Rig> tst_VerifiedRip::rig(int format,
                                                           const QStringList &options,
                                                           const QString &server)
{
    auto r = std::make_unique<Rig>();
    r->disc = installDisc(m_home.filePath(QString("disc%1").arg(++m_discs)),
                          audioDisc({150, 100, 90, 120}));
    r->out = m_home.filePath(QString("out%1").arg(m_discs));
    auto storage = std::make_unique<MemorySettingsStorage>();
    storage->values.insert(SettingsKeys::AccurateRipServer, server);
    r->w = std::make_unique<TfrmMain>(std::make_unique<SettingsStore>(std::move(storage)));
    TfrmMain *w = r->w.get();
    auto devices = w->findChild<QComboBox *>("cmbDevice");
    devices->setCurrentIndex(devices->count() - 1);
    w->show();
    if (!QTest::qWaitForWindowExposed(w))
        qWarning("window not shown");
    w->findChild<QLineEdit *>("edtDestFolder")->setText(r->out);
    w->findChild<QComboBox *>("cmbRename")->setCurrentIndex(0);
    w->findChild<QComboBox *>("cmbOutformat")->setCurrentIndex(format);
    // Ticked as a user ticks them on the "Advanced" page.
    for (const QString &name : options)
        w->findChild<QCheckBox *>(name)->click();
    r->job()->EjectDisc = [](int) {};
    return r;
}

QStringList tst_VerifiedRip::ripAll(Rig &r)
{
    r.w->findChild<QPushButton *>("btnRip")->click();
    if (!QTest::qWaitFor([&r] { return !r.job()->Running(); }, 120000))
        qWarning("the rip did not end");
    TfrmProgress *p = r.w->progressWindow();
    return p ? p->findChild<QPlainTextEdit *>("MemoInfo")->toPlainText().split('\n')
             : QStringList();
}

QString tst_VerifiedRip::trackPath(Rig &r, int track, const QString &ext)
{
    return r.out + QString("/track %1").arg(track, 2, 10, QChar('0')) + ext;
}

QByteArray tst_VerifiedRip::databaseFile(const DiscGen::WrittenDisc &disc)
{
    return AccurateRipDatabase::fileFor(disc, 3, 12);
}

namespace {

// The lines of the memo from the first verdict on.
QStringList verdicts(const QStringList &memo)
{
    QStringList lines;
    for (const QString &line : memo)
        if (line.startsWith("Track ") || line.startsWith("AccurateRip: "))
            lines << line;
    return lines;
}

} // namespace

void tst_VerifiedRip::everyTrackAccurate()
{
    m_server.reset();
    auto r = rig(5, {"chkAccurateRip"}, m_server.url(""));
    m_server.route("dBAR-004-", LoopbackHttpServer::text(200, databaseFile(r->disc)));
    const QStringList memo = ripAll(*r);
    QCOMPARE(memo.constLast(), "Completed!");
    const QStringList lines = verdicts(memo);
    QCOMPARE(lines.size(), 5);
    for (int t = 1; t <= 4; ++t) {
        QVERIFY2(lines[t - 1].startsWith(QString("Track %1: CRC32 ").arg(t)),
                 qPrintable(lines[t - 1]));
        QVERIFY2(lines[t - 1].endsWith(", accurately ripped (confidence 12)"),
                 qPrintable(lines[t - 1]));
        // Each verdict follows its track's extraction, before the next one.
        QVERIFY(memo.indexOf(lines[t - 1]) > memo.indexOf(QString("Extracting Track %1...").arg(t)));
    }
    QCOMPARE(lines[4], "AccurateRip: 4 of 4 tracks accurately ripped");
    QCOMPARE(memo.at(memo.size() - 2), lines[4]);
    QCOMPARE(m_server.requests().size(), 1);
}

void tst_VerifiedRip::changedSampleMismatchesOneTrack()
{
    m_server.reset();
    // MP3: the sums come from the PCM the temporary WAV receives.
    auto r = rig(0, {"chkAccurateRip"}, m_server.url(""));
    m_server.route("dBAR-004-", LoopbackHttpServer::text(200, databaseFile(r->disc)));
    // One sample in the middle of track 3 changes on the disc.
    QFile bin(QString::fromStdString(r->disc.binPath));
    QVERIFY(bin.open(QIODevice::ReadWrite));
    const qint64 at = qint64(r->disc.layout.tracks[2].start) * 2352 + 40 * 2352 + 400;
    QVERIFY(bin.seek(at));
    const QByteArray old = bin.read(2);
    QVERIFY(bin.seek(at));
    bin.write(QByteArray(1, char(old[0] ^ 0x01)) + old.mid(1));
    bin.close();

    const QStringList lines = verdicts(ripAll(*r));
    QCOMPARE(lines.size(), 5);
    for (int t : {0, 1, 3})
        QVERIFY2(lines[t].endsWith(", accurately ripped (confidence 12)"), qPrintable(lines[t]));
    QVERIFY2(lines[2].endsWith(", does not match AccurateRip (15 submissions)"),
             qPrintable(lines[2]));
    QCOMPARE(lines[4], "AccurateRip: 3 of 4 tracks accurately ripped, 1 not matching");
}

void tst_VerifiedRip::unknownDisc()
{
    m_server.reset(); // every request a 404
    auto r = rig(6, {"chkAccurateRip"}, m_server.url(""));
    const QStringList memo = ripAll(*r);
    QCOMPARE(memo.constLast(), "Completed!");
    const QStringList lines = verdicts(memo);
    QCOMPARE(lines.size(), 5);
    for (int t = 0; t < 4; ++t)
        QVERIFY2(lines[t].endsWith(", not in the AccurateRip database"), qPrintable(lines[t]));
    QCOMPARE(lines[4], "AccurateRip: the disc is not in the database");
}

void tst_VerifiedRip::serverDown()
{
    auto r = rig(5, {"chkAccurateRip"}, "http://127.0.0.1:1");
    const QStringList memo = ripAll(*r);
    QCOMPARE(memo.constLast(), "Completed!");
    const QStringList lines = verdicts(memo);
    QCOMPARE(lines.size(), 5);
    for (int t = 0; t < 4; ++t) {
        QVERIFY2(lines[t].contains(", not verified (AccurateRip not reachable: "),
                 qPrintable(lines[t]));
        QVERIFY(!lines[t].contains("accurately ripped"));
        // The rip itself is whole.
        QVERIFY(ffmpegDecode(trackPath(*r, t + 1, ".flac"))
                == readFile(QString::fromStdString(r->disc.trackFiles[size_t(t)])));
    }
    QVERIFY2(lines[4].startsWith("AccurateRip: no track verified"), qPrintable(lines[4]));
}

void tst_VerifiedRip::losslessTags_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("ext");
    QTest::newRow("FLAC") << 5 << ".flac";
    QTest::newRow("APE") << 6 << ".ape";
}

void tst_VerifiedRip::losslessTags()
{
    QFETCH(int, format);
    QFETCH(QString, ext);
    auto r = rig(format, {}, m_server.url(""));
    TfrmMain *w = r->w.get();
    w->findChild<QLineEdit *>("edtArtist")->setText("Åsa Ørn");
    w->findChild<QLineEdit *>("edtAlbum")->setText("Кофе ☕");
    w->findChild<QLineEdit *>("edtYear")->setText("2001");
    w->findChild<QComboBox *>("edtGenre")->setCurrentIndex(17);
    w->core()->disc()->setTrackArtist(1, "Åsa Ørn");
    w->core()->disc()->setTrackTitle(1, "Второй");
    const QStringList memo = ripAll(*r);
    QCOMPARE(memo.constLast(), "Completed!");
    // With the option off no verdict is shown.
    QVERIFY(verdicts(memo).isEmpty());
    const QString file = trackPath(*r, 2, ext);
    const TagLib::FileRef ref(QFile::encodeName(file).constData());
    QVERIFY(!ref.isNull() && ref.tag());
    const auto text = [](const TagLib::String &s) { return QString::fromStdString(s.to8Bit(true)); };
    QCOMPARE(text(ref.tag()->title()), "Второй");
    QCOMPARE(text(ref.tag()->artist()), "Åsa Ørn");
    QCOMPARE(text(ref.tag()->album()), "Кофе ☕");
    QCOMPARE(ref.tag()->year(), 2001u);
    QCOMPARE(ref.tag()->track(), 2u);
    QCOMPARE(text(ref.tag()->genre()), "Rock");
    // The audio is untouched by the tags.
    QVERIFY(ffmpegDecode(file) == readFile(QString::fromStdString(r->disc.trackFiles[1])));
    if (format == 5) {
        const ProcessResult listed = run("metaflac",
                                         {"--list", "--block-type=VORBIS_COMMENT", file});
        QCOMPARE(listed.exitCode, 0);
        QVERIFY2(listed.out.contains("TITLE=Второй"), listed.out.constData());
    }
}

void tst_VerifiedRip::logAndCueSheet()
{
    m_server.reset();
    auto r = rig(5, {"chkAccurateRip", "chkRipLog", "chkCueSheet"}, m_server.url(""));
    m_server.route("dBAR-004-", LoopbackHttpServer::text(200, databaseFile(r->disc)));
    TfrmMain *w = r->w.get();
    w->findChild<QLineEdit *>("edtArtist")->setText("Åsa Ørn");
    w->findChild<QLineEdit *>("edtAlbum")->setText("Café Noir");
    w->findChild<QLineEdit *>("edtYear")->setText("1999");
    w->findChild<QComboBox *>("edtGenre")->setCurrentIndex(17);
    const QStringList memo = ripAll(*r);
    QCOMPARE(memo.constLast(), "Completed!");

    const QString log = QString::fromUtf8(readFile(r->out + "/Café Noir.log"));
    QVERIFY2(!log.isEmpty(), qPrintable(QDir(r->out).entryList().join(", ")));
    QVERIFY(log.contains("Café Noir"));
    for (int t = 1; t <= 4; ++t) {
        QVERIFY2(log.contains(QString("track %1.flac").arg(t, 2, 10, QChar('0'))), qPrintable(log));
    }
    QCOMPARE(log.count("accurately ripped (confidence 12)"), 4 + 4); // per track, and the memo
    QVERIFY(log.contains("AccurateRip: 4 of 4 tracks accurately ripped"));
    QVERIFY(log.contains("Completed!"));

    const QString cuePath = r->out + "/Café Noir.cue";
    const QStringList cue = QString::fromUtf8(readFile(cuePath)).split("\r\n");
    QVERIFY2(cue.contains("REM DATE 1999"), qPrintable(cue.join("\n")));
    QVERIFY(cue.contains("REM GENRE \"Rock\""));
    QVERIFY(cue.contains("TITLE \"Café Noir\""));
    QCOMPARE(cue.filter(QRegularExpression("^FILE ")).size(), 4);
    QVERIFY(cue.contains("FILE \"track 01.flac\" WAVE"));
    QCOMPARE(cue.filter(QRegularExpression("^\\s+INDEX 01 00:00:00$")).size(), 4);
}

QTEST_MAIN(tst_VerifiedRip)
#include "tst_verifiedrip.moc"
