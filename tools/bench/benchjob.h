#pragma once

#include "app/settings.h"
#include "app/sondrelcore.h"
#include "job/progressview.h"
#include "job/ripjob.h"
#include "pipeline/flacwriter.h"
#include "pipeline/macwriter.h"
#include "pipeline/wavewriter.h"
#include "pipeline/writerevents.h"
#include "tools/discgen/discimage.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QObject>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>

// The rip job as the benchmarks run it: over the core's components, with a
// window shown to nobody.
namespace BenchJob {

// The benchmark's settings and temporary files go into `work`, not the
// user's own folders.
inline void useHome(const QTemporaryDir &work)
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(work.filePath("config")));
    qputenv("TMPDIR", QFile::encodeName(work.filePath("tmp")));
    QDir().mkpath(work.filePath("tmp"));
    QDir().mkpath(TCDIn::SettingsFolder());
}

// A disc of `trackCount` tracks of one length, `minutes` long in all.
inline DiscGen::WrittenDisc writeDisc(int minutes, int trackCount, const QTemporaryDir &work)
{
    DiscGen::DiscSpec plan;
    const uint32_t frames = uint32_t(minutes) * 60 * 75 / uint32_t(trackCount);
    for (int t = 0; t < trackCount; ++t) {
        DiscGen::TrackSpec track;
        track.frames = frames;
        plan.tracks.push_back(track);
    }
    std::printf("Writing a %d-minute disc of %d tracks...\n", minutes, trackCount);
    return DiscGen::writeDisc(plan, work.path().toStdString(), "bench", false);
}

// The program's core with its conversion component; null, with the reasons
// printed, without the CD input, the FLAC writer or the MP3 encoder.
inline std::unique_ptr<SondrelCore> makeCore()
{
    auto core = std::make_unique<SondrelCore>(
        std::make_unique<SettingsStore>(std::make_unique<QSettingsStorage>()));
    core->CreateAudioConvert();
    core->ConfigureAudioConvert();
    for (const QString &message : core->takeStartupErrors())
        std::fprintf(stderr, "%s\n", qPrintable(message));
    if (!core->CDIn() || !core->FLACOut() || !core->Mp3Encoder())
        return {};
    core->FillDriveList();
    return core;
}

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
// as <n><ext> in `format`, one track at a time or as `pace` says; the
// seconds it took, -1 when a track is missing.
inline double rip(SondrelCore &core,
                  int format,
                  int trackCount,
                  const QString &folder,
                  const char *ext,
                  const TRipJob::PaceOptions &pace = {})
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
    job.SetPaceOptions(pace);
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
