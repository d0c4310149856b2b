"""`make proof` as an author runs it, from a folder of their own with paths
relative to it.

The sheet of a copy of the demo disc whose EXIT focus picture is stored top
row first: image tools read it, the launcher refuses it (so the screen keeps
the up picture there), and exactly that tile must be framed and listed, with
its share of differing pixels, while every other tile is as the disc's
bitmaps say. The sheet shows the screen at 1:1 where its comment says, and
nothing but OUT and the list of what make wrote is written beside the disc.

The moving preview of the demo disc: under 2 MB for its six seconds, every
picture in the launcher's own colours, and the flames' frames in their order
at their own rhythm of about 15 a second. An author's file put in OUT's
place while it is made is refused, and kept; FORCE=1 writes over it.

make proof stopped by Ctrl-C at each of its steps, while this test's own
launcher runs on the test's X server and wineserver: each run leaves no
registry value, no X server or wineserver of its own and nothing beside the
disc, and the test's launcher runs on, untouched."""

import json
import os
import shutil
import signal
import struct
import subprocess

from e2elib import ROOT, run_cases
from winedrive import (EMPTY, SMALL_FLAME, TITLE, WINDOW_SIZE, Disc, Failure, Image, Launcher,
                       read_ppm, wait_until)
from own_disc import make


def top_down(path):
    """Stores a bitmap's rows top row first, as a negative height says."""
    with open(path, "rb") as f:
        data = bytearray(f.read())
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    bits, = struct.unpack_from("<H", data, 28)
    stride = (width * bits + 31) // 32 * 4
    rows = [data[offset + r * stride:offset + (r + 1) * stride] for r in range(height)]
    data[offset:offset + height * stride] = b"".join(reversed(rows))
    struct.pack_into("<i", data, 22, -height)
    with open(path, "wb") as f:
        f.write(data)


def proof_home(s):
    """Where make proof keeps its prefix and its servers' ids (scripts/proof.sh)."""
    return s.env.get("ZEPH_PROOF") or os.path.join(s.build, "proof")


def left_behind(s):
    """What make proof's own prefix still holds of what it wrote to the
    registry, as the registry's files hold it once its server has ended."""
    prefix = os.path.join(proof_home(s), "wineprefix-" + s.env["ZEPH_WINE_ARCH"])
    found = []
    for name, mark in (("system.reg", "\\App Paths\\zorvex.exe]"),
                       ("system.reg", "\\Uninstall\\Zephrane Demo]"), ("user.reg", '"Managed"="N"')):
        with open(os.path.join(prefix, name), encoding="utf-8", errors="replace") as f:
            found += [line.strip() for line in f if mark in line]
    return found


