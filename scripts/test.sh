#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: in the release build and in
# the AddressSanitizer + UndefinedBehaviorSanitizer build. Then fuzzes the decoders of outside
# bytes for a bounded time and runs the tests of the multi-threaded pixelation code under
# ThreadSanitizer. Longer runs: TILEBLOOM_CRASH_KILLS (store kills, default 200),
# TILEBLOOM_MONKEY_EVENTS (random input events) and TILEBLOOM_FUZZ_SECONDS (per target, 30).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
jobs=$(nproc)

for flavour in release asan; do
    echo "== $flavour build"
    bash "$root/scripts/build.sh" "$flavour"
    echo "== $flavour tests"
    QT_QPA_PLATFORM=offscreen ctest --test-dir "$root/build/$flavour" --output-on-failure -j "$jobs"
done

echo "== fuzzing"
bash "$root/scripts/fuzz.sh" "${TILEBLOOM_FUZZ_SECONDS:-30}"

echo "== tsan build (pixelation)"
bash "$root/scripts/build.sh" tsan tests_pixelate
echo "== tsan tests"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$root/build/tsan" -L pixelate --output-on-failure -j "$jobs"
