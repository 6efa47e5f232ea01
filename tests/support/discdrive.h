#pragma once

#include "tools/discgen/discimage.h"

#include <QString>

class TCDIn;

namespace TestSupport {

// Writes a generated disc (with its per-track files) into dir and names it
// in the CD ripping library's settings file, so that a CD input constructed
// afterwards lists it as its last drive. Throws std::runtime_error when a
// file cannot be written.
DiscGen::WrittenDisc installDisc(const QString &dir, const DiscGen::DiscSpec &plan);

// Points the CD input at the last drive, where installDisc put the disc.
void selectInstalledDisc(TCDIn &cd);

} // namespace TestSupport
