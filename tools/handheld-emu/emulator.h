// The emulated handheld: runs the unmodified device binary (natively or under
// qemu-arm) with its four device files played by ordinary files inside a
// private mount namespace, and plays the display controller itself: it raises
// and lowers the vertical-sync flag, watches the display address registers,
// and fingerprints every frame the binary shows.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum HandheldDevice { DEVICE_GPIO, DEVICE_MEM, DEVICE_FB0, DEVICE_FB1, DEVICE_COUNT };

// How each device file looks to the binary.
enum class DeviceShape {
    present,          // mem: a sparse file reaching past the register block; fb: a full buffer; GPIO: the tape
    missing,          // no such file
    too_short,        // a regular file that ends before the mapping does
    refuses_mapping,  // opens read-write but cannot be mapped (a FIFO, as a device without mmap)
    unreadable,       // opens but every read fails (a directory); for the button device
};

struct EmulatorConfig {
    std::vector<std::string> command;  // argv of the binary, e.g. {"qemu-arm", "-cpu", "arm926", "burrowrotor-handheld"}
    std::vector<unsigned char> tape;   // the button device's bytes: one 4-byte little-endian word per poll
    DeviceShape shape[DEVICE_COUNT] = {DeviceShape::present, DeviceShape::present, DeviceShape::present,
                                       DeviceShape::present};
    std::uint64_t frames = 0;       // kill the binary once this many frames were shown; 0: wait for it to exit
    double flip_timeout = 10.0;     // seconds without a flip before the binary counts as stuck
    std::string png_dir;            // when set, shown frames go there as frame-000001.png ...
    std::uint64_t png_every = 1;
    // Where the device files are made (and removed afterwards); empty: /dev/shm
    // when there is one (memory, never written back to a disk), else /tmp.
    std::string work_dir;
};

struct ShownFrame {
    std::uint64_t refresh;   // the refresh in which it was shown (1-based)
    std::uint32_t address;   // the display address written
    int buffer;              // 0 = /dev/fb0, 1 = /dev/fb1
    std::uint64_t hash;      // FNV-1a 64 of the buffer's 153600 bytes at the flip
};

enum class EmulatorOutcome {
    frames_shown,       // the requested number of frames came; the binary was then killed
    binary_exited,      // the binary ended by itself (exit or signal)
    fault,              // the controller saw the binary break a rule of the display (see faults)
    no_flip,            // the binary stopped flipping (or never started)
    namespace_refused,  // no private mount namespace here; nothing was run
    setup_failed,       // the emulator could not prepare the device files or start the binary
};

struct EmulatorResult {
    EmulatorOutcome outcome = EmulatorOutcome::setup_failed;
    std::string message;              // why, for every outcome but frames_shown and binary_exited
    std::vector<ShownFrame> frames;
    std::vector<std::string> faults;  // out-of-order writes, unknown addresses, writes to other registers
    std::uint64_t refreshes = 0;
    std::uint64_t refreshes_without_flip = 0;
    bool exited = false;  // the binary ended by itself
    int exit_status = -1;  // its exit status when it called exit
    int exit_signal = 0;   // the signal that ended it, when one did
    std::string binary_stdout, binary_stderr;
    // What the binary left in the device files that it could not map properly
    // (or that it should not have touched at all): true when a byte changed.
    bool buffer_written[2] = {false, false};
    bool registers_written = false;  // anything but the status register differs from power-on
};

// Runs one session; never throws.
EmulatorResult run_emulated_handheld(const EmulatorConfig& config);

// "frames_shown", "binary_exited", ...
const char* outcome_name(EmulatorOutcome outcome);

// The buffer files are filled with this byte before start-up: what the screen
// showed before the program ran. The game clears every frame before drawing.
constexpr unsigned char BUFFER_FILL = 0xA5;
// The address registers hold this between flips, so the controller can tell
// which of the four writes have arrived. No display address has this half.
constexpr std::uint16_t ADDRESS_UNWRITTEN = 0xFFFF;
