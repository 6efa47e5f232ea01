#include "libs/cdrip/cdrip.h"
#include "tests/support/disclayouts.h"
#include "tests/support/testsupport.h"

#include <cdio/logging.h>

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

#include <unistd.h>

using namespace TestSupport;

class tst_CdRip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void settings_data();
    void settings();
    void unreadableSettings_data();
    void unreadableSettings();
    void tableOfContents_data();
    void tableOfContents();
    void generatedPregap();
    void readsEveryTrack_data();
    void readsEveryTrack();
    void readsAnyAudioExactly_data();
    void readsAnyAudioExactly();
    void reportsUnreadableSector_data();
    void reportsUnreadableSector();
    void libcdioErrorsEndNothing();
    void brokenImageIsNoDisc_data();
    void brokenImageIsNoDisc();
    void refusesBadCalls();
    void imageDriveQueries();
    void ripUndisturbedByQueries();

private:
    // Writes cdr.ini and initialises; returns the index of the first image.
    int initWith(const QByteArray &ini);
    QByteArray readRange(int32_t start, int32_t end, int32_t bufferSize, int32_t *failure = nullptr);

    QTemporaryDir m_dir;
    int m_realDrives = 0;
};

void tst_CdRip::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QCOMPARE(CR_Init(nullptr), int32_t(CR_ERR_FAILED));
    m_realDrives = CR_GetNumCDROM();
}

void tst_CdRip::cleanupTestCase()
{
    CR_DeInit();
    QCOMPARE(CR_GetNumCDROM(), 0);
}

namespace {

int loggedMessages = 0;
void countLogged(cdio_log_level_t, const char *)
{
    ++loggedMessages;
}

} // namespace

int tst_CdRip::initWith(const QByteArray &ini)
{
    const QString path = m_dir.filePath("cdr.ini");
    if (!DiscLayouts::writeText(path, ini))
        qFatal("cannot write %s", qPrintable(path));
    CR_Init(QFile::encodeName(path).constData());
    return m_realDrives;
}

QByteArray tst_CdRip::readRange(int32_t start, int32_t end, int32_t bufferSize, int32_t *failure)
{
    QByteArray out;
    int32_t size = bufferSize;
    if (CR_OpenRipper(&size, start, end) != CR_OK)
        return "open failed";
    QByteArray chunk(size, '\0');
    int32_t abort = 0;
    for (;;) {
        int32_t n = -1;
        const int32_t rc = CR_RipChunk(reinterpret_cast<uint8_t *>(chunk.data()), &n, &abort);
        if (rc != CR_OK) {
            if (failure)
                *failure = rc;
            break;
        }
        if (n == 0 || n > size)
            break;
        out.append(chunk.constData(), n);
    }
    CR_CloseRipper();
    return out;
}

void tst_CdRip::settings_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("active");

    QTest::newRow("two images in file order")
        << QByteArray("[CD-ROM]\nnActive=0\n[Images]\nImage2=/x/b.cue\nImage1=/x/a.cue\n")
        << QStringList{"b.cue", "a.cue"} << 0;
    QTest::newRow("any keys, CR LF, comments, quotes, blanks") << QByteArray(
        "; drives\r\n[images]\r\n  first = /x/one disc.cue \r\n# no\r\nz=\"/y/two.toc\"\r\n"
        "[Other]\r\nImage3=/x/not.cue\r\n") << QStringList{"one disc.cue", "two.toc"}
                                                               << 0;
    QTest::newRow("active drive from the file")
        << QByteArray("[CD-ROM]\nnActive=1\n[Images]\nA=/x/a.cue\nB=/x/b.cue\n")
        << QStringList{"a.cue", "b.cue"} << 1;
    QTest::newRow("active drive out of range")
        << QByteArray("[CD-ROM]\nnActive=7\n[Images]\nA=/x/a.cue\n") << QStringList{"a.cue"} << 0;
    QTest::newRow("no images") << QByteArray("[CD-ROM]\nnActive=0\n") << QStringList{} << 0;
    QTest::newRow("a name of more than 255 characters is cut")
        << QByteArray("[Images]\nA=/x/" + QByteArray(300, 'n') + "\n")
        << QStringList{QString(255, 'n')} << 0;
}

