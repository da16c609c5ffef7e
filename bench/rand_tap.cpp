#include "bench/rand_tap.h"

#include <cstdlib>

namespace {
bool s_recording = false;
int s_recorded[rand_tap::MAX_DRAWS];
int s_record_count = 0;
const int* s_play = nullptr;
int s_play_count = 0;
int s_play_next = 0;
}  // namespace

namespace rand_tap {

void start_recording() {
    s_recording = true;
    s_record_count = 0;
}

int stop_recording() {
    s_recording = false;
    return s_record_count;
}

const int* recorded() { return s_recorded; }

void play(const int* values, int count) {
    s_play = values;
    s_play_count = count;
    s_play_next = 0;
}

}  // namespace rand_tap

// glibc defines rand() as (int) random(); drawing from random() here keeps
// the game's sequence exactly.
extern "C" int rand() noexcept {
    if (s_play_count > 0) {
        const int v = s_play[s_play_next];
        s_play_next = (s_play_next + 1) % s_play_count;
        return v;
    }
    const int v = static_cast<int>(random());
    if (s_recording && s_record_count < rand_tap::MAX_DRAWS) s_recorded[s_record_count++] = v;
    return v;
}
