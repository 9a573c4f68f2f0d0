"""Drives the built tilebloom binary in a real X window, only from outside, as a user does.

A Session runs its own Xvfb, accessibility bus (AT-SPI) and app on a fresh data folder, inside
main()'s D-Bus session; controls are found by accessible name, input is real X events
(xdotool, through XTest), and every wait polls state with a timeout.
"""

import functools
import json
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

STORE_FILE = "tesselet.sqlite"
# Big enough for the phone-sized window at the top left corner; no window manager runs, so
# the window stays where the app puts it.
SCREEN_SIZE = (480, 900)
BUS_MARKER = "TILEBLOOM_WINDOW_TEST_BUS"


class Failure(AssertionError):
    pass


class AppExited(Failure):
    """The app is gone: waiting longer cannot help."""


def _die_with_parent():
    # Runs in the child before exec: if the harness is killed, so is everything it started.
    import ctypes

    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def wait_for(what, probe, timeout=10.0, interval=0.05):
    """Polls probe() until it returns something truthy and returns that; fails after timeout."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = probe()
            if value:
                return value
        except AppExited:
            raise
        except Exception as error:  # a node that went away while being read: look again
            last_error = error
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error!r})" if last_error else ""
            raise Failure(f"timed out after {timeout:.0f} s waiting for {what}{detail}")
        time.sleep(interval)


def _kill_group(process, grace=3.0, first=signal.SIGTERM):
    if process is None or process.poll() is not None:
        if process is not None:
            process.wait()
        return
    try:
        os.killpg(process.pid, first)
    except ProcessLookupError:
        pass
    try:
        process.wait(grace)
    except subprocess.TimeoutExpired:
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        process.wait()


class Node:
    """One accessible object as it was when read; path: the names above it, outermost first."""

    def __init__(self, accessible, path):
        import pyatspi

        self.accessible = accessible
        self.path = path
        self.depth = len(path)
        self.role = accessible.getRoleName()
        self.name = accessible.name or ""
        self.showing = accessible.getState().contains(pyatspi.STATE_SHOWING)
        try:
            box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            self.rect = (box.x, box.y, box.width, box.height)
        except NotImplementedError:
            self.rect = None

    # Read only when asked: every question is a round trip to the app.
    @functools.cached_property
    def description(self):
        return self.accessible.description or ""

    @functools.cached_property
    def actions(self):
        try:
            return self.accessible.queryAction().nActions
        except NotImplementedError:
            return 0

    @property
    def center(self):
        x, y, w, h = self.rect
        return (x + w // 2, y + h // 2)

    def text(self):
        text = self.accessible.queryText()
        return text.getText(0, text.characterCount)

    def value(self):
        """(minimum, current, maximum) of a control that has a value, such as a slider."""
        value = self.accessible.queryValue()
        return (value.minimumValue, value.currentValue, value.maximumValue)

    def __repr__(self):
        return f"<{self.role} {self.name!r} at {self.rect}>"


class Session:
    """One app in its own X server, accessibility bus and data folder."""

    def __init__(self, name, artifacts=None, env=None, pictures=None, args=(),
                 ready="New drawing", screen=SCREEN_SIZE):
        self.name = name
        self.screen_size = screen
        binary = os.environ.get("TILEBLOOM_BINARY")
        if not binary:
            raise Failure("TILEBLOOM_BINARY must name the built tilebloom program")
        self.binary = os.path.abspath(binary)  # the app runs in a folder of its own
        self.artifacts = artifacts or os.environ.get("TILEBLOOM_WINDOW_ARTIFACTS")
        self.extra_env = env or {}
        self.pictures = pictures
        # Command-line arguments, and the control whose showing says the app is up.
        self.args = list(args)
        self.ready = ready
        self.root = tempfile.mkdtemp(prefix=f"tilebloom-window-{name}-")
        self.data_dir = os.path.join(self.root, "data")
        os.mkdir(self.data_dir, 0o700)
        self.xserver = self.bus_launcher = self.app = None
        self.display = None
        self._app_accessible = None
        self.app_output = os.path.join(self.root, "app.log")

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.close(failed=True)
            raise
        return self

    def __exit__(self, kind, error, trace):
        self.close(failed=kind is not None)
        return False

    def _start(self):
        self.env = dict(os.environ)
        # Nothing of the developer's own desktop session may be reached.
        for name in ("AT_SPI_BUS_ADDRESS", "WAYLAND_DISPLAY", "QT_QPA_PLATFORMTHEME"):
            self.env.pop(name, None)
            os.environ.pop(name, None)
        runtime = os.path.join(self.root, "runtime")
        os.mkdir(runtime, 0o700)
        self.env["XDG_RUNTIME_DIR"] = runtime
        self._start_x()
        self.env["DISPLAY"] = self.display
        os.environ["DISPLAY"] = self.display
        self._start_accessibility_bus()
        self._start_app()

    def _start_x(self):
        read_end, write_end = os.pipe()
        width, height = self.screen_size
        self.xserver = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=[write_end], start_new_session=True, preexec_fn=_die_with_parent,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        # Xvfb writes the display number once it accepts connections.
        while not number.endswith(b"\n"):
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip():
            raise Failure("Xvfb did not start")
        self.display = ":" + number.decode().strip()

    def _start_accessibility_bus(self):
        from gi.repository import Gio, GLib

        # Not killed with the harness: it quits, and ends the bus it started, when the D-Bus
        # session ends with the harness.
        self.bus_launcher = subprocess.Popen(
            ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], env=self.env,
            start_new_session=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        session = Gio.bus_get_sync(Gio.BusType.SESSION, None)

        def owned():
            reply = session.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                      "org.freedesktop.DBus", "NameHasOwner",
                                      GLib.Variant("(s)", ("org.a11y.Bus",)), None,
                                      Gio.DBusCallFlags.NONE, 2000, None)
            return reply.unpack()[0]

        wait_for("the accessibility bus", owned)

    def _start_app(self):
        env = dict(self.env)
        env.update({
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "TILEBLOOM_DATA_DIR": self.data_dir,
            # No desktop theme or scaling of the developer's leaks into the pixels.
            "QT_SCALE_FACTOR": "1",
            "QT_AUTO_SCREEN_SCALE_FACTOR": "0",
            "QT_ENABLE_HIGHDPI_SCALING": "0",
        })
        if self.pictures:
            env["TILEBLOOM_PICTURES_DIR"] = self.pictures
        env.update(self.extra_env)
        self._log = open(self.app_output, "ab")
        self.app = subprocess.Popen([self.binary, *self.args], env=env, start_new_session=True,
                                    preexec_fn=_die_with_parent, stdout=self._log,
                                    stderr=subprocess.STDOUT, cwd=self.root)
        self.find(self.ready, role="push button", timeout=30)

    def restart_app(self, kill=False):
        """Quits the app (kills it with SIGKILL when kill is set, as a crash or a power cut
        would end it) and starts it again on the same data folder and X server."""
        _kill_group(self.app, first=signal.SIGKILL if kill else signal.SIGTERM)
        self._log.close()
        self._app_accessible = None
        self._start_app()

    def close(self, failed=False):
        if failed:
            self._keep_evidence()
        _kill_group(self.app)
        _kill_group(self.bus_launcher)
        _kill_group(self.xserver)
        if getattr(self, "_log", None):
            self._log.close()
        shutil.rmtree(self.root, ignore_errors=True)

    def _keep_evidence(self):
        """After a failure: the last screen and the app's console, for a human to look at."""
        if not self.artifacts:
            return
        try:
            os.makedirs(self.artifacts, exist_ok=True)
            if self.xserver is not None and self.xserver.poll() is None:
                self.save_screenshot(os.path.join(self.artifacts, f"{self.name}.png"),
                                     whole_screen=True)
            if os.path.exists(self.app_output):
                shutil.copy(self.app_output, os.path.join(self.artifacts, f"{self.name}.log"))
            print(f"evidence kept in {self.artifacts}/{self.name}.*", file=sys.stderr)
        except Exception as error:
            print(f"could not keep evidence: {error!r}", file=sys.stderr)

    def check_alive(self):
        if self.app.poll() is not None:
            with open(self.app_output, "rb") as log:
                tail = log.read()[-2000:].decode(errors="replace")
            raise AppExited(f"the app exited with status {self.app.returncode}:\n{tail}")

    def _application(self):
        import pyatspi

        if self._app_accessible is not None:
            return self._app_accessible
        desktop = pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            candidate = desktop.getChildAtIndex(index)
            if candidate is not None and candidate.get_process_id() == self.app.pid:
                self._app_accessible = candidate
                return candidate
        return None

    def nodes(self):
        """Every showing node of the app's tree, depth first, read afresh."""
        self.check_alive()
        application = self._application()
        if application is None:
            return []
        # The tree is read without an event loop, so cached answers may be stale.
        application.clearCache()
        found = []

        def walk(accessible, path):
            node = Node(accessible, path)
            if path and not node.showing:
                return
            found.append(node)
            for index in range(accessible.childCount):
                child = accessible.getChildAtIndex(index)
                if child is not None:
                    walk(child, path + (node.name,))

        walk(application, ())
        return found

    def query(self, name=None, role=None, within=None):
        """Showing nodes by name and role; within names a node they must lie inside."""
        return [node for node in self.nodes()
                if (name is None or node.name == name) and (role is None or node.role == role)
                and (within is None or within in node.path)]

    def _one(self, name, role, within):
        matches = [node for node in self.query(name, role, within)
                   if node.rect and node.rect[2] > 0 and node.rect[3] > 0]
        if len(matches) > 1:
            raise Failure(f"{len(matches)} showing nodes are named {name!r}: {matches}")
        return matches[0] if matches else None

    def find(self, name, role=None, within=None, timeout=10.0):
        return wait_for(f"{role or 'a node'} named {name!r}",
                        lambda: self._one(name, role, within), timeout)

    def wait_gone(self, name, role=None, within=None, timeout=10.0):
        wait_for(f"{role or 'the node'} {name!r} to go away",
                 lambda: not self.query(name, role, within), timeout)

    def wait_still(self, name, role=None, within=None, timeout=10.0):
        """The node once it has stopped moving (screens and menus slide in)."""
        previous = [None]

        def probe():
            node = self._one(name, role, within)
            if node is None:
                return None
            settled = node.rect == previous[0]
            previous[0] = node.rect
            if not settled:
                time.sleep(0.05)
            return node if settled else None

        return wait_for(f"{role or 'a node'} named {name!r} to be there and stop moving", probe,
                        timeout)

    def xdotool(self, *arguments):
        self.check_alive()
        subprocess.run(["xdotool", *map(str, arguments)], env=self.env, check=True,
                       stdout=subprocess.DEVNULL)

    def click(self, target):
        x, y = target.center if isinstance(target, Node) else target
        self.xdotool("mousemove", x, y, "click", "1")

    def press(self, name, role="push button", within=None, timeout=10.0):
        node = self.wait_still(name, role, within, timeout)
        self.click(node)
        return node

    def key(self, *combos):
        self.xdotool("key", "--clearmodifiers", *combos)

    def type_text(self, text):
        self.xdotool("type", "--delay", "20", text)

    def drag(self, points, button=1, during=None, steps_per_segment=6):
        """Presses at points[0], moves through the others in small steps, releases.

        during: xdotool commands sent (in the same batch, so no pause a long press would
        notice) after the first segment, while the button is still down.
        """
        commands = ["mousemove", *points[0], "mousedown", str(button)]
        for segment, (start, end) in enumerate(zip(points, points[1:])):
            for step in range(1, steps_per_segment + 1):
                x = round(start[0] + (end[0] - start[0]) * step / steps_per_segment)
                y = round(start[1] + (end[1] - start[1]) * step / steps_per_segment)
                commands += ["mousemove", x, y, "sleep", "0.01"]
            if segment == 0 and during:
                commands += list(during)
        commands += ["mouseup", str(button)]
        self.xdotool(*commands)

    def screenshot(self, rect=None):
        """The screen (or a rectangle of it) as a PIL image in RGB."""
        from PIL import ImageGrab

        self.check_alive()
        image = ImageGrab.grab(xdisplay=self.display).convert("RGB")
        if rect:
            x, y, w, h = rect
            image = image.crop((x, y, x + w, y + h))
        return image

    def resize_window(self, width, height):
        """Resizes the app's window from outside, as a desktop does, and waits until it has
        that size; returns its new rectangle."""
        listed = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Tilebloom$"],
                                env=self.env, check=True, capture_output=True, text=True)
        for window in listed.stdout.split():
            self.xdotool("windowsize", window, width, height)
        return wait_for(f"the window to be {width} x {height}",
                        lambda: (rect := self.window_rect())[2:] == (width, height) and rect)

    def window_id(self):
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.app.pid)],
                               env=self.env, capture_output=True, text=True)
        ids = [int(line) for line in found.stdout.split()]
        if not ids:
            raise Failure("the app shows no X window")
        return ids[0]

    def window_rect(self):
        windows = [node for node in self.nodes() if node.depth == 1 and node.rect]
        if not windows:
            raise Failure("the app shows no window")
        return windows[0].rect

    def save_screenshot(self, path, rect=None, whole_screen=False):
        """Writes what a user sees as PNG, for a human to look at: the app's window, a
        rectangle of the screen, or the whole screen (dialogs included)."""
        if rect is None and not whole_screen:
            rect = self.window_rect()
        self.screenshot(rect).save(path, "PNG")
        return path

    def wait_pixels(self, what, predicate, timeout=10.0):
        seen = [None]

        def probe():
            image = self.screenshot()
            seen[0] = image
            return image if predicate(image) else None

        try:
            return wait_for(what, probe, timeout, interval=0.1)
        except Failure:
            if self.artifacts and seen[0] is not None:
                os.makedirs(self.artifacts, exist_ok=True)
                seen[0].save(os.path.join(self.artifacts, f"{self.name}-last-seen.png"))
            raise

    def wait_screen_still(self, rect, timeout=10.0):
        """The rectangle's pixels once two shots in a row agree (an animation has ended)."""
        previous = [None]

        def probe():
            shot = self.screenshot(rect).tobytes()
            same = shot == previous[0]
            previous[0] = shot
            return same

        wait_for("the screen to stop changing", probe, timeout, interval=0.1)
        return self.screenshot()

    @property
    def store_path(self):
        return os.path.join(self.data_dir, STORE_FILE)

    def sql(self, statement):
        result = subprocess.run(["sqlite3", "-json", "-readonly", self.store_path, statement],
                                capture_output=True, text=True, check=True)
        return json.loads(result.stdout) if result.stdout.strip() else []

    def wait_rows(self, what, statement, predicate=bool, timeout=10.0):
        def probe():
            if not os.path.exists(self.store_path):
                return None
            rows = self.sql(statement)
            return rows if predicate(rows) else None

        return wait_for(what, probe, timeout)


