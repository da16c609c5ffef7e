#include "ports/common/part_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
std::string part_name(const std::string& path) { return path + ".part"; }
}  // namespace

std::string part_file_reason(const std::string& name, int error_number) {
    return name + ": " + (error_number != 0 ? std::strerror(error_number) : "the write failed");
}

bool part_file_open(PartFile* out, const std::string& path, const char* mode, std::string* error) {
    out->path = path;
    out->file = std::fopen(part_name(path).c_str(), mode);
    if (out->file != nullptr) return true;
    *error = part_file_reason(path, errno);
    return false;
}

bool part_file_close(PartFile* out, bool keep, std::string* error) {
    if (out->file == nullptr) return false;
    const std::string part = part_name(out->path);
    const bool durable = out->care == FileCare::Durable;
    errno = 0;
    bool written = std::fflush(out->file) == 0 && std::ferror(out->file) == 0 &&
                   (!durable || !keep || ::fsync(fileno(out->file)) == 0);
    int reason = written ? 0 : errno;
    if (std::fclose(out->file) != 0 && written) {
        written = false;
        reason = errno;
    }
    out->file = nullptr;
    if (keep && written && std::rename(part.c_str(), out->path.c_str()) == 0) {
        if (durable) sync_folder(folder_of(out->path));
        return true;
    }
    if (keep) *error = part_file_reason(out->path, written ? errno : reason);
    if (!keep || !durable) std::remove(part.c_str());
    return false;
}

std::string part_file_leave(PartFile* out) {
    if (out->file != nullptr) std::fclose(out->file);
    out->file = nullptr;
    return part_name(out->path);
}
