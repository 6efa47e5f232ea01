#include "libs/macdll/nnfilter.h"

#include <algorithm>
#include <cstring>

namespace Ape {

NNFilter::NNFilter(int order, int shift)
    : m_order(order)
    , m_shift(shift)
    , m_coefficients(static_cast<size_t>(order))
    , m_history(static_cast<size_t>(order + Window))
    , m_steps(static_cast<size_t>(order + Window))
{}

void NNFilter::reset()
{
    std::fill(m_coefficients.begin(), m_coefficients.end(), int16_t(0));
    std::fill(m_history.begin(), m_history.end(), int16_t(0));
    std::fill(m_steps.begin(), m_steps.end(), int16_t(0));
    m_position = 0;
    m_average = 0;
}

int32_t NNFilter::compress(int32_t value)
{
    const int n = m_order;
    int16_t *coefficients = m_coefficients.data();
    const int16_t *history = m_history.data() + m_position;
    const int16_t *steps = m_steps.data() + m_position;

    // The format sums the products with 32-bit wraparound; unsigned
    // arithmetic gives that without overflow.
    uint32_t dot = 0;
    for (int i = 0; i < n; ++i)
        dot += static_cast<uint32_t>(int32_t(coefficients[i]) * int32_t(history[i]));
    const int64_t prediction = (int64_t(static_cast<int32_t>(dot)) + (int64_t(1) << (m_shift - 1)))
                               >> m_shift;
    const auto output = static_cast<int32_t>(static_cast<uint32_t>(int64_t(value) - prediction));

    if (output > 0) {
        for (int i = 0; i < n; ++i)
            coefficients[i] = static_cast<int16_t>(coefficients[i] + steps[i]);
    } else if (output < 0) {
        for (int i = 0; i < n; ++i)
            coefficients[i] = static_cast<int16_t>(coefficients[i] - steps[i]);
    }

    const int newest = m_position + n;
    m_history[static_cast<size_t>(newest)] = static_cast<int16_t>(
        std::clamp<int32_t>(value, -32768, 32767));

    const int64_t magnitude = value < 0 ? -int64_t(value) : int64_t(value);
    const uint64_t average = m_average;
    int16_t step = 0;
    if (value != 0) {
        if (uint64_t(magnitude) > 3 * average)
            step = 32;
        else if (uint64_t(magnitude) > average + average / 3)
            step = 16;
        else
            step = 8;
        if (value < 0)
            step = static_cast<int16_t>(-step);
    }
    int16_t *stepAt = m_steps.data();
    stepAt[newest] = step;
    // A step weighs less as its value ages: halved at lags 2, 3 and 9.
    stepAt[newest - 1] = static_cast<int16_t>(stepAt[newest - 1] >> 1);
    stepAt[newest - 2] = static_cast<int16_t>(stepAt[newest - 2] >> 1);
    stepAt[newest - 8] = static_cast<int16_t>(stepAt[newest - 8] >> 1);

    const auto difference = static_cast<int32_t>(
        static_cast<uint32_t>(magnitude - int64_t(average)));
    m_average = static_cast<uint32_t>(int64_t(m_average) + difference / 16);

    if (++m_position == Window) {
        std::memmove(m_history.data(), m_history.data() + Window, sizeof(int16_t) * size_t(n));
        std::memmove(m_steps.data(), m_steps.data() + Window, sizeof(int16_t) * size_t(n));
        m_position = 0;
    }
    return output;
}

} // namespace Ape
