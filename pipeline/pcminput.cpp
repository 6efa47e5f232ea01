#include "pipeline/pcminput.h"

#include "pipeline/pcmexception.h"

#include <algorithm>

void TInputGuard::acquire()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const uint64_t ticket = m_nextTicket++;
    m_cleared.wait(lock, [this, ticket] { return !m_held && m_serving == ticket; });
    m_held = true;
}

void TInputGuard::release()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_held)
            return;
        m_held = false;
        ++m_serving;
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

void TInputSlot::set(TPcmInput *value, bool busy, TPcmInputListener *listener)
{
    TPcmInput *old = m_input;
    if (value == old)
        return;
    if (busy && value)
        value->BeginRead();
    {
        TInputGuardLocker lock(m_guard);
        m_input = value;
    }
    if (busy && old)
        old->EndRead();
    if (old)
        old->removeListener(listener);
    if (value)
        value->addListener(listener);
}

void TInputSlot::removed(TPcmInput *input)
{
    TInputGuardLocker lock(m_guard);
    if (m_input == input)
        m_input = nullptr;
}

int32_t TInputSlot::read(void *buffer, int32_t size)
{
    TInputGuardLocker lock(m_guard);
    TPcmInput *input = m_input;
    if (!input)
        throw EPcmException("Input is not assigned");
    return input->ReadData(buffer, size);
}

void TInputSlot::detach(TPcmInputListener *listener)
{
    if (TPcmInput *input = m_input.load())
        input->removeListener(listener);
}

TPcmConverter::TPcmConverter(QObject *owner, const QString &name)
    : TPcmInput(owner, name)
{}

TPcmConverter::~TPcmConverter()
{
    m_input.detach(this);
}

void TPcmConverter::SetInput(TPcmInput *value)
{
    if (value != this)
        m_input.set(value, IsBusy(), this);
}

void TPcmConverter::UnlockInputChain()
{
    m_input.guard().release();
    if (auto *below = dynamic_cast<TPcmConverter *>(m_input.get()))
        below->UnlockInputChain();
}

void TPcmConverter::PcmInputRemoved(TPcmInput *input)
{
    m_input.removed(input);
}
