"""Presses and releases on the buttons, checked on the screen at every step and
by the records of the probe that stands in for the web browser: an action runs
exactly when the button is released over the button it was pressed on."""

from e2elib import run_cases
from winedrive import EMPTY, WEB_BUTTONS, Failure, Launcher, centre


class Links:
    """The launcher under test with the probe as the web browser; counts the
    addresses that reached the probe."""

    def __init__(self, s):
        self.s = s
        s.move(EMPTY)
        self.launcher = Launcher(s).start()
        self.seen = 0

    def opened(self, what):
        """The address the next probe record shows, after one is expected."""
        records = self.s.wait_records(self.seen + 1, what)
        self.seen += 1
        return records[self.seen - 1]["cmdline"]

    def nothing_opened(self, why, marker):
        """No link opened by what went before: the marker button's link is
        the next one that reaches the probe, and the only one."""
        self.s.move(EMPTY)
        self.s.move(centre(marker))
        self.launcher.expect(marker, "focus", "the marker button highlighted")
        self.s.click()
        self.opened("the marker link after %s" % why)
        self.launcher.settle()
        records = self.s.probe_records()
        if len(records) != self.seen:
            raise Failure("%s: a link opened although none should have: %s"
                          % (why, [r["cmdline"] for r in records]))
        return records[-1]["cmdline"]


def each_link_on_press_and_release(s):
    links = Links(s)
    launcher = links.launcher
    addresses = {}
    for button in WEB_BUTTONS:
        s.move(centre(button))
        launcher.expect(button, "focus", "the pointer on button %d" % button)
        s.press()
        launcher.expect(button, "down", "the press on button %d" % button)
        s.release()
        launcher.expect(button, "focus", "the release on button %d" % button)
        addresses[button] = links.opened("the link of button %d" % button)
        launcher.settle()
        launcher.expect(button, "focus", "button %d after its link opened" % button, timeout=0)
        s.move(EMPTY)
        launcher.expect(button, "up", "the pointer off button %d" % button)
    for button, cmdline in addresses.items():
        if "http://" not in cmdline:
            raise Failure("button %d handed the browser no web address: %s" % (button, cmdline))
    if len(set(addresses.values())) != len(addresses):
        raise Failure("two buttons opened the same address: %s" % addresses)
    if not addresses[2].rstrip('"').endswith("/directx/homeuser/downloads/default.asp"):
        raise Failure("the DirectX button opened %s" % addresses[2])
    if not launcher.alive():
        raise Failure("the web links closed the launcher")


def press_leave_return_release(s):
    links = Links(s)
    launcher = links.launcher
    s.move(centre(4))
    launcher.expect(4, "focus", "the pointer on read-me")
    s.move(centre(7))
    s.press()
    launcher.expect(7, "down", "the press on button 7")
    s.move(EMPTY)
    launcher.expect(7, "up", "button 7 left while pressed")
    s.move(centre(7, 4))
    launcher.expect(7, "focus", "the pointer back on button 7")
    s.release()
    launcher.settle()
    launcher.expect(7, "focus", "the release after leaving and returning", timeout=0)
    links.nothing_opened("press, leave, return, release", marker=2)


def press_on_11_release_on_12(s):
    links = Links(s)
    launcher = links.launcher
    s.move((200, 400))
    launcher.expect(11, "focus", "the pointer on button 11")
    s.press()
    launcher.expect(11, "down", "the press on button 11")
    s.move((300, 400))
    launcher.expect(12, "focus", "the pointer moved straight to button 12")
    launcher.expect(11, "up", "button 11 left for button 12")
    s.release()
    launcher.settle()
    launcher.expect(12, "focus", "the release on button 12", timeout=0)
    links.nothing_opened("press on 11, release on 12", marker=7)


def away_and_straight_back(s):
    links = Links(s)
    launcher = links.launcher
    s.move(centre(2))
    s.press()
    launcher.expect(2, "down", "the press on button 2")
    # Button 9 lies right below button 2: one move there, one move back.
    s.move(centre(9))
    launcher.expect(9, "focus", "the pointer moved straight to button 9")
    launcher.expect(2, "up", "button 2 left for button 9")
    s.move(centre(2, 6))
    launcher.expect(2, "focus", "the pointer straight back on button 2")
    launcher.expect(9, "up", "button 9 left for button 2")
    s.release()
    address = links.opened("the link of button 2, pressed before the detour")
    if "directx" not in address:
        raise Failure("the release after the detour opened %s, not button 2's link" % address)


def repeated_moves_while_pressed(s):
    links = Links(s)
    launcher = links.launcher
    s.move(centre(12))
    launcher.expect(12, "focus", "the pointer on button 12")
    s.press()
    launcher.expect(12, "down", "the press on button 12")
    # A move that redrew the button would replace the down picture.
    for dx in (2, 4, 6, 8):
        s.move(centre(12, dx))
    launcher.settle()
    launcher.expect(12, "down", "moves inside the pressed button", timeout=0)
    s.release()
    launcher.expect(12, "focus", "the release on button 12")
    links.opened("the link of button 12")


def pictures_of_a_press_let_go_elsewhere(s):
    # The walk through every picture that make proof takes: install and exit,
    # which would close the launcher, are pressed and let go on empty ground.
    links = Links(s)
    launcher = links.launcher
    for button, kind in launcher.each_picture((1, 9)):
        launcher.expect(button, kind, "the walk's %s picture of button %d" % (kind, button), 0)
        launcher.expect_all_up("button %d %s" % (button, kind), except_for=(button,))
    if not launcher.alive():
        raise Failure("a press let go on empty ground closed the launcher")
    links.nothing_opened("presses let go on empty ground", marker=2)


def double_click_runs_once(s):
    links = Links(s)
    launcher = links.launcher
    s.move(centre(6))
    launcher.expect(6, "focus", "the pointer on the logo")
    # The second press of a double-click is no press for the launcher: no
    # down picture.
    s.press()
    s.release()
    s.press()
    launcher.settle()
    shown = launcher.shows(6)
    s.release()
    if shown != "focus":
        raise Failure("the second press of a double-click showed the logo's %s picture" % shown)
    links.opened("the logo's link")
    s.move(EMPTY)
    s.move(centre(11))
    launcher.expect(11, "focus", "the pointer on button 11")
    s.click(repeat=2)
    links.opened("button 11's link")
    cmdline = links.nothing_opened("two double-clicks", marker=7)
    records = [r["cmdline"] for r in s.probe_records()]
    if len(records) != 3 or records[2] != cmdline:
        raise Failure("two double-clicks and a click opened %s" % records)


if __name__ == "__main__":
    run_cases([each_link_on_press_and_release, press_leave_return_release,
               press_on_11_release_on_12, away_and_straight_back,
               repeated_moves_while_pressed, pictures_of_a_press_let_go_elsewhere,
               double_click_runs_once])
