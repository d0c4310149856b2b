"""READ ME on a machine where ".txt" still belongs to an editor that has
since been uninstalled, as on many: its entry names a program that is gone,
and there is no WordPad at the place the launcher names. The read-me appears
in the Windows folder's Notepad all the same, and the launcher stays."""

import os
import signal

from demo_flow import README_PLACE, click_on
from e2elib import EMPTY, WORDPAD, Failure, Launcher, run_cases, wait_until

TEXT_CLASS = "ZephraneE2e.GoneEditor"
GONE_EDITOR = r"C:\Program Files\Gone Editor\gone.exe"


def readme_with_a_stale_text_entry(s):
    if "HKEY_CLASSES_ROOT" in s.wine([s.reg, "query", r"HKCR\.txt"], check=False):
        raise Failure("the test prefix has a program for text files")
    if os.path.exists(s.windows_to_unix(GONE_EDITOR)):
        raise Failure("the editor that should be gone is there: %s" % GONE_EDITOR)
    s.undo.append(lambda: s.reg_import(["[-HKEY_CLASSES_ROOT\\.txt]",
                                        "[-HKEY_CLASSES_ROOT\\%s]" % TEXT_CLASS]))
    s.reg_import(['[HKEY_CLASSES_ROOT\\.txt]', '@="%s"' % TEXT_CLASS,
                  '[HKEY_CLASSES_ROOT\\%s\\shell\\open\\command]' % TEXT_CLASS,
                  '@="\\"%s\\" \\"%%1\\""' % GONE_EDITOR.replace("\\", "\\\\")])

    wordpad = s.windows_to_unix(WORDPAD)
    away = wordpad + ".away"
    os.rename(wordpad, away)
    shown = []
    try:
        s.move(EMPTY)
        launcher = Launcher(s).start()
        click_on(s, launcher, 4, README_PLACE)

        def readme_window():
            found = s.x(["xdotool", "search", "--onlyvisible", "--name", "readme"], check=False)
            shown[:] = found.decode().split()
            return shown
        wait_until(readme_window, "a window showing the read-me", timeout=20)
        pid = int(s.x(["xdotool", "getwindowpid", shown[0]]).decode())
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            cmdline = f.read().replace(b"\0", b" ").decode(errors="replace")
        wanted = s.unix_to_windows(s.disc) + r"\readme.txt"
        if wanted.lower() not in cmdline.lower():
            raise Failure("the window shows %s, not %s" % (cmdline, wanted))
        if "\\windows\\notepad.exe" not in cmdline.lower():
            raise Failure("the read-me is shown by %s, not the Windows folder's Notepad" % cmdline)
        if s.probe_records():
            raise Failure("something in place of WordPad was started: %s" % s.probe_records())
        if not launcher.alive() or not s.windows(pid=launcher.proc.pid):
            raise Failure("read-me closed the launcher")
    finally:
        for window in shown:
            try:
                os.kill(int(s.x(["xdotool", "getwindowpid", window]).decode()), signal.SIGKILL)
            except (Failure, ValueError, OSError):
                pass
        os.rename(away, wordpad)


if __name__ == "__main__":
    run_cases([readme_with_a_stale_text_entry])
