#include "pipeline/pcmoutput.h"

#include "pipeline/pcmexception.h"
#include "pipeline/pcmthread.h"

#include <QFileInfo>

#include <cmath>

TPcmOutput::TPcmOutput(QObject *owner, const QString &name)
    : QObject(owner)
{
    setObjectName(name);
    m_thread = std::make_unique<TPcmThread>([this](bool abort) { return WriteStep(abort); },
                                            [this] { RunFinished(); },
                                            [this](const std::exception &error) {
                                                HandleWorkerError(error);
                                            },
                                            [this] { return m_outputEnabled.load(); });
}

TPcmOutput::~TPcmOutput()
{
    // A descendant normally stopped the worker already; if not, its step may
    // no longer be called (that descendant's part is gone).
    m_thread->shutdown(false);
    m_input.detach(this);
}

void TPcmOutput::shutdownWorker()
{
    m_thread->shutdown(true);
}

void TPcmOutput::StartOutput()
{
    if (m_isBusy)
        throw EPcmException("Component is buisy");
    if (!m_input.get())
        throw EPcmException("Input is not assigned");
    m_input.guard().release();
    try {
        PrepareOutput();
        m_isBusy = true;
        m_thread->SetStopRequested(false);
        m_outputEnabled = true;
        m_thread->resume();
    } catch (const std::exception &error) {
        HandleWorkerError(error);
    }
}

void TPcmOutput::RequestStop()
{
    m_thread->SetStopRequested(true);
    // Not the step alone: the read it waits on stops too. An idle sink's
    // source may be feeding another sink.
    TPcmInput *input = m_input.get();
    if (m_isBusy && input)
        input->AbortRead();
}

int32_t TPcmOutput::ProgressPercent()
{
    // The guard keeps the source from being swapped or freed while it is read.
    TInputGuardLocker lock(m_input.guard());
    TPcmInput *input = m_input.get();
    if (!input)
        return 0;
    const int32_t size = input->Size();
    if (size == -1)
        return -1;
    if (size == 0)
        return 0;
    const double percent = static_cast<double>(input->Position()) / size * 100.0;
    // nearbyint rounds ties to even under the default rounding mode.
    return static_cast<int32_t>(std::nearbyint(percent));
}

TOutputState TPcmOutput::OutputState() const
{
    if (!m_isBusy)
        return osIdle;
    return m_thread->isSuspended() ? osPaused : osRunning;
}

bool TPcmOutput::SuspendWhenIdle() const
{
    return m_thread->SuspendWhenIdle();
}

void TPcmOutput::SetSuspendWhenIdle(bool value)
{
    m_thread->SetSuspendWhenIdle(value);
}

void TPcmOutput::SetInput(TPcmInput *value)
{
    m_input.set(value, m_isBusy, this);
}

void TPcmOutput::PcmInputRemoved(TPcmInput *input)
{
    // A run still going ends at its next read with "Input is not assigned".
    m_input.removed(input);
}

bool TPcmOutput::stepPrologue(bool abort, bool endOfInput, bool &result)
{
    if (!m_outputEnabled) {
        result = true;
        return false;
    }
    const int32_t percent = ProgressPercent();
    if (percent != m_lastProgress) {
        m_lastProgress = percent;
        if (OnProgress)
            OnProgress(this);
    }
    if (abort || endOfInput) {
        result = false;
        return false;
    }
    return true;
}

int32_t TPcmOutput::readInput(void *buffer, int32_t size)
{
    return m_input.read(buffer, size);
}

int32_t TPcmOutput::readInputFully(void *buffer, int32_t size, bool &endOfInput)
{
    auto *bytes = static_cast<char *>(buffer);
    int32_t filled = 0;
    while (filled < size) {
        const int32_t n = readInput(bytes + filled, size - filled);
        if (n <= 0) {
            endOfInput = true;
            break;
        }
        filled += n;
    }
    return filled;
}

void TPcmOutput::endInputRead()
{
    if (TPcmInput *input = m_input.get())
        input->EndRead();
}

void TPcmOutput::RunFinished()
{
    if (!m_isBusy)
        return;
    m_outputEnabled = false;
    FinishOutput();
    m_isBusy = false;
    if (OnDone)
        OnDone(this);
}

void TPcmOutput::HandleWorkerError(const std::exception &error)
{
    m_input.guard().release();
    if (OutputState() != osIdle) {
        if (auto *converter = dynamic_cast<TPcmConverter *>(m_input.get())) {
            try {
                converter->UnlockInputChain();
            } catch (...) {
                // Recovery goes on; the first error is the one reported.
            }
        }
        try {
            FinishOutput();
        } catch (...) {
            // Same: the error that ended the run is the one the user sees.
        }
    }
    m_outputEnabled = false;
    m_isBusy = false;
    if (OnThreadException)
        OnThreadException(this, error);
}

void TPcmFileOut::SetFileMode(TFileOutputMode)
{
    m_fileMode = foRewrite;
}

void TPcmFileOut::OpenOutputFile()
{
    if (m_fileName.isEmpty())
        throw EPcmException("File name is not assigned.");
    const bool append = m_fileMode == foAppend && QFileInfo::exists(m_fileName);
    OutputStream = std::make_unique<TFileStream>(m_fileName,
                                                 append ? TFileStream::Mode::OpenReadWrite
                                                        : TFileStream::Mode::Create);
}
