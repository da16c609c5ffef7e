#include "tools/handheld-emu/device_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

const char* const DEVICE_NAME[DEVICE_COUNT] = {"GPIO", "mem", "fb0", "fb1"};

namespace {

bool fail(const std::string& path, std::string* error) {
    *error = path + ": " + std::strerror(errno);
    return false;
}

bool write_file(const std::string& path, const unsigned char* data, std::size_t size, long long length,
                std::string* error) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return fail(path, error);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) {
            close(fd);
            return fail(path, error);
        }
        done += static_cast<std::size_t>(n);
    }
    // The rest (the 3 GiB in front of the register block) stays a hole.
    if (ftruncate(fd, length) != 0 || close(fd) != 0) return fail(path, error);
    return true;
}

}  // namespace

bool make_device_files(const EmulatorConfig& config, DeviceFiles* files, std::string* error) {
    struct stat shm {};
    const std::string base = !config.work_dir.empty()                              ? config.work_dir
                             : stat("/dev/shm", &shm) == 0 && S_ISDIR(shm.st_mode) ? "/dev/shm"
                                                                                   : "/tmp";
    std::string templ = base + "/burrowrotor-handheld-XXXXXX";
    std::vector<char> name(templ.begin(), templ.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) return fail(templ, error);
    files->dir = name.data();
    files->stdout_path = files->dir + "/stdout";
    files->stderr_path = files->dir + "/stderr";

    for (int d = 0; d < DEVICE_COUNT; ++d) {
        const DeviceShape shape = config.shape[d];
        if (shape == DeviceShape::missing) continue;
        const std::string path = files->dir + "/" + DEVICE_NAME[d];
        files->path[d] = path;
        if (shape == DeviceShape::refuses_mapping) {
            if (mkfifo(path.c_str(), 0644) != 0) return fail(path, error);
            continue;
        }
        if (shape == DeviceShape::unreadable) {
            if (mkdir(path.c_str(), 0755) != 0) return fail(path, error);
            continue;
        }
        bool ok = true;
        if (d == DEVICE_GPIO) {
            ok = write_file(path, config.tape.data(), config.tape.size(), static_cast<long long>(config.tape.size()),
                            error);
        } else if (d == DEVICE_MEM) {
            ok = write_file(path, nullptr, 0, shape == DeviceShape::too_short ? MEM_SHORT_SIZE : MEM_FILE_SIZE, error);
        } else {
            const long long size = shape == DeviceShape::too_short ? FB_SHORT_SIZE : FB_FILE_SIZE;
            const std::vector<unsigned char> fill(static_cast<std::size_t>(size), BUFFER_FILL);
            ok = write_file(path, fill.data(), fill.size(), size, error);
        }
        if (!ok) return false;
    }
    return true;
}

void remove_device_files(const DeviceFiles& files) {
    if (files.dir.empty()) return;
    for (const std::string& path : files.path) {
        if (path.empty()) continue;
        if (unlink(path.c_str()) != 0) rmdir(path.c_str());
    }
    unlink(files.stdout_path.c_str());
    unlink(files.stderr_path.c_str());
    rmdir(files.dir.c_str());
}

bool file_holds_only(const std::string& path, unsigned char fill, long long offset, long long length) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    bool same = fstat(fd, &info) == 0 && info.st_size == offset + length;
    unsigned char chunk[65536];
    long long done = 0;
    while (same && done < length) {
        const long long want = length - done < static_cast<long long>(sizeof chunk) ? length - done
                                                                                   : static_cast<long long>(sizeof chunk);
        const ssize_t n = pread(fd, chunk, static_cast<std::size_t>(want), static_cast<off_t>(offset + done));
        if (n <= 0) {
            same = false;
            break;
        }
        for (ssize_t i = 0; i < n && same; ++i) same = chunk[i] == fill;
        done += n;
    }
    close(fd);
    return same;
}
