#include "ports/common/submit.h"

#include <curl/curl.h>
#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "ports/common/best_scores.h"
#include "ports/common/files.h"
#include "ports/common/message.h"
#include "ports/common/session_tape.h"
#include "ports/common/tape.h"

namespace {

using Json = nlohmann::json;

constexpr char CLAIM_PREFIX[] = "# hall of fame claim: ";
constexpr char NAME_FILE[] = "/hall-name.txt";
constexpr int VERDICT_POLLS = 60;  // asked every half second: a verdict within 30 s
constexpr auto POLL_PAUSE = std::chrono::milliseconds(500);
constexpr long CONNECT_SECONDS = 10;
constexpr long TRANSFER_SECONDS = 30;
constexpr std::size_t MAX_REPLY_BYTES = 1u << 20;  // a board of 100 entries is a few KiB
constexpr int BOARD_LIMIT = 100;

struct Claim {
    std::string name;
    int mode = 0, speed = 0;
    std::int32_t score = 0;
};

struct Job {
    Claim claim;
    std::string tape;  // with the claim line
};

enum class Outcome { NOT_TAKEN, ACCEPTED, REJECTED, UNDECIDED };

// Set at start-up, before the sender starts.
std::string s_url, s_folder, s_name;
bool s_on = false;
// The game thread's alone.
SessionTape s_tape;
std::uint64_t s_polled = 0;  // the frame of the last poll
// Shared with the sender.
std::mutex s_mutex;
std::condition_variable s_wake;
std::deque<Job> s_jobs;  // at most one per mode and speed
std::atomic<bool> s_stopping{false};
std::thread s_sender;

void tell(std::FILE* to, const std::string& line) {
    std::fprintf(to, "burrowrotor: %s\n", one_line(line).c_str());
    std::fflush(to);
}

// The hall takes 3 to 16 letters, digits, spaces, '-', '_' and '.'; spaces
// at either end are trimmed.
bool check_name(const std::string& raw, std::string* name, std::string* why) {
    const std::size_t a = raw.find_first_not_of(' '), b = raw.find_last_not_of(' ');
    *name = a == std::string::npos ? "" : raw.substr(a, b - a + 1);
    for (const char c : *name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && std::strchr(" -_.", c) == nullptr) {
            *why = "the name '" + one_line(raw) + "' may hold only letters, digits, spaces, '-', '_' and '.'";
            return false;
        }
    if (name->size() >= 3 && name->size() <= 16) return true;
    *why = "the name '" + one_line(raw) + "' needs 3 to 16 characters";
    return false;
}

// The login name as far as the hall takes it, or "Player".
std::string login_name() {
    const char* user = std::getenv("USER");
    const passwd* entry = user == nullptr ? ::getpwuid(::getuid()) : nullptr;
    std::string name;
    for (const char* c = user != nullptr ? user : entry != nullptr ? entry->pw_name : ""; *c != '\0'; ++c)
        if ((std::isalnum(static_cast<unsigned char>(*c)) || std::strchr("-_.", *c) != nullptr) && name.size() < 16)
            name += *c;
    return name.size() >= 3 ? name : "Player";
}

// Writes a file whole through a temporary name, on the disk before it is
// reported kept, making its folders when needed. False with "PATH: why".
bool keep_file(const std::string& path, const std::string& text, std::string* why) {
    return make_parent_folder(path, why) && replace_file(path, text, FileCare::Durable, why);
}

// "madness" for "MADNESS!": a mode or speed in a file name.
std::string file_word(const char* name) {
    std::string word;
    for (; *name != '\0'; ++name) {
        const auto c = static_cast<unsigned char>(*name);
        if (std::isalpha(c)) word += static_cast<char>(std::tolower(c));
    }
    return word;
}

std::string describe(const Claim& c) {
    return std::string(best_mode_name(c.mode)) + " " + best_speed_name(c.speed) + " " + std::to_string(c.score) +
           " by " + c.name;
}

// A string or a number of a JSON object, as text; empty when it has none.
std::string text_of(const Json& json, const char* key) {
    if (!json.is_object() || !json.contains(key)) return "";
    const Json& v = json[key];
    return v.is_string() ? v.get<std::string>() : v.is_number() ? v.dump() : "";
}

std::size_t collect(char* data, std::size_t size, std::size_t count, void* out) {
    auto* body = static_cast<std::string*>(out);
    if (body->size() + size * count > MAX_REPLY_BYTES) return 0;  // ends the transfer
    body->append(data, size * count);
    return size * count;
}

// libcurl asks this at least once a second: a game that quits ends the transfer.
int abort_when_stopping(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) { return s_stopping ? 1 : 0; }

// One request, GET or (with `post`) POST of JSON; true with the answer's
// status and JSON, false with the reason.
bool request(const std::string& url, const std::string* post, long* status, Json* reply, std::string* why) {
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        *why = "libcurl cannot start a transfer";
        return false;
    }
    std::string body;
    char error[CURL_ERROR_SIZE] = "";
    // No "Expect: 100-continue" wait before a large tape.
    curl_slist* headers = curl_slist_append(curl_slist_append(nullptr, "Content-Type: application/json"), "Expect:");
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, CONNECT_SECONDS);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, TRANSFER_SECONDS);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, abort_when_stopping);
    if (post != nullptr) {
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, post->c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(post->size()));
    }
    const CURLcode code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    if (code != CURLE_OK) {
        *why = code == CURLE_ABORTED_BY_CALLBACK ? "the game quit first"
               : error[0] != '\0'                 ? error
                                                  : curl_easy_strerror(code);
        return false;
    }
    *reply = Json::parse(body, nullptr, false);
    if (!reply->is_discarded()) return true;
    *why = "the server answered " + std::to_string(*status) + " without JSON";
    return false;
}

