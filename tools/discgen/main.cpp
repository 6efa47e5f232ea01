// sondrel-discgen: writes a CUE/BIN test disc of known content.
#include "discimage.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

void usage()
{
    std::fputs(
        "usage: sondrel-discgen [options] DIR NAME LENGTH...\n"
        "  Writes DIR/NAME.cue and DIR/NAME.bin with one audio track per LENGTH\n"
        "  (mm:ss:ff or a sector count; 75 sectors make a second).\n"
        "options:\n"
        "  --data-first LENGTH   put a MODE1/2352 data track of LENGTH first\n"
        "  --data-last LENGTH    put a MODE1/2352 data track of LENGTH last\n"
        "  --pregap N=LENGTH     give track N (1-based, data tracks counted) an INDEX 00\n"
        "  --flags N=F[,F...]    CUE FLAGS of track N (DCP, PRE, 4CH, SCMS)\n"
        "  --content [N=]KIND    what audio track N, or every audio track, holds:\n"
        "                        tones (the default), random, square or silence\n"
        "  --motorola            store the audio big-endian (FILE ... MOTOROLA)\n"
        "  --track-files         also write DIR/NAME-NN.pcm, the bytes read for each track\n",
        stderr);
}

bool splitAssignment(const std::string &arg, unsigned &track, std::string &value)
{
    const auto eq = arg.find('=');
    if (eq == std::string::npos || eq == 0)
        return false;
    track = static_cast<unsigned>(std::stoul(arg.substr(0, eq)));
    value = arg.substr(eq + 1);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    try {
        DiscGen::DiscSpec plan;
        std::string dataFirst;
        std::string dataLast;
        std::vector<std::pair<unsigned, std::string>> pregaps;
        std::vector<std::pair<unsigned, std::string>> flags;
        std::vector<std::pair<unsigned, DiscGen::AudioContent>> contents; // track 0: every one
        std::vector<std::string> positional;
        bool trackFiles = false;

        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            auto next = [&]() -> std::string {
                if (i + 1 >= argc)
                    throw std::invalid_argument(arg + " needs a value");
                return argv[++i];
            };
            unsigned n = 0;
            std::string value;
            if (arg == "--data-first") {
                dataFirst = next();
            } else if (arg == "--data-last") {
                dataLast = next();
            } else if (arg == "--pregap") {
                if (!splitAssignment(next(), n, value))
                    throw std::invalid_argument("--pregap takes N=LENGTH");
                pregaps.emplace_back(n, value);
            } else if (arg == "--flags") {
                if (!splitAssignment(next(), n, value))
                    throw std::invalid_argument("--flags takes N=F[,F...]");
                flags.emplace_back(n, value);
            } else if (arg == "--content") {
                const std::string spec = next();
                if (spec.find('=') == std::string::npos)
                    contents.emplace_back(0, DiscGen::parseContent(spec));
                else if (splitAssignment(spec, n, value))
                    contents.emplace_back(n, DiscGen::parseContent(value));
                else
                    throw std::invalid_argument("--content takes [N=]KIND");
            } else if (arg == "--motorola") {
                plan.motorola = true;
            } else if (arg == "--track-files") {
                trackFiles = true;
            } else if (arg == "-h" || arg == "--help") {
                usage();
                return 0;
            } else if (!arg.empty() && arg[0] == '-') {
                throw std::invalid_argument("unknown option " + arg);
            } else {
                positional.push_back(arg);
            }
        }
        if (positional.size() < 3) {
            usage();
            return 2;
        }

        auto addTrack = [&](const std::string &length, bool data) {
            DiscGen::TrackSpec t;
            t.frames = DiscGen::parseLength(length);
            t.data = data;
            plan.tracks.push_back(t);
        };
        if (!dataFirst.empty())
            addTrack(dataFirst, true);
        for (size_t i = 2; i < positional.size(); ++i)
            addTrack(positional[i], false);
        if (!dataLast.empty())
            addTrack(dataLast, true);

        auto trackAt = [&](unsigned n) -> DiscGen::TrackSpec & {
            if (n < 1 || n > plan.tracks.size())
                throw std::invalid_argument("no track " + std::to_string(n));
            return plan.tracks[n - 1];
        };
        for (const auto &[n, length] : pregaps)
            trackAt(n).pregapFrames = DiscGen::parseLength(length);
        for (const auto &[n, content] : contents) {
            if (n != 0)
                trackAt(n).content = content;
            for (size_t t = 0; t < plan.tracks.size() && n == 0; ++t)
                plan.tracks[t].content = content;
        }
        for (const auto &[n, list] : flags) {
            size_t from = 0;
            while (from <= list.size()) {
                const size_t comma = list.find(',', from);
                const std::string flag = list.substr(from, comma - from);
                if (flag != "DCP" && flag != "PRE" && flag != "4CH" && flag != "SCMS")
                    throw std::invalid_argument("unknown flag " + flag);
                trackAt(n).flags.push_back(flag);
                if (comma == std::string::npos)
                    break;
                from = comma + 1;
            }
        }

        const DiscGen::WrittenDisc disc = DiscGen::writeDisc(plan,
                                                             positional[0],
                                                             positional[1],
                                                             trackFiles);
        std::printf("%s: %zu tracks, %u sectors\n",
                    disc.cuePath.c_str(),
                    plan.tracks.size(),
                    disc.layout.totalFrames);
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "sondrel-discgen: %s\n", e.what());
        return 1;
    }
}
