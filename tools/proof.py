"""make proof: what a disc's own launcher.exe shows, taken from the screen of
the real program under Wine on the project's private X server and driven by
real pointer input, as the end-to-end tests drive it.

    proof.py CROSS DISC OUT [FORCE [IDENTITY]]

The disc's layout is its identity file's, or the demo's. With an OUT ending
in .png, one labelled sheet, every tile at 1:1: the whole
window not installed and installed (the registry values written and taken
away again by `make run INSTALLED=1` itself), on a 24-bit and a 16-bit
display; every button up, with the pointer over it, and pressed (let go on
empty ground, so that nothing starts); and the sixteen shown frames of each
flame in their place over the background. Every tile is compared with what
the disc's own bitmaps say it should show; one that differs is framed in red
and listed with its share of differing pixels, and the exit status is 1.

With an OUT ending in .gif, a few seconds of the window with the flames
running and the pointer walking over the buttons, one picture for each thing
that changed on the screen, each shown as long as the screen showed it.

The launcher runs on the X server and wineserver that scripts/proof.sh
names (ZEPH_HARNESS, WINEPREFIX): make proof's own, started here and ended
again. Every registry value written on the way is taken away again on every
way out: a failure, a timeout, Ctrl-C at any moment.

Relative paths are the caller's (ZEPH_CALLER_DIR). OUT is made aside and put
in place as every author command puts its output (tools/written.py), checked
right then: only over a picture that make wrote there and nobody changed
since, unless FORCE is set. A sheet's comment lists its tiles, with their
places. Nothing else is written outside the build folder."""

import json
import math
import os
import re
import shutil
import signal
import subprocess
import sys
import time

import identity
from winedrive import (BACKGROUND, HARNESS, PICTURES, ROOT, STEMS, Failure, Image, Launcher,
                       Session, centre, composed, differences, held, take_interrupts, wait_until)

USAGE = "usage: make proof [DISC=folder] [IDENTITY=file] OUT=file.png|file.gif [FORCE=1]"
ROLES = {1: "INSTALL", 2: "GET DIRECTX", 4: "READ ME", 6: "the game's logo", 7: "publisher",
         8: "PLAY", 9: "EXIT", 10: "UNINSTALL", 11: "developer", 12: "licensor"}
NOT_INSTALLED = (1, 2, 4, 6, 7, 9, 11, 12)
INSTALLED_ONLY = (8, 10)
FLAME_NAMES = ("the big flame", "the small flame")
SHOWN_FRAMES = identity.SHOWN_FRAMES
# Background shown around a flame's tile, to see how the frame sits in it.
AROUND = 12
RATE = 30
PREVIEW_SECONDS = 6
# The preview's walk: from empty ground over the buttons and back, in
# straight lines that cross neither of the demo's flames.
WALK = (6, 11, 1, 4, 12, 7, 9, 2)

FONT, POINT = "DejaVu-Sans-Mono", 13
LINE = POINT + 4
GAP = 18


# -- the screen ------------------------------------------------------------------

class Tile:
    """One picture of the sheet: what the screen showed, beside what the
    disc's bitmaps say it should show, compared outside the mask."""

    def __init__(self, heading, lines, shown, expected, mask=(), region=None, cut=lambda i: i):
        self.heading, self.lines, self.image = heading, lines, shown
        compared = shown.crop(region) if region else shown
        count, _ = differences(cut(compared), cut(expected), mask)
        self.share = count / (compared.width * compared.height)
        self.x = self.y = 0

    def name(self):
        return "%s: %s" % (self.heading, ", ".join(self.lines))

    def record(self):
        return {"heading": self.heading, "lines": self.lines, "share": self.share,
                "rect": [self.x, self.y, self.image.width, self.image.height]}


def flames(layout):
    """Each flame on the disc: its place, its name and its files' pattern."""
    return [(flame[:4], name, stem + "%02d.bmp")
            for flame, name, (_, stem) in zip(layout.flames, FLAME_NAMES, identity.FLAMES) if flame]


def whole_window(launcher, what, expected, cut=lambda i: i):
    launcher.settle()
    layout = launcher.s.layout
    shown = launcher.s.grab((0, 0) + layout.window)
    return Tile("the whole window", what, shown, expected,
                [place for place, _, _ in flames(layout)], (0, 0) + layout.size, cut)


