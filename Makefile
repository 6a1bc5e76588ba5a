# The two set-up commands: `make run` builds and starts Sweepwise, `make test` builds and runs
# every test. Both first install whatever Debian packages are missing.

BUILD      ?= build/release
SAN_BUILD  ?= build/sanitize
WERROR     ?= OFF
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

CONFIGURE = cmake -S . -G Ninja -DSWEEPWISE_WERROR=$(WERROR) $(CMAKE_ARGS)
# Tests never need a display. LeakSanitizer checks every suite, the Qt ones too: they end
# without a leak and need no suppressions. Only the web engine's test goes without it (see
# tests/CMakeLists.txt): what leaks there is the engine's own.
TEST_ENV  = QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
            UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: deps build run test test-release test-sanitize package bench format format-check clean \
        random-trees adversary soak fuzz fuzz-ci

deps:
	@./scripts/install-deps.sh

build: deps
	$(CONFIGURE) -B $(BUILD)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/sweepwise

test: test-release test-sanitize

test-release: build
	cd $(BUILD) && $(TEST_ENV) ctest --output-on-failure -j $(JOBS)

test-sanitize: deps
	$(CONFIGURE) -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DSWEEPWISE_SANITIZE=ON -DSWEEPWISE_BENCH=OFF
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && $(TEST_ENV) ctest --output-on-failure -j $(JOBS)

# A Debian package of the installed program, in $(BUILD): apt install ./$(BUILD)/sweepwise_*.deb
package: build
	cmake --build $(BUILD) --target package

bench: build
	./bench/run.sh --bin $(BUILD)/bench

# The reliability suites at any size: `make random-trees SEEDS=5000 FIRST_SEED=1` (a failing seed
# prints the command that replays it), `make adversary SWAPS=1000000`, `make soak CYCLES=10000`.
SEEDS      ?= 200
FIRST_SEED ?= 1
SWAPS      ?= 10000
CYCLES     ?= 1000

random-trees: build
	$(TEST_ENV) SWEEPWISE_SEEDS=$(SEEDS) SWEEPWISE_FIRST_SEED=$(FIRST_SEED) \
	    $(BUILD)/tests/random_trees_tests -maxwarnings 0

adversary: build
	$(TEST_ENV) SWEEPWISE_SWAPS=$(SWAPS) $(BUILD)/tests/adversary_tests -maxwarnings 0

soak: build
	$(TEST_ENV) SWEEPWISE_CYCLES=$(CYCLES) $(BUILD)/tests/soak_tests -maxwarnings 0

# libFuzzer targets, built with clang in their own folder: `make fuzz FUZZ_SECONDS=600` runs
# each for that long; CI runs each for a few seconds on the committed corpus.
FUZZ_BUILD   ?= build/fuzz
FUZZ_SECONDS ?= 60

fuzz: deps
	cmake -S . -G Ninja -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ \
	    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSWEEPWISE_FUZZ=ON -DSWEEPWISE_CORE_ONLY=ON \
	    -DSWEEPWISE_TESTS=OFF -DSWEEPWISE_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	./fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

fuzz-ci:
	$(MAKE) fuzz FUZZ_SECONDS=10

SOURCES = $(shell git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')

format:
	clang-format -i $(SOURCES)

format-check:
	clang-format --dry-run -Werror $(SOURCES)

clean:
	rm -rf build
