#pragma once

#include "tests/simdrive/simdrivecounters.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>

#include <cstdint>
#include <string>

class TCDIn;

namespace TestSupport {

// How the simulated drive behaves (tests/simdrive/README.md has the details).
// Sector numbers are the drive's positions, as its table of contents gives
// them; ranges are "12 40-45".
struct DriveBehaviour
{
    int offset = 0;             // read offset, in samples
    int jitter = 0;             // the most samples a re-read starts off, each time anew
    int jitterRate = 25;        // percent of the re-reads that do
    QByteArray damaged;         // sectors that come back with random bytes
    int damagedCount = 0;       // and as many more, picked at random (by seed)
    bool damageRepeats = false; // the same bytes at every read, instead of new ones
    int damageRate = 25;        // percent of the reads of a damaged sector that it spoils
    QByteArray unreadable;      // sectors whose reads fail
    int speed = 0;              // n x 176,400 bytes a second; 0 unthrottled
    int secondSession = 0;      // first track of a second session (an Enhanced CD)
    QByteArray vendor = "SONDREL";
    QByteArray model = "SIMULATED DRIVE";
    QByteArray revision = "1.0";
    uint32_t seed = 1;
    bool qBinary = false;      // Q sub-channel numbers in binary instead of BCD
    QByteArray qCrcErrors;     // sectors whose Q has a wrong CRC
    QByteArray refuseOverread; // "lead-in", "lead-out" or both: not read beyond that end
    QByteArray qUnreadable;    // sectors whose reads with the sub-channel fail
    QByteArray qPreEmphasis;   // tracks pre-emphasised in the Q CONTROL field alone
    QByteArray qWrongSector;   // sectors whose Q is the next one's, CRC and all
    QByteArray cdText;         // path of a file of raw CD-Text packs; empty: none
    QByteArray mcn;            // the disc's catalogue number; empty: none

    QByteArray configText(const std::string &cuePath) const;
    // "vendor model revision", as the CD library names the drive.
    QString driveName() const;
};

using SimDriveCounters = SondrelSimDriveCounters;

// The simulated drive of a test declared SIMDRIVE in CMake: its
// configuration file lies in `folder`, and the drive is listed from the next
// CD input made (every construction re-reads the drive list) until the
// object goes.
class SimulatedDrive
{
public:
    explicit SimulatedDrive(const QString &folder);
    ~SimulatedDrive();
    SimulatedDrive(const SimulatedDrive &) = delete;
    SimulatedDrive &operator=(const SimulatedDrive &) = delete;

    // False when the process runs without the interposer.
    static bool preloaded();

    // The disc in the drive and how the drive reads it; the counters start
    // again. False when the file cannot be written.
    bool insert(const std::string &cuePath, const DriveBehaviour &behaviour);
    // The drive's index among the CD input's drives, -1 when not listed.
    int indexIn(TCDIn &cd) const;
    SimDriveCounters counters() const;
    void resetCounters();

    // For a child process that is to see the drive too.
    static QProcessEnvironment childEnvironment();

private:
    QString m_path;
    QString m_name;
};

} // namespace TestSupport
