#include "tools/handheld-emu/emulator.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "ports/common/files.h"
#include "ports/common/frame_files.h"
#include "ports/common/frame_hash.h"
#include "ports/handheld/device.h"
#include "ports/handheld/registers.h"
#include "platform/display.h"
#include "tools/handheld-emu/device_files.h"

namespace {

// The display's rhythm, far faster than the real 60 Hz so that long tapes
// run quickly. The binary has no clock, so the rhythm never changes what it
// draws; it only decides how many refreshes pass without a flip.
constexpr long long FLAG_HIGH_NS = 100000;  // how long the flag stays up waiting for a flip
constexpr long long FLAG_LOW_NS = 50000;    // the rest of a refresh
constexpr long long POLL_SLEEP_NS = 10000;  // the controller sleeps between looks; the binary spins

const int ADDRESS_REG[4] = {REG_DISPLAY_ADDR1_LO, REG_DISPLAY_ADDR1_HI, REG_DISPLAY_ADDR2_LO, REG_DISPLAY_ADDR2_HI};
const char* const ADDRESS_REG_NAME[4] = {"0x290E", "0x2910", "0x2912", "0x2914"};

long long now_ns() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

void pause_briefly() {
    // Without timer slack a sleep this short lasts several times as long.
    static const bool precise = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
    static_cast<void>(precise);
    const timespec t{0, POLL_SLEEP_NS};
    nanosleep(&t, nullptr);
}

std::string hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

// --- starting the binary in its own mount namespace -------------------------

// What the child reports through the pipe when it cannot exec the binary.
struct LaunchFailure {
    int stage;  // 1: no private namespace, 2: the device files could not be mounted, 3: exec failed
    int error;
    char what[96];
};

[[noreturn]] void child_fail(int pipe_fd, int stage, const char* what) {
    LaunchFailure failure{};
    failure.stage = stage;
    failure.error = errno;
    std::snprintf(failure.what, sizeof failure.what, "%s", what);
    const ssize_t n = write(pipe_fd, &failure, sizeof failure);
    static_cast<void>(n);
    _exit(127);
}

struct Launch {
    pid_t pid = -1;
    std::string error;
    bool namespace_refused = false;
};

// Everything the child needs is prepared before fork; after it only system
// calls are made.
Launch launch(const EmulatorConfig& config, const DeviceFiles& files) {
    Launch result;
    if (config.command.empty()) {
        result.error = "no binary to run";
        return result;
    }
    std::vector<std::string> target(DEVICE_COUNT);
    for (int d = 0; d < DEVICE_COUNT; ++d) target[d] = std::string("/dev/") + DEVICE_NAME[d];
    bool is_dir[DEVICE_COUNT] = {};
    for (int d = 0; d < DEVICE_COUNT; ++d) is_dir[d] = config.shape[d] == DeviceShape::unreadable;
    std::vector<char*> argv;
    for (const std::string& a : config.command) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        result.error = std::string("pipe: ") + std::strerror(errno);
        return result;
    }
    const int in_fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out_fd = open(files.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int err_fd = open(files.stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (in_fd < 0 || out_fd < 0 || err_fd < 0) {
        result.error = files.dir + ": cannot make the binary's output files: " + std::strerror(errno);
        for (int fd : {in_fd, out_fd, err_fd, report[0], report[1]})
            if (fd >= 0) close(fd);
        return result;
    }

    const pid_t pid = fork();
    if (pid == 0) {
        // The child: its own view of the mounts, with a /dev that holds only
        // the four device files.
        dup2(in_fd, 0);
        dup2(out_fd, 1);
        dup2(err_fd, 2);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (unshare(CLONE_NEWNS) != 0) child_fail(report[1], 1, "unshare(CLONE_NEWNS)");
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            child_fail(report[1], 1, "making the mounts private");
        // Hold the files by path before /dev is covered: they may live in the
        // host's /dev/shm.
        int held[DEVICE_COUNT];
        char source[DEVICE_COUNT][32];
        for (int d = 0; d < DEVICE_COUNT; ++d) {
            held[d] = files.path[d].empty() ? -1 : open(files.path[d].c_str(), O_PATH | O_CLOEXEC);
            if (!files.path[d].empty() && held[d] < 0) child_fail(report[1], 2, files.path[d].c_str());
            std::snprintf(source[d], sizeof source[d], "/proc/self/fd/%d", held[d]);
        }
        if (mount("handheld", "/dev", "tmpfs", MS_NOSUID, "mode=0755,size=64k") != 0)
            child_fail(report[1], 1, "mounting a tmpfs over /dev");
        for (int d = 0; d < DEVICE_COUNT; ++d) {
            if (files.path[d].empty()) continue;
            const char* where = target[d].c_str();
            if (is_dir[d]) {
                if (mkdir(where, 0755) != 0) child_fail(report[1], 2, where);
            } else {
                const int fd = open(where, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
                if (fd < 0) child_fail(report[1], 2, where);
                close(fd);
            }
            if (mount(source[d], where, nullptr, MS_BIND, nullptr) != 0)
                child_fail(report[1], 2, where);
        }
        execvp(argv[0], argv.data());
        child_fail(report[1], 3, argv[0]);
    }
    close(report[1]);
    close(in_fd);
    close(out_fd);
    close(err_fd);
    if (pid < 0) {
        close(report[0]);
        result.error = std::string("fork: ") + std::strerror(errno);
        return result;
    }
    LaunchFailure failure{};
    ssize_t n;
    do n = read(report[0], &failure, sizeof failure);
    while (n < 0 && errno == EINTR);
    close(report[0]);
    if (n <= 0) {  // the pipe closed at exec: the binary runs
        result.pid = pid;
        return result;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.namespace_refused = failure.stage == 1;
    result.error = std::string(failure.what) + ": " + std::strerror(failure.error);
    if (failure.stage == 1) result.error = "no private mount namespace here (" + result.error + ")";
    if (failure.stage == 3) result.error = "cannot run " + result.error;
    return result;
}

// --- the display controller --------------------------------------------------

struct Display {
    volatile std::uint16_t* regs = nullptr;  // the register block, as the binary maps it
    void* regs_mapping = nullptr;
    std::vector<std::uint16_t> power_on;  // the block as it was before the binary started
    const FrameSurface* buffer[2] = {nullptr, nullptr};
    void* buffer_mapping[2] = {nullptr, nullptr};
    std::uint16_t status = 0;  // what the controller last put in the status register
};

void set_status(Display* display, std::uint16_t value) {
    display->status = value;
    __atomic_store_n(&display->regs[REG_DISPLAY_STATUS], value, __ATOMIC_RELEASE);
}

std::uint16_t load(const Display& display, int element) {
    return __atomic_load_n(&display.regs[element], __ATOMIC_ACQUIRE);
}

bool map_display(const DeviceFiles& files, const EmulatorConfig& config, Display* display, std::string* error) {
    if (config.shape[DEVICE_MEM] == DeviceShape::present) {
        const int fd = open(files.path[DEVICE_MEM].c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            *error = files.path[DEVICE_MEM] + ": " + std::strerror(errno);
            return false;
        }
        void* p = mmap(nullptr, REGS_MAP_LENGTH, PROT_READ | PROT_WRITE, MAP_SHARED, fd, static_cast<off_t>(REGS_PHYS_BASE));
        close(fd);
        if (p == MAP_FAILED) {
            *error = files.path[DEVICE_MEM] + ": cannot map the register block: " + std::strerror(errno);
            return false;
        }
        display->regs_mapping = p;
        display->regs = static_cast<volatile std::uint16_t*>(p);
        for (int r : ADDRESS_REG) display->regs[r] = ADDRESS_UNWRITTEN;
        // Power-on: the flag is up, so the first flip has to wait for it to
        // fall and rise again.
        set_status(display, VSYNC_FLAG);
        display->power_on.assign(REGS_MAP_LENGTH / 2, 0);
        for (std::size_t i = 0; i < display->power_on.size(); ++i) display->power_on[i] = display->regs[i];
    }
    for (int b = 0; b < 2; ++b) {
        if (config.shape[DEVICE_FB0 + b] != DeviceShape::present) continue;
        const std::string& path = files.path[DEVICE_FB0 + b];
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            *error = path + ": " + std::strerror(errno);
            return false;
        }
        void* p = mmap(nullptr, sizeof(FrameSurface), PROT_READ, MAP_SHARED, fd, 0);
        close(fd);
        if (p == MAP_FAILED) {
            *error = path + ": cannot map the buffer: " + std::strerror(errno);
            return false;
        }
        display->buffer_mapping[b] = p;
        display->buffer[b] = static_cast<const FrameSurface*>(p);
    }
    return true;
}

void unmap_display(Display* display) {
    if (display->regs_mapping != nullptr) munmap(display->regs_mapping, REGS_MAP_LENGTH);
    for (void* p : display->buffer_mapping)
        if (p != nullptr) munmap(p, sizeof(FrameSurface));
}

// The first register besides the five the display uses whose value changed
// since power-on, or -1.
int changed_register(const Display& display) {
    for (std::size_t i = 0; i < display.power_on.size(); ++i) {
        const int element = static_cast<int>(i);
        bool ours = element == REG_DISPLAY_STATUS;
        for (int r : ADDRESS_REG) ours = ours || element == r;
        if (!ours && load(display, element) != display.power_on[i]) return element;
    }
    return -1;
}

// Which of the four address writes have arrived, one bit each in write order.
// The registers are looked at last-written first: the binary may store while
// they are read, and read in its own order a late look at the first register
// could miss a store that the looks at the later ones then see, making a flip
// in the right order look like one out of order.
unsigned written_mask(const Display& display) {
    unsigned mask = 0;
    for (int i = 3; i >= 0; --i)
        if (load(display, ADDRESS_REG[i]) != ADDRESS_UNWRITTEN) mask |= 1u << i;
    return mask;
}

// " 0x290E 0x2910" for the registers whose bit in `mask` is `set`.
std::string register_list(unsigned mask, bool set) {
    std::string list;
    for (int i = 0; i < 4; ++i)
        if (((mask >> i) & 1u) == (set ? 1u : 0u)) list += std::string(" ") + ADDRESS_REG_NAME[i];
    return list;
}

std::string order_fault(unsigned mask) {
    return "display address registers written out of order: saw" + register_list(mask, true) + " written while" +
           register_list(mask, false) + " still waited (the order is 0x290E, 0x2910, 0x2912, 0x2914)";
}

struct Controller {
    const EmulatorConfig* config;
    Display* display;
    EmulatorResult* result;
    pid_t pid;
    bool done = false;
};

void end_with_fault(Controller* c, const std::string& fault) {
    c->result->faults.push_back(fault);
    c->result->outcome = EmulatorOutcome::fault;
    c->result->message = fault;
    c->done = true;
}

// A complete flip: check it, fingerprint the buffer it names, and make the
// registers ready for the next one.
void take_flip(Controller* c, bool* flipped_this_refresh) {
    Display& d = *c->display;
    EmulatorResult& r = *c->result;
    std::uint16_t value[4];
    for (int i = 0; i < 4; ++i) value[i] = load(d, ADDRESS_REG[i]);
    const std::uint32_t address = static_cast<std::uint32_t>(value[1]) << 16 | value[0];
    const std::uint32_t second = static_cast<std::uint32_t>(value[3]) << 16 | value[2];
    if (address != second) {
        end_with_fault(c, "the two display address pairs differ: " + hex(address, 8) + " and " + hex(second, 8));
        return;
    }
    const int buffer = address == DISPLAY_ADDR_FB0 ? 0 : address == DISPLAY_ADDR_FB1 ? 1 : -1;
    if (buffer < 0) {
        end_with_fault(c, "flip to display address " + hex(address, 8) + ", which is neither buffer (0x03101000, " +
                              "0x03381000)");
        return;
    }
    if (*flipped_this_refresh) {
        end_with_fault(c, "two flips in one refresh (frame " + std::to_string(r.frames.size() + 1) +
                              "): the binary did not wait for the vertical-sync flag to fall and rise");
        return;
    }
    const int stray = changed_register(d);
    if (stray >= 0) {
        end_with_fault(c, "the binary wrote register " + hex(static_cast<unsigned>(stray * 2), 4) + " (now " +
                              hex(load(d, stray), 4) + "); only the display address registers may be written");
        return;
    }
    const FrameSurface* shown = d.buffer[buffer];
    ShownFrame frame{r.refreshes, address, buffer, shown != nullptr ? frame_hash(shown) : 0};
    r.frames.push_back(frame);
    *flipped_this_refresh = true;
    const EmulatorConfig& config = *c->config;
    if (!config.png_dir.empty() && shown != nullptr && (r.frames.size() - 1) % config.png_every == 0) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06llu.png", static_cast<unsigned long long>(r.frames.size()));
        std::string error;
        if (!write_png(config.png_dir + name, shown, &error)) {
            end_with_fault(c, "cannot write a frame: " + error);
            return;
        }
    }
    for (int reg : ADDRESS_REG) __atomic_store_n(&d.regs[reg], ADDRESS_UNWRITTEN, __ATOMIC_RELEASE);
    if (config.frames != 0 && r.frames.size() >= config.frames) {
        r.outcome = EmulatorOutcome::frames_shown;
        c->done = true;
    }
}

bool binary_ended(Controller* c) {
    int status = 0;
    if (waitpid(c->pid, &status, WNOHANG) != c->pid) return false;
    EmulatorResult& r = *c->result;
    r.exited = true;
    if (WIFEXITED(status)) r.exit_status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) r.exit_signal = WTERMSIG(status);
    r.outcome = EmulatorOutcome::binary_exited;
    c->pid = -1;
    return true;
}

std::string stuck_message(const EmulatorResult& r, double seconds) {
    char text[160];
    std::snprintf(text, sizeof text, "no flip for %.1f s after %llu frames: the binary %s", seconds,
                  static_cast<unsigned long long>(r.frames.size()),
                  r.frames.empty() ? "never showed a frame" : "stopped showing frames");
    return text;
}

// Plays the display until the binary ends, the frames are done, or a rule is
// broken. One refresh: the flag rises; if the binary was waiting it writes the
// four address registers, the controller fingerprints the buffer they name,
// and only then lowers the flag for the next refresh. A binary still drawing
// misses the rise and flips in a later refresh; nothing waits for it.
void play_display(Controller* c) {
    Display& d = *c->display;
    EmulatorResult& r = *c->result;
    const long long timeout_ns = static_cast<long long>(c->config->flip_timeout * 1e9);
    long long last_progress = now_ns();
    long long phase_start = last_progress;
    long long partial_since = 0;
    bool flag_up = true;  // as at power-on
    bool flipped_this_refresh = false;
    r.refreshes = 1;
    while (!c->done) {
        if (binary_ended(c)) {
            // A binary that ends right after a flip may be gone before the
            // controller looked: that last flip was still made and counts.
            if (d.regs != nullptr && written_mask(d) == 0xFu) {
                take_flip(c, &flipped_this_refresh);
                if (r.outcome != EmulatorOutcome::fault) r.outcome = EmulatorOutcome::binary_exited;
            }
            return;
        }
        const long long now = now_ns();
        if (d.regs == nullptr) {
            // Nothing to show without a register block; a sound binary stops.
            if (now - last_progress > timeout_ns) {
                r.outcome = EmulatorOutcome::no_flip;
                r.message = stuck_message(r, c->config->flip_timeout) + " (and it has no register block)";
                return;
            }
            pause_briefly();
            continue;
        }
        if (load(d, REG_DISPLAY_STATUS) != d.status) {
            end_with_fault(c, "the binary wrote the status register 0x1182 (now " +
                                  hex(load(d, REG_DISPLAY_STATUS), 4) + "); it is read only");
            return;
        }
        const unsigned mask = written_mask(d);
        if (mask == 0xFu) {
            take_flip(c, &flipped_this_refresh);
            if (c->done) return;
            last_progress = now;
            partial_since = 0;
            set_status(&d, 0);
            flag_up = false;
            phase_start = now;
            continue;
        }
        if (mask != 0 && mask != 0x1u && mask != 0x3u && mask != 0x7u) {
            end_with_fault(c, order_fault(mask));
            return;
        }
        if (mask != 0) {
            // A flip is under way: the refresh waits for its last write.
            if (partial_since == 0) partial_since = now;
            if (now - partial_since > timeout_ns) {
                char seconds[32];
                std::snprintf(seconds, sizeof seconds, "%.1f", c->config->flip_timeout);
                end_with_fault(c, std::string("flip left incomplete for ") + seconds + " s: wrote" +
                                      register_list(mask, true) + " but not" + register_list(mask, false));
                return;
            }
        } else if (now - last_progress > timeout_ns) {
            r.outcome = EmulatorOutcome::no_flip;
            r.message = stuck_message(r, c->config->flip_timeout);
            return;
        } else if (flag_up && now - phase_start > FLAG_HIGH_NS) {
            set_status(&d, 0);
            flag_up = false;
            phase_start = now;
        } else if (!flag_up && now - phase_start > FLAG_LOW_NS) {
            if (!flipped_this_refresh) r.refreshes_without_flip += 1;
            flipped_this_refresh = false;
            r.refreshes += 1;
            set_status(&d, VSYNC_FLAG);
            flag_up = true;
            phase_start = now;
        }
        pause_briefly();
    }
}

std::string read_text(const std::string& path) {
    std::string text, error;
    read_file_capped(path, std::size_t{1} << 30, &text, &error);
    return text;
}

// What the binary left behind in files it should not have written.
void inspect_leftovers(const EmulatorConfig& config, const DeviceFiles& files, const Display& display,
                       EmulatorResult* r) {
    for (int b = 0; b < 2; ++b) {
        const DeviceShape shape = config.shape[DEVICE_FB0 + b];
        if (shape != DeviceShape::present && shape != DeviceShape::too_short) continue;
        const long long size = shape == DeviceShape::too_short ? FB_SHORT_SIZE : FB_FILE_SIZE;
        r->buffer_written[b] = !file_holds_only(files.path[DEVICE_FB0 + b], BUFFER_FILL, 0, size);
    }
    if (display.regs != nullptr) {
        r->registers_written = changed_register(display) >= 0 || written_mask(display) != 0 || !r->frames.empty() ||
                               load(display, REG_DISPLAY_STATUS) != display.status;
    } else if (config.shape[DEVICE_MEM] == DeviceShape::too_short) {
        r->registers_written =
            !file_holds_only(files.path[DEVICE_MEM], 0, 0xC0000000LL, MEM_SHORT_SIZE - 0xC0000000LL);
    }
}

}  // namespace

