#pragma once

#include <cstdint>

// What the simulated drive was asked to do since the last reset. The
// interposer fills it in its entry point
//     extern "C" void sondrel_simdrive_counters(SondrelSimDriveCounters *out, int reset);
// which a test finds with dlsym(RTLD_DEFAULT, ...).
struct SondrelSimDriveCounters
{
    uint64_t opens = 0;
    uint64_t reads = 0;           // read commands
    uint64_t sectors = 0;         // sectors asked for by them
    uint64_t failedReads = 0;     // commands that failed
    uint64_t gapReads = 0;        // commands that asked for a sector between two sessions
    uint64_t subchannelReads = 0; // commands that asked for sub-channel data
    uint64_t jitteredReads = 0;   // reads that landed off
    uint64_t damagedSectors = 0;  // sectors delivered with damage
    uint64_t outsideReads = 0;    // commands that asked for a sector beyond the disc's ends
};
