#pragma once

#include <cstdint>
#include <random>

namespace q3 {

// The show's pseudo-random source: values in [0, 1), one at a time. The generator's sequence is
// fixed by the C++ standard, so a seed gives the same show on every machine.
class RandomSource
{
public:
    void seed(std::uint32_t seed) { engine_.seed(seed); }

    double next()
    {
        // 53 random bits, as a double in [0, 1).
        const std::uint64_t high = engine_() >> 5;
        const std::uint64_t low = engine_() >> 6;
        return static_cast<double>(high * 67108864ULL + low) * (1.0 / 9007199254740992.0);
    }

private:
    std::mt19937 engine_;
};

} // namespace q3
