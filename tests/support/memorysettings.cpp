#include "tests/support/memorysettings.h"

bool MemorySettingsStorage::open()
{
    ++opens;
    m_open = openable;
    return m_open;
}

void MemorySettingsStorage::close()
{
    m_open = false;
}

bool MemorySettingsStorage::contains(const QString &name) const
{
    return m_open && values.contains(name);
}

QVariant MemorySettingsStorage::value(const QString &name) const
{
    return m_open ? values.value(name) : QVariant();
}

void MemorySettingsStorage::setValue(const QString &name, const QVariant &value)
{
    if (!m_open)
        return;
    ++writes;
    values.insert(name, value);
}
