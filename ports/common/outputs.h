// The files a program is given on its command line. Nothing a program writes
// may land on a file it was given: an output that is an input (or another
// output) under a second name — the same path, a hard or symbolic link, "./x"
// against "x", even of a file or folder not made yet — is refused before
// anything is written. Outputs are written under PATH.part first, so that name
// must not be a given file either.
#pragma once
#include <string>
#include <vector>

struct NamedFile {
    const char* flag;  // how the command line names it: "--input", "OUT.cpp"
    std::string path;  // empty when not given
    bool output;
    bool folder = false;  // an output folder of frame files rather than a file
};

// False with "--trace and --input name the same file (PATH)" when an output
// (or its temporary name) is the same file as any other named file, or with
// "PATH: Is a directory" when an output file is an existing folder.
bool outputs_spare_inputs(const std::vector<NamedFile>& files, std::string* error);
