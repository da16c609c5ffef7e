// burrowrotor-handheld-emu: runs a handheld binary on an emulated handheld.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>

#include "ports/common/outputs.h"
#include "ports/common/part_file.h"
#include "ports/common/poll_tape.h"
#include "tools/handheld-emu/emulator.h"
#include "ports/common/message.h"

namespace {

const char USAGE[] =
    "usage: burrowrotor-handheld-emu [options] [--] COMMAND...\n"
    "\n"
    "Runs COMMAND (the handheld binary, or qemu-arm -cpu arm926 and the ARM binary) with /dev/GPIO,\n"
    "/dev/mem, /dev/fb0 and /dev/fb1 played by files in a private mount namespace, and plays the\n"
    "display controller: every shown frame is fingerprinted as it is shown.\n"
    "  --tape FILE        button words for /dev/GPIO, 4 bytes little-endian per poll (default: empty)\n"
    "  --frames N         stop the binary after N shown frames (default: wait for it to exit)\n"
    "  --trace FILE       one JSON line per shown frame: frame, buffer, address, refresh, hash\n"
    "  --png DIR          write shown frames as DIR/frame-000001.png ...\n"
    "  --every K          with --png, every K-th frame only\n"
    "  --timeout S        seconds without a flip before the binary counts as stuck (default 10)\n"
    "  --missing DEV      leave DEV out (GPIO, mem, fb0, fb1); may be repeated\n"
    "  --short DEV        make DEV (mem, fb0, fb1) a file too short for its mapping\n"
    "  --refuse DEV       make DEV a file that opens but cannot be mapped\n"
    "  --unreadable DEV   make DEV a file that opens but cannot be read (GPIO)\n"
    "The binary's stdout and stderr are passed on, then a summary goes to stderr. Exit status:\n"
    "0 when the frames were shown or the binary exited by itself without breaking a rule of the\n"
    "display, 1 when it broke one or stopped flipping, 2 for bad usage or set-up, 77 when this\n"
    "machine refuses a private mount namespace.\n";

int usage_error(const std::string& message) {
    say("burrowrotor-handheld-emu", message + " (see --help)");
    return 2;
}

bool parse_device(const char* name, HandheldDevice* device) {
    static const char* const NAMES[DEVICE_COUNT] = {"GPIO", "mem", "fb0", "fb1"};
    for (int d = 0; d < DEVICE_COUNT; ++d)
        if (std::strcmp(name, NAMES[d]) == 0 || (std::string("/dev/") + NAMES[d]) == name) {
            *device = static_cast<HandheldDevice>(d);
            return true;
        }
    return false;
}

bool parse_number(const char* text, double* value) {
    char* end = nullptr;
    errno = 0;
    *value = std::strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && *value > 0;
}

bool write_trace(const std::string& path, const EmulatorResult& result, std::string* error) {
    PartFile out;
    if (!make_parent_folder(path, error) || !part_file_open(&out, path, "w", error)) return false;
    std::uint64_t n = 0;
    for (const ShownFrame& frame : result.frames)
        std::fprintf(out.file, "{\"frame\":%llu,\"buffer\":%d,\"address\":\"0x%08X\",\"refresh\":%llu,\"hash\":\"%016llx\"}\n",
                     static_cast<unsigned long long>(++n), frame.buffer, frame.address,
                     static_cast<unsigned long long>(frame.refresh), static_cast<unsigned long long>(frame.hash));
    return part_file_close(&out, true, error);
}

// The trace must not land on the tape or on a file of the command (the
// binary itself, or the ARM binary that qemu-arm is given).
bool trace_spares_inputs(const std::string& trace, const char* tape, const EmulatorConfig& config, std::string* error) {
    std::vector<NamedFile> files = {{"--trace", trace, true}, {"--tape", tape != nullptr ? tape : "", false}};
    for (const std::string& word : config.command) {
        struct stat info {};
        if (stat(word.c_str(), &info) == 0 && S_ISREG(info.st_mode)) files.push_back({"COMMAND", word, false});
    }
    return outputs_spare_inputs(files, error);
}

}  // namespace

