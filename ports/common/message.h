// Messages for the terminal. They quote what the user typed or what a file
// holds, so a control byte in it (a newline, a carriage return, an escape
// sequence) is shown as \xHH: a message always stays one line and never
// drives the terminal.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

inline std::string one_line(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

// Prints "PROGRAM: TEXT" on stderr as one line, TEXT quoted as above.
inline void say(const char* program, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", program, one_line(text).c_str());
}

// Exits with status 2 and "usage: USAGE" on stderr unless the program was
// given exactly `count` arguments.
inline void need_arguments(int argc, int count, const char* usage) {
    if (argc == count + 1) return;
    std::fprintf(stderr, "usage: %s\n", usage);
    std::exit(2);
}
