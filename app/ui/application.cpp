#include "application.h"

#include <QMessageBox>

#include <exception>

SondrelApplication::SondrelApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setOrganizationName(QStringLiteral("Orvanel Sondrel"));
    setApplicationName(QStringLiteral("Orvanel Sondrel"));
    setApplicationVersion(QStringLiteral("1.5"));
    setDesktopFileName(QStringLiteral("orvanel-sondrel"));
    setWindowIcon(QIcon(QStringLiteral(":/orvanel-sondrel.png")));
}

bool SondrelApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        showErrorBox(QString::fromUtf8(e.what()));
    } catch (...) {
        showErrorBox(tr("An unknown error occurred."));
    }
    return false;
}

void SondrelApplication::showErrorBox(const QString &message)
{
    QMessageBox::critical(activeWindow(), applicationName(), message);
}
