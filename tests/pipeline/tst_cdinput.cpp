#include "pipeline/cdinput.h"
#include "pipeline/pcmexception.h"
#include "pipeline/trackchecksums.h"
#include "tests/support/disclayouts.h"
#include "tests/support/memoryoutput.h"
#include "tests/support/testsupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <dlfcn.h>
#include <memory>
#include <unistd.h>

using namespace TestSupport;

class tst_CDIn : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void settingsFileKeptAndRewritten();
    void setIniValue_data();
    void setIniValue();
    void framesToMsf_data();
    void framesToMsf();
    void trackKindOfFlag_data();
    void trackKindOfFlag();
    void drives();
    void trackInfo_data();
    void trackInfo();
    void readsWholeTracks_data();
    void readsWholeTracks();
    void readsLongTrack();
    void stateMessages();
    void notReady();
    void brokenImageIsNotReady_data();
    void brokenImageIsNotReady();
    void readErrorNamesTrackAndPosition_data();
    void readErrorNamesTrackAndPosition();
    void ripThroughSink();
    void readOffsetShiftsTheDisc_data();
    void readOffsetShiftsTheDisc();
    void readOffsetRules();
    void tapSeesWhatTheSinkGets();
    void missingLibrary();
    void shutdownReleasesLibrary();

private:
    std::unique_ptr<TCDIn> inputOver(const QStringList &images, const QByteArray &extra = {});
    DiscGen::WrittenDisc writeDisc(const DiscGen::DiscSpec &plan,
                                   const char *name,
                                   bool trackFiles = true);
    // Reads the open input to its end in pieces of `piece` bytes.
    static QByteArray readAll(TCDIn &in, int piece);
    QString iniPath() const { return TCDIn::SettingsFolder() + "cdr.ini"; }

    QTemporaryDir m_config;
    QTemporaryDir m_discs;
    int m_realDrives = 0;
};

void tst_CDIn::initTestCase()
{
    QVERIFY(m_config.isValid() && m_discs.isValid());
    // Before anything asks for the data folder: this test's cdr.ini is its own.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    QVERIFY(TCDIn::SettingsFolder().startsWith(m_config.path()));
    TCDIn probe;
    m_realDrives = probe.GetDriveCount();
}

std::unique_ptr<TCDIn> tst_CDIn::inputOver(const QStringList &images, const QByteArray &extra)
{
    if (!DiscLayouts::writeText(iniPath(), DiscLayouts::imagesSection(images) + extra))
        qFatal("cannot write cdr.ini");
    auto in = std::make_unique<TCDIn>();
    in->SetCurrentDrive(m_realDrives);
    return in;
}

DiscGen::WrittenDisc tst_CDIn::writeDisc(const DiscGen::DiscSpec &plan,
                                         const char *name,
                                         bool trackFiles)
{
    return DiscGen::writeDisc(plan, m_discs.path().toStdString(), name, trackFiles);
}

QByteArray tst_CDIn::readAll(TCDIn &in, int piece)
{
    QByteArray out;
    QByteArray buffer(piece, '\0');
    for (;;) {
        const int32_t n = in.ReadData(buffer.data(), piece);
        if (n <= 0 || n > piece)
            break;
        out.append(buffer.constData(), n);
    }
    return out;
}

void tst_CDIn::settingsFileKeptAndRewritten()
{
    const QByteArray original = "; mine\r\n[Images]\r\nImage1=/nowhere/a,b.cue\r\n"
                                "[CD-ROM]\r\nnActive=3\r\nnOther=x\r\n[Z]\r\nk=v\r\n";
    QVERIFY(DiscLayouts::writeText(iniPath(), original));
    {
        TCDIn in;
    }
    QByteArray expected = original;
    expected.replace("nActive=3", "nActive=0");
    QCOMPARE(readFile(iniPath()), expected);

    // Each construction writes the file again and re-initialises the library
    // from it: a removed file comes back, an added image becomes a drive.
    QVERIFY(QFile::remove(iniPath()));
    TCDIn first;
    QCOMPARE(readFile(iniPath()), QByteArray("[CD-ROM]\nnActive=0\n"));
    QCOMPARE(first.GetDriveCount(), m_realDrives);
    const DiscGen::WrittenDisc disc = writeDisc(audioDisc({75}), "added", false);
    QVERIFY(
        DiscLayouts::writeText(iniPath(),
                               DiscLayouts::imagesSection({QString::fromStdString(disc.cuePath)})));
    TCDIn second;
    QCOMPARE(second.GetDriveCount(), m_realDrives + 1);
    QVERIFY(readFile(iniPath()).contains("[CD-ROM]\nnActive=0\n"));
    QVERIFY(!readFile(iniPath()).contains("nTransportLayer"));
}

