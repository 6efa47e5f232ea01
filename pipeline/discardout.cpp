#include "pipeline/discardout.h"

TPcmDiscardOut::TPcmDiscardOut(QObject *owner, const QString &name)
    : TPcmOutput(owner, name)
{}

TPcmDiscardOut::~TPcmDiscardOut()
{
    shutdownWorker();
}

void TPcmDiscardOut::PrepareOutput()
{
    m_endOfInput = false;
    Input()->BeginRead();
}

bool TPcmDiscardOut::WriteStep(bool abort)
{
    bool result = false;
    if (!stepPrologue(abort, m_endOfInput, result))
        return result;
    readInputFully(m_buffer.data(), ChunkBytes, m_endOfInput);
    return true;
}

void TPcmDiscardOut::FinishOutput()
{
    endInputRead();
}
