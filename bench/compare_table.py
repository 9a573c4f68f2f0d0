"""Prints the table of figures, comparisons and ratios from the results compare.sh gathered."""
import json
import os
import re
import statistics
import sys

UNITS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}


def load_bench(folder, program):
    path = os.path.join(folder, program + ".json")
    if not os.path.exists(path):
        return {}
    runs = {}
    for run in json.load(open(path))["benchmarks"]:
        if run.get("run_type") != "iteration" or "error_occurred" in run:
            continue
        entry = runs.setdefault(run["run_name"], {"ms": [], "counters": run})
        entry["ms"].append(run["real_time"] * UNITS[run["time_unit"]])
    return {name: {"min": min(r["ms"]), "median": statistics.median(r["ms"]),
                   "counters": r["counters"]} for name, r in runs.items()}


def imagemagick_ms(folder, name):
    """The best time of one run of the pipeline, from lines like
    "Performance[2]: 5i 2.927ips 0.510917e 1.690000u 0:01.708"."""
    path = os.path.join(folder, name)
    if not os.path.exists(path):
        return None
    found = re.findall(r"(\d+)i\s+\S+\s+\S+\s+\S+\s+(\d+):([0-9.]+)", open(path).read())
    times = [(int(m) * 60 + float(s)) * 1000 / int(i) for i, m, s in found]
    return min(times) if times else None


