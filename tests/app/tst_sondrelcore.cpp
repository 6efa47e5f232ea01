#include "app/discmodel.h"
#include "app/settings.h"
#include "app/sondrelcore.h"
#include "convert/audioconvertclient.h"
#include "lookup/cdtext.h"
#include "pipeline/cdinput.h"
#include "pipeline/flacwriter.h"
#include "pipeline/macwriter.h"
#include "pipeline/wavewriter.h"
#include "pipeline/writerevents.h"
#include "tests/support/discdrive.h"
#include "tests/support/memorysettings.h"
#include "tests/support/testsupport.h"

#include <QSignalSpy>
#include <QtTest>

// The core without any window: what the program keeps for its whole run,
// made and used from a plain QCoreApplication.
class tst_SondrelCore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void componentsWithoutWindow();
    void discIntoModel();
    void removalEmptiesTheDisc();
    void driveSpeedRequests();
    void cdTextAtArrival_data();
    void cdTextAtArrival();

private:
    static std::unique_ptr<SondrelCore> makeCore(const QVariantMap &stored = {});

    TestSupport::TestHome m_home;
};

std::unique_ptr<SondrelCore> tst_SondrelCore::makeCore(const QVariantMap &stored)
{
    auto storage = std::make_unique<MemorySettingsStorage>();
    storage->values = stored;
    return std::make_unique<SondrelCore>(std::make_unique<SettingsStore>(std::move(storage)));
}

void tst_SondrelCore::initTestCase()
{
    QVERIFY(m_home.isValid());
    QVERIFY(!QCoreApplication::instance()->inherits("QGuiApplication"));
    // Two seconds; one second and 38 frames (two seconds shown); one second
    // and 37 frames (one shown); then a data track.
    DiscGen::DiscSpec plan = TestSupport::audioDisc({150, 113, 112, 300});
    plan.tracks.back().data = true;
    const auto discs = TestSupport::installDiscs(m_home.filePath("discs"),
                                                 {{"cdtext", TestSupport::audioDisc({150, 150})},
                                                  {"core", plan}});
    // The first disc's sheet carries CD-Text, as a burning program writes it.
    QFile cue(QString::fromStdString(discs.front().cuePath));
    QVERIFY(cue.open(QIODevice::ReadOnly));
    QByteArray sheet = cue.readAll();
    cue.close();
    sheet.prepend("CATALOG 0727361379704\r\nPERFORMER \"Åsa Ørn\"\r\nTITLE \"Café Noir\"\r\n");
    const qsizetype second = sheet.indexOf("TRACK 02");
    QVERIFY(sheet.indexOf("TRACK 01") > 0 && second > 0);
    sheet.insert(second + sheet.mid(second).indexOf('\n') + 1,
                 "    TITLE \"Deuxième\"\r\n    PERFORMER \"Zoë\"\r\n    ISRC GBAAA9300002\r\n");
    const qsizetype first = sheet.indexOf("TRACK 01");
    sheet.insert(first + sheet.mid(first).indexOf('\n') + 1, "    TITLE \"Première\"\r\n");
    QVERIFY(cue.open(QIODevice::WriteOnly | QIODevice::Truncate));
    cue.write(sheet);
}

void tst_SondrelCore::componentsWithoutWindow()
{
    auto core = makeCore();
    QVERIFY2(core->takeStartupErrors().isEmpty(), "every library is there");
    TCDIn *cdIn = core->CDIn();
    QVERIFY(cdIn);
    QCOMPARE(core->WaveOut()->Input(), cdIn);
    QCOMPARE(core->FLACOut()->Input(), cdIn);
    QCOMPARE(core->MACOut()->Input(), cdIn);
    // Each writer's events reach this thread through its own adapter.
    for (TPcmOutput *writer :
         std::initializer_list<TPcmOutput *>{core->WaveOut(), core->FLACOut(), core->MACOut()}) {
        WriterEvents *events = core->eventsOf(writer);
        QVERIFY(events);
        QCOMPARE(&events->writer(), writer);
        QCOMPARE(events->thread(), QThread::currentThread());
    }

    QVERIFY(!core->AudioConvert());
    core->CreateAudioConvert();
    core->ConfigureAudioConvert();
    QVERIFY(core->takeStartupErrors().isEmpty());
    QVERIFY(core->AudioConvert()->WriteTags());
    QVERIFY(core->Information());
    QVERIFY(core->Mp3Encoder());
}

