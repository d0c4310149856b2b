"""The launcher's whole picture, pixel for pixel: the disc's background with
the install button, or the play and uninstall buttons once the game is
installed, and every other button in its up picture, composed from the
disc's own bitmaps as the launcher composes them. Only the two flames, which
run on their own, are left out.

The display's depth comes from ZEPH_DISPLAY_DEPTH (the harness's own 24 bits
when unset). On a 16-bit display every colour is stored in 5, 6 and 5 bits,
so the screen must show exactly the picture's colours cut to those bits."""

import os

from e2elib import APP_PATHS_KEY, UNINSTALL_KEY, run_cases
from winedrive import (BIG_FLAME, EMPTY, PICTURE, SMALL_FLAME, Failure, Launcher, composed,
                       differences)


def check(s, launcher, installed):
    expected = s.as_shown(composed(s, launcher.disc, installed))
    shown = s.as_shown(s.grab(PICTURE))
    count, where = differences(shown, expected, (BIG_FLAME, SMALL_FLAME))
    if count:
        x, y = where
        raise Failure("%d pixels of the %s picture differ, the first at (%d, %d): %s on the "
                      "screen, %s in the disc's bitmaps"
                      % (count, "installed" if installed else "first", x, y,
                         shown.pixel(x, y), expected.pixel(x, y)))


def whole_picture(s):
    depth = int(os.environ.get("ZEPH_DISPLAY_DEPTH", "24"))
    if depth != 24:
        s.on_display_of_depth(depth)
    s.move(EMPTY)
    launcher = Launcher(s).start()
    check(s, launcher, False)
    s.key("Escape")
    launcher.wait_closed("Escape to close the launcher")

    s.reg_set(APP_PATHS_KEY, "Path", r"C:\windows")
    s.reg_set(UNINSTALL_KEY, "UninstallString", r"C:\windows\notepad.exe")
    launcher = Launcher(s).start()
    check(s, launcher, True)
    print("  the %d-bit display shows both pictures as composed from the disc's bitmaps"
          % depth)


if __name__ == "__main__":
    run_cases([whole_picture])
