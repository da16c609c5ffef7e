// Every bound the hall of fame puts on what it is sent and on the work it
// does for it, in one place; docs/hall-of-fame.md has the same table.
#pragma once
#include <cstddef>
#include <cstdint>

// A submission.
constexpr std::size_t MAX_BODY_BYTES = 256 * 1024;   // the whole JSON body, tape included
constexpr std::size_t MAX_HEADER_BYTES = 8 * 1024;   // request line and headers
constexpr std::uint64_t MAX_TAPE_FRAMES = 864000;    // four hours at 60 frames a second
constexpr std::size_t MIN_NAME_LENGTH = 3;           // after trimming spaces at both ends
constexpr std::size_t MAX_NAME_LENGTH = 16;
constexpr std::int64_t MAX_SCORE = 2147483647;       // the game keeps its score in 32 bits

// Submissions from one address in RATE_WINDOW_SECONDS (--rate-limit N, 0 for
// none); the table of addresses lives only in memory and never grows past
// RATE_MAX_ADDRESSES.
constexpr int DEFAULT_RATE_LIMIT = 10;
constexpr int RATE_WINDOW_SECONDS = 60;
constexpr std::size_t RATE_MAX_ADDRESSES = 100000;

// Connections.
constexpr int REQUEST_SECONDS = 10;       // to send a whole request, and to read an answer
constexpr int DRAIN_SECONDS = 2;          // the rest of a refused body is read and dropped this long
constexpr int MAX_CONNECTIONS = 512;      // open at once; more are closed at once
constexpr int HTTP_THREADS = 2;

// Boards.
constexpr int DEFAULT_BOARD_LIMIT = 100;
constexpr int MAX_BOARD_LIMIT = 1000;
constexpr std::size_t MAX_PLAY_FILE_BYTES = 16 << 20;  // a file of the browser game under /play/ (its wasm is ~200 KiB)

// The replay child: burrowrotor-headless --games under these limits, killed
// after REPLAY_WALL_SECONDS (--replay-seconds N sets it and the CPU limit to
// N). Hashing every game frame, one core replays about 5000 frames a second,
// so the default verifies a game of more than an hour.
constexpr int REPLAY_WALL_SECONDS = 120;
constexpr int REPLAY_CPU_SECONDS = 120;
constexpr std::uint64_t REPLAY_ADDRESS_SPACE = 256ull << 20;  // bytes
constexpr std::uint64_t REPLAY_OPEN_FILES = 16;
constexpr std::size_t REPLAY_OUTPUT_BYTES = 1 << 20;  // what the parent reads of its games
// A replay the wall clock ended with less than this share of its processor
// time was starved by other work, not slowed by its tape: its run goes back
// to the queue (and counts as an attempt) instead of being rejected.
constexpr double REPLAY_BUSY_SHARE = 0.9;

// The queue: a claim holds a job for LEASE_SECONDS past the replay's bound; a
// worker that dies leaves it to be taken again after that. A job that fails
// MAX_ATTEMPTS times is rejected.
constexpr int LEASE_MARGIN_SECONDS = 30;
constexpr int MAX_ATTEMPTS = 3;
constexpr int WORKER_POLL_MILLISECONDS = 500;  // between looks at an empty queue
constexpr int FINISH_TRIES = 10;              // a second apart, to write a verdict while the database is away
constexpr int DEFAULT_WORKERS = 1;
constexpr int MAX_WORKERS = 64;
constexpr int CLAIM_PASSES = 64;  // runs whose attempts ran out one claim rejects before it gives up for now

// The stores.
constexpr int STORE_BUSY_MILLISECONDS = 10000;  // SQLite: a write waits this long for another server's
constexpr int STORE_CONNECTIONS = 4;            // PostgreSQL: per server, shared by its threads
