#pragma once

#include "app/sondrelcore.h"
#include "job/progressview.h"
#include "job/ripjob.h"
#include "pipeline/flacwriter.h"
#include "pipeline/macwriter.h"
#include "pipeline/wavewriter.h"
#include "pipeline/writerevents.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <cstdio>

// The rip job as the benchmarks run it: over the core's components, with a
// window shown to nobody.
namespace BenchJob {

class SilentView : public QObject, public ProgressView
{
public:
    void setCaption(const QString &) override {}
    void addLine(const QString &line) override
    {
        // A stalled job would wait for a Cancel that never comes.
        if (line.startsWith(QLatin1String("Error: "))) {
            std::fprintf(stderr, "%s\n", qPrintable(line));
            QCoreApplication::exit(1);
        }
    }
    void setRipPercent(int) override {}
    void setConvertPercent(int) override {}
    void setTotalPercent(int) override {}
    void setCancelEnabled(bool) override {}
    void setExitEnabled(bool) override {}
    QObject *viewObject() override { return this; }
};

// Rips tracks 1 .. trackCount of the core's current drive into `folder`
// as <n><ext> in `format`; the seconds it took, -1 when a track is missing.
inline double rip(
    SondrelCore &core, int format, int trackCount, const QString &folder, const char *ext)
{
    QTimer timer;
    timer.setSingleShot(true);
    timer.setInterval(100);
    QTimer timeRip;
    timeRip.setSingleShot(true);
    timeRip.setInterval(200);
    TRipJob job({core.CDIn(),
                 core.WaveOut(),
                 core.FLACOut(),
                 core.MACOut(),
                 core.eventsOf(core.WaveOut()),
                 core.eventsOf(core.FLACOut()),
                 core.eventsOf(core.MACOut()),
                 core.AudioConvert(),
                 core.Information(),
                 &timer,
                 &timeRip});
    QList<TTrackInfo> records;
    for (int t = 1; t <= trackCount; ++t) {
        TTrackInfo record;
        record.Number = t;
        record.FileName = folder + QStringLiteral("/%1").arg(t) + QLatin1String(ext);
        records << record;
    }
    SilentView view;
    QEventLoop loop;
    QObject::connect(&job, &TRipJob::ended, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    job.Start(view, format, records, {}, {});
    if (job.Running())
        loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    return job.PlaylistEntries.size() == trackCount ? seconds : -1;
}

} // namespace BenchJob
