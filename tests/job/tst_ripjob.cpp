#include "app/discmodel.h"
#include "app/sondrelcore.h"
#include "convert/audioconvertclient.h"
#include "convert/outputformats.h"
#include "job/ripjob.h"
#include "job/ui/progresswindow.h"
#include "pipeline/flacwriter.h"
#include "pipeline/macwriter.h"
#include "pipeline/wavewriter.h"
#include "pipeline/writerevents.h"
#include "player/ui/playercontrols.h"
#include "tests/support/discdrive.h"
#include "tests/support/disclayouts.h"
#include "tests/support/mediaprobe.h"
#include "tests/support/testsupport.h"
#include "tests/support/windowrig.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtEndian>
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
    void cleanup();
    void everyFormat_data();
    void everyFormat();
    void oneMp3Track();
    void threeFlacTracksIntoFolders();
    void speedListReachesTheDrive();
    void playlistAndEject();
    void cancel_data();
    void cancel();
    void stallsUntilCancel_data();
    void stallsUntilCancel();
    void lateConvertBlockAfterCancelIsIgnored();
    void noJobWithoutTracksOrFolder();
    void closingTheProgramCancels_data();
    void closingTheProgramCancels();
    void dataTrackIsNeverRipped();
    void driveChangeRipsTheChosenDisc();
    void deviceNoticesWaitForTheJob();

private:
    // A window over a generated disc, shown, with every track ticked, the
    // output going into out and the eject recorded instead of done.
    struct Rig : WindowRig
    {
        DiscGen::WrittenDisc disc;
        QString out;
        QStringList events; // "eject", in the order things happened
        QByteArray track(int t) const
        {
            return readFile(QString::fromStdString(disc.trackFiles[size_t(t - 1)]));
        }
    };
    std::unique_ptr<Rig> rig(const DiscGen::DiscSpec &plan, int format, int templ = 0);

    static void pressRip(Rig &r) { r.child<QPushButton>("btnRip")->click(); }
    static TfrmProgress *progress(Rig &r) { return r.w->progressWindow(); }
    static void pressCancel(Rig &r) { child<QPushButton>(progress(r), "btnCancel")->click(); }
    static QString trackPath(Rig &r, int track, const QString &ext);
    // The job's state of the ended window: Cancel off, Exit on.
    static void checkEndedButtons(Rig &r);

    TestHome m_home;
    int m_rigs = 0;
};

void tst_RipJob::cleanup()
{
    QCOMPARE(m_home.leftovers(), QStringList());
}