def button_tiles(launcher, buttons):
    tiles = []
    buttons = [button for button in buttons if button in launcher.s.layout.buttons]
    for button, kind in launcher.each_picture(buttons):
        rect = launcher.s.layout.buttons[button]
        name = STEMS[button] + PICTURES[kind] + ".bmp"
        tiles.append(Tile("%s (button %d)" % (ROLES[button], button), [kind, name],
                          launcher.s.grab(rect), launcher.disc.bitmap(name),
                          launcher.mask_for(button, rect)))
        tiles[-1].button = button
    return tiles


FFMPEG = ["ffmpeg", "-v", "error", "-nostdin"]


def x11grab(s, seconds, mouse):
    """ffmpeg's input that records the launcher's window for so long."""
    ox, oy = s.screen_origin()
    return ["-f", "x11grab", "-draw_mouse", str(int(mouse)), "-framerate", str(RATE),
            "-video_size", "%dx%d" % s.layout.window, "-t", str(seconds),
            "-i", "%s+%d,%d" % (s.env["DISPLAY"], ox, oy)]


def flame_tiles(launcher):
    """Each shown frame of each flame, found in recordings of somewhat more
    than one cycle at twice the flames' own rate: on a busy machine one may
    miss a frame, so up to three are made, until each frame has been seen
    as the files say. A frame that the screen never showed so is the
    recorded one nearest to them."""
    s = launcher.s
    picture = composed(s, launcher.disc, False)
    wanted = []
    for (fx, fy, fw, fh), name, pattern in flames(s.layout):
        # As much of the ground around as the picture has.
        left, top = max(fx - AROUND, 0), max(fy - AROUND, 0)
        around = (left, top, min(fx + fw + AROUND, s.layout.size[0]) - left,
                  min(fy + fh + AROUND, s.layout.size[1]) - top)
        for n in range(1, SHOWN_FRAMES + 1):
            file = pattern % n
            expected = picture.pasted(launcher.disc.bitmap(file), fx, fy).crop(around)
            wanted.append((around, name, n, file, expected))
    seen = {around: {} for around, *_ in wanted}
    size = s.layout.window[0] * s.layout.window[1] * 3
    for _ in range(3):
        raw = s.x(FFMPEG + x11grab(s, 2.5, False) + ["-f", "rawvideo", "-pix_fmt", "rgb24", "-"])
        for i in range(0, len(raw) - size + 1, size):
            frame = Image(*s.layout.window, raw[i:i + size])
            for around, images in seen.items():
                image = frame.crop(around)
                images.setdefault(image.rgb, image)
        if all(expected.rgb in seen[around] for around, _, _, _, expected in wanted):
            break
    if not any(seen.values()):
        raise Failure("ffmpeg recorded nothing of the window")
    tiles = []
    for around, name, n, file, expected in wanted:
        shown = seen[around].get(expected.rgb) or min(
            seen[around].values(), key=lambda image: differences(image, expected, ())[0])
        tiles.append(Tile(name, ["frame %d" % n, file], shown, expected))
    return tiles


# -- the runs --------------------------------------------------------------------

class InstalledRun:
    """The launcher as `make run DISC=folder INSTALLED=1` runs it: run.sh
    writes the registry values before and takes them away after. It is
    never killed: however the run ends, run.sh is let end its launcher and
    take its values away (it does on TERM), and is waited for."""

    def __init__(self, s, folder, title):
        self.s, self.folder, self.title = s, folder, title
        # A file, not a pipe: Wine's services, which the launcher may start,
        # would hold a pipe open.
        self.log = os.path.join(s.scratch, "run.log")
        self.run = None

    def __enter__(self):
        try:
            # In a session of its own, where a terminal's Ctrl-C does not
            # reach it half-way through a write.
            with held(), open(self.log, "w") as log:
                self.run = subprocess.Popen([os.path.join(ROOT, "scripts", "run.sh"), self.folder],
                                            env=dict(self.s.env, ZEPH_RUN_INSTALLED="1"),
                                            stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                            start_new_session=True)
            windows = wait_until(lambda: self.run.poll() is not None or self.s.windows(self.title),
                                 "the launcher of make run INSTALLED=1", 30)
            if self.run.poll() is not None:
                with open(self.log) as log:
                    raise Failure("make run INSTALLED=1 ended: %s" % log.read().strip())
        except BaseException:
            self.end()
            raise
        launcher = Launcher(self.s, self.folder)
        launcher.proc, launcher.window = self.run, windows[0]
        return launcher

    def __exit__(self, kind, *exc):
        try:
            if kind is None:
                # Closed by its own key, as a user closes it.
                self.s.key("Escape")
                try:
                    self.run.wait(timeout=30)
                except subprocess.TimeoutExpired:
                    raise Failure("the launcher of make run INSTALLED=1 did not close on Escape")
        finally:
            self.end()

    def end(self):
        with held():
            if self.run is None:
                return
            if self.run.poll() is None:
                self.run.send_signal(signal.SIGTERM)
            try:
                self.run.wait(timeout=60)
            except subprocess.TimeoutExpired:
                raise Failure("make run INSTALLED=1 did not end on TERM; its registry values "
                              "may be left in %s" % self.s.prefix)


