#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "ports/handheld/device.h"
#include "ports/common/message.h"
#include "platform/display.h"

static_assert(sizeof(off_t) == 8, "the register block lies at 3 GiB in /dev/mem: build with 64-bit file offsets");

int g_gpio_fd = -1;
int g_mem_fd = -1;
int g_fb_fd[2] = {-1, -1};
volatile std::uint16_t* g_regs = nullptr;

namespace {

const char* const FB_PATH[2] = {"/dev/fb0", "/dev/fb1"};

// Why a device could not be mapped.
struct MapFailure {
    char reason[112];
};

// One line on stderr for a mapping that failed:
// "burrowrotor: cannot map display buffer 1 (/dev/fb1): No such file or directory".
void report(const char* what, const char* path, const MapFailure& failure) {
    say("burrowrotor", std::string("cannot map ") + what + " (" + path + "): " + failure.reason);
}

struct OpenedDevice {
    int fd;
    int open_error;  // errno of a failed open, else 0
};

OpenedDevice open_device(const char* path, int flags) {
    const int fd = open(path, flags);
    return OpenedDevice{fd, fd < 0 ? errno : 0};
}

// Maps `length` bytes at `offset` of an opened device, or returns nullptr and
// fills in why not. A failed open makes the mapping fail with the open's
// reason. A regular file standing in for a device is only mapped when it
// reaches the end of the range: past the end of a file the pages of a shared
// mapping are not there, and the first touch would kill the program with
// SIGBUS. A real device refuses a range it does not have, so for devices
// mmap's own answer stands.
void* map_device(OpenedDevice device, std::uint32_t length, off_t offset, int protection, MapFailure* failure) {
    struct stat info {};
    const off_t end = offset + static_cast<off_t>(length);
    if (device.fd >= 0 && fstat(device.fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size < end) {
        std::snprintf(failure->reason, sizeof failure->reason, "too short to map (%lld bytes, the mapping ends at %lld)",
                      static_cast<long long>(info.st_size), static_cast<long long>(end));
        return nullptr;
    }
    void* address = mmap(nullptr, length, protection, MAP_SHARED, device.fd, offset);
    if (address != MAP_FAILED) return address;
    const int error = device.open_error != 0 ? device.open_error : errno;
    std::snprintf(failure->reason, sizeof failure->reason, "%s", std::strerror(error));
    return nullptr;
}

}  // namespace

bool device_start_up() {
    const OpenedDevice gpio = open_device("/dev/GPIO", O_RDONLY);
    const OpenedDevice mem = open_device("/dev/mem", O_RDWR);
    const OpenedDevice fb[2] = {open_device(FB_PATH[0], O_RDWR), open_device(FB_PATH[1], O_RDWR)};
    g_gpio_fd = gpio.fd;
    g_mem_fd = mem.fd;
    g_fb_fd[0] = fb[0].fd;
    g_fb_fd[1] = fb[1].fd;

    // Every mapping is attempted, and each one that fails says so on a line
    // of its own: the registers first, then buffer 0, then buffer 1.
    MapFailure failure{};
    bool failed = false;
    void* regs = map_device(mem, REGS_MAP_LENGTH, static_cast<off_t>(REGS_PHYS_BASE), PROT_READ | PROT_WRITE, &failure);
    if (regs == nullptr) {
        report("the display registers", "/dev/mem", failure);
        failed = true;
    }
    void* buffers[2] = {nullptr, nullptr};
    for (int i = 0; i < 2; ++i) {
        // Drawing reads pixels back (the collision test), so the buffers must
        // be readable as well as writable.
        buffers[i] = map_device(fb[i], SURFACE_BYTES, 0, PROT_READ | PROT_WRITE, &failure);
        if (buffers[i] != nullptr) continue;
        report(i == 0 ? "display buffer 0" : "display buffer 1", FB_PATH[i], failure);
        failed = true;
    }
    // Going on would mean drawing into, or waiting on, memory that is not
    // there: the caller stops.
    if (failed) return false;

    g_regs = static_cast<volatile std::uint16_t*>(regs);
    g_frame[0] = static_cast<FrameSurface*>(buffers[0]);
    g_frame[1] = static_cast<FrameSurface*>(buffers[1]);
    reset_display_state();
    return true;
}
