#include "ports/common/outputs.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "ports/common/files.h"

namespace {

// A file is known by its device and inode. One that does not exist yet is
// known by the nearest folder on its path that does, and the rest of its path
// from there with "." and empty steps dropped and "a/.." undone (the folders
// still to be made are plain folders), so two spellings of a new file are
// still seen to be one.
struct FileId {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    std::string rest;  // set when the file does not exist yet
};

std::string normalised(const std::string& rest) {
    std::string out;
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find('/', start);
        if (end == std::string::npos) end = rest.size();
        const std::string step = rest.substr(start, end - start);
        start = end + 1;
        if (step.empty() || step == ".") continue;
        const std::size_t last = out.find_last_of('/');
        const std::string previous = last == std::string::npos ? out : out.substr(last + 1);
        if (step == ".." && !out.empty() && previous != "..") out.erase(last == std::string::npos ? 0 : last);
        else out += (out.empty() ? "" : "/") + step;
    }
    return out;
}

FileId file_id(const std::string& path) {
    FileId id;
    struct stat info {};
    std::string known = path, rest;
    while (stat(known.c_str(), &info) != 0) {
        const std::string up = folder_of(known);
        if (up == known) return id;  // not even "." or "/" can be seen; the open will say why
        rest = known.substr(known.find_last_of('/') + 1) + "/" + rest;
        known = up;
    }
    id.exists = rest.empty();
    id.dev = info.st_dev;
    id.ino = info.st_ino;
    id.rest = normalised(rest);
    return id;
}

bool same(const FileId& a, const FileId& b) {
    return a.exists == b.exists && a.dev == b.dev && a.ino == b.ino && a.rest == b.rest;
}

}  // namespace

bool outputs_spare_inputs(const std::vector<NamedFile>& files, std::string* error) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        const NamedFile& out = files[i];
        if (!out.output || out.path.empty()) continue;
        struct stat info {};
        // A finished file could never be renamed onto a folder: say so before
        // the session is played, not after.
        if (!out.folder && stat(out.path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            *error = out.path + ": " + std::strerror(EISDIR);
            return false;
        }
        const FileId target = file_id(out.path), part = file_id(out.path + ".part");
        for (std::size_t j = 0; j < files.size(); ++j) {
            const NamedFile& other = files[j];
            // Frame files of two kinds may share a folder: their names differ.
            if (j == i || other.path.empty() || (out.folder && other.folder)) continue;
            const FileId id = file_id(other.path);
            if (same(id, target) || (!out.folder && same(id, part))) {
                *error = std::string(out.flag) + " and " + other.flag + " name the same file (" + other.path + ")";
                return false;
            }
        }
    }
    return true;
}
