"""The keyboard: Escape and Space close the launcher at its next idle moment,
also while a button is lit or held down, and run no action; every other key
changes nothing."""

import time

from e2elib import run_cases
from winedrive import EMPTY, Failure, Launcher, centre


def start(s):
    s.move(EMPTY)
    return Launcher(s).start()


def expect_no_action(s, why):
    # The action would have started its program before the window closed;
    # give a started probe the time to write its line.
    deadline = time.monotonic() + 1.0
    while time.monotonic() < deadline:
        if s.probe_records():
            raise Failure("%s ran an action: %s"
                          % (why, [r["cmdline"] for r in s.probe_records()]))
        time.sleep(0.1)


def other_keys_change_nothing(s):
    launcher = start(s)
    s.move(centre(4))
    launcher.expect(4, "focus", "the pointer on read-me")
    for key in ("Return", "KP_Enter", "Tab", "Left", "Down", "a", "x", "F1", "BackSpace",
                "Delete"):
        s.key(key)
    launcher.settle()
    if not launcher.alive():
        raise Failure("a key other than Escape or Space closed the launcher")
    launcher.expect(4, "focus", "keys pressed over read-me", timeout=0)
    launcher.expect_all_up("keys pressed over read-me", except_for=(4,))
    expect_no_action(s, "a key over the highlighted read-me button")


def escape_closes(s):
    launcher = start(s)
    s.key("Escape")
    launcher.wait_closed("Escape to close the launcher")


def escape_while_highlighted(s):
    launcher = start(s)
    s.move(centre(12))
    launcher.expect(12, "focus", "the pointer on button 12")
    s.key("Escape")
    launcher.wait_closed("Escape over the lit button 12 to close the launcher")
    expect_no_action(s, "Escape over button 12")


def space_while_pressed(s):
    launcher = start(s)
    s.move(centre(7))
    launcher.expect(7, "focus", "the pointer on button 7")
    s.press()
    launcher.expect(7, "down", "the press on button 7")
    s.key("space")
    try:
        launcher.wait_closed("Space with button 7 held down to close the launcher")
    finally:
        s.release()
    expect_no_action(s, "Space while button 7 was held down")


def space_while_reading_highlighted(s):
    launcher = start(s)
    s.move(centre(4))
    launcher.expect(4, "focus", "the pointer on read-me")
    s.key("space")
    launcher.wait_closed("Space over read-me to close the launcher")
    expect_no_action(s, "Space over read-me")


if __name__ == "__main__":
    run_cases([other_keys_change_nothing, escape_closes, escape_while_highlighted,
               space_while_pressed, space_while_reading_highlighted])
