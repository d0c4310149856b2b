"""The pointer over the buttons: every row of the pointer-move table, the
strict hit-test edges on the real window, and the column that buttons 11 and
12 share.

A click before the first pointer move cannot be staged with real input: a
window that appears under a resting pointer is sent a pointer move at once,
by Wine as by Windows."""

from e2elib import run_cases
from winedrive import EMPTY, EMPTY_2, PLACES, Failure, Launcher, centre, wait_until


def first_picture_and_table_rows(s):
    s.move(EMPTY)
    launcher = Launcher(s).start()
    launcher.expect_all_up("after start-up")
    if not launcher.background_region(PLACES[10]):
        raise Failure("the uninstall place does not show the background while not installed")

    # 0 -> 0: from empty ground to empty ground draws nothing.
    s.move(EMPTY_2)
    launcher.settle()
    launcher.expect_all_up("a move over no button")

    # 0 -> b: b in its focus picture, nothing else.
    s.move(centre(2))
    launcher.expect(2, "focus", "the pointer arrives on button 2")
    launcher.expect_all_up("button 2 highlighted", except_for=(2,))

    # a -> a: more moves inside the button draw nothing.
    for dx in (3, 6, 9):
        x, y = centre(2)
        s.move((x + dx, y - dx))
    launcher.settle()
    launcher.expect(2, "focus", "moves inside button 2", timeout=0)

    # a -> b in one message: 9 in its focus picture, then 2 back to up.
    s.move(centre(9))
    launcher.expect(9, "focus", "the pointer jumps from button 2 to 9")
    launcher.expect(2, "up", "button 2 left for button 9")

    # a -> 0: back to its up picture.
    s.move(EMPTY)
    launcher.expect(9, "up", "button 9 left for empty ground")
    launcher.expect_all_up("the pointer on empty ground again")
    if not launcher.alive():
        raise Failure("the launcher ended while only the pointer moved")


def hit_test_edges(s):
    s.move(EMPTY)
    launcher = Launcher(s).start()
    # Button 1 is (20, 237)-(144, 293): a point on any edge lies outside it.
    for point, hit in (((21, 250), True), ((20, 250), False), ((143, 250), True),
                       ((144, 250), False), ((50, 238), True), ((50, 237), False),
                       ((50, 292), True), ((50, 293), False)):
        s.move(point)
        if hit:
            launcher.expect(1, "focus", "the pointer at %s" % (point,))
        else:
            launcher.settle()
            launcher.expect(1, "up", "the pointer at %s" % (point,), timeout=0)
            launcher.expect_all_up("the pointer at %s" % (point,))
        # Away again, so that every point starts from no highlight.
        s.move(EMPTY)
        launcher.expect(1, "up", "the pointer back on empty ground")


def shared_column(s):
    s.move(EMPTY)
    launcher = Launcher(s).start()
    focus_11 = launcher.disc.picture(11, "focus")
    up_11 = launcher.disc.picture(11, "up")
    up_12 = launcher.disc.picture(12, "up")

    def column_263():
        return s.grab((263, 347, 1, 87)).column(0)

    if column_263() != up_12.column(0)[:87]:
        raise Failure("after start-up column 263 does not show button 12, which is drawn later")
    s.move((263, 400))
    launcher.expect(11, "focus", "the pointer at (263, 400)")
    wait_until(lambda: column_263() == focus_11.column(113),
               "column 263 to show button 11's focus picture")
    launcher.expect(12, "up", "the pointer at (263, 400)")

    # One message from 263 to 264: 12 lit first, then 11 drawn up over it,
    # so the shared column shows 11's up picture.
    s.move((264, 400))
    launcher.expect(12, "focus", "the pointer at (264, 400)")
    launcher.expect(11, "up", "the pointer moved on to (264, 400)")
    wait_until(lambda: column_263() == up_11.column(113),
               "column 263 to show button 11's up picture, drawn after 12's focus")


if __name__ == "__main__":
    run_cases([first_picture_and_table_rows, hit_test_edges, shared_column])
