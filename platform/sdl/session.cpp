#include "platform/sdl/session.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/common/frame_hash.h"
#include "platform/common/tape.h"
#include "platform/common/trace.h"

namespace {

bool s_replaying = false;
ButtonTape s_replay;
TapeWriter s_record;
std::string s_record_path;
std::FILE* s_trace = nullptr;
std::string s_trace_path;
FrameDump s_dump;

std::string system_error(const std::string& path) { return path + ": " + std::strerror(errno); }

}  // namespace

bool session_open(const DesktopOptions& o, std::string* error) {
    s_replaying = !o.replay.empty();
    if (s_replaying && !load_button_tape(o.replay.c_str(), &s_replay, error)) return false;
    s_dump = o.dump;
    if (!frame_dump_check(s_dump, error)) return false;
    s_record_path = o.record;
    if (!o.record.empty() && !tape_writer_open(&s_record, o.record.c_str(), error)) return false;
    s_trace_path = o.trace;
    if (!o.trace.empty()) {
        // Written under a temporary name and renamed once complete, as the
        // headless runner does; flushed every frame so a crash keeps it.
        s_trace = std::fopen((o.trace + ".part").c_str(), "w");
        if (s_trace == nullptr) {
            *error = system_error(o.trace);
            tape_writer_close(&s_record);
            return false;
        }
    }
    return true;
}

bool session_poll(std::uint64_t frame, std::uint32_t held, std::uint32_t* word, std::string* error) {
    *word = s_replaying ? tape_word_at(&s_replay, frame) : held;
    if (s_record.file != nullptr && !tape_writer_record(&s_record, frame, *word)) {
        *error = system_error(s_record_path);
        return false;
    }
    return true;
}

bool session_frame_shown(std::uint64_t frame, int buffer, const FrameSurface* shown, std::string* error) {
    if (s_trace != nullptr &&
        (!write_trace_line(s_trace, frame, buffer, frame_hash(shown)) || std::fflush(s_trace) != 0)) {
        *error = system_error(s_trace_path);
        return false;
    }
    return frame_dump_write(s_dump, frame, shown, error);
}

bool session_close(bool failed, std::string* error) {
    bool ok = true;
    if (s_record.file != nullptr && !tape_writer_close(&s_record)) {
        *error = system_error(s_record_path);
        ok = false;
    }
    if (s_trace != nullptr) {
        const std::string part = s_trace_path + ".part";
        bool written = std::fflush(s_trace) == 0 && std::ferror(s_trace) == 0;
        written = std::fclose(s_trace) == 0 && written;
        s_trace = nullptr;
        if (failed) {
            std::remove(part.c_str());
            return ok;
        }
        if (written) written = std::rename(part.c_str(), s_trace_path.c_str()) == 0;
        if (!written) {
            if (ok) *error = system_error(s_trace_path);
            std::remove(part.c_str());
            ok = false;
        }
    }
    return ok;
}
