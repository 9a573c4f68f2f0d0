"""Scenarios that drive the real window: one per ctest test, named on the command line.

By hand, from the repository root:
    export TILEBLOOM_BINARY=build/release/src/app/tilebloom
    /usr/bin/python3 tests/window/scenarios.py stroke
"""

import os
import shutil
import sys
import tempfile

# The tests run from the source tree, which must stay as it is.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import (  # noqa: E402
    Editor, Failure, Session, close_to, main, stored_cells, wait_for)

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

    pictures = tempfile.mkdtemp(prefix="tilebloom-window-pictures-")
    try:
        Image.new("RGB", (60, 40), (200, 40, 30)).save(os.path.join(pictures, "brick.png"))
        with Session(name, pictures=pictures) as session:
            check("home")
            editor = Editor.new_drawing(session)
            check("editor")
            session.click(session.wait_still("Tools"))
            session.wait_still("Paint bucket")
            check("editor, tool menu open")
            editor.choose_tool("Paintbrush")
            session.press("Choose colour")
            session.wait_still("Done", within="Colour picker")
            check("colour picker")
            session.press("Done", within="Colour picker")
            session.wait_gone("Colour picker")
            session.press("Share")
            session.wait_still("Cancel", within="Share")
            check("share sheet")
            session.press("Cancel", within="Share")
            session.wait_gone("Share", role="filler")
            session.press("Back")
            session.wait_still("Exit", within="Are you sure?")
            check("exit alert")
            session.press("Cancel", within="Are you sure?")
            session.wait_gone("Are you sure?")
            editor.tap(4, 4)
            editor.wait_painted([(4, 4)], "a tap of the paintbrush")
            session.press("Save")
            session.wait_still("Title", role="text", within="Save Tilebloom")
            check("save alert")
            session.type_text("Named")
            session.press("Save", within="Save Tilebloom")
            session.wait_gone("Drawing editor")

            session.press("Settings")
            session.wait_still("Increase")
            check("settings")
            session.press("Back", within="Settings")
            session.wait_still("Gallery")

            session.press("Gallery")
            row = session.wait_still("Drawing \u201cNamed\u201d")
            check("gallery")
            session.xdotool("mousemove", *row.center, "click", "3")
            session.wait_still("Delete", within=row.name)
            check("gallery, row swiped open")
            session.press("Back", within="Gallery")
            session.wait_still("Photo to pixels")

            session.press("Photo to pixels")
            picture = session.wait_still(None, role="list item", within="Pictures")
            check("photo chooser")
            session.press("Browse\u2026")
            session.wait_still("Files", role="tree")
            check("photo chooser, folder dialog")
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
    finally:
        shutil.rmtree(pictures, ignore_errors=True)
    if problems:
        raise Failure("; ".join(problems))
    print(f"checked {len(visited)} screens (controls): {', '.join(visited)}")




def stroke(name):
    with Session(name) as session:
        editor = Editor.new_drawing(session)
        if editor.painted():
            raise Failure(f"a new drawing is not blank: {sorted(editor.painted())[:8]}")
        paint = editor.paint_color()
        editor.stroke([ROW_A[0], ROW_A[-1]])
        image = editor.wait_painted(ROW_A, "the dragged cells to be painted")
        for cell in ROW_A:
            color = editor.grid.color(image, *cell)
            if not close_to(color, paint):
                raise Failure(f"cell {cell} shows {color}, the colour button {paint}")


def keyboard_undo(name):
    with Session(name) as session:
        editor = Editor.new_drawing(session)
        editor.stroke([ROW_A[0], ROW_A[-1]])
        editor.wait_painted(ROW_A, "the first stroke")
        editor.stroke([ROW_B[0], ROW_B[-1]])
        editor.wait_painted(ROW_A + ROW_B, "the second stroke")
        session.key("ctrl+z")
        editor.wait_painted(ROW_A, "Ctrl+Z to take back the second stroke")
        session.key("ctrl+z")
        editor.wait_painted([], "Ctrl+Z to take back the first stroke")


