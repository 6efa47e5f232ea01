#include "job/playlist.h"

#include "pipeline/pcmexception.h"

#include <QSaveFile>

namespace Playlist {

QByteArray contents(const QStringList &entries)
{
    QByteArray bytes;
    for (const QString &entry : entries)
        bytes += entry.toUtf8() + "\r\n";
    return bytes;
}

void write(const QString &path, const QStringList &entries)
{
    // Written aside and renamed over the old one: a failure half-way leaves
    // the previous playlist as it was.
    QSaveFile file(path);
    const QByteArray bytes = contents(entries);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EPcmException(
            QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
}

} // namespace Playlist
