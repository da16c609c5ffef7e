// The store in PostgreSQL, for several servers on one database: a few
// connections shared by the threads of this process, times taken from the
// database's clock so every machine agrees on leases, workers claiming with
// FOR UPDATE SKIP LOCKED so none waits for another's job, and a NOTIFY on
// each queued run that wakes the workers LISTENing anywhere.
//
// A connection that broke (the database restarted) is opened again on its
// next use; a read or a claim is tried once more on a fresh connection, a
// submission never (its answer may have been lost after it was stored).
#include <libpq-fe.h>
#include <poll.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <random>
#include <vector>

#include "ports/server/limits.h"
#include "ports/server/store.h"

namespace {

const char CHANNEL[] = "burrowrotor_runs";
// Held while the schema is brought up to date, so servers starting together
// apply each step once.
constexpr long long SCHEMA_LOCK = 0x6275'7272'6f77;

// One answer, cleared however the scope is left.
class Result {
public:
    explicit Result(PGresult* r) : r_(r) {}
    ~Result() { PQclear(r_); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    bool ok() const {
        const ExecStatusType s = PQresultStatus(r_);
        return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
    }
    int rows() const { return PQntuples(r_); }
    bool null(int row, int col) const { return PQgetisnull(r_, row, col) != 0; }
    std::string text(int row, int col) const {
        return std::string(PQgetvalue(r_, row, col), static_cast<std::size_t>(PQgetlength(r_, row, col)));
    }
    std::int64_t integer(int row, int col) const { return std::stoll(PQgetvalue(r_, row, col)); }

private:
    PGresult* r_;
};

// Runs one statement with text parameters.
PGresult* run(PGconn* c, const char* sql, const std::vector<std::string>& params = {}) {
    std::vector<const char*> values;
    for (const std::string& p : params) values.push_back(p.c_str());
    return PQexecParams(c, sql, static_cast<int>(values.size()), nullptr, values.data(), nullptr, nullptr, 0);
}

class PostgresStore final : public Store {
public:
    explicit PostgresStore(std::string uri) : uri_(std::move(uri)) {}
    ~PostgresStore() override {
        for (PGconn* c : free_) PQfinish(c);
        if (listener_ != nullptr) PQfinish(listener_);
    }

    bool start(std::string* error) {
        for (int i = 0; i < STORE_CONNECTIONS; ++i) {  // a thread waits for a free one
            PGconn* c = PQconnectdb(uri_.c_str());
            free_.push_back(c);
            PQsetNoticeProcessor(c, [](void*, const char*) {}, nullptr);  // "already exists, skipping"
            if (PQstatus(c) != CONNECTION_OK) return fail(c, "cannot connect", error);
        }
        PGconn* c = free_.front();
        Result begin(run(c, "BEGIN"));
        Result lock(run(c, "SELECT pg_advisory_xact_lock($1)", {std::to_string(SCHEMA_LOCK)}));
        Result table(run(c, "CREATE TABLE IF NOT EXISTS schema_version(version INTEGER NOT NULL)"));
        Result got(run(c, "SELECT version FROM schema_version"));
        if (!begin.ok() || !lock.ok() || !table.ok() || !got.ok()) return abort(c, "cannot read the schema version", error);
        std::int64_t version = 0;
        if (got.rows() > 0) version = got.integer(0, 0);
        else if (!Result(run(c, "INSERT INTO schema_version VALUES (0)")).ok())
            return abort(c, "cannot record the schema version", error);
        if (version > SCHEMA_VERSION) {
            *error = "the database has schema version " + std::to_string(version) + ", newer than this server's " +
                     std::to_string(SCHEMA_VERSION);
            Result(run(c, "ROLLBACK"));
            return false;
        }
        for (auto v = static_cast<int>(version); v < SCHEMA_VERSION; ++v)
            if (!Result(PQexec(c, schema_step(v, true).c_str())).ok()) return abort(c, "cannot update the schema", error);
        if (!Result(run(c, "UPDATE schema_version SET version = $1", {std::to_string(SCHEMA_VERSION)})).ok() ||
            !Result(run(c, "COMMIT")).ok())
            return abort(c, "cannot record the schema version", error);
        return true;
    }

