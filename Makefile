# Thin wrapper over CMake + Ninja. Every target installs missing packages first;
# only the test targets also install the npm client of the LSP session test.
BUILD      ?= build
SAN_BUILD  ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
DEBUG_BUILD ?= build-debug
JOBS       ?= $(shell nproc)
PREFIX     ?= /usr/local
FUZZ_SECONDS ?= 60

CMAKE_GEN := -G Ninja
SAN_ENV := ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
           UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

.PHONY: all deps test-deps configure run test test-sanitize debug fuzz fuzz-run bench format install clean

all: configure
	cmake --build $(BUILD) -j $(JOBS)

deps:
	@tools/install-deps

test-deps: deps
	@tools/install-deps --npm-client

configure: deps
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release >/dev/null

run: all
	@for f in examples/*.vesk; do \
	  echo "==> $$f"; \
	  $(BUILD)/lsp/vesk-lsp --format < "$$f" || exit 1; \
	done

test: test-deps all
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Unoptimised, with debug information and assertions, in $(DEBUG_BUILD)/; runs the suite.
debug: test-deps
	@test -f $(DEBUG_BUILD)/build.ninja || cmake -S . -B $(DEBUG_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	cmake --build $(DEBUG_BUILD) -j $(JOBS)
	ctest --test-dir $(DEBUG_BUILD) --output-on-failure -j $(JOBS)

test-sanitize: test-deps
	@test -f $(SAN_BUILD)/build.ninja || CC=clang-14 CXX=clang++-14 cmake -S . -B $(SAN_BUILD) $(CMAKE_GEN) \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESK_SANITIZE=ON >/dev/null
	cmake --build $(SAN_BUILD) -j $(JOBS)
	$(SAN_ENV) ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS)

fuzz: deps
	@test -f $(FUZZ_BUILD)/build.ninja || CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESK_FUZZ=ON >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

# Runs every fuzz target for FUZZ_SECONDS on its seed corpus.
fuzz-run: fuzz
	@tools/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks

# Rewrites every C++ source in place by .clang-format.
format: deps
	git ls-files '*.cpp' '*.hpp' | xargs clang-format-14 -i

install: all
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD) $(DEBUG_BUILD)
