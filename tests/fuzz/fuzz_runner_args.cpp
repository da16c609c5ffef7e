// The command line of burrowrotor-headless with arbitrary arguments (the
// input split at NUL bytes). Whatever it is given, the parser either accepts
// a command line the runner can carry out or gives a one-line reason.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ports/common/message.h"
#include "ports/headless/runner_options.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "fuzz_runner_args: %s: %s\n", what, detail.c_str());
    std::abort();
}

constexpr std::uint64_t MAX_COUNT = 1000000000000ull;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> words{"burrowrotor-headless"};
    std::string current;
    for (std::size_t i = 0; i < size && words.size() < 40; ++i) {
        if (data[i] == 0) {
            words.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    if (!current.empty() || size == 0) words.push_back(current);
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    argv.push_back(nullptr);

    RunnerOptions options;
    std::string error;
    const bool ok = parse_runner_args(static_cast<int>(words.size()), argv.data(), &options, &error);
    if (!ok) {
        if (error.empty()) fail("refused without a reason", "");
        // The reason is printed as the one line after "burrowrotor-headless: ".
        for (const char c : one_line(error))
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) fail("reason holds a control character", error);
        return 0;
    }
    if (options.help) return 0;
    // No --frames is accepted only with a tape, which then sets the length.
    if ((options.frames < 1 && options.input_tape.empty()) || options.frames > MAX_COUNT) fail("accepted a frame count out of range", std::to_string(options.frames));
    if (options.dump.from < 1 || options.dump.every < 1) fail("accepted --from or --every below 1", "");
    if (!options.input_tape.empty() && !options.poll_tape.empty()) fail("accepted both tapes", "");
    return 0;
}
