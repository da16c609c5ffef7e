// burrowrotor: the game in a desktop window, with keyboard, mouse and game
// controllers, recording and replay.
#include <cstdio>
#include <string>

#include "ports/desktop/backend.h"
#include "ports/desktop/options.h"
#include "ports/common/submit.h"
#include "ports/desktop/scores.h"

int main(int argc, char** argv) {
    DesktopOptions options;
    std::string error;
    if (!parse_desktop_args(argc, argv, &options, &error)) {
        std::fprintf(stderr, "burrowrotor: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(DESKTOP_USAGE, stdout);
        return 0;
    }
    if (options.version) {
        std::puts("burrowrotor " BURROW_VERSION);
        return 0;
    }
    if (options.scores) return scores_print();
    if (!options.submit_tape.empty()) return submit_kept_tape(options.submit_tape, options.submit, options.name);
    run_desktop(options);
}
