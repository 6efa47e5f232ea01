#pragma once

#include <QApplication>

class QSocketNotifier;

// The application object. An exception that escapes an event handler on the
// window thread is shown in the standard error box and the program goes on.
// SIGTERM, SIGINT and SIGHUP (logout, kill, Ctrl+C) close the main window
// the way the window manager does, so that a rip in progress is cancelled
// cleanly, and then end the program; a window that must finish first (a
// disc lookup) is waited for.
class SondrelApplication : public QApplication
{
    Q_OBJECT

public:
    SondrelApplication(int &argc, char **argv);
    ~SondrelApplication() override;
    bool notify(QObject *receiver, QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    // The standard error box: the application's title and the message.
    static void showErrorBox(const QString &message);

private:
    void watchTerminationSignals();
    void terminationSignalled();
    // Closes the main windows and quits once none refuses.
    void quitWhenClosed();

    QSocketNotifier *m_signalNotifier = nullptr;
    bool m_quitRequested = false;
};
