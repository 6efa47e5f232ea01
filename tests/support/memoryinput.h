#pragma once

#include "pipeline/pcminput.h"

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <mutex>

// A source over bytes in memory, with the knobs the sink tests need: the
// format it claims, the Size it reports, how much one read may return, and a
// hold that parks reads on the worker until released.
class TMemoryInput : public TPcmInput
{
public:
    explicit TMemoryInput(QByteArray data = {},
                          int32_t bits = 16,
                          int32_t channels = 2,
                          int32_t rate = 44100,
                          QObject *owner = nullptr);
    ~TMemoryInput() override;

    void setData(const QByteArray &data) { m_data = data; }
    // Size from the next BeginRead on; -2 (the default) means the data's length.
    void setReportedSize(int32_t size) { m_reportedSize = size; }
    void setMaxRead(int32_t bytes) { m_maxRead = bytes; }
    // Reads fail with EPcmException "read failed" once this many bytes went out (-1: never).
    void setFailAfter(int32_t bytes) { m_failAfter = bytes; }
    // Silence after the data, for ever: the run can only end by stop or error.
    void setEndless(bool endless) { m_endless = endless; }
    void setFormat(int32_t bits, int32_t channels, int32_t rate);

    void hold();
    void release();
    // True once a read is parked on the hold.
    bool readParked() const { return m_parked; }

    // For progress tests: the counters a read in progress would have.
    void setCounters(int32_t position, int32_t size);

    int32_t GetBitsPerSample() override { return m_bits; }
    int32_t GetChannels() override { return m_channels; }
    int32_t GetSampleRate() override { return m_rate; }
    int32_t ReadData(void *buffer, int32_t size) override;
    void BeginRead() override;
    void EndRead() override;

    std::atomic<int> beginCalls{0};
    std::atomic<int> endCalls{0};

private:
    QByteArray m_data;
    int32_t m_bits;
    int32_t m_channels;
    int32_t m_rate;
    int32_t m_reportedSize = -2;
    int32_t m_maxRead = 1 << 30;
    int32_t m_failAfter = -1;
    bool m_endless = false;
    std::mutex m_holdMutex;
    std::condition_variable m_holdChanged;
    bool m_held = false;
    std::atomic<bool> m_parked{false};
};
