#include "pipeline/writerevents.h"

#include "pipeline/pcmoutput.h"

WriterEvents::WriterEvents(TPcmOutput &writer)
    : QObject(&writer)
    , m_writer(writer)
{
    setObjectName(writer.objectName() + QStringLiteral("Events"));
    // Each event is copied into its queued call at once: the worker goes on
    // and may change the writer before the window thread gets to it.
    writer.OnProgress = [this](TPcmOutput *sender) {
        const int percent = sender->LastProgress();
        QMetaObject::invokeMethod(
            this, [this, percent] { Q_EMIT progress(percent); }, Qt::QueuedConnection);
    };
    writer.OnDone = [this](TPcmOutput *) {
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT done(); }, Qt::QueuedConnection);
    };
    writer.OnThreadException = [this](TPcmOutput *, const std::exception &error) {
        const QString message = QString::fromUtf8(error.what());
        QMetaObject::invokeMethod(
            this, [this, message] { Q_EMIT threadException(message); }, Qt::QueuedConnection);
    };
}
