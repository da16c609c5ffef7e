# The two commands a player or a maintainer needs are `make play` and
# `make test`; everything else here is a step of those or a developer tool.
BUILD      ?= build
JOBS       ?= $(shell nproc)
# Looked up by the shell when a tree is configured, after the packages are installed.
GENERATOR  := $$(command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")
# `make play` builds in a tree of its own with only the player's programs.
PLAY_BUILD ?= build-play

# The second half of `make test`: the whole suite again, built with the
# address and undefined-behaviour sanitizers, and a short slice of each fuzz
# target (clang and libFuzzer, in a tree of their own). The sanitizer run
# leaves out the tests that check something other than our C++ code running:
# regenerating the assets, the browser bundle and page, the ARM build and the
# ARM binary under qemu, the SDL2 handheld port (none of that code is
# instrumented), the examples of the docs (they build the ARM binary too),
# and anything labelled nosan.
SAN_BUILD  ?= build-asan
FUZZ_BUILD ?= build-fuzz
SAN_ENV    := ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
SAN_SKIP   := -LE 'browser|nosan|port' -E 'assets_regenerate|handheld_arm|ArmBuild|desktop_e2e|doc_examples' -FS handheld_arm
# The desktop game under Xvfb runs once more with the sanitizers but without
# the leak check: the X, GL and D-Bus libraries below SDL keep allocations
# until exit (some from driver modules unloaded by then, which no
# suppression can name).
SAN_DESKTOP := -R '^desktop_e2e$$'

.PHONY: all deps deps-play configure build play test headless assets asset-preview bench bench-instructions fuzz soak handheld port web web-zip serve clean install package

all: build

deps:
	@tools/deps.sh

deps-play:
	@tools/deps.sh play

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Installs only the game's packages, builds only burrowrotor and
# burrowrotor-headless, and starts the game.
$(PLAY_BUILD)/CMakeCache.txt:
	@tools/deps.sh play
	cmake -S . -B $(PLAY_BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBURROW_PLAYER_ONLY=ON

play: deps-play $(PLAY_BUILD)/CMakeCache.txt
	cmake --build $(PLAY_BUILD) -j $(JOBS) --target burrowrotor burrowrotor-headless
	$(PLAY_BUILD)/burrowrotor

test: build $(SAN_BUILD)/CMakeCache.txt $(FUZZ_BUILD)/CMakeCache.txt
	cd $(BUILD) && ctest -j $(JOBS) --output-on-failure --timeout 900
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && $(SAN_ENV) ctest -j $(JOBS) --output-on-failure --timeout 900 $(SAN_SKIP)
	cd $(SAN_BUILD) && $(SAN_ENV) ASAN_OPTIONS=abort_on_error=1:detect_leaks=0 ctest --output-on-failure --timeout 900 $(SAN_DESKTOP)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	cd $(FUZZ_BUILD) && ctest -j $(JOBS) --output-on-failure --timeout 300

# Installs the two programs in $(PREFIX)/games and the desktop entry, the
# AppStream metadata, the icons and the manual pages under $(PREFIX)/share,
# all below $(DESTDIR) when it is given (staged installs, packaging).
PREFIX ?= /usr/local
# It uses the player's tree of `make play`, which needs only the game's packages.
install: $(PLAY_BUILD)/CMakeCache.txt
	cmake --build $(PLAY_BUILD) -j $(JOBS) --target burrowrotor burrowrotor-headless
	DESTDIR="$(DESTDIR)" cmake --install $(PLAY_BUILD) --prefix "$(PREFIX)" --component game

# The Debian package: $(BUILD)/burrowrotor_<version>_<arch>.deb (programs in
# /usr/games, dependencies found by dpkg-shlibdeps).
package: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target burrowrotor burrowrotor-headless
	cd $(BUILD) && cpack -G DEB
	@ls $(BUILD)/burrowrotor_*.deb

clean:
	rm -rf $(BUILD) $(PLAY_BUILD) $(SAN_BUILD) $(FUZZ_BUILD) $(PORT_DIR) $(PORT_DIR).zip

$(SAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(SAN_BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBURROW_SANITIZE=ON

$(FUZZ_BUILD)/CMakeCache.txt:
	cmake -S tests/fuzz -B $(FUZZ_BUILD) -G "$(GENERATOR)" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo

# Each fuzz target for FUZZ_RUNS executions (the figures in docs/reliability.md).
FUZZ_RUNS ?= 1000000
fuzz: deps $(FUZZ_BUILD)/CMakeCache.txt
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@for t in fuzz_gfx fuzz_tape fuzz_hall; do \
	  tests/fuzz/run_fuzz.sh $(FUZZ_BUILD)/$$t $$t -runs=$(FUZZ_RUNS) tests/fuzz $(FUZZ_BUILD)/fuzz-work || exit 1; \
	done

# The long runs, on the sanitizer build: the title screen for a million
# frames and a thousand games (burrow_soak), then SOAK_FRAMES frames of random
# button words, kept in $(SAN_BUILD)/soak/words: the device binary on the
# emulated handheld must show the frames burrowrotor-headless shows for them
# (cmp names the first line, the frame, that differs). The emulator exits 77
# where the machine gives no private mount namespace.
SOAK_TITLE_FRAMES ?= 1000000
SOAK_GAMES        ?= 1000
SOAK_FRAMES       ?= 100000
soak: deps $(SAN_BUILD)/CMakeCache.txt
	cmake --build $(SAN_BUILD) -j $(JOBS) --target burrow_soak burrowrotor-headless burrowrotor-handheld burrowrotor-handheld-emu
	$(SAN_ENV) $(SAN_BUILD)/tests/burrow_soak $(SOAK_TITLE_FRAMES) $(SOAK_GAMES)
	mkdir -p $(SAN_BUILD)/soak && head -c $$((4 * $(SOAK_FRAMES))) /dev/urandom > $(SAN_BUILD)/soak/words
	cd $(SAN_BUILD)/soak && $(SAN_ENV) ../burrowrotor-headless --frames $(SOAK_FRAMES) --poll-tape words --trace headless.trace
	cd $(SAN_BUILD)/soak && $(SAN_ENV) ../burrowrotor-handheld-emu --tape words --frames $(SOAK_FRAMES) --trace handheld.trace ../burrowrotor-handheld
	cd $(SAN_BUILD)/soak && for t in headless handheld; do grep -o '"hash":"[0-9a-f]*"' $$t.trace > $$t.hashes; done && cmp headless.hashes handheld.hashes

# Regenerates assets/*_data.cpp from assets/src, the icons in assets/icons and
# the previews in docs/assets. The icon tool is built again after the arrays
# are rewritten, so the icons show the chopper as it is now.
assets: configure
	cmake --build $(BUILD) -j $(JOBS) --target make_font make_picture make_title make_icon
	tools/assets/regenerate.sh $(BUILD)/tools .
	cmake --build $(BUILD) -j $(JOBS) --target make_icon
	$(BUILD)/tools/make_icon assets/icons
	tools/asset-preview $(BUILD)

asset-preview: configure
	tools/asset-preview $(BUILD)

# The browser build: WebAssembly through emscripten, in its own CMake tree,
# written to $(WEB_DIST): index.html, burrowrotor.js, burrowrotor.wasm, the
# web app manifest, the icons and the service worker that keeps them offline.
WEB_BUILD ?= build-web
WEB_DIST  ?= web/dist
WEB_PORT  ?= 8000

web: deps
	@command -v emcmake >/dev/null 2>&1 || { echo "make web: emscripten is missing (tools/deps.sh installs it)"; exit 1; }
	emcmake cmake -S . -B $(WEB_BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Release -DBURROW_WEB_DIST=$(abspath $(WEB_DIST)) >/dev/null
	cmake --build $(WEB_BUILD) -j $(JOBS)
	@python3 ports/web/bundle_size.py $(WEB_DIST)

# The browser build as one zip with index.html at its root, for game portals.
WEB_ZIP ?= $(WEB_BUILD)/burrowrotor-web.zip

web-zip: web
	@python3 ports/web/web_zip.py $(WEB_DIST) $(WEB_ZIP)

# Plays the browser build from a local web server.
serve: web
	@echo "Burrowrotor in the browser: http://localhost:$(WEB_PORT)/ (Ctrl-C stops the server)"
	python3 -m http.server $(WEB_PORT) --bind 127.0.0.1 --directory $(WEB_DIST)

# The hall of fame on this machine: http://127.0.0.1:8080/ shows the boards
# and serves the browser game under /play/; the database is in the data
# folder, beside the desktop's best scores (docs/hall-of-fame.md).
SCORES_DB ?= $${XDG_DATA_HOME:-$$HOME/.local/share}/burrowrotor/hall-of-fame.sqlite
SCORES_LISTEN ?= 127.0.0.1:8080

.PHONY: serve-scores
serve-scores: configure web
	cmake --build $(BUILD) -j $(JOBS) --target burrowrotor-server
	@mkdir -p "$$(dirname "$(SCORES_DB)")"
	@echo "The hall of fame: http://$(SCORES_LISTEN)/ (Ctrl-C stops the server)"
	$(BUILD)/burrowrotor-server --listen $(SCORES_LISTEN) --db "$(SCORES_DB)" --play $(WEB_DIST)

# The hall of fame as it runs on several machines, here all on 127.0.0.1: a
# PostgreSQL of its own (data in $(CLUSTER_DIR)/pg), two API servers, two
# workers and HAProxy in front on $(CLUSTER_PORT); Ctrl-C stops them all
# (tools/hall_cluster.py, docs/hall-of-fame.md).
CLUSTER_DIR  ?= $(BUILD)/hall-cluster
CLUSTER_PORT ?= 8080

.PHONY: serve-scores-cluster
serve-scores-cluster: configure web
	cmake --build $(BUILD) -j $(JOBS) --target burrowrotor-server
	tools/hall_cluster.py $(BUILD) $(CLUSTER_DIR) --port $(CLUSTER_PORT) --play $(WEB_DIST)

# The hall of fame's long proofs, each with its figures (docs/hall-of-fame.md):
# load on SQLite and on the cluster, faults (kill -9 of an API server, a worker
# and PostgreSQL), hostile clients, backups while submissions flow. All on
# loopback addresses, each bounded in count and time; `make test` runs a short
# slice of each.
SOAK_SUBMISSIONS ?= 2000
.PHONY: soak-server
soak-server: configure
	cmake --build $(BUILD) -j $(JOBS) --target burrowrotor-server
	python3 tools/hall_proof_load.py $(BUILD) tests/data $(SOAK_SUBMISSIONS) 16
	python3 tools/hall_proof_faults.py $(BUILD) tests/data $$(($(SOAK_SUBMISSIONS) / 4)) 600
	python3 tools/hall_proof_hostile.py $(BUILD)/burrowrotor-server 500
	python3 tools/hall_proof_backup.py $(BUILD) tests/data $$(($(SOAK_SUBMISSIONS) / 10))

# The handheld: a static ARM binary, $(ARM_BUILD)/burrowrotor-handheld, to copy
# onto the device (docs/handheld.md). `make test` builds its own copy and runs
# it under qemu-arm.
ARM_BUILD ?= build-arm

$(ARM_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ARM_BUILD) -G "$(GENERATOR)" -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabi.cmake \
		-DBURROW_GAME_ONLY=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo

handheld: deps $(ARM_BUILD)/CMakeCache.txt
	cmake --build $(ARM_BUILD) -j $(JOBS)

# The port folder for today's ARM Linux handhelds with SDL2 (docs/handhelds.md):
# $(PORT_DIR)/Burrowrotor.sh and $(PORT_DIR)/burrowrotor/ with the arm64 and
# armhf binaries, and $(PORT_DIR).zip. The binaries are built in
# $(BUILD)/cross against Debian bullseye's libraries, fetched once and kept there.
PORT_DIR ?= build-port

port: build
	tools/cross-build.sh arm64 $(BUILD)/cross
	tools/cross-build.sh armhf $(BUILD)/cross
	tools/make-port.sh $(BUILD) $(PORT_DIR)

# Rewrites the golden runs' frame-hash lists (tests/data/golden-*.hashes) from
# their tapes, for when a change to what the game shows is meant; commit the
# lists together with that change.
.PHONY: goldens
goldens: build
	tests/golden_update.sh $(BUILD)/burrowrotor-headless

# Benchmarks: the game's drawing against the literal reference side by side,
# headless frames per second and the ARM binary under qemu-arm (bench/run.sh);
# instruction counts of the heaviest frames into bench/results.md.
BENCH_BUILD ?= build-bench

$(BENCH_BUILD)/CMakeCache.txt:
	cmake -S . -B $(BENCH_BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo

bench: deps $(BENCH_BUILD)/CMakeCache.txt
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target burrow_bench burrowrotor-handheld-emu
	bench/run.sh $(BENCH_BUILD) $(ARM_BUILD)

bench-instructions: deps $(BENCH_BUILD)/CMakeCache.txt
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target frame_cost
	bench/instructions.sh $(BENCH_BUILD)

# The hall of fame: verifications a second of a two-minute game and the
# latency of a submission, on one core (docs/hall-of-fame.md).
.PHONY: bench-hall
bench-hall: configure
	cmake --build $(BUILD) -j $(JOBS) --target burrowrotor-server burrowrotor-headless
	python3 bench/hall.py $(BUILD)

# The desktop game's 60 Hz pacing on the wall clock: 600 frames in 10 s +- 3 %.
# Run it on an idle machine; it opens windows on $DISPLAY or a private Xvfb.
.PHONY: bench-pacing
bench-pacing: build
	bench/pacing.sh $(BUILD)/burrowrotor
