// The C library's rand() as the handheld's glibc computes it: an additive
// lagged-Fibonacci generator over 31 words, filled from the seed by a
// multiplicative congruential step. The tunnel's walk and the block's and
// coin's placement come from this sequence, so a build on another C library
// needs this exact generator to show the same tunnels.
#pragma once
#include <cstdint>

constexpr int GLIBC_RANDOM_DEGREE = 31;  // words of state
constexpr int GLIBC_RANDOM_SEPARATION = 3;  // distance between the two taps

struct GlibcRandom {
    std::int32_t words[GLIBC_RANDOM_DEGREE];
    int front;  // the word that takes the next sum
    int rear;   // the word added to it
};

// Fills the state from `seed` as srand(seed) does; seed 0 counts as 1, and a
// program that never seeds runs as after seed 1.
void glibc_random_seed(GlibcRandom* state, std::uint32_t seed);

// The next value, 0 to 2147483647.
std::int32_t glibc_random_next(GlibcRandom* state);