std::unique_ptr<tst_RipJob::Rig> tst_RipJob::rig(const DiscGen::DiscSpec &plan,
                                                 int format,
                                                 int templ)
{
    DiscGen::WrittenDisc disc = m_home.installDisc(plan);
    auto r = std::make_unique<Rig>();
    r->disc = std::move(disc);
    r->out = m_home.filePath(QString("out%1").arg(++m_rigs));
    if (!r->show())
        qWarning("window not shown");
    r->prepareRip(r->out, format, templ);
    Rig *raw = r.get();
    r->job()->EjectDisc = [raw](int) { raw->events << "eject"; };
    return r;
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

// The bit rate of an Ogg file's audio: the pages after those of the headers
// (granule position 0), over the decoded length. ffprobe counts the headers
// too, which on a short track are a good part of the file.
qint64 oggAudioBitRate(const QByteArray &file, double seconds)
{
    qint64 audioBytes = 0;
    for (qsizetype at = file.indexOf("OggS"); at >= 0 && at + 27 <= file.size();) {
        const auto *page = reinterpret_cast<const uint8_t *>(file.constData() + at);
        const int segments = page[26];
        if (at + 27 + segments > file.size())
            break;
        qsizetype body = 0;
        for (int i = 0; i < segments; ++i)
            body += page[27 + i];
        const qsizetype size = 27 + segments + body;
        if (qFromLittleEndian<qint64>(page + 6) != 0)
            audioBytes += size;
        at += size;
    }
    return seconds > 0 ? qint64(double(audioBytes) * 8 / seconds) : 0;
}

// The bytes of a FLAC file's audio frames: what follows its metadata blocks
// (the tags, padding and seek table differ between encoders); -1 when the
// file is not FLAC.
qint64 flacAudioBytes(const QByteArray &file)
{
    if (!file.startsWith("fLaC"))
        return -1;
    for (qsizetype at = 4; at + 4 <= file.size();) {
        const auto *header = reinterpret_cast<const uint8_t *>(file.constData() + at);
        at += 4 + ((header[1] << 16) | (header[2] << 8) | header[3]);
        if (header[0] & 0x80)
            return file.size() - at;
    }
    return -1;
}

// The highest LPC order in a FLAC file, as flac's analysis shows; -1 when
// flac cannot analyse it.
int highestLpcOrder(const QString &file)
{
    const QString analysis = file + ".ana";
    if (run("flac", {"-a", "-s", "-f", "-o", analysis, file}).exitCode != 0)
        return -1;
    int highest = 0;
    const QRegularExpression order("type=LPC\\torder=(\\d+)");
    for (const QRegularExpressionMatch &m :
         order.globalMatch(QString::fromLatin1(readFile(analysis))))
        highest = std::max(highest, m.captured(1).toInt());
    QFile::remove(analysis);
    return highest;
}

QString tagText(const TagLib::String &s)
{
    return QString::fromStdString(s.to8Bit(true));
}

// What a format's own header says about the quality chosen; empty when it
// says what it must.
QString headerFault(const QString &check, const QString &file, const QByteArray &pcm)
{
    const QByteArray data = readFile(file);
    if (check == "LAME V2") {
        // LAME's own tag after the Xing header names the preset: 500 - 10 * 2.
        const int xing = int(data.indexOf("Xing"));
        const int lame = xing < 0 ? -1 : int(data.indexOf("LAME", xing));
        if (lame < 0 || lame + 28 > data.size())
            return "no Xing header with a LAME tag";
        const int preset = qFromBigEndian<uint16_t>(data.constData() + lame + 26) & 0x7ff;
        return preset == 480 ? QString() : QString("LAME preset %1").arg(preset);
    }
    if (check.startsWith("Vorbis ")) {
        // "Vorbis 192": a fixed nominal bitrate, no minimum or maximum;
        // "Vorbis range 96": nominal, minimum and maximum all 96 kbit/s.
        const bool range = check.contains("range");
        const int kbps = check.section(' ', -1).toInt();
        const int id = int(data.left(4096).indexOf("\x01vorbis"));
        if (id < 0)
            return "no Vorbis identification header";
        const auto at = [&](int offset) {
            return qFromLittleEndian<int32_t>(data.constData() + id + offset);
        };
        const int bound = range ? kbps * 1000 : 0;
        return at(20) == kbps * 1000 && std::max(at(16), 0) == bound && std::max(at(24), 0) == bound
                   ? QString()
                   : QString("nominal %1, maximum %2, minimum %3")
                         .arg(at(20))
                         .arg(at(16))
                         .arg(at(24));
    }
    if (check.startsWith("FLAC level ")) {
        // libFLAC's preset: the LPC orders it allows, and the audio's size
        // within 0.5% of `flac -<n>` on the same samples.
        const int level = check.section(' ', -1).toInt();
        const int maxLpc = QList<int>{0, 0, 0, 6, 8, 8, 8, 12, 12}.value(level);
        const int highest = highestLpcOrder(file);
        if (highest > maxLpc || (maxLpc > 0 && highest <= 4))
            return QString("LPC order %1").arg(highest);
        const QString raw = file + ".raw", reference = file + ".ref.flac";
        QFile out(raw);
        if (!out.open(QIODevice::WriteOnly) || out.write(pcm) != pcm.size())
            return "cannot write the raw audio";
        out.close();
        const ProcessResult flac = run("flac",
                                       {"-s",
                                        "-f",
                                        QString("-%1").arg(level),
                                        "--force-raw-format",
                                        "--endian=little",
                                        "--sign=signed",
                                        "--channels=2",
                                        "--bps=16",
                                        "--sample-rate=44100",
                                        "-o",
                                        reference,
                                        raw});
        const qint64 ours = flacAudioBytes(data), theirs = flacAudioBytes(readFile(reference));
        QFile::remove(raw);
        QFile::remove(reference);
        if (flac.exitCode != 0)
            return "flac cannot encode the track";
        qInfo("level %d: %lld bytes, flac -%d: %lld bytes", level, ours, level, theirs);
        return std::abs(ours - theirs) * 200 <= theirs
                   ? QString()
                   : QString("%1 bytes, flac -%2 %3 bytes").arg(ours).arg(level).arg(theirs);
    }
    if (check == "APE level 4000") {
        if (!data.startsWith("MAC ") || data.size() < 12)
            return "no APE descriptor";
        const auto descriptor = qFromLittleEndian<uint32_t>(data.constData() + 8);
        const auto level = qFromLittleEndian<uint16_t>(data.constData() + descriptor);
        return level == 4000 ? QString() : QString("compression level %1").arg(level);
    }
    return check.isEmpty() ? QString() : "unknown check " + check;
}

} // namespace

