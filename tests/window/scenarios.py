"""Scenarios that drive the real window: one per ctest test, named on the command line.

By hand, from the repository root:
    export TILEBLOOM_BINARY=build/release/src/app/tilebloom
    /usr/bin/python3 tests/window/scenarios.py stroke
"""

import contextlib
import os
import shutil
import sys
import tempfile

# The tests run from the source tree, which must stay as it is.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import (  # noqa: E402
    Editor, Failure, Session, close_to, describe_cells, main, stored_cells, wait_for)

ROW_A = [(column, 5) for column in range(2, 13)]
ROW_B = [(column, 9) for column in range(4, 16)]
TITLE = "Harbour at dawn"
SAVED = ("SELECT t.fileName AS title, d.width, d.height, hex(d.colorArray) AS colors"
         " FROM Drawing d JOIN Thumbnail t ON t.id = d.thumbnail")


# Roles a user acts on; any other node that offers an action counts as a control too.
CONTROL_ROLES = {
    "push button", "toggle button", "check box", "radio button", "combo box", "text",
    "password text", "entry", "spin button", "slider", "scroll bar", "list item", "table cell",
    "tree item", "menu item", "link", "page tab", "dial",
}


def controls(session):
    return [node for node in session.nodes()
            if node.path and (node.role in CONTROL_ROLES or node.actions > 0)]


@contextlib.contextmanager
def temporary_folder():
    folder = tempfile.mkdtemp(prefix="tilebloom-window-pictures-")
    try:
        yield folder
    finally:
        shutil.rmtree(folder, ignore_errors=True)


@contextlib.contextmanager
def drawing_session(name, **options):
    """A session with a new drawing open in the editor."""
    with Session(name, **options) as session:
        yield session, Editor.new_drawing(session)


def two_strokes(editor):
    editor.stroke([ROW_A[0], ROW_A[-1]])
    editor.wait_painted(ROW_A, "the first stroke")
    editor.stroke([ROW_B[0], ROW_B[-1]])
    editor.wait_painted(ROW_A + ROW_B, "the second stroke")


def stroke_and_tap(editor):
    """Draws a stroke and a tap; returns each cell drawn with its colour on the screen."""
    editor.stroke([ROW_A[0], ROW_A[-1]])
    editor.tap(17, 2)
    drawn = ROW_A + [(17, 2)]
    image = editor.wait_painted(drawn, "a stroke and a tap")
    return {cell: editor.grid.color(image, *cell) for cell in drawn}


def expect_shows(editor, colors, what, tolerance=12):
    """Waits until exactly the cells of colors ({cell: colour}) are painted, each in its colour;
    returns the screenshot."""
    image = editor.wait_painted(colors, what)
    check_colors(colors, lambda cell: editor.grid.color(image, *cell), what, tolerance)
    return image


def check_colors(colors, shown, what, tolerance=12):
    wrong = [(cell, shown(cell), color) for cell, color in colors.items()
             if not close_to(shown(cell), color, tolerance)]
    if wrong:
        raise Failure(f"{what}: {len(wrong)} cells (cell, shown, expected) differ: {wrong[:4]}")