def own_run(s, folder):
    s.move(s.empty)
    return Launcher(s, folder).start(wait_picture=False)


def close(launcher):
    launcher.s.key("Escape")
    launcher.wait_closed("the launcher to close on Escape")


def step(what):
    """Says what make proof does now: it takes a while."""
    print("proof: %s" % what, flush=True)


def sheet_tiles(s, folder):
    step("the launcher as not installed, on a 24-bit display")
    launcher = own_run(s, folder)
    title = re.escape(s.x(["xdotool", "getwindowname", launcher.window]).decode().strip())
    disc = launcher.disc
    windows = [whole_window(launcher, ["not installed, 24-bit display",
                                       BACKGROUND + ", INSTALL and every button up"],
                            composed(s, disc, False))]
    flames = flame_tiles(launcher)
    buttons = button_tiles(launcher, NOT_INSTALLED)
    close(launcher)

    step("the launcher as installed, as make run INSTALLED=1 runs it")
    with InstalledRun(s, folder, title) as launcher:
        windows.append(whole_window(launcher, ["installed (make run INSTALLED=1)",
                                               BACKGROUND + ", PLAY, UNINSTALL, all up"],
                                    composed(s, disc, True)))
        buttons += button_tiles(launcher, INSTALLED_ONLY)

    step("the launcher on a 16-bit display")
    s.on_display_of_depth(16)
    launcher = own_run(s, folder)
    windows.append(whole_window(launcher, ["not installed, 16-bit display",
                                           "colours in 5, 6 and 5 bits"],
                                composed(s, disc, False), s.as_shown))
    close(launcher)
    return windows + sorted(buttons, key=lambda tile: tile.button) + flames


