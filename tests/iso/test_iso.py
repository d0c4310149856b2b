"""The disc image as a drive reads it and as an author builds it.

- Start-up order: the launcher's reads, replayed on the built images' own
  extents, go forward without a jump but the one allowed from the program
  to the first picture; everything else lies behind them.
- Same sources, same image: the shipped programs carry the sources' date;
  a clean build of them in a scratch tree elsewhere, a newly painted art
  set and a disc folder of other dates and permissions master to the very
  bytes of the build's image.
- An author's disc: mastered from relative paths, its pictures found
  whatever the case of their names, a link within it a copy in the tree
  Windows reads; a damaged disc, names that tree cannot show as they are,
  and a certificate that cannot sign are refused by their findings and
  leave no image.

ZEPH_ISO names another image for the start-up check (an old one, say).
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import mastering  # noqa: E402
from discfolder import disc_files  # noqa: E402
import testca  # noqa: E402

BUILD = os.environ.get("ZEPH_BUILD", os.path.join(ROOT, "build"))
HOST = os.path.join(BUILD, "host")
STARTORDER = os.path.join(HOST, "tools", "startorder")
BMPCHECK = os.path.join(HOST, "tools", "bmpcheck")
DISCART = os.path.join(HOST, "tools", "discart")
EPOCH_FILE = os.path.join(HOST, "source-date-epoch")
DEMO_DISC = os.path.join(BUILD, "i686", "disc")
DEMO_ISO = os.path.join(BUILD, "i686", "zephrane-demo.iso")
PROGRAMS = ["launcher.exe", "setup.exe", "game/zorvex.exe", "game/uninst.exe"]


def launcher_reads(iso):
    """(path, first block, blocks) of each file the launcher reads as it
    starts, in its order; names matched as Windows matches them."""
    layout = {path.lower(): extent for path, extent in mastering.extents(iso).items()}
    order = ["launcher.exe"] + subprocess.run([STARTORDER], capture_output=True, text=True,
                                              check=True).stdout.split()
    return [(path, layout[path][0], -(-layout[path][1] // 2048)) for path in order]


def pe_time_stamp(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    header = struct.unpack_from("<I", data, 0x3C)[0]
    return struct.unpack_from("<I", data, header + 8)[0]


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, stdin=subprocess.DEVNULL, **kwargs)


def check_startup_order(case, iso):
    """At most one jump, forward from the program to the first picture."""
    reads = launcher_reads(iso)
    case.assertEqual(len(reads), 92)
    jumps = []
    head = None
    for index, (path, start, count) in enumerate(reads):
        if head is not None and start != head:
            jumps.append((index, path, head, start))
        head = start + count
    allowed = [j for j in jumps if j[0] == 1 and j[3] > j[2]]
    case.assertEqual(jumps, allowed, "reads that do not follow the one before (index, file, "
                     "block where the head was, block read): %d of 91" % len(jumps))
    # Everything else lies behind the start-up reads.
    started = {path for path, _, _ in reads}
    for path, (start, _) in mastering.extents(iso).items():
        if path.lower() not in started:
            case.assertGreaterEqual(start, head, path)


class StartupOrder(unittest.TestCase):
    def test_both_trees_images_are_read_in_one_forward_sweep(self):
        isos = [os.environ["ZEPH_ISO"]] if os.environ.get("ZEPH_ISO") else [
            os.path.join(BUILD, tree, "zephrane-demo.iso") for tree in ("i686", "x86_64")]
        for iso in isos:
            with self.subTest(iso=iso):
                check_startup_order(self, iso)


class SameSourcesSameImage(unittest.TestCase):
    def test_a_clean_build_elsewhere_gives_the_same_image(self):
        epoch = int(read_file(EPOCH_FILE))
        if "SOURCE_DATE_EPOCH" not in os.environ:
            commit = run(["git", "-C", ROOT, "log", "-1", "--format=%ct"]).stdout.strip()
            if commit:
                self.assertEqual(epoch, int(commit), "the build is older than the last commit")
        for program in PROGRAMS:
            self.assertEqual(pe_time_stamp(os.path.join(DEMO_DISC, program)), epoch, program)

        with tempfile.TemporaryDirectory(prefix="zeph-same-") as scratch:
            # The art painted anew, the shipped programs built from clean in
            # a tree of another path, at another time.
            host = os.path.join(scratch, "host")
            os.makedirs(host)
            shutil.copy(EPOCH_FILE, host)
            self.assertEqual(run([DISCART, os.path.join(host, "disc-art")]).returncode, 0)
            tree = os.path.join(scratch, "i686")
            configure = run(["cmake", "-G", "Ninja", "-S", ROOT, "-B", tree,
                             "-DCMAKE_BUILD_TYPE=Release",
                             "-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake",
                             "-DZEPH_THREADS=win32", "-DZEPH_HOST_DIR=" + host], cwd=ROOT)
            self.assertEqual(configure.returncode, 0, configure.stderr)
            env = dict(os.environ)
            env.pop("SOURCE_DATE_EPOCH", None)
            built = run(["cmake", "--build", tree, "--target", "disc", "-j", "2"], env=env)
            self.assertEqual(built.returncode, 0, built.stdout[-3000:])
            disc = os.path.join(tree, "disc")
            for program in PROGRAMS:
                self.assertEqual(read_file(os.path.join(disc, program)),
                                 read_file(os.path.join(DEMO_DISC, program)), program)

            # Other dates, permissions and inode numbers than the build's.
            for number, relative in enumerate(disc_files(disc)):
                path = os.path.join(disc, relative)
                os.chmod(path, 0o600 if number % 2 else 0o755)
                os.utime(path, (1000000000 + number, 1000000000 + number))
            iso = os.path.join(scratch, "again.iso")
            mastered = run([sys.executable, os.path.join(ROOT, "tools", "mkiso.py"),
                            "--startorder", STARTORDER, "--bmpcheck", BMPCHECK, disc, iso],
                           env=dict(os.environ, SOURCE_DATE_EPOCH=str(epoch)))
            self.assertEqual(mastered.returncode, 0, mastered.stderr)
            self.assertTrue(read_file(iso) == read_file(DEMO_ISO),
                            "the image of a clean build differs from the build's")


class AuthorImage(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="zeph-author-")
        self.addCleanup(shutil.rmtree, self.work)
        # The author's folder names its pictures in other cases than the
        # launcher asks for; Windows finds them all the same.
        self.disc = os.path.join(self.work, "my disc")
        shutil.copytree(DEMO_DISC, self.disc)
        os.rename(os.path.join(self.disc, "bitmaps"), os.path.join(self.disc, "Bitmaps"))
        os.rename(os.path.join(self.disc, "Bitmaps", "fire01.bmp"),
                  os.path.join(self.disc, "Bitmaps", "FIRE01.BMP"))

    def master(self, iso, *options):
        return run([sys.executable, os.path.join(ROOT, "tools", "mkiso.py"), "--startorder",
                    STARTORDER, "--bmpcheck", BMPCHECK] + list(options) + ["my disc", iso],
                   cwd=self.work)

    def refused(self, finding, *options):
        refused = self.master("bad.iso", *options)
        self.assertEqual(refused.returncode, 1)
        self.assertIn(finding, refused.stderr)
        self.assertIn("no image written", refused.stderr)
        self.assertFalse({"bad.iso", "bad.iso.part"} & set(os.listdir(self.work)))
        return refused.stderr

    def test_names_in_other_cases_from_relative_paths(self):
        # Signing, and the same bytes twice, are shown on an author's own
        # disc made with the make command (e2e.own_disc).
        # make's own lists and a folder aside from a placing that never ended
        # are no part of the disc.
        os.makedirs(os.path.join(self.disc, "game", ".zorvex.exe.aside-x1"))
        for name in (".written-by-make.json.part", "game/.zorvex.exe.aside-x1/zorvex.exe"):
            open(os.path.join(self.disc, name), "w").close()
        made = self.master("out/first.iso")
        self.assertEqual(made.returncode, 0, made.stderr)
        check_startup_order(self, os.path.join(self.work, "out", "first.iso"))
        self.assertFalse([p for p in mastering.extents(os.path.join(self.work, "out", "first.iso"))
                          if p.startswith(".") or "/." in p])

    def test_a_temp_folder_without_room_is_named_before_the_work(self):
        tmp = os.path.join(self.work, "small tmp")
        os.mkdir(tmp)
        if run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", tmp]).returncode:
            self.skipTest("a small temp folder needs root to mount it")
        self.addCleanup(run, ["umount", tmp])
        os.environ["TMPDIR"] = tmp
        try:
            said = self.refused("the temp folder %s has 1.0 MB free; making this image needs about"
                                % tmp)
        finally:
            del os.environ["TMPDIR"]
        self.assertIn("point TMPDIR at a folder with room", said)
        self.assertEqual(len(said.splitlines()), 2, said)

    def test_names_windows_cannot_read_are_refused_by_name(self):
        outside = os.path.realpath(os.path.join(self.work, "outside.txt"))
        open(outside, "w").close()
        long_name = "a" * 61 + ".txt"
        # (name in the folder, where a link leads or None for a file, finding)
        deep = "game/%s/%s.txt" % ("d" * 60, "e" * 55)
        cases = [(long_name, None, ": the name is 65 characters long; the Joliet tree holds 64"),
                 (deep, None, "%s: the path is 125 characters long; the Joliet tree holds 120"
                  % deep),
                 ("game/clef\U0001d11e.txt", None, "clef\U0001d11e.txt: the name holds U+1D11E, "
                  "which the Joliet tree cannot spell"),
                 ("game/why?.txt", None, "why?.txt: the name holds '?', which Windows does not"),
                 ("README.TXT", None, "README.TXT and readme.txt differ only in case"),
                 ("Bitmaps/notes.txt", outside, "notes.txt is a link to %s, outside" % outside),
                 ("gone.txt", "setup.bak", "gone.txt is a link to setup.bak, which is not there"),
                 ("game/again", "..", "again is a link to %s, a folder that holds it"
                  % os.path.realpath(self.disc))]
        cases += [("game/" + name, None, "game/%s: the name is a device's to Windows" % name)
                  for name in ("CONIN$", "conout$.log", "CON .txt", "Com\u00b9.dat", "lpt\u00b3",
                               "aux.tar.gz")]
        for name, target, _ in cases:
            os.makedirs(os.path.dirname(os.path.join(self.disc, name)), exist_ok=True)
            if target:
                os.symlink(target, os.path.join(self.disc, name))
            else:
                open(os.path.join(self.disc, name), "w").close()
        findings = self.refused("")
        for _, _, finding in cases:
            self.assertIn(finding, findings)
        self.assertEqual(len(findings.splitlines()), len(cases) + 1, findings)

    def test_certificates_that_cannot_sign_are_refused(self):
        ca = os.path.join(self.work, "ca")
        # (name, how it is issued, finding)
        cases = [("expired", dict(start="20200101000000Z", end="20210101000000Z"),
                  "certificate of CN=expired expired on 2021-01-01 00:00:00Z; nothing is signed"),
                 ("early", dict(start="20990101000000Z", end="21000101000000Z"),
                  "certificate of CN=early is not valid before 2099-01-01 00:00:00Z; nothing is"),
                 ("server", dict(profile="server"), "CN=server does not allow code signing (its "
                  "extended key usage: TLS Web Server Authentication); nothing is signed"),
                 # In date and for code signing, but no root of the
                 # machine's vouches for it.
                 ("private", {}, "the signatures of launcher.exe do not hold in the image against "
                  "the roots in /"),
                 # A password's file is read as one line by every tool.
                 ("two lines", {}, "two lines.pass holds a second line; a password's file holds "
                  "the password alone")]
        for name, how, finding in cases:
            with self.subTest(name):
                certificate = testca.issue(ca, name, **how)
                password = []
                if name == "two lines":
                    password = ["--sign-pass-file", os.path.join(ca, "two lines.pass")]
                    with open(password[1], "w") as f:
                        f.write("secret\nsecret again\n")
                self.refused(finding, "--sign-cert", certificate,
                             "--sign-key", os.path.join(ca, name + ".key"), *password)

    def test_a_damaged_disc_is_refused_by_its_finding(self):
        background = os.path.join(self.disc, "Bitmaps", "8bg1.bmp")
        with open(background, "r+b") as f:
            f.truncate(1000)
        self.assertIn("bmpcheck on the image's pictures:",
                      self.refused("8bg1.bmp is shorter than its header says"))

        shutil.copy(os.path.join(DEMO_DISC, "bitmaps", "8bg1.bmp"), background)
        with open(os.path.join(self.disc, "autorun.inf"), "w", newline="\r\n") as f:
            f.write("[autorun]\nopen=start.exe\nlabel=My Disc\n")
        self.refused("autorun.inf opens start.exe, which is not on the disc")


if __name__ == "__main__":
    unittest.main()