void tst_CdRip::settings()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, names);
    QFETCH(int, active);

    const int first = initWith(ini);
    QCOMPARE(CR_GetNumCDROM(), first + names.size());
    QCOMPARE(CR_GetActiveCDROM(), names.isEmpty() ? 0 : first + active);
    for (int i = 0; i < names.size(); ++i) {
        QCOMPARE(CR_SetActiveCDROM(first + i), int32_t(CR_OK));
        CR_CdromParameters record;
        std::memset(&record, 0x7f, sizeof record);
        QCOMPARE(CR_GetCDROMParameters(&record), int32_t(CR_OK));
        QVERIFY(qstrnlen(record.id, 256) <= 255);
        QCOMPARE(QString::fromUtf8(record.id), names[i]);
    }
}

void tst_CdRip::unreadableSettings_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("no path") << "none";
    QTest::newRow("missing file") << "missing";
    QTest::newRow("a folder") << "folder";
    QTest::newRow("a FIFO") << "fifo";
}

void tst_CdRip::unreadableSettings()
{
    QFETCH(QString, kind);
    const QString path = m_dir.filePath("settings-" + kind);
    if (kind == "folder")
        QVERIFY(QDir().mkpath(path));
    else if (kind == "fifo")
        QVERIFY(DiscLayouts::makeFifo(path));
    const QByteArray name = QFile::encodeName(path);
    int32_t rc = CR_OK;
    QVERIFY(DiscLayouts::returnsPromptly(
        [&] { rc = CR_Init(kind == "none" ? nullptr : name.constData()); }, path));
    QCOMPARE(rc, int32_t(CR_ERR_FAILED));
    // The machine's drives are there all the same.
    QCOMPARE(CR_GetNumCDROM(), m_realDrives);
}

void tst_CdRip::tableOfContents_data()
{
    QTest::addColumn<QString>("layout");
    for (const QString &name : DiscLayouts::names())
        QTest::newRow(qPrintable(name)) << name;
}

void tst_CdRip::tableOfContents()
{
    QFETCH(QString, layout);
    const DiscGen::DiscSpec plan = DiscLayouts::plan(layout);
    const DiscGen::WrittenDisc disc = DiscGen::writeDisc(plan,
                                                         m_dir.path().toStdString(),
                                                         "toc",
                                                         false);
    const int drive = initWith(DiscLayouts::imagesSection({QString::fromStdString(disc.cuePath)}));
    QCOMPARE(CR_SetActiveCDROM(drive), int32_t(CR_OK));

    QCOMPARE(CR_ReadToc(), int32_t(CR_OK));
    const int n = int(plan.tracks.size());
    QCOMPARE(CR_GetNumTocEntries(), n);
    for (int i = 0; i < n; ++i) {
        const CR_TocEntry e = CR_GetTocEntry(i);
        QCOMPARE(e.startSector, disc.layout.tracks[size_t(i)].start);
        QCOMPARE(int(e.trackNumber), i + 1);
        QCOMPARE(int(e.flags), int(DiscLayouts::flagByte(plan.tracks[size_t(i)])));
    }
    const CR_TocEntry leadOut = CR_GetTocEntry(n);
    QCOMPARE(leadOut.startSector, disc.layout.totalFrames);
    QCOMPARE(int(leadOut.trackNumber), 0xAA);
    const CR_TocEntry beyond = CR_GetTocEntry(n + 1);
    QCOMPARE(beyond.startSector, 0u);
    QCOMPARE(int(beyond.flags), 0);
}

