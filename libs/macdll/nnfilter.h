#pragma once

#include <cstdint>
#include <vector>

namespace Ape {

// One sign-sign LMS stage of the encoder ("NN filter"): whitens a channel's
// residual with `order` 16-bit coefficients of `shift` fractional bits.
// State is per channel and reset at every frame.
class NNFilter
{
public:
    NNFilter(int order, int shift);

    void reset();
    // The filter's output for the next input value.
    int32_t compress(int32_t value);

private:
    // The history and step windows slide through a buffer this much longer
    // than the order, so that they move by a copy only every Window values.
    static constexpr int Window = 512;

    int m_order;
    int m_shift;
    int m_position = 0; // index of the oldest history value
    uint32_t m_average = 0;
    std::vector<int16_t> m_coefficients;
    std::vector<int16_t> m_history; // inputs clamped to 16 bits, oldest first
    std::vector<int16_t> m_steps;   // adaptation step of each history value
};

} // namespace Ape
