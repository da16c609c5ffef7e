// Sending scores to a hall of fame (burrowrotor-server): the session's button
// tape, kept in memory from start-up, goes to the server with the claim of a
// new best (name, mode, speed, score); the server replays it and accepts only
// the score the replay reproduces.
//
// Everything that touches the network runs on a thread of its own: the game
// never waits for it, and a server that is slow, down or refusing costs the
// player nothing but a line on the terminal. Each claim is first kept in the
// data folder as
//
//   DATA/unsent/MODE-SPEED-SCORE-TIME.tape
//
// a button tape whose second line holds the claim,
//
//   # burrowrotor tape 2 rules 1
//   # hall of fame claim: mode 2 speed 0 score 1234 name Ann Lee
//
// (mode and speed in the menu's order, from 0), and removed once the server
// has taken it; a claim the server never took stays there for
// `burrowrotor --submit-tape FILE --submit URL`.
#pragma once
#include <cstdint>
#include <string>

// With --submit URL, at start-up: checks the URL (http:// or https://) and
// the name, and starts the sender. The name is `name` when given (then
// remembered in DATA/hall-name.txt), else the one remembered there, else the
// login name. False with a one-line reason.
bool submit_start(const std::string& url, const std::string& name, const std::string& data_folder,
                  std::string* error);

// The word the game polled while `frame` is drawn; kept for the session's tape.
void submit_poll(std::uint64_t frame, std::uint32_t word);

// A game just made a new best: its claim and the tape so far go to the
// sender. Returns at once; the verdict and the rank come on stdout later.
void submit_new_best(int mode, int speed, std::int32_t score);

// At exit: stops a transfer in flight, keeps every claim the server has not
// taken, and returns within about a second.
void submit_stop();

// --submit-tape FILE --submit URL: sends a kept tape with its claim (under
// `name` when given) and waits for the verdict. The file stays as it is.
// Returns the exit status: 0 accepted, 1 otherwise (the reason on stderr).
int submit_kept_tape(const std::string& path, const std::string& url, const std::string& name);
