#!/usr/bin/env bash
# Configures and builds one flavour: release (the app, tests and benchmarks) or asan
# (AddressSanitizer + UndefinedBehaviorSanitizer, tests only). Usage: build.sh [release|asan] [target...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-release}
shift || true

case "$flavour" in
    release) options=(-DCMAKE_BUILD_TYPE=Release -DTILEBLOOM_BUILD_BENCH=ON) ;;
    asan) options=(-DCMAKE_BUILD_TYPE=Debug -DTILEBLOOM_SANITIZE=ON "-DCMAKE_CXX_FLAGS=-O1") ;;
    *) echo "unknown flavour: $flavour (release or asan)" >&2; exit 2 ;;
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
