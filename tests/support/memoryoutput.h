#pragma once

#include "pipeline/pcmoutput.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <mutex>

// A sink that keeps what it reads in memory, counts its calls and fails on
// demand, for tests of the framework itself. It errs on read failures (they
// end the run through OnThreadException).
class TMemoryOutput : public TPcmFileOut
{
public:
    explicit TMemoryOutput(QObject *owner = nullptr,
                           const QString &name = QStringLiteral("MemoryOut"));
    ~TMemoryOutput() override;

    QByteArray data() const;
    void setChunkSize(int32_t bytes) { m_chunkSize = bytes; }
    // PrepareOutput raises this message while it is not empty.
    void setPrepareFailure(const QString &message) { m_prepareFailure = message; }
    // The step raises once this many steps read data (-1: never).
    void setFailAtStep(int step) { m_failAtStep = step; }

    std::atomic<int> stepCalls{0};
    std::atomic<int> prepareCalls{0};
    std::atomic<int> finishCalls{0};

protected:
    bool WriteStep(bool abort) override;
    void FinishOutput() override;
    void PrepareOutput() override;

private:
    mutable std::mutex m_dataMutex;
    QByteArray m_data;
    int32_t m_chunkSize = 4096;
    QString m_prepareFailure;
    int m_failAtStep = -1;
    int m_dataSteps = 0;
};
