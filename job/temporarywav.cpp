#include "job/temporarywav.h"

#include "pipeline/pcmexception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <utility>

TemporaryWavFile::~TemporaryWavFile()
{
    remove();
}

TemporaryWavFile::TemporaryWavFile(TemporaryWavFile &&other) noexcept
    : m_path(std::exchange(other.m_path, QString()))
{}

TemporaryWavFile &TemporaryWavFile::operator=(TemporaryWavFile &&other) noexcept
{
    if (this != &other) {
        remove();
        m_path = std::exchange(other.m_path, QString());
    }
    return *this;
}

void TemporaryWavFile::create()
{
    clear();
    // The system hands out a unique empty "tem*.tmp"; the WAV takes its name
    // with ".wav" in place of ".tmp", which must not exist already.
    for (int attempt = 0; attempt < 100; ++attempt) {
        QTemporaryFile reserved(QDir::tempPath() + QStringLiteral("/temXXXXXX.tmp"));
        if (!reserved.open())
            throw EPcmException(QStringLiteral("Cannot create a temporary file in %1: %2")
                                    .arg(QDir::tempPath(), reserved.errorString()));
        const QString created = reserved.fileName();
        const QString wav = created.left(created.size() - 4) + QStringLiteral(".wav");
        reserved.close();
        if (reserved.rename(wav)) {
            reserved.setAutoRemove(false);
            m_path = wav;
            return;
        }
    }
    throw EPcmException(
        QStringLiteral("Cannot create a temporary file in %1.").arg(QDir::tempPath()));
}

void TemporaryWavFile::remove()
{
    if (!m_path.isEmpty() && QFileInfo(m_path).isFile())
        QFile::remove(m_path);
}

void TemporaryWavFile::clear()
{
    remove();
    m_path.clear();
}