// Sends a claim, waits for the verdict and finds the rank; `line` gets what
// to tell the player.
Outcome send_claim(const std::string& url, const Job& job, std::string* line) {
    const Claim& c = job.claim;
    // A kept tape may carry bytes that are not UTF-8 in its comments, which a
    // replay skips: they go as U+FFFD rather than stop the program.
    const std::string body =
        Json{{"name", c.name}, {"mode", c.mode}, {"speed", c.speed}, {"score", c.score}, {"tape", job.tape}}.dump(
            -1, ' ', false, Json::error_handler_t::replace);
    long status = 0;
    Json reply;
    std::string why;
    if (!request(url + "/api/runs", &body, &status, &reply, &why) || status != 202 || text_of(reply, "id").empty()) {
        const std::string said = text_of(reply, "error");
        if (why.empty()) why = std::to_string(status) + " " + (said.empty() ? reply.dump() : said);
        *line = "cannot send " + describe(c) + " to " + url + ": " + why;
        return Outcome::NOT_TAKEN;
    }
    const std::string id = text_of(reply, "id");
    std::string state;
    for (int i = 0; i < VERDICT_POLLS && state != "accepted" && state != "rejected" && !s_stopping; ++i) {
        if (i > 0) {
            std::unique_lock<std::mutex> lock(s_mutex);
            s_wake.wait_for(lock, POLL_PAUSE, [] { return s_stopping.load(); });
        }
        if (request(url + "/api/runs/" + id, nullptr, &status, &reply, &why) && status == 200)
            state = text_of(reply, "state");
    }
    if (state == "rejected") {
        *line = describe(c) + " was rejected: " + text_of(reply, "reason");
        return Outcome::REJECTED;
    }
    if (state != "accepted") {
        *line = describe(c) + " was sent but has no verdict yet: see " + url + "/api/runs/" + id;
        return Outcome::UNDECIDED;
    }
    std::string rank = "not among the first " + std::to_string(BOARD_LIMIT);
    const std::string board = url + "/api/boards/" + std::to_string(c.mode) + "/" + std::to_string(c.speed) +
                              "?limit=" + std::to_string(BOARD_LIMIT);
    if (!request(board, nullptr, &status, &reply, &why)) rank = "rank unknown (" + why + ")";
    else if (status != 200) rank = "rank unknown (the board answered " + std::to_string(status) + ")";
    else if (reply.is_object() && reply["entries"].is_array())
        for (const Json& entry : reply["entries"])
            if (text_of(entry, "run") == id) rank = "rank " + text_of(entry, "rank");
    *line = describe(c) + " was accepted: " + rank + " on the " + best_mode_name(c.mode) + " " +
            best_speed_name(c.speed) + " board";
    return Outcome::ACCEPTED;
}

// The tape with the claim as its second line.
std::string tape_with_claim(const std::string& tape, const Claim& c) {
    const std::size_t first = tape.find('\n') + 1;
    return tape.substr(0, first) + CLAIM_PREFIX + "mode " + std::to_string(c.mode) + " speed " + std::to_string(c.speed) +
           " score " + std::to_string(c.score) + " name " + c.name + "\n" + tape.substr(first);
}

// Reads the claim line of a kept tape.
bool read_claim(const std::string& tape, Claim* c, std::string* why) {
    const std::size_t at = tape.find(std::string("\n") + CLAIM_PREFIX);
    const std::string line = at == std::string::npos ? "" : tape.substr(at + 1, tape.find('\n', at + 1) - at - 1);
    int used = 0;
    if (line.empty() || std::sscanf(line.c_str() + sizeof CLAIM_PREFIX - 1, "mode %d speed %d score %d name %n",
                                    &c->mode, &c->speed, &c->score, &used) != 3 || used == 0) {
        *why = "has no line '" + std::string(CLAIM_PREFIX) + "mode M speed S score N name NAME'";
        return false;
    }
    return check_name(line.substr(sizeof CLAIM_PREFIX - 1 + static_cast<std::size_t>(used)), &c->name, why);
}

