// burrow_soak: long runs of the real program loop on the headless display,
// meant for the sanitizer build.
//
//   title N     the title screen for N frames with no button: the marquee
//               repeats every 5,600 frames, the wandering tunnel stays within
//               its bound, every 10,000 frames cost about the same; then the
//               title tunnel pinned at its bound for N / 5 frames.
//   games N     N games in one session, every mode and speed in turn, most
//               flown by random button presses and every 50th by the
//               autopilot: each ends by a crash (by the time the passage has
//               closed at the latest), and the score of every frame is the
//               sum of the trace's steps and coin bonuses. With --runner the
//               session's tape is replayed by burrowrotor-headless and its
//               trace must equal the one seen here.
//   handheld N  the device binary (--handheld) on the emulated handheld for N
//               frames of random button words; it must show exactly the frames
//               the headless display shows for the same words.
//   all         title 1000000, games 1000, handheld 100000.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "autopilot/pilot.h"
#include "game_harness.h"
#include "game/loop.h"
#include "game/view.h"
#include "platform/buttons.h"
#include "ports/common/frame_hash.h"
#include "ports/common/poll_tape.h"
#include "ports/common/tape.h"
#include "ports/common/trace.h"
#include "ports/headless/headless.h"
#ifdef BURROW_SOAK_HANDHELD
#include "tools/handheld-emu/emulator.h"
#endif

