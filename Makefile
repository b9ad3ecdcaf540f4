# The front door: make run, make test.
BUILD ?= build
JOBS  ?= $(shell nproc)
XVFB  := xvfb-run -a -s "-screen 0 1280x1024x24 -noreset"

.PHONY: all deps build run test test-clang test-arm64 test-package man fuzz lint clean

all: build

# The packages every target below needs are installed here, never by CMake.
deps:
	@EXTRA_PACKAGES="$(EXTRA_PACKAGES)" sh tools/install-deps.sh

# make's own builds treat warnings as errors. The main one also carries the
# hardening flags of Debian's packages, which make package ships and the
# package test checks (sanitizers and _FORTIFY_SOURCE do not mix, so the
# sanitizer build goes without). Debian's source-path mapping is left out, so
# that a debugger finds the sources of a build made here.
WERROR    := -DTARVEXGL_WERROR=ON
DEB_FLAGS  = DEB_BUILD_MAINT_OPTIONS="hardening=+all reproducible=-fixfilepath,-fixdebugpath" dpkg-buildflags --get
HARDENED   = CXXFLAGS="$$($(DEB_FLAGS) CPPFLAGS) $$($(DEB_FLAGS) CXXFLAGS)" LDFLAGS="$$($(DEB_FLAGS) LDFLAGS)"

# Configured quietly: the output goes to configure.log, shown on failure;
# only the note on skipped tests is printed.
$(BUILD)/CMakeCache.txt:
	@mkdir -p $(BUILD)
	@$(HARDENED) cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WERROR) -DTARVEXGL_HARDENED=ON \
	  >$(BUILD)/configure.log 2>&1 || { cat $(BUILD)/configure.log; exit 1; }

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The viewer in the foreground: type a mesh path at the prompt, e.g.
# examples/torus.off. The viewer and tarvexgl-fit are built, their output
# kept in $(BUILD)/build.log and shown only when the build fails.
run: deps $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) -j $(JOBS) --target tarvexgl tarvexgl-fit >$(BUILD)/build.log 2>&1 || { cat $(BUILD)/build.log; exit 1; }
	@$(BUILD)/tarvexgl

# A manual page without man-db: groff's nroff formats it. PAGE names the
# program: make man PAGE=tarvexgl-fit.
PAGE ?= tarvexgl
man: PACKAGES = groff-base
man:
	@PACKAGES="$(PACKAGES)" sh tools/install-deps.sh
	@nroff -man docs/$(PAGE).1 | $${PAGER:-more}

# Every test; the window tests get their own X server with Mesa's software
# OpenGL. Then every test again built with ASan and UBSan (any report fails
# the test), and the process tests with tarvexgl under valgrind's memcheck.
SAN_BUILD ?= build-asan
$(SAN_BUILD)/CMakeCache.txt:
	@mkdir -p $(SAN_BUILD)
	@cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WERROR) -DTARVEXGL_SANITIZE=ON \
	  >$(SAN_BUILD)/configure.log 2>&1 || { cat $(SAN_BUILD)/configure.log; exit 1; }

# ctest names a test that skipped itself but does not show its output: the
# test's own "Skipped: ..." line, which says why, is picked from the log of
# the run in $(1), whether or not the run passed.
show_skipped = status=$$?; grep -h '^Skipped: ' $(1)/Testing/Temporary/LastTest.log 2>/dev/null; exit $$status

test: build $(SAN_BUILD)/CMakeCache.txt
	@sed -n 's/^-- Skipped: /Skipped: /p' $(BUILD)/configure.log 2>/dev/null || true
	LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -LE valgrind; \
	  $(call show_skipped,$(BUILD))
	cmake --build $(SAN_BUILD) -j $(JOBS)
	UBSAN_OPTIONS=print_stacktrace=1 LIBGL_ALWAYS_SOFTWARE=1 \
	  $(XVFB) ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS)
	LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -L valgrind

