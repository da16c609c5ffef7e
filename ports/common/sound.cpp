#include "ports/common/sound.h"

#include <cstring>

namespace {

constexpr int BLOCK = 16;  // samples between two steps of the envelopes
constexpr int BLOCK_RATE = SOUND_RATE / BLOCK;  // 3000 envelope steps a second
static_assert(SOUND_FRAME_SAMPLES % BLOCK == 0, "a frame is a whole number of blocks");

// Oscillator step for a pitch in hertz (2^32 is one cycle), worked out once
// by the compiler.
constexpr std::uint32_t hz(double f) { return static_cast<std::uint32_t>(f * 4294967296.0 / SOUND_RATE); }
// Envelope steps for a time in milliseconds.
constexpr std::int32_t ms(int t) { return t * BLOCK_RATE / 1000; }
// The level kept per block for a fall to 1/e over `t` milliseconds (two terms
// of the exponential: close enough, and exact integers).
constexpr std::int32_t fall(int t) { return 65536 - 65536 / ms(t) + 32768 / (ms(t) * ms(t)); }
// A falling sweep over `t` milliseconds by `by` hertz, per block.
constexpr std::int32_t drop(double by, int t) { return -static_cast<std::int32_t>(hz(by) / ms(t)); }

// One note of a sound: an oscillator (a triangle, or noise through a one-pole
// low-pass of 1/2^noise) whose level rises over `attack` blocks to `peak`
// (32767 is full scale) and then falls by `decay`/65536 a block; its pitch
// moves by `sweep` a block.
struct Note {
    std::uint32_t pitch;
    std::int32_t sweep, peak, attack, decay, wait, noise;
};

struct Voice {
    Note note;
    std::uint32_t phase, inc;
    std::int32_t amp, age, low;
};

// The sounds, each a run of whole frames in the bank.
enum Sound { CHOP_LOWEST, COIN = ROTOR_CLIMBS, CRASH, TICK, CHIRP, FANFARE, SOUNDS };
constexpr int FRAMES[SOUNDS] = {3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 27, 90, 3, 36, 72};
constexpr int bank_total(int n) { return n == 0 ? 0 : FRAMES[n - 1] + bank_total(n - 1); }
static_assert(bank_total(SOUNDS) == SOUND_BANK_FRAMES, "the bank holds every sound");

constexpr int FANFARE_NOTES = 4;
constexpr int MOST_NOTES = FANFARE_NOTES;

// One block of a voice, added into `mix`: its level moves in a straight line
// from where it was to its next envelope step, so it never jumps.
void render_block(Voice* v, std::uint32_t* seed, std::int32_t* mix) {
    const Note& n = v->note;
    if (v->age++ < n.wait) return;
    const std::int32_t a0 = v->amp;
    const std::int32_t age = v->age - n.wait;
    v->amp = age <= n.attack ? n.peak * age / n.attack : v->amp * (n.decay >> 1) >> 15;
    std::int32_t level = a0 * BLOCK;
    const std::int32_t step = v->amp - a0;
    if (n.noise == 0) {
        for (int i = 0; i < BLOCK; ++i) {
            v->phase += v->inc;
            level += step;
            const std::int32_t saw = static_cast<std::int32_t>(v->phase) >> 16;
            const std::int32_t tri = (saw < 0 ? -saw : saw) * 2 - 32768;
            mix[i] += tri * (level >> 4) >> 15;
        }
        // A falling sweep ends at a low floor, never passing through zero.
        if (n.sweep >= 0 || v->inc > hz(35)) v->inc += static_cast<std::uint32_t>(n.sweep);
        return;
    }
    for (int i = 0; i < BLOCK; ++i) {
        std::uint32_t x = *seed;
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        *seed = x;
        v->low += ((static_cast<std::int32_t>(x) >> 16) - v->low) >> n.noise;
        level += step;
        mix[i] += v->low * (level >> 4) >> 15;
    }
}

// Renders `count` notes together into the bank at sound `id`, fading the
// whole to nothing between `fade_from` and `fade_to` samples.
void make(SoundSynth* s, int id, const Note* notes, int count, int fade_from, int fade_to) {
    Voice voices[MOST_NOTES] = {};
    for (int k = 0; k < count; ++k) {
        voices[k].note = notes[k];
        voices[k].inc = notes[k].pitch;
    }
    std::uint32_t seed = 0x2545F491u + static_cast<std::uint32_t>(id);
    std::int16_t* out = s->bank + bank_total(id) * SOUND_FRAME_SAMPLES;
    for (int at = 0; at < FRAMES[id] * SOUND_FRAME_SAMPLES; at += BLOCK) {
        std::int32_t mix[BLOCK] = {};
        for (int k = 0; k < count; ++k) render_block(&voices[k], &seed, mix);
        for (int i = 0; i < BLOCK; ++i) {
            const int t = at + i;
            const std::int32_t keep = t < fade_from ? 256 : t >= fade_to ? 0 : (fade_to - t) * 256 / (fade_to - fade_from);
            const std::int32_t v = mix[i] * keep / 256;
            out[t] = static_cast<std::int16_t>(v < -SOUND_PEAK ? -SOUND_PEAK : v > SOUND_PEAK ? SOUND_PEAK : v);
        }
    }
}

// Fades a sound out over its last fifth.
void make(SoundSynth* s, int id, const Note* notes, int count) {
    const int length = FRAMES[id] * SOUND_FRAME_SAMPLES;
    make(s, id, notes, count, length - length / 5, length);
}

void make_sounds(SoundSynth* s) {
    // The rotor's chop, one for each climb rate: a thump that drops in pitch
    // with a breath of air over it, higher and louder climbing, lower and
    // softer sinking; faded out well before the next chop.
    for (int climb = -6; climb <= 6; ++climb) {
        const std::uint32_t pitch = hz(150) + static_cast<std::uint32_t>(climb * static_cast<std::int32_t>(hz(10)));
        const std::int32_t level = 5200 + climb * 450;
        const Note chop[] = {{pitch, drop(90, 50), level, 3, fall(12), 0, 0}, {0, 0, level * 3 / 2, 3, fall(8), 0, 3}};
        make(s, CHOP_LOWEST + climb + 6, chop, 2, SOUND_FRAME_SAMPLES * 3 / 2, SOUND_FRAME_SAMPLES * 9 / 4);
    }
    // A coin: two bright notes, the second a fifth above.
    const Note coin[] = {{hz(1318.5), 0, 5000, 2, fall(45), 0, 0}, {hz(1975.5), 0, 5000, 2, fall(110), ms(70), 0}};
    make(s, COIN, coin, 2);
    // The crash: a burst of noise over a thump that falls away.
    const Note crash[] = {{0, 0, 16000, 4, fall(230), 0, 1}, {hz(170), drop(130, 500), 9000, 4, fall(260), 0, 0}};
    make(s, CRASH, crash, 2);
    // The menu: a short tick, and for LET'S GO! a chirp rising from 500 Hz.
    const Note tick[] = {{hz(1800), 0, 3500, 2, fall(7), 0, 0}};
    make(s, TICK, tick, 1);
    const Note chirp[] = {{hz(500), static_cast<std::int32_t>(hz(1100) / ms(220)), 4500, 8, fall(120), 0, 0}};
    make(s, CHIRP, chirp, 1);
    // A new best: four notes climbing a major chord, the last held.
    Note fanfare[FANFARE_NOTES];
    constexpr std::uint32_t PITCHES[FANFARE_NOTES] = {hz(1046.5), hz(1318.5), hz(1568), hz(2093)};
    for (int k = 0; k < FANFARE_NOTES; ++k)
        fanfare[k] = {PITCHES[k], 0, 4200, 6, k == FANFARE_NOTES - 1 ? fall(350) : fall(90), k * ms(120), 0};
    make(s, FANFARE, fanfare, FANFARE_NOTES);
}

// Starts a sound in a free slot, or in the one closest to its end.
void play(SoundSynth* s, int id) {
    SoundShot* slot = &s->shots[0];
    for (SoundShot& shot : s->shots)
        if (shot.frames < slot->frames) slot = &shot;
    *slot = {bank_total(id), FRAMES[id]};
}

std::int32_t clamp(std::int32_t v, std::int32_t low, std::int32_t high) { return v < low ? low : v > high ? high : v; }

void game_frame(SoundSynth* s, const GameState* g, std::int32_t score) {
    // The score grows by the scroll step every frame; a coin adds a bonus on
    // top. A game's first frame counts from the 0 it started at.
    const std::int32_t before = g->frame_count == 1 || !s->was_game ? 0 : s->score;
    if (score - before > g->scroll_step) play(s, COIN);
    // The chopper is gone at the crash: its last chop dies away.
    if (g->crashed == 1) {
        play(s, CRASH);
        return;
    }
    // The rotor beats with the chopper's picture, which turns every three
    // frames; a climb is a vertical speed below zero.
    if (g->anim_count == 1 || g->anim_count == 4) play(s, CHOP_LOWEST + clamp(-g->vertical_speed, -6, 6) + 6);
}

void title_frame(SoundSynth* s, const TitleState* t) {
    if (s->was_title && (t->row != s->row || t->mode != s->mode || t->speed != s->speed)) play(s, TICK);
    if (t->done == 1) play(s, CHIRP);
    s->row = t->row;
    s->mode = t->mode;
    s->speed = t->speed;
}

}  // namespace