void tst_RipJob::everyFormat_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("entry"); // in the quality list; -1 keeps the format's default
    QTest::addColumn<QString>("ext");
    QTest::addColumn<QString>("codec");
    QTest::addColumn<QString>("audio");  // exact, ADPCM or lossy
    QTest::addColumn<int>("rate");       // what the file decodes at
    QTest::addColumn<int>("bitRate");    // 0: not fixed
    QTest::addColumn<int>("tolerance");  // of the bit rate, in percent
    QTest::addColumn<QString>("header"); // what the format's own header must say
    QTest::addColumn<bool>("tagged");
    QTest::addColumn<QString>("genre"); // typed into the genre box; empty: "17 - Rock" picked
    const auto row = [](const char *name,
                        int format,
                        int entry,
                        const char *ext,
                        const char *codec,
                        const char *audio,
                        int rate,
                        int bitRate,
                        int tolerance,
                        const char *header,
                        bool tagged,
                        const char *genre = "") {
        QTest::newRow(name) << format << entry << ext << codec << audio << rate << bitRate
                            << tolerance << header << tagged << QString::fromUtf8(genre);
    };
    // clang-format off
    row("MP3 CD-Quality", 0, 1, ".mp3", "mp3", "lossy", 44100, 192000, 5, "", true);
    row("MP3 VBR-Quality Level 2", 0, 21, ".mp3", "mp3", "lossy", 44100, 0, 0, "LAME V2", true, "Dungeon Synth");
    // 44,100 Hz has no bitrate under 32 kbit/s: these once made 32 kbit/s files.
    row("MP3 24 kbit/s", 0, 16, ".mp3", "mp3", "lossy", 8000, 24000, 5, "", true);
    row("MP3 16 kbit/s", 0, 17, ".mp3", "mp3", "lossy", 8000, 16000, 5, "", true);
    row("MP3 8 kbit/s", 0, 18, ".mp3", "mp3", "lossy", 8000, 8000, 5, "", true);
    row("WMA", 1, -1, ".wma", "wmav2", "lossy", 44100, 128000, 5, "", true);
    // "WMA 44,000 Hz; 16 Bit; Stereo; 64 kbps" once resampled to 44,000 Hz.
    row("WMA 44,000 Hz profile", 1, 40, ".wma", "wmav2", "lossy", 44100, 64000, 5, "", true);
    row("Ogg Vorbis 192 kbit/s", 2, 14, ".ogg", "vorbis", "lossy", 44100, 192000, 5, "Vorbis 192", true);
    // Ranges under 128 kbit/s once kept nominal 128, which libvorbis lets
    // break the maximum.
    row("Ogg VBR Quality-6", 2, 6, ".ogg", "vorbis", "lossy", 44100, 112000, 10, "Vorbis range 112", true);
    row("Ogg VBR Quality-7", 2, 7, ".ogg", "vorbis", "lossy", 44100, 96000, 10, "Vorbis range 96", true);
    row("Ogg VBR Quality-8", 2, 8, ".ogg", "vorbis", "lossy", 44100, 64000, 10, "Vorbis range 64", true);
    row("Ogg VBR Quality-9", 2, 9, ".ogg", "vorbis", "lossy", 44100, 56000, 10, "Vorbis range 56", true);
    row("Ogg VBR Quality-10", 2, 10, ".ogg", "vorbis", "lossy", 44100, 56000, 10, "Vorbis range 56", true);
    row("WAV", 3, -1, ".wav", "pcm_s16le", "exact", 44100, 0, 0, "", false);
    // "Stereo 44,100Hz": compared sample for sample.
    row("WAV ADPCM", 4, 1, ".wav", "adpcm_ima_wav", "ADPCM", 44100, 0, 0, "", false);
    // Once only the LPC order: "Level 8" was no better than flac's level 5.
    row("FLAC Compression Level 0", 5, 0, ".flac", "flac", "exact", 44100, 0, 0, "FLAC level 0", true);
    row("FLAC Compression Level 5", 5, 5, ".flac", "flac", "exact", 44100, 0, 0, "FLAC level 5", true);
    row("FLAC Compression Level 8", 5, 8, ".flac", "flac", "exact", 44100, 0, 0, "FLAC level 8", true);
    row("APE Extra High Compression Level", 6, 3, ".ape", "ape", "exact", 44100, 0, 0, "APE level 4000", true, "Dungeon Synth");
    // clang-format on
    const char *const opus[] = {"Opus VBR 64 kbit/s",
                                "Opus VBR 96 kbit/s",
                                "Opus VBR 128 kbit/s",
                                "Opus VBR 160 kbit/s",
                                "Opus VBR 192 kbit/s",
                                "Opus VBR 256 kbit/s"};
    const int kbps[] = {64, 96, 128, 160, 192, 256};
    for (int n = 0; n < 6; ++n)
        row(opus[n], 7, n, ".opus", "opus", "Opus", 48000, kbps[n] * 1000, 15, "", true);
}

