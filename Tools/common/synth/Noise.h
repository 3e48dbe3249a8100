#pragma once
#include <cstdint>

namespace synth {

// White noise from a 32-bit xorshift generator: the same seed gives the same noise on every
// machine, so renders repeat byte for byte.
class Noise {
public:
    explicit Noise(std::uint32_t seed = 0x9E3779B9u) : state(seed == 0 ? 0x9E3779B9u : seed) {}

    // A value in [-1, 1).
    float Next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<float>(static_cast<std::int32_t>(state) * (1.0 / 2147483648.0));
    }

private:
    std::uint32_t state;
};

} // namespace synth