void tst_CDIn::setIniValue_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty file") << QByteArray() << QByteArray("[CD-ROM]\nnActive=0\n");
    QTest::newRow("section missing, no final line end")
        << QByteArray("[Images]\nA=/x.cue")
        << QByteArray("[Images]\nA=/x.cue\n[CD-ROM]\nnActive=0\n");
    QTest::newRow("key replaced, other case") << QByteArray("[cd-rom]\nNACTIVE = 2\nnext=1\n")
                                              << QByteArray("[cd-rom]\nnActive=0\nnext=1\n");
    QTest::newRow("key missing goes first in its section")
        << QByteArray("[CD-ROM]\nother=1\n[Images]\nnActive=9\n")
        << QByteArray("[CD-ROM]\nnActive=0\nother=1\n[Images]\nnActive=9\n");
    QTest::newRow("CR LF kept") << QByteArray("[CD-ROM]\r\nnActive=1\r\n")
                                << QByteArray("[CD-ROM]\r\nnActive=0\r\n");
    QTest::newRow("header last without line end")
        << QByteArray("[CD-ROM]") << QByteArray("[CD-ROM]\nnActive=0\n");
    QTest::newRow("comment naming the key is left")
        << QByteArray("[CD-ROM]\n;nActive=5\n") << QByteArray("[CD-ROM]\nnActive=0\n;nActive=5\n");
}

void tst_CDIn::setIniValue()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    QCOMPARE(SetIniValue(text, "CD-ROM", "nActive", "0"), expected);
}

void tst_CDIn::framesToMsf_data()
{
    QTest::addColumn<uint>("frames");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("frame");
    QTest::newRow("zero") << 0u << 0 << 0 << 0;
    QTest::newRow("74 frames") << 74u << 0 << 0 << 74;
    QTest::newRow("one second") << 75u << 0 << 1 << 0;
    QTest::newRow("0:02:00") << 150u << 0 << 2 << 0;
    QTest::newRow("one minute") << 4500u << 1 << 0 << 0;
    QTest::newRow("59:59:74") << 269999u << 59 << 59 << 74;
    QTest::newRow("61:05:38") << 274913u << 61 << 5 << 38;
    QTest::newRow("over 99 minutes") << 120u * 4500u + 75u << 120 << 1 << 0;
}

void tst_CDIn::framesToMsf()
{
    QFETCH(uint, frames);
    QFETCH(int, minutes);
    QFETCH(int, seconds);
    QFETCH(int, frame);
    const TTrackTime t = FramesToMSF(frames);
    QCOMPARE(int(t.Minutes), minutes);
    QCOMPARE(int(t.Seconds), seconds);
    QCOMPARE(int(t.Frames), frame);
    QCOMPARE(MSFToFrames(t), uint32_t(frames));
}

void tst_CDIn::trackKindOfFlag_data()
{
    QTest::addColumn<int>("flag");
    QTest::addColumn<int>("kind");
    QTest::newRow("audio 0x10") << 0x10 << int(ctAudio);
    QTest::newRow("pre-emphasis 0x11") << 0x11 << int(ctAudio);
    QTest::newRow("copy permitted 0x12") << 0x12 << int(ctAudio);
    QTest::newRow("both 0x13") << 0x13 << int(ctAudio);
    QTest::newRow("four channels 0x18") << 0x18 << int(ctAudio);
    QTest::newRow("data 0x14") << 0x14 << int(ctData);
    QTest::newRow("data without ADR 0x04") << 0x04 << int(ctData);
    QTest::newRow("data copy permitted 0x16") << 0x16 << int(ctData);
}

void tst_CDIn::trackKindOfFlag()
{
    QFETCH(int, flag);
    QFETCH(int, kind);
    QCOMPARE(int(TrackKindOfFlag(uint8_t(flag))), kind);
}

