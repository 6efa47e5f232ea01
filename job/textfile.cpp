#include "job/textfile.h"

#include <QDir>
#include <QSaveFile>

#include <stdexcept>

void WriteWholeFile(const QString &path, const QByteArray &bytes, const QString &what)
{
    QSaveFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()
                    && file.commit();
    if (!ok) {
        throw std::runtime_error(QStringLiteral("The %1 could not be written to \"%2\": %3")
                                     .arg(what, QDir::toNativeSeparators(path), file.errorString())
                                     .toStdString());
    }
}
