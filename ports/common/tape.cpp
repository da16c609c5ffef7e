#include "ports/common/tape.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/buttons.h"
#include "ports/common/files.h"
#include "ports/common/message.h"

const char TAPE_HEADER[] = "# burrowrotor tape 2 rules 1";

namespace {

struct ButtonName {
    const char* name;
    int bit;
};
constexpr ButtonName BUTTON_NAMES[] = {
    {"UP", BUTTON_UP}, {"LEFT", BUTTON_LEFT}, {"DOWN", BUTTON_DOWN}, {"RIGHT", BUTTON_RIGHT}, {"ACTION", BUTTON_ACTION},
};

constexpr std::size_t MAX_LINE = 256;  // no valid line comes near this

bool is_space(char c) { return c == ' ' || c == '\t'; }

// What the message quotes of a line: at most 40 characters, control bytes shown as \xHH.
std::string shorten(const std::string& s) { return one_line(s.size() <= 40 ? s : s.substr(0, 40) + "..."); }

bool parse_buttons(const std::string& token, std::uint32_t* word, std::string* why) {
    if (token == "-") {
        *word = 0;
        return true;
    }
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
        if (token.size() > 10) {
            *why = "button word '" + shorten(token) + "' has more than 8 hex digits";
            return false;
        }
        std::uint32_t w = 0;
        for (std::size_t i = 2; i < token.size(); ++i) {
            const char c = token[i];
            int v;
            if (c >= '0' && c <= '9') v = c - '0';
            else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
            else {
                *why = "bad hex digit in button word '" + shorten(token) + "'";
                return false;
            }
            w = (w << 4) | static_cast<std::uint32_t>(v);
        }
        *word = w;
        return true;
    }
    std::uint32_t w = 0;
    std::size_t pos = 0;
    while (true) {
        const std::size_t comma = token.find(',', pos);
        const std::string name = token.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        bool found = false;
        for (const ButtonName& b : BUTTON_NAMES)
            if (name == b.name) {
                w |= 1u << b.bit;
                found = true;
            }
        if (!found) {
            *why = name.empty() ? "empty button name in '" + shorten(token) + "'"
                                : "unknown button '" + shorten(name) + "' (use UP, LEFT, DOWN, RIGHT, ACTION, - or 0x...)";
            return false;
        }
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    *word = w;
    return true;
}

bool parse_line(const std::string& raw, std::uint64_t previous, bool have_previous, TapeEntry* entry, bool* empty,
                std::string* why) {
    std::string line = raw;
    const std::size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::size_t a = 0, b = line.size();
    while (a < b && (is_space(line[a]) || line[a] == '\r')) ++a;
    while (b > a && (is_space(line[b - 1]) || line[b - 1] == '\r')) --b;
    *empty = a == b;
    if (*empty) return true;
    if (raw.size() > MAX_LINE) {
        *why = "line is too long (" + std::to_string(raw.size()) + " characters)";
        return false;
    }
    std::size_t i = a;
    std::uint64_t frame = 0;
    if (!(line[i] >= '0' && line[i] <= '9')) {
        *why = "expected a frame number, found '" + shorten(line.substr(a, b - a)) + "'";
        return false;
    }
    while (i < b && line[i] >= '0' && line[i] <= '9') {
        if (frame > 1000000000000ull) {
            *why = "frame number is too large";
            return false;
        }
        frame = frame * 10 + static_cast<std::uint64_t>(line[i] - '0');
        ++i;
    }
    if (i < b && !is_space(line[i])) {
        *why = "bad frame number '" + shorten(line.substr(a, b - a)) + "'";
        return false;
    }
    if (frame == 0) {
        *why = "frame numbers start at 1";
        return false;
    }
    if (have_previous && frame <= previous) {
        *why = "frame " + std::to_string(frame) + " does not come after frame " + std::to_string(previous);
        return false;
    }
    while (i < b && is_space(line[i])) ++i;
    if (i == b) {
        *why = "frame " + std::to_string(frame) + " has no buttons (use - for none)";
        return false;
    }
    std::size_t j = i;
    while (j < b && !is_space(line[j])) ++j;
    const std::string token = line.substr(i, j - i);
    while (j < b && is_space(line[j])) ++j;
    if (j != b) {
        *why = "unexpected '" + shorten(line.substr(j, b - j)) + "' after the buttons";
        return false;
    }
    entry->frame = frame;
    return parse_buttons(token, &entry->word, why);
}

// A first line "# burrowrotor tape F rules R": a tape this build cannot
// play is refused; any other first line is left to parse_line.
bool check_header(const std::string& line, std::string* why) {
    static const char PREFIX[] = "# burrowrotor tape ";
    if (line.compare(0, sizeof PREFIX - 1, PREFIX) != 0) return true;
    unsigned format = 0, rules = 0;
    char rest = 0;
    const std::string text = line.size() > 0 && line.back() == '\r' ? line.substr(0, line.size() - 1) : line;
    if (std::sscanf(text.c_str() + sizeof PREFIX - 1, "%4u rules %4u%c", &format, &rules, &rest) != 2) {
        *why = "unreadable tape header '" + shorten(text) + "' (expected '" + TAPE_HEADER + "')";
        return false;
    }
    if (format < 1 || format > TAPE_FORMAT) {
        *why = "tape format " + std::to_string(format) + " is not one this build reads (1 to " +
               std::to_string(TAPE_FORMAT) + ")";
        return false;
    }
    if (rules != TAPE_RULES) {
        *why = "tape of rules version " + std::to_string(rules) + ", this build plays rules " +
               std::to_string(TAPE_RULES);
        return false;
    }
    return true;
}

}  // namespace

