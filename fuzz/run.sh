#!/bin/sh
# make fuzz: runs the OFF reader's fuzz target for a set time on one core,
# then says how many inputs it ran, what it covered of the reader, and what
# it found; then tarvexgl-fit's STL, PLY and OBJ target for as long.
#
#   fuzz/run.sh BUILD_DIR SECONDS
#
# The corpus grows in BUILD_DIR/corpus and is kept between runs; seeds are
# the real meshes of tests/data and examples, the committed regression
# inputs and a few small generated meshes. Crashing inputs land in
# BUILD_DIR/artifacts.
set -eu
build=$1
seconds=$2
src=$(cd "$(dirname "$0")/.." && pwd)

mkdir -p "$build/corpus" "$build/seeds" "$build/artifacts"
cp "$src"/tests/data/*.off "$src"/examples/*.off "$src"/fuzz/regressions/* "$build/seeds/"
"$build/meshgen" torus 24 4 >"$build/seeds/gen-torus.off"
"$build/meshgen" sphere 16 5 >"$build/seeds/gen-sphere.off"
"$build/meshgen" knot 40 6 >"$build/seeds/gen-knot.off"
"$build/meshgen" fan 6 3 >"$build/seeds/gen-fan.off"

# A 16 KiB input already holds hundreds of records; longer ones only slow
# each run. Allocations are held to the input's length by the target itself,
# so the RSS limit only guards against a leak.
status=0
"$build/off_reader_fuzz" "$build/corpus" "$build/seeds" -dict="$src/fuzz/off.dict" \
    -max_len=16384 -timeout=5 -rss_limit_mb=2048 -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/" >"$build/fuzz.log" 2>&1 || status=$?

grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::|^Done ' "$build/fuzz.log" || true

# Then tarvexgl-fit's STL, PLY and OBJ readers (and the cutting and framing
# after them) for as long, from their regression inputs.
mkdir -p "$build/fit-corpus"
fitStatus=0
"$build/fit_formats_fuzz" "$build/fit-corpus" "$src/fuzz/fit-regressions" \
    -max_len=16384 -timeout=5 -rss_limit_mb=2048 -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/" >"$build/fit-fuzz.log" 2>&1 || fitStatus=$?
grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::|^Done ' "$build/fit-fuzz.log" || true
# What the corpus (and the seeds at full length) covers of the reader's code.
rm -f "$build"/coverage.prof*
LLVM_PROFILE_FILE="$build/coverage.profraw" "$build/off_reader_coverage" "$build/corpus" "$build/seeds" >/dev/null ||
    echo "(the coverage replay stopped at a failing input; figures below cover what ran before it)"
llvm-profdata-14 merge -sparse "$build/coverage.profraw" -o "$build/coverage.profdata"
echo "Coverage of the parsing code by the corpus:"
llvm-cov-14 report "$build/off_reader_coverage" -instr-profile="$build/coverage.profdata" \
    "$src/mesh/off_reader.cpp" "$src/mesh/off_fast_reader.cpp" "$src/mesh/file_bytes.cpp" \
    "$src/mesh/number_token.cpp" "$src/mesh/normals.cpp"
if [ "$fitStatus" -ne 0 ]; then
    echo "fuzz: fit_formats_fuzz failed (status $fitStatus); the input is in $build/artifacts, the log in $build/fit-fuzz.log" >&2
    grep -E '^(==[0-9]+==ERROR|fit_formats_fuzz:|SUMMARY)' "$build/fit-fuzz.log" >&2 || true
    [ "$status" -ne 0 ] || exit 1
fi
if [ "$status" -ne 0 ]; then
    echo "fuzz: the target failed (status $status); the input is in $build/artifacts, the log in $build/fuzz.log" >&2
    grep -E '^(==[0-9]+==ERROR|off_reader_fuzz:|SUMMARY)' "$build/fuzz.log" >&2 || true
    exit 1
fi
echo "fuzz: nothing found in $seconds s for each target; logs in $build/fuzz.log and $build/fit-fuzz.log"
