#include "ports/common/count_arg.h"

bool parse_count_arg(const char* flag, const char* text, std::uint64_t limit, std::uint64_t* value,
                     std::string* error) {
    std::uint64_t v = 0;
    bool ok = *text != '\0';
    for (const char* p = text; ok && *p != '\0'; ++p) {
        ok = *p >= '0' && *p <= '9' && v <= limit;
        v = v * 10 + static_cast<std::uint64_t>(*p - '0');
    }
    if (!ok || v == 0 || v > limit) {
        *error = std::string(flag) + " needs a whole number from 1 to " +
                 (limit == MAX_COUNT_ARG ? std::string("10^12") : std::to_string(limit)) + ", got '" + text + "'";
        return false;
    }
    *value = v;
    return true;
}
