"""What every end-to-end test shares: the real launcher.exe started from a disc
folder under Wine on the harness's X server, real input through XTEST
(xdotool without --window), and checks a person could make: the pixels on the
screen compared with the disc's own bitmaps, the records the probe programs
leave, which windows exist and whether a process is alive.

Every wait polls against a deadline. Whatever a test starts or changes (the
launcher, the programs it starts, the WordPad and web-browser stand-ins, the
registry entries of the game) is undone when the test ends, also when it
fails or is stopped.

make proof (tools/proof.py) drives the launcher through this same library."""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TITLE = "Zephrane Launcher"
WINDOW_SIZE = (644, 456)

# The picture's elements in client coordinates: (x, y, width, height).
BIG_FLAME = (339, 62, 50, 136)
SMALL_FLAME = (115, 159, 25, 50)
STEMS = {1: "8b1", 2: "8bdldx7", 4: "8b4", 6: "8b6", 7: "8b7", 8: "8b8",
         9: "8bexit", 10: "8b10", 11: "8bvexa", 12: "8orlo"}
PLACES = {1: (20, 237, 124, 56), 2: (500, 237, 124, 56), 4: (20, 306, 124, 56),
          6: (21, 17, 320, 130), 7: (384, 367, 114, 68), 8: (20, 237, 124, 56),
          9: (500, 306, 124, 56), 10: (20, 376, 124, 56), 11: (150, 347, 114, 87),
          12: (263, 347, 115, 94)}
PICTURES = {"up": "u", "focus": "f", "down": "d"}
WEB_BUTTONS = (2, 6, 7, 11, 12)
# Points on no button; (322, 228) also lies clear of both flames.
EMPTY = (322, 228)
EMPTY_2 = (450, 200)

APP_PATHS_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\zorvex.exe"
UNINSTALL_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Zephrane Demo"
HTTP_COMMAND_KEY = r"HKCR\http\shell\open\command"
X11_KEY = r"HKCU\Software\Wine\X11 Driver"
WORDPAD = r"C:\Program Files\Accessories\WORDPAD.EXE"