void tst_RipJob::everyFormat()
{
    QFETCH(int, format);
    QFETCH(int, entry);
    QFETCH(QString, ext);
    QFETCH(QString, codec);
    QFETCH(QString, audio);
    QFETCH(int, rate);
    QFETCH(int, bitRate);
    QFETCH(int, tolerance);
    QFETCH(QString, header);
    QFETCH(bool, tagged);
    QFETCH(QString, genre);
    auto r = rig(audioDisc({150, 113}), format);
    if (entry >= 0)
        r->child<QComboBox>("edtQuality")->setCurrentIndex(entry);
    const QStringList titles = {"Första", "Второй"};
    r->child<QLineEdit>("edtArtist")->setText("Åsa Ørn");
    r->child<QLineEdit>("edtAlbum")->setText("Кофе ☕");
    r->child<QLineEdit>("edtYear")->setText("1999");
    r->child<QComboBox>("edtGenre")->setCurrentIndex(17);
    if (!genre.isEmpty())
        r->child<QComboBox>("edtGenre")->setEditText(genre);
    for (int row = 0; row < 2; ++row) {
        r->core().disc()->setTrackArtist(row, "Åsa Ørn");
        r->core().disc()->setTrackTitle(row, titles[row]);
    }
    const QStringList files = {trackPath(*r, 1, ext), trackPath(*r, 2, ext)};
    // With the verified-rip options off no verdict is shown.
    // The read's result comes after the read; a converted track's file after it.
    QStringList lines = {"Initialization..."};
    for (int t = 1; t <= 2; ++t) {
        const QStringList track = {"Create file: " + files[t - 1],
                                   QString("Track %1: read cleanly").arg(t)};
        lines << QString("Extracting Track %1...").arg(t);
        lines << (OutputFormats::isConverted(format) ? QStringList({track[1], track[0]}) : track);
    }
    QCOMPARE(r->ripAll(), lines << "Completed!");
    QCOMPARE(r->job()->PlaylistEntries, files);

    for (int t = 1; t <= 2; ++t) {
        const QByteArray pcm = r->track(t);
        const QString file = files[t - 1];
        const QByteArray decoded = ffmpegDecode(file);
        QVERIFY2(!decoded.isEmpty(), qPrintable(file));
        const Probe p = probe(file);
        QCOMPARE(p.codec, codec);
        QCOMPARE(p.sampleRate, rate);
        QCOMPARE(p.channels, 2);
        // The track's frames at the file's rate.
        const int frames = int(qint64(framesOf(pcm)) * rate / 44100);
        if (bitRate) {
            const qint64 measured = p.container == "ogg"
                                        ? oggAudioBitRate(readFile(file), double(frames) / rate)
                                        : p.bitRate;
            QVERIFY2(std::abs(measured - bitRate) * 100 <= qint64(bitRate) * tolerance,
                     qPrintable(QString::number(measured)));
        }
        if (audio == "exact") {
            // The disc's samples exactly.
            QVERIFY2(decoded == pcm, qPrintable(file));
        } else if (audio == "ADPCM") {
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
            // Lossy: the track's length within an encoder frame or two; Opus
            // within one 20 ms frame, its pre-skip and trimmed end honoured.
            const int slack = audio == "Opus" ? 960 : 2048;
            QVERIFY2(std::abs(framesOf(decoded) - frames) <= slack,
                     qPrintable(QString("%1 vs %2").arg(framesOf(decoded)).arg(frames)));
        }
        QCOMPARE(headerFault(header, file, pcm), QString());
        if (ext == ".flac")
            QCOMPARE(run("flac", {"-t", "-s", file}).exitCode, 0);
        if (!tagged)
            continue;
        const TagLib::FileRef ref(QFile::encodeName(file).constData());
        QVERIFY(!ref.isNull() && ref.tag());
        QCOMPARE(tagText(ref.tag()->title()), titles[t - 1]);
        QCOMPARE(tagText(ref.tag()->artist()), "Åsa Ørn");
        QCOMPARE(tagText(ref.tag()->album()), "Кофе ☕");
        QCOMPARE(ref.tag()->year(), 1999u);
        QCOMPARE(ref.tag()->track(), unsigned(t));
        QCOMPARE(tagText(ref.tag()->genre()), genre.isEmpty() ? "Rock" : genre);
        if (ext == ".flac") {
            // In the Vorbis comment block, where flac's own tools look.
            const ProcessResult listed = run("metaflac",
                                             {"--list", "--block-type=VORBIS_COMMENT", file});
            QCOMPARE(listed.exitCode, 0);
            QVERIFY2(listed.out.contains("TITLE=" + titles[t - 1].toUtf8()), listed.out.constData());
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
    QVERIFY(r->waitEnded());

    const QString file = trackPath(*r, 1, ".mp3");
    QCOMPARE(r->memo(),
             QStringList({"Initialization...",
                          "Extracting Track 1...",
                          "Track 1: read cleanly",
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
    QCOMPARE(r->memo().constFirst(), "Initialization...");
    QVERIFY(r->waitEnded());
    child<QPushButton>(second, "btnExit")->click();
}

void tst_RipJob::threeFlacTracksIntoFolders()
{
    // "<artist>\<album>\<number>. <title>": the writer's folders are made first.
    // Rows without an artist of their own are by the disc's artist.
    auto r = rig(audioDisc({100, 90, 80}), 5, 4);
    TfrmMain *w = r->w.get();
    child<QLineEdit>(w, "edtAlbum")->setText("Live");
    child<QLineEdit>(w, "edtArtist")->setText("AC/DC");
    r->core().disc()->setTrackArtist(2, "Guest");
    const QStringList artists{"AC/DC", "AC/DC", "Guest"};
    const QStringList folders{"AC_DC", "AC_DC", "Guest"};
    QStringList previewed;
    w->BuildOutputFileList(previewed);
    pressRip(*r);
    QList<int> totals;
    connect(child<QProgressBar>(progress(*r), "pbTotal"),
            &QProgressBar::valueChanged,
            this,
            [&totals](int value) { totals << value; });
    QVERIFY(r->waitEnded());
    QCOMPARE(totals, QList<int>({33, 66, 100}));
    QStringList expected;
    QStringList lines = {"Initialization..."};
    for (int t = 1; t <= 3; ++t) {
        const QString file
            = r->out
              + QString("/%1/Live/%2. .flac").arg(folders.at(t - 1)).arg(t, 2, 10, QChar('0'));
        expected << file;
        lines << QString("Extracting Track %1...").arg(t) << "Create file: " + file
              << QString("Track %1: read cleanly").arg(t);
        QCOMPARE(ffmpegDecode(file),
                 readFile(QString::fromStdString(r->disc.trackFiles[size_t(t - 1)])));
        QCOMPARE(tagText(TagLib::FileRef(QFile::encodeName(file).constData()).tag()->artist()),
                 artists.at(t - 1));
    }
    lines << "Completed!";
    QCOMPARE(r->memo(), lines);
    QCOMPARE(previewed, expected);
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
        if (!r->waitEnded())
            return QStringList{"the job did not end"};
        const QStringList lines = r->memo();
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
    QVERIFY(r->waitEnded());
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
    QTest::newRow("converting Opus track 1") << "Converting" << 7 << 0;
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
            pressCancel(*r);
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
                pressCancel(*r);
            });
        }
    });
    QVERIFY(r->waitEnded());
    if (writerDone)
        QCOMPARE(cancelledStage, QString("timer 1"));
    else
        QCOMPARE(cancelledStage,
                 QString("stage %1")
                     .arg(state == "Converting" ? TRipJob::jsConverting : TRipJob::jsWriting));
    // Whatever was still on its way arrives, and changes nothing.
    QTest::qWait(600);
    const QStringList lines = r->memo();
    QCOMPARE(lines.mid(lines.size() - 2),
             QStringList({"Cancelled.",
                          QString("Done. %1 track(s) were successfully extracted.").arg(count)}));
    QVERIFY(!lines.contains("Completed!"));
    if (state == "Waiting-A")
        QVERIFY(!lines.join('\n').contains("Create file: "));
    checkEndedButtons(*r);
    const QString ext = OutputFormats::extensionOf(format);
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

void tst_RipJob::stallsUntilCancel_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("message"); // the stalling line, %1 the temporary WAV; empty: any
    QTest::newRow("disc unreadable after its contents were shown")
        << "unreadable" << 0 << "Error: The drive is not ready";
    QTest::newRow("output folder cannot be made, MP3")
        << "folder" << 0
        << "Error: " + TRipJob::ConvertErrorText(AudioConvertLib::acErrOutputNotCreatable);
    QTest::newRow("output folder cannot be made, FLAC") << "folder" << 5 << QString();
    QTest::newRow("temporary file gone before the conversion")
        << "temporary" << 0
        << "Error: The temporary file %1 is missing; the track cannot be converted.";
    QTest::newRow("FLAC file gone before its tags") << "tags" << 5
                                                    << "Error: The tags could not be written into "
                                                       "\"<out>/track 01.flac\".";
    QTest::newRow("APE file gone before its tags") << "tags" << 6
                                                   << "Error: The tags could not be written into "
                                                      "\"<out>/track 01.ape\".";
}

