#include "base/Random.h"

namespace t7 {

float BasicRnd::Rnd() {
    m_state = (m_state * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
    // A 24-bit value divided by 2^24 is exact in single precision.
    return static_cast<float>(m_state) / 16777216.0f;
}

BasicRnd& processRandom() {
    static BasicRnd generator;
    return generator;
}

}  // namespace t7
