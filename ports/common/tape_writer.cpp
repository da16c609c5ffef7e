#include "ports/common/tape_writer.h"

#include <cerrno>

#include "ports/common/tape.h"

bool tape_writer_open(TapeWriter* writer, const char* path, std::string* error) {
    writer->have_word = false;
    writer->out.care = FileCare::Durable;
    if (!part_file_open(&writer->out, path, "w", error)) return false;
    errno = 0;
    if (std::fprintf(writer->out.file, "%s\n", TAPE_HEADER) >= 0 &&
        std::fflush(writer->out.file) == 0)
        return true;
    *error = part_file_reason(std::string(path) + ".part", errno);
    part_file_close(&writer->out, false, error);
    return false;
}

bool tape_writer_record(TapeWriter* writer, std::uint64_t frame, std::uint32_t word) {
    if (writer->out.file == nullptr) return false;
    if (writer->have_word && word == writer->last_word) return true;
    writer->have_word = true;
    writer->last_word = word;
    const std::string buttons = format_button_word(word);
    return std::fprintf(writer->out.file, "%llu %s\n", static_cast<unsigned long long>(frame), buttons.c_str()) > 0 &&
           std::fflush(writer->out.file) == 0;
}

bool tape_writer_close(TapeWriter* writer, std::string* error) {
    if (writer->out.file == nullptr) return true;
    if (part_file_close(&writer->out, true, error)) return true;
    *error += "; the recording is in " + writer->out.path + ".part";
    return false;
}

std::string tape_writer_leave(TapeWriter* writer) { return part_file_leave(&writer->out); }
