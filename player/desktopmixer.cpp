#include "player/desktopmixer.h"

#include <QProcess>
#include <QStandardPaths>

namespace DesktopMixer {

QStringList candidates()
{
    // pavucontrol works with PulseAudio and with PipeWire's Pulse server,
    // which SDL reaches too; the others belong to particular desktops.
    return {QStringLiteral("pavucontrol"),
            QStringLiteral("pavucontrol-qt"),
            QStringLiteral("pwvucontrol"),
            QStringLiteral("mate-volume-control"),
            QStringLiteral("xfce4-mixer"),
            QStringLiteral("kmix")};
}

QString find(const QStringList &folders)
{
    for (const QString &name : candidates()) {
        const QString path = QStandardPaths::findExecutable(name, folders);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

bool start(QString &error)
{
    const QString mixer = find();
    if (mixer.isEmpty()) {
        error = QString::fromLatin1(NoMixerMessage);
        return false;
    }
    if (!QProcess::startDetached(mixer, {})) {
        error = QStringLiteral("The sound mixer %1 could not be started.").arg(mixer);
        return false;
    }
    return true;
}

} // namespace DesktopMixer
