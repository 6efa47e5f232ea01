#include "application.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <exception>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The signal handler may only write to a descriptor; the window thread
// reads the other end.
int signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

} // namespace

SondrelApplication::SondrelApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setOrganizationName(QStringLiteral("Orvanel Sondrel"));
    setApplicationName(QStringLiteral("Orvanel Sondrel"));
    setApplicationVersion(QStringLiteral("1.5"));
    setDesktopFileName(QStringLiteral("orvanel-sondrel"));
    setWindowIcon(QIcon(QStringLiteral(":/orvanel-sondrel.png")));
    watchTerminationSignals();
}

SondrelApplication::~SondrelApplication()
{
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        std::signal(sig, SIG_DFL);
}

void SondrelApplication::watchTerminationSignals()
{
    if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return; // without the pipe the signals keep their default action
    m_signalNotifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(m_signalNotifier,
            &QSocketNotifier::activated,
            this,
            &SondrelApplication::terminationSignalled);
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &action, nullptr);
}

void SondrelApplication::terminationSignalled()
{
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(signalPipe[1], &byte, 1);
    m_quitRequested = true;
    quitWhenClosed();
}

void SondrelApplication::quitWhenClosed()
{
    bool refused = false;
    for (QWidget *window : topLevelWidgets()) {
        if (!qobject_cast<QMainWindow *>(window) || window->close())
            continue;
        // It finishes something first (a disc lookup) and closes itself
        // then; quitting now would only be cancelled by its refusal.
        refused = true;
        window->installEventFilter(this);
    }
    if (!refused)
        quit();
}

bool SondrelApplication::eventFilter(QObject *watched, QEvent *event)
{
    if (m_quitRequested && event->type() == QEvent::Hide && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->isWindow()) {
        watched->removeEventFilter(this);
        // After the close that hid it has returned.
        QTimer::singleShot(0, this, &SondrelApplication::quitWhenClosed);
    }
    return QApplication::eventFilter(watched, event);
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
