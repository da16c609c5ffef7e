#include "ports/common/options.h"

#include <cstring>

bool parse_count_arg(const char* flag, const char* text, std::uint64_t limit, std::uint64_t* value,
                     std::string* error, std::uint64_t least) {
    std::uint64_t v = 0;
    bool ok = *text != '\0';
    for (const char* p = text; ok && *p != '\0'; ++p) {
        ok = *p >= '0' && *p <= '9' && v <= limit;
        v = v * 10 + static_cast<std::uint64_t>(*p - '0');
    }
    if (!ok || v < least || v > limit) {
        *error = std::string(flag) + " needs a whole number from " + std::to_string(least) + " to " +
                 (limit == MAX_COUNT_ARG ? std::string("10^12") : std::to_string(limit)) + ", got '" + text + "'";
        return false;
    }
    *value = v;
    return true;
}

bool parse_options(int argc, const char* const* argv, std::initializer_list<Option> table, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const Option* row = nullptr;
        for (const Option& o : table) {
            if (std::strcmp(arg, o.flag) == 0) row = &o;
        }
        if (row == nullptr) {
            *error = std::string("unknown option '") + arg + "' (see --help)";
            return false;
        }
        if (row->on != nullptr) {
            *row->on = true;
            if (row->ends) return true;
            continue;
        }
        if (i + 1 >= argc) {
            *error = std::string(arg) + " needs a value";
            return false;
        }
        const char* value = argv[++i];
        if (*value == '\0') {
            *error = std::string(arg) + (row->count != nullptr ? " needs a whole number" : std::string(" needs ") + row->noun) +
                     ", got an empty value";
            return false;
        }
        if (row->count != nullptr) {
            if (!parse_count_arg(arg, value, row->limit, row->count, error, row->least)) return false;
        } else if (!row->path->empty()) {
            *error = std::string(arg) + " given twice";
            return false;
        } else {
            *row->path = value;
        }
    }
    return true;
}
