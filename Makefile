# Corvane: the two everyday commands. Each installs what is missing first.
#   make run   build and start the app
#   make test  build and run every test
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps configure build run test bench clean

deps:
	@scripts/deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/corvane

test: CMAKE_FLAGS += -DCORVANE_WERROR=ON
test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: CMAKE_FLAGS += -DCORVANE_BUILD_BENCH=ON -DCMAKE_BUILD_TYPE=Release
bench: build
	bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD)