    bool add_run(const NewRun& r, std::int64_t* id, std::string* error) override {
        Connection c(this);
        // One statement, so the run and the word to the workers go together.
        Result q(run(c.get(), "WITH r AS (INSERT INTO runs(name, name_key, mode, speed, score, tape, state, submitted)"
                              " VALUES ($1, $2, $3, $4, $5, $6, 'queued', EXTRACT(EPOCH FROM now())::bigint)"
                              " RETURNING id) SELECT id, pg_notify($7, '') FROM r",
                     {r.name, r.name_key, std::to_string(r.mode), std::to_string(r.speed), std::to_string(r.score),
                      r.tape, CHANNEL}));
        if (!q.ok() || q.rows() != 1) return fail(c.get(), "cannot queue the run", error);
        *id = q.integer(0, 0);
        return true;
    }

    bool get_run(std::int64_t id, RunInfo* info, bool* found, std::string* error) override {
        return twice([&](PGconn* c) {
            Result q(run(c, "SELECT r.state, r.reason, r.mode, r.speed, b.score,"
                            " (SELECT COUNT(*) FROM board o WHERE o.mode = b.mode AND o.speed = b.speed"
                            "   AND (o.score > b.score OR (o.score = b.score AND o.run < b.run)))"
                            " FROM runs r LEFT JOIN board b ON b.run = r.id WHERE r.id = $1",
                         {std::to_string(id)}));
            if (!q.ok()) return fail(c, "cannot read the run", error);
            *found = q.rows() == 1;
            if (!*found) return true;
            info->state = run_state_from(q.text(0, 0));
            info->reason = q.text(0, 1);
            info->mode = static_cast<int>(q.integer(0, 2));
            info->speed = static_cast<int>(q.integer(0, 3));
            info->rank = q.null(0, 4) ? 0 : q.integer(0, 5) + 1;
            return true;
        });
    }

    bool get_tape(std::int64_t id, std::string* tape, bool* found, std::string* error) override {
        return twice([&](PGconn* c) {
            Result q(run(c, "SELECT tape FROM runs WHERE id = $1 AND state <> 'rejected' AND tape IS NOT NULL",
                         {std::to_string(id)}));
            if (!q.ok()) return fail(c, "cannot read the tape", error);
            *found = q.rows() == 1;
            if (*found) *tape = q.text(0, 0);
            return true;
        });
    }

    bool get_board(int mode, int speed, int limit, std::vector<BoardEntry>* entries, std::string* error) override {
        return twice([&](PGconn* c) {
            Result q(run(c, "SELECT name, score, date, run FROM board WHERE mode = $1 AND speed = $2"
                            " ORDER BY score DESC, run ASC LIMIT $3",
                         {std::to_string(mode), std::to_string(speed), std::to_string(limit)}));
            if (!q.ok()) return fail(c, "cannot read the board", error);
            entries->clear();
            for (int i = 0; i < q.rows(); ++i)
                entries->push_back(BoardEntry{i + 1, q.text(i, 0), q.integer(i, 1), q.text(i, 2), q.integer(i, 3)});
            return true;
        });
    }

