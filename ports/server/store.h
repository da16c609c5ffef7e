// What the hall of fame keeps, behind one narrow interface: the runs sent in,
// the queue their verification runs from, and the twelve boards. One file
// per engine implements it (store_sqlite.cpp for one machine,
// store_postgres.cpp for many); every method may be called
// from any thread, and every write that belongs together is one transaction.
//
// A run goes queued -> verifying (claimed by a worker under a lease) ->
// accepted or rejected. A lease that runs out (its worker died) lets another
// worker claim the run again; a run claimed MAX_ATTEMPTS times without a
// verdict is rejected. Nothing personal is kept: a run is its chosen name,
// its claim, its tape and its times; a rejected run keeps no tape.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class RunState { queued, verifying, accepted, rejected };
const char* run_state_name(RunState state);
RunState run_state_from(const std::string& name);  // the state run_state_name names

// The reasons both engines write: a run whose claims ran out (`last_error`
// is what its last worker said, if anything), and a game already accepted as run `first`.
std::string attempts_reason(int max_attempts, const std::string& last_error);
std::string duplicate_reason(std::int64_t first);

// A submission that passed the handlers' checks.
struct NewRun {
    std::string name;      // as shown, trimmed
    std::string name_key;  // the name case-folded: one entry per key on each board
    int mode = 0;
    int speed = 0;
    std::int64_t score = 0;
    std::string tape;
};

struct RunInfo {
    RunState state = RunState::queued;
    std::string reason;  // why it was rejected, or what was accepted
    int mode = 0;
    int speed = 0;
    std::int64_t rank = 0;  // its place on its board while it is its name's entry there, else 0
};

struct BoardEntry {
    std::int64_t rank = 0;  // 1 for the best
    std::string name;
    std::int64_t score = 0;
    std::string date;  // the day it was accepted, YYYY-MM-DD (UTC)
    std::int64_t run = 0;
};

// A run claimed for verification.
struct Job {
    std::int64_t run = 0;
    int mode = 0;
    int speed = 0;
    std::int64_t score = 0;
    std::string tape;
    int attempt = 0;    // 1 for the first claim
    std::string lease;  // the claim's own token: only its holder may finish the job
};

struct Verdict {
    bool accepted = false;
    std::string reason;
    std::string fingerprint;  // of the claimed game, when accepted: 16 hex digits
};

class Store {
public:
    virtual ~Store() = default;
    // Each returns false with `error` only when the store itself fails (a
    // disk, a lost connection); an absent run is `found` false.

    // Queues a run; its id is what the submitter asks about.
    virtual bool add_run(const NewRun& run, std::int64_t* id, std::string* error) = 0;
    virtual bool get_run(std::int64_t id, RunInfo* info, bool* found, std::string* error) = 0;
    // The tape of a run that is not rejected.
    virtual bool get_tape(std::int64_t id, std::string* tape, bool* found, std::string* error) = 0;
    // The best `limit` entries of a board, best first (an earlier run first among equal scores).
    virtual bool get_board(int mode, int speed, int limit, std::vector<BoardEntry>* entries, std::string* error) = 0;

    // Claims the oldest queued run, or a verifying one whose lease has run out,
    // for `lease_seconds`; `got` is false when there is none. A run already
    // claimed `max_attempts` times is rejected instead of claimed.
    virtual bool claim_job(int lease_seconds, int max_attempts, Job* job, bool* got, std::string* error) = 0;
    // In one transaction, while the job's lease is still its own: writes the
    // verdict and, when accepted, the board entry (a name keeps its best on
    // each board). An accepted game whose fingerprint an earlier accepted run
    // on that board already has is rejected as a duplicate instead. `written`
    // is what was stored; `held` is false when the lease had passed to another
    // claim, and then nothing is written.
    virtual bool finish_job(const Job& job, const Verdict& verdict, Verdict* written, bool* held,
                            std::string* error) = 0;
    // Gives a claimed run back to the queue (its worker could not verify it),
    // keeping `why` for when its attempts run out.
    virtual bool release_job(const Job& job, const std::string& why, std::string* error) = 0;
    // Waits at most `milliseconds` for word that a run was queued, by any
    // server on the same database; true when it came. An engine that cannot
    // be told simply waits.
    virtual bool wait_for_runs(int milliseconds);
};

// Opens the store named by `where` (postgresql://... or postgres://...:
// PostgreSQL; anything else is an SQLite file) and brings its
// schema to the newest version; null with `error` on failure.
std::unique_ptr<Store> open_store(const std::string& where, std::string* error);

// The engines.
std::unique_ptr<Store> open_sqlite_store(const std::string& path, std::string* error);
std::unique_ptr<Store> open_postgres_store(const std::string& uri, std::string* error);

// The schema both engines share (schema.cpp): SCHEMA_VERSION steps, step v
// bringing version v to v + 1, in the engine's dialect.
extern const int SCHEMA_VERSION;
std::string schema_step(int version, bool postgres);
