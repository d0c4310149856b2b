"""The 32-bit launcher on 64-bit Windows reads the registry as every 32-bit
program there does, through the 32-bit view: a game that a 32-bit setup
registered is found, while the same entries written only to the 64-bit view
are not. (This only means something in a 64-bit prefix.)"""

from e2elib import APP_PATHS_KEY, UNINSTALL_KEY, run_cases
from winedrive import EMPTY, Failure, Launcher

GAME = r"C:\Games\Zorvex"
COMMAND = r'"C:\Games\Zorvex\unins000.exe" /S'


def reg_add(s, view, key, value, data):
    s.wine([s.reg, "add", key, "/v", value, "/t", "REG_SZ", "/d", data, "/f", "/reg:%d" % view])


def installed_shown(s):
    """Starts the launcher and tells which buttons its first picture offers."""
    s.move(EMPTY)
    launcher = Launcher(s).start()
    shown = {1: launcher.shows(1), 8: launcher.shows(8), 10: launcher.shows(10)}
    s.key("Escape")
    launcher.wait_closed("Escape to close the launcher")
    if shown == {1: None, 8: "up", 10: "up"}:
        return True
    if shown[1] == "up" and shown[10] is None:
        return False
    raise Failure("the install place shows %s" % shown)


def the_32_bit_view(s):
    if not s.wow64:
        raise Failure("run this in a 64-bit prefix with the 32-bit launcher (ZEPH_WOW64=1)")
    # Only in the 64-bit view: a 64-bit program's installation.
    reg_add(s, 64, APP_PATHS_KEY, "Path", GAME)
    reg_add(s, 64, UNINSTALL_KEY, "UninstallString", COMMAND)
    for key in (APP_PATHS_KEY, UNINSTALL_KEY):
        s.undo.append(lambda key=key: s.wine([s.reg, "delete", key, "/f", "/reg:64"], check=False))
    if installed_shown(s):
        raise Failure("entries of the 64-bit view alone made the launcher offer play")

    # In the 32-bit view, as a 32-bit setup writes them.
    reg_add(s, 32, APP_PATHS_KEY, "Path", GAME)
    reg_add(s, 32, UNINSTALL_KEY, "UninstallString", COMMAND)
    if not installed_shown(s):
        raise Failure("entries of the 32-bit view did not make the launcher offer play")


if __name__ == "__main__":
    run_cases([the_32_bit_view])
