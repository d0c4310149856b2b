"""Driving a disc's real launcher.exe under Wine on an X server of the
project's own (scripts/harness.sh): started from its folder, given real input
through XTEST (xdotool without --window), and seen as a person sees it: the
pixels on the screen, compared with the disc's own bitmaps or with the
picture they compose, which windows exist and whether a process is alive.
`make proof` (tools/proof.py) and the end-to-end tests (tests/e2e) both drive
the launcher through it.

A Session is one program's view of the harness named by the Wine settings
(scripts/wine-env.sh: the prefix, and the harness's folder ZEPH_HARNESS) and
the undo list of what it changed there: its cleanup ends every program it
started and takes back every change, also when the program fails or is
stopped. Every wait polls against a deadline.

SIGINT, SIGTERM, SIGHUP and SIGALRM, once taken (take_interrupts), stop the program
as KeyboardInterrupt, except inside held(): a step there, such as starting a
program and listing it for the cleanup, or the cleanup itself, is finished
first."""

import contextlib
import os
import shutil
import signal
import subprocess
import tempfile
import time

import identity

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TITLE = "Zephrane Launcher"
# The demo disc's layout, from its identity file: the window a session looks
# at unless told another disc's (Session.look_at). Its elements in client
# coordinates: (x, y, width, height).
DEMO = identity.Layout(identity.load(identity.DEMO))
WINDOW_SIZE = DEMO.window
BIG_FLAME, SMALL_FLAME = (flame[:4] for flame in DEMO.flames)
STEMS = identity.STEMS
PLACES = DEMO.buttons
BACKGROUND = identity.BACKGROUND_STEM + ".bmp"
PICTURES = {"up": "u", "focus": "f", "down": "d"}
WEB_BUTTONS = (2, 6, 7, 11, 12)
# The background and the buttons without the window's border.
PICTURE = (0, 0) + DEMO.size
# Points on no button; (322, 228) also lies clear of both flames.
EMPTY = (322, 228)
EMPTY_2 = (450, 200)

X11_KEY = r"HKCU\Software\Wine\X11 Driver"
HARNESS = os.path.join(ROOT, "scripts", "harness.sh")


def centre(button, dx=0, layout=DEMO):
    x, y, w, h = layout.buttons[button]
    return (x + w // 2 + dx, y + h // 2)


def clear_point(layout):
    """A point of the picture on no element and at least 8 pixels from
    every one: the middle of the picture where it is, else the first such
    point row by row."""
    width, height = layout.size

    def clear(x, y):
        return all(not (ex - 8 <= x < ex + ew + 8 and ey - 8 <= y < ey + eh + 8)
                   for ex, ey, ew, eh in layout.elements)
    candidates = [(width // 2, height // 2)] + [(x, y) for y in range(8, height - 8, 8)
                                                 for x in range(8, width - 8, 8)]
    for point in candidates:
        if clear(*point):
            return point
    raise Failure("the layout leaves no point of the picture clear of every element")


class Failure(Exception):
    pass


# Interrupts that came while a step was held, to be raised once it is done.
_held = 0
_pending = []


def _interrupted(signum, frame):
    if _held:
        _pending.append(signum)
    else:
        raise KeyboardInterrupt()


def take_interrupts():
    """SIGINT, SIGTERM and SIGHUP (its terminal closed) stop the program as
    KeyboardInterrupt, but never inside held(); so does SIGALRM, for a
    program that sets itself a time limit."""
    for signum in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGALRM):
        signal.signal(signum, _interrupted)


@contextlib.contextmanager
def held():
    """A step that an interrupt must not cut in two: the interrupt waits
    until it is done. What the step runs is best started in a session of its
    own (start_new_session), where a terminal's Ctrl-C does not reach it."""
    global _held
    _held += 1
    try:
        yield
    finally:
        _held -= 1
    if not _held and _pending:
        del _pending[:]
        raise KeyboardInterrupt()


def wait_until(predicate, what, timeout=10.0, interval=0.05):
    """Polls predicate until it returns something true, which is returned."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(interval)


class Image:
    """Pixels as RGB bytes, top row first."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def ppm(self):
        """The image as a PPM file's bytes, for the image tools."""
        return b"P6 %d %d 255\n" % (self.width, self.height) + self.rgb

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])

    def column(self, x):
        return [self.pixel(x, y) for y in range(self.height)]

    def crop(self, rect):
        x, y, w, h = rect
        return Image(w, h, b"".join(self.rgb[((y + r) * self.width + x) * 3:
                                             ((y + r) * self.width + x + w) * 3]
                                    for r in range(h)))

    def pasted(self, image, x, y):
        """This image with another laid over it, its top-left corner at (x, y)."""
        rgb = bytearray(self.rgb)
        for r in range(image.height):
            start = ((y + r) * self.width + x) * 3
            rgb[start:start + image.width * 3] = image.rgb[r * image.width * 3:
                                                           (r + 1) * image.width * 3]
        return Image(self.width, self.height, bytes(rgb))


