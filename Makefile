# The front door: make run, make test.
BUILD ?= build
JOBS  ?= $(shell nproc)
XVFB  := xvfb-run -a -s "-screen 0 1280x1024x24 -noreset"

.PHONY: all deps build run test fuzz lint clean

all: build

deps:
	@EXTRA_PACKAGES="$(EXTRA_PACKAGES)" sh tools/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The viewer in the foreground: type a mesh path at the prompt, e.g.
# examples/torus.off
run: build
	$(BUILD)/tarvexgl

# Every test; the window tests get their own X server with Mesa's software
# OpenGL. Then every test again built with ASan and UBSan (any report fails
# the test), and the process tests with tarvexgl under valgrind's memcheck.
SAN_BUILD ?= build-asan
$(SAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEXGL_SANITIZE=ON

test: EXTRA_PACKAGES += valgrind
test: build $(SAN_BUILD)/CMakeCache.txt
	LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -LE valgrind
	cmake --build $(SAN_BUILD) -j $(JOBS)
	UBSAN_OPTIONS=print_stacktrace=1 LIBGL_ALWAYS_SOFTWARE=1 \
	  $(XVFB) ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS)
	LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -L valgrind

# The OFF reader's fuzz target under libFuzzer, ASan and UBSan for
# FUZZ_SECONDS on one core, in its own clang build; prints the executions,
# the coverage of the parsing code and any finding (see fuzz/run.sh).
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 600
fuzz: EXTRA_PACKAGES += clang-14 libclang-rt-14-dev llvm-14
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -DTARVEXGL_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	sh fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# clang-format and clang-tidy over our own sources. FORMAT_SKIP leaves files
# out of the format check.
LINT_SOURCES := $(shell find mesh viewer tests tools fuzz bench -name '*.cpp' -o -name '*.h' 2>/dev/null)
FORMAT_SKIP  ?=
lint: EXTRA_PACKAGES += clang-format-14 clang-tidy-14
lint: build
	clang-format-14 --dry-run --Werror $(filter-out $(FORMAT_SKIP),$(LINT_SOURCES))
	printf '%s\n' $(filter %.cpp,$(LINT_SOURCES)) | xargs -P $(JOBS) -n 1 clang-tidy-14 -p $(BUILD) --quiet \
	  >$(BUILD)/clang-tidy.log 2>&1; status=$$?; grep -v 'warnings* generated\.$$' $(BUILD)/clang-tidy.log; exit $$status

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD)

# A newcomer's targets: the examples, a demo, the README's screenshot,
# installing and packaging.
PREFIX  ?= /usr/local
EXAMPLE ?= examples/vase.off

.PHONY: examples demo screenshot install package

# Rewrites examples/ from tools/examples.list.
examples: build
	sh tools/make-examples.sh $(BUILD)/meshgen examples

# The viewer on an example, the file name answered for you.
demo: build
	echo $(EXAMPLE) | $(BUILD)/tarvexgl

# docs/screenshot.png: the real viewer on a private Xvfb screen, its window
# read back after a second. Its grabber needs Xlib and libpng, and CMake is
# rerun so that it finds them.
screenshot: build
	@EXTRA_PACKAGES="libx11-dev libpng-dev" sh tools/install-deps.sh
	cmake -S . -B $(BUILD) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target tarvexgl windowshot
	sh tools/screenshot.sh $(BUILD) $(EXAMPLE) docs/screenshot.png

# The binary and its manual page under $(PREFIX).
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# $(BUILD)/tarvexgl_<version>_<arch>.deb, for apt install ./...
package: build
	cd $(BUILD) && cpack -G DEB

# Benchmarks, apart from the tests: a Release build of their own, meshes that
# meshgen writes into it (9 significant digits: the 1M-face torus is about
# 40 MB), load figures per mesh, the 1M-face torus again with the machine
# idle for 5 s before each load (as when a user types the path), then under
# Xvfb the frame cost and the wait from the path entered to the first frame
# (the window idle 5 s first). BENCH_QUICK=1 runs fewer meshes and rounds
# (about a minute).
BENCH_BUILD ?= build-bench
BENCH_MESHES = $(BENCH_BUILD)/meshes
ifeq ($(BENCH_QUICK),1)
BENCH_NAMES = torus-10k torus-100k torus-1m fan-10k
BENCH_RUNS = 3
BENCH_IDLE_RUNS = 1
BENCH_FIRST_RUNS = 2
else
BENCH_NAMES = torus-10k torus-100k torus-1m torus-4m sphere-10k sphere-100k sphere-1m sphere-4m fan-10k fan-100k
BENCH_RUNS = 7
BENCH_IDLE_RUNS = 3
BENCH_FIRST_RUNS = 5
endif
bench_faces = $(subst 10k,10000,$(subst 100k,100000,$(subst 1m,1000000,$(subst 4m,4000000,$(lastword $(subst -, ,$(1)))))))

.PHONY: bench bench-build

bench-build: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DTARVEXGL_BENCH=ON -DTARVEXGL_TESTS=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target meshgen load_bench frame_bench first_frame fit_bench

$(BENCH_MESHES)/%.off: | bench-build
	@mkdir -p $(BENCH_MESHES)
	$(BENCH_BUILD)/meshgen $(firstword $(subst -, ,$*)) $(call bench_faces,$*) 9 > $@.part && mv $@.part $@

bench: bench-build $(foreach m,$(BENCH_NAMES),$(BENCH_MESHES)/$(m).off)
	$(BENCH_BUILD)/bench/load_bench --runs $(BENCH_RUNS) $(foreach m,$(BENCH_NAMES),$(BENCH_MESHES)/$(m).off)
	$(BENCH_BUILD)/bench/load_bench --runs $(BENCH_IDLE_RUNS) --pause 5 $(BENCH_MESHES)/torus-1m.off
	$(BENCH_BUILD)/bench/fit_bench --runs $(BENCH_RUNS) $(BENCH_MESHES)/torus-1m.off
	LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) $(BENCH_BUILD)/bench/frame_bench --frames $(BENCH_RUNS) $(BENCH_MESHES)/torus-1m.off
	LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) $(BENCH_BUILD)/bench/first_frame --runs $(BENCH_FIRST_RUNS) --pause 5 $(BENCH_MESHES)/torus-1m.off
