#!/usr/bin/env bash
# Configures and builds one flavour: release (the app, tests and benchmarks), asan
# (AddressSanitizer + UndefinedBehaviorSanitizer, tests only) or tsan (ThreadSanitizer, for the
# tests of the code that runs on several threads; build it by target).
# Usage: build.sh [release|asan|tsan] [target...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-release}
shift || true

case "$flavour" in
    release) options=(-DCMAKE_BUILD_TYPE=Release -DTILEBLOOM_BUILD_BENCH=ON) ;;
    # The sanitizer flavours compile in unity batches, which cuts their compile time by a third
    # to a half (and makes anonymous-namespace types look shared between files, hence the
    # warning switched off); the release flavour compiles file by file, so a missing include
    # still shows.
    asan) options=(-DCMAKE_BUILD_TYPE=Debug -DTILEBLOOM_SANITIZE=ON "-DCMAKE_CXX_FLAGS=-O1 -Wno-subobject-linkage"
                   -DCMAKE_UNITY_BUILD=ON) ;;
    # Line tables are all a report needs.
    tsan) options=(-DCMAKE_BUILD_TYPE=Debug -DTILEBLOOM_SANITIZE_THREAD=ON "-DCMAKE_CXX_FLAGS=-O1 -g1 -Wno-subobject-linkage"
                   -DCMAKE_UNITY_BUILD=ON) ;;
    *) echo "unknown flavour: $flavour (release, asan or tsan)" >&2; exit 2 ;;
esac

build="$root/build/$flavour"
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja "${options[@]}" >/dev/null
fi
if [ $# -gt 0 ]; then
    cmake --build "$build" --target "$@"
else
    cmake --build "$build"
fi
