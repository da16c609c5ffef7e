#include "ports/desktop/session.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "ports/common/frame_hash.h"
#include "ports/common/outputs.h"
#include "ports/common/part_file.h"
#include "ports/common/submit.h"
#include "ports/common/tape.h"
#include "ports/common/tape_writer.h"
#include "ports/common/trace.h"

namespace {

bool s_replaying = false;
ButtonTape s_replay;
TapeWriter s_record;
PartFile s_trace;
FrameDump s_dump;

}  // namespace

bool session_open(const DesktopOptions& o, std::string* error) {
    if (!outputs_spare_inputs({{"--record", o.record, true},
                               {"--trace", o.trace, true},
                               {"--replay", o.replay, false},
                               {"--png", o.dump.png_dir, true, true},
                               {"--raw", o.dump.raw_dir, true, true}},
                              error))
        return false;
    s_replaying = !o.replay.empty();
    if (s_replaying && !load_button_tape(o.replay.c_str(), &s_replay, error)) return false;
    s_dump = o.dump;
    if (!frame_dump_check(s_dump, error)) return false;
    // Flushed every frame, so a crash keeps it under its temporary name.
    if (!o.trace.empty() && !trace_open(&s_trace, o.trace, error)) return false;
    if (!o.record.empty() && !tape_writer_open(&s_record, o.record.c_str(), error)) {
        std::string ignored;
        part_file_close(&s_trace, false, &ignored);
        return false;
    }
    return true;
}

bool session_poll(std::uint64_t frame, std::uint32_t held, std::uint32_t* word, std::string* error) {
    *word = s_replaying ? tape_word_at(&s_replay, frame) : held;
    submit_poll(frame, *word);
    if (s_record.out.file != nullptr && !tape_writer_record(&s_record, frame, *word)) {
        *error = part_file_reason(s_record.out.path + ".part", errno);
        return false;
    }
    return true;
}

bool session_frame_shown(std::uint64_t frame, int buffer, const FrameSurface* shown, std::string* error) {
    if (s_trace.file != nullptr &&
        (!write_trace_line(s_trace.file, frame, buffer, frame_hash(shown)) || std::fflush(s_trace.file) != 0)) {
        *error = part_file_reason(s_trace.path + ".part", errno);
        return false;
    }
    return frame_dump_write(s_dump, frame, shown, error);
}

bool session_close(bool failed, std::string* error) {
    bool ok = true;
    if (s_record.out.file != nullptr && failed) {
        const std::string path = s_record.out.path;
        *error = "the recording so far is in " + tape_writer_leave(&s_record) + ", " + path + " is unchanged";
        ok = false;
    } else if (s_record.out.file != nullptr && !tape_writer_close(&s_record, error)) {
        ok = false;
    }
    if (s_trace.file != nullptr) {
        // A failed session drops its trace; otherwise the first error stands.
        std::string trace_error;
        if (!part_file_close(&s_trace, !failed, &trace_error) && !failed) {
            if (ok) *error = trace_error;
            ok = false;
        }
    }
    return ok;
}
