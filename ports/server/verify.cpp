#include "ports/server/verify.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "ports/common/best_scores.h"
#include "ports/common/tape.h"
#include "ports/server/limits.h"
#include "ports/server/sandbox.h"

namespace {

constexpr std::size_t GAMES_NAMED = 5;  // what a rejection lists of the tape's games

std::string kind(std::int64_t mode, std::int64_t speed) {
    return std::string(best_mode_name(static_cast<int>(mode))) + " " + best_speed_name(static_cast<int>(speed));
}

bool is_hex16(const std::string& s) {
    return s.size() == 16 && std::all_of(s.begin(), s.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

// Replays a job's tape; true with the verdict, false when the replay could
// not be run at all or the machine was too busy to finish it (the run goes
// back to the queue with `why`).
bool verify(const WorkerSetup& setup, const Job& job, Verdict* verdict, std::string* why) {
    ButtonTape tape;
    std::string error;
    if (!parse_button_tape(job.tape, &tape, &error)) {  // the rules may have changed since it was queued
        *verdict = Verdict{false, "tape " + error, ""};
        return true;
    }
    // The runner decides how far a tape plays (its last line and ten seconds
    // more), so a game that crashes after the last press counts here as in the game.
    const std::uint64_t last = tape.entries.empty() ? 0 : tape.entries.back().frame;
    std::vector<ReplayedGame> games;
    bool bad_line = false;
    const auto on_line = [&](const std::string& line) {
        ReplayedGame g;
        if (!parse_game_line(line, &g)) {
            bad_line = true;
            return true;
        }
        games.push_back(g);
        return g.mode == job.mode && g.speed == job.speed && g.score == job.score;  // enough: stop there
    };
    const ReplayOutcome outcome =
        sandbox_replay(job.tape, setup.replay_seconds, on_line, [&] { return setup.stop->load(); });
    if (setup.stop->load() && !outcome.finished) {
        *why = "the server stopped during the replay";
        return false;
    }
    if (outcome.busy || outcome.failure.rfind("cannot start", 0) == 0) {
        *why = outcome.failure;
        return false;
    }
    if (bad_line) {
        *verdict = Verdict{false, "the replay printed a line that is not a game", ""};
        return true;
    }
    *verdict = judge_games(job, games, static_cast<std::int64_t>(last));
    if (!verdict->accepted && !outcome.finished && !outcome.failure.empty()) verdict->reason = outcome.failure;
    return true;
}

}  // namespace

bool parse_game_line(const std::string& line, ReplayedGame* game) {
    const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
    if (!j.is_object()) return false;
    for (const char* key : {"game", "mode", "speed", "score", "start", "crash"})
        if (!j.contains(key) || !j[key].is_number_integer()) return false;
    if (!j.contains("fingerprint") || !j["fingerprint"].is_string()) return false;
    game->number = j["game"].get<std::int64_t>();
    game->mode = j["mode"].get<std::int64_t>();
    game->speed = j["speed"].get<std::int64_t>();
    game->score = j["score"].get<std::int64_t>();
    game->start = j["start"].get<std::int64_t>();
    game->crash = j["crash"].get<std::int64_t>();
    game->fingerprint = j["fingerprint"].get<std::string>();
    return is_hex16(game->fingerprint);
}

Verdict judge_games(const Job& job, const std::vector<ReplayedGame>& games, std::int64_t tape_end) {
    std::string there, elsewhere;
    std::size_t named_there = 0, named_elsewhere = 0;
    const ReplayedGame* cut = nullptr;  // a game of the claimed kind still running when the tape ends
    bool ended_in_tape = false;         // one of the claimed kind crashed before the tape's last line
    for (const ReplayedGame& g : games) {
        if (g.mode == job.mode && g.speed == job.speed) {
            ended_in_tape = ended_in_tape || g.crash <= tape_end;
            if (g.start <= tape_end && g.crash > tape_end) cut = &g;
            if (g.score == job.score)
                return Verdict{true, "game " + std::to_string(g.number) + " of the tape ends at " + kind(g.mode, g.speed) +
                                         " with score " + std::to_string(g.score),
                               g.fingerprint};
            if (named_there++ < GAMES_NAMED) there += (there.empty() ? "" : ", ") + std::to_string(g.score);
        } else if (elsewhere.find(kind(g.mode, g.speed)) == std::string::npos && named_elsewhere++ < GAMES_NAMED) {
            elsewhere += (elsewhere.empty() ? "" : ", ") + kind(g.mode, g.speed);
        }
    }
    const std::string claim = kind(job.mode, job.speed) + " with score " + std::to_string(job.score);
    if (games.empty()) return Verdict{false, "no game ends in the tape, so none ends at " + claim, ""};
    if (cut != nullptr && !ended_in_tape)
        return Verdict{false, "the tape ends in frame " + std::to_string(tape_end) + ", before its game at " +
                                  kind(job.mode, job.speed) + " crashes (played on, it ends in frame " +
                                  std::to_string(cut->crash) + " with score " + std::to_string(cut->score) + ")",
                       ""};
    if (named_there > 0)
        return Verdict{false, "no game of the tape ends at " + claim + "; its games there end with " + there +
                                  (named_there > GAMES_NAMED ? ", ..." : ""), ""};
    return Verdict{false, "no game of the tape is played at " + kind(job.mode, job.speed) + "; it plays " + elsewhere +
                              (named_elsewhere > GAMES_NAMED ? ", ..." : ""), ""};
}

void WorkSignal::notify() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        pending = true;
    }
    wake.notify_all();
}

void run_worker(const WorkerSetup& setup, int number) {
    const int lease = setup.replay_seconds + setup.lease_margin;
    while (!setup.stop->load()) {
        Job job;
        bool got = false;
        std::string error;
        if (!setup.store->claim_job(lease, MAX_ATTEMPTS, &job, &got, &error))
            std::fprintf(stderr, "burrowrotor-server: worker %d: %s\n", number, error.c_str());
        if (!got) {
            std::unique_lock<std::mutex> lock(setup.signal->mutex);
            setup.signal->wake.wait_for(lock, std::chrono::milliseconds(WORKER_POLL_MILLISECONDS),
                                        [&] { return setup.signal->pending || setup.stop->load(); });
            setup.signal->pending = false;
            continue;
        }
        Verdict verdict, written;
        std::string why;
        bool held = false;
        if (!verify(setup, job, &verdict, &why)) {
            if (!setup.store->release_job(job, why, &error))
                std::fprintf(stderr, "burrowrotor-server: worker %d: %s\n", number, error.c_str());
            continue;
        }
        // A verdict is worth keeping through a short loss of the database;
        // past these tries the lease runs out and the run is verified again.
        bool wrote = false;
        for (int i = 0; i < FINISH_TRIES && !wrote && !setup.stop->load(); ++i) {
            if (i > 0) std::this_thread::sleep_for(std::chrono::seconds(1));
            wrote = setup.store->finish_job(job, verdict, &written, &held, &error);
            if (!wrote)
                std::fprintf(stderr, "burrowrotor-server: worker %d: run %lld: %s\n", number,
                             static_cast<long long>(job.run), error.c_str());
        }
        if (!wrote) continue;
        if (held)
            std::fprintf(stderr, "burrowrotor-server: run %lld %s by %s worker %d: %s\n",
                         static_cast<long long>(job.run), written.accepted ? "accepted" : "rejected",
                         setup.instance.c_str(), number, written.reason.c_str());
    }
}
