// rand() and srand() for the browser build. The browser's C library has a
// generator of its own; these definitions take the place of its rand and
// srand when the program is linked, so the game draws glibc's sequence and
// shows the same tunnels as on the handheld.
#include <cstdlib>

#include "ports/web/glibc_random.h"

namespace {

GlibcRandom s_random;
bool s_seeded = false;

}  // namespace

extern "C" int rand(void) {
    if (!s_seeded) {
        glibc_random_seed(&s_random, 1);
        s_seeded = true;
    }
    return glibc_random_next(&s_random);
}

extern "C" void srand(unsigned seed) {
    glibc_random_seed(&s_random, seed);
    s_seeded = true;
}
