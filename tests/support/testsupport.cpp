#include "testsupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

namespace TestSupport {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

DiscGen::WrittenDisc makeDisc(const QString &dir,
                              const DiscGen::DiscSpec &plan,
                              const QString &baseName)
{
    return DiscGen::writeDisc(plan, dir.toStdString(), baseName.toStdString(), true);
}

DiscGen::DiscSpec audioDisc(std::initializer_list<uint32_t> frames)
{
    DiscGen::DiscSpec plan;
    for (uint32_t f : frames) {
        DiscGen::TrackSpec t;
        t.frames = f;
        plan.tracks.push_back(t);
    }
    return plan;
}

ProcessResult run(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    ProcessResult r;
    if (!p.waitForStarted(10000))
        return r;
    p.closeWriteChannel();
    p.waitForFinished(120000);
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

QString binDir()
{
    const QString dir = qEnvironmentVariable("SONDREL_BIN_DIR");
    return dir.isEmpty() ? QCoreApplication::applicationDirPath() : dir;
}

QString libDir()
{
    const QString dir = qEnvironmentVariable("SONDREL_LIB_DIR");
    return dir.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/../lib") : dir;
}

} // namespace TestSupport
