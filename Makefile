# The front door: make run, make test.
BUILD ?= build
JOBS  ?= $(shell nproc)
XVFB  := xvfb-run -a -s "-screen 0 1280x1024x24 -noreset"

.PHONY: all deps build run test clean

all: build

deps:
	@sh tools/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The viewer in the foreground: type a mesh path at the prompt, e.g.
# examples/torus.off
run: build
	$(BUILD)/tarvexgl

# Every test; the window tests get their own X server with Mesa's software
# OpenGL.
test: build
	LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)

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
