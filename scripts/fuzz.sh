#!/usr/bin/env bash
# Builds the libFuzzer targets in fuzz/ with clang and runs each for a bounded time, starting
# from the seed corpus in fuzz/corpus/<target> and keeping what it finds in
# build/fuzz/corpus/<target>. A crash stops the run, leaves its input in build/fuzz/artifacts
# and fails the script. Usage: fuzz.sh [seconds per target, default 30]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
build="$root/build/fuzz"

if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$build"

mkdir -p "$build/artifacts"
for target in color_archive photo_loader; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    log="$build/$target.log"
    # Qt keeps caches and threads for the life of the process, and the leak checker's own
    # tracer can fall over them at exit; the photo path is checked for memory errors only.
    leaks=1
    if [ "$target" = photo_loader ]; then
        leaks=0
    fi
    # close_fd_mask=3 silences the decoders' own chatter; libFuzzer still reports.
    if ! QT_QPA_PLATFORM=offscreen ASAN_OPTIONS="detect_leaks=$leaks" "$build/fuzz_$target" \
        -max_total_time="$seconds" -detect_leaks="$leaks" \
        -print_final_stats=1 -close_fd_mask=3 -max_len=65536 -rss_limit_mb=2048 \
        -artifact_prefix="$build/artifacts/$target-" \
        "$corpus" "$root/fuzz/corpus/$target" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "fuzz_$target: FAILED (input kept in $build/artifacts)" >&2
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz_$target: $runs inputs in ${seconds} s, no crash; corpus $(ls "$corpus" | wc -l) inputs"
done
