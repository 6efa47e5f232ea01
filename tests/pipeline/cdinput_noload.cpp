// Constructs a CD input in a process that may not find libcdrip.so, and
// prints what became of it: "loaded" or the exception's message.
#include "pipeline/cdinput.h"
#include "pipeline/pcmexception.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    try {
        TCDIn input;
        std::puts("loaded");
        return 0;
    } catch (const EPcmException &e) {
        std::puts(e.what());
        return 3;
    }
}
