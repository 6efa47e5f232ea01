#pragma once

#include "tools/discgen/discimage.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Helpers shared by the tests: generated discs, files, outside tools.
namespace TestSupport {

QByteArray readFile(const QString &path);

// Writes a generated disc into dir (a QTemporaryDir's path) with track files.
DiscGen::WrittenDisc makeDisc(const QString &dir,
                              const DiscGen::DiscSpec &plan,
                              const QString &baseName = QStringLiteral("disc"));

// A disc of audio tracks with the given lengths in sectors.
DiscGen::DiscSpec audioDisc(std::initializer_list<uint32_t> frames);

struct ProcessResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program to its end (two minutes at most); exitCode is -1 when it
// could not start or crashed.
ProcessResult run(const QString &program, const QStringList &arguments);

// Folder of the build's executables and of our shared libraries (set by CTest).
QString binDir();
QString libDir();

} // namespace TestSupport
