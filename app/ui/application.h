#pragma once

#include <QApplication>

// The application object. An exception that escapes an event handler on the
// window thread is shown in the standard error box and the program goes on.
class SondrelApplication : public QApplication
{
    Q_OBJECT

public:
    SondrelApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

    // The standard error box: the application's title and the message.
    static void showErrorBox(const QString &message);
};
