"""Pillow doing the app's resampling jobs; prints one JSON object of {job: [min_ms, median_ms]}."""
import json
import os
import statistics
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
    cells = Image.frombytes("RGBA", (28, 28), os.urandom(28 * 28 * 4))
    preview = Image.frombytes("RGB", (390, 520), os.urandom(390 * 520 * 3))
    photo = Image.frombytes("RGB", (3024, 4032), os.urandom(3024 * 4032 * 3))
    # The export: the cells turned a quarter, then enlarged without smoothing.
    share = lambda: cells.transpose(Image.Transpose.ROTATE_90).resize((3000, 3000), Image.NEAREST)
    thumb = lambda: cells.transpose(Image.Transpose.ROTATE_90).resize((900, 900), Image.NEAREST)
    # Pixelation at block size 10: shrink, then enlarge, both nearest neighbour.
    pixelate = lambda: preview.resize((117, 156), Image.NEAREST).resize((3510, 4680), Image.NEAREST)
    normalise = lambda: photo.resize((390, 520), Image.BILINEAR)
    print(json.dumps({
        "export_share": timed(share, 30),
        "export_thumbnail": timed(thumb, 200),
        "pixelate": timed(pixelate, 20),
        "normalise": timed(normalise, 10),
    }))


if __name__ == "__main__":
    main()
