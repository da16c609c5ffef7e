#include "ports/desktop/score_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr long MAX_FILE_BYTES = 64 * 1024;  // a table is under 400 bytes

std::string reason() { return std::strerror(errno); }

std::string folder_of(const std::string& path) { return path.substr(0, path.rfind('/')); }

enum class Read { OK, MISSING, FAILED };

// The whole file as text; FAILED with the reason (no path).
Read read_text(const std::string& path, std::string* text, std::string* why) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return Read::MISSING;
        *why = reason();
        return Read::FAILED;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            *why = reason();
            ::close(fd);
            return Read::FAILED;
        }
        text->append(buffer, static_cast<std::size_t>(n));
        if (static_cast<long>(text->size()) > MAX_FILE_BYTES) {
            *why = "larger than " + std::to_string(MAX_FILE_BYTES) + " bytes, not a best-score table";
            ::close(fd);
            return Read::FAILED;
        }
    }
    ::close(fd);
    return Read::OK;
}

// Renames `path` to the first free name of path.damaged, path.damaged-2, ...
// without ever replacing a file that is there.
bool set_aside(const std::string& path, std::string* aside, std::string* why) {
    for (int n = 1; n < 100; ++n) {
        *aside = path + ".damaged" + (n == 1 ? "" : "-" + std::to_string(n));
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside->c_str(), RENAME_NOREPLACE) == 0) return true;
        if (errno == EEXIST) continue;
        if (errno != EINVAL && errno != ENOSYS) break;
        // A file system without the no-replace rename: a second link, then
        // the old name goes.
        if (::link(path.c_str(), aside->c_str()) == 0) {
            if (::unlink(path.c_str()) == 0) return true;
            const int e = errno;
            ::unlink(aside->c_str());
            errno = e;
            break;
        }
        if (errno != EEXIST) break;
    }
    *why = reason();
    return false;
}

// Makes the folder and its parents as needed.
bool make_folders(const std::string& folder, std::string* why) {
    for (std::size_t i = 1; i <= folder.size(); ++i) {
        if (i != folder.size() && folder[i] != '/') continue;
        const std::string part = folder.substr(0, i);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            *why = "cannot make " + part + ": " + reason();
            return false;
        }
    }
    return true;
}

bool fsync_folder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

std::string score_file_path() {
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    // Only an absolute XDG_DATA_HOME counts; a relative one is to be ignored.
    if (data != nullptr && data[0] == '/') return std::string(data) + "/burrowrotor/best-scores.txt";
    if (home != nullptr && home[0] != '\0') return std::string(home) + "/.local/share/burrowrotor/best-scores.txt";
    return "";
}

bool score_file_read(const std::string& path, BestScores* table, std::string* error) {
    std::string text, why;
    const Read r = read_text(path, &text, &why);
    if (r == Read::MISSING) return true;
    if (r == Read::OK && parse_best_scores(text, table, &why)) return true;
    *error = path + ": " + why;
    return false;
}

void score_file_open(ScoreFile* file, const std::string& path, BestScores* table, std::string* note) {
    file->path = path;
    file->can_save = false;
    if (path.empty()) {
        *note = "best scores are not kept: neither XDG_DATA_HOME nor HOME is set";
        return;
    }
    std::string why;
    if (!score_file_read(path, table, &why)) {
        *table = BestScores{};
        std::string aside, aside_why;
        if (!set_aside(path, &aside, &aside_why)) {
            *note = "best scores: " + why + "; it cannot be set aside (" + aside_why +
                    "), so this session's scores are not kept";
            return;
        }
        *note = "best scores: " + why + "; kept it as " + aside + " and started a new table";
    }
    // The folder is made with the first best; until then the nearest folder
    // there is must take it.
    std::string folder = folder_of(path);
    while (::access(folder.c_str(), F_OK) != 0 && folder.rfind('/') != std::string::npos && folder.rfind('/') > 0)
        folder = folder_of(folder);
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        if (note->empty()) *note = "best scores are not kept this session: cannot write to " + folder + ": " + reason();
        return;
    }
    file->can_save = true;
}

void score_file_save(ScoreFile* file, BestScores* table, std::string* note) {
    if (!file->can_save) return;
    // Another game may have kept scores of its own since this one started;
    // a file damaged since then is set aside like at start-up.
    BestScores there;
    std::string damaged;
    if (score_file_read(file->path, &there, &damaged)) {
        for (int m = 0; m < BEST_MODES; ++m)
            for (int s = 0; s < BEST_SPEEDS; ++s) record_best_score(table, m, s, there.score[m][s]);
    } else {
        std::string aside, why;
        if (!set_aside(file->path, &aside, &why)) {
            file->can_save = false;
            *note = "best scores: " + damaged + "; it cannot be set aside (" + why + "), so this session's scores are not kept";
            return;
        }
        *note = "best scores: " + damaged + "; kept it as " + aside + " and wrote a new table";
    }

    const std::string text = format_best_scores(*table);
    std::string temporary = file->path + ".XXXXXX";
    std::string why;
    const int fd = make_folders(folder_of(file->path), &why) ? ::mkstemp(&temporary[0]) : -1;
    bool ok = fd >= 0;
    if (!ok && why.empty()) why = "cannot make a temporary file beside it: " + reason();
    for (std::size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
        else why = "cannot write " + temporary + ": " + reason();
    }
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        why = "cannot flush " + temporary + " to the disk: " + reason();
    }
    if (fd >= 0 && ::close(fd) != 0 && ok) {
        ok = false;
        why = "cannot write " + temporary + ": " + reason();
    }
    if (ok && ::rename(temporary.c_str(), file->path.c_str()) != 0) {
        ok = false;
        why = "cannot rename " + temporary + " to it: " + reason();
    }
    if (!ok) {
        if (fd >= 0) ::unlink(temporary.c_str());
        file->can_save = false;
        *note = "best scores: " + file->path + ": " + why + "; this session's scores are not kept";
        return;
    }
    fsync_folder(folder_of(file->path));
}
