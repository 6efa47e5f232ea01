#pragma once

#include "pipeline/pcminput.h"
#include "pipeline/pcmoutput.h"

#include <QtGlobal>

#include <vector>

// A sink that reads its input on the worker, as the file writers do, and
// throws the bytes away: the time of the read alone.
class DiscardOut : public TPcmOutput
{
public:
    using TPcmOutput::TPcmOutput;
    ~DiscardOut() override { shutdownWorker(); }

    qint64 bytes = 0;

protected:
    bool WriteStep(bool abort) override
    {
        bool result = false;
        if (!stepPrologue(abort, m_end, result))
            return result;
        const int32_t n = readInput(m_buffer.data(), int32_t(m_buffer.size()));
        bytes += n;
        m_end = n == 0;
        return true;
    }
    void FinishOutput() override { endInputRead(); }
    void PrepareOutput() override
    {
        m_end = false;
        bytes = 0;
        Input()->BeginRead();
    }

private:
    std::vector<char> m_buffer = std::vector<char>(16384);
    bool m_end = false;
};