void tst_CDIn::drives()
{
    const DiscGen::WrittenDisc a = writeDisc(audioDisc({75}), "drive-a", false);
    const DiscGen::WrittenDisc b = writeDisc(audioDisc({75, 75}), "drive-b", false);
    auto in = inputOver({QString::fromStdString(a.cuePath), QString::fromStdString(b.cuePath)});
    QCOMPARE(in->GetDriveCount(), m_realDrives + 2);
    QCOMPARE(in->CurrentDrive(), m_realDrives);
    QCOMPARE(in->GetDriveName(), QString("drive-a.cue"));
    in->SetCurrentDrive(m_realDrives + 1);
    QCOMPARE(in->GetDriveName(), QString("drive-b.cue"));
    QCOMPARE(in->GetTrackCount(), 2);
    // Not a drive: ignored without a message.
    in->SetCurrentDrive(m_realDrives + 5);
    in->SetCurrentDrive(-1);
    QCOMPARE(in->CurrentDrive(), m_realDrives + 1);
    QCOMPARE(in->GetDriveStatus(), dsReady);
    // An image has no tray; the disc stays.
    in->EjectDisc();
    in->CloseDiscTray();
    QCOMPARE(in->GetTrackCount(), 2);
}

void tst_CDIn::trackInfo_data()
{
    QTest::addColumn<QString>("layout");
    for (const QString &name : DiscLayouts::names())
        QTest::newRow(qPrintable(name)) << name;
}

void tst_CDIn::trackInfo()
{
    QFETCH(QString, layout);
    const DiscGen::DiscSpec plan = DiscLayouts::plan(layout);
    const DiscGen::WrittenDisc disc = writeDisc(plan, "info", false);
    auto in = inputOver({QString::fromStdString(disc.cuePath)});
    const int n = int(plan.tracks.size());
    QCOMPARE(in->GetTrackCount(), n);
    for (int t = 1; t <= n; ++t) {
        const DiscGen::TrackLayout &l = disc.layout.tracks[size_t(t - 1)];
        const TTrackEntryInfo info = in->GetTrackInfo(t);
        QCOMPARE(MSFToFrames(info.Length), l.readEnd - l.start);
        QCOMPARE(info.TrackKind, plan.tracks[size_t(t - 1)].data ? ctData : ctAudio);
    }
    for (int bad : {0, -1, n + 1}) {
        try {
            in->GetTrackInfo(bad);
            QFAIL("no exception");
        } catch (const EPcmException &e) {
            QCOMPARE(e.message(), QString("Track out of range."));
        }
    }
}

void tst_CDIn::readsWholeTracks_data()
{
    trackInfo_data();
}

void tst_CDIn::readsWholeTracks()
{
    QFETCH(QString, layout);
    const DiscGen::DiscSpec plan = DiscLayouts::plan(layout);
    const DiscGen::WrittenDisc disc = writeDisc(plan, "whole");
    auto in = inputOver({QString::fromStdString(disc.cuePath)});
    QCOMPARE(in->BitsPerSample(), 16);
    QCOMPARE(in->Channels(), 2);
    QCOMPARE(in->SampleRate(), 44100);

    const int n = int(plan.tracks.size());
    QByteArray all;
    for (int t = 1; t <= n; ++t) {
        in->SetStartTrack(t);
        in->SetEndTrack(t);
        QCOMPARE(in->Size(), 0);
        in->BeginRead();
        const QByteArray expected = readFile(QString::fromStdString(disc.trackFiles[size_t(t - 1)]));
        QCOMPARE(in->Size(), int32_t(expected.size()));
        // The window may ask about the drive during a rip.
        QCOMPARE(in->GetTrackCount(), n);
        const QByteArray got = readAll(*in, t % 2 ? 16384 : 1000);
        QCOMPARE(in->Position(), int32_t(expected.size()));
        in->EndRead();
        QCOMPARE(in->Size(), 0);
        QVERIFY2(got == expected, qPrintable(QString("track %1 differs").arg(t)));
        all += got;
    }
    in->SetStartTrack(1);
    in->SetEndTrack(n);
    in->BeginRead();
    QCOMPARE(in->Size(), int32_t(all.size()));
    QVERIFY(readAll(*in, 65536) == all);
    in->EndRead();
}

