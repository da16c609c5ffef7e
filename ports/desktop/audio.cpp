#include "ports/desktop/audio.h"

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "game/last_game.h"
#include "game/view.h"
#include "ports/common/files.h"
#include "ports/common/message.h"
#include "ports/common/sound.h"
#include "ports/desktop/score_file.h"

namespace {

// The samples between the game and SDL's audio thread: the game writes,
// the callback reads, each moving only its own index.
constexpr std::uint32_t RING = 4096;  // a power of two, over five frames
// A frame comes only while at most a frame and a half still waits (else it
// is dropped: the game caught up after a late frame), so with the device's
// buffer of 256 samples under three frames lie between a frame shown and
// its sound.
constexpr std::uint32_t MOST_WAITING = SOUND_FRAME_SAMPLES * 3 / 2;
constexpr int DEVICE_SAMPLES = 256;
constexpr int FULL_GAIN = 256;  // gain in 1/256; it moves one step a sample, so fades take 5 ms
constexpr std::size_t SETTINGS_MAX_BYTES = 4096;  // two short lines; anything larger is not ours

std::int16_t s_ring[RING];
std::atomic<std::uint32_t> s_written{0}, s_read{0};
std::atomic<int> s_target{FULL_GAIN};  // the gain the callback fades to
std::atomic<bool> s_paused{false};
int s_gain = 0;  // the callback's own
SDL_AudioDeviceID s_device = 0;
SoundSynth s_synth;
SoundSettings s_settings;

// Opens the default device. The sound libraries SDL tries on the way (ALSA)
// print their own complaints when there is no device; the player gets one
// line from us instead, so stderr is away meanwhile.
SDL_AudioDeviceID open_device(const SDL_AudioSpec& want) {
    SDL_AudioSpec have{};
    const int saved = ::dup(2);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && null >= 0) ::dup2(null, 2);
    SDL_AudioDeviceID device = 0;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (saved >= 0 && null >= 0) ::dup2(saved, 2);
    if (saved >= 0) ::close(saved);
    if (null >= 0) ::close(null);
    return device;
}

void set_target() { s_target = s_paused || s_settings.mute ? 0 : s_settings.volume * FULL_GAIN / 100; }

void SDLCALL fill(void*, Uint8* stream, int bytes) {
    auto* out = reinterpret_cast<std::int16_t*>(stream);
    const int count = bytes / 2;
    const int target = s_target;
    std::uint32_t read = s_read.load(std::memory_order_relaxed);
    const std::uint32_t written = s_written.load(std::memory_order_acquire);
    for (int i = 0; i < count; ++i) {
        // Late frames are heard as silence; nothing waits.
        const std::int32_t sample = read != written ? s_ring[read++ % RING] : 0;
        s_gain += s_gain < target ? 1 : s_gain > target ? -1 : 0;
        out[i] = static_cast<std::int16_t>(sample * s_gain / FULL_GAIN);
    }
    // Silent while paused: what waits is dropped, so play resumes with the
    // frames that follow the pause.
    if (s_paused && s_gain == 0) read = written;
    s_read.store(read, std::memory_order_release);
}

}  // namespace

std::string sound_settings_path() {
    const std::string scores = score_file_path();
    return scores.empty() ? "" : folder_of(scores) + "/settings.txt";
}

SoundSettings sound_settings_read(const std::string& path) {
    SoundSettings s;
    std::string text, error;
    if (path.empty() || !read_file_capped(path, SETTINGS_MAX_BYTES, &text, &error)) return s;
    char key[16];
    int value = 0, used = 0;
    for (const char* p = text.c_str(); std::sscanf(p, "%15s %d%n", key, &value, &used) == 2; p += used) {
        if (std::strcmp(key, "mute") == 0) s.mute = value != 0;
        if (std::strcmp(key, "volume") == 0 && value >= 0 && value <= 100) s.volume = value;
    }
    return s;
}

bool sound_settings_write(const std::string& path, const SoundSettings& s, std::string* error) {
    if (path.empty()) {
        *error = "neither XDG_DATA_HOME nor HOME is set";
        return false;
    }
    const std::string text = "mute " + std::to_string(s.mute ? 1 : 0) + "\nvolume " + std::to_string(s.volume) + "\n";
    return make_parent_folder(path, error) && replace_file(path, text, FileCare::Durable, error);
}

void audio_open(const SoundSettings& settings) {
    s_settings = settings;
    set_target();
    sound_start(&s_synth);
    SDL_AudioSpec want{};
    want.freq = SOUND_RATE;
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = DEVICE_SAMPLES;
    want.callback = fill;
    s_device = open_device(want);
    if (s_device == 0) {
        say("burrowrotor", std::string("no sound, playing silently: ") + SDL_GetError());
        return;
    }
    SDL_PauseAudioDevice(s_device, 0);
}

void audio_frame_shown(bool new_best) {
    if (s_device == 0) return;
    std::int16_t samples[SOUND_FRAME_SAMPLES];
    sound_frame(&s_synth, g_title_view, g_game_view, g_score, new_best, samples);
    const std::uint32_t written = s_written.load(std::memory_order_relaxed);
    if (s_paused || written - s_read.load(std::memory_order_acquire) > MOST_WAITING) return;
    for (int i = 0; i < SOUND_FRAME_SAMPLES; ++i) s_ring[(written + i) % RING] = samples[i];
    s_written.store(written + SOUND_FRAME_SAMPLES, std::memory_order_release);
}

void audio_set_paused(bool paused) {
    s_paused = paused;
    set_target();
}

bool audio_toggle_mute() {
    s_settings.mute = !s_settings.mute;
    set_target();
    std::string error;
    if (!sound_settings_write(sound_settings_path(), s_settings, &error))
        say("burrowrotor", "sound settings not kept: " + error);
    return s_settings.mute;
}

void audio_close() {
    if (s_device != 0) SDL_CloseAudioDevice(s_device);
    s_device = 0;
}