void tst_SondrelCore::discIntoModel()
{
    auto core = makeCore();
    DiscModel *disc = core->disc();
    core->FillDriveList();
    const QStringList drives = disc->drives();
    QVERIFY(!drives.isEmpty());
    QVERIFY2(drives.last().endsWith("core.cue"), qPrintable(drives.last()));
    // Listing used an input of its own.
    QCOMPARE(core->CDIn()->CurrentDrive(), 0);

    QSignalSpy replaced(disc, &DiscModel::tracksReplaced);
    QSignalSpy ticks(disc, &DiscModel::ticksChanged);
    core->FillTrackList(int(drives.size()) - 1);
    QCOMPARE(replaced.count(), 1);
    QCOMPARE(replaced.last().at(0).toInt(), 4);
    QCOMPARE(disc->rowCount(), 4);
    QCOMPARE(disc->columnCount(), 7);

    QStringList numbers, starts, lengths;
    for (int row = 0; row < disc->rowCount(); ++row) {
        numbers << disc->index(row, DiscModel::NumberColumn).data().toString();
        starts << disc->index(row, DiscModel::StartColumn).data().toString();
        lengths << disc->index(row, DiscModel::LengthColumn).data().toString();
        QCOMPARE(disc->index(row, DiscModel::TickColumn).data(Qt::CheckStateRole), Qt::Unchecked);
        QCOMPARE(disc->track(row).number, row + 1);
    }
    QCOMPARE(numbers, QStringList({"01", "02", "03", "04"}));
    QCOMPARE(starts, QStringList({"00:00:02", "00:00:04", "00:00:06", "00:00:07"}));
    QCOMPARE(lengths, QStringList({"00:00:02", "00:00:02", "00:00:01", "00:00:04"}));
    QCOMPARE(MSFToFrames(disc->track(1).length), 113u);
    QCOMPARE(disc->track(2).kind, ctAudio);
    QCOMPARE(disc->track(3).kind, ctData);

    // Ticked as a view ticks, and as the program does; read back in row order.
    QVERIFY(disc->setData(disc->index(2, DiscModel::TickColumn), Qt::Checked, Qt::CheckStateRole));
    disc->setTicked(0, true);
    QCOMPARE(disc->tickedRows(), QList<int>({0, 2}));
    QCOMPARE(disc->tickedCount(), 2);
    QCOMPARE(ticks.last().at(0).toInt(), 2);
    // The data track is left unticked.
    disc->setAllTicks([](bool ticked) { return !ticked; });
    QCOMPARE(disc->tickedRows(), QList<int>({1}));

    // Typed titles and artists are the rows' own.
    QVERIFY(disc->setData(disc->index(1, DiscModel::TitleColumn), "Second"));
    disc->setTrackArtist(1, "Someone");
    QCOMPARE(disc->track(1).title, "Second");
    QCOMPARE(disc->index(1, DiscModel::ArtistColumn).data().toString(), "Someone");
    QVERIFY(!(disc->flags(disc->index(1, DiscModel::NumberColumn)) & Qt::ItemIsEditable));
    QVERIFY(!disc->setData(disc->index(1, DiscModel::StartColumn), "00:00:09"));

    // A refill reads the disc again: nothing typed or ticked survives.
    core->FillTrackList(int(drives.size()) - 1);
    QCOMPARE(disc->rowCount(), 4);
    QCOMPARE(disc->track(1).title, QString());
    QCOMPARE(disc->tickedCount(), 0);
}

void tst_SondrelCore::removalEmptiesTheDisc()
{
    auto core = makeCore();
    DiscModel *disc = core->disc();
    core->FillDriveList();
    core->FillTrackList(int(disc->drives().size()) - 1);
    disc->setArtist("Artist");
    disc->setAlbum("Album");
    disc->setGenre("17 - Rock");
    disc->setYear("1999");
    QSignalSpy fields(disc, &DiscModel::discFieldsChanged);
    core->DiscRemoved();
    QCOMPARE(disc->rowCount(), 0);
    QCOMPARE(fields.count(), 4);
    QCOMPARE(disc->artist() + disc->album() + disc->genre() + disc->year(), QString());
    // An index that is no drive is ignored: the drive read last is read again.
    core->FillTrackList(int(disc->drives().size()) + 5);
    QCOMPARE(disc->rowCount(), 4);
}

void tst_SondrelCore::driveSpeedRequests()
{
    auto core = makeCore();
    core->FillDriveList();
    const int image = int(core->disc()->drives().size()) - 1;
    // Through the CD library: an image takes any speed and says nothing.
    QCOMPARE(core->ApplyDriveSpeed(image, "8X"), QString());
    QCOMPARE(core->ApplyDriveSpeed(image, "Maximum"), QString());

    QList<QPair<int, int>> asked;
    bool take = true;
    core->setSpeedControl([&](int drive, int speed) {
        asked.append({drive, speed});
        return take;
    });
    QCOMPARE(core->ApplyDriveSpeed(image, "Default"), QString());
    QVERIFY(asked.isEmpty());
    core->ApplyDriveSpeed(image, "Maximum");
    core->ApplyDriveSpeed(0, "24X");
    core->ApplyDriveSpeed(image, "1X");
    QCOMPARE(asked, (QList<QPair<int, int>>{{image, 0}, {0, 24}, {image, 1}}));
    take = false;
    const QString refused = core->ApplyDriveSpeed(0, "40X");
    QVERIFY2(refused.contains("\"40X\"") && refused.contains("its own"), qPrintable(refused));
}

void tst_SondrelCore::cdTextAtArrival_data()
{
    QTest::addColumn<QVariantMap>("stored");
    QTest::addColumn<QStringList>("fields"); // album, artist, then each row's artist and title
    QTest::newRow("on by default")
        << QVariantMap()
        << QStringList({"Café Noir", "Åsa Ørn", "Åsa Ørn", "Première", "Zoë", "Deuxième"});
    QTest::newRow("stored off") << QVariantMap({{SettingsKeys::FillFromCdText, 0}})
                                << QStringList({"", "", "", "", "", ""});
}

void tst_SondrelCore::cdTextAtArrival()
{
    QFETCH(QVariantMap, stored);
    QFETCH(QStringList, fields);
    auto core = makeCore(stored);
    DiscModel *disc = core->disc();
    core->FillDriveList();
    core->FillTrackList(int(disc->drives().size()) - 2);
    QCOMPARE(disc->rowCount(), 2);
    QCOMPARE(QStringList({disc->album(),
                          disc->artist(),
                          disc->track(0).artist,
                          disc->track(0).title,
                          disc->track(1).artist,
                          disc->track(1).title}),
             fields);
    // Either way the disc's catalogue number and ISRCs go into the tags.
    QCOMPARE(core->cdText().title, "Café Noir");
    QCOMPARE(disc->releaseTagsOf(0).barcode, "0727361379704");
    QCOMPARE(disc->releaseTagsOf(1).isrc, "GBAAA9300002");
}

QTEST_GUILESS_MAIN(tst_SondrelCore)
#include "tst_sondrelcore.moc"
