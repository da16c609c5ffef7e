#include "ports/server/sandbox.h"

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <chrono>
#include <cstring>
#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include "ports/common/message.h"
#include "ports/server/limits.h"

namespace {

std::vector<sock_filter> s_filter;  // built once, installed by each child
// The runner's path, at an address fixed for the server's life: the filter
// lets a child execute this one name and nothing else.
char s_runner[PATH_MAX];

// What a replay does: the loader maps the program's libraries (opening them
// read-only), the runner reads its tape from standard input, computes, and
// writes its lines to standard output. No file is opened for writing, no
// socket, no new process or thread, no signal sent to another.
const int ALLOWED[] = {
    SCMP_SYS(read),          SCMP_SYS(write),           SCMP_SYS(close),      SCMP_SYS(fstat),
    SCMP_SYS(newfstatat),    SCMP_SYS(lseek),           SCMP_SYS(pread64),    SCMP_SYS(mmap),
    SCMP_SYS(mprotect),      SCMP_SYS(munmap),          SCMP_SYS(mremap),     SCMP_SYS(madvise),
    SCMP_SYS(brk),           SCMP_SYS(access),          SCMP_SYS(arch_prctl), SCMP_SYS(set_tid_address),
    SCMP_SYS(set_robust_list), SCMP_SYS(rseq),          SCMP_SYS(getrandom),  SCMP_SYS(futex),
    SCMP_SYS(exit),            SCMP_SYS(exit_group), SCMP_SYS(rt_sigaction),
    SCMP_SYS(rt_sigprocmask), SCMP_SYS(rt_sigreturn),   SCMP_SYS(clock_gettime), SCMP_SYS(gettimeofday),
    SCMP_SYS(getpid),        SCMP_SYS(gettid),
};

bool build_filter(std::string* error) {
    scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_KILL_PROCESS);
    if (ctx == nullptr) {
        *error = "cannot start a seccomp filter";
        return false;
    }
    int rc = 0;
    for (const int call : ALLOWED) rc = rc != 0 ? rc : seccomp_rule_add(ctx, SCMP_ACT_ALLOW, call, 0);
    // Files only for reading; the terminal question stdio asks of its output;
    // the loader reading (never raising) its stack limit.
    if (rc == 0)
        rc = seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(openat), 1,
                              SCMP_A2(SCMP_CMP_MASKED_EQ, O_ACCMODE | O_CREAT | O_TRUNC, 0));
    if (rc == 0) rc = seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(ioctl), 1, SCMP_A1(SCMP_CMP_EQ, TCGETS));
    if (rc == 0)
        rc = seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(execve), 1,
                              SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(reinterpret_cast<std::uintptr_t>(s_runner))));
    if (rc == 0) rc = seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(prlimit64), 1, SCMP_A2(SCMP_CMP_EQ, 0));
    // The filter as BPF, through a memory file, so each child installs it
    // with one system call after fork.
    const int fd = rc == 0 ? memfd_create("burrowrotor-filter", MFD_CLOEXEC) : -1;
    if (fd >= 0) rc = seccomp_export_bpf(ctx, fd);
    seccomp_release(ctx);
    if (rc != 0 || fd < 0) {
        *error = std::string("cannot build the seccomp filter: ") + std::strerror(rc != 0 ? -rc : errno);
        if (fd >= 0) close(fd);
        return false;
    }
    const off_t size = lseek(fd, 0, SEEK_END);
    s_filter.resize(static_cast<std::size_t>(size) / sizeof(sock_filter));
    const bool ok = size > 0 && pread(fd, s_filter.data(), static_cast<std::size_t>(size), 0) == size;
    close(fd);
    if (!ok) *error = "cannot read back the seccomp filter";
    return ok;
}

// Between fork and exec: only calls that are safe after fork in a threaded
// program. Never returns.
[[noreturn]] void become_replay(int tape, int out, int err, int seconds, char* const* argv) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (dup2(tape, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
    // Nothing of the server (its sockets, its database) reaches the replay;
    // a kernel without close_range closes them one by one.
    if (syscall(SYS_close_range, 3u, ~0u, 0u) != 0) {
        rlimit files{};
        if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur > (1u << 20)) _exit(126);
        for (int fd = 3; fd < static_cast<int>(files.rlim_cur); ++fd) close(fd);
    }
    const auto limit = [](int resource, rlim_t soft, rlim_t hard) {
        const rlimit r{soft, hard};
        if (setrlimit(resource, &r) != 0) _exit(126);
    };
    limit(RLIMIT_CPU, static_cast<rlim_t>(seconds), static_cast<rlim_t>(seconds) + 1);
    limit(RLIMIT_AS, REPLAY_ADDRESS_SPACE, REPLAY_ADDRESS_SPACE);
    limit(RLIMIT_FSIZE, 0, 0);
    limit(RLIMIT_NPROC, 0, 0);
    limit(RLIMIT_NOFILE, REPLAY_OPEN_FILES, REPLAY_OPEN_FILES);
    limit(RLIMIT_CORE, 0, 0);
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) _exit(126);
    sock_fprog program{static_cast<unsigned short>(s_filter.size()), s_filter.data()};
    if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) _exit(126);
    char* const no_environment[] = {nullptr};
    execve(s_runner, argv, no_environment);
    _exit(127);
}

