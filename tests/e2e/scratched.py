"""A scratched disc: the logo's picture opens, and the middle of it cannot be
read. The disc folder is mirrored through a small FUSE file system of the
tests' own (badblock.py) whose every read of that block fails with an I/O
error, as a drive answers for a scratch. The launcher starts from it, leaves
the logo's place to the background, draws everything else, and closes on
Escape. Where FUSE or python3-fusepy is missing, the test says why and is
skipped."""

import os
import shutil
import subprocess

from e2elib import Skip, run_cases
from winedrive import (BIG_FLAME, EMPTY, PICTURE, PLACES, SMALL_FLAME, Disc, Failure, Launcher,
                       composed, differences, wait_until)

SYSTEM_PYTHON = "/usr/bin/python3"
LOGO = "bitmaps/8b6u.bmp"


def scratched_mount(s, block):
    """The disc folder with one bad block in the logo's picture; the mount
    and the log of failed reads."""
    if not os.path.exists("/dev/fuse") or shutil.which("fusermount") is None:
        raise Skip("this machine has no FUSE, so no disc can be scratched")
    if subprocess.run([SYSTEM_PYTHON, "-c", "import fusepy"], capture_output=True).returncode:
        raise Skip("python3-fusepy is not installed, so no disc can be scratched")
    mount = os.path.join(s.scratch, "scratched")
    log = os.path.join(s.scratch, "failed-reads")
    os.mkdir(mount)
    proc = subprocess.Popen([SYSTEM_PYTHON, os.path.join(os.path.dirname(__file__), "badblock.py"),
                             s.disc, mount, LOGO, str(block), log],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, start_new_session=True)

    def unmount():
        subprocess.run(["fusermount", "-u", "-z", mount], check=False)
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    s.undo.append(unmount)
    try:
        wait_until(lambda: os.path.ismount(mount) or proc.poll() is not None, "the mount")
    except Failure:
        raise Failure("the scratched disc was not mounted")
    if proc.poll() is not None:
        raise Skip("the scratched disc could not be mounted: %s"
                   % proc.stderr.read().decode(errors="replace").strip())
    return mount, log


def the_logo_leaves_its_place_to_the_background(s):
    size = os.path.getsize(os.path.join(s.disc, LOGO))
    mount, log = scratched_mount(s, (size // 2048) // 2)
    # What the screen should show: the picture without the logo, whose place
    # shows the background under it.
    expected_disc = os.path.join(s.scratch, "expected")
    shutil.copytree(s.disc, expected_disc)
    x, y, w, h = PLACES[6]
    s.x(["convert", os.path.join(s.disc, "bitmaps", "8bg1.bmp"), "-crop", "%dx%d+%d+%d" % (w, h, x, y),
         "+repage", os.path.join(expected_disc, LOGO)])

    s.move(EMPTY)
    launcher = Launcher(s, folder=mount).start()
    if not os.path.exists(log):
        raise Failure("the launcher never read the scratched block of %s" % LOGO)
    expected = s.as_shown(composed(s, Disc(expected_disc), False))
    shown = s.as_shown(s.grab(PICTURE))
    count, where = differences(shown, expected, (BIG_FLAME, SMALL_FLAME))
    if count:
        raise Failure("%d pixels differ from the picture without the logo, the first at %s"
                      % (count, where))
    s.key("Escape")
    launcher.wait_closed("Escape to close the launcher on a scratched disc")


if __name__ == "__main__":
    run_cases([the_logo_leaves_its_place_to_the_background])
