#!/usr/bin/env python3
"""Fails when a source folder includes a header of a folder its library does not link.

Every folder under src/ is one library whose CMakeLists.txt names the tilebloom_* libraries it
links; includes are rooted at src/, so the first path part of an include names its folder.
An include is allowed from the folder itself and from what it links, directly or through them.
"""
import pathlib
import re
import sys

src = pathlib.Path(sys.argv[1])
links = {}
for cmake in src.glob("*/CMakeLists.txt"):
    folder = cmake.parent.name
    text = cmake.read_text()
    block = re.search(r"tilebloom_add_library\(\s*\w+(.*?)\)\s*$", text, re.S | re.M)
    names = re.findall(r"\btilebloom_(\w+)", block.group(1)) if block else []
    links[folder] = {n for n in names if (src / n).is_dir()}


def reachable(folder, seen=None):
    seen = set() if seen is None else seen
    for below in links.get(folder, ()):
        if below not in seen:
            seen.add(below)
            reachable(below, seen)
    return seen


failures = []
for folder in sorted(links):
    allowed = reachable(folder) | {folder}
    if folder in reachable(folder):
        failures.append(f"{folder}: links itself through a cycle")
    for path in sorted((src / folder).rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        for number, line in enumerate(path.read_text().splitlines(), 1):
            match = re.match(r'\s*#\s*include\s+"(\w+)/', line)
            if match and (src / match.group(1)).is_dir() and match.group(1) not in allowed:
                failures.append(f"{path.relative_to(src)}:{number}: includes {match.group(1)}/ "
                                f"but {folder} does not link it")
for failure in failures:
    print(failure)
print(f"{len(links)} folders checked, {len(failures)} layering faults")
sys.exit(1 if failures else 0)
