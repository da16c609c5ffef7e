// The game's sound, made from what each shown frame shows: the rotor's chop,
// the coin chime, the crash, the menu's tick and start chirp and the new-best
// fanfare. Every sound is made here from oscillators, envelopes and noise,
// with integer arithmetic only, so the same tape gives the same samples on
// every machine. The handheld has no sound hardware and never calls it.
#pragma once
#include <cstdint>

#include "game/game.h"
#include "game/title.h"

constexpr int SOUND_RATE = 48000;                      // samples per second, mono, 16-bit
constexpr int SOUND_FRAME_SAMPLES = SOUND_RATE / 60;   // 800 for each shown frame
constexpr std::int32_t SOUND_PEAK = 29000;             // every sample stays within +-29000 (below -1 dBFS)
constexpr int SOUND_VOICES = 12;
constexpr int ROTOR_CLIMBS = 13;                       // climb rates -6 to 6, each with its own chop
constexpr int CHOP_SAMPLES = 3 * SOUND_FRAME_SAMPLES;  // one chop for every turn of the rotor picture

struct SoundVoice {
    std::uint32_t phase, inc;  // oscillator position and step per sample (2^32 is one cycle)
    std::int32_t inc_step;     // added to inc once per block: a pitch sweep
    std::int32_t amp, peak;    // level now and at the top of the attack (32767 is full scale)
    std::int32_t from;         // level the attack started from
    std::int32_t decay;        // level kept per block after the attack, of 65536
    std::int32_t attack, age;  // attack length and blocks since the start
    std::int32_t wait;         // blocks before it starts
    std::int32_t noise;        // 0: triangle; k > 0: noise through a one-pole low-pass of 1/2^k
    std::int32_t low;          // the low-pass's state
    bool on;
};

struct SoundSynth {
    // A chop of the rotor is the same sound every time for a given climb:
    // made once, played back whole.
    std::int16_t chops[ROTOR_CLIMBS][CHOP_SAMPLES];
    const std::int16_t* chop;  // the chop playing, or null
    std::int32_t chop_at;      // its next sample
    SoundVoice voices[SOUND_VOICES];
    std::uint32_t noise_seed;
    // What the previous shown frame showed, to see what changed.
    bool was_title, was_game;
    std::int32_t row, mode, speed;
    std::int32_t score;
};

// Silence, and no frame seen yet.
void sound_start(SoundSynth* synth);

// Renders the 800 samples that follow a shown frame. `title` and `game` are
// the game's views at that moment (at most one of them set), `score` the
// score the game keeps, `new_best` true on the frame where a port that keeps
// best scores saw a game end with a new best.
void sound_frame(SoundSynth* synth, const TitleState* title, const GameState* game, std::int32_t score,
                 bool new_best, std::int16_t out[SOUND_FRAME_SAMPLES]);

// A 44-byte header of a mono 16-bit 48 kHz WAV file holding `samples` samples.
void sound_wav_header(std::uint32_t samples, unsigned char header[44]);
