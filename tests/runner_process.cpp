#include "runner_process.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

int run_runner(const std::string& arguments) {
    const std::string command = std::string("'") + BURROW_RUNNER + "' " + arguments;
    const int status = std::system(command.c_str());
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::uint64_t> trace_hashes(const std::string& path) {
    std::vector<std::uint64_t> hashes;
    std::ifstream in(path);
    std::string line;
    const std::string key = "\"hash\":\"";
    while (std::getline(in, line)) {
        const std::size_t at = line.find(key);
        if (at == std::string::npos) return {};
        hashes.push_back(std::stoull(line.substr(at + key.size(), 16), nullptr, 16));
    }
    return hashes;
}

std::string fresh_output_dir(const std::string& name) {
    const std::filesystem::path dir = std::filesystem::path(BURROW_TEST_OUT) / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}
