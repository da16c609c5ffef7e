// The one home for files: reading one whole, making folders, replacing one
// whole. A file is never truncated and rewritten in place: the new contents go
// to a temporary name beside it and a rename puts them there at once, so a
// crash or a full disk leaves the old file or the new one, never half of each.
#pragma once
#include <cstddef>
#include <string>

// Reads the whole file into `out`; false with "PATH: reason" (and errno set,
// EFBIG with "larger than N bytes" when it holds more than `cap` bytes).
bool read_file_capped(const std::string& path, std::size_t cap, std::string* out, std::string* error);

// Creates the folder and any missing parents ("mkdir -p"); false with
// "PATH: reason" when that fails or PATH is not a folder.
bool make_folder(const std::string& path, std::string* error);

// Creates the folder that will hold the file PATH, as make_folder.
bool make_parent_folder(const std::string& path, std::string* error);

// Durable: the player's own data (tapes, the best-score table, settings) is
// on the disk, file and folder, before it is reported kept. Bulk: frame files
// and generated sources, which can be made again, skip that wait.
enum class FileCare { Bulk, Durable };

// Writes `contents` under a unique temporary name in PATH's folder and renames
// it to PATH; false with "PATH: reason", the temporary gone and PATH as it was.
bool replace_file(const std::string& path, const std::string& contents, FileCare care, std::string* error);

// The folder that holds PATH: "a/b" -> "a", "b" -> ".", "/b" -> "/".
std::string folder_of(const std::string& path);

// Flushes the folder's list of names to the disk (after a rename in it).
void sync_folder(const std::string& folder);
