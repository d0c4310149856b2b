"""The identity file: a disc's names, texts and addresses, checked before
anything is built. Each kind of bad file is refused with a line that names
its key, and nothing is written; a key left out takes the demo's value; and
`make disc`'s script stops at a bad file before it builds or writes a thing."""

import os
import random
import struct
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TOOL = os.path.join(ROOT, "tools", "identity.py")
sys.path.insert(0, os.path.join(ROOT, "tools"))
import identity  # noqa: E402


def ico(sizes):
    """An icon file's header and directory for square pictures of the sizes,
    each with a few bytes of data."""
    head = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    entries = b""
    for size in sizes:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 8, 4, offset)
        offset += 4
    return head + entries + b"\0" * 4 * len(sizes)


class IdentityFile(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.dir = self.temp.name

    def tearDown(self):
        self.temp.cleanup()

    def run_tool(self, text, *args):
        """Runs the tool on the text, as latin-1 unless it is given as bytes."""
        path = os.path.join(self.dir, "identity.txt")
        with open(path, "wb") as f:
            f.write(text if isinstance(text, bytes) else text.encode("latin-1"))
        out = os.path.join(self.dir, "out")
        result = subprocess.run([sys.executable, TOOL] + list(args or ("write",)) + [path, out],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        return result.returncode, result.stderr.decode(), out

    def test_each_bad_value_is_refused_by_its_key_and_nothing_is_written(self):
        with open(os.path.join(self.dir, "small.ico"), "wb") as f:
            f.write(ico([32]))
        cases = [
            ("titel = Stormhaven", "unknown key 'titel' (did you mean title?)"),
            ("title = " + "S" * 200, "title is 200 characters long, more than the 199 it may have"),
            ("title = Storm\thaven", "title holds the control character U+0009"),
            ("title = \u0417orvex".encode("utf-8"), "title holds 'З' (U+0417), which the disc's "
                                                   "code page 1252 does not have"),
            # Windows reads 0x81 0x60 back as U+FF5E, not as the wave dash.
            ("codepage = 932\ntitle = 1\u301c2".encode("utf-8"), "title holds '〜' (U+301C), which "
                                                              "the disc's code page 932 does not have"),
            (("codepage = 932\nlabel = " + "\u8868" * 17).encode("utf-8"),
             "label takes 34 bytes in code page 932, more than the 32 it may have"),
            ("title = \u30be".encode("cp932"), "title holds the control character U+0083; is the "
                                               "file saved as UTF-8?"),
            ("codepage = 437", "codepage '437' is not a Windows ANSI code page"),
            ("game = K\xe9el.exe".encode("utf-8"), "game holds 'é' (U+00E9), which is not printable "
                                                   "ASCII"),
            ("title =", "title is empty"),
            ("game = keel:run.exe", "game 'keel:run.exe' holds :, which Windows forbids in a file name"),
            ("game = keelrun", "game 'keelrun' is not a program's file name ending in .exe"),
            ("game = AUX.exe", "game 'AUX.exe' is named like the device AUX"),
            ("game = conin$.exe", "game 'conin$.exe' is named like the device CONIN$"),
            ("uninstall_key = Storm\\haven", "uninstall_key 'Storm\\\\haven' holds \\, which Windows "
                                             "forbids in a key's name"),
            ("uninstall_key = " + "k" * 256, "uninstall_key is 256 characters long, more than the 255"),
            ("url_game = ftp://stormhaven.example/", "url_game 'ftp://stormhaven.example/' is not a "
                                                     "web address"),
            ("url_licensor = http://a b.example/", "url_licensor 'http://a b.example/' is not a web "
                                                   "address"),
            ("version = 2.1.70000", "version '2.1.70000' is not one to four numbers"),
            ("label = " + "L" * 33, "label is 33 characters long, more than the 32 it may have"),
            ("icon = small.ico", "has no 16 x 16 or 48 x 48 picture; the launcher's icon has 16 x 16, "
                                 "32 x 32, 48 x 48"),
            ("icon = none.ico", "icon: %s cannot be read" % os.path.join(self.dir, "none.ico")),
            ("product = Storm\x7fhaven", "product holds the control character U+007F"),
            ("title = A\ntitle = B", "line 2: title is given twice"),
            ("company Brightwater", "line 1 is not `key = value` or a comment: company Brightwater"),
            # Notepad's superscript two, in its old code page and in UTF-8.
            ("version = 1.\xb2", "version '1.\xb2' is not one to four numbers"),
            ("version = 1.\xb2".encode("utf-8"), "version '1.\xb2' is not one to four numbers"),
            # Notepad's "UTF-8 with BOM": the mark is no part of the first key.
            ("\ufeffgame = keel:run.exe".encode("utf-8"), "game 'keel:run.exe' holds :"),
            # And its "Unicode", UTF-16, whose every other byte is a zero.
            ("game = keel:run.exe".encode("utf-16"), "saved as UTF-16 (Notepad's \"Unicode\"): "
                                                     "save it as UTF-8"),
            ("icon = tab\there.ico", "icon holds a control character"),
            ("background = 800 x 600", "background '800 x 600' is not two numbers"),
            ("background = 1280 800", "background 1280 x 800 is not from 320 x 240 to 1024 x 768"),
            ("exit = 600 306 124 56", "exit '600 306 124 56' does not lie inside the 640 x 452 "
                                      "background"),
            ("readme = 20 306 124", "readme '20 306 124' is not four numbers"),
            ("install = 20 237 0 56", "install '20 237 0 56': its width and height must be at least 1"),
            ("big_flame = 339 62 50 136 20", "big_flame '339 62 50 136 20': its fifth number, the "
                                             "count of its frame files, is 16"),
            ("background = 640 240", "licensor (the demo's value, as the file leaves it out) '263 347 "
                                     "115 94' does not lie inside the 640 x 240 background"),
        ]
        for text, reason in cases:
            with self.subTest(text=text[:40]):
                status, errors, out = self.run_tool(text + (b"\n" if isinstance(text, bytes) else "\n"))
                self.assertEqual(1, status, errors)
                # A smaller background leaves each of the demo's lower places outside it.
                self.assertEqual(9 if "640 240" in str(text) else 2, len(errors.splitlines()), errors)
                self.assertIn(reason, errors)
                self.assertIn("refused; nothing was built", errors)
                self.assertFalse(os.path.exists(out))

    def test_every_fault_of_a_file_is_told_at_once(self):
        status, errors, _ = self.run_tool("title =\ngame = a/b.exe\ncolour = red\n")
        self.assertEqual(1, status)
        self.assertEqual(4, len(errors.splitlines()), errors)

    def test_random_files_are_taken_or_refused_line_by_line(self):
        """A seeded run of random files: each is taken, or refused with one
        line a fault, which begins with its key or line; never a traceback."""
        rng = random.Random(26)
        pieces = ["1", ".", "\xb2", "\xe9", "\u0663", "\0", "\t", "\\", ":", " ", "=", ".exe", "\ufeff"]
        path = os.path.join(self.dir, "random.txt")
        for _ in range(2000):
            text = "\n".join("%s = %s" % (rng.choice(identity.KEYS + ("titel",)),
                                          "".join(rng.choices(pieces, k=rng.randrange(4))))
                             for _ in range(rng.randrange(1, 4)))
            with open(path, "wb") as f:
                f.write(text.encode(rng.choice(["utf-8", "utf-8-sig", "cp1252"]), "replace"))
            try:
                identity.header(identity.load(path), path)
            except identity.Refused as e:
                for fault in e.args[0]:
                    self.assertRegex(fault, r"^(line \d+|%s)\b[^\n]*$" % "|".join(identity.KEYS))

    def test_a_key_left_out_takes_the_demos_value(self):
        # Saved with a byte-order mark, a comment in another code page, and
        # the icon in a folder of the author's whose name is no ASCII.
        icons = os.path.join(self.dir, "Zo\xeb's icons")
        os.mkdir(icons)
        with open(os.path.join(icons, "mine.ico"), "wb") as f:
            f.write(ico([16, 32, 48]))
        status, errors, out = self.run_tool(
            b"\xef\xbb\xbf# Stormhaven's disc, \xa9 Brightwater\n  title = Stormhaven Launcher  \r\n" +
            "icon = Zo\xeb's icons/mine.ico\n".encode("utf-8") +
            b"version = 2.1\nlabel = Storm-haven Trial 2\n")
        self.assertEqual(0, status, errors)
        with open(os.path.join(out, "identity.h"), encoding="utf-8") as f:
            header = f.read()
        for line in ('#define ZEPH_TITLE "Stormhaven Launcher"',
                     '#define ZEPH_APP_PATHS_KEY "SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion'
                     '\\\\App Paths\\\\zorvex.exe"',
                     '#define ZEPH_URL_DEVELOPER "http://www.vexmoor.example/"',
                     '#define ZEPH_ICON_FILE "%s"' % os.path.join(icons, "mine.ico"),
                     '#define ZEPH_VERSION_STRING "2.1.0.0"',
                     '#define ZEPH_VERSION_MINOR 1',
                     '#define ZEPH_FILE_DESCRIPTION L"Zephrane Demo Launcher"',
                     '#define ZEPH_MESSAGE_NO_ASSOCIATION nullptr'):
            self.assertIn(line + "\n", header)
        with open(os.path.join(out, "autorun.inf"), "rb") as f:
            self.assertEqual(b"[autorun]\r\nopen=launcher.exe\r\nicon=launcher.exe,0\r\n"
                             b"label=Storm-haven Trial 2\r\n", f.read())
        result = subprocess.run([sys.executable, TOOL, "get", os.path.join(self.dir, "identity.txt"),
                                 "volume_label"], stdout=subprocess.PIPE, check=True)
        self.assertEqual(b"STORM_HAVEN_TRIAL_2\n", result.stdout)

    def test_a_layout_of_its_own(self):
        """Play takes install's place, a button set to none needs no address
        and the demo's is not built in, a flame needs 16 frames, and buttons
        that overlap are warned of, each pair the pointer may find at one
        time, but taken."""
        path = os.path.join(self.dir, "identity.txt")
        with open(path, "w") as f:
            f.write("background = 800 600\ninstall = 560 420 180 60\nreadme = 600 440 100 60\n"
                    "directx = none\nbig_flame = 640 120 70 180\nsmall_flame = NONE\n")
        result = subprocess.run([sys.executable, TOOL, "check", path], stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(["%s: warning: %s and readme overlap: where both lie, the pointer finds "
                          "readme, which the launcher tests later" % (path, b)
                          for b in ("install", "play")], result.stderr.splitlines())
        loaded = identity.load(path)
        layout = identity.Layout(loaded)
        self.assertEqual((804, 604), layout.window)
        self.assertEqual((560, 420, 180, 60), layout.buttons[8])
        self.assertEqual((500, 306, 124, 56), layout.buttons[9])
        self.assertNotIn(2, layout.buttons)
        self.assertEqual([(640, 120, 70, 180, 16), None], layout.flames)
        header = identity.header(loaded, "")
        self.assertIn('#define ZEPH_URL_DIRECTX ""\n', header)
        self.assertIn("#define ZEPH_LAYOUT {{0, 0, 800, 600}, {{0, 0, 0, 0}, {560, 420, 740, 480}, "
                      "{0, 0, 0, 0}, {0, 0, 0, 0}, {600, 440, 700, 500}, ", header)
        self.assertIn("{{640, 120, 710, 300}, {0, 0, 0, 0}}, {16, 0}}\n", header)

    def test_a_disc_for_another_market_in_its_code_page(self):
        """What the disc shows, as its code page's bytes for Windows 95 to ME
        and as UTF-16 for NT; the second byte of "表" is a backslash's, and a
        hex digit after an escape begins a string of its own. The volume
        label keeps the label's ASCII words."""
        status, errors, out = self.run_tool(
            "codepage = 932\ntitle = \u30be\u8868a\nlabel = \u4f53\u9a13\u7248 Trial\n"
            "action = \u30be\u30fc\u30d9\nmessage_dde_failed = \u5931\\n\u6557\n"
            "company = Quill & \u9577\n".encode("utf-8"))
        self.assertEqual(0, status, errors)
        with open(os.path.join(out, "identity.h"), encoding="utf-8") as f:
            header = f.read()
        for line in ('#define ZEPH_TITLE "\\203]\\225\\134a"',
                     '#define ZEPH_TITLE_W L"\\x30be\\x8868" L"a"',
                     '#define ZEPH_MESSAGE_DDE_FAILED "\\216\\270\\015\\012\\224s"',
                     '#define ZEPH_MESSAGE_DDE_FAILED_W L"\\x5931\\x000d\\x000a\\x6557"',
                     '#define ZEPH_MESSAGE_DDE_BUSY_W nullptr',
                     '#define ZEPH_COPYRIGHT L"Copyright (C) Quill & \\x9577"'):
            self.assertIn(line + "\n", header)
        with open(os.path.join(out, "autorun.inf"), "rb") as f:
            self.assertEqual(b"[autorun]\r\nopen=launcher.exe\r\nicon=launcher.exe,0\r\n"
                             b"label=\x91\xcc\x8c\xb1\x94\xc5 Trial\r\naction=\x83]\x81[\x83x\r\n", f.read())
        result = subprocess.run([sys.executable, TOOL, "get", os.path.join(self.dir, "identity.txt"),
                                 "volume_label"], stdout=subprocess.PIPE, check=True)
        self.assertEqual(b"TRIAL\n", result.stdout)

    def test_make_disc_stops_at_a_bad_file_before_it_builds(self):
        for folder in ("art", "files"):
            os.mkdir(os.path.join(self.dir, folder))
        bad = os.path.join(self.dir, "bad.txt")
        with open(bad, "w") as f:
            f.write("game = keel|run.exe\n")
        build = os.path.join(self.dir, "build")
        result = subprocess.run(
            [os.path.join(ROOT, "scripts", "disc.sh"), bad, os.path.join(self.dir, "art"),
             os.path.join(self.dir, "files"), os.path.join(self.dir, "disc")],
            env=dict(os.environ, ZEPH_BUILD=build), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.assertEqual(1, result.returncode)
        self.assertIn("game 'keel|run.exe' holds |", result.stderr.decode())
        self.assertFalse(os.path.exists(os.path.join(self.dir, "disc")))
        self.assertFalse(os.path.exists(build))


if __name__ == "__main__":
    unittest.main()