# Every test again built by clang in Release, the configuration furthest from
# the main build, so that neither compiler's warnings creep in (CI runs it).
CLANG_BUILD ?= build-clang
test-clang: EXTRA_PACKAGES += clang-14
test-clang: deps
	cmake -S . -B $(CLANG_BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++-14 $(WERROR)
	cmake --build $(CLANG_BUILD) -j $(JOBS)
	LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) ctest --test-dir $(CLANG_BUILD) --output-on-failure -j $(JOBS) -LE valgrind; \
	  $(call show_skipped,$(CLANG_BUILD))

# The package's tests alone, on make's own build, the one make package
# ships: its files, lintian's verdict, and its thumbnailer run in GNOME's
# sandbox, which must run here (TARVEXGL_REQUIRE_SANDBOX=1 makes a skip a
# failure). The kernel gives no sandbox inside a chroot, so make test-fresh's
# root skips that one; CI runs this outside, after make lint has built
# $(BUILD).
test-package: build
	TARVEXGL_REQUIRE_SANDBOX=1 ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -L package; \
	  $(call show_skipped,$(BUILD))

# The mesh library and its unit tests cross-built for arm64 (GoogleTest
# compiled from Debian's sources for the target) and run under qemu-user,
# which ctest calls through the toolchain file's emulator.
ARM64_BUILD ?= build-arm64
test-arm64: EXTRA_PACKAGES += g++-aarch64-linux-gnu qemu-user googletest
test-arm64: deps
	cmake -S . -B $(ARM64_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DTARVEXGL_MESH_ONLY=ON -DTARVEXGL_GTEST_SOURCE=/usr/src/googletest $(WERROR)
	cmake --build $(ARM64_BUILD) -j $(JOBS)
	ctest --test-dir $(ARM64_BUILD) --output-on-failure -j $(JOBS)

# The README's two commands on a fresh minimal Debian 12, as a packager's
# clean room would try them: make test in a new debootstrap root holding only
# git, make and a clone of this checkout's last commit; then make package,
# and the package installed into a second new root and its programs run
# there (tools/test-fresh.sh). As root; CI runs it.
.PHONY: test-fresh
test-fresh:
	@PACKAGES=debootstrap sh tools/install-deps.sh
	sh tools/test-fresh.sh .

# The fuzz targets of both OFF readers, the viewer's and tarvexgl-fit's, under
# libFuzzer, ASan and UBSan, each for FUZZ_SECONDS on one core, in their own
# clang build; prints the executions, the coverage of the parsing code and
# any finding (see fuzz/run.sh).
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 600
fuzz: EXTRA_PACKAGES += clang-14 libclang-rt-14-dev llvm-14
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -DTARVEXGL_FUZZ=ON $(WERROR) -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	sh fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# clang-format and clang-tidy over our own sources. FORMAT_SKIP leaves files
# out of the format check.
LINT_SOURCES := $(shell find mesh viewer formats geometry process rendering fit shot tests tools fuzz bench -name '*.cpp' -o -name '*.h' 2>/dev/null)
FORMAT_SKIP  ?=
lint: EXTRA_PACKAGES += clang-format-14 clang-tidy-14
lint: build
	clang-format-14 --dry-run --Werror $(filter-out $(FORMAT_SKIP),$(LINT_SOURCES))
	printf '%s\n' $(filter %.cpp,$(LINT_SOURCES)) | xargs -P $(JOBS) -n 1 clang-tidy-14 -p $(BUILD) --quiet \
	  >$(BUILD)/clang-tidy.log 2>&1; status=$$?; grep -v 'warnings* generated\.$$' $(BUILD)/clang-tidy.log; exit $$status

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) $(CLANG_BUILD) $(ARM64_BUILD)

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

# The README's pictures, drawn by tarvexgl-shot with no display:
# docs/screenshot.png, the viewer's first frame of $(EXAMPLE), and
# docs/turn.gif, a whole turn of $(TURN_EXAMPLE).
TURN_EXAMPLE ?= examples/knot.off
screenshot: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target tarvexgl-shot
	$(BUILD)/tarvexgl-shot $(EXAMPLE) docs/screenshot.png
	$(BUILD)/tarvexgl-shot --turn $(TURN_EXAMPLE) docs/turn.gif