def every_control_named(name):
    """Walks the accessibility tree on every screen reachable from home."""
    from PIL import Image

    problems = []
    visited = []

    def check(screen):
        found = controls(session)
        visited.append(f"{screen} ({len(found)})")
        if not found:
            problems.append(f"{screen}: no controls seen at all")
        unnamed = [node for node in found if not node.name.strip()]
        if unnamed:
            problems.append(f"{screen}: unnamed {unnamed}")

    def visit(screen, button, ready, within=None, role="push button", back=None):
        """Presses button, checks the screen once ready shows, and presses back (in within)."""
        session.press(button)
        session.wait_still(ready, within=within, role=role)
        check(screen)
        if back:
            session.press(back, within=within)
            session.wait_gone(within or ready)

    with temporary_folder() as pictures:
        Image.new("RGB", (60, 40), (200, 40, 30)).save(os.path.join(pictures, "brick.png"))
        with Session(name, pictures=pictures) as session:
            check("home")
            editor = Editor.new_drawing(session)
            check("editor")
            visit("editor, tool menu open", "Tools", "Paint bucket")
            editor.choose_tool("Paintbrush")
            visit("colour picker", "Choose colour", "Done", "Colour picker", back="Done")
            session.press("Share")
            session.wait_still("Cancel", within="Share")
            check("share sheet")
            session.press("Cancel", within="Share")
            session.wait_gone("Share", role="filler")
            visit("exit alert", "Back", "Exit", "Are you sure?", back="Cancel")
            editor.tap(4, 4)
            editor.wait_painted([(4, 4)], "a tap of the paintbrush")
            visit("save alert", "Save", "Title", "Save Tilebloom", role="text")
            session.type_text("Named")
            session.press("Save", within="Save Tilebloom")
            session.wait_gone("Drawing editor")

            visit("settings", "Settings", "Increase")
            session.press("Back", within="Settings")
            visit("gallery", "Gallery", "Drawing \u201cNamed\u201d", role=None)
            row = session.find("Drawing \u201cNamed\u201d")
            session.xdotool("mousemove", *row.center, "click", "3")
            session.wait_still("Delete", within=row.name)
            check("gallery, row swiped open")
            session.press("Back", within="Gallery")

            visit("photo chooser", "Photo to pixels", None, "Pictures", role="list item")
            picture = session.find(None, role="list item", within="Pictures")
            visit("photo chooser, folder dialog", "Browse\u2026", "Files", role="tree")
            session.key("Escape")
            session.wait_gone("Files", role="tree")
            session.click(picture)
            slider = session.wait_still("Block size", role="slider")
            low, current, high = slider.value()
            if not low <= current <= high:
                problems.append(f"pixelate: block size {current} outside {low}...{high}")
            check("pixelate")
            session.press("Share", within="Pixelate a photo")
            session.wait_still("Cancel", within="Share")
            check("pixelate, share sheet")
    if problems:
        raise Failure("; ".join(problems))
    print(f"checked {len(visited)} screens (controls): {', '.join(visited)}")


def stroke(name):
    with drawing_session(name) as (session, editor):
        if editor.painted():
            raise Failure(f"a new drawing is not blank: {sorted(editor.painted())[:8]}")
        paint = editor.paint_color()
        editor.stroke([ROW_A[0], ROW_A[-1]])
        expect_shows(editor, dict.fromkeys(ROW_A, paint), "the dragged cells in the paint colour")


def keyboard_undo(name):
    with drawing_session(name) as (session, editor):
        two_strokes(editor)
        session.key("ctrl+z")
        editor.wait_painted(ROW_A, "Ctrl+Z to take back the second stroke")
        session.key("ctrl+z")
        editor.wait_painted([], "Ctrl+Z to take back the first stroke")


def keyboard_redo(name):
    with drawing_session(name) as (session, editor):
        two_strokes(editor)
        session.press("Undo")
        editor.wait_painted(ROW_A, "the Undo button")
        session.press("Undo")
        editor.wait_painted([], "the Undo button")
        # Each key is checked on its own: after a key that failed, the Redo button brings
        # the canvas to where the key should have, so the next check stands alone.
        faults = []
        for keys, expected, button_fallback in (("ctrl+shift+z", ROW_A, True),
                                                ("ctrl+y", ROW_A + ROW_B, False)):
            session.key(keys)
            try:
                editor.wait_painted(expected, f"{keys} to redo", timeout=4)
            except Failure as failure:
                faults.append(str(failure))
                if button_fallback:
                    session.press("Redo")
                    editor.wait_painted(expected, "the Redo button")
        if faults:
            raise Failure("keyboard redo: " + " | ".join(faults))


def interrupted_bucket_drag(name):
    """A bucket drag cut short by Ctrl+Z must not bring back a fill that was taken back."""
    with drawing_session(name) as (session, editor):
        cells = editor.grid.cells
        everything = {(column, row) for column in range(cells) for row in range(cells)}
        editor.choose_tool("Paint bucket")
        editor.tap(3, 3)
        editor.wait_painted(everything, "the bucket to fill the blank grid")
        session.press("Undo")
        editor.wait_painted([], "Undo to take back the fill")
        editor.choose_tool("Paintbrush")
        editor.tap(6, 6)
        editor.wait_painted([(6, 6)], "a tap of the paintbrush")
        session.press("Undo")
        editor.wait_painted([], "Undo to take back the tap")
        editor.choose_tool("Paint bucket")
        editor.stroke([(2, 12), (9, 12), (15, 12)], during=["key", "ctrl+z"])
        # Nothing was left to undo and a bucket drag paints nothing: the canvas stays blank.
        after = editor.settled_painted()
        if after:
            raise Failure(f"after the interrupted bucket drag the canvas shows "
                          f"{len(after)} painted cells instead of none")
        # The tap is still there to redo, and it is all there is.
        session.press("Redo")
        editor.wait_painted([(6, 6)], "Redo to bring back the tap, and only it")
        session.press("Undo")
        editor.wait_painted([], "Undo to take the tap back again")


