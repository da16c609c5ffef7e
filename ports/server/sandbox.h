// The replay child: burrowrotor-headless --games run on an untrusted tape
// in a process that can do nothing but replay it. It runs under rlimits
// (processor seconds, address space, no file written, no new process),
// with no_new_privs and a seccomp filter of the few system calls a replay
// makes, an empty environment and the tape on its standard input; the
// parent kills it past its wall-clock bound.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

// Names the runner (burrowrotor-headless) and builds the seccomp filter,
// once, before any replay; false with `error`.
bool sandbox_prepare(const std::string& runner, std::string* error);

struct ReplayOutcome {
    bool finished = false;  // exited with status 0 on its own
    bool stopped = false;   // the caller asked to stop it early
    bool busy = false;      // the wall clock ended it before it had its processor time: the
                            // machine was too busy, which says nothing about the tape
    std::string failure;    // otherwise: why it ended, one line; "cannot start ..." when the
                            // fault is this machine's, not the tape's
};

// Runs the runner on `tape` for as many frames as it plays a tape (its last
// line and ten seconds more), at most `seconds` of wall clock and processor time. Each line the child prints goes to `on_line`, which
// returns true to stop the child there. `cancel` is polled and stops it too.
ReplayOutcome sandbox_replay(const std::string& tape, int seconds,
                             const std::function<bool(const std::string&)>& on_line,
                             const std::function<bool()>& cancel);
