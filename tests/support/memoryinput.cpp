#include "memoryinput.h"

#include "pipeline/pcmexception.h"

#include <algorithm>
#include <cstring>

TMemoryInput::TMemoryInput(
    QByteArray data, int32_t bits, int32_t channels, int32_t rate, QObject *owner)
    : TPcmInput(owner, QStringLiteral("MemoryIn"))
    , m_data(std::move(data))
    , m_bits(bits)
    , m_channels(channels)
    , m_rate(rate)
{}

TMemoryInput::~TMemoryInput()
{
    // A parked read holds a sink's guard; let it go before the sinks detach.
    release();
    releaseListeners();
}

void TMemoryInput::setFormat(int32_t bits, int32_t channels, int32_t rate)
{
    m_bits = bits;
    m_channels = channels;
    m_rate = rate;
}

void TMemoryInput::hold()
{
    std::lock_guard<std::mutex> lock(m_holdMutex);
    m_held = true;
}

void TMemoryInput::release()
{
    {
        std::lock_guard<std::mutex> lock(m_holdMutex);
        m_held = false;
    }
    m_holdChanged.notify_all();
}

void TMemoryInput::setCounters(int32_t position, int32_t size)
{
    m_position = position;
    m_size = size;
}

int32_t TMemoryInput::ReadData(void *buffer, int32_t size)
{
    {
        std::unique_lock<std::mutex> lock(m_holdMutex);
        m_parked = m_held;
        m_holdChanged.wait(lock, [this] { return !m_held; });
        m_parked = false;
    }
    if (!m_isBusy)
        throw EPcmException("The Stream is not opened");
    const int32_t position = m_position;
    if (m_failAfter >= 0 && position >= m_failAfter)
        throw EPcmException("read failed");
    const int32_t available = static_cast<int32_t>(m_data.size()) - position;
    if (m_endless && available <= 0) {
        const int32_t n = std::min(size, m_maxRead);
        std::memset(buffer, 0, static_cast<size_t>(n));
        m_position = position + n;
        return n;
    }
    const int32_t n = std::min({size, m_maxRead, available});
    if (n <= 0)
        return 0;
    std::memcpy(buffer, m_data.constData() + position, static_cast<size_t>(n));
    m_position = position + n;
    return n;
}

void TMemoryInput::BeginRead()
{
    if (m_isBusy)
        throw EPcmException("The component is buisy");
    ++beginCalls;
    m_size = m_reportedSize == -2 ? static_cast<int32_t>(m_data.size()) : m_reportedSize;
    m_position = 0;
    m_isBusy = true;
}

void TMemoryInput::EndRead()
{
    ++endCalls;
    m_isBusy = false;
    m_size = 0;
}