class Grid:
    """Where the editor's cells are on the screen, read from a screenshot.

    The editor shows the square grid across the canvas's whole width on a plain background,
    which the canvas's top edge shows, so the grid is the longest run of rows in the
    canvas's middle column that differ from that background.
    """

    def __init__(self, image, canvas_rect, cells):
        x, y, w, h = canvas_rect
        middle = x + w // 2
        column = [image.getpixel((middle, row)) for row in range(y, y + h)]
        background = column[0]
        best, start = (0, 0), None
        for offset, pixel in enumerate(column + [background]):
            if pixel != background and start is None:
                start = offset
            elif pixel == background and start is not None:
                if offset - start > best[1] - best[0]:
                    best = (start, offset)
                start = None
        self.top, self.bottom = y + best[0], y + best[1]
        self.left = x
        self.cells = cells
        self.size = w / cells
        if abs((self.bottom - self.top) - w) > 2:
            raise Failure(f"no square grid across the canvas: {self.bottom - self.top} rows "
                          f"high, {w} wide")

    def center(self, column, row):
        return (round(self.left + (column + 0.5) * self.size),
                round(self.top + (row + 0.5) * self.size))

    def color(self, image, column, row):
        return image.getpixel(self.center(column, row))

    def painted(self, image, blank=(255, 255, 255)):
        """The (column, row) of every cell whose middle is not blank."""
        return {(column, row) for row in range(self.cells) for column in range(self.cells)
                if not close_to(self.color(image, column, row), blank)}


