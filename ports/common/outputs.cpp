#include "ports/common/outputs.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace {

// A file is known by its device and inode. One that does not exist yet is
// known by the folder that will hold it and its name in that folder, so two
// spellings of a new file are still seen to be one.
struct FileId {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    std::string name;  // set when the file does not exist yet
};

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

FileId file_id(const std::string& path) {
    FileId id;
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
        id.exists = true;
    } else if (stat(folder_of(path).c_str(), &info) == 0) {
        id.name = path.substr(path.find_last_of('/') + 1);
    } else {
        id.name = path;  // nowhere to write it; the open will say why
        return id;
    }
    id.dev = info.st_dev;
    id.ino = info.st_ino;
    return id;
}

bool same(const FileId& a, const FileId& b) {
    return a.exists == b.exists && a.dev == b.dev && a.ino == b.ino && a.name == b.name;
}

}  // namespace

bool outputs_spare_inputs(const std::vector<NamedFile>& files, std::string* error) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        const NamedFile& out = files[i];
        if (!out.output || out.path.empty()) continue;
        const FileId target = file_id(out.path), part = file_id(out.path + ".part");
        for (std::size_t j = 0; j < files.size(); ++j) {
            const NamedFile& other = files[j];
            if (j == i || other.path.empty()) continue;
            const FileId id = file_id(other.path);
            if (same(id, target) || same(id, part)) {
                *error = std::string(out.flag) + " and " + other.flag + " name the same file (" + other.path + ")";
                return false;
            }
        }
    }
    return true;
}

bool make_folder(const std::string& path, std::string* error) {
    for (std::size_t at = 1; at <= path.size(); ++at) {
        if (at < path.size() && path[at] != '/') continue;
        const std::string part = path.substr(0, at);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            *error = path + ": " + std::strerror(errno);
            return false;
        }
    }
    struct stat info {};
    const int why = stat(path.c_str(), &info) != 0 ? errno : S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    if (why == 0) return true;
    *error = path + ": " + std::strerror(why);
    return false;
}

bool make_parent_folder(const std::string& path, std::string* error) {
    return path.find('/') == std::string::npos || make_folder(folder_of(path), error);
}
