// burrowrotor-server: the hall of fame. It takes runs (a name, a claimed
// score and the button tape that made it), replays each tape in a sandboxed
// burrowrotor-headless and lists only the scores the replay reproduces.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ports/common/message.h"
#include "ports/server/http.h"
#include "ports/server/limits.h"
#include "ports/server/sandbox.h"
#include "ports/server/verify.h"

namespace {

const char USAGE[] =
    "usage: burrowrotor-server --db FILE|URI [--role api|worker|all] [--listen ADDRESS:PORT] [--play DIR]\n"
    "                          [--rate-limit N] [--workers N] [--replay-seconds N] [--lease-margin N]\n"
    "                          [--instance NAME] [--schema-only] [--help]\n"
    "\n"
    "Serves the hall of fame: the API under /api/, the hall at /, the browser game under /play/.\n"
    "  --db FILE            the SQLite database (made when missing), or\n"
    "  --db postgresql://... a PostgreSQL database shared by several servers\n"
    "  --role R             api: only the HTTP side; worker: only the replays; all (default): both\n"
    "  --instance NAME      names this server in its log (default host-pid) and, when given, in the\n"
    "                       X-Served-By header of its answers\n"
    "  --listen ADDR:PORT   where to listen (default 127.0.0.1:8080; port 0 picks a free one)\n"
    "  --play DIR           the browser build's files (web/dist) to serve under /play/\n"
    "  --rate-limit N       submissions a minute from one address (default 10, 0 for no limit)\n"
    "  --workers N          replays at once (default 1)\n"
    "  --replay-seconds N   wall-clock and processor bound of one replay (default 120)\n"
    "  --schema-only        bring the database's schema up to date, then exit\n"
    "  --lease-margin N     seconds past that bound before a dead worker's run is taken again (default 30)\n";

struct Options {
    std::string db, play, address = "127.0.0.1", role = "all", instance;
    unsigned short port = 8080;
    int rate_limit = DEFAULT_RATE_LIMIT, workers = DEFAULT_WORKERS, replay_seconds = REPLAY_WALL_SECONDS,
        lease_margin = LEASE_MARGIN_SECONDS;
    bool help = false, schema_only = false;
};

bool parse_int(const char* flag, const std::string& text, int low, int high, int* value, std::string* error) {
    long long v = 0;
    bool ok = !text.empty() && text.size() <= 9;
    for (const char c : text) ok = ok && c >= '0' && c <= '9';
    if (ok) v = std::stoll(text);
    if (!ok || v < low || v > high) {
        *error = std::string(flag) + " needs a whole number from " + std::to_string(low) + " to " +
                 std::to_string(high) + ", got '" + text + "'";
        return false;
    }
    *value = static_cast<int>(v);
    return true;
}

bool parse_options(int argc, char** argv, Options* o, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            o->help = true;
            return true;
        }
        if (arg == "--schema-only") {
            o->schema_only = true;
            continue;
        }
        if (arg != "--db" && arg != "--listen" && arg != "--play" && arg != "--rate-limit" && arg != "--workers" &&
            arg != "--replay-seconds" && arg != "--role" && arg != "--instance" &&
            arg != "--lease-margin") {
            *error = "unknown option '" + arg + "' (see --help)";
            return false;
        }
        if (i + 1 >= argc) {
            *error = arg + " needs a value";
            return false;
        }
        const std::string value = argv[++i];
        int port = 0;
        if (arg == "--db") o->db = value;
        else if (arg == "--instance") o->instance = value;
        else if (arg == "--role" && value != "api" && value != "worker" && value != "all") {
            *error = "--role needs api, worker or all, got '" + value + "'";
            return false;
        } else if (arg == "--role") o->role = value;
        else if (arg == "--play") o->play = value;
        else if (arg == "--rate-limit" && !parse_int("--rate-limit", value, 0, 1000000, &o->rate_limit, error)) return false;
        else if (arg == "--workers" && !parse_int("--workers", value, 1, MAX_WORKERS, &o->workers, error)) return false;
        else if (arg == "--lease-margin" && !parse_int("--lease-margin", value, 1, 3600, &o->lease_margin, error))
            return false;
        else if (arg == "--replay-seconds" && !parse_int("--replay-seconds", value, 1, 3600, &o->replay_seconds, error))
            return false;
        else if (arg == "--listen") {
            const std::size_t colon = value.rfind(':');
            if (colon == std::string::npos || !parse_int("--listen", value.substr(colon + 1), 0, 65535, &port, error)) {
                *error = "--listen needs ADDRESS:PORT, got '" + value + "'";
                return false;
            }
            o->address = value.substr(0, colon);
            if (o->address.size() > 2 && o->address.front() == '[' && o->address.back() == ']')
                o->address = o->address.substr(1, o->address.size() - 2);
            o->port = static_cast<unsigned short>(port);
        }
    }
    if (o->db.empty()) {
        *error = "--db FILE is required (see --help)";
        return false;
    }
    return true;
}

