#pragma once

#include <QString>
#include <QStringList>

// The desktop's sound mixer, which sets the volume of what the player plays.
namespace DesktopMixer {

inline constexpr const char *NoMixerMessage
    = "No sound mixer was found. Install pavucontrol to set the volume.";

// The mixer programs looked for, best first.
QStringList candidates();
// The path of the first candidate found in `folders` (the PATH when empty);
// empty when there is none.
QString find(const QStringList &folders = {});
// Starts the mixer found, detached from the program. False and the message
// to show when there is none or it would not start.
bool start(QString &error);

} // namespace DesktopMixer
