#pragma once

#include <QString>

class QWidget;

namespace FolderPicker {

// Asks for an existing folder, folders only, with a button to make a new one.
// Modal for the whole application. It opens at `folder`, or at the music
// folder when `folder` does not exist. Returns false when the user cancels;
// otherwise true and the chosen folder's path in `folder`.
bool browse(QWidget *owner, const QString &caption, QString &folder);

} // namespace FolderPicker
