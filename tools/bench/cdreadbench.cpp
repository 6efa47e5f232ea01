// sondrel-bench-cdread: how fast a whole disc image reads through the CD
// input, cdparanoia on and off, beside `cat` of the same BIN file.
#include "pipeline/cdinput.h"
#include "pipeline/pcmexception.h"
#include "pipeline/pcmoutput.h"
#include "tools/bench/discardout.h"
#include "tools/discgen/discimage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace {

struct RunResult
{
    double seconds = 0;
    qint64 bytes = 0;
    QString error;
};

RunResult readThroughCDIn(const QString &cue, bool paranoia)
{
    RunResult r;
    QFile ini(TCDIn::SettingsFolder() + "cdr.ini");
    const QByteArray text = "[Images]\nImage1=" + cue.toUtf8()
                            + "\n[Reading]\nParanoia=" + (paranoia ? "1" : "0") + "\n";
    if (!ini.open(QIODevice::WriteOnly) || ini.write(text) != text.size() || !ini.flush()) {
        r.error = "cannot write " + ini.fileName();
        return r;
    }
    ini.close();

    TCDIn in;
    in.SetCurrentDrive(in.GetDriveCount() - 1);
    const int32_t tracks = in.GetTrackCount();
    if (tracks < 1) {
        r.error = "the image has no readable table of contents";
        return r;
    }
    in.SetStartTrack(1);
    in.SetEndTrack(tracks);

    DiscardOut sink;
    sink.SetInput(&in);
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    auto finish = [&](const QString &error) {
        std::lock_guard<std::mutex> lock(mutex);
        r.error = error;
        done = true;
        finished.notify_all();
    };
    sink.OnDone = [&](TPcmOutput *) { finish({}); };
    sink.OnThreadException = [&](TPcmOutput *, const std::exception &e) {
        finish(QString::fromUtf8(e.what()));
    };
    QElapsedTimer timer;
    timer.start();
    sink.StartOutput();
    {
        std::unique_lock<std::mutex> lock(mutex);
        finished.wait(lock, [&] { return done; });
    }
    r.seconds = timer.nsecsElapsed() / 1e9;
    r.bytes = sink.bytes;
    return r;
}

RunResult catFile(const QString &path)
{
    RunResult r;
    QProcess cat;
    cat.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    cat.start("cat", {path});
    if (!cat.waitForFinished(600000) || cat.exitStatus() != QProcess::NormalExit
        || cat.exitCode() != 0)
        r.error = "cat failed: " + cat.errorString();
    r.seconds = timer.nsecsElapsed() / 1e9;
    r.bytes = QFileInfo(path).size();
    return r;
}

void report(const char *what, const RunResult &r)
{
    if (!r.error.isEmpty()) {
        std::printf("%-22s error: %s\n", what, qPrintable(r.error));
        return;
    }
    const double audioSeconds = double(r.bytes) / (44100.0 * 4);
    std::printf("%-22s %7.1f MB in %6.2f s  %8.1f MB/s  %8.1f x real time\n",
                what,
                r.bytes / 1e6,
                r.seconds,
                r.bytes / 1e6 / r.seconds,
                audioSeconds / r.seconds);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.contains("-h") || args.contains("--help") || args.size() > 1) {
        std::fputs("usage: sondrel-bench-cdread [IMAGE.cue]\n"
                   "  Without an image, generates a 74-minute disc of 20 tracks in a\n"
                   "  temporary folder. Reads it whole through the CD input with\n"
                   "  cdparanoia on and off, and times `cat` of its BIN file.\n",
                   stderr);
        return args.size() > 1 ? 2 : 0;
    }

    QTemporaryDir work;
    QTemporaryDir config;
    if (!work.isValid() || !config.isValid()) {
        std::fputs("sondrel-bench-cdread: no temporary folder\n", stderr);
        return 1;
    }
    // The CD input's settings file goes here, not into the user's own.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));

    QString cue;
    QString bin;
    try {
        if (args.isEmpty()) {
            DiscGen::DiscSpec plan;
            const uint32_t total = 74 * 60 * 75;
            for (uint32_t i = 0; i < 20; ++i) {
                DiscGen::TrackSpec t;
                t.frames = total / 20;
                plan.tracks.push_back(t);
            }
            QElapsedTimer timer;
            timer.start();
            const DiscGen::WrittenDisc disc = DiscGen::writeDisc(plan,
                                                                 work.path().toStdString(),
                                                                 "bench",
                                                                 false);
            cue = QString::fromStdString(disc.cuePath);
            bin = QString::fromStdString(disc.binPath);
            std::printf("generated %s (%.0f MB) in %.1f s\n",
                        qPrintable(bin),
                        QFileInfo(bin).size() / 1e6,
                        timer.elapsed() / 1000.0);
        } else {
            cue = QFileInfo(args[0]).absoluteFilePath();
            bin = cue.left(cue.size() - QFileInfo(cue).suffix().size()) + "bin";
        }

        // cat first, so that every reader finds the file in the page cache.
        report("cat of the BIN", catFile(bin));
        report("CD input, paranoia", readThroughCDIn(cue, true));
        report("CD input, no paranoia", readThroughCDIn(cue, false));
        report("cat of the BIN", catFile(bin));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "sondrel-bench-cdread: %s\n", e.what());
        return 1;
    }
    return 0;
}
