// The CD input over the simulated drive (tests/simdrive): what a real drive
// does to the audio, under real libcdio and cdparanoia.
#include "pipeline/cdinput.h"
#include "tests/support/disclayouts.h"
#include "tests/support/simulateddrive.h"
#include "tests/support/testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace TestSupport;

class tst_CDDrive : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void readsBitExact_data();
    void readsBitExact();

private:
    // A CD input on the simulated drive holding `disc`.
    std::unique_ptr<TCDIn> inputOn(const DiscGen::WrittenDisc &disc,
                                   const DriveBehaviour &behaviour,
                                   bool paranoia);
    static QByteArray readTracks(TCDIn &in, int first, int last);

    QTemporaryDir m_home;
    std::unique_ptr<SimulatedDrive> m_drive;
};

void tst_CDDrive::initTestCase()
{
    QVERIFY2(SimulatedDrive::preloaded(), "run through CTest, which preloads the simulated drive");
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath("config")));
    m_drive = std::make_unique<SimulatedDrive>(m_home.path());
}

std::unique_ptr<TCDIn> tst_CDDrive::inputOn(const DiscGen::WrittenDisc &disc,
                                            const DriveBehaviour &behaviour,
                                            bool paranoia)
{
    if (!m_drive->insert(disc.cuePath, behaviour)
        || !DiscLayouts::writeText(TCDIn::SettingsFolder() + CDRipSettingsFileName,
                                   QByteArray("[Reading]\nParanoia=") + (paranoia ? "1" : "0")
                                       + '\n'))
        qFatal("cannot write the drive's settings");
    auto in = std::make_unique<TCDIn>();
    const int index = m_drive->indexIn(*in);
    if (index < 0)
        qFatal("the simulated drive is not listed");
    in->SetCurrentDrive(index);
    return in;
}

QByteArray tst_CDDrive::readTracks(TCDIn &in, int first, int last)
{
    in.SetStartTrack(first);
    in.SetEndTrack(last);
    in.BeginRead();
    QByteArray out;
    QByteArray buffer(65536, '\0');
    try {
        for (int32_t n; (n = in.ReadData(buffer.data(), buffer.size())) > 0;)
            out.append(buffer.constData(), n);
    } catch (...) {
        in.EndRead();
        throw;
    }
    in.EndRead();
    return out;
}

void tst_CDDrive::readsBitExact_data()
{
    QTest::addColumn<bool>("paranoia");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("jitter");
    QTest::addColumn<QByteArray>("damaged");

    // Sectors 300 .. 302 and 520 lie in track 2, 700 at the start of track 3.
    QTest::newRow("clean, paranoia off") << false << 0 << 0 << QByteArray();
    QTest::newRow("clean, paranoia on") << true << 0 << 0 << QByteArray();
    QTest::newRow("jitter") << true << 0 << 24 << QByteArray();
    QTest::newRow("damage that differs on each read")
        << true << 0 << 0 << QByteArray("300-302 520 700");
    QTest::newRow("offset +667") << true << 667 << 0 << QByteArray();
    QTest::newRow("offset -1164") << true << -1164 << 0 << QByteArray();
    QTest::newRow("offset +667, paranoia off") << false << 667 << 0 << QByteArray();
}

void tst_CDDrive::readsBitExact()
{
    // With the drive's offset set in the program, every track reads as the
    // disc holds it; the samples the offset moves off the disc's audio are
    // silence.
    QFETCH(bool, paranoia);
    QFETCH(int, offset);
    QFETCH(int, jitter);
    QFETCH(QByteArray, damaged);
    const DiscGen::WrittenDisc disc = makeDisc(m_home.path(), audioDisc({240, 450, 300}), "exact");
    DriveBehaviour behaviour;
    behaviour.offset = offset;
    behaviour.jitter = jitter;
    behaviour.damaged = damaged;
    auto in = inputOn(disc, behaviour, paranoia);
    in->SetReadOffset(offset);
    m_drive->resetCounters();

    QByteArray expected;
    for (const std::string &file : disc.trackFiles)
        expected += readFile(QString::fromStdString(file));
    const int lost = 4 * std::abs(offset);
    if (offset > 0)
        expected.replace(expected.size() - lost, lost, QByteArray(lost, '\0'));
    else
        expected.replace(0, lost, QByteArray(lost, '\0'));

    QByteArray got;
    for (int t = 1; t <= 3; ++t)
        QVERIFY_THROWS_NO_EXCEPTION(got += readTracks(*in, t, t));
    QCOMPARE(got.size(), expected.size());
    QVERIFY(got == expected);
    // The drive did what the row says, and cdparanoia set it right.
    const SimDriveCounters done = m_drive->counters();
    QCOMPARE(done.jitteredReads > 0, jitter > 0);
    QCOMPARE(done.damagedSectors > 0, !damaged.isEmpty());
}

QTEST_GUILESS_MAIN(tst_CDDrive)
#include "tst_cddrive.moc"
