// What the emulated-handheld tests share: the demo tape, the headless
// runner's fingerprints for a tape, and the skip when this machine gives no
// private mount namespace.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "tools/handheld-emu/emulator.h"

// Runs the emulator; skips the test (with the reason) where mount namespaces
// are refused.
#define RUN_OR_SKIP(result, config)                                                  \
    const EmulatorResult result = run_emulated_handheld(config);                     \
    if (result.outcome == EmulatorOutcome::namespace_refused) GTEST_SKIP() << result.message

constexpr std::uint32_t W_UP = 1u << 0, W_LEFT = 1u << 2, W_DOWN = 1u << 4, W_RIGHT = 1u << 6, W_ACTION = 1u << 12;

inline std::vector<unsigned char> tape_bytes(const std::vector<std::uint32_t>& words) {
    std::vector<unsigned char> bytes;
    for (std::uint32_t w : words)
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(w >> (8 * i)));
    return bytes;
}

// One button word per poll: a game in every mode and at every speed, each
// ending in a crash, with the menu walked between them. Games climb on the
// action button held over from "LET'S GO!", sink, and weave; a weave that
// outlasts its game presses "LET'S GO!" again, so later games start at once.
inline std::vector<std::uint32_t> demo_tape_words() {
    std::vector<std::uint32_t> w;
    auto add = [&w](std::initializer_list<std::uint32_t> words) { w.insert(w.end(), words); };
    auto idle = [&w](int polls) { w.insert(w.end(), static_cast<std::size_t>(polls), 0u); };
    auto weave = [&w](int held, int released, int times) {
        for (int t = 0; t < times; ++t) {
            w.insert(w.end(), static_cast<std::size_t>(held), W_ACTION);
            w.insert(w.end(), static_cast<std::size_t>(released), 0u);
        }
    };
    add({0, W_ACTION});  // NORMAL, SLOW
    w.insert(w.end(), 10, W_ACTION);
    idle(120);
    add({W_UP, 0, W_RIGHT, 0, W_UP, 0, W_RIGHT, 0, W_DOWN, 0, W_DOWN, 0, W_ACTION});  // COIN, MEDIUM
    idle(120);
    add({W_UP, 0, W_UP, 0, W_RIGHT, 0, W_DOWN, 0, W_RIGHT, 0, W_DOWN, 0, W_ACTION});  // MOVING, FAST
    idle(120);
    add({W_UP, 0, W_UP, 0, W_LEFT, 0, W_LEFT, 0, W_DOWN, 0, W_RIGHT, 0, W_DOWN, 0, W_ACTION});  // NORMAL, MADNESS!
    weave(6, 9, 40);
    idle(120);
    add({W_UP, 0, W_UP, 0, W_RIGHT, 0, W_DOWN, 0, W_LEFT, 0, W_LEFT, 0, W_LEFT, 0, W_DOWN, 0, W_ACTION});  // COIN, SLOW
    weave(5, 7, 60);
    idle(60);
    return w;
}

// A file in the test output folder. CTest runs each test in its own process,
// side by side, so each name carries the process id.
inline std::string test_output(const std::string& name) {
    return std::string(BURROW_TEST_OUT) + "/" + std::to_string(getpid()) + "-" + name;
}

inline bool write_bytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// The frame fingerprints of `burrowrotor-headless --frames N [--poll-tape TAPE]`,
// read back from its trace; empty when the runner failed.
inline std::vector<std::uint64_t> headless_hashes(std::uint64_t frames, const std::string& tape_path,
                                                  const std::string& name) {
    const std::string trace = test_output(name + ".headless.jsonl");
    std::string command = std::string("'") + BURROW_HEADLESS_BIN + "' --frames " + std::to_string(frames) +
                          " --trace '" + trace + "'";
    if (!tape_path.empty()) command += " --poll-tape '" + tape_path + "'";
    std::vector<std::uint64_t> hashes;
    if (std::system(command.c_str()) != 0) return hashes;
    std::FILE* f = std::fopen(trace.c_str(), "r");
    if (f == nullptr) return hashes;
    char line[2048];
    while (std::fgets(line, sizeof line, f) != nullptr) {
        const char* at = std::strstr(line, "\"hash\":\"");
        if (at != nullptr) hashes.push_back(std::strtoull(at + 8, nullptr, 16));
    }
    std::fclose(f);
    std::remove(trace.c_str());
    return hashes;
}

inline std::vector<std::uint64_t> shown_hashes(const EmulatorResult& result) {
    std::vector<std::uint64_t> hashes;
    for (const ShownFrame& f : result.frames) hashes.push_back(f.hash);
    return hashes;
}

// The first frame where two fingerprint lists part, or -1 when they agree.
inline long first_difference(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return static_cast<long>(i) + 1;
    return a.size() == b.size() ? -1 : static_cast<long>(n) + 1;
}
