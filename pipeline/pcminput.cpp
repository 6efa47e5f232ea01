#include "pipeline/pcminput.h"

#include "pipeline/pcmexception.h"

#include <algorithm>

void TInputGuard::acquire()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cleared.wait(lock, [this] { return !m_held; });
    m_held = true;
}

void TInputGuard::release()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_held = false;
    }
    m_cleared.notify_all();
}

bool TInputGuard::isHeld() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_held;
}

TPcmInput::TPcmInput(QObject *owner, const QString &name)
    : QObject(owner)
{
    setObjectName(name);
}

TPcmInput::~TPcmInput()
{
    releaseListeners();
}

void TPcmInput::ResetQuietly()
{
    try {
        EndRead();
    } catch (...) {
        // Used on error paths, where the first error is the one worth reporting.
    }
    m_isBusy = false;
}

void TPcmInput::addListener(TPcmInputListener *listener)
{
    std::lock_guard<std::mutex> lock(m_listenersMutex);
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void TPcmInput::removeListener(TPcmInputListener *listener)
{
    std::lock_guard<std::mutex> lock(m_listenersMutex);
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener),
                      m_listeners.end());
}

void TPcmInput::releaseListeners()
{
    std::vector<TPcmInputListener *> listeners;
    {
        std::lock_guard<std::mutex> lock(m_listenersMutex);
        listeners.swap(m_listeners);
    }
    for (TPcmInputListener *listener : listeners)
        listener->PcmInputRemoved(this);
}

TPcmConverter::TPcmConverter(QObject *owner, const QString &name)
    : TPcmInput(owner, name)
{}

TPcmConverter::~TPcmConverter()
{
    if (TPcmInput *input = m_input.load())
        input->removeListener(this);
}

void TPcmConverter::SetInput(TPcmInput *value)
{
    if (value == this)
        return;
    TPcmInput *old = m_input;
    if (value == old)
        return;
    if (IsBusy()) {
        if (value)
            value->BeginRead();
        {
            TInputGuardLocker lock(m_inputGuard);
            m_input = value;
        }
        if (old)
            old->EndRead();
    } else {
        m_input = value;
    }
    if (old)
        old->removeListener(this);
    if (value)
        value->addListener(this);
}

void TPcmConverter::UnlockInputChain()
{
    m_inputGuard.release();
    if (auto *below = dynamic_cast<TPcmConverter *>(m_input.load()))
        below->UnlockInputChain();
}

void TPcmConverter::PcmInputRemoved(TPcmInput *input)
{
    // The source is half destroyed: it must not be opened or closed any more,
    // only forgotten once no read is under way.
    TInputGuardLocker lock(m_inputGuard);
    if (m_input == input)
        m_input = nullptr;
}

int32_t TPcmConverter::readInput(void *buffer, int32_t size)
{
    TInputGuardLocker lock(m_inputGuard);
    TPcmInput *input = m_input;
    if (!input)
        throw EPcmException("Input is not assigned");
    return input->ReadData(buffer, size);
}