def centre(button, dx=0):
    x, y, w, h = PLACES[button]
    return (x + w // 2 + dx, y + h // 2)


class Failure(Exception):
    pass


class Skip(Exception):
    """What a case needs is not on this machine; the message says what."""


# The exit status by which CTest knows a test program that skipped all it had.
SKIP_STATUS = 77


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
    # P6 header: magic, width, height, maxval, each followed by whitespace.
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    if fields[0] != b"P6" or fields[3] != b"255":
        raise Failure("unexpected image data from ImageMagick")
    width, height = int(fields[1]), int(fields[2])
    pos += 1
    return Image(width, height, data[pos:pos + width * height * 3])


class Session:
    """One test program's view of the harness, and the undo list of what it
    changed there."""

    def __init__(self, argv):
        self.build = os.environ.get("ZEPH_BUILD") or os.path.join(ROOT, "build")
        env = dict(os.environ, ZEPH_BUILD=self.build)
        out = subprocess.run(
            ["bash", "-c", 'source "$1/scripts/wine-env.sh" && printf "%s\\0" '
             '"$WINE" "$WINEPREFIX" "$ZEPH_WINE_ARCH" "$WINEARCH" "$WINEDEBUG" '
             '"$WINEDLLOVERRIDES" "${WINELOADER:-}" "$ZEPH_TREE"', "-", ROOT],
            env=env, check=True, stdout=subprocess.PIPE).stdout.decode()
        (self.wine_path, prefix, arch, winearch, debug, overrides,
         loader, wanted) = out.split("\0")[:8]
        env.update(WINEPREFIX=prefix, ZEPH_WINE_ARCH=arch, WINEARCH=winearch,
                   WINEDEBUG=debug, WINEDLLOVERRIDES=overrides, ZEPH_TREE=wanted)
        if loader:
            env["WINELOADER"] = loader
        self.prefix = prefix
        # The 32-bit launcher in a 64-bit prefix sees the registry and the
        # program folder as a 32-bit program on 64-bit Windows does: the tests
        # read and write through the 32-bit registry tools to match.
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
        self.probe = os.path.join(self.cross, "tests", "probe.exe")
        self.wintool = os.path.join(self.cross, "tests", "e2e", "wintool.exe")
        display_file = os.path.join(self.build, "harness", "display")
        if not os.path.exists(display_file):
            raise Failure("the harness is not running (no %s)" % display_file)
        with open(display_file) as f:
            env["DISPLAY"] = f.read().strip()
        self.scratch = tempfile.mkdtemp(prefix="e2e-", dir=self.build)
        self.probe_log = os.path.join(self.scratch, "probe.log")
        env["ZEPH_PROBE_LOG"] = self.unix_to_windows(self.probe_log)
        self.env = env
        self.undo = []
        self.groups = []
        self.origin = None
        self.channel_bits = (8, 8, 8)

    # -- processes ---------------------------------------------------------

    def start(self, args, cwd=None):
        """Starts a Windows program, detached from this program's output
        (Wine's services would otherwise keep a test runner waiting on it);
        what Wine says about it goes to the file proc.said. end_all ends it."""
        said = os.path.join(self.scratch, "started-%d.log" % len(self.groups))
        with open(said, "wb") as errors:
            proc = subprocess.Popen([self.wine_path] + args, cwd=cwd, env=self.env,
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                    stderr=errors, start_new_session=True)
        proc.said = said
        self.groups.append(proc)
        return proc

    def wine(self, args, check=True):
        """Runs a Windows console program to its end and returns its output."""
        result = subprocess.run([self.wine_path] + args, env=self.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, timeout=60)
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
        are found by the one thing they all inherit: this session's own probe
        log in their environment. Wine's own processes (the desktop, its
        services), which the first program of a server may have started,
        are left alone: the next program would wait for a new desktop."""
        groups = {proc.pid for proc in self.groups}
        marker = ("ZEPH_PROBE_LOG=%s" % self.env["ZEPH_PROBE_LOG"]).encode()
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

    def forget_game(self):
        """Takes the game's two registry entries away, as on a machine that
        never had it."""
        self.reg_import(["[-HKEY_LOCAL_MACHINE%s]" % key[4:] for key in (APP_PATHS_KEY,
                                                                        UNINSTALL_KEY)])

    def prepare(self):
        """What every test program needs once: the probe in place of WordPad
        and of the web browser, the game's entries gone again at the end,
        and Wine's windows unmanaged."""
        self.undo.append(self.forget_game)
        self.unmanaged()
        self.install_wordpad_probe()
        self.install_http_probe()

    def unmanaged(self):
        """Wine stops treating its windows as managed by a window manager:
        there is none on the harness's display, and a managed window's
        destruction waits two seconds for one to confirm it."""
        managed = self.reg_query(X11_KEY, "Managed")
        self.reg_set(X11_KEY, "Managed", "N")

        def restore():
            if managed is None:
                self.wine([self.reg, "delete", X11_KEY, "/v", "Managed", "/f"])
            else:
                self.reg_set(X11_KEY, "Managed", managed)
        self.undo.append(restore)

    def clear_records(self):
        if os.path.exists(self.probe_log):
            os.remove(self.probe_log)

    # -- the probe in place of started programs ----------------------------

    def install_wordpad_probe(self):
        target = self.windows_to_unix(WORDPAD)
        folder = os.path.dirname(target)
        made_folder = not os.path.isdir(folder)
        os.makedirs(folder, exist_ok=True)
        backup = None
        if os.path.exists(target):
            backup = os.path.join(self.scratch, "WORDPAD.EXE.orig")
            shutil.copy2(target, backup)
        shutil.copy2(self.probe, target)

        def restore():
            if backup:
                shutil.copy2(backup, target)
            else:
                os.remove(target)
                if made_folder:
                    os.rmdir(folder)
        self.undo.append(restore)

    def install_http_probe(self):
        before = self.reg_query(HTTP_COMMAND_KEY, None)
        self.reg_set(HTTP_COMMAND_KEY, None, '"%s" "%%1"' % self.unix_to_windows(self.probe))

        def restore():
            if before is None:
                self.reg_delete_key(HTTP_COMMAND_KEY)
            else:
                self.reg_set(HTTP_COMMAND_KEY, None, before)
        self.undo.append(restore)

    def probe_records(self):
        """The probe's lines: dicts of module, command line, directory, error
        mode, start-up flags and Windows process id."""
        try:
            with open(self.probe_log, encoding="latin-1") as f:
                lines = f.read().splitlines()
        except FileNotFoundError:
            return []
        records = []
        for line in lines:
            fields = line.split("\t")
            if len(fields) == 6:
                records.append({"module": fields[0], "cmdline": fields[1], "cwd": fields[2],
                                "errormode": fields[3], "flags": fields[4], "pid": fields[5]})
        return records

    def wait_records(self, count, what, timeout=15):
        """The probe's records once count probes have written and ended: one
        on its way out still holds its program file and its folder."""
        records = wait_until(lambda: len(self.probe_records()) >= count and self.probe_records(),
                             what, timeout)
        try:
            self.wine([self.wintool, "wait"] + [r["pid"] for r in records])
        except Failure:
            raise Failure("%s: the probe did not end" % what)
        return records

    # -- the screen ----------------------------------------------------------

    def on_display_of_depth(self, bits):
        """Moves this session's Wine to an X server of that many bits per
        pixel, for the rest of the session."""
        harness = os.path.join(ROOT, "scripts", "harness.sh")
        out = subprocess.run([harness, "depth-start", str(bits)], env=self.env, check=True,
                             stdout=subprocess.PIPE, stdin=subprocess.DEVNULL).stdout.decode()
        self.undo.append(lambda: subprocess.run([harness, "depth-stop"], env=self.env, check=True,
                                                stdin=subprocess.DEVNULL))
        self.env["DISPLAY"] = out.split()[-1]
        self.origin = None
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
        if self.origin is None:
            w, h = (int(v) for v in self.x(["xdotool", "getdisplaygeometry"]).split())
            self.origin = ((w - WINDOW_SIZE[0]) // 2, (h - WINDOW_SIZE[1]) // 2)
        return self.origin

    def grab(self, rect, window=None):
        """The screen's pixels in a rectangle of client coordinates; with a
        window, as that window's own colour map gives them."""
        ox, oy = self.screen_origin() if window is None else (0, 0)
        x, y, w, h = rect
        return read_ppm(self.x(["import", "-window", window or "root", "-crop",
                                "%dx%d+%d+%d" % (w, h, ox + x, oy + y), "+repage",
                                "-depth", "8", "ppm:-"]))

    def keep_screen(self, name):
        """The whole screen at a failure, for the person reading the log."""
        folder = os.path.join(self.build, "e2e-failures")
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, "%s.%s.png" % (
            os.path.splitext(os.path.basename(sys.argv[0]))[0], name))
        try:
            self.x(["import", "-window", "root", path])
            print("  the screen at the failure: %s" % path)
        except Failure:
            pass

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
        self.proc = self.s.start(["launcher.exe"], cwd=self.folder)
        self.find_window()
        if wait_picture:
            wait_until(lambda: self.background_shown(), "the launcher's picture")
        return self

    def find_window(self):
        # By process: X window ids of a client that has just gone are handed
        # out again to the next one.
        try:
            self.window = wait_until(lambda: self.s.windows(pid=self.proc.pid),
                                     "the launcher's window")[0]
        except Failure as e:
            if self.alive():
                raise Failure("%s (the process runs)" % e)
            with open(self.proc.said, errors="replace") as f:
                said = " | ".join(f.read().splitlines()[-5:])
            raise Failure("%s (the process ended with %d; Wine said: %s)"
                          % (e, self.proc.returncode, said or "nothing"))

    def alive(self):
        return self.proc.poll() is None

    def wait_closed(self, what, timeout=10):
        wait_until(lambda: not self.alive(), what, timeout)
        wait_until(lambda: self.window not in self.s.windows(), "its window to go", timeout)

    def mask_for(self, button, rect):
        """Parts of an element's rectangle that other elements may cover:
        the flames, which run on their own, and the column that buttons 11
        and 12 share, which belongs to whichever was drawn last."""
        x, y, _, _ = rect
        mask = []
        for flame in (BIG_FLAME, SMALL_FLAME):
            fx, fy, fw, fh = flame
            mask.append((fx - x, fy - y, fw, fh))
        if button == 11:
            mask.append((263 - x, 0, 1, rect[3]))
        if button == 12:
            mask.append((0, 0, 1, rect[3]))
        return mask

    def shows(self, button):
        """Which of its pictures a button's place shows: 'up', 'focus',
        'down', or None for anything else."""
        rect = PLACES[button]
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

    def background_region(self, rect):
        """Whether a rectangle of the picture shows the background's pixels."""
        shown = self.s.grab(rect)
        expected = self.disc.bitmap("8bg1.bmp").crop(rect)
        return same(self.s.as_shown(shown), self.s.as_shown(expected), self.mask_for(0, rect))

    def background_shown(self):
        # A strip below the buttons that only the background covers.
        return self.background_region((0, 442, 640, 10))

    def settle(self):
        """Returns once the launcher has handled all input sent so far: its
        flames only move while its message queue is empty, so two changes of
        the small flame seen from now on mean it has been idle since."""
        last = self.s.grab(SMALL_FLAME).rgb
        for _ in range(2):
            def moved():
                nonlocal last
                if not self.alive():
                    raise Failure("the launcher ended")
                now = self.s.grab(SMALL_FLAME).rgb
                if now != last:
                    last = now
                    return True
                return False
            wait_until(moved, "the flames to move on (the launcher to be idle)")

    def expect_all_up(self, why, installed=False, except_for=()):
        shown = [1] if not installed else [8, 10]
        for button in shown + [2, 4, 6, 7, 9, 11, 12]:
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
            self.s.move(EMPTY)
            self.settle()
            yield button, "up"
            self.s.move(centre(button))
            self.settle()
            yield button, "focus"
            self.s.press()
            self.settle()
            yield button, "down"
            self.s.move(EMPTY)
            self.s.release()


