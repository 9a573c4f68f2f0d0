"""Pillow doing the picture-opening jobs on the files bench_pictures wrote; prints one JSON
object of {job: [min_ms, median_ms]}.

The exported picture: decoded, then sampled at its 28 x 28 cells with NEAREST (Pillow is told
the grid; finding it is left to us). The photo: decoded, averaged to 128 x 128 (BOX), then
quantised to 32 colours by median cut without dithering.
"""
import json
import os
import statistics
import sys
import time

from PIL import Image


def timed(job, repeats):
    samples = []
    for _ in range(repeats):
        start = time.perf_counter()
        job()
        samples.append((time.perf_counter() - start) * 1000)
    return [min(samples), statistics.median(samples)]


def main():
    folder = sys.argv[1]
    exported = os.path.join(folder, "exported.png")
    photo = os.path.join(folder, "photo.jpg")

    def recover():
        with Image.open(exported) as image:
            image.convert("RGB").resize((28, 28), Image.NEAREST)

    def photo_to_drawing():
        with Image.open(photo) as image:
            small = image.convert("RGB").resize((128, 128), Image.BOX)
            small.quantize(32, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)

    print(json.dumps({
        "open_exported": timed(recover, 10),
        "photo_to_drawing": timed(photo_to_drawing, 10),
    }))


if __name__ == "__main__":
    main()