void tst_CDIn::readsLongTrack()
{
    // 61:05:38 of audio, compared as it streams (the image is 650 MB).
    const DiscGen::WrittenDisc disc = writeDisc(audioDisc({274913}), "long");
    auto in = inputOver({QString::fromStdString(disc.cuePath)});
    const TTrackEntryInfo info = in->GetTrackInfo(1);
    QCOMPARE(int(info.Length.Minutes), 61);
    QCOMPARE(int(info.Length.Seconds), 5);
    QCOMPARE(int(info.Length.Frames), 38);

    in->SetStartTrack(1);
    in->SetEndTrack(1);
    in->BeginRead();
    QCOMPARE(in->Size(), int32_t(274913 * 2352));
    QFile expected(QString::fromStdString(disc.trackFiles[0]));
    QVERIFY(expected.open(QIODevice::ReadOnly));
    QByteArray buffer(16384, '\0');
    qint64 total = 0;
    for (;;) {
        const int32_t n = in->ReadData(buffer.data(), buffer.size());
        if (n == 0)
            break;
        const QByteArray want = expected.read(n);
        if (want != buffer.left(n))
            QFAIL(qPrintable(QString("differs near byte %1").arg(total)));
        total += n;
    }
    QCOMPARE(total, expected.size());
    in->EndRead();
    expected.close();
    QFile::remove(QString::fromStdString(disc.binPath));
    QFile::remove(QString::fromStdString(disc.trackFiles[0]));
}

static QString messageOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const EPcmException &e) {
        return e.message();
    }
    return QStringLiteral("no exception");
}

void tst_CDIn::stateMessages()
{
    const DiscGen::WrittenDisc disc = writeDisc(audioDisc({100, 200, 300}), "state", false);
    auto in = inputOver({QString::fromStdString(disc.cuePath)});
    char buffer[64];

    QCOMPARE(messageOf([&] { in->ReadData(buffer, sizeof buffer); }),
             QString("The Stream is not opened"));

    in->SetStartTrack(0);
    in->SetEndTrack(1);
    QCOMPARE(messageOf([&] { in->BeginRead(); }), QString("The start track out of range"));
    in->SetStartTrack(4);
    QCOMPARE(messageOf([&] { in->BeginRead(); }), QString("The start track out of range"));
    in->SetStartTrack(1);
    in->SetEndTrack(4);
    QCOMPARE(messageOf([&] { in->BeginRead(); }), QString("The end track out of range"));
    QVERIFY(!in->IsBusy());
    // An end before the start would read backwards.
    in->SetStartTrack(3);
    in->SetEndTrack(1);
    QCOMPARE(messageOf([&] { in->BeginRead(); }), QString("The end track out of range"));
    QVERIFY(!in->IsBusy());

    // The last track reads to the lead-out.
    in->SetStartTrack(3);
    in->SetEndTrack(3);
    in->BeginRead();
    QCOMPARE(in->Size(), 300 * 2352);
    QCOMPARE(messageOf([&] { in->SetStartTrack(1); }), QString("The component is buisy"));
    QCOMPARE(messageOf([&] { in->SetEndTrack(1); }), QString("The component is buisy"));
    QCOMPARE(messageOf([&] { in->EjectDisc(); }), QString("The component is buisy"));
    QCOMPARE(messageOf([&] { in->BeginRead(); }), QString("The component is buisy"));
    QCOMPARE(in->StartTrack(), 3);
    QCOMPARE(in->EndTrack(), 3);
    QCOMPARE(in->ReadData(buffer, sizeof buffer), int32_t(sizeof buffer));
    in->EndRead();
    QVERIFY(!in->IsBusy());
    QCOMPARE(messageOf([&] { in->ReadData(buffer, sizeof buffer); }),
             QString("The Stream is not opened"));
}

void tst_CDIn::notReady()
{
    const DiscGen::WrittenDisc disc = writeDisc(audioDisc({100}), "ready", false);
    auto in = inputOver({QString::fromStdString(disc.cuePath), m_discs.filePath("gone.cue")});
    // A drive chosen during a read takes over only once the read is closed.
    in->SetStartTrack(1);
    in->SetEndTrack(1);
    in->BeginRead();
    in->SetCurrentDrive(m_realDrives + 1);
    QCOMPARE(in->CurrentDrive(), m_realDrives + 1);
    QCOMPARE(in->GetDriveName(), QString("ready.cue"));
    {
        // Another CD input made and used meanwhile disturbs neither the
        // read nor this input's view of its drive.
        TCDIn other;
        other.SetCurrentDrive(m_realDrives + 1);
        QCOMPARE(other.GetDriveStatus(), dsNotReady);
    }
    QCOMPARE(in->GetDriveName(), QString("ready.cue"));
    QCOMPARE(in->GetTrackCount(), 1);
    QCOMPARE(readAll(*in, 4096).size(), 100 * 2352);
    in->EndRead();
    QCOMPARE(in->GetDriveName(), QString("gone.cue"));

    QCOMPARE(in->GetDriveStatus(), dsNotReady);
    QCOMPARE(in->GetTrackCount(), -1);
    QCOMPARE(messageOf([&] { in->BeginRead(); }), QString("The drive is not ready"));
    QCOMPARE(messageOf([&] { in->GetTrackInfo(1); }), QString("Track out of range."));
}

