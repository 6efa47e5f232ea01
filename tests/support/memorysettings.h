#pragma once

#include "app/settings.h"

#include <QVariantMap>

// Settings kept in memory for the tests: they count the opens and writes,
// and an `openable` of false makes every open fail, as an unwritable key does.
class MemorySettingsStorage : public SettingsStorage
{
public:
    bool open() override;
    void close() override;
    bool contains(const QString &name) const override;
    QVariant value(const QString &name) const override;
    void setValue(const QString &name, const QVariant &value) override;

    QVariantMap values;
    bool openable = true;
    int opens = 0;
    int writes = 0;

private:
    bool m_open = false;
};