void tst_CdRip::generatedPregap()
{
    // libcdio leaves a sheet's PREGAP out of every position; the disc the
    // sheet describes holds its silence before INDEX 01, and every track
    // after it starts later.
    const DiscGen::DiscSpec plan = DiscLayouts::plan("lengths ending in 37 and 38 frames");
    const DiscGen::WrittenDisc disc = DiscGen::writeDisc(plan,
                                                         m_dir.path().toStdString(),
                                                         "pregap",
                                                         false);
    const QString cuePath = QString::fromStdString(disc.cuePath);
    QByteArray sheet = readFile(cuePath);
    const QByteArray two = "  TRACK 02 ";
    const int at = int(sheet.indexOf('\n', sheet.indexOf(two))) + 1;
    QVERIFY(at > 0);
    sheet.insert(at, "    PREGAP 00:00:10\r\n");
    QVERIFY(DiscLayouts::writeText(cuePath, sheet));
    const int drive = initWith(DiscLayouts::imagesSection({cuePath}));
    QCOMPARE(CR_SetActiveCDROM(drive), int32_t(CR_OK));
    QCOMPARE(CR_ReadToc(), int32_t(CR_OK));
    const int n = int(plan.tracks.size());
    for (int i = 0; i < n; ++i)
        QCOMPARE(CR_GetTocEntry(i).startSector, disc.layout.tracks[size_t(i)].start + (i ? 10 : 0));
    QCOMPARE(CR_GetTocEntry(n).startSector, disc.layout.totalFrames + 10);
    QCOMPARE(CR_GetTrackEnd(0), int32_t(disc.layout.tracks[1].start + 10));

    // Track 1's end, the silence, then track 2 as the image holds it.
    const uint32_t second = disc.layout.tracks[1].start;
    const QByteArray bin = readFile(QString::fromStdString(disc.binPath));
    const QByteArray read = readRange(int32_t(second - 2), int32_t(second + 10 + 3), 8 * 2352);
    QCOMPARE(read.size(), 15 * 2352);
    QVERIFY(read.left(2 * 2352) == bin.mid(int(second - 2) * 2352, 2 * 2352));
    QVERIFY(read.mid(2 * 2352, 10 * 2352) == QByteArray(10 * 2352, '\0'));
    QVERIFY(read.mid(12 * 2352) == bin.mid(int(second) * 2352, 3 * 2352));

    int32_t positions[8] = {};
    QCOMPARE(CR_GetImageIndexes(drive, 2, positions, 8), 2);
    QCOMPARE(positions[0], int32_t(second));
    QCOMPARE(positions[1], int32_t(second + 10));
}

void tst_CdRip::readsEveryTrack_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<bool>("paranoia");
    for (const QString &name : DiscLayouts::names()) {
        QTest::newRow(qPrintable(name + ", paranoia")) << name << true;
        QTest::newRow(qPrintable(name + ", direct")) << name << false;
    }
}

void tst_CdRip::readsEveryTrack()
{
    QFETCH(QString, layout);
    QFETCH(bool, paranoia);
    const DiscGen::DiscSpec plan = DiscLayouts::plan(layout);
    const DiscGen::WrittenDisc disc = DiscGen::writeDisc(plan,
                                                         m_dir.path().toStdString(),
                                                         "rip",
                                                         true);
    const int drive = initWith(DiscLayouts::imagesSection({QString::fromStdString(disc.cuePath)})
                               + (paranoia ? "" : "[Reading]\nParanoia=0\n"));
    QCOMPARE(CR_SetActiveCDROM(drive), int32_t(CR_OK));

    QByteArray whole;
    for (size_t i = 0; i < plan.tracks.size(); ++i) {
        const DiscGen::TrackLayout &t = disc.layout.tracks[i];
        const QByteArray expected = readFile(QString::fromStdString(disc.trackFiles[i]));
        QCOMPARE(expected.size(), int((t.readEnd - t.start) * 2352));
        // An odd buffer size: chunks are whole sectors all the same.
        const QByteArray got = readRange(int32_t(t.start), int32_t(t.readEnd), 7 * 2352 + 100);
        QVERIFY2(got == expected, qPrintable(QString("track %1 differs").arg(i + 1)));
        whole += got;
    }
    // One range over every track, in one-second chunks, as a rip of all tracks reads it.
    QCOMPARE(readRange(0, int32_t(disc.layout.totalFrames), 176400), whole);
}