int main(int argc, char** argv) {
    EmulatorConfig config;
    std::string trace;
    const char* tape = nullptr;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(USAGE, stdout);
            return 0;
        }
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg.rfind("--", 0) != 0) break;
        if (i + 1 >= argc) return usage_error(arg + " needs a value");
        const char* value = argv[++i];
        double number = 0;
        HandheldDevice device = DEVICE_GPIO;
        if (arg == "--tape") {
            tape = value;
            std::string bytes, error;
            if (!read_file_capped(value, POLL_TAPE_MAX_BYTES, &bytes, &error)) return usage_error(error);
            config.tape.assign(bytes.begin(), bytes.end());
        } else if (arg == "--frames" || arg == "--every") {
            if (!parse_number(value, &number) || number != static_cast<double>(static_cast<std::uint64_t>(number)))
                return usage_error(arg + " needs a whole number from 1 on, got '" + value + "'");
            (arg == "--frames" ? config.frames : config.png_every) = static_cast<std::uint64_t>(number);
        } else if (arg == "--timeout") {
            if (!parse_number(value, &number)) return usage_error("--timeout needs seconds, got '" + std::string(value) + "'");
            config.flip_timeout = number;
        } else if (arg == "--trace") {
            trace = value;
        } else if (arg == "--png") {
            config.png_dir = value;
        } else if (arg == "--missing" || arg == "--short" || arg == "--refuse" || arg == "--unreadable") {
            if (!parse_device(value, &device)) return usage_error(arg + " needs GPIO, mem, fb0 or fb1, got '" + value + "'");
            config.shape[device] = arg == "--missing"  ? DeviceShape::missing
                                   : arg == "--short"  ? DeviceShape::too_short
                                   : arg == "--refuse" ? DeviceShape::refuses_mapping
                                                       : DeviceShape::unreadable;
        } else {
            return usage_error("unknown option '" + arg + "'");
        }
    }
    for (; i < argc; ++i) config.command.push_back(argv[i]);
    if (config.command.empty()) return usage_error("no binary to run");
    std::string error;
    if (!trace_spares_inputs(trace, tape, config, &error) ||
        (!config.png_dir.empty() && !make_folder(config.png_dir, &error))) {
        say("burrowrotor-handheld-emu", error);
        return 2;
    }

    const EmulatorResult result = run_emulated_handheld(config);
    std::fwrite(result.binary_stdout.data(), 1, result.binary_stdout.size(), stdout);
    std::fflush(stdout);
    std::fwrite(result.binary_stderr.data(), 1, result.binary_stderr.size(), stderr);
    if (!trace.empty() && !write_trace(trace, result, &error)) {
        say("burrowrotor-handheld-emu", error);
        return 2;
    }
    std::fprintf(stderr, "burrowrotor-handheld-emu: %s: %llu frames in %llu refreshes (%llu without a flip)",
                 outcome_name(result.outcome), static_cast<unsigned long long>(result.frames.size()),
                 static_cast<unsigned long long>(result.refreshes),
                 static_cast<unsigned long long>(result.refreshes_without_flip));
    if (result.exited && result.exit_signal != 0) std::fprintf(stderr, "; killed by signal %d", result.exit_signal);
    if (result.exited && result.exit_signal == 0) std::fprintf(stderr, "; exit status %d", result.exit_status);
    if (!result.message.empty()) std::fprintf(stderr, "; %s", one_line(result.message).c_str());
    std::fputc('\n', stderr);
    switch (result.outcome) {
        case EmulatorOutcome::frames_shown:
        case EmulatorOutcome::binary_exited: return 0;
        case EmulatorOutcome::fault:
        case EmulatorOutcome::no_flip: return 1;
        case EmulatorOutcome::namespace_refused: return 77;
        case EmulatorOutcome::setup_failed: return 2;
    }
    return 2;
}