def read_ppm(data):
    # P6 header: magic, width, height, maxval, each followed by whitespace;
    # a '#' begins a comment to the line's end (an image's own comment).
    fields, pos = [], 0
    while len(fields) < 4 and pos < len(data):
        if data[pos:pos + 1].isspace():
            pos += 1
        elif data[pos:pos + 1] == b"#":
            end = data.find(b"\n", pos)
            pos = len(data) if end < 0 else end
        else:
            start = pos
            while pos < len(data) and not data[pos:pos + 1].isspace():
                pos += 1
            fields.append(data[start:pos])
    if (fields[:1] != [b"P6"] or fields[3:] != [b"255"] or not fields[1].isdigit()
            or not fields[2].isdigit()):
        raise Failure("unexpected image data from ImageMagick")
    width, height = int(fields[1]), int(fields[2])
    pos += 1
    return Image(width, height, data[pos:pos + width * height * 3])


class Session:
    """One program's view of the harness, and the undo list of what it
    changed there."""

    def __init__(self, argv):
        self.build = os.environ.get("ZEPH_BUILD") or os.path.join(ROOT, "build")
        env = dict(os.environ, ZEPH_BUILD=self.build)
        out = subprocess.run(
            ["bash", "-c", 'source "$1/scripts/wine-env.sh" && printf "%s\\0" '
             '"$WINE" "$WINEPREFIX" "$ZEPH_WINE_ARCH" "$WINEARCH" "$WINEDEBUG" '
             '"$WINEDLLOVERRIDES" "${WINELOADER:-}" "$ZEPH_TREE" "$ZEPH_HARNESS"', "-", ROOT],
            env=env, check=True, stdout=subprocess.PIPE).stdout.decode()
        (self.wine_path, prefix, arch, winearch, debug, overrides,
         loader, wanted, harness) = out.split("\0")[:9]
        env.update(WINEPREFIX=prefix, ZEPH_WINE_ARCH=arch, WINEARCH=winearch,
                   WINEDEBUG=debug, WINEDLLOVERRIDES=overrides, ZEPH_TREE=wanted,
                   ZEPH_HARNESS=harness)
        if loader:
            env["WINELOADER"] = loader
        self.prefix = prefix
        # The 32-bit launcher in a 64-bit prefix sees the registry and the
        # program folder as a 32-bit program on 64-bit Windows does: the
        # registry is read and written through the 32-bit tools to match.
        self.wow64 = arch == "win64" and wanted == "i686"
        system = r"C:\windows\syswow64" if self.wow64 else r"C:\windows\system32"
        self.reg = system + r"\reg.exe"
        self.regedit = (system if self.wow64 else r"C:\windows") + r"\regedit.exe"
        self.program_files = r"C:\Program Files (x86)" if self.wow64 else r"C:\Program Files"
        # The cross trees come from CMake; the one that runs here is the one
        # the Wine settings name.
        dirs = [d for d in argv if os.path.basename(d.rstrip("/")) == wanted]
        if not dirs:
            raise Failure("no %s cross tree among %s" % (wanted, argv))
        self.cross = dirs[0]
        self.disc = os.path.join(self.cross, "disc")
        display_file = os.path.join(harness, "display")
        if not os.path.exists(display_file):
            raise Failure("the harness is not running (no %s)" % display_file)
        with open(display_file) as f:
            env["DISPLAY"] = f.read().strip()
        self.scratch = tempfile.mkdtemp(prefix="session-", dir=self.build)
        # Every program this session starts, and every one they start in
        # turn, inherits it: end_all finds them by it.
        env["ZEPH_SESSION"] = self.scratch
        self.env = env
        self.undo = []
        self.groups = []
        self.display = None
        self.channel_bits = (8, 8, 8)
        self.layout, self.empty = DEMO, EMPTY

    def look_at(self, layout):
        """The window the session looks at from now on is that of a disc of
        this layout, and its empty ground a point clear of its elements."""
        self.layout, self.empty = layout, clear_point(layout)

    # -- processes ---------------------------------------------------------

    def start(self, args, cwd=None):
        """Starts a Windows program, detached from this program's output
        (Wine's services would otherwise keep a test runner waiting on it);
        what Wine says about it goes to the file proc.said. end_all ends it."""
        said = os.path.join(self.scratch, "started-%d.log" % len(self.groups))
        with held(), open(said, "wb") as errors:
            proc = subprocess.Popen([self.wine_path] + args, cwd=cwd, env=self.env,
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                    stderr=errors, start_new_session=True)
            proc.said = said
            self.groups.append(proc)
        return proc

    def window_of(self, proc, what, title=TITLE):
        """The window with the title of a program this session started. When
        none comes, the failure says whether the program runs on, or how it
        ended, what Wine said, and how long the prefix's server has run: a
        program that ends with 1 and says nothing was ended by its server."""
        try:
            return wait_until(lambda: self.windows(title, pid=proc.pid), what)[0]
        except Failure as e:
            if proc.poll() is None:
                raise Failure("%s (the process runs)" % e)
            said = ""
            if hasattr(proc, "said"):
                with open(proc.said, errors="replace") as f:
                    said = " | ".join(f.read().splitlines()[-5:])
            servers = "; ".join("pid %s, up %s s" % up for up in self.servers().items())
            raise Failure("%s (the process ended with %d; Wine said: %s; the prefix's wineserver: %s)"
                          % (e, proc.returncode, said or "nothing", servers or "none"))

    def start_shown(self, args, what, title=TITLE, cwd=None):
        """Starts a Windows program and waits for its window: the program and
        the window. One that ends before its window shows, as a program under
        Wine now and then does on a busy machine, is started once more, and
        said so; a second such end fails."""
        proc = self.start(args, cwd)
        try:
            return proc, self.window_of(proc, what, title)
        except Failure as e:
            if proc.poll() is None:
                raise
            print("  %s; started once more" % e)
        proc = self.start(args, cwd)
        return proc, self.window_of(proc, what, title)

    def servers(self):
        """The prefix's wineservers: each one's id, with the seconds it has run."""
        found = {}
        for pid in self.x(["pgrep", "wineserver"], check=False).decode().split():
            try:
                with open("/proc/%s/environ" % pid, "rb") as f:
                    ours = ("WINEPREFIX=%s" % self.prefix).encode() in f.read().split(b"\0")
            except OSError:
                continue
            if ours:
                found[pid] = self.x(["ps", "-o", "etimes=", "-p", pid], check=False).decode().strip()
        return found

    def wine(self, args, check=True):
        """Runs a Windows console program to its end and returns its output.
        It runs in a session of its own: a terminal's Ctrl-C, meant for this
        program, would end it half-way through a change of the registry."""
        result = subprocess.run([self.wine_path] + args, env=self.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, timeout=60, start_new_session=True)
        if check and result.returncode != 0:
            raise Failure("%s failed with %d" % (" ".join(args), result.returncode))
        return result.stdout.decode(errors="replace").replace("\r", "")

    def x(self, args, check=True):
        result = subprocess.run(args, env=self.env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        if check and result.returncode != 0:
            raise Failure("%s failed: %s" % (" ".join(args), result.stderr.decode().strip()))
        return result.stdout

    def end_all(self):
        """Ends every program this session started, and what those started in
        turn. Wine gives each started program a session of its own, so those
        are found by the one thing they all inherit: ZEPH_SESSION in their
        environment. Wine's own processes (the desktop, its
        services), which the first program of a server may have started,
        are left alone: the next program would wait for a new desktop."""
        groups = {proc.pid for proc in self.groups}
        marker = ("ZEPH_SESSION=%s" % self.env["ZEPH_SESSION"]).encode()
        for _ in range(10):
            found = []
            for pid in os.listdir("/proc"):
                if not pid.isdigit() or int(pid) == os.getpid():
                    continue
                try:
                    with open("/proc/%s/cmdline" % pid, "rb") as f:
                        if f.read().lower().startswith(b"c:\\windows\\"):
                            continue
                    with open("/proc/%s/environ" % pid, "rb") as f:
                        ours = marker in f.read().split(b"\0")
                    if ours or os.getpgid(int(pid)) in groups:
                        found.append(int(pid))
                except OSError:
                    pass
            if not found:
                break
            for pid in found:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            time.sleep(0.05)
        for proc in self.groups:
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        self.groups = []

    def cleanup(self):
        """Ends what the session started and undoes what it changed, last
        change first, whole: an interrupt waits until it is done."""
        with held():
            self.end_all()
            while self.undo:
                action = self.undo.pop()
                try:
                    action()
                except Exception as e:  # keep undoing the rest
                    print("cleanup: %s" % e)
            shutil.rmtree(self.scratch, ignore_errors=True)

    def unix_to_windows(self, path):
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    def windows_to_unix(self, path):
        drive, rest = path[0].lower(), path[2:].replace("\\", "/")
        if drive == "z":
            return rest
        return os.path.join(self.prefix, "drive_" + drive) + rest

    # -- the registry --------------------------------------------------------

    def reg_query(self, key, value):
        """The data of a string value, or None when it is not there."""
        args = [self.reg, "query", key] + (["/ve"] if value is None else ["/v", value])
        out = self.wine(args, check=False)
        for line in out.splitlines():
            parts = line.strip().split("    ")
            if len(parts) >= 3 and parts[1].startswith("REG_"):
                return "    ".join(parts[2:])
        return None

    def reg_set(self, key, value, data):
        args = [self.reg, "add", key] + (["/ve"] if value is None else ["/v", value])
        self.wine(args + ["/t", "REG_SZ", "/d", data, "/f"])

    def reg_delete_key(self, key):
        self.wine([self.reg, "delete", key, "/f"], check=False)

    def reg_import(self, lines):
        """Applies registry changes in .reg syntax, all in one Wine process."""
        path = os.path.join(self.scratch, "changes.reg")
        with open(path, "w", encoding="utf-8") as f:
            f.write("REGEDIT4\r\n\r\n" + "\r\n".join(lines) + "\r\n")
        self.wine([self.regedit, "/s", self.unix_to_windows(path)])

    def unmanaged(self):
        """Wine stops treating its windows as managed by a window manager:
        there is none on the harness's display, and a managed window's
        destruction waits two seconds for one to confirm it."""
        managed = self.reg_query(X11_KEY, "Managed")

        def restore():
            if managed is None:
                self.wine([self.reg, "delete", X11_KEY, "/v", "Managed", "/f"], check=False)
            else:
                self.reg_set(X11_KEY, "Managed", managed)
        # Listed before it is written, so that an interrupt during the write
        # leaves nothing behind either.
        self.undo.append(restore)
        self.reg_set(X11_KEY, "Managed", "N")

    # -- the screen ----------------------------------------------------------

    def harness(self, *args):
        """scripts/harness.sh's output for one of its commands, run whole."""
        with held():
            result = subprocess.run([HARNESS] + list(args), env=self.env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.PIPE, start_new_session=True)
        if result.returncode != 0:
            raise Failure("harness.sh %s failed" % " ".join(args))
        return result.stdout.decode()

    def on_display_of_depth(self, bits):
        """Moves this session's Wine to an X server of that many bits per
        pixel, for the rest of the session."""
        self.undo.append(lambda: self.harness("depth-stop"))
        self.env["DISPLAY"] = self.harness("depth-start", str(bits)).split()[-1]
        self.display = None
        self.channel_bits = {8: (8, 8, 8), 16: (5, 6, 5)}.get(bits, (8, 8, 8))

    def as_shown(self, image):
        """The image's colours as this display stores them: on a 16-bit one
        each channel cut to its 5, 6 or 5 high bits, which is also all that
        can be told of a colour read back from such a screen."""
        if self.channel_bits == (8, 8, 8):
            return image
        masks = bytes((0xFF << (8 - b)) & 0xFF for b in self.channel_bits) * image.width
        rows = [bytes(a & m for a, m in zip(image.rgb[y * image.width * 3:(y + 1) * image.width * 3],
                                              masks)) for y in range(image.height)]
        return Image(image.width, image.height, b"".join(rows))

    def screen_origin(self):
        if self.display is None:
            self.display = tuple(int(v) for v in self.x(["xdotool", "getdisplaygeometry"]).split())
        return tuple((screen - window) // 2 for screen, window in zip(self.display, self.layout.window))

    def grab(self, rect, window=None):
        """The screen's pixels in a rectangle of client coordinates; with a
        window, as that window's own colour map gives them."""
        ox, oy = self.screen_origin() if window is None else (0, 0)
        x, y, w, h = rect
        return read_ppm(self.x(["import", "-window", window or "root", "-crop",
                                "%dx%d+%d+%d" % (w, h, ox + x, oy + y), "+repage",
                                "-depth", "8", "ppm:-"]))

    def windows(self, title=TITLE, pid=None):
        """The visible top-level windows with the title, of one process or
        of any."""
        by_pid = ["--pid", str(pid)] if pid else []
        out = self.x(["xdotool", "search", "--onlyvisible"] + by_pid + ["--name", "^%s$" % title],
                     check=False)
        return out.decode().split()

    # -- input, through the X server ------------------------------------------

    def move(self, point):
        ox, oy = self.screen_origin()
        self.x(["xdotool", "mousemove", str(ox + point[0]), str(oy + point[1])])

    def press(self):
        self.x(["xdotool", "mousedown", "1"])

    def release(self):
        self.x(["xdotool", "mouseup", "1"])

    def click(self, repeat=1):
        self.x(["xdotool", "click", "--repeat", str(repeat), "--delay", "60", "1"])

    def key(self, name):
        self.x(["xdotool", "key", name])


class Disc:
    """The disc's bitmaps as the screen should show them."""

    def __init__(self, folder):
        self.folder = folder
        self.cache = {}

    def bitmap(self, name):
        if name not in self.cache:
            path = os.path.join(self.folder, "bitmaps", name)
            if not os.path.exists(path):
                raise Failure("the disc has no bitmaps/%s" % name)
            data = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True,
                                  stdout=subprocess.PIPE).stdout
            self.cache[name] = read_ppm(data)
        return self.cache[name]

    def picture(self, button, kind):
        return self.bitmap(STEMS[button] + PICTURES[kind] + ".bmp")


def masked(image, mask):
    """The image's bytes with the masked rectangles (image coordinates) set
    to black."""
    data = bytearray(image.rgb)
    for mx, my, mw, mh in mask:
        x0, x1 = max(mx, 0), min(mx + mw, image.width)
        for y in range(max(my, 0), min(my + mh, image.height)):
            if x0 < x1:
                start = (y * image.width + x0) * 3
                data[start:start + (x1 - x0) * 3] = bytes((x1 - x0) * 3)
    return data


def same(shown, expected, mask=()):
    """Whether two equal-sized images agree outside the masked rectangles."""
    if (shown.width, shown.height) != (expected.width, expected.height):
        raise Failure("a picture of %dx%d where %dx%d was expected"
                      % (shown.width, shown.height, expected.width, expected.height))
    return masked(shown, mask) == masked(expected, mask)


def composed(s, disc, installed):
    """The launcher's whole picture, pixel for pixel, as its disc's own
    bitmaps compose it at the places of the layout the session looks at,
    flames left out: the background with the install button, or the play
    and uninstall buttons once the game is installed, and every other
    button in its up picture."""
    args = ["convert", os.path.join(disc.folder, "bitmaps", BACKGROUND)]
    for button in ([8, 10] if installed else [1]) + [2, 9, 4, 6, 7, 11, 12]:
        if button not in s.layout.buttons:
            continue
        x, y, _, _ = s.layout.buttons[button]
        args += [os.path.join(disc.folder, "bitmaps", STEMS[button] + "u.bmp"),
                 "-geometry", "+%d+%d" % (x, y), "-composite"]
    return read_ppm(s.x(args + ["-depth", "8", "ppm:-"]))


def differences(shown, expected, mask):
    """Where two pictures differ outside the mask: a count and the first place."""
    a, b = masked(shown, mask), masked(expected, mask)
    wrong = [i // 3 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3]]
    if not wrong:
        return 0, None
    first = wrong[0]
    return len(wrong), (first % shown.width, first // shown.width)


class Launcher:
    """One run of the real launcher.exe."""

    def __init__(self, session, folder=None):
        self.s = session
        self.folder = folder or session.disc
        self.disc = Disc(self.folder)
        self.proc = None

    def start(self, wait_picture=True):
        exe = os.path.join(self.folder, "launcher.exe")
        if not os.path.exists(exe):
            raise Failure("there is no launcher at %s" % exe)
        self.proc, self.window = self.s.start_shown(["launcher.exe"], "the launcher's window",
                                                    cwd=self.folder)
        if wait_picture:
            wait_until(lambda: self.background_shown(), "the launcher's picture")
        return self

    def find_window(self):
        # By process: X window ids of a client that has just gone are handed
        # out again to the next one.
        self.window = self.s.window_of(self.proc, "the launcher's window")

    def alive(self):
        return self.proc.poll() is None

    def wait_closed(self, what, timeout=10):
        wait_until(lambda: not self.alive(), what, timeout)
        wait_until(lambda: self.window not in self.s.windows(), "its window to go", timeout)

    def mask_for(self, button, rect):
        """Parts of an element's rectangle that other elements may cover:
        the flames, which run on their own, and where a button that shows at
        the same time overlaps it (the demo's developer's and licensor's
        buttons share a column), which belongs to whichever was drawn last.
        Button 0 is the background."""
        x, y, _, _ = rect
        layout = self.s.layout
        covers = list(layout.flame_places)
        beside = {other for order in identity.HIT_ORDERS if button in order for other in order}
        covers += [layout.buttons[other] for other in beside - {button} if other in layout.buttons]
        return [(cx - x, cy - y, cw, ch) for cx, cy, cw, ch in covers]

    def shows(self, button):
        """Which of its pictures a button's place shows: 'up', 'focus',
        'down', or None for anything else."""
        rect = self.s.layout.buttons[button]
        shown = self.s.grab(rect)
        for kind in PICTURES:
            if same(self.s.as_shown(shown), self.s.as_shown(self.disc.picture(button, kind)),
                    self.mask_for(button, rect)):
                return kind
        return None

    def expect(self, button, kind, why, timeout=5):
        try:
            wait_until(lambda: self.shows(button) == kind, "button %d in its %s picture (%s)"
                       % (button, kind, why), timeout)
        except Failure:
            raise Failure("%s: button %d shows %s, expected its %s picture"
                          % (why, button, self.describe(button), kind))

    def describe(self, button):
        kind = self.shows(button)
        return "its %s picture" % kind if kind else "none of its pictures"

    def background_region(self, rect, mask=None):
        """Whether a rectangle of the picture shows the background's pixels
        (outside the flames, or the mask given)."""
        shown = self.s.grab(rect)
        expected = self.disc.bitmap(BACKGROUND).crop(rect)
        return same(self.s.as_shown(shown), self.s.as_shown(expected),
                    self.mask_for(0, rect) if mask is None else mask)

    def background_shown(self):
        """Whether the picture shows the background wherever no element lies."""
        layout = self.s.layout
        return self.background_region((0, 0) + layout.size, layout.elements)

    def settle(self):
        """Returns once the launcher has handled all input sent so far: its
        flames only move while its message queue is empty, so two changes of
        a flame (the small one, where the disc has it) seen from now on mean
        it has been idle since. A disc without flames is given a moment."""
        flames = self.s.layout.flame_places
        if not flames:
            time.sleep(0.5)
            return
        flame = flames[-1]
        last = self.s.grab(flame).rgb
        for _ in range(2):
            def moved():
                nonlocal last
                if not self.alive():
                    raise Failure("the launcher ended")
                now = self.s.grab(flame).rgb
                if now != last:
                    last = now
                    return True
                return False
            wait_until(moved, "the flames to move on (the launcher to be idle)")

    def expect_all_up(self, why, installed=False, except_for=()):
        for button in identity.HIT_ORDERS[installed]:
            if button not in self.s.layout.buttons:
                continue
            if button not in except_for and self.shows(button) != "up":
                raise Failure("%s: button %d shows %s, expected its up picture"
                              % (why, button, self.describe(button)))

    def each_picture(self, buttons):
        """Shows each button in turn in its three pictures, with real input,
        and yields (button, kind) once the launcher has drawn each: up with
        the pointer on empty ground, focus with the pointer on the button,
        down while the left button is held there. The pointer then leaves the
        button still held and lets go on empty ground, so that nothing
        starts."""
        for button in buttons:
            self.s.move(self.s.empty)
            self.settle()
            yield button, "up"
            self.s.move(centre(button, layout=self.s.layout))
            self.settle()
            yield button, "focus"
            self.s.press()
            self.settle()
            yield button, "down"
            self.s.move(self.s.empty)
            self.s.release()


