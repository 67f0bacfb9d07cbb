# The two commands a new user needs:
#   make run    installs what is missing, builds, makes the default data, starts the game
#   make test   the same set-up, then every test
# and for CI and developers:
#   make test-sanitize   every test again in an ASan + UBSan build (build-sanitize/)
#   make fuzz            builds the libFuzzer targets with clang and runs each for FUZZ_SECONDS

BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 30
JOBS ?= 2
CMAKE_FLAGS ?=

# ccache hits across clones in other folders when paths are made relative.
export CCACHE_BASEDIR ?= $(CURDIR)

.PHONY: all deps build data run test test-sanitize fuzz clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

data: build
	@$(BUILD)/quorvin-tool make-data $(BUILD)

run: data
	@$(BUILD)/quorvin

test: data
	@ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

test-sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) -DQV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	@$(SANITIZE_BUILD)/quorvin-tool make-data $(SANITIZE_BUILD)
	@ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j$(JOBS)

fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DQV_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j$(JOBS)
	@scripts/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
