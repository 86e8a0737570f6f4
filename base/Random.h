#pragma once
// The process's pseudo-random generator. It is never seeded, so every run
// of the program draws the same sequence.
#include <cstdint>

namespace t7 {

class IRandom {
public:
    virtual ~IRandom() = default;
    // The next value, uniform in [0, 1).
    virtual float Rnd() = 0;
};

// The classic BASIC Rnd without a seed: a 24-bit linear congruential
// generator starting at 0x50000, so the values are those the wizard's
// original runtime draws (0.7055475, 0.533424, ...).
class BasicRnd : public IRandom {
public:
    float Rnd() override;
    // Back to the state of a fresh process.
    void reset() { m_state = InitialState; }

private:
    static constexpr uint32_t InitialState = 0x50000;
    uint32_t m_state = InitialState;
};

// The generator of this process. Tests reset it.
BasicRnd& processRandom();

}  // namespace t7
