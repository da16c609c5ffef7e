#include "ports/common/frame_files.h"

#include "ports/common/files.h"
#include "ports/common/part_file.h"
#include "ports/common/pixels.h"

#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace {

// libpng's own handlers print to stderr; a failed write is reported once, by
// the caller's message naming the file, so these stay silent.
void png_silent_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void png_silent_warning(png_structp, png_const_charp) {}

bool write_png_rows(std::FILE* f, int width, int height, PngColour colour, const unsigned char* bytes,
                    bool smallest) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, png_silent_error, png_silent_warning);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 colour == PngColour::rgba ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (smallest) png_set_compression_level(png, 9);
    png_write_info(png, info);
    const std::size_t row = static_cast<std::size_t>(width) * static_cast<std::size_t>(colour);
    for (int y = 0; y < height; ++y) png_write_row(png, bytes + static_cast<std::size_t>(y) * row);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

std::string frame_file(const std::string& dir, std::uint64_t frame, const char* ext) {
    char name[64];
    std::snprintf(name, sizeof name, "/frame-%06llu.%s", static_cast<unsigned long long>(frame), ext);
    return dir + name;
}

}  // namespace

bool write_png_file(const std::string& path, int width, int height, PngColour colour, const unsigned char* bytes,
                    bool smallest, std::string* error) {
    PartFile out;
    if (!part_file_open(&out, path, "wb", error)) return false;
    errno = 0;
    const bool ok = write_png_rows(out.file, width, height, colour, bytes, smallest);
    if (!ok) *error = part_file_reason(path, errno);
    return part_file_close(&out, ok, error);
}

bool write_png(const std::string& path, const FrameSurface* frame, std::string* error) {
    static Rgb8 rgb[SCREEN_WIDTH * SCREEN_HEIGHT];
    for (int i = 0; i < SCREEN_WIDTH * SCREEN_HEIGHT; ++i) rgb[i] = rgb8(frame->pixels[i]);
    return write_png_file(path, SCREEN_WIDTH, SCREEN_HEIGHT, PngColour::rgb, &rgb[0].r, false, error);
}

bool write_raw(const std::string& path, const FrameSurface* frame, std::string* error) {
    std::string bytes(SURFACE_BYTES, '\0');
    for (int i = 0; i < SCREEN_WIDTH * SCREEN_HEIGHT; ++i) {
        bytes[2 * i] = static_cast<char>(frame->pixels[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(frame->pixels[i] >> 8);
    }
    return replace_file(path, bytes, FileCare::Bulk, error);
}

bool frame_dump_write(const FrameDump& dump, std::uint64_t frame, const FrameSurface* shown, std::string* error) {
    if (dump.png_dir.empty() && dump.raw_dir.empty()) return true;
    if (frame < dump.from || (frame - dump.from) % dump.every != 0) return true;
    if (!dump.png_dir.empty() && !write_png(frame_file(dump.png_dir, frame, "png"), shown, error)) return false;
    if (!dump.raw_dir.empty() && !write_raw(frame_file(dump.raw_dir, frame, "raw"), shown, error)) return false;
    return true;
}

bool frame_dump_check(const FrameDump& dump, std::string* error) {
    for (const std::string* dir : {&dump.png_dir, &dump.raw_dir}) {
        if (dir->empty()) continue;
        if (!make_folder(*dir, error)) return false;
        if (access(dir->c_str(), W_OK | X_OK) != 0) {
            *error = *dir + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}