namespace {

int g_failures = 0;

void fail(const std::string& what) {
    std::fprintf(stderr, "burrow_soak: %s\n", what.c_str());
    if (++g_failures >= 10) {
        std::fprintf(stderr, "burrow_soak: giving up after 10 failures\n");
        std::exit(1);
    }
}

double cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A field of a trace line, as an integer.
long long field(const char* line, const char* name) {
    char key[48];
    std::snprintf(key, sizeof key, "\"%s\":", name);
    const char* p = std::strstr(line, key);
    if (p == nullptr) return -999999999;
    p += std::strlen(key);
    if (*p == '"') ++p;
    return std::strtoll(p, nullptr, 10);
}

std::uint64_t fnv(std::uint64_t h, const char* s) {
    for (; *s != '\0'; ++s) h = (h ^ static_cast<unsigned char>(*s)) * 1099511628211ull;
    return (h ^ '\n') * 1099511628211ull;
}

// Per-block cost summary: min, median and max of the blocks' CPU time.
struct BlockTimes {
    std::vector<double> ms;
    double median() const {
        std::vector<double> s = ms;
        std::sort(s.begin(), s.end());
        return s.empty() ? 0 : s[s.size() / 2];
    }
    void report(const char* what, std::uint64_t block) const {
        if (ms.empty()) return;
        const auto [lo, hi] = std::minmax_element(ms.begin(), ms.end());
        std::printf("  %s: %zu blocks of %" PRIu64 " frames, CPU ms per block min %.0f median %.0f max %.0f (first %.0f, last %.0f)\n",
                    what, ms.size(), block, *lo, median(), *hi, ms.front(), ms.back());
    }
    // Flat: no block costs more than three times the median. Only judged on
    // long runs, where a busy machine's noise averages out.
    bool flat() const { return ms.size() < 10 || *std::max_element(ms.begin(), ms.end()) <= 3 * median(); }
};

// ---- title screen ----------------------------------------------------------

struct TitleSoak {
    std::uint64_t frames = 0;
    std::uint64_t block = 10000;
    double block_start = 0;
    BlockTimes times;
    std::int64_t top_min = 0, top_max = 0;
    std::uint64_t cycles = 0;
};

void title_observer(void* context, std::uint64_t frame, int buffer, const FrameSurface* shown) {
    TitleSoak* soak = static_cast<TitleSoak*>(context);
    (void)shown;  // the pixels are not hashed: that would cost more than the frame
    char line[1024];
    format_trace_line(line, sizeof line, frame, buffer, 0);
    if (std::strstr(line, "\"screen\":\"title\"") == nullptr) {
        fail("frame " + std::to_string(frame) + " is not the title screen: " + line);
        return;
    }
    // Shown at the flip, before this frame's marquee step: frame f has moved
    // f - 1 pixels, 8 per character, 700 characters per cycle.
    const std::uint64_t moved = (frame - 1) % 5600;
    if (field(line, "marquee_shift") != static_cast<long long>(moved % 8) ||
        field(line, "marquee_start") != static_cast<long long>(moved / 8))
        fail("frame " + std::to_string(frame) + ": marquee out of step: " + line);
    if (moved == 5599) ++soak->cycles;
    const TunnelState& t = g_title_view->tunnel;
    for (int i = 0; i < TUNNEL_COLUMNS; ++i) {
        if (t.gap[i] != TUNNEL_START_GAP) fail("frame " + std::to_string(frame) + ": a title passage changed height");
        if (t.top[i] > TITLE_TOP_LIMIT || t.top[i] < -TITLE_TOP_LIMIT) fail("title tunnel past its bound");
    }
    soak->top_min = std::min<std::int64_t>(soak->top_min, t.top[TUNNEL_COLUMNS - 1]);
    soak->top_max = std::max<std::int64_t>(soak->top_max, t.top[TUNNEL_COLUMNS - 1]);
    if (frame % soak->block == 0) {
        const double now = cpu_seconds();
        soak->times.ms.push_back((now - soak->block_start) * 1000);
        soak->block_start = now;
    }
}

bool soak_title(std::uint64_t frames) {
    std::printf("title screen, %" PRIu64 " frames\n", frames);
    std::fflush(stdout);
    static TitleSoak soak;
    soak = TitleSoak{};
    soak.block = std::min<std::uint64_t>(10000, std::max<std::uint64_t>(frames / 10, 1));
    power_on();  // every soak from a fresh power-on, as the runner and the handheld start
    headless_set_observer(title_observer, &soak);
    headless_stop_after(frames);
    soak.block_start = cpu_seconds();
    try {
        run_game_loop();
    } catch (const HeadlessStop&) {
    }
    const bool shown = headless_frames_shown() == frames;
    if (!shown) fail("the title screen stopped early");
    std::printf("  marquee: %" PRIu64 " full cycles of 5,600 frames, every frame in step\n", soak.cycles);
    std::printf("  wandering passage top: %" PRId64 " .. %" PRId64 " (bound +-%d)\n", soak.top_min, soak.top_max,
                TITLE_TOP_LIMIT);
    soak.times.report("frame cost", soak.block);
    if (frames >= 100000 && !soak.times.flat()) fail("a block of title frames cost more than 3x the median");

    // The bound itself: a title tunnel started at the edge of its range, in
    // both directions, drawn and walked as the title screen does.
    const std::uint64_t pinned = std::max<std::uint64_t>(frames / 5, 1000);
    static FrameSurface surface;
    BlockTimes pinned_times;
    std::int64_t lo = 0, hi = 0;
    for (int side = 0; side < 2; ++side) {
        TunnelState t;
        reset_tunnel(&t);
        for (int i = 0; i < TUNNEL_COLUMNS; ++i) t.top[i] = side == 0 ? TITLE_TOP_LIMIT - 2 : -TITLE_TOP_LIMIT + 2;
        lo = hi = t.top[0];
        double start = cpu_seconds();
        for (std::uint64_t f = 1; f <= pinned / 2; ++f) {
            clear_surface(&surface);
            draw_tunnel(&t, &surface);
            if (advance_tunnel(&t, 2)) walk_title_tunnel(&t);
            for (int i = 0; i < TUNNEL_COLUMNS; ++i) {
                if (t.top[i] > TITLE_TOP_LIMIT || t.top[i] < -TITLE_TOP_LIMIT) {
                    fail("pinned title tunnel left its bound");
                    break;
                }
                lo = std::min<std::int64_t>(lo, t.top[i]);
                hi = std::max<std::int64_t>(hi, t.top[i]);
            }
            if (f % soak.block == 0) {
                const double now = cpu_seconds();
                pinned_times.ms.push_back((now - start) * 1000);
                start = now;
            }
        }
        std::printf("  pinned at the %s bound for %" PRIu64 " frames: top %" PRId64 " .. %" PRId64 "\n",
                    side == 0 ? "lower" : "upper", pinned / 2, lo, hi);
    }
    pinned_times.report("pinned tunnel cost", soak.block);
    return shown;
}

// ---- games -----------------------------------------------------------------

struct GameSoak {
    std::uint64_t wanted = 0;
    std::uint64_t ended = 0;
    std::mt19937_64 random{20240601};  // our own sequence: the game's rand() is left alone
    Pilot pilot = Pilot(26, 2);
    // The game being played.
    bool in_game = false;
    bool piloted = false;
    std::int32_t mode = 0, speed = 0;
    long long coins = 0;
    long long prev_coin_x = -40;
    long long frame_count = 0;
    std::uint32_t hold_word = 0;
    std::uint64_t hold_until = 0;
    // The session's tape and trace.
    std::string tape;
    bool have_word = false;
    std::uint32_t last_word = 0;
    std::uint64_t trace_hash = 1469598103934665603ull;
    std::uint64_t frames = 0;
    std::FILE* own_trace = nullptr;  // the trace seen here, kept to compare with the runner's
    std::string own_trace_path;
    // Totals.
    std::uint64_t game_frames = 0, crashes_before_close = 0, reached_close = 0, total_coins = 0;
    long long longest = 0, best_score = 0;
    std::uint64_t per_choice[3][4] = {};
};

std::int32_t choice_mode(std::uint64_t game) { return static_cast<std::int32_t>(game % 3); }
std::int32_t choice_speed(std::uint64_t game) { return static_cast<std::int32_t>((game / 3) % 4); }
bool choice_piloted(std::uint64_t game) { return game % 50 == 49; }

// Rows the passage keeps the chopper's 25-row box (23 rows and a probe row
// above and below) in: once frame_count passes this, no flight survives.
constexpr long long PASSAGE_TOO_NARROW = 100 * (180 - 24);

bool game_buttons(void* context, std::uint64_t frame, std::uint64_t poll, std::uint32_t* word) {
    GameSoak* s = static_cast<GameSoak*>(context);
    std::uint32_t w;
    if (g_game_view != nullptr) {
        if (s->piloted) {
            w = s->pilot.game_word(*g_game_view);
        } else {
            if (frame >= s->hold_until) {
                // Presses and pauses of random length, a little more often
                // held than not, so that flights last a while.
                s->hold_word = (s->random() % 100) < 52 ? (1u << BUTTON_ACTION) : 0u;
                s->hold_until = frame + 1 + s->random() % 12;
            }
            w = s->hold_word;
        }
    } else if (g_title_view != nullptr) {
        w = Pilot::menu_word(*g_title_view, choice_mode(s->ended), choice_speed(s->ended), poll);
    } else {
        w = 0;
    }
    if (!s->have_word || w != s->last_word) {
        s->tape += std::to_string(frame) + " " + format_button_word(w) + "\n";
        s->have_word = true;
        s->last_word = w;
    }
    *word = w;
    return true;
}

void game_observer(void* context, std::uint64_t frame, int buffer, const FrameSurface* shown) {
    GameSoak* s = static_cast<GameSoak*>(context);
    char line[1024];
    format_trace_line(line, sizeof line, frame, buffer, frame_hash(shown));
    s->trace_hash = fnv(s->trace_hash, line);
    if (s->own_trace != nullptr) std::fprintf(s->own_trace, "%s\n", line);
    s->frames = frame;
    const bool game = std::strstr(line, "\"screen\":\"game\"") != nullptr;
    if (!game) {
        if (s->in_game) fail("frame " + std::to_string(frame) + ": a game stopped without its crash frame");
        s->in_game = false;
        return;
    }
    const long long fc = field(line, "frame_count");
    const long long step = field(line, "scroll_step");
    const long long coin_x = field(line, "coin_x");
    if (!s->in_game) {
        // A new game: it must be the one the menu was walked to.
        s->in_game = true;
        s->mode = choice_mode(s->ended);
        s->speed = choice_speed(s->ended);
        s->piloted = choice_piloted(s->ended);
        s->pilot = Pilot();
        s->coins = 0;
        s->prev_coin_x = -40;
        s->frame_count = 0;
        s->hold_until = 0;
        static const long long STEPS[4] = {1, 2, 5, 10};
        if (fc != 1 || field(line, "mode") != s->mode || step != STEPS[s->speed])
            fail("game " + std::to_string(s->ended + 1) + " did not start as chosen: " + line);
    }
    if (fc != s->frame_count + 1) fail("game frame counter skipped: " + std::string(line));
    s->frame_count = fc;
    // A coin taken this frame: it was in play and is gone, but had not yet
    // reached the point where it leaves the screen by itself.
    if (s->prev_coin_x > -40 && coin_x == -40 && s->prev_coin_x - step != -40) ++s->coins;
    s->prev_coin_x = coin_x;
    const long long score = field(line, "score");
    if (score != fc * step + 40 * step * s->coins)
        fail("game " + std::to_string(s->ended + 1) + " frame " + std::to_string(fc) + ": score " +
             std::to_string(score) + " is not " + std::to_string(fc) + " steps of " + std::to_string(step) +
             " plus " + std::to_string(s->coins) + " coins");
    if (fc > PASSAGE_TOO_NARROW + 2000) {
        fail("game " + std::to_string(s->ended + 1) + " goes on past the closed passage");
        throw HeadlessStop{};
    }
    if (field(line, "crashed") == 1) {
        s->in_game = false;
        s->game_frames += static_cast<std::uint64_t>(fc);
        s->total_coins += static_cast<std::uint64_t>(s->coins);
        if (fc >= PASSAGE_TOO_NARROW)
            ++s->reached_close;
        else
            ++s->crashes_before_close;
        s->longest = std::max(s->longest, fc);
        s->best_score = std::max(s->best_score, score);
        ++s->per_choice[s->mode][s->speed];
        if (++s->ended == s->wanted) throw HeadlessStop{};
    }
}

// Replays the session's tape with burrowrotor-headless; its trace must be
// the one seen in this process, line for line.
bool replay_with_runner(const GameSoak& s, const std::string& runner) {
    const std::string dir = s.own_trace_path.substr(0, s.own_trace_path.rfind('/'));
    const std::string tape = std::string(dir) + "/session.tape", trace = std::string(dir) + "/session.jsonl";
    std::ofstream(tape) << s.tape;
    const std::string command = "'" + runner + "' --frames " + std::to_string(s.frames) + " --input '" + tape +
                                "' --trace '" + trace + "'";
    bool ok = std::system(command.c_str()) == 0;
    std::uint64_t h = 1469598103934665603ull, lines = 0;
    if (ok) {
        std::ifstream in(trace);
        std::string line;
        while (std::getline(in, line)) {
            h = fnv(h, line.c_str());
            ++lines;
        }
        ok = lines == s.frames && h == s.trace_hash;
        if (!ok) {
            // Name the first line that differs.
            std::ifstream a(s.own_trace_path), b(trace);
            std::string la, lb;
            std::uint64_t n = 0;
            while (std::getline(a, la) && std::getline(b, lb) && la == lb) ++n;
            fail("burrowrotor-headless replaying the session's tape wrote another trace from line " +
                 std::to_string(n + 1) + " (of " + std::to_string(lines) + "; both kept in " + dir + "):\n  here:   " +
                 la + "\n  runner: " + lb);
        }
    } else {
        fail("burrowrotor-headless failed on the session's tape (kept in " + dir + ")");
    }
    if (ok) {
        std::remove(s.own_trace_path.c_str());
        std::remove(tape.c_str());
        std::remove(trace.c_str());
        rmdir(dir.c_str());
        std::printf("  burrowrotor-headless replays the session's tape (%zu bytes) to the same %" PRIu64 "-line trace\n",
                    s.tape.size(), lines);
    }
    return ok;
}

bool soak_games(std::uint64_t games, const std::string& runner) {
    std::printf("games, %" PRIu64 " in one session\n", games);
    std::fflush(stdout);
    static GameSoak s;
    s = GameSoak{};
    s.wanted = games;
    if (!runner.empty()) {
        char dir[] = "/tmp/burrow-soak-XXXXXX";
        if (mkdtemp(dir) == nullptr) {
            fail("cannot make a temporary folder");
            return false;
        }
        s.own_trace_path = std::string(dir) + "/soak.jsonl";
        s.own_trace = std::fopen(s.own_trace_path.c_str(), "w");
    }
    power_on();  // every soak from a fresh power-on, as the runner and the handheld start
    headless_set_observer(game_observer, &s);
    headless_set_buttons(game_buttons, &s);
    const double start = cpu_seconds();
    try {
        run_game_loop();
    } catch (const HeadlessStop&) {
    }
    const double spent = cpu_seconds() - start;
    std::printf("  %" PRIu64 " games ended by a crash: %" PRIu64 " before the passage closed, %" PRIu64
                " once it was too narrow to fly\n",
                s.ended, s.crashes_before_close, s.reached_close);
    std::printf("  %" PRIu64 " frames in all, %" PRIu64 " in games; longest game %lld frames, best score %lld, %" PRIu64
                " coins taken; %.1f s CPU\n",
                s.frames, s.game_frames, s.longest, s.best_score, s.total_coins, spent);
    std::printf("  games per mode x speed:");
    for (auto& m : s.per_choice)
        for (std::uint64_t n : m) std::printf(" %" PRIu64, n);
    std::printf("\n");
    if (s.own_trace != nullptr) std::fclose(s.own_trace);
    s.own_trace = nullptr;
    bool ok = s.ended == games;
    if (!ok) fail("only " + std::to_string(s.ended) + " games ended");
    if (!runner.empty()) ok = replay_with_runner(s, runner) && ok;
    return ok;
}

// ---- emulated handheld -----------------------------------------------------

struct PollSource {
    PollTape tape;
    std::vector<std::uint64_t> hashes;
};

bool poll_buttons_from(void* context, std::uint64_t, std::uint64_t, std::uint32_t* word) {
    return poll_tape_read(&static_cast<PollSource*>(context)->tape, word);
}

void poll_observer(void* context, std::uint64_t, int, const FrameSurface* shown) {
    static_cast<PollSource*>(context)->hashes.push_back(frame_hash(shown));
}

bool soak_handheld(std::uint64_t frames, const std::string& binary) {
    std::printf("emulated handheld, %" PRIu64 " frames\n", frames);
    std::fflush(stdout);
#ifndef BURROW_SOAK_HANDHELD
    (void)binary;
    std::printf("  skipped: this build has no emulated handheld (tools/handheld-emu)\n");
    return true;
#else
    if (binary.empty()) {
        std::printf("  skipped: no --handheld binary given\n");
        return true;
    }
    // Button words a player might give: mostly nothing or the action
    // button, sometimes a direction, in runs of a few polls.
    std::mt19937_64 random(7);
    std::vector<unsigned char> bytes;
    static const std::uint32_t WORDS[] = {0, 0, 1u << BUTTON_ACTION, 1u << BUTTON_ACTION, 1u << BUTTON_UP,
                                          1u << BUTTON_DOWN, 1u << BUTTON_LEFT, 1u << BUTTON_RIGHT};
    while (bytes.size() < 4 * frames) {
        const std::uint32_t w = WORDS[random() % 8];
        for (std::uint64_t n = 1 + random() % 20; n > 0; --n)
            for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<unsigned char>(w >> (8 * b)));
    }
    static PollSource source;
    source.tape.bytes = bytes;
    source.tape.position = 0;
    source.hashes.clear();
    power_on();  // every soak from a fresh power-on, as the runner and the handheld start
    headless_set_observer(poll_observer, &source);
    headless_set_buttons(poll_buttons_from, &source);
    headless_stop_after(frames);
    try {
        run_game_loop();
    } catch (const HeadlessStop&) {
    }

