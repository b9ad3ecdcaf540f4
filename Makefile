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

# clang-format and clang-tidy over our own sources. The reader and the
# normals are being rewritten and join the format check once reformatted.
LINT_SOURCES := $(shell find mesh viewer tests tools fuzz -name '*.cpp' -o -name '*.h' 2>/dev/null)
FORMAT_SKIP  ?= mesh/off_reader.cpp mesh/normals.cpp
lint: EXTRA_PACKAGES += clang-format-14 clang-tidy-14
lint: build
	clang-format-14 --dry-run --Werror $(filter-out $(FORMAT_SKIP),$(LINT_SOURCES))
	printf '%s\n' $(filter %.cpp,$(LINT_SOURCES)) | xargs -P $(JOBS) -n 1 clang-tidy-14 -p $(BUILD) --quiet \
	  >$(BUILD)/clang-tidy.log 2>&1; status=$$?; grep -v 'warnings* generated\.$$' $(BUILD)/clang-tidy.log; exit $$status

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD)

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
