#pragma once

#include <QObject>
#include <QString>

namespace TestSupport {

// The child of `parent` with this objectName; null, with a warning that
// names it, when there is none.
template<typename T>
T *child(const QObject *parent, const QString &name)
{
    T *found = parent ? parent->findChild<T *>(name) : nullptr;
    if (!found)
        qWarning("no %s", qPrintable(name));
    return found;
}

} // namespace TestSupport
