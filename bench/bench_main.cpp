// burrow_bench: the drawing routines and a tunnel frame, each drawn by the
// literal per-pixel reference and by the game's routines side by side, the
// heaviest title and game frames of the golden runs, and the whole game loop
// headless, and the sound of a golden run. After the runs a table gives reference time / game time per pair.
//
// The heaviest frames are the ones bench/instructions.sh found and wrote to
// bench/heaviest_frames.txt; each is drawn by the game's own frame code from
// the state it began with, after a check that it gives the pixels the game
// showed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/frames.h"
#include "bench/replay.h"
#include "game/last_game.h"
#include "game/view.h"
#include "ports/common/sound.h"

namespace {

FrameSurface g_surface;

// ---- primitives, each as the game calls it

template <typename D>
void bm_menu_band(benchmark::State& st) {
    for (auto _ : st) D::bar(160, &g_surface);
}
template <typename D>
void bm_wall_rows(benchmark::State& st) {  // one tunnel column's bottom wall, down to row 319
    for (auto _ : st) D::fill(50, 211, 59, 319, COLOR_WALL, &g_surface);
}
template <typename D>
void bm_block(benchmark::State& st) {
    for (auto _ : st) D::fill(150, 90, 169, 149, COLOR_WALL, &g_surface);
}
template <typename D>
void bm_title_picture(benchmark::State& st) {
    for (auto _ : st) D::blit(g_title_image, 10, 10, &g_surface, COLOR_KEY, TITLE_WIDTH, TITLE_HEIGHT);
}
template <typename D>
void bm_chopper(benchmark::State& st) {
    for (auto _ : st) D::blit(g_chopper_frame_b, 50, 109, &g_surface, COLOR_KEY, CHOPPER_WIDTH, CHOPPER_HEIGHT);
}
template <typename D>
void bm_coin_at_left_edge(benchmark::State& st) {
    for (auto _ : st) D::blit(g_coin_image, -17, 120, &g_surface, COLOR_KEY, COIN_SIZE, COIN_SIZE);
}
template <typename D>
void bm_glyph(benchmark::State& st) {
    for (auto _ : st) D::glyph(100, 220, COLOR_WHITE, 'B', &g_surface);
}
template <typename D>
void bm_menu_text(benchmark::State& st) {
    for (auto _ : st) D::text(35, 100, COLOR_WHITE, "GAME MODE -", &g_surface);
}
template <typename D>
void bm_tunnel(benchmark::State& st) {  // the straight tunnel every screen starts with
    TunnelState t;
    reset_tunnel(&t);
    t.offset = 4;
    for (auto _ : st) D::tunnel(&t, &g_surface);
}

// Shapes far off the screen (from 2^16 to the ends of the 32-bit range) and
// one tunnel column whose top lies that far below it: each costs what its
// part on the screen costs, whatever the distance.
void bm_far_off(benchmark::State& st) {
    const auto far = static_cast<std::int32_t>(st.range(0));
    for (auto _ : st) {
        fill_rows(0, far, 319, far + 64, COLOR_WALL, &g_surface);
        fill_rows(-far, 0, far, 239, COLOR_WALL, &g_surface);
        draw_line(-far, -far, far, far, COLOR_WHITE, &g_surface);
        draw_glyph(g_font_sheet, far, far, COLOR_WHITE, 'W', &g_surface);
        blit_keyed(g_coin_image, static_cast<std::int16_t>(std::min(far, 32767)), 120, &g_surface, COLOR_KEY, COIN_SIZE, COIN_SIZE);
        draw_tunnel_column(50, far, TUNNEL_START_GAP, &g_surface);
    }
}

// ---- the heaviest frames

struct Heaviest {
    std::string tape;
    std::uint64_t frame = 0;
};
Heaviest g_heaviest[2];  // title, game
FrameSnapshot g_snap[2];
bool g_snap_ok[2] = {false, false};

void load_heaviest() {
    std::ifstream in(BURROW_SOURCE_DIR "/bench/heaviest_frames.txt");
    std::string kind, tape;
    std::uint64_t frame;
    while (in >> kind >> tape >> frame) {
        const int i = kind == "title" ? 0 : kind == "game" ? 1 : -1;
        if (i >= 0) g_heaviest[i] = {std::string(BURROW_SOURCE_DIR "/") + tape, frame};
    }
    for (int i = 0; i < 2; ++i) {
        std::string error;
        if (g_heaviest[i].frame == 0) continue;
        if (!capture_frame(g_heaviest[i].tape.c_str(), g_heaviest[i].frame, &g_snap[i], &error)) {
            std::fprintf(stderr, "burrow_bench: %s\n", error.c_str());
            continue;
        }
        // The game's own frame code, drawing again from the captured state,
        // must give the pixels the game showed.
        g_snap_ok[i] = std::memcmp(draw_snapshot_frame(g_snap[i]), &g_snap[i].shown, sizeof g_surface) == 0;
        std::fprintf(stderr, "%s frame %llu of %s: %s\n", i == 0 ? "title" : "game",
                     static_cast<unsigned long long>(g_heaviest[i].frame), g_heaviest[i].tape.c_str(),
                     g_snap_ok[i] ? "same pixels" : "DIFFERENT PIXELS");
    }
}

template <int Which>
void bm_heaviest_frame(benchmark::State& st) {
    if (!g_snap_ok[Which]) {
        st.SkipWithError("no heaviest frame (run make bench-instructions) or its pixels differ");
        return;
    }
    for (auto _ : st) draw_snapshot_frame(g_snap[Which]);
}

// ---- the whole game loop on the in-memory display, every golden run

void bm_headless(benchmark::State& st) {
    static const char* const tapes[] = {"golden-title-stay", "golden-normal-medium", "golden-coin-fast",
                                        "golden-moving-madness"};
    static ButtonTape loaded[4];
    static std::uint64_t lengths[4];
    static bool ready = false;
    if (!ready) {
        for (int i = 0; i < 4; ++i) {
            const std::string path = std::string(BURROW_SOURCE_DIR "/tests/data/") + tapes[i] + ".tape";
            std::string error;
            if (!load_button_tape(path.c_str(), &loaded[i], &error)) {
                st.SkipWithError(error.c_str());
                return;
            }
            lengths[i] = loaded[i].entries.back().frame;
        }
        ready = true;
    }
    std::uint64_t frames = 0;
    for (auto _ : st) {
        for (int i = 0; i < 4; ++i) {
            replay(&loaded[i], lengths[i], [](std::uint64_t, const FrameSurface*) { return true; });
            frames += lengths[i];
        }
    }
    st.counters["frames_per_second"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}

// ---- the sound of the coin run at FAST (rotor, coins, crash, menu), frame by
// frame from the views the game showed

struct ShownViews {
    bool title, game;
    TitleState title_state;
    GameState game_state;
    std::int32_t score;
};

void bm_sound(benchmark::State& st) {
    static std::vector<ShownViews> shown;
    static SoundSynth synth;
    if (shown.empty()) {
        ButtonTape tape;
        std::string error;
        if (!load_button_tape(BURROW_SOURCE_DIR "/tests/data/golden-coin-fast.tape", &tape, &error)) {
            st.SkipWithError(error.c_str());
            return;
        }
        replay(&tape, tape.entries.back().frame, [](std::uint64_t, const FrameSurface*) {
            ShownViews v{g_title_view != nullptr, g_game_view != nullptr, {}, {}, g_score};
            if (v.title) v.title_state = *g_title_view;
            if (v.game) v.game_state = *g_game_view;
            shown.push_back(v);
            return true;
        });
    }
    sound_start(&synth);
    std::int16_t samples[SOUND_FRAME_SAMPLES];
    std::uint64_t frames = 0;
    for (auto _ : st) {
        for (const ShownViews& v : shown)
            sound_frame(&synth, v.title ? &v.title_state : nullptr, v.game ? &v.game_state : nullptr, v.score, false,
                        samples);
        benchmark::DoNotOptimize(samples);
        frames += shown.size();
    }
    st.counters["ns_per_frame"] = benchmark::Counter(static_cast<double>(frames),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Keeps each run's time per iteration; prints reference / game per pair.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (!r.error_occurred && r.run_type == Run::RT_Iteration) times_[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-28s %14s %14s %8s\n", "reference / game", "reference", "game", "ratio");
        for (const auto& [name, t] : times_) {
            if (name.rfind("reference/", 0) != 0) continue;
            const std::string what = name.substr(10);
            const auto game = times_.find("game/" + what);
            if (game == times_.end() || game->second <= 0) continue;
            std::printf("%-28s %11.0f ns %11.0f ns %7.1fx\n", what.c_str(), t, game->second, t / game->second);
        }
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

#define BOTH(fn, label)                                                                      \
    BENCHMARK_TEMPLATE(fn, ReferenceDrawing)->Name("reference/" label);                      \
    BENCHMARK_TEMPLATE(fn, ProductionDrawing)->Name("game/" label)

BOTH(bm_menu_band, "menu_band");
BOTH(bm_wall_rows, "wall_rows");
BOTH(bm_block, "block");
BOTH(bm_title_picture, "title_picture");
BOTH(bm_chopper, "chopper");
BOTH(bm_coin_at_left_edge, "coin_at_left_edge");
BOTH(bm_glyph, "glyph");
BOTH(bm_menu_text, "menu_text");
BOTH(bm_tunnel, "tunnel_frame");
BENCHMARK(bm_far_off)->Name("game/far_off_shapes")->Arg(400)->Arg(65536)->Arg(1 << 24)->Arg(INT32_MAX - 64);
BENCHMARK_TEMPLATE(bm_heaviest_frame, 0)->Name("game/heaviest_title_frame");
BENCHMARK_TEMPLATE(bm_heaviest_frame, 1)->Name("game/heaviest_game_frame");
BENCHMARK(bm_headless)->Name("headless/all_golden_runs")->Unit(benchmark::kMillisecond);
BENCHMARK(bm_sound)->Name("sound/golden_coin_fast_run")->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    load_heaviest();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
