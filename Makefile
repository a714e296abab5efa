# Short commands for building, running and testing Veldran. See README.md.

BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
JOBS       ?= $(shell nproc)
PREFIX     ?= /usr/local
FUZZ_SECONDS ?= 60

BUILD_PACKAGES := cmake ninja-build g++ pkg-config libsdl2-dev libgtest-dev googletest \
                  libspng-dev libgif-dev libwebp-dev
TEST_PACKAGES  := $(BUILD_PACKAGES) libjpeg-turbo-progs python3-pil
BENCH_PACKAGES := $(BUILD_PACKAGES) libbenchmark-dev libjpeg62-turbo-dev libstb-dev \
                  python3-pil imagemagick libjpeg-turbo-progs jq
FUZZ_PACKAGES  := clang libclang-rt-dev pkg-config libspng-dev libgif-dev libwebp-dev
LINT_PACKAGES  := $(BUILD_PACKAGES) clang-format clang-tidy

SAMPLE := samples/p03_640x480_420.jpg

.PHONY: all deps build run test test-only lint bench fuzz install clean format

all: build

deps:
	@tools/scripts/install-deps.sh $(TEST_PACKAGES)

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELDRAN_WERROR=ON

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# Opens the viewer on the sample photograph (from the samples folder, so F3 and F4 walk it).
run: build
	@if [ -f $(SAMPLE) ]; then cd samples && ../$(BUILD)/veldran $(notdir $(SAMPLE)); \
	else ./$(BUILD)/veldran; fi

# Every test: the normal build, then the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELDRAN_SANITIZE=ON \
	  -DVELDRAN_SDL=OFF -DVELDRAN_WERROR=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# The tests of the normal build only, without the sanitizer run.
test-only: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The checks every change must pass: formatting, includes that only point down the layers,
# and clang-tidy with the checks chosen in .clang-tidy (it reads $(BUILD)/compile_commands.json).
lint:
	@tools/scripts/install-deps.sh $(LINT_PACKAGES)
	@$(MAKE) -s --no-print-directory $(BUILD)/build.ninja
	@cmake --build $(BUILD) --target build.ninja > /dev/null  # new sources join compile_commands.json
	clang-format --dry-run -Werror $$(git ls-files '*.cpp' '*.h')
	tools/scripts/check-layers.sh
	tools/scripts/tidy.sh $(BUILD) $(JOBS)
	@echo "lint: passed"

bench:
	@tools/scripts/install-deps.sh $(BENCH_PACKAGES)
	@tools/scripts/bench-pictures.sh
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELDRAN_BENCH=ON \
	  -DVELDRAN_TESTS=OFF -DVELDRAN_SDL=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	@for b in $(BENCH_BUILD)/bench_*; do [ -x "$$b" ] && echo "== $$b" && "$$b"; done; true

# Runs every fuzz target for FUZZ_SECONDS seconds each.
fuzz:
	@tools/scripts/install-deps.sh $(FUZZ_PACKAGES)
	@if [ -x fuzz/build.sh ]; then fuzz/build.sh && for t in $$(fuzz/run.sh --list); do \
	  fuzz/run.sh $$t $(FUZZ_SECONDS) || exit 1; done; else echo "no fuzz targets yet"; fi

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD)