def save_drawing(session, title):
    """Saves through the save alert's title field; the editor closes once it is stored."""
    session.press("Save")
    field = session.find("Title", role="text", within="Save Tilebloom")
    session.click(field)
    session.type_text(title)
    wait_for("the typed title in the field", lambda: field.text() == title, timeout=5)
    session.press("Save", within="Save Tilebloom")
    session.wait_gone("Drawing editor")


def expect_stored(session, size, drawn, paint=None):
    """The one saved drawing: its size, exactly the drawn cells not white, and in paint."""
    rows = session.wait_rows("the saved drawing in the store", SAVED)
    if len(rows) != 1 or (rows[0]["width"], rows[0]["height"]) != size:
        raise Failure(f"stored {[(r['title'], r['width'], r['height']) for r in rows]}, "
                      f"expected one drawing of {size[0]} x {size[1]}")
    cells = stored_cells(rows[0]["colors"], *size)
    painted = {cell for cell, rgb in cells.items() if rgb != (255, 255, 255)}
    if painted != set(drawn):
        raise Failure(f"stored cells other than white: {describe_cells(painted, set(drawn))}")
    if paint:
        check_colors(dict.fromkeys(drawn, paint), cells.get, "the stored cells", tolerance=2)
    return rows[0]


def save_with_title(name):
    with drawing_session(name) as (session, editor):
        paint = editor.paint_color()
        editor.tap(3, 1)
        editor.wait_painted([(3, 1)], "a tap of the paintbrush")
        save_drawing(session, TITLE)
        row = expect_stored(session, (20, 20), [(3, 1)], paint)
        if row["title"] != TITLE:
            raise Failure(f"stored the title {row['title']!r}, expected {TITLE!r}")


def reopen_from_gallery(name):
    """A saved drawing comes back from the gallery, after a restart, as it was painted."""
    with drawing_session(name) as (session, editor):
        painted = stroke_and_tap(editor)
        save_drawing(session, TITLE)
        session.wait_rows("the saved drawing in the store", SAVED)
        # Read back from the store, not from what the running app still holds.
        session.restart_app()
        session.press("Gallery")
        session.press(f"Drawing \u201c{TITLE}\u201d", role=None)
        expect_shows(Editor(session), painted, "the reopened drawing's cells", tolerance=2)


