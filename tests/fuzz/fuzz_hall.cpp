// The hall of fame's request handling with arbitrary bytes: they go through
// the HTTP parser the server uses, under its header and body limits, and a
// request that parses goes to the handlers (name, claim and tape checks) over
// a store that keeps nothing. Every answer must be one of the statuses the
// API documents, a JSON object, with an error exactly when it is refused.
// Bytes after a 0xFF byte become lines of burrowrotor-headless --games for
// the verdict on a claim, which must accept only a game that ends exactly
// at the claim.
#include <boost/asio/buffer.hpp>
#include <boost/beast/http.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ports/server/handlers.h"
#include "ports/server/limits.h"
#include "ports/server/verify.h"

namespace http = boost::beast::http;

namespace {

class NoStore final : public Store {
public:
    bool add_run(const NewRun&, std::int64_t* id, std::string*) override { return *id = 1, true; }
    bool get_run(std::int64_t, RunInfo*, bool* found, std::string*) override { return *found = false, true; }
    bool get_tape(std::int64_t, std::string*, bool* found, std::string*) override { return *found = false, true; }
    bool get_board(int, int, int, std::vector<BoardEntry>* e, std::string*) override { return e->clear(), true; }
    bool claim_job(int, int, Job*, bool* got, std::string*) override { return *got = false, true; }
    bool finish_job(const Job&, const Verdict&, Verdict*, bool* held, std::string*) override { return *held = false, true; }
    bool release_job(const Job&, const std::string&, std::string*) override { return true; }
};

[[noreturn]] void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "fuzz_hall: %s: %s\n", what, detail.c_str());
    std::abort();
}

void request(const std::string& bytes) {
    http::request_parser<http::string_body> parser;
    parser.header_limit(static_cast<std::uint32_t>(MAX_HEADER_BYTES));
    parser.body_limit(MAX_BODY_BYTES);
    parser.eager(true);
    boost::beast::error_code ec;
    for (std::size_t used = 0; !ec && !parser.is_done() && used < bytes.size();) {
        const std::size_t n = parser.put(boost::asio::buffer(bytes.data() + used, bytes.size() - used), ec);
        if (n == 0 && !ec) ec = http::error::need_more;
        used += n;
    }
    if (ec == http::error::need_more && parser.got_some()) parser.put_eof(ec);
    if (ec || !parser.is_done()) return;
    const auto& req = parser.get();
    static NoStore store;
    static Hall hall(HallSetup{&store, 0, "", nullptr, "fuzz"});
    const HallResponse r = hall.handle({std::string(req.method_string()), std::string(req.target()), req.body(),
                                        req.find(http::field::content_encoding) != req.end(), "127.0.0.1"});
    static const int STATUSES[] = {200, 202, 308, 400, 404, 405, 413, 415, 429};
    if (std::find(std::begin(STATUSES), std::end(STATUSES), r.status) == std::end(STATUSES))
        fail("an undocumented status", std::to_string(r.status));
    if (r.content_type != "application/json") return;
    const nlohmann::json j = nlohmann::json::parse(r.body, nullptr, false);
    if (!j.is_object() || (r.status >= 400) != j.contains("error")) fail("a bad answer", r.body);
}

void claim(const std::string& lines, unsigned char mode, unsigned char speed) {
    Job job;
    job.mode = mode % 4;
    job.speed = speed % 5;
    job.score = 100;
    std::vector<ReplayedGame> games;
    std::size_t start = 0;
    for (std::size_t end; (end = lines.find('\n', start)) != std::string::npos; start = end + 1) {
        ReplayedGame g;
        if (parse_game_line(lines.substr(start, end - start), &g)) games.push_back(g);
    }
    const Verdict v = judge_games(job, games, 100 * mode);  // the tape's last line somewhere among the games
    bool exact = false;
    for (const ReplayedGame& g : games) exact = exact || (g.mode == job.mode && g.speed == job.speed && g.score == job.score);
    if (v.accepted != exact || v.reason.empty() || v.reason.find('\n') != std::string::npos)
        fail("a wrong verdict", v.reason);
}

}  // namespace

// Only the store above is used; the engines are not linked in.
std::unique_ptr<Store> open_sqlite_store(const std::string&, std::string*) { return nullptr; }
std::unique_ptr<Store> open_postgres_store(const std::string&, std::string*) { return nullptr; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t split = bytes.find('\xff');
    request(bytes.substr(0, split));
    if (split != std::string::npos && split + 2 < bytes.size())
        claim(bytes.substr(split + 3), static_cast<unsigned char>(bytes[split + 1]),
              static_cast<unsigned char>(bytes[split + 2]));
    return 0;
}