def close_to(pixel, expected, tolerance=12):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel[:3], expected[:3]))


class Editor:
    """The drawing screen, driven and read as a user does."""

    def __init__(self, session, cells=20):
        self.session = session
        session.wait_still("Undo")
        canvas = session.find("Canvas")
        self.grid = Grid(session.wait_screen_still(canvas.rect), canvas.rect, cells)

    @classmethod
    def new_drawing(cls, session, cells=20):
        session.press("New drawing")
        return cls(session, cells)

    def paint_color(self):
        """The colour the editor paints with, as its button shows it."""
        button = self.session.find("Choose colour")
        return self.session.screenshot().getpixel(button.center)

    def choose_tool(self, name):
        session = self.session
        tools = session.wait_still("Tools")
        session.click(tools)
        wait_for("the tool menu to open",
                 lambda: session.find(name).center != tools.center)
        session.press(name)
        # The menu folds back onto its button; taps on the canvas must wait for that.
        tools = session.find("Tools")
        wait_for(f"the tool menu to fold after choosing {name}",
                 lambda: session.find(name).center == tools.center)

    def tap(self, column, row):
        self.session.click(self.grid.center(column, row))

    def stroke(self, cells, during=None):
        self.session.drag([self.grid.center(*cell) for cell in cells], during=during)

    def painted(self, image=None):
        return self.grid.painted(image or self.session.screenshot())

    def wait_painted(self, expected, what, timeout=10.0):
        """Waits until exactly the expected cells are painted; returns the screenshot."""
        expected = set(expected)
        try:
            return self.session.wait_pixels(what, lambda image: self.painted(image) == expected,
                                            timeout)
        except Failure as failure:
            seen = self.painted()
            raise Failure(f"{failure}; painted now: {describe_cells(seen, expected)}") from None

    def settled_painted(self):
        canvas = self.session.find("Canvas")
        return self.painted(self.session.wait_screen_still(canvas.rect))


