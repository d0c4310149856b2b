"""The demo disc as users meet it: the disc image of the build, mounted
read-only, is drive D: of the test prefix, a CD-ROM drive, and the launcher
starts from its root with "D:\\" as its current directory, as autorun starts
it. From there it draws its picture, opens the read-me of the drive's root
(the command line holds two backslashes in a row there), installs the demo
through the disc's setup, plays it, takes it away again, and opens the
read-me without WordPad. Afterwards the prefix holds nothing that it did not
hold before, but the system's own bookkeeping (untouched.py): setup's files
and entries are gone with the uninstaller.

The image is mounted with fuseiso: the kernels of these machines load no
iso9660 module, and loop devices may be missing. Where FUSE or fuseiso is
missing, or the mount fails, the test says why and is skipped."""

import os
import shutil
import subprocess

from demo_flow import (INSTALL_PLACE, README_PLACE, SETUP_CAPTION, click_on, dismiss, play,
                       readme_without_wordpad, uninstall)
from e2elib import APP_PATHS_KEY, Skip, WORDPAD, run_cases
from winedrive import EMPTY, Failure, Launcher
from picture import check
from untouched import Watch, control_session, fresh_server

IMAGE = "zephrane-demo.iso"
DRIVES_KEY = r"HKLM\Software\Wine\Drives"
EXIT_PLACE = (562, 334)


def cd_drive(s):
    """Mounts the image and makes it drive D:, a CD-ROM drive, for the rest
    of the session. Returns the Unix folder it is mounted on."""
    image = os.path.join(s.cross, IMAGE)
    if not os.path.exists(image):
        raise Failure("the build made no disc image at %s" % image)
    for tool in ("fuseiso", "fusermount"):
        if shutil.which(tool) is None:
            raise Skip("%s is not installed, so the disc image cannot be mounted" % tool)
    if not os.path.exists("/dev/fuse"):
        raise Skip("this machine has no /dev/fuse, so the disc image cannot be mounted")
    mount = os.path.join(s.scratch, "cdrom")
    os.mkdir(mount)
    result = subprocess.run(["fuseiso", image, mount], stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0 or not os.path.exists(os.path.join(mount, "launcher.exe")):
        raise Skip("fuseiso could not mount the disc image: %s"
                   % result.stdout.decode(errors="replace").strip())
    s.undo.append(lambda: subprocess.run(["fusermount", "-u", "-z", mount], check=False))

    link = os.path.join(s.prefix, "dosdevices", "d:")
    if os.path.lexists(link):
        before = os.readlink(link)
        os.remove(link)
        s.undo.append(lambda: os.symlink(before, link))
    os.symlink(mount, link)
    s.undo.append(lambda: os.remove(link))
    s.wine([s.reg, "add", DRIVES_KEY, "/v", "d:", "/t", "REG_SZ", "/d", "cdrom", "/f"])
    s.undo.append(lambda: s.wine([s.reg, "delete", DRIVES_KEY, "/v", "d:", "/f"], check=False))
    # The server's mount manager reads the drive types when it starts.
    fresh_server(s)
    drive = s.wine([s.wintool, "drive", "D:\\"]).strip()
    if drive != "type=5 writable=0":
        raise Failure("drive D: is not a read-only CD-ROM drive: %s" % drive)
    return mount


def from_the_drive_root(s):
    game_folder = s.program_files + r"\Zephrane Demo"
    folder = s.windows_to_unix(game_folder)
    # Whatever an earlier run left of the game goes before and after.
    shutil.rmtree(folder, ignore_errors=True)
    s.undo.append(lambda: shutil.rmtree(folder, ignore_errors=True))
    mount = cd_drive(s)
    wine_own = control_session(s, mount)
    fresh_server(s)
    watch = Watch(s, wine_own)

    s.move(EMPTY)
    launcher = Launcher(s, folder=mount).start()
    check(s, launcher, installed=False)

    # Read-me from the root: the command line names the drive's read-me, with
    # the two backslashes of a root, and WordPad runs there too.
    click_on(s, launcher, 4, README_PLACE)
    record = s.wait_records(1, "read-me")[0]
    wanted = '"%s" "D:\\\\readme.txt"' % WORDPAD
    if record["cmdline"] != wanted or record["cwd"] != "D:\\":
        raise Failure("read-me started %s in %s, not %s in D:\\"
                      % (record["cmdline"], record["cwd"], wanted))

    # Install: the disc's own setup, which copies the game from D:.
    s.move(EMPTY)
    click_on(s, launcher, 1, INSTALL_PLACE)
    launcher.wait_closed("the launcher to close after install")
    dismiss(s, SETUP_CAPTION)
    if s.reg_query(APP_PATHS_KEY, "Path") != game_folder:
        raise Failure("setup from D: did not register the game in %s" % game_folder)
    if not os.path.exists(os.path.join(folder, "zorvex.exe")):
        raise Failure("setup from D: did not copy the game")

    # Play, from the game's folder; uninstall, which takes everything away.
    play(s, Launcher(s, folder=mount).start(), folder)
    uninstall(s, Launcher(s, folder=mount).start(), folder)

    # Read-me without WordPad: the drive's read-me in a window of its own.
    s.clear_records()
    launcher = readme_without_wordpad(s, mount, "D:\\readme.txt")
    click_on(s, launcher, 9, EXIT_PLACE)
    launcher.wait_closed("exit to close the launcher")

    written, changed = watch.changes()
    print("from D:\\, a CD-ROM drive: picture, read-me, install, play, uninstall, read-me "
          "without WordPad; files written in the prefix: %d; registry lines changed beyond "
          "the system's own: %d" % (len(written), len(changed)))
    for line in written + changed:
        print("  " + line)
    if written or changed:
        raise Failure("the session left something in the prefix")


if __name__ == "__main__":
    run_cases([from_the_drive_root])
