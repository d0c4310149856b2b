"""What a session of the launcher leaves in the Wine prefix: nothing, apart
from the system's own bookkeeping, which two rules tell from the launcher's.

The registry is compared as the wineserver holds it, through `reg export` of
HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER before and after. The prefix's files
are compared by name, size and content, except the three files in which the
wineserver saves the registry: it rewrites them on its own schedule after any
change by anyone (a test's own set-up of the stand-in programs changes the
registry), and what they hold is compared through the export instead.

Some changes to the registry are Wine's own, and two rules tell them from
the launcher's:

- Programs that open windows make Wine's display driver register the display
  adapter afresh, as empty keys named by a GUID that is new each time:
  HKLM\\System\\CurrentControlSet\\Control\\Video\\{GUID} and its subkey 0000
  (Wine 8), the same below ControlSet001 (Wine 10). No control can match
  them by name, so key lines of that shape are left out, whatever their
  GUID; a value anywhere, theirs included, is not.
- A control: before the launcher's session, a bare window program with the
  launcher's class styles meets the same pointer moves and clicks at the same
  places, and whatever the registry gains or loses in its session is the
  system's doing, not the launcher's. (Wine, for one, creates the volatile key
  HKCU\\Software\\Wine\\Temporary System Parameters\\Control Panel\\Mouse once a
  window of a class that takes double-clicks is clicked.) Each session starts
  with a new wineserver, so that such once-per-server bookkeeping shows in
  both alike."""

import hashlib
import os
import re

from winedrive import EMPTY, WEB_BUTTONS, WINDOW_SIZE, centre, wait_until

REGISTRY_SAVES = {"system.reg", "user.reg", "userdef.reg"}
ADAPTER_KEY = re.compile(r"\[HKEY_LOCAL_MACHINE\\System\\(CurrentControlSet|ControlSet\d{3})"
                         r"\\Control\\Video\\\{[0-9a-fA-F]{8}(-[0-9a-fA-F]{4}){3}-[0-9a-fA-F]{12}\}"
                         r"(\\\d{4})?\]")


def tree(root, skip=()):
    """Every file and folder below root: its kind, size and digest."""
    entries = {}
    for folder, dirs, files in os.walk(root):
        rel_folder = os.path.relpath(folder, root)
        for name in dirs:
            path = os.path.join(folder, name)
            if os.path.islink(path):
                entries[os.path.join(rel_folder, name)] = ("link", os.readlink(path))
            else:
                entries[os.path.join(rel_folder, name)] = ("folder",)
        dirs[:] = [d for d in dirs if not os.path.islink(os.path.join(folder, d))]
        for name in files:
            rel = os.path.normpath(os.path.join(rel_folder, name))
            if rel in skip:
                continue
            path = os.path.join(folder, name)
            if os.path.islink(path):
                entries[rel] = ("link", os.readlink(path))
                continue
            try:
                with open(path, "rb") as f:
                    digest = hashlib.sha256(f.read()).hexdigest()
            except OSError as e:
                digest = "unreadable: %s" % e.strerror
            entries[rel] = ("file", os.path.getsize(path), digest)
    return entries


def differences(before, after):
    added = sorted(set(after) - set(before))
    removed = sorted(set(before) - set(after))
    changed = sorted(k for k in set(before) & set(after) if before[k] != after[k])
    return ["added %s" % k for k in added] + ["removed %s" % k for k in removed] + \
        ["changed %s" % k for k in changed]


def registry(s, name):
    """The registry as the server holds it, one sorted list of lines a root key."""
    lines = {}
    for key in ("HKLM", "HKCU"):
        path = os.path.join(s.scratch, "%s-%s.reg" % (name, key))
        s.wine([s.reg, "export", key, s.unix_to_windows(path), "/y"])
        with open(path, "rb") as f:
            text = f.read().decode("utf-16", errors="replace")
        lines[key] = sorted(set(text.replace("\r", "").split("\n")))
    return lines


def registry_differences(before, after):
    found = []
    for key in before:
        old, new = set(before[key]), set(after[key])
        new = {line for line in new if line in old or not ADAPTER_KEY.fullmatch(line)}
        found += ["%s gained %s" % (key, line) for line in sorted(new - old)]
        found += ["%s lost %s" % (key, line) for line in sorted(old - new)]
    return found


HOVERED = (1, 2, 4, 6, 7, 9, 11, 12)


def fresh_server(s):
    s.harness("wine-restart")


def control_session(s, folder):
    """A session's pointer moves and clicks, met by a bare window at the
    launcher's place: what the registry gains or loses here is not the
    launcher's doing. Returns those changes, for Watch."""
    fresh_server(s)
    before = registry(s, "control-before")
    ox, oy = s.screen_origin()
    frame = s.start([s.wintool, "frame", str(ox), str(oy), str(ox + WINDOW_SIZE[0]),
                     str(oy + WINDOW_SIZE[1])], cwd=folder)
    s.window_of(frame, "the bare window", "e2e frame")
    for button in HOVERED:
        s.move(centre(button))
        s.move(EMPTY)
    for button in WEB_BUTTONS + (4, 9):
        s.move(centre(button))
        s.click()
    frame.kill()
    frame.wait()
    wait_until(lambda: not s.windows("e2e frame"), "the bare window to go")
    return registry_differences(before, registry(s, "control-after"))


class Watch:
    """The prefix's files and registry at the start of a session, and what
    the session has changed since, beyond the control's changes."""

    def __init__(self, s, wine_own):
        self.s, self.wine_own = s, wine_own
        self.files = tree(s.prefix, REGISTRY_SAVES)
        self.registry = registry(s, "before")

    def changes(self):
        """Files written in the prefix, and registry lines changed, each a
        list of lines to print."""
        written = differences(self.files, tree(self.s.prefix, REGISTRY_SAVES))
        changed = registry_differences(self.registry, registry(self.s, "after"))
        return written, [line for line in changed if line not in self.wine_own]
