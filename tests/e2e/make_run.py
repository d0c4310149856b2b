"""`make run` on a machine with a display: the launcher of the demo disc
comes up with its complete picture and the disc's icon, and closes on
request. With INSTALLED=1, a write of the registry that fails or is
interrupted takes back what was written before it, and nothing else."""

import os
import re
import shutil
import subprocess

from e2elib import APP_PATHS_KEY, ROOT, Skip, UNINSTALL_KEY, run_cases
from winedrive import EMPTY, TITLE, Failure, Launcher, wait_until


def window_icon(s, window):
    """The 32 x 32 icon the window gives the X server, as (A, R, G, B) rows,
    transparent pixels all alike."""
    out = s.x(["xprop", "-id", window, "-notype", "-f", "_NET_WM_ICON", "32c", "=$0+",
               "_NET_WM_ICON"]).decode()
    values = [int(v) for v in re.findall(r"\d+", out.split("=", 1)[1])]
    if values[:2] != [32, 32]:
        raise Failure("the window's icon is %s, not 32 x 32" % values[:2])
    return [(v >> 24 & 255, v >> 16 & 255, v >> 8 & 255, v & 255) if v >> 24 else (0, 0, 0, 0)
            for v in values[2:2 + 32 * 32]]


def disc_icon(s, size, path=None):
    """The 256-colour picture of that size in an icon file: by default the
    one the disc's art generator made."""
    path = path or os.path.join(s.build, "host", "disc-art", "zephrane.ico")
    entries = s.x(["identify", "-format", "%w %z\n", path]).decode().split("\n")
    index = entries.index("%d 8" % size)
    data = subprocess.run(["convert", "%s[%d]" % (path, index), "-depth", "8", "rgba:-"],
                          check=True, stdout=subprocess.PIPE).stdout
    pixels = [tuple(data[i:i + 4]) for i in range(0, len(data), 4)]
    return [(a, r, g, b) if a else (0, 0, 0, 0) for r, g, b, a in pixels]


def run_shows_the_launcher(s):
    s.move(EMPTY)
    launcher = Launcher(s)
    proc = subprocess.Popen([os.path.join(ROOT, "scripts", "run.sh")], env=s.env,
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    s.groups.append(proc)
    launcher.proc = proc
    launcher.find_window()
    wait_until(launcher.background_shown, "the launcher's picture")
    launcher.expect_all_up("the picture of `make run`")
    if window_icon(s, launcher.window) != disc_icon(s, 32):
        raise Failure("the window's icon is not the 32 x 32 picture of the disc's icon")
    s.key("Escape")
    launcher.wait_closed("the launcher of `make run` to close on Escape")
    if proc.wait(timeout=10) != 0:
        raise Failure("`make run` ended with %d" % proc.returncode)
    if s.windows(TITLE):
        raise Failure("a launcher window is left")


def installed_values_go_on_every_way_out(s):
    if os.path.isabs(s.wine_path):
        raise Skip("Wine is started by its full path here, which no stand-in can come before")
    # Wine itself, but the write of the second value fails, or Ctrl-C comes.
    shim = os.path.join(s.scratch, "wine")
    with open(shim, "w") as f:
        f.write('#!/bin/sh\ncase "$*" in *" add "*UninstallString*) [ "$OUT" = fail ] && exit 1\n'
                '    kill -INT 0 ;; esac\nexec "%s" "$@"\n' % shutil.which(s.wine_path))
    os.chmod(shim, 0o755)
    for way, path_before in (("interrupt", None), ("fail", None), ("fail", r"C:\Games\Mine")):
        if path_before:
            s.reg_set(APP_PATHS_KEY, "Path", path_before)
        status = subprocess.run([os.path.join(ROOT, "scripts", "run.sh")], stdin=subprocess.DEVNULL,
                                env=dict(s.env, PATH=s.scratch + ":" + os.environ["PATH"], OUT=way,
                                         ZEPH_RUN_INSTALLED="1"), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, start_new_session=True, timeout=60).returncode
        left = (s.reg_query(APP_PATHS_KEY, "Path"), s.reg_query(UNINSTALL_KEY, "UninstallString"))
        if status == 0 or left != (path_before, None):
            raise Failure("with the second write's %s (Path %s before), run.sh ended with %d and "
                          "left Path %s, UninstallString %s" % ((way, path_before, status) + left))


if __name__ == "__main__":
    run_cases([run_shows_the_launcher, installed_values_go_on_every_way_out])
