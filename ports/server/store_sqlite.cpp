// The store in one SQLite file: write-ahead log, every commit synced to disk
// before it is answered (synchronous=FULL), a schema brought up to date at
// start. One connection per store, used by one thread at a time; other
// processes may open the same file (they wait for each other's writes).
#include <sqlite3.h>

#include <chrono>
#include <ctime>
#include <mutex>
#include <thread>

#include "ports/server/limits.h"
#include "ports/server/store.h"

namespace {

std::int64_t now_seconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

std::string today() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &tm);
    return text;
}

// A prepared statement, finalized however the scope is left.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { ok_ = sqlite3_prepare_v2(db, sql, -1, &s_, nullptr) == SQLITE_OK; }
    ~Statement() { sqlite3_finalize(s_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return ok_; }
    Statement& bind(int i, std::int64_t v) { return check(sqlite3_bind_int64(s_, i, v)); }
    Statement& bind(int i, const std::string& v) {
        return check(sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return ok_ ? sqlite3_step(s_) : SQLITE_ERROR; }
    std::int64_t integer(int i) const { return sqlite3_column_int64(s_, i); }
    std::string text(int i) const {
        const unsigned char* t = sqlite3_column_text(s_, i);
        return t == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(t),
                                                          static_cast<std::size_t>(sqlite3_column_bytes(s_, i)));
    }
    bool null(int i) const { return sqlite3_column_type(s_, i) == SQLITE_NULL; }

private:
    Statement& check(int rc) {
        ok_ = ok_ && rc == SQLITE_OK;
        return *this;
    }
    sqlite3_stmt* s_ = nullptr;
    bool ok_ = false;
};

class SqliteStore final : public Store {
public:
    explicit SqliteStore(sqlite3* db) : db_(db) {}
    ~SqliteStore() override { sqlite3_close(db_); }

