#pragma once

#include <QByteArray>
#include <QString>

// Writes `bytes` into `path` through a temporary file that replaces the old
// one only when complete, so a full disk leaves no cut file behind. Throws
// std::runtime_error "The <what> could not be written to "<path>": <reason>".
void WriteWholeFile(const QString &path, const QByteArray &bytes, const QString &what);