void sound_start(SoundSynth* s) {
    std::memset(s, 0, sizeof *s);
    make_sounds(s);
}

void sound_frame(SoundSynth* s, const TitleState* title, const GameState* game, std::int32_t score, bool new_best,
                 std::int16_t out[SOUND_FRAME_SAMPLES]) {
    if (game != nullptr) game_frame(s, game, score);
    if (title != nullptr) title_frame(s, title);
    if (new_best) play(s, FANFARE);
    s->was_title = title != nullptr;
    s->was_game = game != nullptr;
    s->score = score;

    // Each sound was made within the peak: one alone is copied as it is.
    const std::int16_t* playing[SOUND_SHOTS];
    int count = 0;
    for (SoundShot& shot : s->shots) {
        if (shot.frames == 0) continue;
        playing[count++] = s->bank + shot.start * SOUND_FRAME_SAMPLES;
        ++shot.start;
        --shot.frames;
    }
    if (count <= 1) {
        if (count == 1) std::memcpy(out, playing[0], sizeof(std::int16_t) * SOUND_FRAME_SAMPLES);
        else std::memset(out, 0, sizeof(std::int16_t) * SOUND_FRAME_SAMPLES);
        return;
    }
    std::int32_t mix[SOUND_FRAME_SAMPLES];
    for (int i = 0; i < SOUND_FRAME_SAMPLES; ++i) mix[i] = playing[0][i];
    for (int k = 1; k < count; ++k)
        for (int i = 0; i < SOUND_FRAME_SAMPLES; ++i) mix[i] += playing[k][i];
    for (int i = 0; i < SOUND_FRAME_SAMPLES; ++i)
        out[i] = static_cast<std::int16_t>(clamp(mix[i], -SOUND_PEAK, SOUND_PEAK));
}

void sound_wav_header(std::uint32_t samples, unsigned char h[44]) {
    const std::uint32_t data = samples * 2;
    const std::uint32_t fields[] = {0x46464952u, 36 + data, 0x45564157u, 0x20746d66u, 16, 0x00010001u,
                                    SOUND_RATE,  SOUND_RATE * 2, 0x00100002u, 0x61746164u, data};
    for (int f = 0; f < 11; ++f)
        for (int b = 0; b < 4; ++b) h[4 * f + b] = static_cast<unsigned char>(fields[f] >> (8 * b));
}
