#pragma once

#include <cstdint>

// Sees every byte a source hands to its reader, in order and exactly once,
// so that checksums come from the very audio a writer receives, without a
// second read of the disc. Called on the worker thread of the sink reading the
// source; whoever sets the tap keeps it alive until that read has ended.
class TPcmTap
{
public:
    virtual void PcmDelivered(const uint8_t *data, int32_t size) = 0;

protected:
    ~TPcmTap() = default;
};
