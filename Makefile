# Corvane: the two everyday commands. Each installs what is missing first.
#   make run   build and start the app
#   make test  build and run every test, and each fuzz target briefly
#   make fuzz  run each fuzz target for FUZZ_SECONDS (default 60)
#   make figures  Release build, then the published figures table in bench/README.md
#   make deb   Release build in build-release/, then the Debian package corvane_<version>_<arch>.deb
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
FUZZ_SECONDS ?= 60

.PHONY: deps configure build run test fuzz bench figures deb clean

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

# A tree of its own: the everyday build keeps its debug information and its tests.
deb: deps
	@cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_BUILD_TESTS=OFF >/dev/null
	@cmake --build build-release -j $(JOBS)
	@rm -f build-release/corvane_*.deb
	@cd build-release && cpack
	@echo "Install it with: sudo apt install ./$$(ls build-release/corvane_*.deb)"

clean:
	rm -rf $(BUILD) build-release