    EmulatorConfig config;
    config.command = {binary};
    config.tape = bytes;
    config.frames = frames;
    const double start = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    const EmulatorResult r = run_emulated_handheld(config);
    const double spent =
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count() - start;
    if (r.outcome == EmulatorOutcome::namespace_refused) {
        std::printf("  skipped: %s\n", r.message.c_str());
        return true;
    }
    bool ok = true;
    if (r.outcome != EmulatorOutcome::frames_shown) {
        fail(std::string("the handheld did not show its frames: ") + outcome_name(r.outcome) + ": " + r.message);
        ok = false;
    }
    for (const std::string& f : r.faults) {
        fail("display fault: " + f);
        ok = false;
    }
    if (!r.binary_stderr.empty()) {
        fail("the handheld wrote to stderr: " + r.binary_stderr.substr(0, 2000));
        ok = false;
    }
    std::size_t same = 0;
    while (same < r.frames.size() && same < source.hashes.size() && r.frames[same].hash == source.hashes[same]) ++same;
    if (same != frames) {
        fail("the handheld shows other pixels than the headless display from frame " + std::to_string(same + 1));
        ok = false;
    }
    std::printf("  %zu frames shown in %" PRIu64 " refreshes (%.0f s), %zu display faults, %zu identical to the headless display\n",
                r.frames.size(), r.refreshes, spent, r.faults.size(), same);
    return ok;
#endif
}