def main():
    folder = sys.argv[1]
    bench = {}
    for program in ("editor", "export", "pixelate", "store", "gallery", "pictures", "draft"):
        for name, value in load_bench(folder, program).items():
            bench[name] = value
    pillow = json.load(open(os.path.join(folder, "pillow.json")))
    start = json.load(open(os.path.join(folder, "startup.json")))
    pictures_path = os.path.join(folder, "pillow_pictures.json")
    pillow_pictures = json.load(open(pictures_path)) if os.path.exists(pictures_path) else {}

    def ours(name):
        entry = bench.get(name)
        return (entry["min"], entry["median"]) if entry else None

    def counter(name, key):
        entry = bench.get(name)
        return entry["counters"].get(key) if entry else None

    rows = []

    def row(target, mine, other, other_name, goal, met, unit="ms"):
        rows.append((target, mine, other, other_name, goal, met, unit))

    def faster(target, name, other, other_name, goal, met):
        mine = ours(name)
        row(target, mine, other, other_name, goal,
            met(mine, other) if met and mine and other else None)

    limit = lambda ms: (lambda mine, other: mine[1] <= ms)
    # Editor frame.
    for name, label in (("BM_CanvasViewFullRepaint", "full repaint, canvas view"),
                        ("BM_EditorFullRepaint", "full repaint, whole editor")):
        faster("Editor " + label, name, ours("BM_QPainterTwoFillRects"),
               "QPainter 2 fillRects/cell", "<= 2 ms", lambda m, o: m[1] <= 2)
    faster("Editor full repaint, canvas view", "BM_CanvasViewFullRepaint",
           ours("BM_QPainterDrawRect"), "QPainter drawRect+pen", "<= 2 ms", limit(2))
    faster("Editor full repaint, canvas view", "BM_CanvasViewFullRepaint",
           ours("BM_QGraphicsSceneRender"), "QGraphicsScene::render", "<= 2 ms", limit(2))
    faster("Editor full frame via backing store", "BM_CanvasViewUpdate",
           ours("BM_FrameFill"), "one fill of the frame", "<= 2 ms", limit(2))
    faster("One-cell stroke repaint (dirty rect)", "BM_OneCellRepaint",
           ours("BM_CanvasViewUpdate"), "full repaint", "<< 1 ms", limit(1))
    faster("Input to painted cell, drag", "BM_InputToPaintedCellDrag", (8.33, 8.33),
           "one 120 Hz frame", "< 8.3 ms", limit(8.33))
    faster("Input to painted cell, tap", "BM_InputToPaintedCellTap", (8.33, 8.33),
           "one 120 Hz frame", "< 8.3 ms", limit(8.33))
    for side in (28, 256):
        faster(f"Filled ellipse preview while dragging, {side}x{side}",
               f"BM_FilledEllipsePreviewDrag/{side}", (8.33, 8.33), "one 120 Hz frame",
               "< 8.3 ms", limit(8.33))
    # Fill and history.
    for name, label in (("BM_BucketFillGrid", "Bucket fill 28x28"),
                        ("BM_UndoRedoFill/0", "Undo of the fill"),
                        ("BM_UndoRedoFill/1", "Redo of the fill")):
        faster(label, name, (0.1, 0.1), "target", "< 0.1 ms", limit(0.1))
    # Export and PNG.
    at_least = lambda mine, other: mine[1] <= other[1]
    faster("exportImage(1000,1000) @3x", "BM_ExportShare",
           tuple(pillow["export_share"]), "Pillow turn+NEAREST", ">= Pillow", at_least)
    faster("exportImage(1000,1000) @3x", "BM_ExportShare", ours("BM_QtScaledShare"),
           "Qt fast scaling", "", at_least)
    magick = imagemagick_ms(folder, "imagemagick_export.txt")
    faster("exportImage(1000,1000) @3x", "BM_ExportShare",
           (magick, magick) if magick else None, "ImageMagick -sample", "", at_least)
    faster("Thumbnail exportImage(300,300) @3x", "BM_ExportThumbnail",
           tuple(pillow["export_thumbnail"]), "Pillow turn+NEAREST", "< 1 ms, >= Pillow",
           lambda m, o: m[1] < 1 and m[1] <= o[1])
    for image in ("thumbnail", "share"):
        mine, qt = "BM_PngEncoder/" + image, "BM_QtSavePng/" + image
        faster("PNG encode " + image, mine, ours(qt), "Qt save(\"PNG\")", ">= 2x Qt, <= size",
               lambda m, o, mine=mine, qt=qt: 2 * m[1] <= o[1]
               and counter(mine, "bytes") <= counter(qt, "bytes"))
        rows.append(("  PNG size " + image, counter(mine, "bytes"), counter(qt, "bytes"),
                     "Qt bytes", "", None, "B"))
    # Pictures coming in.
    same_or_faster = lambda m, o: m[1] <= o[1]
    open_ms = imagemagick_ms(folder, "imagemagick_open.txt")
    photo_ms = imagemagick_ms(folder, "imagemagick_photo.txt")
    if "open_exported" in pillow_pictures:
        faster("Open 3000x3000 export, recover 28x28", "BM_OpenExportedPicture/real_time",
               tuple(pillow_pictures["open_exported"]), "Pillow open+NEAREST (grid given)",
               "<= Pillow", same_or_faster)
    if open_ms:
        faster("Open 3000x3000 export, recover 28x28", "BM_OpenExportedPicture/real_time",
               (open_ms, open_ms), "ImageMagick -sample (grid given)", "<= ImageMagick",
               same_or_faster)
    faster("  of which PNG decoding", "BM_DecodeExportedPicture/real_time", None, "", "", None)
    faster("  of which grid recovery", "BM_RecoverDecodedPicture/real_time", None, "", "", None)
    if "photo_to_drawing" in pillow_pictures:
        faster("Photo 3000x3000 to 128x128, 32 colours", "BM_PhotoToDrawing/real_time",
               tuple(pillow_pictures["photo_to_drawing"]), "Pillow BOX+quantize(32)",
               "<= Pillow", same_or_faster)
    if photo_ms:
        faster("Photo 3000x3000 to 128x128, 32 colours", "BM_PhotoToDrawing/real_time",
               (photo_ms, photo_ms), "ImageMagick -resize -colors", "<= ImageMagick",
               same_or_faster)
    # From a file the photo is decoded at a reduced size; these two work on the whole of it.
    faster("  JPEG decoded whole (not done here)", "BM_DecodePhoto/real_time", None, "", "", None)
    faster("  whole photo reduced, with palette", "BM_ReduceDecodedPhoto/real_time", None, "", "",
           None)
    for image in ("share_784_random", "photo_like_900", "gradient_900"):
        mine, qt = "BM_PngEncoder/" + image, "BM_QtSavePng/" + image
        faster("PNG encode " + image, mine, ours(qt), "Qt save(\"PNG\")", "faster, <= size",
               lambda m, o, mine=mine, qt=qt: m[1] < o[1]
               and counter(mine, "bytes") <= counter(qt, "bytes"))
        rows.append(("  PNG size " + image, counter(mine, "bytes"), counter(qt, "bytes"),
                     "Qt bytes", "", None, "B"))
    # Pixelation.
    render = "BM_RenderBlockSize10/real_time"
    floor = ours("BM_Memcpy66MB/real_time")
    faster("Pixelation render v=10", render, floor, "memcpy 66 MB (floor)",
           "<= 1.5x floor", lambda m, o: m[1] <= 1.5 * o[1])
    faster("Pixelation render v=10", render, tuple(pillow["pixelate"]),
           "Pillow 2 steps", "< Pillow", at_least)
    faster("Pixelation render v=10", render, ours("BM_QtFastScalingBlockSize10/real_time"),
           "Qt fast scaling", "", at_least)
    magick = imagemagick_ms(folder, "imagemagick.txt")
    faster("Pixelation render v=10", render,
           (magick, magick) if magick else None, "ImageMagick -sample", "", at_least)
    faster("Pixelation render v=10, fresh memory", "BM_RenderBlockSize10FreshMemory/real_time",
           floor, "memcpy 66 MB (floor)", "", None)
    faster("Normalise 3024x4032 -> 390x520", "BM_Normalise/0/real_time",
           tuple(pillow["normalise"]), "Pillow bilinear", ">= 5x Pillow",
           lambda m, o: 5 * m[1] <= o[1])
    sweep = [r for name, r in bench.items() if name.startswith("BM_PixelationSweep")]
    if sweep:
        peak = sweep[0]["counters"].get("results_held_peak")
        growth = sweep[0]["counters"].get("resident_growth_MB")
        rows.append(("Pixelation sweep: results held at once", peak, 2, "limit", "<= 2",
                     peak <= 2, "x"))
        rows.append(("Pixelation sweep: resident growth", growth, None, "", "", None, "MB"))
    # Store and gallery.
    faster("Store save with thumbnail (durable)", "BM_SaveNewDrawing", (1, 1), "target", "< 1 ms",
           limit(1))
    faster("Gallery of 1000, first screen", "BM_GalleryFirstScreen/real_time", (100, 100),
           "target", "< 100 ms", limit(100))
    # The draft: what a step costs the editor's thread, and the writer's durable transaction,
    # each against one 120 Hz frame.
    frame = (8.33, 8.33)
    for side in (28, 256):
        for step in ("Tap", "Fill"):
            faster(f"Draft hand-over, {step.lower()} {side}x{side}",
                   f"BM_DraftHandOver{step}/{side}" + ("/iterations:20" if step == "Fill" else ""),
                   frame, "one 120 Hz frame", "< 8.3 ms", limit(8.33))
            faster(f"  durable write (writer thread)",
                   f"BM_DraftDurableWrite{step}/{side}" + ("/iterations:20" if step == "Fill" else ""),
                   frame, "one 120 Hz frame", "", None)
    faster("Draft, first step of a run (opens the store)", "BM_DraftFirstStepOfARun/iterations:30",
           frame, "one 120 Hz frame", "< 8.3 ms", limit(8.33))
    # Start and memory.
    for key, label in (("startup_offscreen", "Cold start to first frame"),
                       ("startup_offscreen_scale3", "Cold start to first frame @3x")):
        if key in start:
            row(label, tuple(start[key]), (300, 300), "target", "< 300 ms",
                start[key][1] < 300)
    for key, label in (("memory_editor", "Resident, editor open"),
                       ("memory_editor_scale3", "Resident, editor open @3x")):
        if key in start:
            rows.append((label, start[key][0], 150, "limit", "< 150 MB", start[key][0] < 150, "MB"))

    def show(value, unit):
        if value is None:
            return "-"
        if isinstance(value, tuple):
            return "%.3g / %.3g %s" % (value[0], value[1], unit)
        return "%.4g %s" % (value, unit)

    print("\n%-40s %-22s %-22s %-26s %-8s %-18s %s" % (
        "target", "ours min/median", "comparison", "compared with", "ratio", "goal", "met"))
    for target, mine, other, other_name, goal, met, unit in rows:
        a = mine[1] if isinstance(mine, tuple) else mine
        b = other[1] if isinstance(other, tuple) else other
        ratio = "%.2fx" % (b / a) if a and b else "-"
        print("%-40s %-22s %-22s %-26s %-8s %-18s %s" % (
            target, show(mine, unit), show(other, unit), other_name, ratio, goal,
            "" if met is None else ("yes" if met else "NO")))
    print("\nratio = comparison / ours (above 1: ours is faster or smaller)")
    larger_grids(folder, bench, start, show)


