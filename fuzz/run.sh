#!/bin/sh
# make fuzz: runs each fuzz target for a set time on one core, one after the
# other: off_reader_fuzz (the viewer's reader), polygon_off_fuzz
# (tarvexgl-fit's OFF reader) and fit_formats_fuzz (tarvexgl-fit's STL, PLY
# and OBJ readers, and the cutting and framing after them). For each it says
# how many inputs it ran, what it covered of the code, and what it found.
#
#   fuzz/run.sh BUILD_DIR SECONDS
#
# SECONDS is each target's time. The corpora grow in BUILD_DIR/corpus/<target>
# and are kept between runs; seeds are the real meshes of tests/data and
# examples, the committed regression inputs of the target and, for the
# viewer's reader, a few small generated meshes. Crashing inputs land in
# BUILD_DIR/artifacts.
set -eu
build=$1
seconds=$2
src=$(cd "$(dirname "$0")/.." && pwd)

mkdir -p "$build/seeds/off_reader" "$build/seeds/polygon_off" "$build/artifacts"
cp "$src"/tests/data/*.off "$src"/examples/*.off "$src"/fuzz/regressions/* "$build/seeds/off_reader/"
"$build/meshgen" torus 24 4 >"$build/seeds/off_reader/gen-torus.off"
"$build/meshgen" sphere 16 5 >"$build/seeds/off_reader/gen-sphere.off"
"$build/meshgen" knot 40 6 >"$build/seeds/off_reader/gen-knot.off"
"$build/meshgen" fan 6 3 >"$build/seeds/off_reader/gen-fan.off"
cp "$src"/tests/data/*.off "$src"/fuzz/polygon_off_regressions/* "$build/seeds/polygon_off/"
mkdir -p "$build/seeds/fit_formats"
cp "$src"/fuzz/fit_formats_regressions/* "$build/seeds/fit_formats/"

failed=""
# fuzz TARGET DICTIONARY SOURCES...: one target's run, its figures and its
# coverage of SOURCES.
fuzz() {
    target=$1
    dictionary=$2
    shift 2
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    # A 16 KiB input already holds hundreds of records; longer ones only slow
    # each run. Allocations are held to the input's length by the target
    # itself, so the RSS limit only guards against a leak.
    status=0
    "$build/${target}_fuzz" "$corpus" "$build/seeds/$target" ${dictionary:+-dict="$dictionary"} \
        -max_len=16384 -timeout=5 -rss_limit_mb=2048 -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/${target}-" >"$build/$target.log" 2>&1 || status=$?

    echo "== ${target}_fuzz"
    grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::|^Done ' "$build/$target.log" || true
    # What the corpus (and the seeds at full length) covers of the reader.
    rm -f "$build/$target".prof*
    LLVM_PROFILE_FILE="$build/$target.profraw" "$build/${target}_coverage" "$corpus" "$build/seeds/$target" \
        >/dev/null || echo "(the coverage replay stopped at a failing input; figures below cover what ran before it)"
    llvm-profdata-14 merge -sparse "$build/$target.profraw" -o "$build/$target.profdata"
    echo "Coverage of the parsing code by the corpus:"
    llvm-cov-14 report "$build/${target}_coverage" -instr-profile="$build/$target.profdata" "$@"
    if [ "$status" -ne 0 ]; then
        echo "fuzz: ${target}_fuzz failed (status $status); the input is in $build/artifacts, the log in" \
            "$build/$target.log" >&2
        grep -E "^(==[0-9]+==ERROR|${target}_fuzz:|SUMMARY)" "$build/$target.log" >&2 || true
        failed="$failed $target"
    else
        echo "fuzz: ${target}_fuzz found nothing in $seconds s; log in $build/$target.log"
    fi
}

fuzz off_reader "$src/fuzz/off.dict" \
    "$src/mesh/off_reader.cpp" "$src/mesh/off_cursor.cpp" "$src/mesh/off_fast_reader.cpp" \
    "$src/mesh/file_bytes.cpp" "$src/mesh/number_token.cpp" "$src/mesh/normals.cpp"
fuzz polygon_off "$src/fuzz/polygon_off.dict" \
    "$src/formats/polygon_off.cpp" "$src/formats/polygon_off_text.cpp" "$src/formats/polygon_off_binary.cpp" \
    "$src/mesh/off_cursor.cpp" "$src/mesh/number_token.cpp"
fuzz fit_formats "" \
    "$src/formats/stl_reader.cpp" "$src/formats/ply_reader.cpp" "$src/formats/obj_reader.cpp" "$src/formats/text_scan.cpp" \
    "$src/mesh/join_positions.cpp" "$src/geometry/sweep_triangulate.cpp" "$src/geometry/safe_range.cpp"
[ -z "$failed" ] || exit 1
