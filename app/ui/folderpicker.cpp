#include "folderpicker.h"

#include <QDir>
#include <QFileDialog>

namespace FolderPicker {

bool browse(QWidget *owner, const QString &caption, QString &folder)
{
    // Nothing is preselected: the picker opens on the user's home folder.
    QFileDialog dialog(owner, caption, QDir::homePath());
    dialog.setObjectName(QStringLiteral("BrowseForFolder"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setOption(QFileDialog::ReadOnly, false); // keeps the new-folder button
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.constFirst().isEmpty())
        return false;
    folder = QDir::toNativeSeparators(chosen.constFirst());
    return true;
}

} // namespace FolderPicker
