"""Two real launcher processes: the second brings the first to the front,
restoring it when it was minimised, shows its own window and ends by itself
without any message."""

import re
import subprocess
import threading

from e2elib import run_cases
from winedrive import EMPTY, TITLE, Failure, Launcher, wait_until


def state(s, title):
    return s.wine([s.wintool, "state", title], check=False).strip()


class MapWatch:
    """The top-level windows that the X server maps from now on."""

    def __init__(self, s):
        self.proc = subprocess.Popen(["xev", "-root", "-event", "substructure"], env=s.env,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True)
        self.lines = []
        self.reader = threading.Thread(target=self.read, daemon=True)
        self.reader.start()
        s.undo.append(self.stop)

    def read(self):
        for line in self.proc.stdout:
            self.lines.append(line)

    def stop(self):
        self.proc.terminate()
        self.proc.wait(timeout=10)

    def mapped(self):
        text = "".join(self.lines)
        found = re.findall(r"MapNotify event[^\n]*\n\s*event 0x[0-9a-f]+, window (0x[0-9a-f]+)",
                           text)
        return {int(w, 16) for w in found}


def second_copy(s, minimise):
    s.move(EMPTY)
    first = Launcher(s).start()
    ox, oy = s.screen_origin()
    if minimise:
        s.wine([s.wintool, "minimize", TITLE])
        wait_until(lambda: "iconic=1" in state(s, TITLE), "the first launcher minimised")
    # Another program in front, over the launcher's place; seeing it mapped
    # also shows that the watch is listening.
    watch = MapWatch(s)
    other = s.start([s.wintool, "cover", str(ox - 10), str(oy - 10), str(ox + 700), str(oy + 500)])
    cover = int(s.window_of(other, "the other window", "e2e cover"))
    wait_until(lambda: cover in watch.mapped(), "the other window's map event")
    wait_until(lambda: "foreground=1" in state(s, "e2e cover"), "the other window in front")
    wait_until(lambda: not first.background_shown(), "the other window over the launcher")
    known = watch.mapped() | {int(w) for w in s.windows(TITLE)}

    proc = s.start(["launcher.exe"], cwd=first.folder)
    try:
        proc.wait(timeout=20)
    except subprocess.TimeoutExpired:
        raise Failure("the second copy did not end by itself (a message box waiting?)")
    wait_until(lambda: watch.mapped() - known, "a window of the second copy to have been mapped",
               timeout=2)

    after = state(s, TITLE)
    if after != "iconic=0 visible=1 foreground=1":
        raise Failure("after the second copy the first launcher is %s" % after)
    if len(s.windows(TITLE)) != 1:
        raise Failure("expected one launcher window after the second copy, found %d"
                      % len(s.windows(TITLE)))
    if not first.alive():
        raise Failure("the first launcher ended")
    wait_until(first.background_shown, "the first launcher's picture in front again")
    first.expect_all_up("the first launcher in front again")


def second_copy_brings_first_to_front(s):
    second_copy(s, minimise=False)


def second_copy_restores_minimised_first(s):
    second_copy(s, minimise=True)


if __name__ == "__main__":
    run_cases([second_copy_brings_first_to_front, second_copy_restores_minimised_first])
