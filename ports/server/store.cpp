#include "ports/server/store.h"

#include <chrono>
#include <thread>

const char* run_state_name(RunState state) {
    switch (state) {
    case RunState::queued: return "queued";
    case RunState::verifying: return "verifying";
    case RunState::accepted: return "accepted";
    case RunState::rejected: return "rejected";
    }
    return "queued";
}

RunState run_state_from(const std::string& name) {
    for (const RunState s : {RunState::verifying, RunState::accepted, RunState::rejected})
        if (name == run_state_name(s)) return s;
    return RunState::queued;
}

std::string attempts_reason(int max_attempts, const std::string& last_error) {
    return "verification failed " + std::to_string(max_attempts) +
           " times: " + (last_error.empty() ? "its worker stopped before a verdict" : last_error);
}

std::string duplicate_reason(std::int64_t first) {
    return "the same game as run " + std::to_string(first) + ", which is already on the board";
}

std::unique_ptr<Store> open_store(const std::string& where, std::string* error) {
    if (where.empty()) {
        *error = "no database given (--db FILE)";
        return nullptr;
    }
    if (where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0)
        return open_postgres_store(where, error);
    return open_sqlite_store(where, error);
}

bool Store::wait_for_runs(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return false;
}
