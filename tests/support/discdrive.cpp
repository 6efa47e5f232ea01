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
    return installDiscs(dir, {{QStringLiteral("disc"), plan}}).front();
}

std::vector<DiscGen::WrittenDisc> installDiscs(const QString &dir,
                                               const QList<QPair<QString, DiscGen::DiscSpec>> &discs)
{
    if (!QDir().mkpath(dir) || !QDir().mkpath(TCDIn::SettingsFolder()))
        throw std::runtime_error("cannot create the disc or settings folder");
    std::vector<DiscGen::WrittenDisc> written;
    QByteArray list = "[Images]\n";
    for (const auto &[name, plan] : discs) {
        written.push_back(makeDisc(dir, plan, name));
        list += "Image" + QByteArray::number(int(written.size())) + '='
                + QByteArray::fromStdString(written.back().cuePath) + '\n';
    }
    QFile ini(TCDIn::SettingsFolder() + QLatin1String(CDRipSettingsFileName));
    if (!ini.open(QIODevice::WriteOnly) || ini.write(list) < 0 || !ini.flush())
        throw std::runtime_error("cannot write " + ini.fileName().toStdString());
    return written;
}

void selectInstalledDisc(TCDIn &cd)
{
    cd.SetCurrentDrive(cd.GetDriveCount() - 1);
}

TestHome::TestHome()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(filePath(QStringLiteral("config"))));
    if (!QDir().mkpath(tempPath()))
        qWarning("cannot create %s", qPrintable(tempPath()));
    qputenv("TMPDIR", QFile::encodeName(tempPath()));
}

QStringList TestHome::leftovers() const
{
    return QDir(tempPath())
        .entryList({QStringLiteral("tem*.wav"), QStringLiteral("tem*.tmp")}, QDir::Files);
}

DiscGen::WrittenDisc TestHome::installDisc(const DiscGen::DiscSpec &plan)
{
    return TestSupport::installDisc(filePath(QStringLiteral("disc%1").arg(++m_discs)), plan);
}

} // namespace TestSupport
