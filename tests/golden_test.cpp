// Golden runs: each tape in tests/data replayed by the headless runner must
// show exactly the frames whose hashes are checked in beside it. When a frame
// differs, the test names the first one and writes, into
// test-output/golden-NAME/, this build's pictures of it and of the frame
// before it, which still matched (frame-NNNNNN.png); the runner of the commit
// that wrote the hash list shows the expected one. After a change that is
// meant to alter the picture: make goldens.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

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
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] != '#') hashes.push_back(std::stoull(line, nullptr, 16));
    return hashes;
}

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

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
    std::ifstream lines(trace);
    std::string line;
    for (std::uint64_t i = 0; i < frame; ++i) std::getline(lines, line);
    // This build's pictures of that frame and the one before it, which still matched.
    const std::uint64_t from = frame > 1 ? frame - 1 : 1;
    run_runner("--frames " + std::to_string(frame) + " --input " + quoted(tape) + " --png " + quoted(out) +
               " --from " + std::to_string(from));
    ADD_FAILURE() << name << ": frame " << frame << " is the first that differs (expected " << std::hex << *diff.first
                  << ", this build " << *diff.second << std::dec << ")"
                  << "\n  this build's state there: " << line << "\n  its frames " << from << "-" << frame
                  << " as frame-NNNNNN.png in " << out.string();
}

INSTANTIATE_TEST_SUITE_P(Runs, Golden, testing::ValuesIn(golden_names()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string id = info.param;
                             std::replace(id.begin(), id.end(), '-', '_');
                             return id;
                         });

}  // namespace