def describe_cells(seen, expected):
    extra, missing = sorted(seen - expected), sorted(expected - seen)
    return (f"{len(seen)} cells, {len(extra)} unexpected {extra[:8]}, "
            f"{len(missing)} missing {missing[:8]}")


# Stored colours: "TBCA", version 1, a little-endian count, then 33-byte entries (the colour
# space, then four doubles); or version 2, the count, a palette size, an index width and a
# zlib stream holding the palette's entries and then one index per colour. Cells are stored
# column by column, each column from the bottom.

def decode_colors(blob_hex):
    data = bytes.fromhex(blob_hex)
    if data[:4] != b"TBCA" or data[4] not in (1, 2):
        raise Failure(f"not a colour archive: {data[:8]!r}")
    (count,) = struct.unpack_from("<I", data, 5)
    if data[4] == 2:
        import zlib

        palette_size, width = struct.unpack_from("<IB", data, 9)
        payload = zlib.decompress(data[14:])
        if len(payload) != 33 * palette_size + width * count:
            raise Failure(f"a compact colour archive of {len(payload)} bytes for {count} colours")
        palette = decode_colors((b"TBCA\x01" + struct.pack("<I", palette_size)
                                 + payload[:33 * palette_size]).hex())
        code = {1: "B", 2: "H", 4: "I"}[width]
        indices = struct.unpack_from(f"<{count}{code}", payload, 33 * palette_size)
        return [palette[index] for index in indices]
    if len(data) != 9 + 33 * count:
        raise Failure(f"a colour archive of {len(data)} bytes for {count} colours")
    colors = []
    for index in range(count):
        space = data[9 + 33 * index]
        components = struct.unpack_from("<4d", data, 10 + 33 * index)
        if space == 0:
            rgb = components[:3]
        elif space == 1:
            rgb = (components[0],) * 3
        else:
            raise Failure(f"stored colour {index} has no RGB form")
        colors.append(tuple(round(channel * 255) for channel in rgb))
    return colors


