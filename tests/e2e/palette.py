"""On an 8-bit display, a palette device, the launcher realises its palette
as the foreground application: the colour map of its window holds the
background's colours.

What the screen shows there is not checked: Wine draws device-independent
bitmaps on an 8-bit X display through its 20 static colours only, whatever
palette is realised (measured with a plain test program as well), so the
colours in the colour map are as far as the launcher's part can be seen."""

import struct

from e2elib import run_cases
from winedrive import EMPTY, Disc, Failure, Launcher, wait_until


def colour_map(s, window):
    """The colours of the X colour map that the window's pixels go through,
    from the window's dump."""
    dump = s.x(["xwd", "-id", window, "-silent"])
    header = struct.unpack(">25I", dump[:100])
    size, depth, count = header[0], header[3], header[19]
    if depth != 8:
        raise Failure("the display is %d bits deep, not 8" % depth)
    colours = set()
    for n in range(count):
        _, r, g, b = struct.unpack(">IHHH", dump[size + 12 * n:size + 12 * n + 10])
        colours.add((r >> 8, g >> 8, b >> 8))
    return colours


def background_colours_realised(s):
    s.on_display_of_depth(8)
    background = Disc(s.disc).bitmap("8bg1.bmp")
    wanted = {tuple(background.rgb[i:i + 3]) for i in range(0, len(background.rgb), 3)}

    # Another program's window first: what the colour map holds when no
    # palette has been realised.
    s.move(EMPTY)
    other, window = s.start_shown([s.wintool, "cover", "0", "0", "100", "100"],
                                  "a plain window on the 8-bit display", "e2e cover")
    before = len(wanted & colour_map(s, window))
    other.kill()
    other.wait()

    launcher = Launcher(s).start(wait_picture=False)

    # The shared map has room for fewer colours than a 256-entry palette
    # brings, so not every one finds a cell; most must.
    def realised():
        found = len(wanted & colour_map(s, launcher.window))
        return found if found >= len(wanted) // 2 else 0
    after = wait_until(realised, "the background's colours in the launcher's colour map "
                       "(%d of %d before it started)" % (before, len(wanted)))
    if before >= len(wanted) // 2:
        raise Failure("the colour map held %d of the %d background colours before the launcher "
                      "started; the check shows nothing" % (before, len(wanted)))
    print("  %d of the background's %d colours in the colour map (%d before)"
          % (after, len(wanted), before))
    s.key("Escape")
    launcher.wait_closed("Escape to close the launcher on the 8-bit display")


if __name__ == "__main__":
    run_cases([background_colours_realised])
