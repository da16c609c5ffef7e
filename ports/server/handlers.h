// The hall's requests, apart from HTTP itself: each is checked and answered
// with a precise status and, for the API, a JSON body ({"error": "..."} when
// it is refused).
//
//   POST /api/runs                    {"name", "mode", "speed", "score", "tape"} -> 202 {"id"}
//   GET  /api/runs/ID                 {"state", "reason", "rank"}
//   GET  /api/runs/ID/tape            the tape, as text
//   GET  /api/boards/MODE/SPEED?limit=N  {"entries": [{"rank", "name", "score", "date", "run"}]}
//   GET  /                            the hall: the twelve boards
//   GET  /play/...                    the browser game (with ?tape=URL to replay a run)
#pragma once
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "ports/server/store.h"

struct HallRequest {
    std::string method;
    std::string target;  // path and query
    std::string body;
    bool content_encoded = false;  // a Content-Encoding header came with it
    std::string address;           // the client's, only for the rate limit; never kept or logged
};

struct HallResponse {
    int status = 200;
    std::string content_type = "application/json";
    std::string body;
    std::string allow;     // for 405
    std::string location;  // for 308
};

HallResponse json_error(int status, const std::string& message);

// Submissions per address in the last minute, in memory only.
class RateLimit {
public:
    explicit RateLimit(int per_minute) : per_minute_(per_minute) {}
    // Counts a submission; false when it is one too many.
    bool admit(const std::string& address);

private:
    using Clock = std::chrono::steady_clock;
    int per_minute_;
    std::mutex mutex_;
    std::map<std::string, std::vector<Clock::time_point>> recent_;
};

// A submitted name: trimmed, 3-16 of letters, digits, space, '-', '_', '.';
// false with what is wrong. `key` is the name case-folded.
bool check_name(const std::string& raw, std::string* name, std::string* key, std::string* error);

struct HallSetup {
    Store* store = nullptr;
    int rate_limit = 0;         // submissions per minute per address, 0 for none
    std::string play_dir;       // the browser build's files, or empty
    std::function<void()> queued;  // told after each queued run
    std::string instance;          // this server's name, sent in X-Served-By
};

class Hall {
public:
    explicit Hall(HallSetup setup) : setup_(std::move(setup)), rate_(setup_.rate_limit) {}
    HallResponse handle(const HallRequest& request);
    const std::string& instance() const { return setup_.instance; }

private:
    HallResponse submit(const HallRequest& request);
    HallResponse run(const std::string& id, bool tape);
    HallResponse board(const std::string& mode, const std::string& speed, const std::string& query);
    HallResponse play_file(const std::string& name);
    HallSetup setup_;
    RateLimit rate_;
};

// The hall's page (hall_page.cpp).
std::string hall_page();
