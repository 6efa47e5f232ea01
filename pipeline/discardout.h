#pragma once

#include "pipeline/pcmoutput.h"

#include <array>
#include <cstdint>

// A sink that reads its input to the end and keeps nothing: a read made only
// for what a tap on the input sees, such as the checksums of a test read.
// Threads as for every sink (TPcmOutput).
class TPcmDiscardOut : public TPcmOutput
{
public:
    explicit TPcmDiscardOut(QObject *owner = nullptr, const QString &name = {});
    ~TPcmDiscardOut() override;

protected:
    bool WriteStep(bool abort) override;
    void FinishOutput() override;
    void PrepareOutput() override;

private:
    static constexpr int32_t ChunkBytes = 176400;

    std::array<uint8_t, ChunkBytes> m_buffer{};
    bool m_endOfInput = false;
};