bool parse_button_tape(const std::string& text, ButtonTape* tape, std::string* error) {
    tape->entries.clear();
    tape->cursor = 0;
    std::size_t pos = 0;
    std::uint64_t line_no = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        ++line_no;
        TapeEntry entry{};
        bool empty = false;
        std::string why;
        const bool have_previous = !tape->entries.empty();
        const std::uint64_t previous = have_previous ? tape->entries.back().frame : 0;
        if ((line_no == 1 && !check_header(text.substr(pos, std::min(end - pos, MAX_LINE)), &why)) ||
            !parse_line(text.substr(pos, end - pos), previous, have_previous, &entry, &empty, &why)) {
            *error = "line " + std::to_string(line_no) + ": " + why;
            return false;
        }
        if (!empty) tape->entries.push_back(entry);
        pos = end + 1;
    }
    return true;
}

bool load_button_tape(const char* path, ButtonTape* tape, std::string* error) {
    std::string text;
    if (!read_file_capped(path, TAPE_MAX_BYTES, &text, error)) return false;
    std::string why;
    if (!parse_button_tape(text, tape, &why)) {
        // "line N: ..." becomes "PATH:N: ..."
        *error = std::string(path) + ":" + why.substr(5);
        return false;
    }
    return true;
}

std::uint32_t tape_word_at(ButtonTape* tape, std::uint64_t frame) {
    const auto& e = tape->entries;
    // The cursor counts the entries at or before the last frame asked; start
    // over when the last of them lies after this one.
    if (tape->cursor > 0 && e[tape->cursor - 1].frame > frame) tape->cursor = 0;
    while (tape->cursor < e.size() && e[tape->cursor].frame <= frame) ++tape->cursor;
    return tape->cursor == 0 ? 0u : e[tape->cursor - 1].word;
}

std::string format_button_word(std::uint32_t word) {
    if (word == 0) return "-";
    std::uint32_t named = 0;
    for (const ButtonName& b : BUTTON_NAMES) named |= 1u << b.bit;
    if ((word & ~named) != 0) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X", word);
        return hex;
    }
    std::string out;
    for (const ButtonName& b : BUTTON_NAMES)
        if (word & (1u << b.bit)) {
            if (!out.empty()) out += ',';
            out += b.name;
        }
    return out;
}
