#pragma once

#include <QString>

// A shared library opened at run time and never linked, so that a machine
// without it still runs the program, only without what needs it. Each
// binding keeps its table of entry points in its own .cpp and fills it
// through require() and optional():
//
//     RuntimeLibrary library(QStringLiteral("libFoo.so.1"));
//     Api api;
//     library.require(api.foo_open, "foo_open");
//     library.optional(api.foo_version, "foo_version");
//     if (library.isLoaded()) ... // every required entry point was found
//
// The library stays open until unload() or destruction. Not thread-safe
// while loading; once loaded, the resolved pointers may be used anywhere.
class RuntimeLibrary
{
public:
    // A plain name is looked up the dynamic loader's way (the program's
    // RPATH in the build, the system's library path when installed), a path
    // is used as it is. Symbols stay local to the library.
    explicit RuntimeLibrary(const QString &fileName);
    ~RuntimeLibrary();
    RuntimeLibrary(const RuntimeLibrary &) = delete;
    RuntimeLibrary &operator=(const RuntimeLibrary &) = delete;

    const QString &fileName() const { return m_fileName; }
    // Opened, and no required entry point was missing.
    bool isLoaded() const { return m_handle != nullptr; }
    // Why it is not loaded: the loader's text or "entry point <name> is missing".
    const QString &errorText() const { return m_error; }

    // Sets target to the entry point (a function or a data symbol). A missing
    // one closes the library, so that a half-matching copy is never called
    // through a null pointer; every later call then resolves nothing.
    template<typename Pointer>
    void require(Pointer &target, const char *name)
    {
        target = reinterpret_cast<Pointer>(symbol(name, true));
    }
    // The same for an entry point the callers can do without: null when missing.
    template<typename Pointer>
    void optional(Pointer &target, const char *name)
    {
        target = reinterpret_cast<Pointer>(symbol(name, false));
    }

    // Closes the library; harmless when it is not open.
    void unload();

private:
    void *symbol(const char *name, bool required);

    QString m_fileName;
    void *m_handle = nullptr;
    QString m_error;
};
