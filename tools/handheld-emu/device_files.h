// The four device files of the emulated handheld, made as ordinary files (a
// sparse file, two buffer files, a tape) in a private folder on the host and
// mounted over /dev inside the binary's own mount namespace.
#pragma once
#include <string>

#include "tools/handheld-emu/emulator.h"

// The device names under /dev, in HandheldDevice order.
extern const char* const DEVICE_NAME[DEVICE_COUNT];

struct DeviceFiles {
    std::string dir;                  // the private folder
    std::string path[DEVICE_COUNT];   // host path of each device; empty when the device is missing
    std::string stdout_path, stderr_path;
};

// Lays out the folder and the files as the config's shapes ask.
bool make_device_files(const EmulatorConfig& config, DeviceFiles* files, std::string* error);
void remove_device_files(const DeviceFiles& files);

// Whether a file still holds only `fill` bytes: what a binary that stopped
// before drawing leaves in a buffer.
bool file_holds_only(const std::string& path, unsigned char fill, long long offset, long long length);

// Sizes of the files the binary sees.
constexpr long long MEM_FILE_SIZE = 0xC0000000LL + 0x10000;
constexpr long long MEM_SHORT_SIZE = 0xC0000000LL + 0x8000;  // ends halfway through the register block
constexpr long long FB_FILE_SIZE = 153600;
// Two bytes short: the last page is still there, so mmap alone would take it,
// and the last pixel drawn would go nowhere.
constexpr long long FB_SHORT_SIZE = FB_FILE_SIZE - 2;
