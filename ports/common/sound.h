// The game's sound, made from what each shown frame shows: the rotor's chop,
// the coin chime, the crash, the menu's tick and start chirp and the new-best
// fanfare. Every sound is made here, once, from oscillators, envelopes and
// noise, with integer arithmetic only, so the same tape gives the same
// samples on every machine; a frame then only adds up the sounds playing.
// The handheld has no sound hardware and never calls it.
#pragma once
#include <cstdint>

#include "game/game.h"
#include "game/title.h"

constexpr int SOUND_RATE = 48000;                     // samples per second, mono, 16-bit
constexpr int SOUND_FRAME_SAMPLES = SOUND_RATE / 60;  // 800 for each shown frame
constexpr std::int32_t SOUND_PEAK = 29000;            // every sample stays within +-29000 (below -1 dBFS)
constexpr int ROTOR_CLIMBS = 13;                      // climb rates -6 to 6, each with its own chop
constexpr int SOUND_BANK_FRAMES = 267;                // every sound, in frames of samples
constexpr int SOUND_SHOTS = 6;                        // sounds playing at once

struct SoundShot {
    std::int32_t start;   // first frame of the sound in the bank
    std::int32_t frames;  // frames of it still to play; 0: the slot is free
};

struct SoundSynth {
    std::int16_t bank[SOUND_BANK_FRAMES * SOUND_FRAME_SAMPLES];
    SoundShot shots[SOUND_SHOTS];
    // What the previous shown frame showed, to see what changed.
    bool was_title, was_game;
    std::int32_t row, mode, speed;
    std::int32_t score;
};

// Makes every sound (a few million instructions) and starts in silence, no
// frame seen yet.
void sound_start(SoundSynth* synth);

// Renders the 800 samples that follow a shown frame. `title` and `game` are
// the game's views at that moment (at most one of them set), `score` the
// score the game keeps, `new_best` true on the frame where a port that keeps
// best scores saw a game end with a new best.
void sound_frame(SoundSynth* synth, const TitleState* title, const GameState* game, std::int32_t score,
                 bool new_best, std::int16_t out[SOUND_FRAME_SAMPLES]);

// A 44-byte header of a mono 16-bit 48 kHz WAV file holding `samples` samples.
void sound_wav_header(std::uint32_t samples, unsigned char header[44]);
// A WAV file counts its bytes in 32 bits: this many frames of sound (over 12
// hours) fill it.
constexpr std::uint64_t SOUND_WAV_MAX_FRAMES = (0xFFFFFFFFull - 36) / (2 * SOUND_FRAME_SAMPLES);
