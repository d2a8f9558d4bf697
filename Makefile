# Two entry points for a fresh Debian 12 machine: `make run` and `make test`.
BUILD ?= build
FUZZ_BUILD ?= build-fuzz
SANITIZE_BUILD ?= build-sanitize
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
SANITIZE_ASAN_OPTIONS ?= detect_stack_use_after_return=1:strict_init_order=1

.PHONY: setup configure build run test test-sanitize bench fuzz clean format format-check install-desktop

setup:
	@scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD)/src/zandrel

test: build
	@cd $(BUILD) && ctest --output-on-failure --timeout 300 -j $(JOBS)

# The tests again, built by clang with AddressSanitizer and UndefinedBehaviorSanitizer (no benchmarks).
# -O1 and line tables only: the build is most of the cost, and stack traces need no more.
test-sanitize: setup
	@cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only -DNDEBUG" \
	  -DCMAKE_CXX_COMPILER=clang++ -DZANDREL_SANITIZE=ON > /dev/null
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	@cd $(SANITIZE_BUILD) && ASAN_OPTIONS=$(SANITIZE_ASAN_OPTIONS) UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/fuzz/lsan.supp \
	  ctest --output-on-failure --timeout 300 -j $(JOBS)

# Adds Zandrel to this user's applications menu (desktop entry, icon, file types, zdltp links).
install-desktop: build
	@scripts/install-desktop.sh $(BUILD)/src/zandrel $(BUILD)/src/interface/images

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b" || exit 1; done

# libFuzzer build with clang; run a target with e.g.
#   build-fuzz/fuzz/fuzz_unarchiver -max_total_time=600 fuzz/corpus/fuzz_unarchiver
fuzz: setup
	@cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++ -DZANDREL_FUZZ=ON > /dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)

FORMAT_FILES = find src tests bench fuzz scripts \( -name '*.cpp' -o -name '*.h' \) -print0

format:
	@$(FORMAT_FILES) | xargs -0 clang-format -i

# Fails, naming the files, when `make format` would change any of them.
format-check: setup
	@drift=$$($(FORMAT_FILES) | xargs -0 -n 50 clang-format --dry-run 2>&1 | grep 'warning: code should be clang-formatted' | cut -d: -f1 | sort -u); \
	if [ -n "$$drift" ]; then echo "These files differ from .clang-format (run make format):"; echo "$$drift"; exit 1; fi

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD) $(SANITIZE_BUILD)