void tst_CDIn::brokenImageIsNotReady_data()
{
    QTest::addColumn<QString>("kind");
    for (const QString &kind : DiscLayouts::brokenImageKinds())
        QTest::newRow(qPrintable(kind)) << kind;
}

void tst_CDIn::brokenImageIsNotReady()
{
    // Once the program ended on the first, froze on the second and listed
    // empty tracks for the others.
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString fifo;
    const QString cue = DiscLayouts::writeBrokenImage(dir.path(), kind, fifo);
    QVERIFY(!cue.isEmpty());
    auto in = inputOver({cue});
    TDriveStatus status = dsReady;
    int32_t tracks = 0;
    QString message;
    QVERIFY(DiscLayouts::returnsPromptly(
        [&] {
            status = in->GetDriveStatus();
            tracks = in->GetTrackCount();
            in->SetStartTrack(1);
            in->SetEndTrack(1);
            message = messageOf([&] { in->BeginRead(); });
        },
        fifo));
    QCOMPARE(status, dsNotReady);
    QCOMPARE(tracks, -1);
    QCOMPARE(message, QString("The drive is not ready"));
    QVERIFY(!in->IsBusy());
}

void tst_CDIn::readErrorNamesTrackAndPosition_data()
{
    QTest::addColumn<int>("track");
    QTest::addColumn<int>("keep"); // sectors of the BIN left readable
    QTest::addColumn<QString>("message");
    QTest::newRow("second track, 1 s 5 frames in")
        << 2 << 1000 + 80 << "Read error in track 2 at 00:01:05";
    QTest::newRow("first sector of the disc") << 1 << 0 << "Read error in track 1 at 00:00:00";
    QTest::newRow("reading three tracks, fails in the third")
        << 0 << 1600 + 75 * 62 + 17 << "Read error in track 3 at 01:02:17";
    // Fewer bad sectors than a read goes on past, at the disc's end: each
    // is named, and the read still fails.
    QStringList last;
    for (int frame = 65; frame < 75; ++frame)
        last << QString("01:09:%1").arg(frame);
    QTest::newRow("ten bad sectors read through")
        << 3 << 1600 + 75 * 70 - 10
        << "Track 3: read with 10 uncorrectable errors at " + last.join(", ");
}

void tst_CDIn::readErrorNamesTrackAndPosition()
{
    QFETCH(int, track);
    QFETCH(int, keep);
    QFETCH(QString, message);
    const DiscGen::WrittenDisc disc = writeDisc(audioDisc({1000, 600, 75 * 70}), "broken");
    auto in = inputOver({QString::fromStdString(disc.cuePath)});
    in->SetStartTrack(track ? track : 1);
    in->SetEndTrack(track ? track : 3);
    in->BeginRead();
    // The disc fails after its table of contents was read.
    QCOMPARE(::truncate(disc.binPath.c_str(), off_t(keep) * 2352), 0);

    const int first = track ? track - 1 : 0;
    QByteArray expected;
    for (int t = first; t < (track ? track : 3); ++t)
        expected += readFile(QString::fromStdString(disc.trackFiles[size_t(t)]));
    QByteArray got;
    QByteArray buffer(16384, '\0');
    QString error = "no exception";
    try {
        for (int32_t n = -1; n != 0;) {
            n = in->ReadData(buffer.data(), buffer.size());
            got.append(buffer.constData(), n);
        }
    } catch (const EPcmException &e) {
        error = e.message();
    }
    QCOMPARE(error, message);
    // What came before the bad sector is right; past it the read went on
    // for at most the sectors it reads through, and its end never came.
    const int good = (keep - int(disc.layout.tracks[size_t(first)].start)) * 2352;
    QVERIFY(got.size() <= good + TCDIn::ReadThroughSectors * 2352);
    QVERIFY(got.size() < expected.size());
    QVERIFY(expected.startsWith(got.left(good)));
    in->EndRead();
}