# The binary and its manual page under $(PREFIX).
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# $(BUILD)/tarvexgl_<version>_<arch>.deb, for apt install ./...
package: build
	cd $(BUILD) && cpack -G DEB

# Benchmarks, apart from the tests: a Release build of their own, meshes that
# meshgen writes into it (9 significant digits: the 1M-face torus is about
# 40 MB), load figures per mesh, the 1M-face torus again with the machine
# idle for 5 s before each load (as when a user types the path), the
# file manager's wait for a thumbnail of the 100k-face torus, then under
# Xvfb the frame cost and the wait from the path entered to the first frame
# (the window idle 5 s first). tarvexgl-fit is measured on the 1M-face torus
# as OFF and as binary STL, binary PLY and OBJ (written beside it), each
# against the viewer's load of the OFF in the same rounds, and on single
# polygons of 10k to 1M corners. BENCH_QUICK=1 runs fewer meshes and rounds
# (about a minute). degenerate-1m is one vertex named by every corner of a
# million faces (8 MB).
BENCH_BUILD ?= build-bench
BENCH_MESHES = $(BENCH_BUILD)/meshes
ifeq ($(BENCH_QUICK),1)
BENCH_NAMES = torus-10k torus-100k torus-1m fan-10k degenerate-1m
BENCH_RUNS = 3
BENCH_IDLE_RUNS = 1
BENCH_FIRST_RUNS = 2
else
BENCH_NAMES = torus-10k torus-100k torus-1m torus-4m sphere-10k sphere-100k sphere-1m sphere-4m fan-10k fan-100k degenerate-1m
BENCH_RUNS = 7
BENCH_IDLE_RUNS = 3
BENCH_FIRST_RUNS = 5
endif
bench_faces = $(subst 10k,10000,$(subst 100k,100000,$(subst 1m,1000000,$(subst 4m,4000000,$(lastword $(subst -, ,$(1)))))))

.PHONY: bench bench-build

bench-build: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DTARVEXGL_BENCH=ON -DBUILD_TESTING=OFF $(WERROR)
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target meshgen load_bench frame_bench first_frame fit_bench thumbnail_bench

$(BENCH_MESHES)/%.off: | bench-build
	@mkdir -p $(BENCH_MESHES)
	$(BENCH_BUILD)/meshgen $(firstword $(subst -, ,$*)) $(call bench_faces,$*) 9 > $@.part && mv $@.part $@

bench: bench-build $(foreach m,$(BENCH_NAMES),$(BENCH_MESHES)/$(m).off)
	$(BENCH_BUILD)/bench/load_bench --runs $(BENCH_RUNS) $(foreach m,$(BENCH_NAMES),$(BENCH_MESHES)/$(m).off)
	$(BENCH_BUILD)/bench/load_bench --runs $(BENCH_IDLE_RUNS) --pause 5 $(BENCH_MESHES)/torus-1m.off
	$(BENCH_BUILD)/bench/fit_bench --runs $(BENCH_RUNS) --formats $(BENCH_MESHES)/torus-1m.off
	$(BENCH_BUILD)/bench/fit_bench --runs $(BENCH_RUNS) --polygons
	LIBGL_ALWAYS_SOFTWARE=1 $(BENCH_BUILD)/bench/thumbnail_bench --shot $(BENCH_BUILD)/tarvexgl-shot --runs $(BENCH_RUNS) \
	  $(BENCH_MESHES)/torus-100k.off
	LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) $(BENCH_BUILD)/bench/frame_bench --frames $(BENCH_RUNS) $(BENCH_MESHES)/torus-1m.off
	LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) $(BENCH_BUILD)/bench/first_frame --runs $(BENCH_FIRST_RUNS) --pause 5 $(BENCH_MESHES)/torus-1m.off
