#include "ports/server/handlers.h"

#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include <cstdio>

#include "ports/common/best_scores.h"
#include "ports/common/files.h"
#include "ports/common/tape.h"
#include "ports/server/limits.h"

using nlohmann::json;

namespace {

std::string dump(const json& j) { return j.dump(-1, ' ', false, json::error_handler_t::replace); }

HallResponse json_ok(int status, const json& body) {
    HallResponse r;
    r.status = status;
    r.body = dump(body);
    return r;
}

HallResponse store_failed(const std::string& error) {
    std::fprintf(stderr, "burrowrotor-server: store: %s\n", error.c_str());
    return json_error(503, "the hall's store cannot answer now; try again later");
}

// A whole number of 1 to `digits` digits, or -1.
std::int64_t parse_number(const std::string& text, std::size_t digits) {
    if (text.empty() || text.size() > digits) return -1;
    std::int64_t v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i)
        if (i == text.size() || text[i] == separator) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    return parts;
}

const char* content_type_of(const std::string& name) {
    static const struct {
        const char* ending;
        const char* type;
    } TYPES[] = {{".html", "text/html; charset=utf-8"}, {".js", "text/javascript"},
                 {".wasm", "application/wasm"},         {".webmanifest", "application/manifest+json"},
                 {".png", "image/png"},                 {".css", "text/css"}};
    for (const auto& t : TYPES) {
        const std::string ending = t.ending;
        if (name.size() > ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
            return t.type;
    }
    return "application/octet-stream";
}

bool get_int(const json& j, const char* key, std::int64_t low, std::int64_t high, std::int64_t* value,
             std::string* error) {
    if (!j.contains(key) || !j[key].is_number_integer()) {
        *error = std::string("'") + key + "' must be a whole number";
        return false;
    }
    *value = j[key].is_number_unsigned() && j[key].get<std::uint64_t>() > static_cast<std::uint64_t>(high)
                 ? high + 1
                 : j[key].get<std::int64_t>();
    if (*value < low || *value > high) {
        *error = std::string("'") + key + "' must be from " + std::to_string(low) + " to " + std::to_string(high);
        return false;
    }
    return true;
}

}  // namespace

HallResponse json_error(int status, const std::string& message) { return json_ok(status, json{{"error", message}}); }

bool RateLimit::admit(const std::string& address) {
    if (per_minute_ <= 0) return true;
    const Clock::time_point now = Clock::now();
    const Clock::time_point old = now - std::chrono::seconds(RATE_WINDOW_SECONDS);
    std::lock_guard<std::mutex> lock(mutex_);
    if (recent_.size() >= RATE_MAX_ADDRESSES && recent_.count(address) == 0) {
        for (auto i = recent_.begin(); i != recent_.end();)
            i = i->second.back() <= old ? recent_.erase(i) : std::next(i);
        if (recent_.size() >= RATE_MAX_ADDRESSES) return false;
    }
    std::vector<Clock::time_point>& times = recent_[address];
    times.erase(times.begin(), std::find_if(times.begin(), times.end(), [&](Clock::time_point t) { return t > old; }));
    if (times.size() >= static_cast<std::size_t>(per_minute_)) return false;
    times.push_back(now);
    return true;
}