def own_colours(s, folder):
    """A picture of one row holding each colour of the window as the screen
    shows it now and of every picture on the disc: the preview's palette
    comes from it rather than from the recording, where the pointer's
    smoothed edges would take places of their own."""
    window = os.path.join(s.scratch, "window.ppm")
    with open(window, "wb") as f:
        f.write(s.grab((0, 0) + s.layout.window).ppm())
    bitmaps = os.path.join(folder, "bitmaps")
    pictures = sorted(os.path.join(bitmaps, name) for name in os.listdir(bitmaps)
                      if name.lower().endswith(".bmp"))
    colours = os.path.join(s.scratch, "colours.ppm")
    # A picture ImageMagick cannot read is left out, and said so on the
    # way; the others' colours are still written.
    subprocess.run(["convert", window] + pictures + ["-unique-colors", "+append", "-unique-colors",
                                                      "-depth", "8", "ppm:" + colours],
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not os.path.exists(colours):
        raise Failure("ImageMagick could not list the launcher's colours")
    return colours


def preview(s, folder, path):
    """Records the window while the pointer walks over the buttons, and
    keeps one picture for each change, for as long as it was on the
    screen, in the launcher's own colours: exactly, as long as there are no
    more than 256."""
    launcher = own_run(s, folder)
    launcher.settle()
    recording = subprocess.Popen(
        FFMPEG + x11grab(s, PREVIEW_SECONDS, True) + ["-i", own_colours(s, folder),
            "-filter_complex",
            "[1:v]palettegen=max_colors=256:reserve_transparent=0:stats_mode=full[p];"
            "[0:v]mpdecimate=hi=0:lo=0:frac=0[v];"
            "[v][p]paletteuse=dither=none:diff_mode=rectangle",
            "-fps_mode", "vfr", "-y", path], env=s.env, stdin=subprocess.DEVNULL,
        stderr=subprocess.PIPE)
    # Half a second of the window alone while ffmpeg starts; then the
    # pointer glides from button to button at the flames' pace and rests on
    # each, and leaves before the recording ends.
    time.sleep(0.5)
    legs = [centre(button, layout=s.layout) for button in WALK if button in s.layout.buttons]
    legs.append(s.empty)
    leg = (PREVIEW_SECONDS - 1) / len(legs)
    start, here = time.monotonic(), s.empty
    for n, there in enumerate(legs):
        for i in range(1, 6):
            s.move((here[0] + (there[0] - here[0]) * i // 5, here[1] + (there[1] - here[1]) * i // 5))
            time.sleep(0.067)
        here = there
        time.sleep(max(0.0, start + leg * (n + 1) - time.monotonic()))
    if recording.wait(timeout=120) != 0:
        raise Failure("ffmpeg failed: %s" % recording.stderr.read().decode())
    close(launcher)


# -- the sheet -------------------------------------------------------------------

def text_width(text, point=POINT):
    # Every character of the font is 0.602 of its size wide.
    return math.ceil(len(text) * point * 0.61)


def annotate(text):
    return text.replace("\\", "\\\\").replace("%", "%%")


def lay_out(tiles, title, summary, window):
    """Places the tiles, each run of tiles under its heading, in rows as
    wide as three whole windows, and labels them. Returns the sheet's width
    and height and ImageMagick's arguments that draw the labels."""
    width = 3 * window[0] + 4 * GAP
    args = []

    def text(x, y, line, colour="#e6e6e6", point=POINT):
        args.extend(["-fill", colour, "-pointsize", str(point),
                     "-annotate", "+%d+%d" % (x, y + point), annotate(line)])

    y = GAP
    text(GAP, y, title, point=POINT + 5)
    y += LINE + 8
    for line, colour in summary:
        text(GAP, y, line, colour)
        y += LINE
    sections = []
    for tile in tiles:
        if not sections or sections[-1][0] != tile.heading:
            sections.append((tile.heading, []))
        sections[-1][1].append(tile)
    x, row_height = width, 0
    for heading, members in sections:
        # A line under each tile's own is kept for its share of differing pixels.
        cells = [max([tile.image.width] + [text_width(line) for line in tile.lines + ["00.0 % differ"]])
                 for tile in members]
        span = sum(cells) + GAP * (len(cells) - 1)
        if x + max(span, text_width(heading)) > width - GAP:
            x, y, row_height = GAP, y + row_height + GAP, 0
        text(x, y, heading, "#ffd27a")
        for tile, cell in zip(members, cells):
            lines = tile.lines + (["%.1f %% differ" % (100 * tile.share)] if tile.share else [])
            for n, line in enumerate(lines):
                text(x, y + LINE * (n + 1), line, "#ff6b6b" if n >= len(tile.lines) else "#e6e6e6")
            top = LINE * (len(tile.lines) + 2) + 6
            tile.x, tile.y = x, y + top
            row_height = max(row_height, top + tile.image.height)
            x += cell + GAP
        x += GAP
    return width, y + row_height + GAP, args


def frames(tiles):
    """Red around a tile that differs, a thin grey line around the rest."""
    args = ["+antialias"]
    for tile in tiles:
        border, colour = (4, "#ff0000") if tile.share else (1, "#707070")
        args += ["-fill", colour, "-draw", "rectangle %d,%d %d,%d" % (
            tile.x - border, tile.y - border, tile.x + tile.image.width + border - 1,
            tile.y + tile.image.height + border - 1)]
    return args + ["-antialias"]


def draw_sheet(s, tiles, title, path):
    wrong = sum(1 for tile in tiles if tile.share)
    summary = [("Each tile is the screen of the running launcher at 1:1, compared with the disc's "
                "bitmaps; the whole windows leave out the flames, shown frame by frame below.",
                "#e6e6e6"),
               ("%d of %d tiles differ from the disc's bitmaps: framed in red." % (wrong, len(tiles)),
                "#ff6b6b") if wrong else
               ("All %d tiles show exactly what the disc's bitmaps say." % len(tiles), "#e6e6e6")]
    width, height, labels = lay_out(tiles, title, summary, s.layout.window)
    args = ["convert", "-size", "%dx%d" % (width, height), "xc:#262626"] + frames(tiles)
    for n, tile in enumerate(tiles):
        file = os.path.join(s.scratch, "tile%03d.ppm" % n)
        with open(file, "wb") as f:
            f.write(tile.image.ppm())
        args += [file, "-geometry", "+%d+%d" % (tile.x, tile.y), "-composite"]
    # The tiles' places go with the sheet, in its comment, for whoever
    # reads it by program.
    places = json.dumps([tile.record() for tile in tiles]).replace("%", "%%")
    s.x(args + ["-font", FONT] + labels + ["-set", "comment", places, "-depth", "8", path])


# -- the command -----------------------------------------------------------------

WRITTEN = os.path.join(ROOT, "tools", "written.py")


def on_own_harness(cross, layout, work):
    """work(session) on make proof's own X server and wineserver, started
    here and ended again however work ends, looking at a launcher of the
    layout."""
    try:
        step("starting an X server and Wine of its own")
        with held():
            started = subprocess.run([HARNESS, "start"], stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, start_new_session=True)
        if started.returncode != 0:
            raise Failure("its X server and wineserver did not start")
        s = Session([cross])
        try:
            s.look_at(layout)
            s.unmanaged()
            return work(s)
        finally:
            s.cleanup()
    finally:
        with held():
            subprocess.run([HARNESS, "stop"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           start_new_session=True)


def main(argv):
    if len(argv) < 3 or not argv[2].endswith((".png", ".gif")):
        print(USAGE, file=sys.stderr)
        return 2
    caller = os.environ.get("ZEPH_CALLER_DIR") or os.getcwd()
    cross = argv[0]
    folder, out = (os.path.abspath(os.path.join(caller, path)) for path in argv[1:3])
    force = len(argv) > 3 and argv[3] not in ("", "0")
    identity_file = os.path.join(caller, argv[4]) if len(argv) > 4 and argv[4] else identity.DEMO
    try:
        layout = identity.Layout(identity.load(identity_file))
    except identity.Refused as e:
        for fault in e.args[0]:
            print("proof: %s: %s" % (identity_file, fault), file=sys.stderr)
        return 1
    if os.path.isdir(out):
        print("proof: %s is a folder; OUT names the picture to write" % out, file=sys.stderr)
        return 2
    if not os.path.isfile(os.path.join(folder, "launcher.exe")):
        print("proof: there is no launcher at %s" % os.path.join(folder, "launcher.exe"),
              file=sys.stderr)
        return 1
    if not os.path.isdir(os.path.dirname(out)):
        print("proof: there is no folder %s for %s" % (os.path.dirname(out), out), file=sys.stderr)
        return 1
    # Named as the author would: from where they stand, when it lies below.
    disc = os.path.relpath(folder, caller)
    disc = folder if disc.startswith("..") else disc

    take_interrupts()
    started = time.monotonic()
    stage, placed = None, False
    try:
        try:
            with held():
                made = subprocess.run([sys.executable, WRITTEN, "stage", out],
                                      stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                      start_new_session=True)
                if made.returncode == 0:
                    stage = made.stdout.decode().strip()
            if stage is None:
                return 1
            picture = os.path.join(stage, os.path.basename(out))

            def work(s):
                if out.endswith(".gif"):
                    step("recording %d s of the launcher" % PREVIEW_SECONDS)
                    preview(s, folder, picture)
                    return []
                tiles = sheet_tiles(s, folder)
                step("drawing the sheet")
                draw_sheet(s, tiles, "make proof DISC=%s" % disc, picture)
                return tiles
            tiles = on_own_harness(cross, layout, work)
            # OUT is looked at again only now, right before it is written;
            # the placing is done whole, whatever comes meanwhile.
            with held():
                placed = subprocess.run([sys.executable, WRITTEN, "place"] + ["--force"] * force +
                                        [stage, out], stdin=subprocess.DEVNULL,
                                        start_new_session=True).returncode == 0
            if not placed:
                return 1
        finally:
            if stage:
                with held():
                    shutil.rmtree(stage, ignore_errors=True)
        what = ("%d tiles" % len(tiles)) if tiles else ("%d s moving" % PREVIEW_SECONDS)
        print("proof: %s: %s, %d KB, of the launcher of %s, made in %.0f s"
              % (out, what, os.path.getsize(out) // 1024, disc, time.monotonic() - started))
        wrong = [tile for tile in tiles if tile.share]
        if wrong:
            print("proof: %d of %d tiles differ from the disc's bitmaps (framed in red):"
                  % (len(wrong), len(tiles)))
            for tile in wrong:
                print("  %s: %.1f %% of its pixels differ" % (tile.name(), 100 * tile.share))
            return 1
        if tiles:
            print("proof: every tile shows what the disc's bitmaps say")
        return 0
    except Failure as e:
        print("proof: %s" % e, file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print("proof: stopped; %s" % ("%s is written" % out if placed else "%s is as it was" % out),
              file=sys.stderr)
        return 130


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