def sheet_with_one_refused_picture(s):
    home = os.path.join(s.scratch, "author")
    shutil.copytree(s.disc, os.path.join(home, "disc"))
    top_down(os.path.join(home, "disc", "bitmaps", "8bexitf.bmp"))
    sheet = os.path.join(home, "sheet.png")
    output = make(s, home, "proof", "DISC=disc", "OUT=sheet.png", status=2)
    listed = [line for line in output.splitlines() if line.startswith("  ")]
    bitmaps = Disc(s.disc)
    up, focus = bitmaps.bitmap("8bexitu.bmp"), bitmaps.bitmap("8bexitf.bmp")
    differing = sum(up.rgb[i:i + 3] != focus.rgb[i:i + 3] for i in range(0, len(up.rgb), 3))
    expected = "  EXIT (button 9): focus, 8bexitf.bmp: %.1f %% of its pixels differ" % (
        100.0 * differing / (up.width * up.height))
    if "1 of 65 tiles differ" not in output or listed != [expected]:
        raise Failure("make proof did not list the EXIT focus tile alone, as %r:\n%s"
                      % (expected, output))
    if sorted(os.listdir(home)) != [".written-by-make.json", "disc", "sheet.png"]:
        raise Failure("make proof wrote beside the disc: %s" % sorted(os.listdir(home)))
    if left_behind(s):
        raise Failure("make proof left in the registry: %s" % left_behind(s))

    tiles = json.loads(s.x(["identify", "-format", "%c", sheet]))
    image = read_ppm(s.x(["convert", sheet, "-depth", "8", "ppm:-"]))
    for tile in tiles:
        x, y, w, h = tile["rect"]
        framed = {image.pixel(x - 2, y + h // 2), image.pixel(x + w // 2, y + h + 1)} == {(255, 0, 0)}
        if framed != (tile["lines"][-1] == "8bexitf.bmp"):
            raise Failure("the tile %s is %sframed in red" % (tile, "" if framed else "not "))
    # The refused picture's tile shows what the screen kept: the up picture.
    shown = {tile["lines"][0]: image.crop(tile["rect"]) for tile in tiles
             if tile["heading"] == "EXIT (button 9)"}
    for kind, name in (("up", "8bexitu.bmp"), ("focus", "8bexitu.bmp"), ("down", "8bexitd.bmp")):
        if shown[kind].rgb != bitmaps.bitmap(name).rgb:
            raise Failure("the sheet's EXIT %s tile is not %s at 1:1" % (kind, name))


class Running:
    """make ARGS run from the folder home as from a terminal, in a process
    group of its own that a Ctrl-C reaches whole."""

    def __init__(self, s, home, *args):
        self.run = subprocess.Popen(["make", "-s", "-C", ROOT] + list(args), cwd=home,
                                    env=dict(s.env, PWD=home, ZEPH_BUILD=s.build),
                                    stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                    stderr=subprocess.STDOUT, start_new_session=True)
        self.output = ""

    def said(self, text):
        """Reads what it says up to a line that holds text."""
        for line in self.run.stdout:
            self.output += line.decode(errors="replace")
            if text.encode() in line:
                return
        raise Failure("make proof ended before it said %r:\n%s" % (text, self.output))

    def end(self):
        self.output += self.run.stdout.read().decode(errors="replace")
        self.run.wait(timeout=120)
        return self.output


def preview_at_the_flames_rhythm(s):
    home = os.path.join(s.scratch, "web")
    os.makedirs(home)
    gif = os.path.join(home, "preview.gif")
    args = ["proof", "DISC=" + os.path.relpath(s.disc, home), "OUT=preview.gif"]
    running = Running(s, home, *args)
    running.said("recording")
    with open(gif, "wb") as f:
        f.write(b"the author's own")
    output = running.end()
    with open(gif, "rb") as f:
        if f.read() != b"the author's own" or "FORCE=1 writes over it" not in output:
            raise Failure("an author's file put in OUT's place was not refused:\n%s" % output)
    make(s, home, *args, "FORCE=1")
    if os.path.getsize(gif) >= 2 << 20:
        raise Failure("the preview takes %d bytes, 2 MB or more" % os.path.getsize(gif))
    delays = [int(v) for v in s.x(["identify", "-format", "%T\n", gif]).split()]
    raw = s.x(["convert", gif, "-coalesce", "-depth", "8", "rgb:-"])
    size = WINDOW_SIZE[0] * WINDOW_SIZE[1] * 3
    pictures = [Image(WINDOW_SIZE[0], WINDOW_SIZE[1], raw[i:i + size])
                for i in range(0, len(raw), size)]
    if len(pictures) != len(delays) or not 5 <= sum(delays) / 100 <= 7:
        raise Failure("the preview has %d pictures and %d delays, of %.2f s"
                      % (len(pictures), len(delays), sum(delays) / 100))
    frames = {Disc(s.disc).bitmap("fire2_%02d.bmp" % n).rgb: n for n in range(1, 17)}
    runs = []
    for number, (picture, delay) in enumerate(zip(pictures, delays)):
        frame = frames.get(picture.crop(SMALL_FLAME).rgb)
        if frame is None:
            raise Failure("picture %d of the preview shows the small flame in no shown frame's "
                          "own colours" % number)
        if runs and runs[-1][0] == frame:
            runs[-1][1] += delay
        else:
            runs.append([frame, delay])
    # The launcher skips no frame, but a recording on a busy machine may miss
    # one now and then; the first and the last are cut by the recording.
    skipped = [(a[0], b[0]) for a, b in zip(runs, runs[1:]) if b[0] != a[0] % 16 + 1]
    pace = 10.0 * sum(delay for _, delay in runs[1:-1]) / (len(runs) - 2)
    if len(skipped) > len(runs) // 20 or not 55 <= pace <= 100:
        raise Failure("the preview's small flame shows %d frames, each for %.0f ms, not the "
                      "launcher's 67 or so, and skips from one to another %s"
                      % (len(runs), pace, skipped))


def stopped_at_each_step(s):
    home = os.path.join(s.scratch, "stopped")
    shutil.copytree(s.disc, os.path.join(home, "disc"))
    s.move(EMPTY)
    ours = Launcher(s).start()
    proof_display = os.path.join(proof_home(s), "harness", "display")
    for step, wait_for_window in (("starting", False), ("not installed", False), ("as installed", False),
                                  ("as installed", True), ("16-bit", False), ("drawing", False)):
        running = Running(s, home, "proof", "DISC=disc", "OUT=sheet.png")
        running.said(step)
        if wait_for_window:
            with open(proof_display) as f:
                on_proofs = dict(s.env, DISPLAY=f.read().strip())
            wait_until(lambda: subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                                               "^%s$" % TITLE], env=on_proofs,
                                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout,
                       "the installed launcher's window", 60)
        os.killpg(running.run.pid, signal.SIGINT)
        output = running.end()
        where = "Ctrl-C at %r%s" % (step, ", its window shown" if wait_for_window else "")
        if running.run.returncode == 0 or "proof: stopped" not in output:
            raise Failure("%s: make proof did not stop:\n%s" % (where, output))
        left = os.listdir(home) + left_behind(s) + [proof_display] * os.path.exists(proof_display)
        if left != ["disc"] or not ours.alive() or not ours.background_shown():
            raise Failure("%s: make proof left %s; the test's launcher %s"
                          % (where, left, "runs on" if ours.alive() else "ended"))


if __name__ == "__main__":
    run_cases([sheet_with_one_refused_picture, preview_at_the_flames_rhythm, stopped_at_each_step])
