# The front door: make run, make test.
BUILD ?= build
JOBS  ?= $(shell nproc)
XVFB  := xvfb-run -a -s "-screen 0 1280x1024x24"

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
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target meshgen load_bench frame_bench first_frame

$(BENCH_MESHES)/%.off: | bench-build
	@mkdir -p $(BENCH_MESHES)
	$(BENCH_BUILD)/meshgen $(firstword $(subst -, ,$*)) $(call bench_faces,$*) 9 > $@.part && mv $@.part $@

bench: bench-build $(foreach m,$(BENCH_NAMES),$(BENCH_MESHES)/$(m).off)
	$(BENCH_BUILD)/bench/load_bench --runs $(BENCH_RUNS) $(foreach m,$(BENCH_NAMES),$(BENCH_MESHES)/$(m).off)
	$(BENCH_BUILD)/bench/load_bench --runs $(BENCH_IDLE_RUNS) --pause 5 $(BENCH_MESHES)/torus-1m.off
	LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) $(BENCH_BUILD)/bench/frame_bench --frames $(BENCH_RUNS) $(BENCH_MESHES)/torus-1m.off
	LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) $(BENCH_BUILD)/bench/first_frame --runs $(BENCH_FIRST_RUNS) --pause 5 $(BENCH_MESHES)/torus-1m.off
