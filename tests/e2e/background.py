"""The game gets installed while another program is in front: when the
launcher is activated again it knows at once (pointing at the install place
lights the play button), while the screen keeps the install picture until
something makes the launcher paint."""

from e2elib import APP_PATHS_KEY, UNINSTALL_KEY, run_cases
from winedrive import EMPTY, PLACES, TITLE, Failure, Launcher, wait_until


def state(s, title):
    return s.wine([s.wintool, "state", title], check=False).strip()


def installed_while_in_background(s):
    s.move(EMPTY)
    launcher = Launcher(s).start()
    launcher.expect(1, "up", "not installed at start-up")
    wait_until(lambda: "foreground=1" in state(s, TITLE), "the launcher in the foreground")

    # Another program's window comes to the front, clear of the launcher.
    s.start([s.wintool, "cover", "0", "0", "120", "120"])
    wait_until(lambda: "foreground=1" in state(s, "e2e cover"), "the other window in front")
    s.reg_set(APP_PATHS_KEY, "Path", r"C:\windows")
    s.reg_set(UNINSTALL_KEY, "UninstallString", r"C:\windows\notepad.exe")

    # A click on empty ground activates the launcher; nothing covered it, so
    # nothing is repainted.
    s.move(EMPTY)
    s.click()
    wait_until(lambda: "foreground=1" in state(s, TITLE), "the launcher activated by the click")
    launcher.settle()
    launcher.expect(1, "up", "the install picture after activation", timeout=0)
    if not launcher.background_region(PLACES[10]):
        raise Failure("the uninstall button appeared without a paint")

    # The hit test already follows the registry: the play button lights up.
    s.move((60, 260))
    launcher.expect(8, "focus", "the pointer on the install place after the game was installed")
    s.move(EMPTY)
    launcher.expect(8, "up", "play left for empty ground")
    s.move((60, 400))
    launcher.expect(10, "focus", "the pointer on the uninstall place")
    s.move(EMPTY)
    launcher.expect(10, "up", "uninstall left for empty ground")
    if not launcher.alive():
        raise Failure("the launcher ended")


def paint_after_install_shows_play(s):
    s.move(EMPTY)
    launcher = Launcher(s).start()
    cover = s.start([s.wintool, "cover", "0", "0", "120", "120"])
    wait_until(lambda: "foreground=1" in state(s, "e2e cover"), "the other window in front")
    s.reg_set(APP_PATHS_KEY, "Path", r"C:\windows")
    s.reg_set(UNINSTALL_KEY, "UninstallString", r"C:\windows\notepad.exe")
    s.click()
    wait_until(lambda: "foreground=1" in state(s, TITLE), "the launcher activated by the click")
    cover.kill()
    cover.wait()
    launcher.settle()
    launcher.expect(1, "up", "the install picture after activation", timeout=0)
    # Minimised and restored, as a taskbar would do it (here the second copy
    # does the restoring): the launcher paints its whole picture, now the
    # installed one.
    s.wine([s.wintool, "minimize", TITLE])
    second = s.start(["launcher.exe"], cwd=launcher.folder)
    second.wait(timeout=20)
    wait_until(lambda: "iconic=0" in state(s, TITLE), "the launcher restored")
    launcher.expect(8, "up", "the repaint after the launcher was restored")
    launcher.expect(10, "up", "the repaint after the launcher was restored")


if __name__ == "__main__":
    run_cases([installed_while_in_background, paint_after_install_shows_play])
