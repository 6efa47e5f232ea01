// Constructs a CD player in a process that may not find libcdplayback.so,
// and prints what became of it: "loaded" or the exception's message.
#include "player/cdplayer.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    try {
        TCDPlayer player(nullptr);
        std::puts("loaded");
        return 0;
    } catch (const EPcmException &e) {
        std::puts(e.what());
        return 3;
    }
}
