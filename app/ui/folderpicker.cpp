#include "folderpicker.h"

#include "app/settings.h"

#include <QDir>
#include <QFileDialog>

namespace FolderPicker {

bool browse(QWidget *owner, const QString &caption, QString &folder)
{
    // The picker starts where the output goes now, so a nearby folder is one
    // step away; a folder that is gone (another disk, deleted) gives way to
    // the music folder.
    const QString start = !folder.isEmpty() && QDir(folder).exists()
                              ? folder
                              : SettingsStore::defaultDestFolder();
    QFileDialog dialog(owner, caption, start);
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
