"""The author's commands write over nothing but their own unchanged work: a
walk through `make art-template`, `make bitmaps` and an image placed as
`make iso` places it (scripts/author.sh), each step written, or refused and
changing nothing."""

import os
import subprocess
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def snapshot(folder):
    found = {}
    for base, _, names in os.walk(folder):
        for name in names:
            with open(os.path.join(base, name), "rb") as f:
                found[os.path.join(base, name)] = f.read()
    return found


class Overwrite(unittest.TestCase):
    def test_only_own_unchanged_work_is_written_over(self):
        with tempfile.TemporaryDirectory() as home:
            def write(name, data):
                os.makedirs(os.path.dirname(os.path.join(home, name)), exist_ok=True)
                with open(os.path.join(home, name), "wb") as f:
                    f.write(data)
            make = ["make", "-s", "-C", ROOT]
            template = make + ["art-template", "OUT=my art"]
            image = ["bash", "-c", 'source "$0/scripts/author.sh" && build_aside "$1" cp "$2"', ROOT,
                     os.path.join(home, "my images", "demo.iso"), os.path.join(home, "new.iso")]
            cases = [
                # what is written first, the command, FORCE, the file refused (None: the command
                # writes; "": it fails), the folder that then stays as it was
                (None, template, "", None, "my art"),
                (None, template, "", None, "my art"),
                (("my art/8bg1.png", b"painted"), template, "", "8bg1.png", "my art"),
                (None, template, "1", None, "my art"),
                (("other art/fire01.png", b"mine"), make + ["art-template", "OUT=other art"], "",
                 "fire01.png", "other art"),
                (None, make + ["bitmaps", "ART=my art", "OUT=my disc/bitmaps"], "", None, "my disc"),
                (("half art/8bg1.png", b""), make + ["bitmaps", "ART=half art", "OUT=my disc/bitmaps"],
                 "1", "", "my disc"),
                (("new.iso", b"an image"), image, "", None, "my images"),
                (("new.iso", b"another image"), image, "", None, "my images"),
                (("my images/demo.iso", b"mine"), image, "", "demo.iso", "my images"),
            ]
            for first, command, force, refused, kept in cases:
                with self.subTest(command=command[-2:], force=force, refused=refused):
                    if first:
                        write(*first)
                    before = snapshot(os.path.join(home, kept))
                    result = subprocess.run(command, cwd=home, env=dict(os.environ, FORCE=force, PWD=home),
                                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
                    said = result.stdout.decode()
                    self.assertEqual(refused is None, result.returncode == 0, said)
                    if refused is not None:
                        self.assertEqual(before, snapshot(os.path.join(home, kept)))
                    if refused:
                        self.assertIn(os.sep + refused + " is not what make wrote there", said)
            with open(os.path.join(home, "my art", "8bg1.png"), "rb") as f:
                self.assertNotEqual(b"painted", f.read())
            self.assertEqual([], [n for n in os.listdir(home) if ".aside-" in n])


if __name__ == "__main__":
    unittest.main()