void tst_CdRip::readsAnyAudioExactly_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("dataFirst");
    QTest::addColumn<bool>("motorola");
    QTest::addColumn<bool>("paranoia");
    // Audio that does not sound like music once fooled cdparanoia into
    // swapping the bytes of every sample, and a data track did too.
    for (const char *content : {"random", "square", "silence"}) {
        for (bool dataFirst : {true, false}) {
            for (bool paranoia : {true, false}) {
                QTest::addRow("%s, data track %s, %s",
                              content,
                              dataFirst ? "first" : "last",
                              paranoia ? "paranoia" : "direct")
                    << content << dataFirst << false << paranoia;
            }
        }
    }
    for (const char *content : {"tones", "random"}) {
        for (bool paranoia : {true, false}) {
            QTest::addRow("MOTOROLA, %s, %s", content, paranoia ? "paranoia" : "direct")
                << content << true << true << paranoia;
        }
    }
}

void tst_CdRip::readsAnyAudioExactly()
{
    QFETCH(QString, content);
    QFETCH(bool, dataFirst);
    QFETCH(bool, motorola);
    QFETCH(bool, paranoia);
    DiscGen::DiscSpec plan = audioDisc({200, 150});
    for (DiscGen::TrackSpec &t : plan.tracks)
        t.content = DiscGen::parseContent(content.toStdString());
    DiscGen::TrackSpec data;
    data.frames = 100;
    data.data = true;
    plan.tracks.insert(dataFirst ? plan.tracks.begin() : plan.tracks.end(), data);
    plan.motorola = motorola;
    const DiscGen::WrittenDisc disc = makeDisc(m_dir.path(), plan, "any");
    const int drive = initWith(DiscLayouts::imagesSection({QString::fromStdString(disc.cuePath)})
                               + (paranoia ? "" : "[Reading]\nParanoia=0\n"));
    QCOMPARE(CR_SetActiveCDROM(drive), int32_t(CR_OK));

    // Every reading must give the same bytes: a wrong guess was not made every time.
    for (int round = 1; round <= 3; ++round) {
        for (size_t i = 0; i < plan.tracks.size(); ++i) {
            if (plan.tracks[i].data)
                continue;
            const DiscGen::TrackLayout &t = disc.layout.tracks[i];
            const QByteArray got = readRange(int32_t(t.start), int32_t(t.readEnd), 176400);
            QVERIFY2(got == readFile(QString::fromStdString(disc.trackFiles[i])),
                     qPrintable(QString("track %1 differs in round %2").arg(i + 1).arg(round)));
        }
    }
}

void tst_CdRip::reportsUnreadableSector_data()
{
    QTest::addColumn<bool>("paranoia");
    QTest::addColumn<int>("cut"); // sectors the BIN keeps
    QTest::newRow("paranoia, mid-chunk") << true << 1000 + 110;
    QTest::newRow("direct, mid-chunk") << false << 1000 + 110;
    QTest::newRow("paranoia, chunk boundary") << true << 1000 + 150;
    QTest::newRow("direct, half a sector") << false << 1000 + 20;
}