def grid_bounds(image, rect):
    """(left, top, right, bottom) of the grid in a window: the runs of pixels that differ from
    the canvas's background through its middle, between the top buttons and the toolbar (a grid
    shorter than the screen leaves background above the toolbar)."""
    x, y, w, h = rect
    background = image.getpixel((x + w // 2, y + h // 9 - 4))

    def run(pixels, start):
        first = next((i for i, pixel in enumerate(pixels) if pixel != background), None)
        if first is None:
            raise Failure("no grid on the canvas")
        end = next((i for i in range(first, len(pixels)) if pixels[i] == background),
                   len(pixels))
        return start + first, start + end - 1

    left, right = run([image.getpixel((x + i, y + h // 2)) for i in range(w)], x)
    top, bottom = run([image.getpixel((x + w // 2, j)) for j in range(y + h // 9, y + h - h // 9)],
                      y + h // 9)
    return left, top, right, bottom


def window_resize(name):
    """A maximised or split-screen window: the screens follow its size."""
    with Session(name, screen=(1280, 1000)) as session:
        x, y, w, h = session.resize_window(1200, 900)

        # Home: the dark background covers the window (it stopped at 390 points, with a light
        # grey area beyond).
        def dark_everywhere(image):
            samples = [sum(image.getpixel((x + w * i // 8, y + h * j // 8)))
                       for i in range(1, 8) for j in range(1, 8)]
            return sorted(samples)[len(samples) // 2] < 400
        session.wait_pixels("the home screen's background to fill the window", dark_everywhere)

        session.press("New drawing")
        session.wait_still("Undo")
        x, y, w, h = session.resize_window(1000, 800)
        canvas = session.find("Canvas")
        if canvas.rect != (x, y, w, h):
            raise Failure(f"the canvas covers {canvas.rect}, the window {(x, y, w, h)}")
        image = session.wait_screen_still(canvas.rect)
        left, top, right, bottom = grid_bounds(image, canvas.rect)
        side = min(w, h * 7 // 9)
        if abs((right - left + 1) - side) > 3 or abs((left + right) / 2 - (x + w / 2)) > 3:
            raise Failure(f"the grid spans {left}..{right}, expected {side} wide, centred")
        toolbar = session.find("Toolbar")
        if toolbar.rect[2] != w:
            raise Failure(f"the toolbar is {toolbar.rect[2]} wide in a {w} wide window")

        # A stroke across the whole grid, most of it beyond the old width, paints every cell.
        cell = (right - left + 1) / 20
        middle = round(top + 9.5 * cell)
        centres = [(round(left + (column + 0.5) * cell), middle) for column in range(20)]
        session.drag([centres[0], centres[-1]])

        def row_painted(shot):
            return all(not close_to(shot.getpixel(point), (255, 255, 255)) for point in centres)
        session.wait_pixels("the stroke across the resized grid", row_painted)

        # Back to the phone's size: the grid spans the width again, the stroke still there.
        x, y, w, h = session.resize_window(390, 844)
        image = session.wait_screen_still(session.find("Canvas").rect)
        left, top, right, bottom = grid_bounds(image, (x, y, w, h))
        if abs((right - left + 1) - w) > 3:
            raise Failure(f"back at {w} wide, the grid spans {left}..{right}")
        cell = w / 20
        row = round(top + 9.5 * cell)
        unpainted = [column for column in range(20)
                     if close_to(image.getpixel((round(left + (column + 0.5) * cell), row)),
                                 (255, 255, 255))]
        if unpainted:
            raise Failure(f"cells {unpainted} of the stroke lost after resizing back")


def stored_setting(session, key):
    """A value of the settings file, as text; None while it is not there."""
    import configparser

    path = os.path.join(session.data_dir, "settings.ini")
    parser = configparser.ConfigParser()
    parser.read(path)
    return parser.get("General", key, fallback=None)


def first_pixel(grid, column, row):
    """The screen pixel a cell's snapped square starts at: cells of a pixel and a half leave
    no room for a middle."""
    import math

    return (grid.left + math.floor(column * grid.size + 0.5),
            grid.top + math.floor(row * grid.size + 0.5))


def grey_pixels(image, rect):
    x, y, w, h = rect
    return sum(1 for pixel in image.crop((x, y, x + w, y + h)).getdata()
               if pixel == (128, 128, 128))


def largest_grid(name):
    """The largest grid, chosen with the settings' stepper: a stroke paints exactly the cells it
    crossed, on the screen and in the store; the lines between cells that small show only
    once zoomed in."""
    with Session(name) as session:
        session.press("Settings")
        increase = session.wait_still("Increase")
        for _ in range(9):  # 20 to 24, 28, 32, 48, 64, 96, 128, 192 and 256
            session.click(increase)
        wait_for("the largest grid in the settings",
                 lambda: stored_setting(session, "gridWidth") == "256"
                 and stored_setting(session, "gridHeight") == "256")
        # An older build finds the largest size it knows.
        if stored_setting(session, "stepper") != "2":
            raise Failure(f"stepper stored as {stored_setting(session, 'stepper')!r}, not 2")
        session.press("Back", within="Settings")
        editor = Editor.new_drawing(session, cells=256)
        canvas = session.find("Canvas").rect
        if grey_pixels(session.screenshot(), canvas):
            raise Failure("lines between cells of a pixel and a half are drawn")

        drawn = {(column, 128) for column in range(20, 201)}
        paint = editor.paint_color()
        editor.stroke([(20, 128), (200, 128)])

        def shown(image):
            return {(column, row) for row in range(125, 132) for column in range(256)
                    if not close_to(image.getpixel(first_pixel(editor.grid, column, row)),
                                    (255, 255, 255))}

        image = session.wait_pixels("the stroke's cells", lambda image: shown(image) == drawn)
        check_colors(dict.fromkeys(drawn, paint),
                     lambda cell: image.getpixel(first_pixel(editor.grid, *cell)), "the stroke")

        # The bucket fills the whole grid around the stroke in one go; undo takes it back.
        editor.choose_tool("Paint bucket")
        editor.tap(128, 20)
        editor.wait_painted({(column, row) for column in range(256) for row in range(256)},
                            "the bucket to fill the grid around the stroke")
        session.press("Undo")
        # A cell of a pixel and a half beside the stroke's end reads as its neighbour from its
        # middle pixel: the exact check of the undo is the stored cells below.
        session.wait_pixels("Undo to take back the fill",
                            lambda image: len(editor.painted(image)) < 2 * len(drawn))

        session.xdotool("mousemove", *session.find("Canvas").center,
                        "click", "--repeat", "8", "--delay", "40", "4")
        session.wait_pixels("the lines between cells once zoomed in",
                            lambda image: grey_pixels(image, canvas) > 1000)

        save_drawing(session, TITLE)
        expect_stored(session, (256, 256), drawn, paint)


# A 16 x 16 picture of four colours, saved enlarged as another program would save it.
PICTURE_COLORS = [(220, 40, 50), (30, 90, 240), (250, 210, 20), (20, 20, 20)]


def write_picture(folder, name="sprite.png", scale=15):
    from PIL import Image

    cells = {(column, row): PICTURE_COLORS[(column * 7 + row * 3 + column * row) % 4]
             for column in range(16) for row in range(16)}
    image = Image.new("RGB", (16, 16))
    for (column, row), color in cells.items():
        image.putpixel((column, row), color)
    path = os.path.join(folder, name)
    image.resize((16 * scale, 16 * scale), Image.NEAREST).save(path)
    return path, cells


def expect_editor_shows(session, cells):
    editor = Editor(session, cells=16)
    image = session.screenshot()
    check_colors(cells, lambda cell: editor.grid.color(image, *cell), "the opened picture")


def open_from_command_line(name):
    with temporary_folder() as folder:
        path, cells = write_picture(folder)
        with Session(name, args=[path], ready="Undo") as session:
            expect_editor_shows(session, cells)


def open_from_drop(name):
    from xdnd import drop_uri

    with temporary_folder() as folder:
        path, cells = write_picture(folder, "dropped picture.png", scale=9)
        with Session(name) as session:
            x, y, w, h = session.window_rect()
            uri = "file://" + path.replace(" ", "%20")
            drop_uri(session.display, session.window_id(), x + w // 2, y + h // 2, [uri])
            expect_editor_shows(session, cells)


def drag_held(session, editor, cells):
    """Presses on the first cell and moves through the others, leaving the button down."""
    points = [editor.grid.center(*cell) for cell in cells]
    commands = ["mousemove", *points[0], "mousedown", "1"]
    for start, end in zip(points, points[1:]):
        for step in range(1, 7):
            commands += ["mousemove", round(start[0] + (end[0] - start[0]) * step / 6),
                         round(start[1] + (end[1] - start[1]) * step / 6), "sleep", "0.01"]
    session.xdotool(*commands)


def check_painted_in(editor, image, cells, paint):
    check_colors(dict.fromkeys(cells, paint), lambda cell: editor.grid.color(image, *cell),
                 "the cells in the colour button's colour")


def line_tool(name):
    """A line follows the pointer while dragged, lands on release, and Shift keeps it level."""
    with drawing_session(name) as (session, editor):
        paint = editor.paint_color()
        editor.choose_tool("Line")
        # Rows count from the top here: a diagonal down to the right.
        diagonal = [(3 + i, 2 + i) for i in range(9)]
        drag_held(session, editor, [(3, 2), (14, 6), (11, 10)])
        editor.wait_painted(diagonal, "the line shown to where the pointer is, button still down")
        session.xdotool("mouseup", "1")
        image = editor.wait_painted(diagonal, "the diagonal line after the release")
        check_painted_in(editor, image, diagonal, paint)
        # Held Shift turns a slightly slanted drag into a level line.
        session.xdotool("keydown", "shift")
        try:
            editor.stroke([(2, 15), (9, 16), (14, 17)])
        finally:
            session.xdotool("keyup", "shift")
        level = [(column, 15) for column in range(2, 15)]
        editor.wait_painted(diagonal + level, "a level line drawn with Shift held")
        session.key("ctrl+z")
        editor.wait_painted(diagonal, "Ctrl+Z to take back the whole level line")


def filled_rectangle(name):
    """The filled switch and a rectangle dragged corner to corner, as one step."""
    with drawing_session(name) as (session, editor):
        paint = editor.paint_color()
        editor.choose_tool("Rectangle")
        session.press("Filled shapes", role=None)
        block = [(column, row) for column in range(4, 10) for row in range(3, 8)]
        editor.stroke([(4, 3), (6, 9), (9, 7)])
        expect_shows(editor, dict.fromkeys(block, paint), "a filled rectangle, (4, 3) to (9, 7)")
        session.press("Undo")
        editor.wait_painted([], "Undo to take the whole rectangle back")


def mirrored_stroke(name):
    """With the vertical mirror on, a stroke paints its image too and the axis shows."""
    with drawing_session(name) as (session, editor):
        paint = editor.paint_color()
        cells = editor.grid.cells
        session.press("Mirror drawing", role=None)
        stroke = [(column, 6) for column in range(1, 6)]
        image = [(cells - 1 - column, row) for column, row in stroke]
        editor.stroke([stroke[0], stroke[-1]])
        shot = expect_shows(editor, dict.fromkeys(stroke + image, paint),
                            "the stroke and its mirror image")
        # The axis runs between the two middle columns, over blank cells too.
        grid = editor.grid
        x = round(grid.left + grid.size * cells / 2)
        y = grid.center(0, 14)[1]
        axis = shot.getpixel((x, y))
        if not (axis[2] > 150 and axis[0] < 120):
            raise Failure(f"the mirror axis does not show: {axis} at ({x}, {y})")
        session.press("Undo")
        editor.wait_painted([], "Undo to take back the stroke and its image together")


def kill_and_restore(name):
    """Killed while drawing, the app offers the drawing at the next start, as it was."""
    with drawing_session(name) as (session, editor):
        painted = stroke_and_tap(editor)
        # Both steps are written as they finish; no Save, no Exit.
        session.wait_rows("the draft with both steps in the store",
                          "SELECT (SELECT count(*) FROM DraftStep) AS steps, applied FROM Draft",
                          lambda rows: rows == [{"steps": 2, "applied": 2}])
        session.restart_app(kill=True)
        alert = "Restore your unsaved drawing?"
        session.wait_still("Discard", within=alert)
        session.press("Restore", within=alert)
        session.wait_gone(alert)
        restored = Editor(session)
        expect_shows(restored, painted, "the restored drawing's cells", tolerance=2)
        # The session's history came back with it.
        session.press("Undo")
        restored.wait_painted(ROW_A, "Undo on the restored drawing to take back the tap")
        session.press("Undo")
        restored.wait_painted([], "a second Undo to take back the stroke")
        session.press("Redo")
        restored.wait_painted(ROW_A, "Redo to bring the stroke back")
        # Exit ends the draft: the next start offers nothing.
        session.press("Back")
        session.press("Exit", within="Are you sure?")
        session.wait_gone("Drawing editor")
        session.wait_rows("the draft to be deleted", "SELECT count(*) AS drafts FROM Draft",
                          lambda rows: rows == [{"drafts": 0}])
        session.restart_app(kill=True)
        session.wait_still("Gallery")
        if session.query(alert):
            raise Failure("a drawing was offered after Exit")


def tall_custom_grid(name):
    """A custom 16 x 64 grid, chosen with the settings' custom size: it fits the screen by its
    height and zooms out with the wheel until it fits in three quarters of it; a stroke and
    taps at two corners paint exactly their cells, on the screen and in the store; a long
    press magnifies the cells around the pressed one. (Pinching takes two fingers, which
    xdotool's XTest input cannot give; the editor tests pinch offscreen.)"""
    columns, rows = 16, 64
    with Session(name) as session:
        session.press("Settings")
        session.press("Use a custom grid size", role="check box")
        for box, value in (("Custom grid width in cells", columns),
                           ("Custom grid height in cells", rows)):
            session.click(session.wait_still(box, role="spin button"))
            session.key("ctrl+a")
            session.type_text(str(value))
            session.key("Tab")
        wait_for("the custom size in the settings",
                 lambda: stored_setting(session, "gridWidth") == str(columns)
                 and stored_setting(session, "gridHeight") == str(rows))
        session.press("Back", within="Settings")
        session.press("New drawing")
        session.wait_still("Undo")
        canvas = session.find("Canvas").rect
        x, y, w, h = canvas

        def bounds():
            """(left, top, width, height) of the grid on the screen."""
            left, top, right, bottom = grid_bounds(session.wait_screen_still(canvas), canvas)
            return left, top, right - left + 1, bottom - top + 1

        left, top, width, height = bounds()
        # Fitted by its height, between the top buttons and the toolbar.
        if abs(height - h * 7 / 9) > 3 or abs(width * rows - height * columns) > rows:
            raise Failure(f"the grid shows {width} x {height}, expected the height "
                          f"{h * 7 / 9:.0f} and cells as wide as they are high")

        # Zooming out: one notch of the wheel brings it within three quarters of the height,
        # and the next ones are refused.
        session.xdotool("mousemove", x + w // 2, y + h // 2,
                        "click", "--repeat", "3", "--delay", "80", "5")
        wait_for("the wheel to zoom the tall grid out",
                 lambda: bounds()[3] < height - 20, timeout=5)
        left, top, width, height = bounds()
        if not 0.75 * h / 1.2 <= height < 0.75 * h:
            raise Failure(f"zoomed out to {height} high, expected just under {0.75 * h:.0f}")
        cw, ch = width / columns, height / rows

        def centre(column, row):
            return (round(left + (column + 0.5) * cw), round(top + (row + 0.5) * ch))

        def painted(image):
            return {(column, row) for column in range(columns) for row in range(rows)
                    if not close_to(image.getpixel(centre(column, row)), (255, 255, 255))}

        paint = session.screenshot().getpixel(session.find("Choose colour").center)
        session.drag([centre(8, 2), centre(8, 61)], steps_per_segment=30)
        session.click(centre(0, 0))
        session.click(centre(columns - 1, rows - 1))
        drawn = {(8, row) for row in range(2, 62)} | {(0, 0), (columns - 1, rows - 1)}
        try:
            image = session.wait_pixels("the stroke and the taps", lambda i: painted(i) == drawn)
        except Failure as failure:
            raise Failure(f"{failure}; painted now: "
                          f"{describe_cells(painted(session.screenshot()), drawn)}") from None
        wrong = [cell for cell in drawn if not close_to(image.getpixel(centre(*cell)), paint)]
        if wrong:
            raise Failure(f"cells not in the paint colour {paint}: {wrong[:8]}")

        # Held on a cell of the stroke, the circle above the pointer shows that cell in its
        # middle, the stroke above it and the blank cell beside it, each magnified.
        px, py = centre(8, 30)
        session.xdotool("mousemove", px, py, "mousedown", "1")
        try:
            circle = session.find("Picked colour", timeout=5)
            cx, cy = circle.center
            step = 7.5  # the circle's cells, in points

            def magnified(image):
                middle = image.getpixel((cx, cy))
                above = image.getpixel((cx, round(cy - step)))
                beside = image.getpixel((round(cx + step), cy))
                return (close_to(middle, paint) and close_to(above, paint)
                        and close_to(beside, (255, 255, 255)))
            session.wait_pixels("the magnified cells in the circle", magnified, timeout=5)
            if session.artifacts:  # for a human to look at
                os.makedirs(session.artifacts, exist_ok=True)
                session.save_screenshot(os.path.join(session.artifacts, f"{name}-magnifier.png"))
        finally:
            session.xdotool("mouseup", "1")
        session.wait_gone("Picked colour")

        save_drawing(session, TITLE)
        expect_stored(session, (columns, rows), drawn)


SCENARIOS = {
    "open_from_command_line": open_from_command_line,
    "open_from_drop": open_from_drop,
    "every_control_named": every_control_named,
    "stroke": stroke,
    "keyboard_undo": keyboard_undo,
    "keyboard_redo": keyboard_redo,
    "interrupted_bucket_drag": interrupted_bucket_drag,
    "save_with_title": save_with_title,
    "reopen_from_gallery": reopen_from_gallery,
    "window_resize": window_resize,
    "largest_grid": largest_grid,
    "line_tool": line_tool,
    "filled_rectangle": filled_rectangle,
    "mirrored_stroke": mirrored_stroke,
    "kill_and_restore": kill_and_restore,
    "tall_custom_grid": tall_custom_grid,
}

if __name__ == "__main__":
    sys.exit(main(SCENARIOS))
