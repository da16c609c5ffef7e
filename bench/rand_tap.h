// The bench programs take libc's rand() over: the game's calls go to a
// wrapper that returns glibc's own sequence (rand is random() there) and can
// record the draws of one frame or play them back, so that a frame can be
// drawn again and again from the same state.
#pragma once

namespace rand_tap {

constexpr int MAX_DRAWS = 64;

// From now on, every draw is also written to the record.
void start_recording();
// Stops recording; returns the number of draws recorded.
int stop_recording();
// The draws recorded, in order.
const int* recorded();
// From now on, draws come from values[0 .. count - 1], in order and round
// again; count 0 goes back to glibc's sequence.
void play(const int* values, int count);

}  // namespace rand_tap