void tst_CDIn::ripThroughSink()
{
    // A sink's worker reads the input, as the writers do; a disc that turns
    // unreadable during the copy ends the run with the read error, not OnDone.
    const DiscGen::WrittenDisc disc = writeDisc(audioDisc({300, 75 * 70}), "sink");
    auto in = inputOver({QString::fromStdString(disc.cuePath)});
    TMemoryOutput out;
    out.SetInput(in.get());
    std::atomic<int> done{0};
    std::atomic<int> failed{0};
    std::atomic<bool> truncated{false};
    QString error;
    out.OnDone = [&](TPcmOutput *) { ++done; };
    out.OnThreadException = [&](TPcmOutput *, const std::exception &e) {
        error = QString::fromUtf8(e.what());
        ++failed;
    };

    in->SetStartTrack(1);
    in->SetEndTrack(1);
    out.StartOutput();
    QTRY_COMPARE_WITH_TIMEOUT(done.load() + failed.load(), 1, 30000);
    QCOMPARE(done.load(), 1);
    QVERIFY(out.data() == readFile(QString::fromStdString(disc.trackFiles[0])));
    QVERIFY(!in->IsBusy());

    // The first progress event comes within the first second read.
    out.OnProgress = [&](TPcmOutput *) {
        if (!truncated.exchange(true))
            ::truncate(disc.binPath.c_str(), off_t(300 + 2000) * 2352);
    };
    done = 0;
    in->SetStartTrack(2);
    in->SetEndTrack(2);
    out.StartOutput();
    QTRY_COMPARE_WITH_TIMEOUT(done.load() + failed.load(), 1, 30000);
    QCOMPARE(failed.load(), 1);
    QCOMPARE(error, QString("Read error in track 2 at 00:26:50"));
    QVERIFY(!in->IsBusy());
}

void tst_CDIn::readOffsetShiftsTheDisc_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("offset");
    for (const char *layout : {"pregaps", "data track last", "data track first"}) {
        for (int k : {1, 5, 588, 667, 3000}) {
            QTest::addRow("%s, +%d", layout, k) << QString(layout) << k;
            QTest::addRow("%s, -%d", layout, k) << QString(layout) << -k;
        }
    }
}

void tst_CDIn::readOffsetShiftsTheDisc()
{
    // Sample i of each track read with offset k is sample i + k of the disc;
    // the samples before the disc's first audio sector and after its last
    // are silence.
    QFETCH(QString, layout);
    QFETCH(int, offset);
    const DiscGen::DiscSpec plan = DiscLayouts::plan(layout);
    const DiscGen::WrittenDisc disc = writeDisc(plan, "offset", false);
    const QByteArray image = readFile(QString::fromStdString(disc.binPath));
    auto in = inputOver({QString::fromStdString(disc.cuePath)});
    in->SetReadOffset(offset);
    QCOMPARE(in->ReadOffset(), offset);

    // The audio's bytes in the image: a data track at either end is not audio.
    const auto &tracks = disc.layout.tracks;
    const qint64 audioFrom = plan.tracks.front().data ? qint64(tracks[1].start) * 2352 : 0;
    const qint64 audioTo = plan.tracks.back().data ? qint64(tracks.back().start) * 2352
                                                   : image.size();
    for (size_t t = 0; t < plan.tracks.size(); ++t) {
        if (plan.tracks[t].data)
            continue;
        const qint64 from = qint64(tracks[t].start) * 2352;
        const qint64 to = qint64(tracks[t].readEnd) * 2352;
        QByteArray expected(int(to - from), '\0');
        for (qint64 at = from; at < to; at += 4) {
            const qint64 source = at + 4 * qint64(offset);
            if (source >= audioFrom && source < audioTo)
                memcpy(expected.data() + (at - from), image.constData() + source, 4);
        }
        in->SetStartTrack(int(t + 1));
        in->SetEndTrack(int(t + 1));
        in->BeginRead();
        QCOMPARE(in->Size(), int32_t(to - from));
        const QByteArray got = readAll(*in, t % 2 ? 7000 : 65536);
        in->EndRead();
        QVERIFY2(got == expected, qPrintable(QString("track %1 differs").arg(t + 1)));
    }
}

