#pragma once

#include <QObject>
#include <QString>

class TPcmOutput;

// The one road from a writer's worker thread to the window thread: takes
// over the writer's OnProgress, OnDone and OnThreadException, which the
// writer raises on its worker (a failure to start on the caller's thread),
// and re-raises each as a queued signal on the thread this object lives on,
// in the order they were raised and never inside the call that raised them.
// A signal still queued when the object goes is dropped.
//
// The object is a child of the writer and is destroyed with it, after the
// writer's worker has ended. Create it on the thread that is to receive the
// signals, before the writer's first start.
class WriterEvents : public QObject
{
    Q_OBJECT

public:
    explicit WriterEvents(TPcmOutput &writer);

    TPcmOutput &writer() const { return m_writer; }

Q_SIGNALS:
    // The writer's percentage as it stood when the worker raised OnProgress
    // (-1 for a source of unknown size).
    void progress(int percent);
    // The run ended normally or after RequestStop.
    void done();
    // The run failed, with the failure's message; no done() follows.
    void threadException(const QString &message);

private:
    TPcmOutput &m_writer;
};
