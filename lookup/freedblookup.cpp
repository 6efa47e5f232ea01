#include "lookup/freedblookup.h"

#include "libs/disclookup/disclookup.h"
#include "pipeline/cdinput.h"
#include "pipeline/runtimelibrary.h"

#include <QFile>
#include <QThread>

#include <exception>

namespace FreedbLib {

namespace {

// The library and its two entry points; immutable once made.
class Library
{
public:
    Library()
        : m_library(QLatin1String(LibraryFileName))
    {
        m_library.require(m_getInfo, "Getfreedbinfo");
        m_library.require(m_getError, "Getfreedberror");
        m_library.require(m_getCandidates, "Getfreedbcandidates");
        m_library.require(m_setChoice, "Setfreedbchoice");
        m_library.require(m_getSubmitUrl, "Getfreedbsubmiturl");
    }

    // Never destroyed: a lookup may still run on its worker while static
    // objects are torn down at exit.
    static const Library &instance()
    {
        static const Library *const library = new Library;
        return *library;
    }

    FreedbReply call(const QString &libraryPath, int drive) const
    {
        if (!m_library.isLoaded())
            return {false, QString(), missingMessage(m_library.errorText())};
        FreedbReply reply;
        const char *answer = m_getInfo(QFile::encodeName(libraryPath).constData(), drive);
        reply.answered = answer != nullptr;
        // Copied before anything else may call the library again.
        reply.answer = QString::fromUtf8(answer);
        reply.message = QString::fromUtf8(m_getError());
        reply.candidates = QString::fromUtf8(m_getCandidates());
        reply.submitUrl = QString::fromUtf8(m_getSubmitUrl());
        return reply;
    }

    QString choose(const QString &libraryPath, const QString &toc, const QString &key) const
    {
        if (!m_library.isLoaded())
            return missingMessage(m_library.errorText());
        return QString::fromUtf8(m_setChoice(QFile::encodeName(libraryPath).constData(),
                                             toc.toUtf8().constData(),
                                             key.toUtf8().constData()));
    }

private:
    RuntimeLibrary m_library;
    decltype(&::Getfreedbinfo) m_getInfo = nullptr;
    decltype(&::Getfreedberror) m_getError = nullptr;
    decltype(&::Getfreedbcandidates) m_getCandidates = nullptr;
    decltype(&::Setfreedbchoice) m_setChoice = nullptr;
    decltype(&::Getfreedbsubmiturl) m_getSubmitUrl = nullptr;
};

} // namespace

QString missingMessage(const QString &reason)
{
    QString message = QStringLiteral("%1 library could not be loaded.")
                          .arg(QLatin1String(LibraryFileName));
    if (!reason.isEmpty())
        message += QStringLiteral(" (%1)").arg(reason);
    return message;
}

FreedbReply Getfreedbinfo(const QString &libraryPath, int drive)
{
    return Library::instance().call(libraryPath, drive);
}

QString Setfreedbchoice(const QString &libraryPath, const QString &toc, const QString &key)
{
    return Library::instance().choose(libraryPath, toc, key);
}

} // namespace FreedbLib

TFreedbLookup::TFreedbLookup(QObject *parent)
    : QObject(parent)
    , m_source(&FreedbLib::Getfreedbinfo)
{
    qRegisterMetaType<FreedbReply>();
}

TFreedbLookup::~TFreedbLookup()
{
    if (m_worker)
        m_worker->wait();
}

QString TFreedbLookup::LibraryPath()
{
    return TCDIn::SettingsFolder() + QStringLiteral("CDLibrary.db");
}

void TFreedbLookup::setSource(Source source)
{
    m_source = std::move(source);
}

bool TFreedbLookup::start(const QString &libraryPath, int drive)
{
    if (m_worker)
        return false;
    m_worker.reset(QThread::create([this, source = m_source, libraryPath, drive] {
        FreedbReply reply;
        try {
            reply = source(libraryPath, drive);
        } catch (const std::exception &e) {
            reply = {false, QString(), QStringLiteral("The disc lookup failed: %1").arg(e.what())};
        } catch (...) {
            reply = {false, QString(), QStringLiteral("The disc lookup failed")};
        }
        // Dropped when this object is gone; its destructor waits for the
        // worker, so `this` is still whole here.
        QMetaObject::invokeMethod(
            this, [this, reply] { finish(reply); }, Qt::QueuedConnection);
    }));
    m_worker->setObjectName(QStringLiteral("FreedbLookup"));
    m_worker->start();
    return true;
}

void TFreedbLookup::finish(const FreedbReply &reply)
{
    m_worker->wait();
    m_worker.reset();
    Q_EMIT finished(reply);
}
