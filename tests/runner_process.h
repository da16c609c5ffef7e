// burrowrotor-headless as a separate process, the way a bug report or a
// golden run uses it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Runs the runner with these arguments (already quoted where needed); its
// exit status, or -1 when it could not be run.
int run_runner(const std::string& arguments);

// The hash column of a trace, one entry per line; empty when unreadable.
std::vector<std::uint64_t> trace_hashes(const std::string& path);

// A fresh, empty directory under the test output directory.
std::string fresh_output_dir(const std::string& name);
