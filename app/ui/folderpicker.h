#pragma once

#include <QString>

class QWidget;

namespace FolderPicker {

// Asks for an existing folder, folders only, with a button to make a new one.
// Modal for the whole application. Returns false when the user cancels;
// otherwise true and the folder's path.
bool browse(QWidget *owner, const QString &caption, QString &folder);

} // namespace FolderPicker
