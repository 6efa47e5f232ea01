#pragma once

#include "tools/discgen/discimage.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <vector>

class TCDIn;

namespace TestSupport {

// Writes a generated disc (with its per-track files) into dir and names it
// in the CD ripping library's settings file, so that a CD input constructed
// afterwards lists it as its last drive. Throws std::runtime_error when a
// file cannot be written.
DiscGen::WrittenDisc installDisc(const QString &dir, const DiscGen::DiscSpec &plan);

// The same for several discs, each written into dir as <name>.cue with its
// files, and listed in this order after any real drive.
std::vector<DiscGen::WrittenDisc> installDiscs(
    const QString &dir, const QList<QPair<QString, DiscGen::DiscSpec>> &discs);

// Points the CD input at the last drive, where installDisc put the disc.
void selectInstalledDisc(TCDIn &cd);

// A test run's private home: the configuration folder (where the CD library
// finds its drive list) and the temporary folder (where the rip job's
// temporary files go, so that a leftover shows) both lie in a QTemporaryDir.
// Made once per test object, after the application object.
class TestHome
{
public:
    TestHome();

    bool isValid() const { return m_dir.isValid(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    QString tempPath() const { return m_dir.filePath(QStringLiteral("tmp")); }
    // The temporary WAV files (and their reserved names) left in tempPath().
    QStringList leftovers() const;
    // A disc in a folder of its own, listed as the only image: the last drive.
    DiscGen::WrittenDisc installDisc(const DiscGen::DiscSpec &plan);

private:
    QTemporaryDir m_dir;
    int m_discs = 0;
};

} // namespace TestSupport
