#include "memoryoutput.h"

#include "pipeline/pcmexception.h"

#include <vector>

TMemoryOutput::TMemoryOutput(QObject *owner, const QString &name)
    : TPcmFileOut(owner, name)
{}

TMemoryOutput::~TMemoryOutput()
{
    shutdownWorker();
}

QByteArray TMemoryOutput::data() const
{
    std::lock_guard<std::mutex> lock(m_dataMutex);
    return m_data;
}

bool TMemoryOutput::WriteStep(bool abort)
{
    ++stepCalls;
    bool result = false;
    if (!stepPrologue(abort, false, result))
        return result;
    if (m_failAtStep >= 0 && m_dataSteps == m_failAtStep)
        throw EPcmException("step failed");
    std::vector<char> chunk(static_cast<size_t>(m_chunkSize));
    const int32_t n = readInput(chunk.data(), m_chunkSize);
    if (n <= 0)
        return false;
    ++m_dataSteps;
    std::lock_guard<std::mutex> lock(m_dataMutex);
    m_data.append(chunk.data(), n);
    return true;
}

void TMemoryOutput::FinishOutput()
{
    ++finishCalls;
    endInputRead();
}

void TMemoryOutput::PrepareOutput()
{
    ++prepareCalls;
    if (!m_prepareFailure.isEmpty())
        throw EPcmException(m_prepareFailure);
    {
        std::lock_guard<std::mutex> lock(m_dataMutex);
        m_data.clear();
    }
    m_dataSteps = 0;
    Input()->BeginRead();
}
