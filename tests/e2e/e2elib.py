"""What the end-to-end tests share beyond driving the launcher
(tools/winedrive.py): a session whose started programs are the probe
(tests/probe), standing in for WordPad, the web browser and the game, and
whose records say how each was started; the Windows side's own tool
(wintool.exe); and run_cases, which runs a test program's cases one after
another, each from a clean state.

Whatever a test starts or changes (the launcher, the programs it starts, the
WordPad and web-browser stand-ins, the registry entries of the game) is
undone when the test ends, also when it fails or is stopped."""

import os
import shutil
import signal
import sys
import traceback

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
from winedrive import Failure, Session, take_interrupts, wait_until  # noqa: E402

APP_PATHS_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\zorvex.exe"
UNINSTALL_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Zephrane Demo"
HTTP_COMMAND_KEY = r"HKCR\http\shell\open\command"
WORDPAD = r"C:\Program Files\Accessories\WORDPAD.EXE"


class Skip(Exception):
    """What a case needs is not on this machine; the message says what."""


# The exit status by which CTest knows a test program that skipped all it had.
SKIP_STATUS = 77


class TestSession(Session):
    """A test program's session: the probe and the test's own tools of the
    cross tree that runs, and the probe's records."""

    def __init__(self, argv):
        super().__init__(argv)
        self.probe = os.path.join(self.cross, "tests", "probe.exe")
        self.wintool = os.path.join(self.cross, "tests", "e2e", "wintool.exe")
        self.probe_log = os.path.join(self.scratch, "probe.log")
        self.env["ZEPH_PROBE_LOG"] = self.unix_to_windows(self.probe_log)

    def forget_game(self):
        """Takes the game's two registry entries away, as on a machine that
        never had it."""
        self.reg_import(["[-HKEY_LOCAL_MACHINE%s]" % key[4:] for key in (APP_PATHS_KEY,
                                                                        UNINSTALL_KEY)])

    def prepare(self):
        """What every test program needs once: the probe in place of WordPad
        and of the web browser, the game's entries gone again at the end,
        and Wine's windows unmanaged."""
        self.undo.append(self.forget_game)
        self.unmanaged()
        self.install_wordpad_probe()
        self.install_http_probe()

    def clear_records(self):
        if os.path.exists(self.probe_log):
            os.remove(self.probe_log)

    # -- the probe in place of started programs ----------------------------

    def install_wordpad_probe(self):
        target = self.windows_to_unix(WORDPAD)
        folder = os.path.dirname(target)
        made_folder = not os.path.isdir(folder)
        os.makedirs(folder, exist_ok=True)
        backup = None
        if os.path.exists(target):
            backup = os.path.join(self.scratch, "WORDPAD.EXE.orig")
            shutil.copy2(target, backup)
        shutil.copy2(self.probe, target)

        def restore():
            if backup:
                shutil.copy2(backup, target)
            else:
                os.remove(target)
                if made_folder:
                    os.rmdir(folder)
        self.undo.append(restore)

    def install_http_probe(self):
        before = self.reg_query(HTTP_COMMAND_KEY, None)
        self.reg_set(HTTP_COMMAND_KEY, None, '"%s" "%%1"' % self.unix_to_windows(self.probe))

        def restore():
            if before is None:
                self.reg_delete_key(HTTP_COMMAND_KEY)
            else:
                self.reg_set(HTTP_COMMAND_KEY, None, before)
        self.undo.append(restore)

    def probe_records(self):
        """The probe's lines: dicts of module, command line, directory, error
        mode, start-up flags and Windows process id."""
        try:
            with open(self.probe_log, encoding="latin-1") as f:
                lines = f.read().splitlines()
        except FileNotFoundError:
            return []
        records = []
        for line in lines:
            fields = line.split("\t")
            if len(fields) == 6:
                records.append({"module": fields[0], "cmdline": fields[1], "cwd": fields[2],
                                "errormode": fields[3], "flags": fields[4], "pid": fields[5]})
        return records

    def wait_records(self, count, what, timeout=15):
        """The probe's records once count probes have written and ended: one
        on its way out still holds its program file and its folder."""
        records = wait_until(lambda: len(self.probe_records()) >= count and self.probe_records(),
                             what, timeout)
        try:
            self.wine([self.wintool, "wait"] + [r["pid"] for r in records])
        except Failure:
            raise Failure("%s: the probe did not end" % what)
        return records

    def keep_screen(self, name):
        """The whole screen at a failure, for the person reading the log."""
        folder = os.path.join(self.build, "e2e-failures")
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, "%s.%s.png" % (
            os.path.splitext(os.path.basename(sys.argv[0]))[0], name))
        try:
            self.x(["import", "-window", "root", path])
            print("  the screen at the failure: %s" % path)
        except Failure:
            pass


def run_cases(cases, argv=None):
    """Runs the cases one after another in one session, each from a clean
    state: no program of an earlier case left running, no probe record, the
    game not installed. Prints one line per case and a closing count, and
    exits non-zero when any case failed, or with SKIP_STATUS when every case
    was skipped."""
    argv = sys.argv[1:] if argv is None else argv
    passed = failed = skipped = 0

    take_interrupts()
    # CTest ends a test at its limit with SIGKILL, which leaves the stand-ins
    # and registry entries for the tests after it; the run stops itself
    # first, leaving its clean-up the time it takes.
    limit = int(os.environ.get("ZEPH_TEST_TIMEOUT") or 0)
    if limit:
        signal.alarm(max(1, limit - max(20, limit // 8)))
    session = None
    try:
        session = TestSession(argv)
        session.prepare()
        for case in cases:
            try:
                session.forget_game()
                case(session)
                print("ok - %s" % case.__name__)
                passed += 1
            except Skip as e:
                print("skip: %s: %s" % (case.__name__, e))
                skipped += 1
            except Failure as e:
                print("FAIL - %s: %s" % (case.__name__, e))
                session.keep_screen(case.__name__)
                failed += 1
            except Exception:
                print("FAIL - %s: unexpected error" % case.__name__)
                traceback.print_exc(file=sys.stdout)
                session.keep_screen(case.__name__)
                failed += 1
            finally:
                session.end_all()
                session.clear_records()
            sys.stdout.flush()
    except Failure as e:
        print("FAIL - set-up: %s" % e)
        failed += 1
    except KeyboardInterrupt:
        print("FAIL - stopped%s" % (" short of the test's time limit" if limit and not signal.alarm(0) else ""))
        failed += 1
    finally:
        if session:
            session.cleanup()
    print("%d passed, %d failed%s" % (passed, failed, ", %d skipped" % skipped if skipped else ""))
    if failed:
        sys.exit(1)
    sys.exit(SKIP_STATUS if skipped and not passed else 0)
