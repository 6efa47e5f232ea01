#include "pipeline/runtimelibrary.h"

#include <QFile>

#include <dlfcn.h>

RuntimeLibrary::RuntimeLibrary(const QString &fileName)
    : m_fileName(fileName)
{
    dlerror();
    m_handle = dlopen(QFile::encodeName(fileName).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char *text = dlerror();
        m_error = text ? QString::fromLocal8Bit(text)
                       : QStringLiteral("%1 could not be opened").arg(fileName);
    }
}

RuntimeLibrary::~RuntimeLibrary()
{
    unload();
}

void RuntimeLibrary::unload()
{
    if (m_handle)
        dlclose(m_handle);
    m_handle = nullptr;
}

void *RuntimeLibrary::symbol(const char *name, bool required)
{
    if (!m_handle)
        return nullptr;
    dlerror();
    void *address = dlsym(m_handle, name);
    if (!address && required) {
        m_error = QStringLiteral("entry point %1 is missing").arg(QLatin1String(name));
        unload();
    }
    return address;
}
