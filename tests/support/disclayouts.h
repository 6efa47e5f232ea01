#pragma once

#include "tools/discgen/discimage.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <string>

// The disc layouts the CD tests read, by name, and what a table of contents
// must say about them.
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

} // namespace DiscLayouts
