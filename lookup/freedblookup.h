#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QThread;

// What one lookup gave: the answer text when there is one, and the
// library's one-line message, which says why there is no answer, or warns
// about something that went wrong beside an answer (empty when nothing did).
struct FreedbReply
{
    bool answered = false;
    QString answer;
    QString message;
    // Every entry found, as JSON (see FreedbCandidates); empty when none.
    QString candidates{};
    // Where MusicBrainz takes the disc (see Getfreedbsubmiturl); empty when none.
    QString submitUrl{};
};
Q_DECLARE_METATYPE(FreedbReply)

// Run-time binding of the disc lookup library libdisclookup.so. It is opened
// by plain name and never linked, so a machine without it runs the program,
// only without the lookup.
namespace FreedbLib {

inline constexpr const char *LibraryFileName = "libdisclookup.so";

// The message of a lookup without the library, with the loader's reason.
QString missingMessage(const QString &reason);

// One call of Getfreedbinfo through the process-wide copy of the library,
// loaded on the first call (thread-safe) and kept until the program ends.
// The answer is copied at once. Without the library: no answer and
// missingMessage(). Blocks for as long as the lookup takes.
FreedbReply Getfreedbinfo(const QString &libraryPath, int drive);

// Keeps in the disc library the entry the user chose for the disc of
// `toc`; the message of what failed, empty when it was kept.
QString Setfreedbchoice(const QString &libraryPath, const QString &toc, const QString &key);

} // namespace FreedbLib

// Runs one lookup at a time on a worker thread, so that the window keeps
// repainting while a slow server answers. Owned by the window thread; the
// source runs on the worker.
class TFreedbLookup : public QObject
{
    Q_OBJECT

public:
    // Where a lookup's reply comes from: FreedbLib::Getfreedbinfo, or a
    // stand-in in tests.
    using Source = std::function<FreedbReply(const QString &libraryPath, int drive)>;

    explicit TFreedbLookup(QObject *parent = nullptr);
    // Waits for a running lookup: its source must not outlive the object.
    ~TFreedbLookup() override;

    // The local disc library's full path: "CDLibrary.db" in the program's
    // data folder.
    static QString LibraryPath();

    void setSource(Source source);
    bool isRunning() const { return m_worker != nullptr; }
    // Starts a lookup of the disc in `drive` (an index of the CD library's
    // drive list); finished() follows on this object's thread, whatever the
    // outcome. False, and nothing started, while one runs.
    bool start(const QString &libraryPath, int drive);

Q_SIGNALS:
    void finished(const FreedbReply &reply);

private:
    void finish(const FreedbReply &reply);

    Source m_source;
    std::unique_ptr<QThread> m_worker;
};
