# The two commands a player or a maintainer needs are `make play` and
# `make test`; everything else here is a step of those or a developer tool.
BUILD      ?= build
JOBS       ?= $(shell nproc)
GENERATOR  := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")

.PHONY: all deps configure build play test headless assets asset-preview bench bench-instructions fuzz soak handheld web serve clean

all: build

deps:
	@tools/deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

play: build
	$(BUILD)/burrowrotor

test: build
	cd $(BUILD) && ctest -j $(JOBS) --output-on-failure --timeout 900

clean:
	rm -rf $(BUILD)

# Regenerates assets/*_data.cpp from assets/src and the previews in docs/assets.
assets: configure
	cmake --build $(BUILD) -j $(JOBS) --target make_font make_picture make_title
	tools/assets/regenerate.sh $(BUILD)/tools .
	tools/asset-preview $(BUILD)

asset-preview: configure
	tools/asset-preview $(BUILD)
