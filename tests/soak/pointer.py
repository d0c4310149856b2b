"""A long run of the real launcher: 10,000 pointer events of XTEST input over
and between its buttons, presses that run no action among them, and 1,000
repaints of its uncovered window. Afterwards its objects, handles and memory
are what they were once it had drawn everything once, they do not grow with
the number of events, and it still answers and shows its picture.

The figures are printed, so that a run's log holds them."""

import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "e2e"))
from e2elib import APP_PATHS_KEY, UNINSTALL_KEY, run_cases  # noqa: E402
from winedrive import EMPTY, EMPTY_2, PLACES, TITLE, Failure, Launcher  # noqa: E402

EVENTS = 10000
REPAINTS = 1000
CHUNK = 500  # events between two rounds of repaints
# Buttons whose action, if one ran by mistake, would only open a web address
# through the probe: a record in its log shows it.
PRESSABLE = (2, 6, 7, 11, 12)
# Object and handle counts may differ by this much; memory grows by less
# than this in any half of the run once everything was drawn once.
COUNT_NOISE = 2
DEVICE_CONTEXT_BOUND = 16
# Kinds of objects in the gauge's list by type, as Wine numbers them.
REGION, BITMAP = "04", "05"
MEMORY_NOISE = 1 << 20


def points():
    """Points over the buttons (centres, just inside and on their edges) and
    on the ground between them, in client coordinates."""
    result = [EMPTY, EMPTY_2, (5, 445), (639, 451), (450, 30), (263, 400), (264, 400)]
    for x, y, w, h in PLACES.values():
        result += [(x + w // 2, y + h // 2), (x + 1, y + 1), (x + w - 2, y + h - 2),
                   (x, y + h // 2), (x + w, y + h // 2), (x + w // 2, y - 1)]
    return result


def events(rng, count):
    """xdotool commands for count pointer events: mostly moves, one press in
    every twenty steps, released off its button or on empty ground."""
    places = points()
    commands, n = [], 0
    while n < count:
        roll = rng.random()
        if roll < 0.04 and count - n >= 4:
            x, y, w, h = PLACES[rng.choice(PRESSABLE)]
            commands.append(("move", (x + w // 2, y + h // 2)))
            commands += [("down", None), ("move", rng.choice((EMPTY, EMPTY_2))), ("up", None)]
            n += 4
        elif roll < 0.05 and count - n >= 3:
            commands += [("move", EMPTY), ("down", None), ("up", None)]
            n += 3
        else:
            commands.append(("move", rng.choice(places)))
            n += 1
    return commands


class Soak:
    def __init__(self, s, launcher):
        self.s = s
        self.launcher = launcher
        self.gauge = os.path.join(s.cross, "tests", "soak", "soakgauge.exe")
        if not os.path.exists(self.gauge):
            raise Failure("there is no gauge at %s" % self.gauge)
        self.rng = random.Random(8)
        self.sent = 0
        self.repainted = 0

    def measure(self, label):
        out = self.s.wine([self.gauge, "measure", TITLE], check=False)
        figures = dict(field.split("=", 1) for field in out.split() if "=" in field)
        if figures.get("answers") != "1":
            raise Failure("%s: the launcher does not answer (%s)" % (label, out.strip()))
        types = figures.get("gdi_types", "")
        figures = {k: int(v) for k, v in figures.items() if v.lstrip("-").isdigit()}
        figures["types"] = types
        print(("%-22s " % label) + "gdi %(gdi)d (device contexts %(dc)d) windows %(windows)d handles %(handles)d "
              "pagefile %(pagefile)d workingset %(workingset)d (reported by the system: "
              "gdi %(reported_gdi)d user %(reported_user)d handles %(reported_handles)d "
              "private %(private)d); gdi objects by type %(types)s" % figures)
        sys.stdout.flush()
        for key in ("gdi", "handles"):
            if figures[key] <= 0:
                raise Failure("%s: no %s count for the launcher" % (label, key))
        return figures

    def send(self, commands):
        ox, oy = self.s.screen_origin()
        args = ["xdotool"]
        for kind, point in commands:
            if kind == "move":
                args += ["mousemove", str(ox + point[0]), str(oy + point[1]), "sleep", "0.001"]
            elif kind == "down":
                args += ["mousedown", "1"]
            else:
                args += ["mouseup", "1"]
        self.s.x(args)
        self.sent += len(commands)

    def repaint(self, count):
        out = self.s.wine([self.gauge, "repaint", TITLE, str(count)], check=False)
        if "repainted=%d" % count not in out:
            raise Failure("the launcher did not repaint after being uncovered: %s" % out.strip())
        self.repainted += count

    def run(self, count, repaints):
        rounds = count // CHUNK
        for _ in range(rounds):
            self.send(events(self.rng, CHUNK))
            self.repaint(repaints // rounds)
            if not self.launcher.alive():
                raise Failure("the launcher ended after %d events" % self.sent)


def soak(s):
    # Installed, so that every activation opens and closes both keys, with a
    # game folder that does not exist.
    s.forget_game()
    s.reg_set(APP_PATHS_KEY, "Path", r"C:\soak-no-such-game")
    s.reg_set(UNINSTALL_KEY, "UninstallString", r"C:\soak-no-such-game\uninst.exe")
    s.install_http_probe()
    launcher = Launcher(s).start()
    run = Soak(s, launcher)
    start = run.measure("after start-up")

    # A repaint really happens: it shows the pressed button in its focus
    # picture, where the press had drawn its down picture.
    x, y, w, h = PLACES[11]
    s.move((x + w // 2, y + h // 2))
    s.press()
    launcher.expect(11, "down", "pressed")
    run.repaint(1)
    launcher.expect(11, "focus", "repainted while pressed")
    s.move(EMPTY)
    s.release()
    launcher.expect(11, "up", "left before the release")

    # Everything drawn and every handler run once: what the system keeps
    # from the first time on is not growth.
    run.send(events(run.rng, 200))
    run.repaint(9)
    warm = run.measure("after a first round")
    run.sent = 0
    run.repainted = 0

    run.run(EVENTS // 2, REPAINTS // 2)
    half = run.measure("after %d events" % run.sent)
    run.run(EVENTS // 2, REPAINTS // 2)
    full = run.measure("after %d events" % run.sent)
    print("events sent: %d, repaints: %d" % (run.sent, run.repainted))

    problems = []
    for key in ("windows", "handles"):
        if abs(full[key] - start[key]) > COUNT_NOISE:
            problems.append("%s %d after start-up, %d at the end" % (key, start[key], full[key]))
    # The system keeps window device contexts in a cache that grows to the most
    # the launcher holds at once (its paint routines nest, and more of them
    # meet on a busy machine), and no further; a context lost on every event
    # would pass that bound many times over. A cached context may hold a
    # region and a bitmap of its own (measured: Wine 8 makes all three
    # together, Wine 10 the region alone), so the objects beyond them, at most
    # one region and one bitmap a context, must stay as they are.
    for figures in (start, warm, half, full):
        kinds = dict(entry.split(":") for entry in figures["types"].split(",") if entry)
        held = sum(min(int(kinds.get(kind, 0)), figures["dc"]) for kind in (REGION, BITMAP))
        figures["objects"] = figures["gdi"] - figures["dc"] - held
    if full["dc"] > DEVICE_CONTEXT_BOUND:
        problems.append("%d device contexts at the end" % full["dc"])
    for key in ("objects", "windows", "handles"):
        if abs(full[key] - warm[key]) > COUNT_NOISE or abs(full[key] - half[key]) > COUNT_NOISE:
            problems.append("%s grows with the events: %d, %d, %d"
                            % (key, warm[key], half[key], full[key]))
    for key in ("pagefile", "workingset"):
        if half[key] - warm[key] > MEMORY_NOISE or full[key] - half[key] > MEMORY_NOISE:
            problems.append("%s grows with the events: %d, %d, %d"
                            % (key, warm[key], half[key], full[key]))
    if problems:
        raise Failure("; ".join(problems))

    if not launcher.alive():
        raise Failure("the launcher ended")
    s.move(EMPTY)
    launcher.settle()
    if not launcher.background_shown():
        raise Failure("the picture is gone")
    launcher.expect_all_up("after the soak", installed=True)
    if s.probe_records():
        raise Failure("an action ran: %s" % s.probe_records())


if __name__ == "__main__":
    run_cases([soak])
