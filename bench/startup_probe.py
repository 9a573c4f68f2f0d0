"""Starts the app repeatedly to its first painted home screen and once to the editor at rest
(blank, at the default grid and at 64 and 256 cells a side); prints JSON: start-up times in ms
(process start to first frame), resident megabytes."""
import json
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time


def run(program, env):
    started = time.monotonic() * 1000
    done = subprocess.run([program], env=env, capture_output=True, text=True, timeout=60)
    return started, done.stdout


def main():
    program = sys.argv[1]
    base = dict(os.environ)
    results = {}
    for name, extra in (("offscreen", {"QT_QPA_PLATFORM": "offscreen"}),
                        ("offscreen_scale3", {"QT_QPA_PLATFORM": "offscreen",
                                              "QT_SCALE_FACTOR": "3"})):
        env = dict(base, TILEBLOOM_STARTUP_PROBE="1", **extra)
        samples = []
        for _ in range(15):
            started, text = run(program, env)
            stamp = re.search(r"monotonic clock ([0-9.]+) ms", text)
            if stamp:
                samples.append(float(stamp.group(1)) - started)
        if samples:
            results["startup_" + name] = [min(samples), statistics.median(samples)]
    for name, extra in (("memory_editor", {}), ("memory_editor_scale3", {"QT_SCALE_FACTOR": "3"})):
        env = dict(base, TILEBLOOM_MEMORY_PROBE="1", QT_QPA_PLATFORM="offscreen", **extra)
        _, text = run(program, env)
        found = re.search(r"open: ([0-9.]+) MB \(peak ([0-9.]+) MB\)", text)
        if found:
            results[name] = [float(found.group(1)), float(found.group(2))]
    # The editor on a blank larger grid, chosen in a settings file of a data folder of its own.
    for cells in (64, 256):
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, "settings.ini"), "w") as settings:
                settings.write(f"[General]\nstepper=2\ngridWidth={cells}\ngridHeight={cells}\n"
                               "gridStepper=2\n")
            env = dict(base, TILEBLOOM_MEMORY_PROBE="1", QT_QPA_PLATFORM="offscreen",
                       QT_SCALE_FACTOR="3", TILEBLOOM_DATA_DIR=folder)
            _, text = run(program, env)
        found = re.search(r"open: ([0-9.]+) MB \(peak ([0-9.]+) MB\)", text)
        if found:
            results[f"memory_editor_scale3_{cells}"] = [float(found.group(1)),
                                                        float(found.group(2))]
    print(json.dumps(results))


if __name__ == "__main__":
    main()
