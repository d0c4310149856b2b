"""The whole demo on the demo disc, as a person goes through it: install
starts the disc's setup and the launcher closes; the next launcher offers
play and uninstall; read-me opens WordPad (the probe in its place) on the
right file, twice; a web link reaches the browser (the probe) and the
launcher stays; play starts the installed game in its folder and the launcher
closes; uninstall runs the stored command, which takes the game away.

And read-me as on every Windows since Windows 2000, with no WordPad at the
place the launcher names: the disc's read-me appears in a window of its own,
Notepad's, as the test prefix has no other program for text files.

With ZEPH_CODEPAGE (932, 936 or 950), both on a Windows of Japan or China:
the disc in a folder, and Program Files in one, each named so that the
second byte of its last letter is a backslash's."""

import os
import shutil
import signal
import subprocess
import time

from e2elib import APP_PATHS_KEY, UNINSTALL_KEY, WORDPAD, run_cases
from winedrive import EMPTY, Failure, Launcher, wait_until

SETUP_CAPTION = "Zephrane Demo Setup"
UNINSTALL_CAPTION = "Zephrane Demo Uninstall"
GAME_TITLE = "Zephrane Demo"
# The host locale that gives Wine each code page, and a folder name whose
# last letter ends in 0x5C there.
CODE_PAGES = {"932": ("ja_JP.UTF-8", "\u4f53\u9a13\u7248\u767a\u8868"),
              "936": ("zh_CN.UTF-8", "\u6f14\u793a\u76d8\u904b"),
              "950": ("zh_TW.UTF-8", "\u793a\u7bc4\u8a31")}
INSTALL_PLACE = (60, 260)
UNINSTALL_PLACE = (60, 400)
README_PLACE = (60, 330)


def click_on(s, launcher, button, point):
    s.move(point)
    launcher.expect(button, "focus", "the pointer on button %d" % button)
    s.click()


