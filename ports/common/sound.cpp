#include "ports/common/sound.h"

#include <cstring>

namespace {

constexpr int BLOCK = 16;  // samples between two steps of the envelopes
constexpr int BLOCKS = SOUND_FRAME_SAMPLES / BLOCK;
static_assert(BLOCKS * BLOCK == SOUND_FRAME_SAMPLES, "a frame is a whole number of blocks");
constexpr int BLOCK_RATE = SOUND_RATE / BLOCK;  // 3000 envelope steps a second

// Oscillator step for a pitch in hertz (2^32 is one cycle), worked out once
// by the compiler.
constexpr std::uint32_t hz(double f) { return static_cast<std::uint32_t>(f * 4294967296.0 / SOUND_RATE); }
// Envelope steps for a time in milliseconds.
constexpr std::int32_t ms(int t) { return t * BLOCK_RATE / 1000; }
// The level kept per block for a fall to 1/e over `t` milliseconds (two terms
// of the exponential: close enough, and exact integers).
constexpr std::int32_t fall(int t) { return 65536 - 65536 / ms(t) + 32768 / (ms(t) * ms(t)); }

// The voices each sound plays on.
enum Slot { COIN_1, COIN_2, CRASH_NOISE, CRASH_THUMP, MENU, FANFARE_1 };
constexpr int FANFARE_NOTES = 4;
static_assert(FANFARE_1 + FANFARE_NOTES <= SOUND_VOICES, "room for every voice");

struct Note {
    std::uint32_t pitch;
    std::int32_t sweep, peak, attack, decay, wait, noise;
};

// Starts (or restarts, gliding from where its level is, so without a click)
// the voice's note.
void play(SoundVoice* v, const Note& n) {
    if (!v->on) v->amp = 0;
    v->from = v->amp;
    v->inc = n.pitch;
    v->inc_step = n.sweep;
    v->peak = n.peak;
    v->attack = n.attack;
    v->decay = n.decay;
    v->wait = n.wait;
    v->noise = n.noise;
    v->age = 0;
    v->on = true;
}

std::int32_t clamp(std::int32_t v, std::int32_t low, std::int32_t high) { return v < low ? low : v > high ? high : v; }

// The rotor beats with the chopper's picture, which turns every three frames:
// each turn is a chop. Climbing (the vertical speed below zero) makes it
// higher and louder, sinking lower and softer.
void rotor_frame(SoundSynth* s, const GameState* g) {
    if (g->anim_count != 1 && g->anim_count != 4) return;
    s->chop = s->chops[clamp(-g->vertical_speed, -6, 6) + 6];
    s->chop_at = 0;
}

void game_frame(SoundSynth* s, const GameState* g, std::int32_t score) {
    // The score grows by the scroll step every frame; a coin adds a bonus on
    // top. A game's first frame counts from the 0 it started at.
    const std::int32_t before = g->frame_count == 1 || !s->was_game ? 0 : s->score;
    if (score - before > g->scroll_step) {
        play(&s->voices[COIN_1], {hz(1318.5), 0, 5000, 2, fall(45), 0, 0});
        play(&s->voices[COIN_2], {hz(1975.5), 0, 5000, 2, fall(110), ms(70), 0});
    }
    if (g->crashed == 1) {
        // The chopper is gone: the rotor's last chop dies away, the noise of
        // the crash rings out over a thump that falls away.
        play(&s->voices[CRASH_NOISE], {0, 0, 16000, 4, fall(230), 0, 1});
        play(&s->voices[CRASH_THUMP], {hz(170), -static_cast<std::int32_t>(hz(130) / ms(500)), 9000, 4, fall(260), 0, 0});
    } else {
        rotor_frame(s, g);
    }
}

void title_frame(SoundSynth* s, const TitleState* t) {
    if (s->was_title && (t->row != s->row || t->mode != s->mode || t->speed != s->speed))
        play(&s->voices[MENU], {hz(1800), 0, 3500, 2, fall(7), 0, 0});
    if (t->done == 1) play(&s->voices[MENU], {hz(500), static_cast<std::int32_t>(hz(1100) / ms(220)), 4500, 8, fall(120), 0, 0});
    s->row = t->row;
    s->mode = t->mode;
    s->speed = t->speed;
}

void fanfare(SoundSynth* s) {
    static const std::uint32_t PITCHES[FANFARE_NOTES] = {hz(1046.5), hz(1318.5), hz(1568), hz(2093)};
    for (int k = 0; k < FANFARE_NOTES; ++k)
        play(&s->voices[FANFARE_1 + k],
             {PITCHES[k], 0, 4200, 6, k == FANFARE_NOTES - 1 ? fall(350) : fall(90), k * ms(120), 0});
}

// One block of a voice, added into `mix`: its level moves in a straight line
// from where it was to its next envelope step, so it never jumps.
void render_block(SoundSynth* s, SoundVoice* v, std::int32_t* mix) {
    if (v->wait > 0) {
        --v->wait;
        return;
    }
    const std::int32_t a0 = v->amp;
    if (v->age < v->attack)
        v->amp = v->from + (v->peak - v->from) * (v->age + 1) / v->attack;
    else
        v->amp = v->amp * (v->decay >> 1) >> 15;
    ++v->age;
    if (v->age > v->attack && v->amp < 8) {
        v->amp = 0;
        v->on = false;
    }
    std::int32_t level = a0 * BLOCK;
    const std::int32_t step = v->amp - a0;
    if (v->noise == 0) {
        std::uint32_t phase = v->phase;
        const std::uint32_t inc = v->inc;
        for (int i = 0; i < BLOCK; ++i) {
            phase += inc;
            level += step;
            const std::int32_t saw = static_cast<std::int32_t>(phase) >> 16;
            const std::int32_t tri = (saw < 0 ? -saw : saw) * 2 - 32768;
            mix[i] += tri * (level >> 4) >> 15;
        }
        v->phase = phase;
        // A falling sweep ends at a low floor, never passing through zero.
        v->inc += static_cast<std::uint32_t>(v->inc_step);
        if (v->inc_step < 0 && v->inc < hz(35)) v->inc_step = 0;
        return;
    }
    std::uint32_t x = s->noise_seed;
    std::int32_t low = v->low;
    const std::int32_t k = v->noise;
    for (int i = 0; i < BLOCK; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        low += ((static_cast<std::int32_t>(x) >> 16) - low) >> k;
        level += step;
        mix[i] += low * (level >> 4) >> 15;
    }
    s->noise_seed = x;
    v->low = low;
}

void render_voice(SoundSynth* s, SoundVoice* v, std::int32_t* mix, int blocks) {
    for (int b = 0; b < blocks && v->on; ++b) render_block(s, v, mix + b * BLOCK);
}

// A chop: a thump that drops in pitch with a breath of air over it, higher
// and louder for a faster climb, faded out well before the next one.
void make_chop(SoundSynth* s, std::int32_t climb, std::int16_t out[CHOP_SAMPLES]) {
    const std::uint32_t pitch = hz(150) + static_cast<std::uint32_t>(climb * static_cast<std::int32_t>(hz(10)));
    const std::int32_t level = 5200 + climb * 450;
    SoundVoice thump{}, air{};
    play(&thump, {pitch, -static_cast<std::int32_t>(hz(90) / ms(50)), level, 3, fall(12), 0, 0});
    play(&air, {0, 0, level * 3 / 2, 3, fall(8), 0, 3});
    std::int32_t mix[CHOP_SAMPLES] = {};
    render_voice(s, &thump, mix, CHOP_SAMPLES / BLOCK);
    render_voice(s, &air, mix, CHOP_SAMPLES / BLOCK);
    constexpr int FADE_FROM = CHOP_SAMPLES / 2, FADE_TO = CHOP_SAMPLES * 3 / 4;
    for (int i = 0; i < CHOP_SAMPLES; ++i) {
        const std::int32_t keep = i < FADE_FROM ? 256 : i >= FADE_TO ? 0 : (FADE_TO - i) * 256 / (FADE_TO - FADE_FROM);
        out[i] = static_cast<std::int16_t>(mix[i] * keep / 256);
    }
}

}  // namespace