    bool claim_job(int lease_seconds, int max_attempts, Job* job, bool* got, std::string* error) override {
        return twice([&](PGconn* c) {
            *got = false;
            if (!Result(run(c, "BEGIN")).ok()) return fail(c, "cannot claim a run", error);
            // Each pass settles one run; at most a few have run out of attempts.
            for (int pass = 0; pass < CLAIM_PASSES; ++pass) {
                Result q(run(c, "SELECT id, mode, speed, score, tape, attempts, last_error FROM runs"
                                " WHERE state = 'queued' OR (state = 'verifying' AND lease_until < "
                                "EXTRACT(EPOCH FROM now())::bigint) ORDER BY id LIMIT 1 FOR UPDATE SKIP LOCKED"));
                if (!q.ok()) return abort(c, "cannot read the queue", error);
                if (q.rows() == 0) break;
                job->run = q.integer(0, 0);
                job->mode = static_cast<int>(q.integer(0, 1));
                job->speed = static_cast<int>(q.integer(0, 2));
                job->score = q.integer(0, 3);
                job->tape = q.text(0, 4);
                job->attempt = static_cast<int>(q.integer(0, 5)) + 1;
                const std::string id = std::to_string(job->run);
                if (job->attempt > max_attempts) {
                    if (!Result(run(c, "UPDATE runs SET state = 'rejected', tape = NULL, lease = NULL,"
                                       " decided = EXTRACT(EPOCH FROM now())::bigint, reason = $1 WHERE id = $2",
                                    {attempts_reason(max_attempts, q.text(0, 6)), id}))
                             .ok())
                        return abort(c, "cannot reject the run", error);
                    continue;
                }
                job->lease = id + "-" + std::to_string(job->attempt) + "-" + token();
                if (!Result(run(c, "UPDATE runs SET state = 'verifying', attempts = $1, lease = $2,"
                                   " lease_until = EXTRACT(EPOCH FROM now())::bigint + $3 WHERE id = $4",
                                {std::to_string(job->attempt), job->lease, std::to_string(lease_seconds), id}))
                         .ok())
                    return abort(c, "cannot claim the run", error);
                *got = true;
                break;
            }
            return Result(run(c, "COMMIT")).ok() || abort(c, "cannot claim a run", error);
        });
    }

    bool finish_job(const Job& job, const Verdict& verdict, Verdict* written, bool* held,
                    std::string* error) override {
        return twice([&](PGconn* c) {
            *held = false;
            *written = verdict;
            const std::string id = std::to_string(job.run);
            // The board's lock first: two workers accepting the same game at
            // once must see each other, and the second is the duplicate.
            if (!Result(run(c, "BEGIN")).ok() ||
                !Result(run(c, "SELECT pg_advisory_xact_lock($1)", {std::to_string(job.mode * 4 + job.speed)})).ok())
                return abort(c, "cannot lock the board", error);
            Result mine(run(c, "SELECT 1 FROM runs WHERE id = $1 AND state = 'verifying' AND lease = $2 FOR UPDATE",
                            {id, job.lease}));
            if (!mine.ok()) return abort(c, "cannot read the run", error);
            if (mine.rows() == 0) return Result(run(c, "COMMIT")).ok() || abort(c, "cannot read the run", error);
            *held = true;
            if (written->accepted) {
                Result same(run(c, "SELECT id FROM runs WHERE mode = $1 AND speed = $2 AND fingerprint = $3"
                                   " AND state = 'accepted' LIMIT 1",
                                {std::to_string(job.mode), std::to_string(job.speed), written->fingerprint}));
                if (!same.ok()) return abort(c, "cannot look for the game on the board", error);
                if (same.rows() > 0) {
                    written->accepted = false;
                    written->reason = duplicate_reason(same.integer(0, 0));
                }
            }
            if (written->accepted) {
                if (!Result(run(c, "UPDATE runs SET state = 'accepted', reason = $1, fingerprint = $2, lease = NULL,"
                                   " decided = EXTRACT(EPOCH FROM now())::bigint WHERE id = $3",
                                {written->reason, written->fingerprint, id}))
                         .ok())
                    return abort(c, "cannot accept the run", error);
                // A name keeps its best on each board; an equal score keeps the earlier run.
                if (!Result(run(c, "INSERT INTO board(mode, speed, name_key, name, score, run, date)"
                                   " SELECT mode, speed, name_key, name, score, id,"
                                   " to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD') FROM runs WHERE id = $1"
                                   " ON CONFLICT (mode, speed, name_key) DO UPDATE SET name = excluded.name,"
                                   " score = excluded.score, run = excluded.run, date = excluded.date"
                                   " WHERE excluded.score > board.score",
                                {id}))
                         .ok())
                    return abort(c, "cannot write the board", error);
            } else if (!Result(run(c, "UPDATE runs SET state = 'rejected', reason = $1, tape = NULL, lease = NULL,"
                                      " decided = EXTRACT(EPOCH FROM now())::bigint WHERE id = $2",
                                   {written->reason, id}))
                            .ok()) {
                return abort(c, "cannot reject the run", error);
            }
            return Result(run(c, "COMMIT")).ok() || abort(c, "cannot write the verdict", error);
        });
    }

