#include "app/settings.h"
#include "job/ripjob.h"
#include "tests/job/accuraterip_database.h"
#include "tests/support/discdrive.h"
#include "tests/support/loopbackhttpserver.h"
#include "tests/support/mediaprobe.h"
#include "tests/support/testsupport.h"
#include "tests/support/windowrig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

using namespace TestSupport;

// Verified rips through the real main window: a generated disc stands in for
// the CD, a loopback server for AccurateRip, holding a file the test makes
// from the disc's own audio.
class tst_VerifiedRip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void verdicts_data();
    void verdicts();
    void logAndCueSheet();

private:
    struct Rig : WindowRig
    {
        using WindowRig::WindowRig;
        DiscGen::WrittenDisc disc;
        QString out;
    };
    // A window over a generated four-track disc, every track ticked, the
    // verified-rip options of these names ticked and the server set.
    std::unique_ptr<Rig> rig(int format, const QStringList &options, const QString &server);
    static QString trackPath(Rig &r, int track, const QString &ext);

    TestHome m_home;
    int m_rigs = 0;
    LoopbackHttpServer m_server;
};

std::unique_ptr<tst_VerifiedRip::Rig> tst_VerifiedRip::rig(int format,
                                                           const QStringList &options,
                                                           const QString &server)
{
    DiscGen::WrittenDisc disc = m_home.installDisc(audioDisc({150, 100, 90, 120}));
    auto r = std::make_unique<Rig>(QVariantMap{{SettingsKeys::AccurateRipServer, server}});
    r->disc = std::move(disc);
    r->out = m_home.filePath(QString("out%1").arg(++m_rigs));
    if (!r->show())
        qWarning("window not shown");
    r->prepareRip(r->out, format);
    // Ticked as a user ticks them on the "Advanced" page.
    for (const QString &name : options)
        r->child<QCheckBox>(name)->click();
    return r;
}

QString tst_VerifiedRip::trackPath(Rig &r, int track, const QString &ext)
{
    return r.out + QString("/track %1").arg(track, 2, 10, QChar('0')) + ext;
}

namespace {

// The lines of the memo from the first verdict on.
QStringList verdictLines(const QStringList &memo)
{
    QStringList lines;
    for (const QString &line : memo)
        if (line.contains(": CRC32 ") || line.startsWith("AccurateRip: "))
            lines << line;
    return lines;
}

} // namespace

void tst_VerifiedRip::verdicts_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("server");   // "database", "no entry" (404) or "down"
    QTest::addColumn<int>("changedTrack"); // whose one sample changes on the disc; 0: none
    QTest::addColumn<QString>("verdict");  // what each track's line says
    QTest::addColumn<QString>("summary");  // how the last verdict line starts
    QTest::addColumn<bool>("overlap");     // encoding while the next track is read
    QTest::newRow("every track accurate")
        << 5 << "database" << 0 << ", accurately ripped (confidence 12)"
        << "AccurateRip: 4 of 4 tracks accurately ripped" << false;
    // MP3: the sums come from the PCM the temporary WAV receives.
    QTest::newRow("one changed sample, MP3")
        << 0 << "database" << 3 << ", accurately ripped (confidence 12)"
        << "AccurateRip: 3 of 4 tracks accurately ripped, 1 not matching" << false;
    // The same verdicts when the tracks are converted while others are read.
    QTest::newRow("one changed sample, MP3, overlapped")
        << 0 << "database" << 3 << ", accurately ripped (confidence 12)"
        << "AccurateRip: 3 of 4 tracks accurately ripped, 1 not matching" << true;
    QTest::newRow("disc unknown, APE")
        << 6 << "no entry" << 0 << ", not in the AccurateRip database"
        << "AccurateRip: the disc is not in the database" << false;
    QTest::newRow("server down") << 5 << "down" << 0
                                 << ", not verified (AccurateRip not reachable: "
                                 << "AccurateRip: no track verified" << false;
}

void tst_VerifiedRip::verdicts()
{
    QFETCH(int, format);
    QFETCH(QString, server);
    QFETCH(int, changedTrack);
    QFETCH(QString, verdict);
    QFETCH(QString, summary);
    QFETCH(bool, overlap);
    m_server.reset(); // every request a 404
    auto r = rig(format,
                 overlap ? QStringList{"chkAccurateRip", "chkEncodeWhileReading"}
                         : QStringList{"chkAccurateRip"},
                 server == "down" ? "http://127.0.0.1:1" : m_server.url(""));
    if (server == "database")
        m_server.route("dBAR-004-",
                       LoopbackHttpServer::text(200, AccurateRipDatabase::fileFor(r->disc, 3, 12)));
    if (changedTrack) {
        // One sample in the middle of the track changes on the disc.
        QFile bin(QString::fromStdString(r->disc.binPath));
        QVERIFY(bin.open(QIODevice::ReadWrite));
        const qint64 at = qint64(r->disc.layout.tracks[size_t(changedTrack - 1)].start) * 2352
                          + 40 * 2352 + 400;
        QVERIFY(bin.seek(at));
        const QByteArray old = bin.read(2);
        QVERIFY(bin.seek(at));
        bin.write(QByteArray(1, char(old[0] ^ 0x01)) + old.mid(1));
    }
    const QStringList memo = r->ripAll();
    QCOMPARE(memo.constLast(), "Completed!");
    QStringList lines = verdictLines(memo);
    QCOMPARE(lines.size(), 5);
    // Overlapped, the tracks' lines come as the tracks finish.
    if (overlap)
        std::sort(lines.begin(), lines.end() - 1);
    const QString ext = QStringList({".mp3", "", "", "", "", ".flac", ".ape"})[format];
    for (int t = 1; t <= 4; ++t) {
        const QString &line = lines[t - 1];
        QVERIFY2(line.startsWith(QString("Track %1: CRC32 ").arg(t)), qPrintable(line));
        if (t == changedTrack)
            QVERIFY2(line.endsWith(", does not match AccurateRip (15 submissions)"),
                     qPrintable(line));
        else
            QVERIFY2(line.contains(verdict), qPrintable(line));
        // Each verdict follows its track's extraction, before the next one.
        QVERIFY(memo.indexOf(line) > memo.indexOf(QString("Extracting Track %1...").arg(t)));
        QVERIFY(t == 4 || overlap
                || memo.indexOf(line) < memo.indexOf(QString("Extracting Track %1...").arg(t + 1)));
        // Whatever the verdict, the rip itself is whole.
        if (format != 0)
            QVERIFY(ffmpegDecode(trackPath(*r, t, ext))
                    == readFile(QString::fromStdString(r->disc.trackFiles[size_t(t - 1)])));
    }
    QVERIFY2(lines[4].startsWith(summary), qPrintable(lines[4]));
    QCOMPARE(memo.at(memo.size() - 2), lines[4]);
    if (server != "down")
        QCOMPARE(m_server.requests().size(), 1);
}

void tst_VerifiedRip::logAndCueSheet()
{
    m_server.reset();
    auto r = rig(5, {"chkAccurateRip", "chkRipLog", "chkCueSheet"}, m_server.url(""));
    m_server.route("dBAR-004-",
                   LoopbackHttpServer::text(200, AccurateRipDatabase::fileFor(r->disc, 3, 12)));
    r->child<QLineEdit>("edtArtist")->setText("Åsa Ørn");
    r->child<QLineEdit>("edtAlbum")->setText("Café Noir");
    r->child<QLineEdit>("edtYear")->setText("1999");
    r->child<QComboBox>("edtGenre")->setCurrentIndex(17);
    const QStringList memo = r->ripAll();
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
