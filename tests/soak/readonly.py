"""The launcher run from a read-only disc folder, through a whole session of
hovering, the web links, read-me and exit, writes no file anywhere in the Wine
prefix and changes nothing in the registry. The wineserver the test restarted
outlives the test's end, for the tests after it.

The folder is a copy of the demo disc, bind-mounted read-only (the tests run
as root, whom file modes do not stop). The prefix is compared before and after with the rules of untouched.py:
its files by name, size and content, its registry as the wineserver holds it,
Wine's own bookkeeping told apart by a bare window that meets the same input
first."""

import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "e2e"))
from e2elib import run_cases  # noqa: E402
from winedrive import EMPTY, WEB_BUTTONS, Failure, Launcher  # noqa: E402
from untouched import (HOVERED, Watch, centre, control_session, differences,  # noqa: E402
                       fresh_server, tree)


def read_only_copy(s):
    """A copy of the disc, mounted read-only; the mount goes with the test."""
    source = os.path.join(s.scratch, "disc-copy")
    shutil.copytree(s.disc, source)
    folder = os.path.join(s.scratch, "disc")
    os.mkdir(folder)
    subprocess.run(["mount", "--bind", source, folder], check=True)
    s.undo.append(lambda: subprocess.run(["umount", "-l", folder], check=False))
    subprocess.run(["mount", "-o", "remount,bind,ro", folder], check=True)
    try:
        with open(os.path.join(folder, "written-by-root"), "w"):
            pass
    except OSError:
        return source, folder
    raise Failure("the disc folder is not read-only")


def read_only_disc(s):
    s.forget_game()
    s.install_wordpad_probe()
    s.install_http_probe()
    source, folder = read_only_copy(s)
    wine_own = control_session(s, folder)

    fresh_server(s)
    server = s.servers()
    disc_before = tree(source)
    watch = Watch(s, wine_own)
    launcher = Launcher(s, folder=folder).start()
    for button in HOVERED:
        s.move(centre(button))
        launcher.expect(button, "focus", "hovered")
        s.move(EMPTY)
    for n, button in enumerate(WEB_BUTTONS, 1):
        s.move(centre(button))
        s.click()
        s.wait_records(n, "the web link of button %d" % button)
    s.move(centre(4))
    s.click()
    records = s.wait_records(len(WEB_BUTTONS) + 1, "read-me")
    where = s.unix_to_windows(folder)
    readme = records[-1]
    if readme["cmdline"] != '"C:\\Program Files\\Accessories\\WORDPAD.EXE" "%s\\readme.txt"' % where:
        raise Failure("read-me started %r" % readme["cmdline"])
    if readme["cwd"] != where:
        raise Failure("WordPad ran in %s" % readme["cwd"])
    s.move(centre(9))
    s.click()
    launcher.wait_closed("exit to close the launcher")

    written, ours = watch.changes()
    on_disc = differences(disc_before, tree(source))
    print("session: %d buttons hovered, %d web links and read-me opened, exit"
          % (len(HOVERED), len(WEB_BUTTONS)))
    print("the same input on a bare window changed %d registry lines (the system's own):"
          % len(wine_own))
    for line in wine_own:
        print("  " + line)
    print("files written in the prefix: %d; registry lines changed beyond those: %d; files "
          "changed on the disc: %d" % (len(written), len(ours), len(on_disc)))
    for line in written + ours + on_disc:
        print("  " + line)
    if written or ours or on_disc:
        raise Failure("the launcher wrote to the prefix, the registry or the disc")
    # The server the session restarted is the harness's, not the session's:
    # the session's end leaves it to the tests after it.
    s.end_all()
    if s.servers().keys() != server.keys():
        raise Failure("the session's end took the restarted wineserver %s with it; now: %s"
                      % (server, s.servers()))


if __name__ == "__main__":
    run_cases([read_only_disc])