void tst_RipJob::stallsUntilCancel()
{
    QFETCH(QString, fault);
    QFETCH(int, format);
    QFETCH(QString, message);
    auto r = rig(audioDisc({300, 200}), format);
    if (fault == "unreadable")
        QCOMPARE(::truncate(r->disc.binPath.c_str(), 0), 0);
    if (fault == "folder") // a file stands where the folder should be
        QVERIFY(DiscLayouts::writeText(r->out, "not a folder"));
    if (fault == "temporary") {
        connect(r->core().eventsOf(r->core().WaveOut()), &WriterEvents::done, this, [&r] {
            QFile::remove(r->job()->TempWavFile());
        });
    }
    if (fault == "tags") {
        const TPcmOutput *writer = format == 5 ? static_cast<TPcmOutput *>(r->core().FLACOut())
                                               : r->core().MACOut();
        connect(r->core().eventsOf(writer), &WriterEvents::done, this, [&r] {
            QDir(r->out).removeRecursively();
        });
    }
    const QStringList lines = r->ripAll(60000);
    const QString temp = r->job()->TempWavFile();
    QVERIFY2(lines.constLast().startsWith("Error: "), qPrintable(lines.join('\n')));
    if (!message.isEmpty())
        QCOMPARE(lines.constLast(), QString(message).replace("<out>", r->out).arg(temp));
    QCOMPARE(r->job()->PlaylistEntries, QStringList());
    QCOMPARE(lines.mid(0, 2), QStringList({"Initialization...", "Extracting Track 1..."}));
    if (fault == "unreadable")
        QCOMPARE(lines.size(), 3);
    if (fault == "folder" && format == 0)
        QVERIFY(QFile::exists(temp));
    // The job waits for the user, and its window stays until it has ended.
    QTest::qWait(400);
    QCOMPARE(r->memo(), lines);
    QVERIFY(r->job()->Running());
    QVERIFY(child<QPushButton>(progress(*r), "btnCancel")->isEnabled());
    QVERIFY(!child<QPushButton>(progress(*r), "btnExit")->isEnabled());
    progress(*r)->close();
    QVERIFY(progress(*r) && progress(*r)->isVisible());
    pressCancel(*r);
    QCOMPARE(r->memo().mid(lines.size()),
             QStringList({"Cancelled.", "Done. 0 track(s) were successfully extracted."}));
    QVERIFY(temp.isEmpty() || !QFile::exists(temp));
    checkEndedButtons(*r);
}

