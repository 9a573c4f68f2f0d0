#!/usr/bin/env bash
# Builds the benchmarks, runs them with the comparisons (Pillow, ImageMagick, Qt's own scaling
# and PNG save, plain QPainter and QGraphicsScene) in one go, measures the app's start and
# memory, and prints one table of figures, comparisons and ratios; then the table of the
# larger grids (28, 64 and 256 cells a side).
# Usage (from anywhere): bash bench/compare.sh [repetitions]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repetitions=${1:-3}
build="$root/build/release"
out=$(mktemp -d /tmp/tilebloom-bench.XXXXXX)

# The comparison tools, from Debian's packages.
missing=()
/usr/bin/python3 -c 'import PIL' 2>/dev/null || missing+=(python3-pil)
command -v convert >/dev/null || missing+=(imagemagick)
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DTILEBLOOM_BUILD_BENCH=ON >/dev/null
fi
cmake "$build" -DTILEBLOOM_BUILD_BENCH=ON >/dev/null
export CCACHE_BASEDIR="$root"
cmake --build "$build" -j2 --target bench_editor bench_export bench_pixelate bench_store \
    bench_gallery bench_pictures bench_draft tilebloom

echo "load before: $(uptime)"
export QT_QPA_PLATFORM=offscreen
mkdir -p "$out/inputs"
export TILEBLOOM_BENCH_INPUTS="$out/inputs"
for program in editor export pixelate store gallery pictures draft; do
    echo "running bench_$program ..."
    "$build/bench/bench_$program" --benchmark_repetitions="$repetitions" \
        --benchmark_out="$out/$program.json" --benchmark_out_format=json >/dev/null 2>&1
done
# The editor's rows again on the larger grids (the plain QPainter and QGraphicsScene drawings,
# a rectangle per cell, are left out there: tens of milliseconds a frame tell nothing new).
for cells in 64 256; do
    echo "running bench_editor at $cells x $cells ..."
    "$build/bench/bench_editor" --cells="$cells" --benchmark_repetitions="$repetitions" \
        --benchmark_filter='Bucket|UndoRedo|FullRepaint|CanvasViewUpdate|OneCell|InputTo|Open|FrameFill' \
        --benchmark_out="$out/editor_$cells.json" --benchmark_out_format=json >/dev/null 2>&1
done

echo "running Pillow and ImageMagick ..."
/usr/bin/python3 "$root/bench/pillow_bench.py" >"$out/pillow.json"
/usr/bin/python3 "$root/bench/pillow_pictures.py" "$out/inputs" >"$out/pillow_pictures.json"
# ImageMagick reports elapsed time per run of its pipeline for each thread count.
convert -size 390x520 xc:gray +noise Random -bench 5 -sample '117x156!' -sample '3510x4680!' \
    null: >"$out/imagemagick.txt" 2>&1 || true
convert -size 28x28 xc:gray +noise Random -bench 10 -rotate 90 -sample '3000x3000!' \
    null: >"$out/imagemagick_export.txt" 2>&1 || true

# The same files bench_pictures opened: the exported picture sampled at its cells, the photo
# reduced to 128 x 128 and 32 colours without dithering.
convert "$out/inputs/exported.png" -bench 5 -sample '28x28!' null: \
    >"$out/imagemagick_open.txt" 2>&1 || true
convert "$out/inputs/photo.jpg" -bench 5 -resize '128x128!' +dither -colors 32 null: \
    >"$out/imagemagick_photo.txt" 2>&1 || true

echo "starting the app ..."
/usr/bin/python3 "$root/bench/startup_probe.py" "$build/src/app/tilebloom" >"$out/startup.json"

echo "load after: $(uptime)"
/usr/bin/python3 "$root/bench/compare_table.py" "$out"
echo "raw results: $out"
