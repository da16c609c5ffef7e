// The desktop's sound: the synthesiser (ports/common/sound.h) fed after every
// shown frame, played through SDL's audio about one frame ahead. Playing
// never waits on the sound device: when it is late the device hears
// silence, when it is behind a frame's samples are dropped.
#pragma once
#include <string>

// The player's sound settings, kept beside the best scores in settings.txt
// ("mute 0" and "volume 100", one a line).
struct SoundSettings {
    bool mute = false;
    int volume = 100;  // 0-100; 100 plays the samples exactly as made
};

// Where the settings live: beside the best-score table; empty when that has
// no place either.
std::string sound_settings_path();
// Reads the file; a missing or unreadable file leaves the defaults.
SoundSettings sound_settings_read(const std::string& path);
// Replaces the file whole, through a temporary name; false with a one-line reason.
bool sound_settings_write(const std::string& path, const SoundSettings& settings, std::string* error);

// Opens the sound device with these settings. Without a device the game
// plays silently and stderr gets one line saying why.
void audio_open(const SoundSettings& settings);

// Makes and queues the sound of the frame just shown; `new_best` when that
// frame saw a game end with a new best score.
void audio_frame_shown(bool new_best);

// Silences the sound at once while paused (what was queued is dropped);
// after the pause it fades back in.
void audio_set_paused(bool paused);

// M: mutes or unmutes, keeps the choice in the settings file; returns true
// when the sound is now muted.
bool audio_toggle_mute();

void audio_close();
