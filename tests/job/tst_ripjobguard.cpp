#include "job/ripjob.h"
#include "tests/support/lineview.h"

#include <QObject>
#include <QTimer>
#include <QtTest>

#include <stdexcept>

// Failures inside the job's handlers, which the event loop calls: they are
// reported as the job's own errors and never thrown into the loop.
class tst_RipJobGuard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void failuresStayInsideTheJob();
};

void tst_RipJobGuard::failuresStayInsideTheJob()
{
    QTimer timer;
    QTimer timeRip;
    TRipJob::Components components;
    components.Timer = &timer;
    components.TimeRip = &timeRip;
    TRipJob job(components);
    QStringList shown;
    job.OnFinishError = [&shown](const QString &message) { shown << message; };
    TestSupport::LineView view;

    // No FLAC writer: the first track stalls the job.
    job.Start(view, TRipJob::fmFlac, {TTrackInfo{1, "", "", "", "", "", "/nowhere/01.flac"}}, {}, {});
    QCOMPARE(view.lines,
             QStringList({"Initialization...",
                          "Extracting Track 1...",
                          "Create file: /nowhere/01.flac",
                          "Error: FLAC files cannot be written: libFLAC is missing."}));
    QVERIFY(job.Running());
    QVERIFY(shown.isEmpty());

    // Whoever hears of the job's end fails; the Cancel button's handler keeps
    // it, and the job has ended all the same.
    connect(&job, &TRipJob::ended, this, [] { throw std::runtime_error("listener failed"); });
    QTimer::singleShot(0, &job, &TRipJob::CancelJob);
    QTRY_VERIFY(!job.Running());
    QCOMPARE(view.lines.mid(4),
             QStringList({"Cancelled.",
                          "Done. 0 track(s) were successfully extracted.",
                          "Error: listener failed"}));
    QCOMPARE(shown, QStringList{"listener failed"});
}

QTEST_GUILESS_MAIN(tst_RipJobGuard)
#include "tst_ripjobguard.moc"
