#include "simulateddrive.h"

#include "pipeline/cdinput.h"

#include <QFile>

#include <dlfcn.h>

namespace TestSupport {

namespace {

// The interposer's own entry point (tests/simdrive/simdrive.cpp).
using CountersFunction = void (*)(SimDriveCounters *, int);

CountersFunction countersFunction()
{
    return reinterpret_cast<CountersFunction>(dlsym(RTLD_DEFAULT, "sondrel_simdrive_counters"));
}

constexpr const char *ConfigVariable = "SONDREL_SIMDRIVE";

} // namespace

QByteArray DriveBehaviour::configText(const std::string &cuePath) const
{
    QByteArray text;
    auto line = [&text](const char *key, const QByteArray &value) {
        if (!value.isEmpty())
            text += QByteArray(key) + " = " + value + '\n';
    };
    line("image", QByteArray::fromStdString(cuePath));
    line("vendor", vendor);
    line("model", model);
    line("revision", revision);
    line("offset", QByteArray::number(offset));
    line("jitter", QByteArray::number(jitter));
    line("jitter-rate", QByteArray::number(jitterRate));
    line("damaged", damaged);
    line("damaged-count", QByteArray::number(damagedCount));
    line("damage", damageRepeats ? "repeat" : "vary");
    line("damage-rate", QByteArray::number(damageRate));
    line("unreadable", unreadable);
    line("speed", QByteArray::number(speed));
    line("second-session", QByteArray::number(secondSession));
    line("seed", QByteArray::number(seed));
    line("q-binary", qBinary ? "yes" : "no");
    line("q-crc-errors", qCrcErrors);
    line("refuse-overread", refuseOverread);
    line("q-unreadable", qUnreadable);
    line("q-pre-emphasis", qPreEmphasis);
    line("q-wrong-sector", qWrongSector);
    line("cdtext", cdText);
    line("mcn", mcn);
    return text;
}

QString DriveBehaviour::driveName() const
{
    return QString::fromLatin1(vendor + ' ' + model + ' ' + revision);
}

SimulatedDrive::SimulatedDrive(const QString &folder)
    : m_path(folder + QStringLiteral("/simdrive.conf"))
{}

SimulatedDrive::~SimulatedDrive()
{
    qunsetenv(ConfigVariable);
    QFile::remove(m_path);
}

bool SimulatedDrive::preloaded()
{
    return countersFunction() != nullptr;
}

bool SimulatedDrive::insert(const std::string &cuePath, const DriveBehaviour &behaviour)
{
    QFile file(m_path);
    const QByteArray text = behaviour.configText(cuePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
        return false;
    file.close();
    m_name = behaviour.driveName();
    qputenv(ConfigVariable, QFile::encodeName(m_path));
    resetCounters();
    return true;
}

int SimulatedDrive::indexIn(TCDIn &cd) const
{
    const int32_t keep = cd.CurrentDrive();
    int found = -1;
    for (int32_t i = 0; i < cd.GetDriveCount() && found < 0; ++i) {
        cd.SetCurrentDrive(i);
        if (cd.GetDriveName() == m_name)
            found = i;
    }
    cd.SetCurrentDrive(keep);
    return found;
}

SimDriveCounters SimulatedDrive::counters() const
{
    SimDriveCounters c;
    if (const CountersFunction f = countersFunction())
        f(&c, 0);
    return c;
}

void SimulatedDrive::resetCounters()
{
    if (const CountersFunction f = countersFunction())
        f(nullptr, 1);
}

QProcessEnvironment SimulatedDrive::childEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString preload = env.value(QStringLiteral("SONDREL_SIMDRIVE_PRELOAD"));
    if (!preload.isEmpty())
        env.insert(QStringLiteral("LD_PRELOAD"), preload);
    return env;
}

} // namespace TestSupport
