"""The disc's programs and the libraries beside them. Windows takes a library
that a program imports from the program's own folder first, unless it is one
of the system's known ones; Wine does so for a library it is told to take
natively. With a stranger's winmm.dll in a copy of the disc, and Wine told
so, a program that imports winmm the ordinary way loads it: the control, which
shows that the planted library would be found. The launcher, running its
flames, and setup, installing the game, do not.

Libraries loaded by name later on are searched for in the same way: under
Wine, the one the system loads for a program's first window, uxtheme.dll (the
shell and COM load nothing more by name when READ ME or a web link runs).
Planted beside the control, which makes a window, it is loaded; the launcher,
which takes its own folder and the current directory out of that search
first thing, loads the system's.

And where winmm cannot be loaded at all, the launcher still draws its picture
and runs its flames, on the coarser clock of the system."""

import os
import shutil
import time

from e2elib import run_cases
from winedrive import Failure, Launcher, wait_until

SETUP_CAPTION = "Zephrane Demo Setup"


class Overrides:
    """Wine's library settings for the programs a case starts."""

    def __init__(self, s, setting):
        self.s, self.setting = s, setting

    def __enter__(self):
        self.before = self.s.env["WINEDLLOVERRIDES"]
        self.s.env["WINEDLLOVERRIDES"] = self.before + ";" + self.setting
        return self

    def __exit__(self, *exc):
        self.s.env["WINEDLLOVERRIDES"] = self.before


def run_to_end(s, folder, program):
    proc = s.start([program], cwd=folder)
    return proc.wait(timeout=30)


def loaded_by(log):
    """The file names of the programs that loaded the planted library."""
    try:
        with open(log, encoding="latin-1") as f:
            return [os.path.basename(line.strip().replace("\\", "/")).lower()
                    for line in f if line.strip()]
    except FileNotFoundError:
        return []


def loaded_by_the_control_alone(s, disc, log, library, control_does, programs):
    """Runs the control, then the programs, with Wine told to take the planted
    library natively: the control shows that it would be found, and only the
    control may have loaded it."""
    if os.path.exists(log):
        os.remove(log)
    with Overrides(s, library + "=n,b"):
        if run_to_end(s, disc, "ordinary_winmm.exe") != 0:
            raise Failure("the control program, which %s, did not run" % control_does)
        if loaded_by(log) != ["ordinary_winmm.exe"]:
            raise Failure("the control did not load the planted %s.dll (loaded by: %s): the "
                          "test could not tell" % (library, loaded_by(log)))
        programs()
    if loaded_by(log) != ["ordinary_winmm.exe"]:
        raise Failure("the planted %s.dll was loaded by %s" % (library, loaded_by(log)[1:]))


def planted_library_is_not_loaded(s):
    disc = os.path.join(s.scratch, "disc")
    shutil.copytree(s.disc, disc)
    tests = os.path.join(s.cross, "tests", "e2e")
    # The same stranger's library under both names: it records who loads it.
    for folder in (disc, os.path.join(disc, "game")):
        for name in ("winmm.dll", "uxtheme.dll"):
            shutil.copy(os.path.join(tests, "winmm.dll"), os.path.join(folder, name))
    shutil.copy(os.path.join(tests, "ordinary_winmm.exe"), disc)
    log = os.path.join(s.scratch, "planted.log")
    s.env["ZEPH_PLANTED_LOG"] = s.unix_to_windows(log)
    installed = s.windows_to_unix(s.program_files + r"\Zephrane Demo")
    if not os.path.exists(installed):
        s.undo.append(lambda: shutil.rmtree(installed, ignore_errors=True))

    def launcher_window():
        launcher = Launcher(s, folder=disc).start()
        launcher.settle()
        s.key("Escape")
        launcher.wait_closed("the launcher to close on Escape")
    loaded_by_the_control_alone(s, disc, log, "uxtheme", "makes a window", launcher_window)

    def flames_and_setup():
        launcher = Launcher(s, folder=disc).start()
        # Some seconds of flames: every tick reads the clock.
        until = time.monotonic() + 3
        while time.monotonic() < until:
            launcher.settle()
        s.key("Escape")
        launcher.wait_closed("the launcher to close on Escape")
        s.start(["setup.exe"], cwd=disc)
        wait_until(lambda: s.windows(SETUP_CAPTION), "setup's closing box", timeout=30)
    loaded_by_the_control_alone(s, disc, log, "winmm", "imports winmm", flames_and_setup)


def flames_run_without_winmm(s):
    with Overrides(s, "winmm=d"):
        folder = os.path.join(s.cross, "tests", "e2e")
        if run_to_end(s, folder, "ordinary_winmm.exe") == 0:
            raise Failure("a program that imports winmm started with winmm switched off: "
                          "the test could not tell")
        launcher = Launcher(s).start()
        for _ in range(3):
            launcher.settle()
        if not launcher.alive():
            raise Failure("the launcher ended without winmm")


if __name__ == "__main__":
    run_cases([planted_library_is_not_loaded, flames_run_without_winmm])