const char* outcome_name(EmulatorOutcome outcome) {
    switch (outcome) {
        case EmulatorOutcome::frames_shown: return "frames_shown";
        case EmulatorOutcome::binary_exited: return "binary_exited";
        case EmulatorOutcome::fault: return "fault";
        case EmulatorOutcome::no_flip: return "no_flip";
        case EmulatorOutcome::namespace_refused: return "namespace_refused";
        case EmulatorOutcome::setup_failed: return "setup_failed";
    }
    return "?";
}

EmulatorResult run_emulated_handheld(const EmulatorConfig& config) {
    EmulatorResult result;
    DeviceFiles files;
    Display display;
    std::string error;
    if (!make_device_files(config, &files, &error) || !map_display(files, config, &display, &error)) {
        result.outcome = EmulatorOutcome::setup_failed;
        result.message = error;
        unmap_display(&display);
        remove_device_files(files);
        return result;
    }
    const Launch started = launch(config, files);
    if (started.pid < 0) {
        result.outcome = started.namespace_refused ? EmulatorOutcome::namespace_refused : EmulatorOutcome::setup_failed;
        result.message = started.error;
    } else {
        Controller controller{&config, &display, &result, started.pid};
        play_display(&controller);
        if (controller.pid > 0) {
            kill(controller.pid, SIGKILL);
            int status = 0;
            waitpid(controller.pid, &status, 0);
        }
        inspect_leftovers(config, files, display, &result);
        result.binary_stdout = read_text(files.stdout_path);
        result.binary_stderr = read_text(files.stderr_path);
    }
    unmap_display(&display);
    remove_device_files(files);
    return result;
}
