#include "discdrive.h"

#include "pipeline/cdinput.h"
#include "pipeline/cdripbinding.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>

#include <stdexcept>

namespace TestSupport {

DiscGen::WrittenDisc installDisc(const QString &dir, const DiscGen::DiscSpec &plan)
{
    if (!QDir().mkpath(dir) || !QDir().mkpath(TCDIn::SettingsFolder()))
        throw std::runtime_error("cannot create the disc or settings folder");
    DiscGen::WrittenDisc disc = makeDisc(dir, plan);
    QFile ini(TCDIn::SettingsFolder() + QLatin1String(CDRipSettingsFileName));
    if (!ini.open(QIODevice::WriteOnly)
        || ini.write("[Images]\nImage1=" + QByteArray::fromStdString(disc.cuePath) + "\n") < 0
        || !ini.flush())
        throw std::runtime_error("cannot write " + ini.fileName().toStdString());
    return disc;
}

void selectInstalledDisc(TCDIn &cd)
{
    cd.SetCurrentDrive(cd.GetDriveCount() - 1);
}

} // namespace TestSupport
