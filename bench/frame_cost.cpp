// frame_cost: small programs for callgrind, which counts the instructions of
// the parts they switch collection on for (run with --collect-atstart=no).
//
//   frame_cost scan TAPE FRAMES       one dump per shown frame, and a line
//                                     "frame screen" per frame on stdout
//   frame_cost real TAPE N            collects the game's own frame N, and
//                                     checks it against the golden run
//   frame_cost sound TAPE FRAMES      one dump per shown frame of the sound
//                                     synthesised for it, and nothing else
#include <valgrind/callgrind.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/replay.h"
#include "game/last_game.h"
#include "game/view.h"
#include "ports/common/frame_hash.h"
#include "ports/common/sound.h"

namespace {

int usage() {
    std::fputs("usage: frame_cost scan TAPE FRAMES | real TAPE N | sound TAPE FRAMES\n", stderr);
    return 2;
}

bool load(const char* path, ButtonTape* tape) {
    std::string error;
    if (load_button_tape(path, tape, &error)) return true;
    std::fprintf(stderr, "frame_cost: %s\n", error.c_str());
    return false;
}

int scan(const char* path, std::uint64_t frames) {
    ButtonTape tape;
    if (!load(path, &tape)) return 2;
    CALLGRIND_START_INSTRUMENTATION;
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_ZERO_STATS;
    replay(&tape, frames, [](std::uint64_t n, const FrameSurface*) {
        CALLGRIND_DUMP_STATS;
        std::printf("%" PRIu64 " %s\n", n, g_title_view != nullptr ? "title" : "game");
        return true;
    });
    return 0;
}

int sound(const char* path, std::uint64_t frames) {
    ButtonTape tape;
    if (!load(path, &tape)) return 2;
    static SoundSynth synth;
    sound_start(&synth);
    CALLGRIND_START_INSTRUMENTATION;
    CALLGRIND_ZERO_STATS;
    replay(&tape, frames, [](std::uint64_t, const FrameSurface*) {
        std::int16_t samples[SOUND_FRAME_SAMPLES];
        CALLGRIND_TOGGLE_COLLECT;
        sound_frame(&synth, g_title_view, g_game_view, g_score, false, samples);
        CALLGRIND_TOGGLE_COLLECT;
        CALLGRIND_DUMP_STATS;
        return true;
    });
    return 0;
}

int real(const char* path, std::uint64_t frame) {
    ButtonTape tape;
    if (!load(path, &tape)) return 2;
    std::uint64_t hash = 0;
    replay(&tape, frame, [&](std::uint64_t n, const FrameSurface* shown) {
        if (n == frame - 1) {
            CALLGRIND_START_INSTRUMENTATION;
            CALLGRIND_TOGGLE_COLLECT;
        }
        if (n == frame) {
            CALLGRIND_TOGGLE_COLLECT;
            hash = frame_hash(shown);
        }
        return true;
    });
    char line[32];
    std::snprintf(line, sizeof line, "%016" PRIx64, hash);
    const std::string golden = golden_hash_line(path, frame);
    if (!golden.empty() && golden != line) {
        std::fprintf(stderr, "frame_cost: frame %" PRIu64 " hashes %s, the golden run says %s\n", frame, line,
                     golden.c_str());
        return 1;
    }
    std::printf("frame %" PRIu64 " hash %s%s\n", frame, line, golden.empty() ? "" : " (matches the golden run)");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return usage();
    const std::string mode = argv[1];
    const std::uint64_t n = std::strtoull(argv[3], nullptr, 10);
    if (mode == "scan") return scan(argv[2], n);
    if (mode == "real") return real(argv[2], n);
    if (mode == "sound") return sound(argv[2], n);
    return usage();
}