    // The pragmas and the schema; false with `error`.
    bool start(std::string* error) {
        sqlite3_busy_timeout(db_, STORE_BUSY_MILLISECONDS);
        // Turning a new file to WAL needs it to itself, and the busy handler is
        // not asked: a server started beside another (an API server and a
        // worker on one file) waits here for up to the same time.
        constexpr int STEP_MILLISECONDS = 100;
        for (int wait = 0; !exec("PRAGMA journal_mode=WAL", error); ++wait) {
            if (sqlite3_errcode(db_) != SQLITE_BUSY || wait == STORE_BUSY_MILLISECONDS / STEP_MILLISECONDS) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(STEP_MILLISECONDS));
        }
        if (!exec("PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;", error)) return false;
        if (!exec("BEGIN IMMEDIATE; CREATE TABLE IF NOT EXISTS schema_version(version INTEGER NOT NULL);", error))
            return false;
        std::int64_t version = 0;
        {
            Statement s(db_, "SELECT version FROM schema_version");
            if (s.step() == SQLITE_ROW) version = s.integer(0);
            else if (!exec("INSERT INTO schema_version VALUES (0)", error)) return rollback();
        }
        if (version > SCHEMA_VERSION) {
            *error = "the database has schema version " + std::to_string(version) + ", newer than this server's " +
                     std::to_string(SCHEMA_VERSION);
            return rollback();
        }
        for (auto v = static_cast<int>(version); v < SCHEMA_VERSION; ++v)
            if (!exec(schema_step(v, false).c_str(), error)) return rollback();
        Statement set(db_, "UPDATE schema_version SET version = ?");
        set.bind(1, SCHEMA_VERSION);
        if (set.step() != SQLITE_DONE) return abort("cannot record the schema version", error);
        return exec("COMMIT", error) || rollback();
    }

    bool add_run(const NewRun& run, std::int64_t* id, std::string* error) override {
        std::lock_guard<std::mutex> lock(mutex_);
        Statement s(db_, "INSERT INTO runs(name, name_key, mode, speed, score, tape, state, submitted)"
                         " VALUES (?, ?, ?, ?, ?, ?, 'queued', ?)");
        s.bind(1, run.name).bind(2, run.name_key).bind(3, run.mode).bind(4, run.speed).bind(5, run.score);
        s.bind(6, run.tape).bind(7, now_seconds());
        if (s.step() != SQLITE_DONE) return fail("cannot queue the run", error);
        *id = sqlite3_last_insert_rowid(db_);
        return true;
    }

    bool get_run(std::int64_t id, RunInfo* info, bool* found, std::string* error) override {
        std::lock_guard<std::mutex> lock(mutex_);
        Statement s(db_, "SELECT r.state, r.reason, r.mode, r.speed, b.score,"
                         " (SELECT COUNT(*) FROM board o WHERE o.mode = b.mode AND o.speed = b.speed"
                         "   AND (o.score > b.score OR (o.score = b.score AND o.run < b.run)))"
                         " FROM runs r LEFT JOIN board b ON b.run = r.id WHERE r.id = ?");
        s.bind(1, id);
        const int rc = s.step();
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) return fail("cannot read the run", error);
        *found = rc == SQLITE_ROW;
        if (!*found) return true;
        info->state = run_state_from(s.text(0));
        info->reason = s.text(1);
        info->mode = static_cast<int>(s.integer(2));
        info->speed = static_cast<int>(s.integer(3));
        info->rank = s.null(4) ? 0 : s.integer(5) + 1;
        return true;
    }

    bool get_tape(std::int64_t id, std::string* tape, bool* found, std::string* error) override {
        std::lock_guard<std::mutex> lock(mutex_);
        Statement s(db_, "SELECT tape FROM runs WHERE id = ? AND state <> 'rejected' AND tape IS NOT NULL");
        s.bind(1, id);
        const int rc = s.step();
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) return fail("cannot read the tape", error);
        *found = rc == SQLITE_ROW;
        if (*found) *tape = s.text(0);
        return true;
    }

    bool get_board(int mode, int speed, int limit, std::vector<BoardEntry>* entries, std::string* error) override {
        std::lock_guard<std::mutex> lock(mutex_);
        Statement s(db_, "SELECT name, score, date, run FROM board WHERE mode = ? AND speed = ?"
                         " ORDER BY score DESC, run ASC LIMIT ?");
        s.bind(1, mode).bind(2, speed).bind(3, limit);
        entries->clear();
        int rc;
        while ((rc = s.step()) == SQLITE_ROW) {
            BoardEntry e;
            e.rank = static_cast<std::int64_t>(entries->size()) + 1;
            e.name = s.text(0);
            e.score = s.integer(1);
            e.date = s.text(2);
            e.run = s.integer(3);
            entries->push_back(e);
        }
        return rc == SQLITE_DONE || fail("cannot read the board", error);
    }

    bool claim_job(int lease_seconds, int max_attempts, Job* job, bool* got, std::string* error) override {
        std::lock_guard<std::mutex> lock(mutex_);
        *got = false;
        if (!exec("BEGIN IMMEDIATE", error)) return false;
        // Each pass settles one run, and there are at most a few runs whose attempts ran out.
        for (int pass = 0; pass < CLAIM_PASSES; ++pass) {
            const std::int64_t now = now_seconds();
            Statement s(db_, "SELECT id, mode, speed, score, tape, attempts, last_error FROM runs"
                             " WHERE state = 'queued' OR (state = 'verifying' AND lease_until < ?)"
                             " ORDER BY id LIMIT 1");
            s.bind(1, now);
            const int rc = s.step();
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) return abort("cannot read the queue", error);
            job->run = s.integer(0);
            job->mode = static_cast<int>(s.integer(1));
            job->speed = static_cast<int>(s.integer(2));
            job->score = s.integer(3);
            job->tape = s.text(4);
            job->attempt = static_cast<int>(s.integer(5)) + 1;
            if (job->attempt > max_attempts) {
                Statement r(db_, "UPDATE runs SET state = 'rejected', tape = NULL, lease = NULL, decided = ?,"
                                 " reason = ? WHERE id = ?");
                r.bind(1, now).bind(2, attempts_reason(max_attempts, s.text(6)));
                r.bind(3, job->run);
                if (r.step() != SQLITE_DONE) return abort("cannot reject the run", error);
                continue;
            }
            job->lease = std::to_string(job->run) + "-" + std::to_string(job->attempt) + "-" +
                         std::to_string(now) + "-" + std::to_string(++claims_);
            Statement u(db_, "UPDATE runs SET state = 'verifying', attempts = ?, lease = ?, lease_until = ?"
                             " WHERE id = ?");
            u.bind(1, job->attempt).bind(2, job->lease).bind(3, now + lease_seconds).bind(4, job->run);
            if (u.step() != SQLITE_DONE) return abort("cannot claim the run", error);
            *got = true;
            break;
        }
        return exec("COMMIT", error) || rollback();
    }

    bool finish_job(const Job& job, const Verdict& verdict, Verdict* written, bool* held,
                    std::string* error) override {
        std::lock_guard<std::mutex> lock(mutex_);
        *held = false;
        *written = verdict;
        if (!exec("BEGIN IMMEDIATE", error)) return false;
        {
            Statement s(db_, "SELECT 1 FROM runs WHERE id = ? AND state = 'verifying' AND lease = ?");
            s.bind(1, job.run).bind(2, job.lease);
            const int rc = s.step();
            if (rc == SQLITE_DONE) return exec("COMMIT", error) || rollback();
            if (rc != SQLITE_ROW) return abort("cannot read the run", error);
        }
        *held = true;
        if (written->accepted) {
            Statement s(db_, "SELECT id FROM runs WHERE mode = ? AND speed = ? AND fingerprint = ?"
                             " AND state = 'accepted' LIMIT 1");
            s.bind(1, job.mode).bind(2, job.speed).bind(3, written->fingerprint);
            const int rc = s.step();
            if (rc == SQLITE_ROW) {
                written->accepted = false;
                written->reason = duplicate_reason(s.integer(0));
            } else if (rc != SQLITE_DONE) {
                return abort("cannot look for the game on the board", error);
            }
        }
        const std::int64_t now = now_seconds();
        if (written->accepted) {
            Statement u(db_, "UPDATE runs SET state = 'accepted', reason = ?, fingerprint = ?, lease = NULL,"
                             " decided = ? WHERE id = ?");
            u.bind(1, written->reason).bind(2, written->fingerprint).bind(3, now).bind(4, job.run);
            if (u.step() != SQLITE_DONE) return abort("cannot accept the run", error);
            // A name keeps its best on each board; an equal score keeps the earlier run.
            Statement b(db_, "INSERT INTO board(mode, speed, name_key, name, score, run, date)"
                             " SELECT mode, speed, name_key, name, score, id, ? FROM runs WHERE id = ?"
                             " ON CONFLICT (mode, speed, name_key) DO UPDATE SET name = excluded.name,"
                             " score = excluded.score, run = excluded.run, date = excluded.date"
                             " WHERE excluded.score > board.score");
            b.bind(1, today()).bind(2, job.run);
            if (b.step() != SQLITE_DONE) return abort("cannot write the board", error);
        } else {
            Statement u(db_, "UPDATE runs SET state = 'rejected', reason = ?, tape = NULL, lease = NULL,"
                             " decided = ? WHERE id = ?");
            u.bind(1, written->reason).bind(2, now).bind(3, job.run);
            if (u.step() != SQLITE_DONE) return abort("cannot reject the run", error);
        }
        return exec("COMMIT", error) || rollback();
    }

    bool release_job(const Job& job, const std::string& why, std::string* error) override {
        std::lock_guard<std::mutex> lock(mutex_);
        Statement s(db_, "UPDATE runs SET state = 'queued', lease = NULL, lease_until = NULL, last_error = ?"
                         " WHERE id = ? AND state = 'verifying' AND lease = ?");
        s.bind(1, why).bind(2, job.run).bind(3, job.lease);
        return s.step() == SQLITE_DONE || fail("cannot give the run back to the queue", error);
    }

private:
    bool exec(const char* sql, std::string* error) {
        char* message = nullptr;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
        *error = message != nullptr ? message : sqlite3_errmsg(db_);
        sqlite3_free(message);
        return false;
    }
    bool fail(const char* what, std::string* error) {
        *error = std::string(what) + ": " + sqlite3_errmsg(db_);
        return false;
    }
    bool abort(const char* what, std::string* error) {
        fail(what, error);
        return rollback();
    }
    // Ends a failed transaction; always false.
    bool rollback() {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }

    sqlite3* db_;
    std::mutex mutex_;
    std::uint64_t claims_ = 0;
};

}  // namespace

std::unique_ptr<Store> open_sqlite_store(const std::string& path, std::string* error) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                   nullptr);
    auto store = std::make_unique<SqliteStore>(db);
    if (rc != SQLITE_OK) {
        *error = path + ": " + (db != nullptr ? sqlite3_errmsg(db) : "cannot open the database");
        return nullptr;
    }
    std::string why;
    if (!store->start(&why)) {
        *error = path + ": " + why;
        return nullptr;
    }
    return store;
}
