#pragma once

#include "pipeline/pcmexception.h"

#include <QString>

#include <memory>

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

// Declares the member of a binding's table that holds the C entry point
// `name`, typed by its declaration in the library's header. For the lists of
// entry points a binding expands once to declare and once to resolve them.
// NOLINTNEXTLINE(bugprone-macro-parentheses): the argument is a name, not an expression
#define SONDREL_ENTRY_POINT(name) decltype(&::name) name = nullptr;

// One binding's library together with its table of entry points, loaded once
// for the whole program. It counts as loaded only when every required entry
// point is present, so a half-matching copy never leaves a null pointer to be
// called. Immutable after construction: any thread may use it.
//
// Api is the binding's table, defined in its .cpp, where the C header stays:
//
//     struct Api {
//         static constexpr const char *fileName = "libFoo.so.1"; // loaded by instance()
//         void resolve(RuntimeLibrary &library);                 // require()s each entry
//         ...
//     };
//     template class RuntimeBinding<Api>;
//
// and its header says `extern template class RuntimeBinding<Api>;` so that
// no other source needs Api's definition.
template<typename Api>
class RuntimeBinding
{
public:
    // A plain name is looked up the dynamic loader's way, a path is used as is.
    explicit RuntimeBinding(const QString &fileName);
    ~RuntimeBinding();
    RuntimeBinding(const RuntimeBinding &) = delete;
    RuntimeBinding &operator=(const RuntimeBinding &) = delete;

    bool isLoaded() const { return m_api != nullptr; }
    // Why the load failed (the loader's text or the missing entry point).
    const QString &errorText() const { return m_library.errorText(); }
    const Api *api() const { return m_api.get(); }
    // Raises "<Api::fileName> library could not be loaded." unless loaded;
    // whichever copy failed, users know the library by that name.
    void requireLoaded() const;

    // The process-wide copy, loaded from Api::fileName on the first call
    // (thread-safe) and kept until the program ends.
    static const RuntimeBinding &instance();

private:
    RuntimeLibrary m_library;
    std::unique_ptr<Api> m_api;
};

template<typename Api>
RuntimeBinding<Api>::RuntimeBinding(const QString &fileName)
    : m_library(fileName)
{
    auto api = std::make_unique<Api>();
    api->resolve(m_library);
    if (m_library.isLoaded())
        m_api = std::move(api);
}

template<typename Api>
RuntimeBinding<Api>::~RuntimeBinding() = default;

template<typename Api>
void RuntimeBinding<Api>::requireLoaded() const
{
    if (!isLoaded())
        throw EPcmException(
            QStringLiteral("%1 library could not be loaded.").arg(QLatin1String(Api::fileName)));
}

template<typename Api>
const RuntimeBinding<Api> &RuntimeBinding<Api>::instance()
{
    // Never destroyed: worker threads may still finish a file while static
    // objects are torn down at exit. The system releases it with the process.
    static const RuntimeBinding *const library = new RuntimeBinding(QLatin1String(Api::fileName));
    return *library;
}
