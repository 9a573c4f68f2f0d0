#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: in the release build and in
# the AddressSanitizer + UndefinedBehaviorSanitizer build.
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
