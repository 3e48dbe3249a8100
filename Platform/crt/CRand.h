#pragma once

// The C runtime's pseudo-random generator as the demo expects it: one process-wide
// sequence with values 0...32767 (glibc's rand() reaches 2^31-1, which would push
// RandomRange far outside its range). The sequence is the classic linear congruential
// one of the Windows C runtime, starting from seed 1.
namespace crt {

constexpr int kRandMax = 32767;

int rand();
void srand(unsigned seed);
// The sequence's state: srand(randstate()) later goes on exactly where it was.
unsigned randstate();

} // namespace crt