// The sender: one claim at a time, each kept in the data folder until the
// server has taken it. Once the game quits, the claims left are only kept.
void sender() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(s_mutex);
            s_wake.wait(lock, [] { return s_stopping || !s_jobs.empty(); });
            if (s_jobs.empty()) return;
            job = std::move(s_jobs.front());
            s_jobs.pop_front();
        }
        const Claim& c = job.claim;
        char when[32];
        const std::time_t now = std::time(nullptr);
        std::tm utc{};
        std::strftime(when, sizeof when, "%Y%m%dT%H%M%SZ", ::gmtime_r(&now, &utc));
        const std::string kept = s_folder + "/unsent/" + file_word(best_mode_name(c.mode)) + "-" +
                                 file_word(best_speed_name(c.speed)) + "-" + std::to_string(c.score) + "-" + when + ".tape";
        std::string why;
        const bool is_kept = !s_folder.empty() && keep_file(kept, job.tape, &why);
        if (s_folder.empty()) why = "there is no data folder (neither XDG_DATA_HOME nor HOME is set)";
        std::string line = "cannot send " + describe(c) + ": the game quit first";
        const Outcome o = s_stopping ? Outcome::NOT_TAKEN : send_claim(s_url, job, &line);
        if (o != Outcome::NOT_TAKEN) {
            if (is_kept) ::unlink(kept.c_str());
            tell(stdout, "hall of fame: " + line);
        } else if (is_kept) {
            tell(stderr, line + "; the tape is kept: burrowrotor --submit-tape " + kept + " --submit " + s_url);
        } else {
            tell(stderr, line + "; the tape cannot be kept: " + why);
        }
    }
}

// The server's address without a '/' at the end; false unless http(s).
bool check_url(const std::string& url, std::string* base, std::string* error) {
    *base = url;
    while (!base->empty() && base->back() == '/') base->pop_back();
    const bool http = base->rfind("http://", 0) == 0 && base->size() > 7;
    if (http || (base->rfind("https://", 0) == 0 && base->size() > 8)) return true;
    *error = "--submit needs an http:// or https:// address, got '" + one_line(url) + "'";
    return false;
}

bool start_curl(std::string* error) {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK) return true;
    *error = "libcurl cannot start";
    return false;
}

}  // namespace

bool submit_start(const std::string& url, const std::string& name, const std::string& data_folder,
                  std::string* error) {
    if (!check_url(url, &s_url, error)) return false;
    s_folder = data_folder;
    std::string remembered, why;
    if (!name.empty()) {
        if (!check_name(name, &s_name, error)) return false;
        if (!data_folder.empty() && !keep_file(data_folder + NAME_FILE, s_name + "\n", &why))
            tell(stderr, "the name is used but not remembered: " + why);
    } else if (!data_folder.empty() && read_file_capped(data_folder + NAME_FILE, 64, &remembered, &why) &&
               check_name(remembered.substr(0, remembered.find('\n')), &s_name, &why)) {
    } else {
        s_name = login_name();
    }
    if (!start_curl(error)) return false;
    s_on = true;
    s_sender = std::thread(sender);
    return true;
}

void submit_poll(std::uint64_t frame, std::uint32_t word) {
    if (!s_on) return;
    session_tape_record(&s_tape, frame, word);
    s_polled = frame;
}

void submit_new_best(int mode, int speed, std::int32_t score) {
    if (!s_on) return;
    Job job{{s_name, mode, speed, score}, ""};
    if (s_tape.full) {
        tell(stderr, "cannot send " + describe(job.claim) + ": the session's tape grew too long; start the game afresh");
        return;
    }
    job.tape = tape_with_claim(session_tape_until(s_tape, s_polled), job.claim);
    std::lock_guard<std::mutex> lock(s_mutex);
    // A claim still waiting for the same board gives way: the newer tape holds its game too.
    bool replaced = false;
    for (Job& waiting : s_jobs)
        if (waiting.claim.mode == mode && waiting.claim.speed == speed && !replaced) {
            waiting = std::move(job);
            replaced = true;
        }
    if (!replaced) s_jobs.push_back(std::move(job));
    s_wake.notify_one();
}

void submit_stop() {
    if (!s_on) return;
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        s_stopping = true;
    }
    s_wake.notify_one();
    s_sender.join();
    curl_global_cleanup();
    s_on = false;
}

int submit_kept_tape(const std::string& path, const std::string& url, const std::string& name) {
    Job job;
    std::string error, base, renamed;
    ButtonTape parsed;
    bool ok = check_url(url, &base, &error) && (name.empty() || check_name(name, &renamed, &error));
    if (ok && !(read_file_capped(path, MAX_SESSION_TAPE_BYTES, &job.tape, &error) &&
                parse_button_tape(job.tape, &parsed, &error) && read_claim(job.tape, &job.claim, &error))) {
        if (error.rfind(path, 0) != 0) error = path + ": " + error;
        ok = false;
    }
    if (!ok || !start_curl(&error)) {
        tell(stderr, error);
        return 1;
    }
    if (!renamed.empty()) job.claim.name = renamed;
    std::string line;
    const Outcome o = send_claim(base, job, &line);
    curl_global_cleanup();
    tell(o == Outcome::ACCEPTED ? stdout : stderr, "hall of fame: " + line);
    return o == Outcome::ACCEPTED ? 0 : 1;
}
