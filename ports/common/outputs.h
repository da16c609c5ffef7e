// The files a program is given on its command line. Nothing a program writes
// may land on a file it was given: an output that is an input (or another
// output) under a second name — the same path, a hard or symbolic link, "./x"
// against "x" — is refused before anything is written. Outputs are written
// under PATH.part first, so that name must not be a given file either.
#pragma once
#include <string>
#include <vector>

struct NamedFile {
    const char* flag;  // how the command line names it: "--input", "OUT.cpp"
    std::string path;  // empty when not given
    bool output;
};

// False with "--trace and --input name the same file (PATH)" when an output
// (or its temporary name) is the same file as any other named file.
bool outputs_spare_inputs(const std::vector<NamedFile>& files, std::string* error);

// Creates the folder and any missing parents ("mkdir -p"); false with
// "PATH: reason" when that fails or PATH is not a folder.
bool make_folder(const std::string& path, std::string* error);

// Creates the folder that will hold the file PATH, as make_folder.
bool make_parent_folder(const std::string& path, std::string* error);
