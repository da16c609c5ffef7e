// A replay that tries what the sandbox forbids is stopped, and its run is
// rejected with the reason: a worker runs tests/server/misbehave.cpp in
// place of burrowrotor-headless on runs of a temporary store.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <thread>

#include "ports/server/sandbox.h"
#include "ports/server/verify.h"

TEST(Sandbox, MisbehavingReplaysAreStoppedAndRejected) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "a program built with the address sanitizer cannot start within the sandbox's address space";
#endif
    const std::string db = std::string(BURROW_TEST_OUT) + "/sandbox-" + std::to_string(getpid()) + ".sqlite";
    std::string error;
    ASSERT_TRUE(sandbox_prepare(MISBEHAVE, &error)) << error;
    std::unique_ptr<Store> store = open_store(db, &error);
    ASSERT_TRUE(store) << error;
    const struct {
        const char* does;
        const char* reason;
    } cases[] = {{"open", "system call its sandbox forbids"},
                 {"fork", "system call its sandbox forbids"},
                 {"alloc", "system call its sandbox forbids"},  // abort() on bad_alloc signals itself
                 {"spin", "did not finish within 2 s"}};
    std::vector<std::int64_t> ids;
    for (const auto& c : cases) {
        std::int64_t id = 0;
        ASSERT_TRUE(store->add_run({"Bad", "bad", 0, 0, 10, std::string("# burrowrotor tape 2 rules 1\n# ") + c.does + "\n12 ACTION\n"}, &id, &error));
        ids.push_back(id);
    }
    WorkSignal signal;
    std::atomic<bool> stop{false};
    WorkerSetup setup{store.get(), 2, 30, &signal, &stop, "test"};
    std::thread worker(run_worker, std::cref(setup), 1);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        RunInfo info;
        bool found = false;
        for (int wait = 0; wait < 200 && info.state != RunState::rejected && info.state != RunState::accepted; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            ASSERT_TRUE(store->get_run(ids[i], &info, &found, &error)) << error;
        }
        EXPECT_EQ(info.state, RunState::rejected) << cases[i].does;
        EXPECT_NE(info.reason.find(cases[i].reason), std::string::npos) << cases[i].does << ": " << info.reason;
    }
    stop = true;
    signal.notify();
    worker.join();
    EXPECT_NE(access("/tmp/burrow-misbehave", F_OK), 0) << "the sandboxed child wrote a file";
    unlink(db.c_str());
}