void tst_CdRip::reportsUnreadableSector()
{
    QFETCH(bool, paranoia);
    QFETCH(int, cut);
    const DiscGen::DiscSpec plan = audioDisc({1000, 600});
    const DiscGen::WrittenDisc disc = DiscGen::writeDisc(plan,
                                                         m_dir.path().toStdString(),
                                                         "bad",
                                                         true);
    const int drive = initWith(DiscLayouts::imagesSection({QString::fromStdString(disc.cuePath)})
                               + (paranoia ? "" : "[Reading]\nParanoia=0\n"));
    QCOMPARE(CR_SetActiveCDROM(drive), int32_t(CR_OK));

    int32_t size = 75 * 2352;
    QCOMPARE(CR_OpenRipper(&size, 1000, 1600), int32_t(CR_OK));
    // The disc becomes unreadable from sector `cut` on after the table was read.
    const bool halfSector = QByteArray(QTest::currentDataTag()).contains("half");
    QCOMPARE(::truncate(disc.binPath.c_str(), off_t(cut) * 2352 + (halfSector ? 1000 : 0)), 0);

    const QByteArray expected = readFile(QString::fromStdString(disc.trackFiles[1]));
    QByteArray got;
    QByteArray chunk(size, '\0');
    int32_t abort = 0;
    int32_t rc = CR_OK;
    for (int guard = 0; guard < 100; ++guard) {
        int32_t n = -1;
        rc = CR_RipChunk(reinterpret_cast<uint8_t *>(chunk.data()), &n, &abort);
        if (rc != CR_OK) {
            QCOMPARE(n, 0);
            break;
        }
        QVERIFY(n > 0);
        got.append(chunk.constData(), n);
    }
    QCOMPARE(rc, int32_t(CR_ERR_READ));
    QCOMPARE(CR_GetReadErrorSector(), int32_t(cut));
    // What was delivered is good and ends at a chunk before the bad sector.
    QVERIFY(got.size() <= (cut - 1000) * 2352);
    QVERIFY(expected.startsWith(got));
    int32_t n = -1;
    QCOMPARE(CR_RipChunk(reinterpret_cast<uint8_t *>(chunk.data()), &n, &abort),
             int32_t(CR_ERR_READ));
    QCOMPARE(n, 0);
    QCOMPARE(CR_CloseRipper(), int32_t(CR_OK));
}

void tst_CdRip::libcdioErrorsEndNothing()
{
    // libcdio's own handler ends the process on an error (a BIN that fails
    // mid-read, say). While the library is initialised the error ends no
    // more than the call that met it, and CR_DeInit puts the handler back.
    CR_DeInit();
    const cdio_log_handler_t original = cdio_log_set_handler(countLogged);
    loggedMessages = 0;
    const DiscGen::WrittenDisc disc = makeDisc(m_dir.path(), audioDisc({75}), "log");
    initWith(DiscLayouts::imagesSection({QString::fromStdString(disc.cuePath)}));
    cdio_log(CDIO_LOG_ERROR, "fread (): Input/output error");
    cdio_log(CDIO_LOG_ASSERT, "assertion failed");
    QCOMPARE(loggedMessages, 0);
    QCOMPARE(readRange(0, 75, 176400), readFile(QString::fromStdString(disc.trackFiles[0])));
    CR_DeInit();
    cdio_log(CDIO_LOG_WARN, "after");
    QCOMPARE(loggedMessages, 1);
    cdio_log_set_handler(original);
}

void tst_CdRip::brokenImageIsNoDisc_data()
{
    QTest::addColumn<QString>("kind");
    for (const QString &kind : DiscLayouts::brokenImageKinds())
        QTest::newRow(qPrintable(kind)) << kind;
}