void tst_CDIn::readOffsetRules()
{
    const DiscGen::WrittenDisc disc = writeDisc(audioDisc({300, 300}), "offsetrules", false);
    auto in = inputOver({QString::fromStdString(disc.cuePath)});
    QCOMPARE(in->ReadOffset(), 0);
    in->SetReadOffset(-3000);
    in->SetReadOffset(3001);
    in->SetReadOffset(-3001);
    QCOMPARE(in->ReadOffset(), -3000);
    in->SetReadOffset(3000);
    QCOMPARE(in->ReadOffset(), 3000);

    in->SetStartTrack(1);
    in->SetEndTrack(1);
    in->BeginRead();
    QVERIFY_THROWS_EXCEPTION(EPcmException, in->SetReadOffset(0));
    QCOMPARE(in->ReadOffset(), 3000);
    in->EndRead();
}

void tst_CDIn::tapSeesWhatTheSinkGets()
{
    // The checksums taken on the way are those of the bytes the writer got,
    // for a read with an offset and pieces that split samples.
    const DiscGen::WrittenDisc disc = writeDisc(audioDisc({80, 200, 90}), "tap", false);
    auto in = inputOver({QString::fromStdString(disc.cuePath)});
    in->SetReadOffset(-7);
    TTrackChecksummer tap(200 * 588, TTrackPlace{});
    in->SetTap(&tap);
    in->SetStartTrack(2);
    in->SetEndTrack(2);
    in->BeginRead();
    QVERIFY_THROWS_EXCEPTION(EPcmException, in->SetTap(nullptr));
    const QByteArray got = readAll(*in, 1001);
    in->EndRead();
    in->SetTap(nullptr);

    QVERIFY(tap.Complete());
    TTrackChecksummer direct(200 * 588, TTrackPlace{});
    direct.PcmDelivered(reinterpret_cast<const uint8_t *>(got.constData()), int32_t(got.size()));
    QCOMPARE(tap.Result().Crc32, direct.Result().Crc32);
    QCOMPARE(tap.Result().AccurateRipV1, direct.Result().AccurateRipV1);
    QCOMPARE(tap.Result().AccurateRipV2, direct.Result().AccurateRipV2);
}

void tst_CDIn::missingLibrary()
{
    const QString helper = binDir() + "/cdinput-noload-helper";
    auto runHelper = [&](const QString &libraryPath) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("LD_LIBRARY_PATH");
        if (!libraryPath.isEmpty())
            env.insert("LD_LIBRARY_PATH", libraryPath);
        env.insert("XDG_CONFIG_HOME", m_config.path());
        p.setProcessEnvironment(env);
        p.start(helper, {});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    };
    // The helper has no path to our libraries of its own.
    QCOMPARE(runHelper({}), QString("libcdrip.so could not be loaded."));
    QCOMPARE(runHelper(libDir()), QString("loaded"));
    // A library without CR_RipChunk is refused, not called through null.
    QCOMPARE(runHelper(INCOMPLETE_CDRIP_DIR), QString("libcdrip.so could not be loaded."));
}

void tst_CDIn::shutdownReleasesLibrary()
{
    {
        TCDIn in;
    }
    QVERIFY(CDRipLoaded());
    auto stillLoaded = [] {
        void *handle = dlopen(CDRipLibraryFileName, RTLD_LAZY | RTLD_NOLOAD);
        if (handle)
            dlclose(handle);
        return handle != nullptr;
    };
    QVERIFY(stillLoaded());
    UnloadCDRipLibrary();
    QVERIFY(!CDRipLoaded());
    QVERIFY(!stillLoaded());
    UnloadCDRipLibrary(); // the exit-time guard runs it again: harmless

    // A later construction loads and initialises afresh.
    const DiscGen::WrittenDisc disc = writeDisc(audioDisc({75}), "reload", false);
    auto again = inputOver({QString::fromStdString(disc.cuePath)});
    QVERIFY(CDRipLoaded());
    QCOMPARE(again->GetDriveCount(), m_realDrives + 1);
    QCOMPARE(again->GetTrackCount(), 1);
}

QTEST_GUILESS_MAIN(tst_CDIn)
#include "tst_cdinput.moc"
