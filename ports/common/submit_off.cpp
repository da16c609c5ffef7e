// A build without libcurl (the SDL2 handhelds' cross builds): the game plays
// the same, and --submit says why it cannot send.
#include "ports/common/submit.h"

#include <cstdio>

namespace {
const char NO_SUBMIT[] = "this build cannot send scores (it was built without libcurl)";
}  // namespace

bool submit_start(const std::string&, const std::string&, const std::string&, std::string* error) {
    *error = NO_SUBMIT;
    return false;
}
void submit_poll(std::uint64_t, std::uint32_t) {}
void submit_new_best(int, int, std::int32_t) {}
void submit_stop() {}
int submit_kept_tape(const std::string&, const std::string&, const std::string&) {
    std::fprintf(stderr, "burrowrotor: %s\n", NO_SUBMIT);
    return 1;
}