void tst_CdRip::brokenImageIsNoDisc()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString fifo;
    const QString cue = DiscLayouts::writeBrokenImage(dir.path(), kind, fifo);
    QVERIFY(!cue.isEmpty());
    const int drive = initWith(DiscLayouts::imagesSection({cue}));
    QCOMPARE(CR_SetActiveCDROM(drive), int32_t(CR_OK));

    int32_t status = 0;
    int32_t loaded = -1;
    int32_t toc = -1;
    int32_t open = -1;
    int32_t size = 176400;
    QVERIFY(DiscLayouts::returnsPromptly([&] { loaded = CR_IsMediaLoaded(&status); }, fifo));
    QVERIFY(DiscLayouts::returnsPromptly([&] { toc = CR_ReadToc(); }, fifo));
    QVERIFY(DiscLayouts::returnsPromptly([&] { open = CR_OpenRipper(&size, 0, 1); }, fifo));
    QCOMPARE(loaded, int32_t(CR_OK));
    QVERIFY(status != 0);
    QCOMPARE(toc, int32_t(CR_ERR_NO_DISC));
    QCOMPARE(CR_GetNumTocEntries(), 0);
    QCOMPARE(open, int32_t(CR_ERR_NO_DISC));
}

void tst_CdRip::refusesBadCalls()
{
    const DiscGen::WrittenDisc disc = DiscGen::writeDisc(audioDisc({300}),
                                                         m_dir.path().toStdString(),
                                                         "refuse",
                                                         false);
    const int drive = initWith(DiscLayouts::imagesSection({QString::fromStdString(disc.cuePath)}));
    QCOMPARE(CR_SetActiveCDROM(drive), int32_t(CR_OK));
    QCOMPARE(CR_SetActiveCDROM(drive + 1), int32_t(CR_ERR_FAILED));
    QCOMPARE(CR_SetActiveCDROM(-1), int32_t(CR_ERR_FAILED));
    QCOMPARE(CR_GetActiveCDROM(), drive);

    uint8_t buffer[2352];
    int32_t n = -1;
    int32_t abort = 0;
    QCOMPARE(CR_RipChunk(buffer, &n, &abort), int32_t(CR_ERR_NOT_OPEN));
    QCOMPARE(n, 0);

    int32_t size = 176400;
    QCOMPARE(CR_OpenRipper(&size, 0, 301), int32_t(CR_ERR_RANGE));
    QCOMPARE(CR_OpenRipper(&size, 200, 100), int32_t(CR_ERR_RANGE));
    QCOMPARE(CR_OpenRipper(&size, -1, 100), int32_t(CR_ERR_RANGE));
    size = 2351;
    QCOMPARE(CR_OpenRipper(&size, 0, 300), int32_t(CR_ERR_FAILED));

    size = 2 * 2352 + 5;
    QCOMPARE(CR_OpenRipper(&size, 0, 300), int32_t(CR_OK));
    QCOMPARE(size, 2 * 2352);
    abort = 1;
    QCOMPARE(CR_RipChunk(buffer, &n, &abort), int32_t(CR_OK));
    QCOMPARE(n, 0);
    QCOMPARE(CR_CloseRipper(), int32_t(CR_OK));
    QCOMPARE(CR_CloseRipper(), int32_t(CR_ERR_NOT_OPEN));
    // An empty range ends at once.
    QCOMPARE(readRange(300, 300, 176400), QByteArray());
}

