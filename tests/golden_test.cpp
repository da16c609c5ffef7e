// Golden runs: each tape in tests/data replayed by the headless runner must
// show exactly the frames whose hashes are checked in beside it. When a frame
// differs, the test names the first one and writes, into
// test-output/golden-NAME/, this build's frame (actual-F.png), the frame before
// it, which still matched (last-match-E.png), and the frame as it was
// (expected-F.png), shown by the runner of the commit that last wrote the hash
// list. After a change that is meant to alter the picture: make goldens.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "runner_process.h"

namespace {

namespace fs = std::filesystem;

const fs::path DATA = fs::path(BURROW_SOURCE_DIR) / "tests" / "data";

std::vector<std::string> golden_names() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(DATA)) {
        const std::string file = entry.path().filename().string();
        if (file.rfind("golden-", 0) == 0 && entry.path().extension() == ".tape") names.push_back(entry.path().stem());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::uint64_t> read_hash_list(const fs::path& path) {
    std::vector<std::uint64_t> hashes;
    std::istringstream in(read_file(path.string()));
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] != '#') hashes.push_back(std::stoull(line, nullptr, 16));
    return hashes;
}

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

std::string shell_output(const std::string& command) {
    std::string out;
    if (std::FILE* p = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, p) != nullptr) out += buffer;
        pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

std::string frame_file(const fs::path& dir, std::uint64_t frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06llu.png", static_cast<unsigned long long>(frame));
    return (dir / name).string();
}

// Writes the pictures around the first differing frame; returns what it did.
std::string write_pictures(const std::string& name, const fs::path& tape, const fs::path& out, std::uint64_t frame,
                           std::uint64_t expected_hash) {
    std::string report;
    const fs::path shots = out / "shots";
    fs::create_directories(shots);
    const std::uint64_t from = frame > 1 ? frame - 1 : 1;
    if (run_runner("--frames " + std::to_string(frame) + " --input " + quoted(tape) + " --png " + quoted(shots) +
                   " --from " + std::to_string(from)) == 0) {
        fs::rename(frame_file(shots, frame), out / ("actual-" + std::to_string(frame) + ".png"));
        report += "\n  wrote " + (out / ("actual-" + std::to_string(frame) + ".png")).string();
        if (frame > 1) {
            fs::rename(frame_file(shots, frame - 1), out / ("last-match-" + std::to_string(frame - 1) + ".png"));
            report += "\n  wrote " + (out / ("last-match-" + std::to_string(frame - 1) + ".png")).string();
        }
    }

    // The expected frame, from the runner that wrote the hash list.
    const std::string src = quoted(BURROW_SOURCE_DIR);
    const std::string list = "tests/data/" + name + ".hashes";
    const std::string commit = shell_output("git -C " + src + " log -1 --format=%H -- " + list + " 2>/dev/null");
    if (commit.empty()) return report + "\n  no expected picture: " + list + " is not in git";
    if (std::system(("git -C " + src + " diff --quiet " + commit + " -- " + list).c_str()) != 0)
        return report + "\n  no expected picture: " + list + " has changes not committed";
    if (std::getenv("BURROW_GOLDEN_NO_REFERENCE") != nullptr)
        return report + "\n  expected picture skipped (BURROW_GOLDEN_NO_REFERENCE)";
    const fs::path ref = fs::path(BURROW_TEST_OUT) / ("reference-" + commit.substr(0, 12));
    const std::string build = std::string("'") + BURROW_SOURCE_DIR + "/tests/golden_reference.sh' " + src + " " +
                              commit + " " + quoted(ref);
    if (std::system(build.c_str()) != 0)
        return report + "\n  no expected picture: building the runner of " + commit + " failed, see " +
               (ref / "build.log").string();
    const fs::path ref_shots = out / "expected-shots";
    fs::create_directories(ref_shots);
    const std::string run = quoted(ref / "burrowrotor-headless") + " --frames " + std::to_string(frame) +
                            " --input " + quoted(tape) + " --png " + quoted(ref_shots) + " --from " +
                            std::to_string(frame) + " --trace " + quoted(out / "expected.jsonl");
    if (std::system(run.c_str()) != 0) return report + "\n  no expected picture: the runner of " + commit + " failed";
    const auto ref_hashes = trace_hashes((out / "expected.jsonl").string());
    const fs::path expected_png = out / ("expected-" + std::to_string(frame) + ".png");
    fs::rename(frame_file(ref_shots, frame), expected_png);
    report += "\n  wrote " + expected_png.string() + " (runner of commit " + commit.substr(0, 12) + ")";
    if (ref_hashes.size() < frame || ref_hashes[frame - 1] != expected_hash)
        report += "\n  but that commit's runner does not reproduce the checked-in hash either";
    return report;
}

class Golden : public testing::TestWithParam<std::string> {};

TEST_P(Golden, ShowsTheCheckedInFrames) {
    const std::string name = GetParam();
    const fs::path tape = DATA / (name + ".tape");
    const auto expected = read_hash_list(DATA / (name + ".hashes"));
    ASSERT_FALSE(expected.empty()) << name << ".hashes is missing or empty; run make goldens";

    const fs::path out = fresh_output_dir(name);
    const fs::path trace = out / "trace.jsonl";
    ASSERT_EQ(run_runner("--frames " + std::to_string(expected.size()) + " --input " + quoted(tape) + " --trace " +
                         quoted(trace)),
              0);
    const auto actual = trace_hashes(trace.string());
    ASSERT_EQ(actual.size(), expected.size()) << "the runner did not show every frame";
    const auto diff = std::mismatch(expected.begin(), expected.end(), actual.begin());
    if (diff.first == expected.end()) return;

    const auto frame = static_cast<std::uint64_t>(diff.first - expected.begin()) + 1;
    char hashes[80];
    std::snprintf(hashes, sizeof hashes, "expected %016llx, this build %016llx",
                  static_cast<unsigned long long>(*diff.first), static_cast<unsigned long long>(*diff.second));
    std::istringstream lines(read_file(trace.string()));
    std::string line;
    for (std::uint64_t i = 0; i < frame; ++i) std::getline(lines, line);
    ADD_FAILURE() << name << ": frame " << frame << " is the first that differs (" << hashes << ")"
                  << "\n  this build's state there: " << line
                  << write_pictures(name, tape, out, frame, *diff.first);
}

INSTANTIATE_TEST_SUITE_P(Runs, Golden, testing::ValuesIn(golden_names()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string id = info.param;
                             std::replace(id.begin(), id.end(), '-', '_');
                             return id;
                         });

}  // namespace
