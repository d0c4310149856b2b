"""The author's commands write over nothing but their own unchanged work: a
walk through `make art-template`, `make bitmaps` and an image placed as
`make iso` places it (scripts/author.sh), each step refused, naming the
first file in the way and changing nothing, or written."""

import os
import subprocess
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MAKE = ["make", "-s", "-C", ROOT]


def snapshot(folder):
    """Every file under folder, relative, with its bytes."""
    found = {}
    for base, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(base, name)
            with open(path, "rb") as f:
                found[os.path.relpath(path, folder)] = f.read()
    return found


class Overwrite(unittest.TestCase):
    def test_only_own_unchanged_work_is_written_over(self):
        with tempfile.TemporaryDirectory() as home:
            def path(*parts):
                return os.path.join(home, *parts)

            def write(name, data):
                os.makedirs(os.path.dirname(path(name)), exist_ok=True)
                with open(path(name), "wb") as f:
                    f.write(data)

            def painted():
                with open(path("my art", "8bg1.png"), "ab") as f:
                    f.write(b"paint")
            # An image as make iso places it: the same helper around its tool.
            image = ["bash", "-c", 'source "$0/scripts/author.sh" && build_aside "$1" cp "$2"', ROOT,
                     path("my images", "demo.iso")]
            write("new.iso", b"an image")
            template = MAKE + ["art-template"]
            cases = [
                # what is done first, the command, FORCE, the file refused (None: written; "":
                # the command fails), the folder that must stay as it was when refused
                (None, template + ["OUT=my art"], "", None, "my art"),
                (None, template + ["OUT=my art"], "", None, "my art"),
                (painted, template + ["OUT=my art"], "", "8bg1.png", "my art"),
                (None, template + ["OUT=my art"], "1", None, "my art"),
                (lambda: write("other art/fire01.png", b"mine"),
                 template + ["OUT=other art"], "", "fire01.png", "other art"),
                (lambda: os.makedirs(path("third art", "guide.png")),
                 template + ["OUT=third art"], "", "guide.png", "third art"),
                (None, MAKE + ["bitmaps", "ART=my art", "OUT=my disc/bitmaps"], "", None, "my disc"),
                (lambda: write("my disc/bitmaps/8b1u.bmp", b"mine"),
                 MAKE + ["bitmaps", "ART=my art", "OUT=my disc/bitmaps"], "", "8b1u.bmp", "my disc"),
                # Art without all 91 pictures, which bmpset refuses.
                (lambda: write("half art/8bg1.png", b""),
                 MAKE + ["bitmaps", "ART=half art", "OUT=my disc/bitmaps"], "1", "", "my disc"),
                (None, image + [path("new.iso")], "", None, "my images"),
                (lambda: write("new.iso", b"another image"), image + [path("new.iso")], "", None,
                 "my images"),
                (lambda: write("my images/demo.iso", b"the author's own"),
                 image + [path("new.iso")], "", "demo.iso", "my images"),
                (None, image + [path("new.iso")], "1", None, "my images"),
            ]
            for first, command, force, refused, where in cases:
                with self.subTest(command=command[1:], force=force, refused=refused):
                    if first:
                        first()
                    before = snapshot(path(where))
                    result = subprocess.run(command, cwd=home,
                                            env=dict(os.environ, FORCE=force, PWD=home),
                                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                    said = (result.stdout + result.stderr).decode()
                    if refused is None:
                        self.assertEqual(0, result.returncode, said)
                        self.assertNotIn("nothing was written", said)
                        continue
                    self.assertNotEqual(0, result.returncode, said)
                    self.assertEqual(before, snapshot(path(where)))
                    if refused:
                        self.assertIn(os.sep + refused + " is not what make wrote there", said)
                        self.assertIn("nothing was written", said)
            # FORCE=1 wrote over the painted picture and the author's image.
            with open(path("my art", "8bg1.png"), "rb") as f:
                self.assertFalse(f.read().endswith(b"paint"))
            with open(path("my images", "demo.iso"), "rb") as f:
                self.assertEqual(b"another image", f.read())
            self.assertEqual([], [n for n in os.listdir(home) if ".aside-" in n])


if __name__ == "__main__":
    unittest.main()
