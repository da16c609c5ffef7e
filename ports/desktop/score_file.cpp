#include "ports/desktop/score_file.h"

#include <SDL.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "game/last_game.h"
#include "ports/common/files.h"
#include "ports/common/score_keeper.h"
#include "ports/common/submit.h"
#include "ports/common/message.h"
#include "ports/desktop/video.h"

namespace {

constexpr std::size_t MAX_FILE_BYTES = 64 * 1024;  // a table is under 400 bytes

std::string reason() { return std::strerror(errno); }

// MISSING is an empty table. UNREADABLE (an open or read error, or a table
// of a later version) is left alone; only a DAMAGED version-1 text is set aside.
enum class Read { OK, MISSING, UNREADABLE, DAMAGED };

Read read_table(const std::string& path, BestScores* table, std::string* why) {
    std::string text, detail;
    if (!read_file_capped(path, MAX_FILE_BYTES, &text, why)) return errno == ENOENT ? Read::MISSING : Read::UNREADABLE;
    if (parse_best_scores(text, table, &detail)) return Read::OK;
    *why = path + ": " + detail;
    const bool later = text.rfind("burrowrotor best scores ", 0) == 0 && detail.rfind("line 1:", 0) == 0;
    return later ? Read::UNREADABLE : Read::DAMAGED;
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

// Sets a damaged table aside; false with the note when it cannot be.
bool set_aside_noted(const std::string& path, const std::string& why, const char* then, std::string* note) {
    std::string aside, aside_why;
    if (!set_aside(path, &aside, &aside_why)) {
        *note = "best scores: " + why + "; it cannot be set aside (" + aside_why + "), so this session's scores are not kept";
        return false;
    }
    *note = "best scores: " + why + "; kept it as " + aside + then;
    return true;
}

std::string left_alone(const std::string& why) {
    return "best scores: " + why + "; left as it is, so this session's scores are not kept";
}

// Another running game may read, merge and replace the table at the same
// time: each waits for the other's whole turn. -1 (no lock, and nothing
// held) when the lock file can be neither made nor opened.
int lock_table(const std::string& path) {
    const std::string lock = path + ".lock";
    int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) fd = ::open(lock.c_str(), O_RDONLY | O_CLOEXEC);
    while (fd >= 0 && ::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    return fd;
}

void unlock_table(int fd) {
    if (fd >= 0) ::close(fd);
}

ScoreKeeper s_keeper;
ScoreFile s_file;
const char* s_note = nullptr;  // a word for the status line ("MUTED"), for NOTE_MS
Uint32 s_note_until = 0;
constexpr Uint32 NOTE_MS = 2000;

void tell(const std::string& note) {
    if (!note.empty()) say("burrowrotor", note);
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
    const Read r = read_table(path, table, error);
    return r == Read::OK || r == Read::MISSING;
}

void score_file_open(ScoreFile* file, const std::string& path, BestScores* table, std::string* note) {
    file->path = path;
    file->can_save = false;
    if (path.empty()) {
        *note = "best scores are not kept: neither XDG_DATA_HOME nor HOME is set";
        return;
    }
    std::string why;
    const int lock = ::access(folder_of(path).c_str(), F_OK) == 0 ? lock_table(path) : -1;
    const Read r = read_table(path, table, &why);
    bool go_on = r == Read::OK || r == Read::MISSING;
    if (r == Read::UNREADABLE) *note = left_alone(why);
    if (r == Read::DAMAGED) {
        *table = BestScores{};
        go_on = set_aside_noted(path, why, " and started a new table", note);
    }
    unlock_table(lock);
    if (!go_on) return;
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

bool score_file_save(ScoreFile* file, BestScores* table, int mode, int speed, std::string* note) {
    if (!file->can_save) return true;
    std::string why;
    if (!make_parent_folder(file->path, &why)) {
        file->can_save = false;
        *note = "best scores: " + why + "; this session's scores are not kept";
        return true;
    }
    const int lock = lock_table(file->path);
    // Another game may have kept scores of its own since this one started;
    // a table damaged since then is set aside like at start-up.
    BestScores there;
    bool beaten = true;
    switch (read_table(file->path, &there, &why)) {
        case Read::OK:
            beaten = best_score_of(there, mode, speed) < best_score_of(*table, mode, speed);
            for (int m = 0; m < BEST_MODES; ++m)
                for (int s = 0; s < BEST_SPEEDS; ++s) record_best_score(table, m, s, there.score[m][s]);
            break;
        case Read::MISSING: break;
        case Read::UNREADABLE:
            *note = left_alone(why);
            file->can_save = false;
            break;
        case Read::DAMAGED: file->can_save = set_aside_noted(file->path, why, " and wrote a new table", note); break;
    }
    if (file->can_save && !replace_file(file->path, format_best_scores(*table), FileCare::Durable, &why)) {
        file->can_save = false;
        *note = "best scores: " + why + "; this session's scores are not kept";
    }
    unlock_table(lock);
    return beaten;
}

void scores_open(const DesktopOptions& options) {
    std::string note;
    s_keeper.counting = options.replay.empty();
    if (s_keeper.counting) {
        score_file_open(&s_file, score_file_path(), &s_keeper.table, &note);
    } else if (!score_file_read(score_file_path(), &s_keeper.table, &note)) {
        // A replay only shows the table: a damaged file is left where it is.
        s_keeper.table = BestScores{};
        note = "best scores: " + note;
    }
    tell(note);
}

bool scores_frame_shown() {
    bool best = score_keeper_frame_shown(&s_keeper);
    if (best) {
        std::string note;
        if (!score_file_save(&s_file, &s_keeper.table, g_last_mode, g_last_speed, &note)) {
            s_keeper.new_best_frames = 0;
            best = false;
        }
        tell(note);
        if (best) submit_new_best(g_last_mode, g_last_speed, s_keeper.new_best);
    }
    scores_update_status(false);
    return best;
}

bool scores_update_status(bool paused) {
    if (s_note != nullptr && SDL_TICKS_PASSED(SDL_GetTicks(), s_note_until)) s_note = nullptr;
    if (s_note != nullptr) return status_line_set(s_note, true);
    char text[STATUS_LINE_SIZE];
    format_status_line(s_keeper, paused, text, sizeof text);
    return status_line_set(text, paused || s_keeper.new_best_frames > 0);
}

void scores_note(const char* text) {
    s_note = text;
    s_note_until = SDL_GetTicks() + NOTE_MS;
}

int scores_print() {
    const std::string path = score_file_path();
    if (path.empty()) {
        std::fprintf(stderr, "burrowrotor: no best scores: neither XDG_DATA_HOME nor HOME is set\n");
        return 1;
    }
    BestScores table;
    std::string error;
    if (!score_file_read(path, &table, &error)) {
        say("burrowrotor", error);
        return 1;
    }
    std::printf("Best scores (%s)\n\n%s", one_line(path).c_str(), format_best_scores_table(table).c_str());
    return 0;
}