// burrowrotor-headless from the folder this program was started from.
std::string runner_beside_us() {
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "burrowrotor-headless";
    std::string path(self, static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/') + 1) + "burrowrotor-headless";
}

int fail(const std::string& message) {
    std::fprintf(stderr, "burrowrotor-server: %s\n", one_line(message).c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    std::string error;
    if (!parse_options(argc, argv, &o, &error)) return fail(error);
    if (o.help) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    signal(SIGPIPE, SIG_IGN);
    const std::string runner = runner_beside_us();
    if (access(runner.c_str(), X_OK) != 0) return fail(runner + ": " + std::strerror(errno) + " (it is found beside this program)");
    if (!o.play.empty() && access((o.play + "/index.html").c_str(), R_OK) != 0)
        return fail(o.play + "/index.html: " + std::strerror(errno) + " (build it with make web)");
    if (!sandbox_prepare(runner, &error)) return fail(error);
    // A machine where the sandbox cannot run is found now, not blamed on the first tapes.
    const ReplayOutcome check = sandbox_replay("", 10, [](const std::string&) { return false; },
                                               [] { return false; });
    if (!check.finished) return fail("the replay sandbox does not work here: " + check.failure);
    std::unique_ptr<Store> store = open_store(o.db, &error);
    if (store == nullptr) return fail(error);
    if (o.schema_only) {
        std::printf("burrowrotor-server: the schema is at version %d\n", SCHEMA_VERSION);
        return 0;
    }

    const std::string served_by = o.instance;  // an internal name is not sent unless asked for
    if (o.instance.empty()) {
        char host[256] = "";
        gethostname(host, sizeof host - 1);
        o.instance = std::string(host) + "-" + std::to_string(getpid());
    }
    const bool api = o.role != "worker", replays = o.role != "api";
    // A worker alone waits for SIGINT or SIGTERM itself: blocked in every
    // thread, taken by sigwait below. With HTTP, its layer's handler takes them.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    if (!api) pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    WorkSignal signal_;
    std::atomic<bool> stop{false};
    WorkerSetup worker{store.get(), o.replay_seconds, o.lease_margin, &signal_, &stop,
                        o.instance};
    HallSetup setup{store.get(), o.rate_limit, o.play, [&signal_] { signal_.notify(); }, served_by};
    Hall hall(setup);
    std::vector<std::thread> workers;
    if (replays) {
        for (int i = 0; i < o.workers; ++i) workers.emplace_back(run_worker, std::cref(worker), i + 1);
        // Runs queued by other servers on the same database (PostgreSQL tells its listeners).
        workers.emplace_back([&] {
            while (!stop.load())
                if (store->wait_for_runs(WORKER_POLL_MILLISECONDS)) signal_.notify();
        });
    }
    bool served = true;
    if (api) {
        served = serve_http(o.address, o.port, &hall, [&](unsigned short port) {
            const bool v6 = o.address.find(':') != std::string::npos;
            std::printf("burrowrotor-server: listening on http://%s%s%s:%u/\n", v6 ? "[" : "", o.address.c_str(),
                        v6 ? "]" : "", static_cast<unsigned>(port));
            std::fflush(stdout);
        }, &error);
    } else {
        std::printf("burrowrotor-server: %s replays runs\n", o.instance.c_str());
        std::fflush(stdout);
        int taken = 0;
        sigwait(&stop_signals, &taken);
    }
    stop = true;
    signal_.notify();
    for (std::thread& t : workers) t.join();
    if (!served) return fail(error);
    return 0;
}