void tst_CdRip::imageDriveQueries()
{
    const DiscGen::WrittenDisc disc = DiscGen::writeDisc(audioDisc({300}),
                                                         m_dir.path().toStdString(),
                                                         "query",
                                                         false);
    const QString missing = m_dir.filePath("missing.cue");
    const int drive = initWith(
        DiscLayouts::imagesSection({QString::fromStdString(disc.cuePath), missing, "query.cue"}));

    QCOMPARE(CR_SetActiveCDROM(drive), int32_t(CR_OK));
    int32_t status = -1;
    QCOMPARE(CR_IsMediaLoaded(&status), int32_t(CR_OK));
    QCOMPARE(status, 0);
    QCOMPARE(CR_IsAudioPlaying(), 0);
    // An image has no tray: ejecting and closing leave the disc readable.
    QCOMPARE(CR_EjectCD(1), int32_t(CR_OK));
    QCOMPARE(CR_EjectCD(0), int32_t(CR_OK));
    // Nor a speed: any is taken, and reading goes on as before.
    QCOMPARE(CR_SetReadSpeed(8), int32_t(CR_OK));
    QCOMPARE(CR_SetReadSpeed(0), int32_t(CR_OK));
    QCOMPARE(CR_SetReadSpeed(-1), int32_t(CR_ERR_FAILED));
    QCOMPARE(CR_ReadToc(), int32_t(CR_OK));
    QCOMPARE(CR_GetNumTocEntries(), 1);
    // Nor anything beyond its ends; and the tracks are not read this way.
    std::vector<uint8_t> sectors(2 * 2352);
    QCOMPARE(CR_ReadOutside(sectors.data(), -2, 2), int32_t(CR_ERR_READ));
    QCOMPARE(CR_ReadOutside(sectors.data(), 300, 2), int32_t(CR_ERR_READ));
    QCOMPARE(CR_ReadOutside(sectors.data(), -1, 2), int32_t(CR_ERR_RANGE));
    QCOMPARE(CR_ReadOutside(sectors.data(), 299, 1), int32_t(CR_ERR_RANGE));
    QCOMPARE(CR_ReadOutside(sectors.data(), -151, 1), int32_t(CR_ERR_RANGE));

    // Named without a folder: beside the settings file.
    QCOMPARE(CR_SetActiveCDROM(drive + 2), int32_t(CR_OK));
    QCOMPARE(CR_ReadToc(), int32_t(CR_OK));
    QCOMPARE(CR_GetNumTocEntries(), 1);

    QCOMPARE(CR_SetActiveCDROM(drive + 1), int32_t(CR_OK));
    QCOMPARE(CR_IsMediaLoaded(&status), int32_t(CR_OK));
    QVERIFY(status != 0);
    QCOMPARE(CR_ReadToc(), int32_t(CR_ERR_NO_DISC));
    QCOMPARE(CR_GetNumTocEntries(), 0);
    int32_t size = 176400;
    QCOMPARE(CR_OpenRipper(&size, 0, 10), int32_t(CR_ERR_NO_DISC));
}

void tst_CdRip::ripUndisturbedByQueries()
{
    const DiscGen::WrittenDisc a = DiscGen::writeDisc(audioDisc({900}),
                                                      m_dir.path().toStdString(),
                                                      "qa",
                                                      true);
    const DiscGen::WrittenDisc b = DiscGen::writeDisc(audioDisc({50, 60}),
                                                      m_dir.path().toStdString(),
                                                      "qb",
                                                      false);
    const QByteArray ini = DiscLayouts::imagesSection(
        {QString::fromStdString(a.cuePath), QString::fromStdString(b.cuePath)});
    const int drive = initWith(ini);
    QCOMPARE(CR_SetActiveCDROM(drive), int32_t(CR_OK));

    int32_t size = 176400;
    QCOMPARE(CR_OpenRipper(&size, 0, 900), int32_t(CR_OK));
    QByteArray got;
    QByteArray chunk(size, '\0');
    int32_t abort = 0;
    for (int32_t n = -1; n != 0;) {
        QCOMPARE(CR_RipChunk(reinterpret_cast<uint8_t *>(chunk.data()), &n, &abort), int32_t(CR_OK));
        got.append(chunk.constData(), n);
        // The window looks at the other drive meanwhile, and a new CD input
        // object initialises the library again.
        initWith(ini);
        QCOMPARE(CR_SetActiveCDROM(drive + 1), int32_t(CR_OK));
        QCOMPARE(CR_ReadToc(), int32_t(CR_OK));
        QCOMPARE(CR_GetNumTocEntries(), 2);
    }
    CR_CloseRipper();
    QCOMPARE(got, readFile(QString::fromStdString(a.trackFiles[0])));
}

QTEST_GUILESS_MAIN(tst_CdRip)
#include "tst_cdrip.moc"
