// What the emulated-handheld tests share: the skip where this machine gives
// no private mount namespace, button words as the device's bytes, and the
// demo tape.
#pragma once
#include <cstdint>
#include <vector>

#include "tools/handheld-emu/emulator.h"

// Runs the emulator; skips the test (with the reason) where mount namespaces
// are refused.
#define RUN_OR_SKIP(result, config)                                                  \
    const EmulatorResult result = run_emulated_handheld(config);                     \
    if (result.outcome == EmulatorOutcome::namespace_refused) GTEST_SKIP() << result.message

inline std::vector<unsigned char> tape_bytes(const std::vector<std::uint32_t>& words) {
    std::vector<unsigned char> bytes;
    for (std::uint32_t w : words)
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(w >> (8 * i)));
    return bytes;
}

// One button word per poll: a game in every mode and at every speed, each
// ending in a crash, with the menu walked between them. ACTION is held at
// the very first poll, where it must not count (the handheld's key table
// starts from its initial values, not from a reset). Games climb on the
// action button held over from "LET'S GO!", sink, and weave; a weave that
// outlasts its game presses "LET'S GO!" again, so later games start at once.
inline std::vector<std::uint32_t> demo_tape_words() {
    constexpr std::uint32_t U = 1u << 0, L = 1u << 2, D = 1u << 4, R = 1u << 6, A = 1u << 12;
    std::vector<std::uint32_t> w;
    auto add = [&w](std::initializer_list<std::uint32_t> words) { w.insert(w.end(), words); };
    auto hold = [&w](std::uint32_t word, int polls) { w.insert(w.end(), static_cast<std::size_t>(polls), word); };
    auto weave = [&hold](int held, int released, int times) {
        for (int t = 0; t < times; ++t) hold(A, held), hold(0, released);
    };
    add({A, 0, A});  // NORMAL, SLOW
    hold(A, 10);
    hold(0, 120);
    add({U, 0, R, 0, U, 0, R, 0, D, 0, D, 0, A});  // COIN, MEDIUM
    hold(0, 120);
    add({U, 0, U, 0, R, 0, D, 0, R, 0, D, 0, A});  // MOVING, FAST
    hold(0, 120);
    add({U, 0, U, 0, L, 0, L, 0, D, 0, R, 0, D, 0, A});  // NORMAL, MADNESS!
    weave(6, 9, 40);
    hold(0, 120);
    add({U, 0, U, 0, R, 0, D, 0, L, 0, L, 0, L, 0, D, 0, A});  // COIN, SLOW
    weave(5, 7, 60);
    hold(0, 60);
    return w;
}

// The first frame where two fingerprint lists part, or -1 when they agree.
inline long first_difference(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return static_cast<long>(i) + 1;
    return a.size() == b.size() ? -1 : static_cast<long>(n) + 1;
}
