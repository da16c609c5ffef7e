// The workers: each claims a queued run, replays its tape in the sandbox and
// writes the verdict. A run is accepted only when a game in its tape ends
// with exactly the claimed mode, speed and score.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "ports/server/store.h"

// One game as burrowrotor-headless --games reports it.
struct ReplayedGame {
    std::int64_t number = 0, mode = 0, speed = 0, score = 0, start = 0, crash = 0;
    std::string fingerprint;
};

// Reads one line of --games; false when it is not one.
bool parse_game_line(const std::string& line, ReplayedGame* game);

// The verdict on a claim from the games the whole tape played; `tape_end`
// is the frame of the tape's last line.
Verdict judge_games(const Job& job, const std::vector<ReplayedGame>& games, std::int64_t tape_end);

// Tells waiting workers that a run was queued.
struct WorkSignal {
    std::mutex mutex;
    std::condition_variable wake;
    bool pending = false;
    void notify();
};

struct WorkerSetup {
    Store* store = nullptr;
    int replay_seconds = 0;
    int lease_margin = 0;  // a claim holds its run this long past the replay's bound
    WorkSignal* signal = nullptr;
    const std::atomic<bool>* stop = nullptr;
    std::string instance;  // this server's name, in the log of each verdict
};

// Settles runs until *stop: claim, replay, verdict; waits on the signal (or
// polls) while the queue is empty.
void run_worker(const WorkerSetup& setup, int number);