def run_cases(cases, argv=None):
    """Runs the cases one after another in one session, each from a clean
    state: no program of an earlier case left running, no probe record, the
    game not installed. Prints one line per case and a closing count, and
    exits non-zero when any case failed, or with SKIP_STATUS when every case
    was skipped."""
    argv = sys.argv[1:] if argv is None else argv
    passed = failed = skipped = 0

    def stop(signum, frame):
        raise KeyboardInterrupt()
    signal.signal(signal.SIGTERM, stop)
    session = None
    try:
        session = Session(argv)
        session.prepare()
        for case in cases:
            try:
                session.forget_game()
                case(session)
                print("ok - %s" % case.__name__)
                passed += 1
            except Skip as e:
                print("skip: %s: %s" % (case.__name__, e))
                skipped += 1
            except Failure as e:
                print("FAIL - %s: %s" % (case.__name__, e))
                session.keep_screen(case.__name__)
                failed += 1
            except Exception:
                print("FAIL - %s: unexpected error" % case.__name__)
                traceback.print_exc(file=sys.stdout)
                session.keep_screen(case.__name__)
                failed += 1
            finally:
                session.end_all()
                session.clear_records()
            sys.stdout.flush()
    except Failure as e:
        print("FAIL - set-up: %s" % e)
        failed += 1
    except KeyboardInterrupt:
        print("FAIL - stopped")
        failed += 1
    finally:
        if session:
            session.cleanup()
    print("%d passed, %d failed%s" % (passed, failed, ", %d skipped" % skipped if skipped else ""))
    if failed:
        sys.exit(1)
    sys.exit(SKIP_STATUS if skipped and not passed else 0)