def stored_cells(blob_hex, width, height):
    """{(column, row counted from the top): (r, g, b)} of a stored drawing."""
    colors = decode_colors(blob_hex)
    if len(colors) != width * height:
        raise Failure(f"{len(colors)} stored colours for {width} x {height} cells")
    return {(column, row): colors[column * height + (height - 1 - row)]
            for column in range(width) for row in range(height)}


def main(scenarios):
    """Runs the scenario named on the command line inside a private D-Bus session."""
    if os.environ.get(BUS_MARKER) != "1":
        env = dict(os.environ, **{BUS_MARKER: "1"})
        os.execvpe("dbus-run-session", ["dbus-run-session", "--", sys.executable, *sys.argv],
                   env)
    if len(sys.argv) != 2 or sys.argv[1] not in scenarios:
        print(f"usage: {sys.argv[0]} {'|'.join(scenarios)}", file=sys.stderr)
        return 2
    name = sys.argv[1]

    def stop(number, frame):
        raise SystemExit(f"stopped by signal {number}")

    # A timeout's kill still ends every process the scenario started.
    signal.signal(signal.SIGTERM, stop)
    started = time.monotonic()
    try:
        scenarios[name](name)
    except Failure as failure:
        print(f"FAILED {name}: {failure}", file=sys.stderr)
        return 1
    print(f"passed {name} in {time.monotonic() - started:.1f} s")
    return 0
