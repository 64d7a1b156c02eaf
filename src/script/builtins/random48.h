#pragma once
// The generator behind Math.random: the 48-bit linear congruential
// generator of drand48 (x' = 0x5DEECE66D x + 0xB mod 2^48), ours because
// not every C runtime has one. One state serves the whole process.

#include <cstdint>

namespace plumex::script::builtins {

// As srand48: the seed fills bits 16 to 47, 0x330E the bits below.
void seedRandom48(std::uint32_t seed);
// The next value in [0, 1): the new state divided by 2^48.
double nextRandom48();

} // namespace plumex::script::builtins
