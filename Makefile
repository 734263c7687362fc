# Corvane: the two everyday commands. Each installs what is missing first.
#   make run   build and start the app
#   make test  build and run every test, and each fuzz target briefly
#   make fuzz  run each fuzz target for FUZZ_SECONDS (default 60)
#   make figures  Release build, then the published figures table in bench/README.md
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
FUZZ_SECONDS ?= 60

.PHONY: deps configure build run test fuzz bench figures clean

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
	fuzz/run.sh 10

fuzz: deps
	fuzz/run.sh $(FUZZ_SECONDS)

bench: CMAKE_FLAGS += -DCORVANE_BUILD_BENCH=ON -DCMAKE_BUILD_TYPE=Release
bench: build
	bench/run.sh $(BUILD)

figures: CMAKE_FLAGS += -DCORVANE_BUILD_BENCH=ON -DCMAKE_BUILD_TYPE=Release
figures: build
	bench/figures.sh $(BUILD) --update

clean:
	rm -rf $(BUILD)
