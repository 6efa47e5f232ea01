#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The M3U playlist a completed rip writes: one absolute path per line in
// UTF-8, every line ended by CR LF, nothing else.
namespace Playlist {

QByteArray contents(const QStringList &entries);

// Writes the playlist to path, replacing a file of that name only once the
// new one is complete. Raises EPcmException "Cannot create file ..." with
// the reason when it cannot.
void write(const QString &path, const QStringList &entries);

} // namespace Playlist