def keyboard_redo(name):
    with Session(name) as session:
        editor = Editor.new_drawing(session)
        editor.stroke([ROW_A[0], ROW_A[-1]])
        editor.wait_painted(ROW_A, "the first stroke")
        editor.stroke([ROW_B[0], ROW_B[-1]])
        editor.wait_painted(ROW_A + ROW_B, "the second stroke")
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
    with Session(name) as session:
        editor = Editor.new_drawing(session)
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


def save_with_title(name):
    with Session(name) as session:
        editor = Editor.new_drawing(session)
        paint = editor.paint_color()
        editor.tap(3, 1)
        editor.wait_painted([(3, 1)], "a tap of the paintbrush")
        save_drawing(session, TITLE)
        rows = session.wait_rows("the saved drawing in the store", SAVED)
        if len(rows) != 1:
            raise Failure(f"{len(rows)} drawings stored, expected one: {rows}")
        row = rows[0]
        if row["title"] != TITLE:
            raise Failure(f"stored title {row['title']!r}, typed {TITLE!r}")
        if (row["width"], row["height"]) != (20, 20):
            raise Failure(f"stored size {row['width']} x {row['height']}, expected 20 x 20")
        cells = stored_cells(row["colors"], row["width"], row["height"])
        painted = {cell: rgb for cell, rgb in cells.items() if rgb != (255, 255, 255)}
        if set(painted) != {(3, 1)} or not close_to(painted[(3, 1)], paint, tolerance=2):
            raise Failure(f"stored cells other than white: {painted}; painted (3, 1) in {paint}")


def reopen_from_gallery(name):
    """A saved drawing comes back from the gallery, after a restart, as it was painted."""
    with Session(name) as session:
        editor = Editor.new_drawing(session)
        editor.stroke([ROW_A[0], ROW_A[-1]])
        editor.tap(17, 2)
        drawn = ROW_A + [(17, 2)]
        painted_image = editor.wait_painted(drawn, "a stroke and a tap")
        painted_colors = {cell: editor.grid.color(painted_image, *cell) for cell in drawn}
        save_drawing(session, TITLE)
        session.wait_rows("the saved drawing in the store", SAVED)

        # Read back from the store, not from what the running app still holds.
        session.restart_app()
        session.press("Gallery")
        session.press(f"Drawing \u201c{TITLE}\u201d", role=None)
        reopened = Editor(session)
        image = reopened.wait_painted(drawn, "the reopened drawing's cells")
        for cell, expected in painted_colors.items():
            color = reopened.grid.color(image, *cell)
            if not close_to(color, expected, tolerance=2):
                raise Failure(f"reopened cell {cell} shows {color}, painted {expected}")


def kill_and_restore(name):
    """Killed while drawing, the app offers the drawing at the next start, as it was."""
    with Session(name) as session:
        editor = Editor.new_drawing(session)
        editor.stroke([ROW_A[0], ROW_A[-1]])
        editor.tap(17, 2)
        drawn = ROW_A + [(17, 2)]
        painted_image = editor.wait_painted(drawn, "a stroke and a tap")
        painted_colors = {cell: editor.grid.color(painted_image, *cell) for cell in drawn}
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
        image = restored.wait_painted(drawn, "the restored drawing's cells")
        for cell, expected in painted_colors.items():
            color = restored.grid.color(image, *cell)
            if not close_to(color, expected, tolerance=2):
                raise Failure(f"restored cell {cell} shows {color}, painted {expected}")
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


SCENARIOS = {
    "every_control_named": every_control_named,
    "stroke": stroke,
    "keyboard_undo": keyboard_undo,
    "keyboard_redo": keyboard_redo,
    "interrupted_bucket_drag": interrupted_bucket_drag,
    "save_with_title": save_with_title,
    "reopen_from_gallery": reopen_from_gallery,
    "kill_and_restore": kill_and_restore,
}

if __name__ == "__main__":
    sys.exit(main(SCENARIOS))