bool check_name(const std::string& raw, std::string* name, std::string* key, std::string* error) {
    const std::size_t a = raw.find_first_not_of(' ');
    const std::size_t b = raw.find_last_not_of(' ');
    *name = a == std::string::npos ? std::string() : raw.substr(a, b - a + 1);
    if (name->size() < MIN_NAME_LENGTH || name->size() > MAX_NAME_LENGTH) {
        *error = "the name must have " + std::to_string(MIN_NAME_LENGTH) + " to " + std::to_string(MAX_NAME_LENGTH) +
                 " characters";
        return false;
    }
    key->clear();
    for (const char c : *name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
                        c == '-' || c == '_' || c == '.';
        if (!ok) {
            *error = "the name may hold only letters, digits, spaces, '-', '_' and '.'";
            return false;
        }
        *key += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return true;
}

HallResponse Hall::handle(const HallRequest& request) {
    const std::size_t q = request.target.find('?');
    const std::string path = request.target.substr(0, q);
    const std::string query = q == std::string::npos ? std::string() : request.target.substr(q + 1);
    const std::vector<std::string> parts = split(path, '/');  // parts[0] is the empty text before the first '/'
    const auto only = [](const char* method) {
        HallResponse r = json_error(405, std::string("this address answers only ") + method);
        r.allow = method;
        return r;
    };
    if (path == "/api/runs") return request.method == "POST" ? submit(request) : only("POST");
    if (request.method != "GET") return only("GET");
    const bool api = parts.size() >= 2 && parts[1] == "api";
    if (parts.size() == 4 && api && parts[2] == "runs") return run(parts[3], false);
    if (parts.size() == 5 && api && parts[2] == "runs" && parts[4] == "tape") return run(parts[3], true);
    if (parts.size() == 5 && api && parts[2] == "boards") return board(parts[3], parts[4], query);
    if (path == "/") {
        HallResponse r;
        r.content_type = "text/html; charset=utf-8";
        r.body = hall_page();
        return r;
    }
    if (path == "/play") {
        HallResponse r;
        r.status = 308;
        r.location = "/play/" + (query.empty() ? std::string() : "?" + query);
        // Not a JSON answer: an empty body must not be labelled as one.
        r.content_type = "text/plain; charset=utf-8";
        r.body = "the game is at " + r.location + "\n";
        return r;
    }
    if (parts.size() == 3 && parts[1] == "play") return play_file(parts[2].empty() ? "index.html" : parts[2]);
    return json_error(404, "no such address");
}

HallResponse Hall::submit(const HallRequest& request) {
    if (request.content_encoded) return json_error(415, "send the body without a Content-Encoding");
    if (!rate_.admit(request.address))
        return json_error(429, "more than " + std::to_string(setup_.rate_limit) +
                                   " submissions in a minute from this address; wait a minute");
    const json j = json::parse(request.body, nullptr, false);
    if (!j.is_object()) return json_error(400, "the body must be a JSON object");
    for (const auto& item : j.items()) {
        const std::string& k = item.key();
        if (k != "name" && k != "mode" && k != "speed" && k != "score" && k != "tape")
            return json_error(400, "unknown field '" + k.substr(0, 40) + "' (send name, mode, speed, score and tape)");
    }
    NewRun run;
    std::string error;
    if (!j.contains("name") || !j["name"].is_string()) return json_error(400, "'name' must be a string");
    if (!check_name(j["name"].get<std::string>(), &run.name, &run.name_key, &error)) return json_error(400, error);
    std::int64_t mode = 0, speed = 0;
    if (!get_int(j, "mode", 0, BEST_MODES - 1, &mode, &error) || !get_int(j, "speed", 0, BEST_SPEEDS - 1, &speed, &error) ||
        !get_int(j, "score", 0, MAX_SCORE, &run.score, &error))
        return json_error(400, error);
    run.mode = static_cast<int>(mode);
    run.speed = static_cast<int>(speed);
    if (!j.contains("tape") || !j["tape"].is_string()) return json_error(400, "'tape' must be the tape's text");
    run.tape = j["tape"].get<std::string>();
    ButtonTape tape;
    if (!parse_button_tape(run.tape, &tape, &error)) return json_error(400, "tape " + error);
    if (!tape.entries.empty() && tape.entries.back().frame > MAX_TAPE_FRAMES)
        return json_error(400, "the tape runs to frame " + std::to_string(tape.entries.back().frame) +
                                   ", past four hours (" + std::to_string(MAX_TAPE_FRAMES) + " frames)");
    std::int64_t id = 0;
    if (!setup_.store->add_run(run, &id, &error)) return store_failed(error);
    if (setup_.queued) setup_.queued();
    return json_ok(202, json{{"id", id}});
}

HallResponse Hall::run(const std::string& id_text, bool tape) {
    const std::int64_t id = parse_number(id_text, 18);
    if (id < 0) return json_error(404, "no such run");
    std::string error;
    bool found = false;
    if (tape) {
        HallResponse r;
        if (!setup_.store->get_tape(id, &r.body, &found, &error)) return store_failed(error);
        if (!found) return json_error(404, "no tape is kept for that run");
        r.content_type = "text/plain; charset=utf-8";
        return r;
    }
    RunInfo info;
    if (!setup_.store->get_run(id, &info, &found, &error)) return store_failed(error);
    if (!found) return json_error(404, "no such run");
    json body{{"state", run_state_name(info.state)}, {"reason", info.reason}, {"mode", info.mode},
              {"speed", info.speed}, {"rank", nullptr}};
    if (info.rank > 0) body["rank"] = info.rank;
    return json_ok(200, body);
}

HallResponse Hall::board(const std::string& mode_text, const std::string& speed_text, const std::string& query) {
    const std::int64_t mode = parse_number(mode_text, 1), speed = parse_number(speed_text, 1);
    if (mode < 0 || mode >= BEST_MODES || speed < 0 || speed >= BEST_SPEEDS)
        return json_error(404, "no such board (mode 0-" + std::to_string(BEST_MODES - 1) + ", speed 0-" +
                                   std::to_string(BEST_SPEEDS - 1) + ")");
    std::int64_t limit = DEFAULT_BOARD_LIMIT;
    for (const std::string& pair : split(query, '&')) {
        if (pair.rfind("limit=", 0) != 0) continue;
        limit = parse_number(pair.substr(6), 6);
        if (limit < 1 || limit > MAX_BOARD_LIMIT)
            return json_error(400, "limit must be from 1 to " + std::to_string(MAX_BOARD_LIMIT));
    }
    std::vector<BoardEntry> entries;
    std::string error;
    if (!setup_.store->get_board(static_cast<int>(mode), static_cast<int>(speed), static_cast<int>(limit), &entries,
                                 &error))
        return store_failed(error);
    json list = json::array();
    for (const BoardEntry& e : entries)
        list.push_back(json{{"rank", e.rank}, {"name", e.name}, {"score", e.score}, {"date", e.date}, {"run", e.run}});
    return json_ok(200, json{{"entries", list}});
}

HallResponse Hall::play_file(const std::string& name) {
    if (setup_.play_dir.empty()) return json_error(404, "this server does not serve the browser game (--play DIR)");
    bool plain = !name.empty() && name[0] != '.';
    for (const char c : name)
        plain = plain && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                          c == '-' || c == '_');
    const std::string path = setup_.play_dir + "/" + name;
    struct stat st {};
    if (!plain || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return json_error(404, "no such file");
    HallResponse r;
    std::string error;
    if (!read_file_capped(path, MAX_PLAY_FILE_BYTES, &r.body, &error)) return json_error(404, "cannot read that file");
    r.content_type = content_type_of(name);
    return r;
}
