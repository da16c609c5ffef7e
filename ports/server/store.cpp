#include "ports/server/store.h"

const char* run_state_name(RunState state) {
    switch (state) {
    case RunState::queued: return "queued";
    case RunState::verifying: return "verifying";
    case RunState::accepted: return "accepted";
    case RunState::rejected: return "rejected";
    }
    return "queued";
}

std::unique_ptr<Store> open_store(const std::string& where, std::string* error) {
    if (where.empty()) {
        *error = "no database given (--db FILE)";
        return nullptr;
    }
    return open_sqlite_store(where, error);
}
