#include "ports/common/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "ports/common/part_file.h"

namespace {

bool write_all(int fd, const std::string& contents) {
    for (std::size_t done = 0; done < contents.size();) {
        const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool read_file_capped(const std::string& path, std::size_t cap, std::string* out, std::string* error) {
    out->clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int why = errno;  // the caller tells a missing file by it
        *error = part_file_reason(path, why);
        errno = why;
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || out->size() + static_cast<std::size_t>(n) > cap) {
            const int why = n < 0 ? errno : EFBIG;
            *error = n < 0 ? part_file_reason(path, why) : path + ": larger than " + std::to_string(cap) + " bytes";
            ::close(fd);
            out->clear();
            errno = why;
            return false;
        }
        out->append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

bool make_folder(const std::string& path, std::string* error) {
    for (std::size_t at = 1; at <= path.size(); ++at) {
        if (at < path.size() && path[at] != '/') continue;
        const std::string part = path.substr(0, at);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            *error = part_file_reason(path, errno);
            return false;
        }
    }
    struct stat info {};
    const int why = stat(path.c_str(), &info) != 0 ? errno : S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    if (why == 0) return true;
    *error = part_file_reason(path, why);
    return false;
}

bool make_parent_folder(const std::string& path, std::string* error) {
    return path.find('/') == std::string::npos || make_folder(folder_of(path), error);
}

bool replace_file(const std::string& path, const std::string& contents, FileCare care, std::string* error) {
    // A name no other writer uses, so two programs writing PATH at once each
    // finish their own file and the last rename wins whole. The desktop
    // writes from the game and from the hall of fame's sender at once.
    static std::atomic<unsigned> serial{0};
    std::string temporary;
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 100; ++tries) {
        temporary = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        *error = part_file_reason(path, errno);
        return false;
    }
    errno = 0;
    bool ok = write_all(fd, contents) && (care == FileCare::Bulk || ::fsync(fd) == 0);
    int why = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        why = errno;
    }
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        why = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        *error = part_file_reason(path, why);
        return false;
    }
    if (care == FileCare::Durable) sync_folder(folder_of(path));
    return true;
}

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void sync_folder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);  // some file systems cannot; the rename is made all the same
    ::close(fd);
}
