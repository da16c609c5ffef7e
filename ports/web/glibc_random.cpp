#include "ports/web/glibc_random.h"

namespace {

// One step of x -> 16807 * x mod (2^31 - 1), computed without overflow by
// splitting the modulus (Schrage's method), exactly as glibc does it, which
// also fixes what happens to a seed above 2^31 that reads as negative.
std::int32_t next_seed_word(std::int32_t word) {
    const std::int32_t hi = word / 127773;
    const std::int32_t lo = word % 127773;
    std::int32_t next = 16807 * lo - 2836 * hi;
    if (next < 0) next += 2147483647;
    return next;
}

}  // namespace

void glibc_random_seed(GlibcRandom* state, std::uint32_t seed) {
    if (seed == 0) seed = 1;
    state->words[0] = static_cast<std::int32_t>(seed);
    for (int i = 1; i < GLIBC_RANDOM_DEGREE; ++i) state->words[i] = next_seed_word(state->words[i - 1]);
    state->front = GLIBC_RANDOM_SEPARATION;
    state->rear = 0;
    // The first ten rounds of the table mix the seed words and are dropped.
    for (int i = 0; i < 10 * GLIBC_RANDOM_DEGREE; ++i) glibc_random_next(state);
}

std::int32_t glibc_random_next(GlibcRandom* state) {
    // The sum wraps modulo 2^32; the lowest bit is the weakest and is dropped.
    const std::uint32_t sum = static_cast<std::uint32_t>(state->words[state->front]) +
                              static_cast<std::uint32_t>(state->words[state->rear]);
    state->words[state->front] = static_cast<std::int32_t>(sum);
    if (++state->front == GLIBC_RANDOM_DEGREE) state->front = 0;
    if (++state->rear == GLIBC_RANDOM_DEGREE) state->rear = 0;
    return static_cast<std::int32_t>(sum >> 1);
}