std::uint64_t count_arg(const char* text) {
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0' || v == 0) {
        std::fprintf(stderr, "burrow_soak: '%s' is not a count\n", text);
        std::exit(2);
    }
    return v;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: burrow_soak title N | games N | handheld N | all [--runner PATH] [--handheld PATH]\n");
        return 2;
    }
    const std::string what = argv[1];
    std::uint64_t count = 0;
    int i = 2;
    if (what != "all") {
        if (argc < 3) {
            std::fprintf(stderr, "burrow_soak: %s needs a count\n", what.c_str());
            return 2;
        }
        count = count_arg(argv[2]);
        i = 3;
    }
    std::string runner, handheld;
    for (; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runner") == 0)
            runner = argv[i + 1];
        else if (std::strcmp(argv[i], "--handheld") == 0)
            handheld = argv[i + 1];
        else {
            std::fprintf(stderr, "burrow_soak: unknown option '%s'\n", argv[i]);
            return 2;
        }
    }
    bool ok = true;
    if (what == "title" || what == "all") ok = soak_title(what == "all" ? 1000000 : count) && ok;
    if (what == "games" || what == "all") ok = soak_games(what == "all" ? 1000 : count, runner) && ok;
    if (what == "handheld" || what == "all") ok = soak_handheld(what == "all" ? 100000 : count, handheld) && ok;
    if (what != "title" && what != "games" && what != "handheld" && what != "all") {
        std::fprintf(stderr, "burrow_soak: unknown soak '%s'\n", what.c_str());
        return 2;
    }
    std::printf("%s: %d findings\n", ok && g_failures == 0 ? "soak passed" : "soak FAILED", g_failures);
    return ok && g_failures == 0 ? 0 : 1;
}