void sound_start(SoundSynth* s) {
    std::memset(s, 0, sizeof *s);
    s->noise_seed = 0x2545F491u;
    for (int c = 0; c < ROTOR_CLIMBS; ++c) make_chop(s, c - 6, s->chops[c]);
}

void sound_frame(SoundSynth* s, const TitleState* title, const GameState* game, std::int32_t score, bool new_best,
                 std::int16_t out[SOUND_FRAME_SAMPLES]) {
    if (game != nullptr) game_frame(s, game, score);
    if (title != nullptr) title_frame(s, title);
    if (new_best) fanfare(s);
    s->was_title = title != nullptr;
    s->was_game = game != nullptr;
    s->score = score;

    // Mostly the rotor plays alone, or nothing does: its chop is copied out
    // as it is (it was made within the peak).
    const std::int16_t* chop = s->chop != nullptr ? s->chop + s->chop_at : nullptr;
    if (s->chop != nullptr && (s->chop_at += SOUND_FRAME_SAMPLES) == CHOP_SAMPLES) s->chop = nullptr;
    bool alone = true;
    for (const SoundVoice& v : s->voices) alone = alone && !v.on;
    if (alone) {
        if (chop != nullptr) std::memcpy(out, chop, sizeof(std::int16_t) * SOUND_FRAME_SAMPLES);
        else std::memset(out, 0, sizeof(std::int16_t) * SOUND_FRAME_SAMPLES);
        return;
    }
    std::int32_t mix[SOUND_FRAME_SAMPLES];
    for (int i = 0; i < SOUND_FRAME_SAMPLES; ++i) mix[i] = chop != nullptr ? chop[i] : 0;
    for (SoundVoice& v : s->voices) render_voice(s, &v, mix, BLOCKS);
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
