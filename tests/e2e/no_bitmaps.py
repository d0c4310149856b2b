"""A disc folder without its bitmaps folder: the window still appears where it
belongs, paints no colour of its own, and closes on Escape."""

import os
import shutil

from e2elib import run_cases
from winedrive import EMPTY, WINDOW_SIZE, Failure, Launcher


def bare_folder(s):
    folder = os.path.join(s.scratch, "disc")
    os.makedirs(folder)
    shutil.copy2(os.path.join(s.disc, "launcher.exe"), folder)
    return folder


def window_appears_and_closes_on_escape(s):
    s.move(EMPTY)
    folder = bare_folder(s)
    before = s.grab((0, 0) + WINDOW_SIZE)
    launcher = Launcher(s, folder).start(wait_picture=False)
    geometry = s.x(["xdotool", "getwindowgeometry", launcher.window]).decode()
    ox, oy = s.screen_origin()
    if "Position: %d,%d" % (ox, oy) not in geometry or \
            "Geometry: %dx%d" % WINDOW_SIZE not in geometry:
        raise Failure("the window is not at its centred place: %s" % geometry)
    # Pointer moves and clicks over the empty window change nothing either.
    for point in ((60, 260), (300, 400), EMPTY):
        s.move(point)
    s.click()
    if not launcher.alive():
        raise Failure("the launcher ended on a click over its empty window")
    if s.grab((0, 0) + WINDOW_SIZE).rgb != before.rgb:
        raise Failure("the launcher painted something although it has no images")
    s.key("Escape")
    launcher.wait_closed("Escape to close the launcher without images")


if __name__ == "__main__":
    run_cases([window_appears_and_closes_on_escape])