def larger_grids(folder, bench28, start, show):
    """The jobs of the larger-grid table at 28, 64 and 256 cells a side, with their goals."""
    sizes = {28: bench28, 64: load_bench(folder, "editor_64"), 256: load_bench(folder, "editor_256")}

    def figure(source, name):
        entry = source.get(name)
        return (entry["min"], entry["median"]) if entry else None

    floor = figure(bench28, "BM_MemcpyShare")
    rows = []
    for cells, editor in sizes.items():
        label = "%dx%d" % (cells, cells)
        for name, job, goal_ms in (
                ("BM_EditorFullRepaint", "full repaint, whole editor", 2),
                ("BM_CanvasViewFullRepaint", "full repaint, canvas view", 2),
                ("BM_InputToPaintedCellDrag", "input to painted cell, drag", 0.1),
                ("BM_OneCellRepaint", "dirty-rect repaint, one cell", 0.1),
                ("BM_BucketFillGrid", "bucket fill of the whole grid", 2),
                ("BM_UndoRedoFill/0", "undo of that fill", 2),
                ("BM_OpenEditorOnStoredDrawing", "open the editor on a stored drawing", 30)):
            mine = figure(editor, name)
            rows.append((label, job, mine, "<= %g ms" % goal_ms if goal_ms >= 2 else
                         "< %g ms" % goal_ms,
                         None if mine is None else mine[1] <= goal_ms, "ms"))
        share = figure(bench28, "BM_ExportShare" if cells == 28 else
                       "BM_ExportShareCells/%d" % cells)
        rows.append((label, "export 1000 pt @3x", share,
                     "<= 1.5x memcpy (%s)" % (show(floor, "ms") if floor else "-"),
                     None if not (share and floor) else share[1] <= 1.5 * floor[1], "ms"))
        save = figure(bench28, "BM_SaveNewDrawing" if cells == 28 else
                      "BM_SaveNewDrawingCells/%d" % cells)
        rows.append((label, "save with thumbnail, durable", save, "< 3 ms",
                     None if save is None else save[1] < 3, "ms"))
        key = "memory_editor_scale3" if cells == 28 else "memory_editor_scale3_%d" % cells
        memory = start.get(key)
        rows.append((label if cells != 28 else "default grid", "resident, editor open @3x",
                     memory[0] if memory else None, "< 150 MB",
                     None if memory is None else memory[0] < 150, "MB"))
    print("\n%-14s %-38s %-24s %-26s %s" % ("grid", "job", "ours min/median", "goal", "met"))
    for label, job, mine, goal, met, unit in rows:
        print("%-14s %-38s %-24s %-26s %s" % (label, job, show(mine, unit), goal,
                                              "" if met is None else ("yes" if met else "NO")))


if __name__ == "__main__":
    main()
