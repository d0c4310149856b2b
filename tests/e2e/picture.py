"""The launcher's whole picture, pixel for pixel: the disc's background with
the install button, or the play and uninstall buttons once the game is
installed, and every other button in its up picture, composed from the
disc's own bitmaps as the launcher composes them. Only the two flames, which
run on their own, are left out.

The display's depth comes from ZEPH_DISPLAY_DEPTH (the harness's own 24 bits
when unset). On a 16-bit display every colour is stored in 5, 6 and 5 bits,
so the screen must show exactly the picture's colours cut to those bits."""

import os

from e2elib import (APP_PATHS_KEY, BIG_FLAME, EMPTY, PLACES, SMALL_FLAME, STEMS, UNINSTALL_KEY,
                    Failure, Launcher, masked, read_ppm, run_cases)

PICTURE = (0, 0, 640, 452)


def composed(s, disc, installed):
    """The picture the launcher should draw, from its files."""
    args = ["convert", os.path.join(disc.folder, "bitmaps", "8bg1.bmp")]
    for button in ([8, 10] if installed else [1]) + [2, 9, 4, 6, 7, 11, 12]:
        x, y, _, _ = PLACES[button]
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
