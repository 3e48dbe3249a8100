#include "crt/CRand.h"

#include <cstdint>

namespace crt {
namespace {
std::uint32_t state = 1;
}

int rand()
{
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7fffu);
}

void srand(unsigned seed)
{
    state = seed;
}

unsigned randstate()
{
    return state;
}

} // namespace crt
