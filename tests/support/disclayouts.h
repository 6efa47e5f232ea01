#pragma once

#include "tools/discgen/discimage.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// The disc layouts the CD tests read, by name, and what a table of contents
// must say about them; images that are no disc at all.
namespace DiscLayouts {

inline QStringList names()
{
    return {"one track",
            "99 short tracks",
            "lengths ending in 37 and 38 frames",
            "data track first",
            "data track last",
            "pregaps",
            "flags DCP PRE 4CH"};
}

inline DiscGen::DiscSpec plan(const QString &name)
{
    auto audio = [](uint32_t frames, uint32_t pregap = 0) {
        DiscGen::TrackSpec t;
        t.frames = frames;
        t.pregapFrames = pregap;
        return t;
    };
    DiscGen::DiscSpec s;
    if (name == "one track") {
        s.tracks = {audio(3000)};
    } else if (name == "99 short tracks") {
        for (uint32_t i = 0; i < 99; ++i)
            s.tracks.push_back(audio(10 + (i * 7) % 50));
    } else if (name == "lengths ending in 37 and 38 frames") {
        s.tracks = {audio(2 * 75 + 37), audio(75 + 38), audio(37), audio(38)};
    } else if (name == "data track first") {
        s.tracks = {audio(300), audio(500, 150), audio(400)};
        s.tracks[0].data = true;
    } else if (name == "data track last") {
        s.tracks = {audio(600), audio(400), audio(300, 150)};
        s.tracks[2].data = true;
    } else if (name == "pregaps") {
        s.tracks = {audio(500), audio(400, 75), audio(300, 1)};
    } else if (name == "flags DCP PRE 4CH") {
        s.tracks = {audio(100), audio(100), audio(100), audio(100), audio(100)};
        s.tracks[0].flags = {"DCP"};
        s.tracks[1].flags = {"PRE"};
        s.tracks[2].flags = {"DCP", "PRE"};
        s.tracks[3].flags = {"4CH"};
    }
    return s;
}

// The flag byte a table of contents reports: ADR 1, then the control bits.
inline uint8_t flagByte(const DiscGen::TrackSpec &t)
{
    auto has = [&t](const char *f) {
        return std::find(t.flags.begin(), t.flags.end(), f) != t.flags.end();
    };
    uint8_t control = 0;
    if (t.data)
        control |= 0x04;
    if (has("DCP"))
        control |= 0x02;
    if (!t.data && has("PRE"))
        control |= 0x01;
    if (!t.data && has("4CH"))
        control |= 0x08;
    return uint8_t(0x10 | control);
}

// "[Images]" with one key per path, in order.
inline QByteArray imagesSection(const QStringList &paths)
{
    QByteArray text = "[Images]\n";
    for (int i = 0; i < paths.size(); ++i)
        text += "Image" + QByteArray::number(i + 1) + '=' + paths[i].toUtf8() + '\n';
    return text;
}

inline bool writeText(const QString &path, const QByteArray &text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size() && f.flush();
}

inline bool makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

// Images that must read as "no disc": files that are no files, tables of
// contents with an empty track.
inline QStringList brokenImageKinds()
{
    return {"BIN is a folder",
            "BIN is a FIFO",
            "CUE is a FIFO",
            "0-byte BIN",
            "1000-byte BIN",
            "two tracks with the same INDEX 01",
            "last track starts where the BIN ends"};
}

// Writes dir/broken.cue and what goes with it as `kind` says; returns the
// sheet's path (empty when a file could not be made) and names the FIFO a
// reader may wait on in `fifo`.
inline QString writeBrokenImage(const QString &dir, const QString &kind, QString &fifo)
{
    DiscGen::DiscSpec plan;
    plan.tracks.resize(1);
    plan.tracks[0].frames = 300;
    const DiscGen::WrittenDisc disc = DiscGen::writeDisc(plan, dir.toStdString(), "broken", false);
    const QString cue = QString::fromStdString(disc.cuePath);
    const QString bin = QString::fromStdString(disc.binPath);
    auto secondTrackAt = [&](const QByteArray &time) {
        return writeText(cue,
                         "FILE \"broken.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                         "  TRACK 02 AUDIO\n    INDEX 01 "
                             + time + "\n");
    };
    bool made = false;
    fifo.clear();
    if (kind == "BIN is a folder") {
        made = QFile::remove(bin) && QDir().mkdir(bin);
    } else if (kind == "BIN is a FIFO" || kind == "CUE is a FIFO") {
        fifo = kind.startsWith("BIN") ? bin : cue;
        made = QFile::remove(fifo) && makeFifo(fifo);
    } else if (kind == "0-byte BIN" || kind == "1000-byte BIN") {
        made = QFile::resize(bin, kind.startsWith('0') ? 0 : 1000);
    } else if (kind == "two tracks with the same INDEX 01") {
        made = secondTrackAt("00:00:00");
    } else if (kind == "last track starts where the BIN ends") {
        made = secondTrackAt("00:04:00"); // 300 sectors are 4 seconds
    }
    return made ? cue : QString();
}

// Runs `call`, which must come back at once. A reader stuck on the FIFO is
// set free (its other end opened and closed) until it does, so that a freeze
// fails the test instead of stopping it for good. False when it had to.
inline bool returnsPromptly(const std::function<void()> &call, const QString &fifo)
{
    std::future<void> done = std::async(std::launch::async, call);
    // Far more than such a call needs, even in a sanitizer build on a busy machine.
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready)
        return true;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = fifo.isEmpty() ? -1 : ::open(QFile::encodeName(fifo), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
        if (done.wait_for(std::chrono::milliseconds(100)) == std::future_status::ready)
            return false;
    }
    qFatal("a call into the CD library never came back");
}

} // namespace DiscLayouts
