#pragma once

#include "pipeline/filestream.h"
#include "pipeline/pcminput.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

class TPcmOutput;
class TPcmThread;

using TOutputDoneEvent = std::function<void(TPcmOutput *sender)>;
using TOutputProgressEvent = std::function<void(TPcmOutput *sender)>;
using TThreadExceptionEvent = std::function<void(TPcmOutput *sender, const std::exception &error)>;

enum TOutputState { osRunning = 0, osPaused = 1, osIdle = 2 };

// A sink: pulls its Input chunk by chunk on a worker thread of its own.
//
// Threads: StartOutput, RequestStop, the setters and destruction run on the
// GUI thread; WriteStep, FinishOutput (normally) and the three events run on
// the worker. Assign the events before the first start. A handler must not
// destroy the output it was called for.
//
// A descendant calls shutdownWorker() first in its destructor, so that the
// worker is gone before the descendant's members are.
class TPcmOutput : public QObject, public TPcmInputListener
{
public:
    explicit TPcmOutput(QObject *owner = nullptr, const QString &name = {});
    ~TPcmOutput() override;

    // Raises "Component is buisy" or "Input is not assigned"; every later
    // failure arrives as OnThreadException instead.
    void StartOutput();
    // The run ends at the next step, through FinishOutput and OnDone.
    void RequestStop();
    // -1 for a source of unknown size, 0 without a source or for size 0.
    int32_t ProgressPercent();
    TOutputState OutputState() const;

    bool SuspendWhenIdle() const;
    void SetSuspendWhenIdle(bool value);

    TPcmInput *Input() const { return m_input.get(); }
    virtual void SetInput(TPcmInput *value);

    bool IsBusy() const { return m_isBusy; }
    bool OutputEnabled() const { return m_outputEnabled; }
    int32_t LastProgress() const { return m_lastProgress; }

    TOutputDoneEvent OnDone;
    TOutputProgressEvent OnProgress;
    TThreadExceptionEvent OnThreadException;

    void PcmInputRemoved(TPcmInput *input) override;

protected:
    // One chunk; false when the run is over.
    virtual bool WriteStep(bool abort) = 0;
    // Finalises the target and ends the input's read. May be called a second
    // time after it raised, during error recovery.
    virtual void FinishOutput() = 0;
    // Opens the target, begins the input's read and writes any header.
    virtual void PrepareOutput() = 0;

    // The opening every WriteStep shares: returns true when the step should
    // read and write; otherwise `result` is what WriteStep returns.
    bool stepPrologue(bool abort, bool endOfInput, bool &result);
    // Reads from Input under the guard; raises "Input is not assigned" when the
    // source went away during the run.
    int32_t readInput(void *buffer, int32_t size);
    // Reads until the buffer is full or the input ends, which sets
    // endOfInput; returns the bytes read.
    int32_t readInputFully(void *buffer, int32_t size, bool &endOfInput);
    // Ends the input's read if there still is an input.
    void endInputRead();

    TInputGuard &InputGuard() { return m_input.guard(); }

    void shutdownWorker();

private:
    void RunFinished();
    void HandleWorkerError(const std::exception &error);

    std::atomic<bool> m_outputEnabled{false};
    std::atomic<int32_t> m_lastProgress{0};
    TInputSlot m_input;
    std::atomic<bool> m_isBusy{false};
    std::unique_ptr<TPcmThread> m_thread; // created with the output, never replaced
};

// A sink that writes into a stream of its own, created by PrepareOutput and
// freed by FinishOutput.
class TPcmStreamedOutput : public TPcmOutput
{
public:
    using TPcmOutput::TPcmOutput;

protected:
    std::unique_ptr<TFileStream> OutputStream;
};

enum TFileOutputMode { foRewrite = 0, foAppend = 1 };

// A sink that writes a named file.
class TPcmFileOut : public TPcmStreamedOutput
{
public:
    using TPcmStreamedOutput::TPcmStreamedOutput;

    QString FileName() const { return m_fileName; }
    void SetFileName(const QString &value) { m_fileName = value; }

    TFileOutputMode FileMode() const { return m_fileMode; }
    // This base keeps foRewrite whatever is asked; a sink that can append overrides it.
    virtual void SetFileMode(TFileOutputMode value);

protected:
    // Raises "File name is not assigned." for an empty name; opens an
    // existing file for appending when FileMode is foAppend, otherwise
    // creates (truncates) it. The stream goes into OutputStream.
    void OpenOutputFile();

    TFileOutputMode m_fileMode = foRewrite;

private:
    QString m_fileName;
};