std::string describe_end(int status, int seconds, const std::string& err) {
    if (WIFEXITED(status)) {
        const std::size_t eol = err.find('\n');
        const std::string said = one_line(err.substr(0, eol == std::string::npos ? err.size() : eol));
        if (WEXITSTATUS(status) == 126) return "cannot start the replay in its sandbox on this machine";
        if (WEXITSTATUS(status) == 127) return "cannot start the replay program";
        return "the replay failed (exit status " + std::to_string(WEXITSTATUS(status)) + ")" +
               (said.empty() ? "" : ": " + said);
    }
    const int sig = WTERMSIG(status);
    if (sig == SIGXCPU || sig == SIGKILL)
        return "the replay used more than " + std::to_string(seconds) + " s of processor time";
    if (sig == SIGSYS) return "the replay made a system call its sandbox forbids";
    return std::string("the replay was ended by signal ") + std::to_string(sig) + " (" + strsignal(sig) +
           "), as when it runs past its memory";
}

}  // namespace

bool sandbox_prepare(const std::string& runner, std::string* error) {
    if (runner.size() >= sizeof s_runner) {
        *error = runner + ": the path is too long";
        return false;
    }
    std::memcpy(s_runner, runner.c_str(), runner.size() + 1);
    return build_filter(error);
}

ReplayOutcome sandbox_replay(const std::string& tape, int seconds,
                             const std::function<bool(const std::string&)>& on_line,
                             const std::function<bool()>& cancel) {
    ReplayOutcome outcome;
    const int tape_fd = memfd_create("burrowrotor-tape", MFD_CLOEXEC);
    int out[2] = {-1, -1}, err[2] = {-1, -1};
    bool ready = tape_fd >= 0 && pipe2(out, O_CLOEXEC) == 0 && pipe2(err, O_CLOEXEC) == 0;
    if (ready) ready = write(tape_fd, tape.data(), tape.size()) == static_cast<ssize_t>(tape.size());
    std::vector<std::string> args = {"--games", "--input", "/dev/stdin"};
    std::vector<char*> argv = {s_runner};
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const pid_t pid = ready && lseek(tape_fd, 0, SEEK_SET) == 0 ? fork() : -1;
    if (pid == 0) become_replay(tape_fd, out[1], err[1], seconds, argv.data());
    const int fork_errno = errno;
    for (int fd : {tape_fd, out[1], err[1]})
        if (fd >= 0) close(fd);
    if (pid < 0) {
        for (int fd : {out[0], err[0]})
            if (fd >= 0) close(fd);
        outcome.failure = std::string("cannot start the replay: ") + std::strerror(fork_errno);
        return outcome;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::string line, said;
    std::size_t total = 0;
    bool killed = false, timed_out = false;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open_fds = 2;
    // Ends when the child closes both pipes (it has exited) or is killed.
    while (open_fds > 0 && !killed) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timed_out = true;
            break;
        }
        if (cancel()) {
            outcome.stopped = true;
            break;
        }
        const int n = poll(fds, 2, static_cast<int>(std::min<long long>(left.count(), 200)));
        if (n < 0 && errno != EINTR) break;
        for (pollfd& p : fds) {
            if (p.fd < 0 || p.revents == 0) continue;
            char buffer[4096];
            const ssize_t got = read(p.fd, buffer, sizeof buffer);
            if (got <= 0) {
                if (got < 0 && errno == EINTR) continue;
                close(p.fd);
                p.fd = -1;
                --open_fds;
                continue;
            }
            if (&p == &fds[1]) {
                if (said.size() < 1024) said.append(buffer, static_cast<std::size_t>(got));
                continue;
            }
            total += static_cast<std::size_t>(got);
            if (total > REPLAY_OUTPUT_BYTES) {
                outcome.failure = "the replay printed more than " + std::to_string(REPLAY_OUTPUT_BYTES) + " bytes";
                killed = true;
                break;
            }
            for (ssize_t i = 0; i < got && !killed; ++i) {
                if (buffer[i] != '\n') {
                    line += buffer[i];
                    continue;
                }
                if (on_line(line)) {
                    outcome.stopped = true;
                    killed = true;
                }
                line.clear();
            }
        }
    }
    for (const pollfd& p : fds)
        if (p.fd >= 0) close(p.fd);
    // A child that closed its output has exited or is about to; one that
    // still runs past the deadline, or was told to stop, is killed.
    int status = 0;
    rusage used{};
    bool reaped = false;
    while (open_fds == 0 && !killed && !outcome.stopped && !reaped) {
        reaped = wait4(pid, &status, WNOHANG, &used) == pid;
        if (!reaped && std::chrono::steady_clock::now() > deadline) {
            timed_out = true;
            break;
        }
        if (!reaped) usleep(2000);
    }
    if (!reaped) {
        kill(pid, SIGKILL);
        while (wait4(pid, &status, 0, &used) < 0 && errno == EINTR) {
        }
    }
    if (outcome.stopped || !outcome.failure.empty()) return outcome;
    if (timed_out) {
        const double cpu = static_cast<double>(used.ru_utime.tv_sec + used.ru_stime.tv_sec) +
                           static_cast<double>(used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1e6;
        outcome.busy = cpu < REPLAY_BUSY_SHARE * seconds;
        char spent[64];
        std::snprintf(spent, sizeof spent, "%.1f", cpu);
        outcome.failure = "the replay did not finish within " + std::to_string(seconds) + " s" +
                          (outcome.busy ? std::string(" (it had only ") + spent + " s of processor time: the machine was busy)"
                                        : std::string());
        return outcome;
    }
    outcome.finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!outcome.finished) outcome.failure = describe_end(status, seconds, said);
    return outcome;
}
