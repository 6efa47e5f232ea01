#pragma once

#include "app/ui/mainwindow.h"
#include "tests/support/memorysettings.h"
#include "tests/support/namedchild.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>

class QWidget;
class SondrelCore;
class TRipJob;

namespace TestSupport {

// Runs `handle` on the next modal widget that opens, from the event loop.
void onNextModal(std::function<void(QWidget *)> handle);

// The main window as the program makes it, over settings kept in memory
// (holding `stored` beforehand); not shown yet. The drives it lists are the
// discs the test's TestHome installed before it was made.
struct WindowRig
{
    explicit WindowRig(const QVariantMap &stored = {});

    std::unique_ptr<TfrmMain> w;
    MemorySettingsStorage *settings = nullptr; // owned by the window

    SondrelCore &core() const { return *w->core(); }
    TRipJob *job() const { return w->ripJob(); }
    template<typename T>
    T *child(const QString &name) const
    {
        return TestSupport::child<T>(w.get(), name);
    }

    // Chooses a drive (a negative index counts from the end: -1 is the last
    // one) and shows the window; false when it did not show.
    bool show(int drive = -1);
    // Where and how the next rip writes: the output folder, the format and
    // the filename template by their list indexes, one track at a time
    // unless `overlap`. The disc is not ejected.
    void prepareRip(const QString &folder, int format, int templ = 0, bool overlap = false);
    // The lines of the progress window's memo; none without the window.
    QStringList memo() const;
    // Presses Rip and waits, ms at most, until the job has ended or stalled
    // on an "Error: " line; the memo's lines.
    QStringList ripAll(int ms = 120000);
    // Waits, ms at most, for the job's end.
    bool waitEnded(int ms = 120000) const;
};

} // namespace TestSupport