void tst_RipJob::lateConvertBlockAfterCancelIsIgnored()
{
    auto r = rig(audioDisc({75 * 120}), 0);
    r->child<QCheckBox>("chkmklist")->click();
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
    QVERIFY(r->waitEnded());
    QTest::qWait(300);
    QVERIFY(late);
    QVERIFY(!r->memo().contains("Completed!"));
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

void tst_RipJob::dataTrackIsNeverRipped()
{
    DiscGen::DiscSpec plan = audioDisc({100, 80, 75});
    plan.tracks[2].data = true;
    auto r = rig(plan, 5);
    TfrmMain *w = r->w.get();
    DiscModel *disc = r->core().disc();
    // Listed, marked, and never ticked by the listing or the selection actions.
    QCOMPARE(disc->rowCount(), 3);
    QVERIFY(disc->isTicked(1) && !disc->isTicked(2));
    const QModelIndex image = disc->index(2, DiscModel::ImageColumn);
    QCOMPARE(image.data(DiscModel::ImageIndexRole).toInt(), int(DiscModel::DataImage));
    QCOMPARE(disc->index(0, 0).data(DiscModel::ImageIndexRole).toInt(), 0);
    QVERIFY(!disc->index(2, DiscModel::TitleColumn).data(Qt::ToolTipRole).toString().isEmpty());
    QList<QList<bool>> ticks;
    for (const char *name : {"ActSelall", "ActInvert", "ActInvert", "ActSelnone", "ActInvert"}) {
        w->findChild<QAction *>(name)->trigger();
        ticks << QList<bool>{disc->isTicked(0), disc->isTicked(1), disc->isTicked(2)};
    }
    QCOMPARE(ticks.count(QList<bool>{true, true, false}), 3);
    QCOMPARE(ticks.count(QList<bool>{false, false, false}), 2);

    // Ticked alone by hand: the rip is refused with the reason.
    w->findChild<QAction *>("ActSelnone")->trigger();
    disc->setData(disc->index(2, DiscModel::TickColumn), Qt::Checked, Qt::CheckStateRole);
    QString told;
    onNextModal([&told](QWidget *box) {
        told = static_cast<QMessageBox *>(box)->text();
        static_cast<QMessageBox *>(box)->accept();
    });
    pressRip(*r);
    QCOMPARE(told, "Only data tracks are ticked: tick the audio tracks to rip.");
    QVERIFY(!progress(*r));

    // Ticked with the audio: skipped, not written, not listed.
    w->findChild<QAction *>("ActSelall")->trigger();
    disc->setData(disc->index(2, DiscModel::TickColumn), Qt::Checked, Qt::CheckStateRole);
    const QStringList lines = r->ripAll();
    QCOMPARE(lines.mid(0, 3),
             QStringList({"Initialization...",
                          "Track 3 is a data track: skipped.",
                          "Extracting Track 1..."}));
    QCOMPARE(lines.constLast(), "Completed!");
    QCOMPARE(QDir(r->out).entryList(QDir::Files), QStringList({"track 01.flac", "track 02.flac"}));
    QCOMPARE(r->job()->PlaylistEntries,
             QStringList({trackPath(*r, 1, ".flac"), trackPath(*r, 2, ".flac")}));
    QCOMPARE(child<QGroupBox>(progress(*r), "GroupBox")->title(), "Track 2 of 2 (Track 2)");
}

void tst_RipJob::driveChangeRipsTheChosenDisc()
{
    // The first drive lists an image whose BIN is gone: no disc at start.
    const auto discs = installDiscs(m_home.filePath("drives"),
                                    {{"gone", audioDisc({80})}, {"good", audioDisc({90, 70})}});
    QVERIFY(QFile::remove(QString::fromStdString(discs[0].binPath)));
    Rig r;
    auto devices = r.child<QComboBox>("cmbDevice");
    QVERIFY(r.show(devices->count() - 2));
    QCOMPARE(r.core().disc()->rowCount(), 0);
    r.out = m_home.filePath("drives/out");
    r.prepareRip(r.out, 5);
    QAction *play = r.child<QAction>("ActcdPlay");
    QAction *rip = r.child<QAction>("Actrip");
    QVERIFY(!rip->isEnabled());

    devices->setCurrentIndex(devices->count() - 1);
    QVERIFY(rip->isEnabled());
    QVERIFY(play->isEnabled());
    QVERIFY(r.w->playerExists());
    QCOMPARE(r.ripAll().constLast(), "Completed!");
    QVERIFY(QFile::exists(trackPath(r, 2, ".flac")));
    child<QPushButton>(progress(r), "btnExit")->click();
    QTRY_VERIFY(!progress(r));

    // Without a player, as without the playback library, only playing is off.
    r.w->playerControls()->DestroyPlayer();
    QVERIFY(!play->isEnabled());
    QVERIFY(QDir(r.out).removeRecursively());
    QCOMPARE(r.ripAll().constLast(), "Completed!");
    QVERIFY(QFile::exists(trackPath(r, 2, ".flac")));
}

void tst_RipJob::deviceNoticesWaitForTheJob()
{
    auto r = rig(audioDisc({300, 200}), 5);
    TfrmMain *w = r->w.get();
    auto artist = child<QLineEdit>(w, "edtArtist");
    artist->setText("Band");
    const DiscModel *disc = r->core().disc();
    int rowsMeanwhile = -1;
    QString artistMeanwhile;
    pressRip(*r);
    // A removal and an arrival while the first track is read.
    QTimer::singleShot(0, this, [&] {
        w->WMDeviceChange(0x8004);
        w->WMDeviceChange(0x8000);
        rowsMeanwhile = disc->rowCount();
        artistMeanwhile = artist->text();
    });
    QVERIFY(r->waitEnded());
    QCOMPARE(rowsMeanwhile, 2);
    QCOMPARE(artistMeanwhile, "Band");
    QCOMPARE(r->memo().constLast(), "Completed!");
    QCOMPARE(r->job()->PlaylistEntries.size(), 2);
    // Both are applied after the job, in their order.
    QTRY_COMPARE(artist->text(), QString());
    QCOMPARE(disc->rowCount(), 2);
    QCOMPARE(disc->tickedCount(), 2);
}

QTEST_MAIN(tst_RipJob)
#include "tst_ripjob.moc"