    bool release_job(const Job& job, const std::string& why, std::string* error) override {
        return twice([&](PGconn* c) {
            return Result(run(c, "UPDATE runs SET state = 'queued', lease = NULL, lease_until = NULL, last_error = $1"
                                 " WHERE id = $2 AND state = 'verifying' AND lease = $3",
                              {why, std::to_string(job.run), job.lease}))
                       .ok() ||
                   fail(c, "cannot give the run back to the queue", error);
        });
    }

    bool wait_for_runs(int milliseconds) override {
        if (listener_ == nullptr || PQstatus(listener_) != CONNECTION_OK) {
            if (listener_ != nullptr) PQfinish(listener_);
            listener_ = PQconnectdb(uri_.c_str());
            const std::string listen = std::string("LISTEN ") + CHANNEL;
            if (PQstatus(listener_) != CONNECTION_OK || !Result(PQexec(listener_, listen.c_str())).ok())
                return Store::wait_for_runs(milliseconds);
        }
        pollfd p{PQsocket(listener_), POLLIN, 0};
        if (poll(&p, 1, milliseconds) <= 0) return false;
        if (PQconsumeInput(listener_) == 0) return false;  // broken: opened again next time
        bool any = false;
        while (PGnotify* n = PQnotifies(listener_)) {
            any = true;
            PQfreemem(n);
        }
        return any;
    }

private:
    // A connection of the pool for one call; a broken one is opened again.
    class Connection {
    public:
        explicit Connection(PostgresStore* s) : s_(s) {
            std::unique_lock<std::mutex> lock(s->mutex_);
            s->freed_.wait(lock, [s] { return !s->free_.empty(); });
            c_ = s->free_.back();
            s->free_.pop_back();
            lock.unlock();
            if (PQstatus(c_) != CONNECTION_OK) PQreset(c_);
        }
        ~Connection() {
            // A transaction left open by a failed call is rolled back.
            if (PQtransactionStatus(c_) != PQTRANS_IDLE && PQstatus(c_) == CONNECTION_OK) PQclear(PQexec(c_, "ROLLBACK"));
            {
                std::lock_guard<std::mutex> lock(s_->mutex_);
                s_->free_.push_back(c_);
            }
            s_->freed_.notify_one();
        }
        PGconn* get() const { return c_; }

    private:
        PostgresStore* s_;
        PGconn* c_;
    };

    // Runs `call` on a connection, and once more on a fresh one when the
    // connection broke under it.
    template <class Call>
    bool twice(Call call) {
        for (int attempt = 0;; ++attempt) {
            Connection c(this);
            if (call(c.get())) return true;
            if (attempt > 0 || PQstatus(c.get()) == CONNECTION_OK) return false;
        }
    }

    static bool fail(PGconn* c, const char* what, std::string* error) {
        std::string why = PQerrorMessage(c);
        while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
        for (char& ch : why)
            if (ch == '\n') ch = ' ';
        *error = std::string(what) + ": " + why;
        return false;
    }
    static bool abort(PGconn* c, const char* what, std::string* error) {
        fail(c, what, error);
        PQclear(PQexec(c, "ROLLBACK"));
        return false;
    }
    // Unique among the claims of every server: 64 random bits.
    std::string token() {
        std::lock_guard<std::mutex> lock(mutex_);
        char text[17];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(random_()));
        return text;
    }

    std::string uri_;
    std::mutex mutex_;
    std::condition_variable freed_;
    std::vector<PGconn*> free_;
    PGconn* listener_ = nullptr;  // used by one thread only: the one that waits for runs
    std::mt19937_64 random_{std::random_device{}()};
};

}  // namespace

std::unique_ptr<Store> open_postgres_store(const std::string& uri, std::string* error) {
    auto store = std::make_unique<PostgresStore>(uri);
    std::string why;
    if (!store->start(&why)) {
        // The address may hold a password: only its start is repeated.
        *error = uri.substr(0, uri.find("://") + 3) + "...: " + why;
        return nullptr;
    }
    return store;
}