def point_at(s, window):
    """The pointer over a window of another program; keys go where it is."""
    geometry = s.x(["xdotool", "getwindowgeometry", window]).decode().split()
    x, y = (int(v) for v in geometry[geometry.index("Position:") + 1].split(","))
    w, h = (int(v) for v in geometry[geometry.index("Geometry:") + 1].split("x"))
    s.x(["xdotool", "mousemove", str(x + w // 2), str(y + h // 3)])


def dismiss(s, caption):
    """Closes a program's message box the way a person does: the pointer
    over it and Return for its OK button."""
    box = wait_until(lambda: s.windows(caption), "the box \"%s\"" % caption, timeout=20)[0]
    point_at(s, box)
    s.key("Return")
    wait_until(lambda: box not in s.windows(caption), "the box \"%s\" to close" % caption)


def wordpad_record(s, count, what):
    record = s.wait_records(count, what)[count - 1]
    if record["module"].upper() != WORDPAD.upper():
        raise Failure("%s started %s, not WordPad" % (what, record["module"]))
    return record


def play(s, launcher, folder):
    """Play: the game of the Unix folder runs and the launcher closes;
    Escape ends the game."""
    s.move(EMPTY)
    click_on(s, launcher, 8, INSTALL_PLACE)
    launcher.wait_closed("the launcher to close after play")
    game = wait_until(lambda: s.windows(GAME_TITLE), "the game's window", timeout=20)[0]
    pid = s.x(["xdotool", "getwindowpid", game]).decode().strip()
    # The file the game's process has mapped is the one that was started.
    with open("/proc/%s/maps" % pid) as f:
        mapped = {line.split(None, 5)[5].strip() for line in f if "zorvex" in line.lower()}
    if os.path.join(folder, "zorvex.exe") not in mapped:
        raise Failure("the game that runs is %s, not the installed one" % sorted(mapped))
    point_at(s, game)
    s.key("Escape")
    # Its program file is in use until the process has gone, window and all.
    wait_until(lambda: not os.path.exists("/proc/%s" % pid), "the game to end on Escape")


def uninstall(s, launcher, folder):
    """Uninstall: the stored command takes both registry values and the
    game's Unix folder away, and the launcher closes."""
    s.move(EMPTY)
    click_on(s, launcher, 10, UNINSTALL_PLACE)
    launcher.wait_closed("the launcher to close after uninstall")
    dismiss(s, UNINSTALL_CAPTION)
    wait_until(lambda: s.reg_query(APP_PATHS_KEY, "Path") is None and
               s.reg_query(UNINSTALL_KEY, "UninstallString") is None,
               "the uninstaller to remove both registry values")
    wait_until(lambda: not os.path.exists(folder), "the game's folder to go")


def whole_demo(s, disc_folder=None, program_files=None, encoding="cp1252"):
    """The disc folder (the built one unless given) and Program Files (the
    prefix's unless given) are named in Wine's ANSI code page, encoding."""
    disc_folder = disc_folder or s.disc
    game_folder = (program_files or s.program_files) + r"\Zephrane Demo"
    folder = s.windows_to_unix(game_folder)
    s.undo.append(lambda: shutil.rmtree(folder, ignore_errors=True))
    disc = s.unix_to_windows(disc_folder)

    # Not installed: install runs the disc's setup and the launcher closes.
    s.move(EMPTY)
    launcher = Launcher(s, disc_folder).start()
    click_on(s, launcher, 1, INSTALL_PLACE)
    launcher.wait_closed("the launcher to close after install")
    dismiss(s, SETUP_CAPTION)
    path = s.reg_query(APP_PATHS_KEY, "Path")
    command = s.reg_query(UNINSTALL_KEY, "UninstallString")
    # reg.exe writes in the console's code page, the ANSI one here, which
    # the session reads as UTF-8.
    if path != game_folder.encode(encoding).decode("utf-8", "replace") or not command:
        raise Failure("after setup the registry holds Path %r and UninstallString %r"
                      % (path, command))

    # Installed: play and uninstall on offer.
    launcher = Launcher(s, disc_folder).start()
    launcher.expect(8, "up", "the next launcher after setup")
    launcher.expect(10, "up", "the next launcher after setup")

    # Read-me twice: first the disc's read-me, then, the launcher having
    # moved into the game's folder, the game's own copy. WordPad runs there.
    click_on(s, launcher, 4, README_PLACE)
    first = wordpad_record(s, 1, "the first read-me")
    s.move(EMPTY)
    click_on(s, launcher, 4, (README_PLACE[0] + 20, README_PLACE[1]))
    second = wordpad_record(s, 2, "the second read-me")
    for record, expected in ((first, disc + r"\readme.txt"), (second, game_folder + r"\readme.txt")):
        cmdline = '"%s" "%s"' % (WORDPAD, expected)
        # The probe writes what it was given, the ANSI code page's bytes.
        got, cwd = (record[k].encode("latin-1").decode(encoding) for k in ("cmdline", "cwd"))
        if got != cmdline:
            raise Failure("WordPad got %s, expected %s" % (got, cmdline))
        if cwd.rstrip("\\") != game_folder:
            raise Failure("WordPad ran in %s, not in the game's folder" % cwd)

    # A web link reaches the browser; the launcher stays.
    s.move(EMPTY)
    click_on(s, launcher, 7, (440, 400))
    link = s.wait_records(3, "the publisher's web site")[2]
    if "http://" not in link["cmdline"]:
        raise Failure("the browser got %s" % link["cmdline"])
    launcher.settle()
    if not launcher.alive():
        raise Failure("read-me or a web link closed the launcher")

    # Play: the installed game runs (the disc's root holds no zorvex.exe, so
    # only the game's folder can have supplied it) and the launcher closes.
    play(s, launcher, folder)

    # Uninstall runs the stored command; the launcher closes.
    uninstall(s, Launcher(s, disc_folder).start(), folder)

    # And the demo can be installed again.
    launcher = Launcher(s, disc_folder).start()
    launcher.expect(1, "up", "the launcher after uninstall")
    if len(s.probe_records()) != 3:
        raise Failure("the probe saw %d starts, expected 3" % len(s.probe_records()))


def readme_without_wordpad(s, folder=None, wanted=None, text_entry=False):
    """READ ME with no WordPad at the place the launcher names: the read-me
    of the launcher's folder appears in a window of its own, the Windows
    folder's Notepad's, and the launcher stays. The folder (the disc folder
    unless given) is the Unix folder the launcher starts in, wanted the
    read-me's path as Windows names it. Unless text_entry says the case has
    made one, the prefix has no entry for text files."""
    folder = folder or s.disc
    wanted = wanted or s.unix_to_windows(folder) + r"\readme.txt"
    wordpad = s.windows_to_unix(WORDPAD)
    away = wordpad + ".away"
    os.rename(wordpad, away)
    shown = []
    try:
        if not text_entry and "HKEY_CLASSES_ROOT" in s.wine([s.reg, "query", r"HKCR\.txt"],
                                                           check=False):
            raise Failure("the test prefix has a program for text files")
        s.move(EMPTY)
        launcher = Launcher(s, folder=folder).start()
        click_on(s, launcher, 4, README_PLACE)

        def readme_window():
            found = s.x(["xdotool", "search", "--onlyvisible", "--name", "readme"], check=False)
            shown[:] = found.decode().split()
            return shown
        wait_until(readme_window, "a window showing the read-me", timeout=20)
        pid = int(s.x(["xdotool", "getwindowpid", shown[0]]).decode())
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            cmdline = f.read().replace(b"\0", b" ").decode(errors="replace")
        if wanted.lower() not in cmdline.lower():
            raise Failure("the window shows %s, not %s" % (cmdline, wanted))
        if "\\windows\\notepad.exe" not in cmdline.lower():
            raise Failure("the read-me is shown by %s, not the Windows folder's Notepad" % cmdline)
        # Notepad's window lies over the flames, which settle() watches; a
        # close request would end the launcher within its next idle moment.
        time.sleep(1)
        if not launcher.alive() or not s.windows(pid=launcher.proc.pid):
            raise Failure("read-me closed the launcher")
        if s.probe_records():
            raise Failure("something in place of WordPad was started: %s" % s.probe_records())
        return launcher
    finally:
        for window in shown:
            try:
                os.kill(int(s.x(["xdotool", "getwindowpid", window]).decode()), signal.SIGKILL)
            except (Failure, ValueError, OSError):
                pass
        os.rename(away, wordpad)


foreign = {}


def in_code_page(s):
    """Wine from now on in the code page ZEPH_CODEPAGE names: the disc copied
    into a folder named in it, and Program Files moved into one. Made on
    first use."""
    if foreign:
        return foreign
    codepage = os.environ["ZEPH_CODEPAGE"]
    locale, name = CODE_PAGES[codepage]
    available = subprocess.run(["locale", "-a"], stdout=subprocess.PIPE, check=True).stdout
    if locale.replace("UTF-8", "utf8").encode() not in available.split():
        raise Failure("the host has no locale %s, which scripts/setup.sh generates" % locale)
    s.env.update(LANG=locale, LC_ALL=locale)
    disc = os.path.join(s.scratch, name)
    shutil.copytree(s.disc, disc, symlinks=True)
    key = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion"
    before = s.reg_query(key, "ProgramFilesDir")
    program_files = before + "\\" + name
    os.makedirs(s.windows_to_unix(program_files))
    s.undo.append(lambda: shutil.rmtree(s.windows_to_unix(program_files), ignore_errors=True))
    s.reg_set(key, "ProgramFilesDir", program_files)
    s.undo.append(lambda: s.reg_set(key, "ProgramFilesDir", before))
    foreign.update(disc=disc, program_files=program_files, encoding="cp" + codepage)
    return foreign


def whole_demo_in_code_page(s):
    where = in_code_page(s)
    whole_demo(s, where["disc"], where["program_files"], where["encoding"])


def readme_without_wordpad_in_code_page(s):
    readme_without_wordpad(s, in_code_page(s)["disc"])


if __name__ == "__main__":
    if os.environ.get("ZEPH_CODEPAGE"):
        run_cases([whole_demo_in_code_page, readme_without_wordpad_in_code_page])
    else:
        run_cases([whole_demo, readme_without_wordpad])
