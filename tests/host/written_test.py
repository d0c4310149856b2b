"""The author's commands write over nothing but their own unchanged work: a
walk through `make art-template`, `make bitmaps` and an image placed as
`make iso` places it (scripts/author.sh), each step written, or refused and
changing nothing. Placing is whole or not at all: over a folder, through a
link onto another file system, interrupted, with a move that fails, on a
full file system and into a mount point."""

import json
import os
import shutil
import subprocess
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def snapshot(folder, leave=()):
    """Every file under folder, relative, with its bytes, but those named in leave."""
    found = {}
    for base, _, names in os.walk(folder):
        for name in set(names) - set(leave):
            with open(os.path.join(base, name), "rb") as f:
                found[os.path.relpath(os.path.join(base, name), folder)] = f.read()
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

    def test_placing_is_whole_or_not_at_all(self):
        home = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, home)
        shm = tempfile.mkdtemp(dir="/dev/shm")
        self.addCleanup(shutil.rmtree, shm)
        versions = []
        for n in (1, 2):
            versions.append(os.path.join(home, "v%d" % n))
            for name in ("a.txt", "sub/b.txt"):
                os.makedirs(os.path.join(versions[-1], "sub"), exist_ok=True)
                with open(os.path.join(versions[-1], name), "w") as f:
                    f.write("version %d of %s" % (n, name))

        def mount(folder, size):
            os.makedirs(folder)
            if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=" + size, "tmpfs", folder]).returncode:
                self.skipTest("a small file system needs root to mount it")
            self.addCleanup(subprocess.run, ["umount", folder])

        def place(out, what, force="", hook=None):
            """build_aside OUT as the author's commands run it: a copy of what;
            hook: code run in the Python that places, before it does."""
            env = dict(os.environ, FORCE=force)
            if hook:
                with open(os.path.join(home, "sitecustomize.py"), "w") as f:
                    f.write("import os, signal, sys\nif sys.argv[1:2] == ['place']:\n" + hook)
                env["PYTHONPATH"] = home
            copy = ["cp", "-R"] if os.path.isdir(what) else ["cp"]
            result = subprocess.run(["bash", "-c", 'source "$0/scripts/author.sh" && build_aside "$@"',
                                     ROOT, out] + copy + [what], env=env, start_new_session=True,
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            for folder in (home, shm, os.path.dirname(out), out if os.path.isdir(out) else home):
                self.assertEqual([], [n for n in os.listdir(folder) if ".aside-" in n or ".part" in n])
            return result.returncode, result.stdout.decode()

        # FORCE=1 writes over no folder, nor a folder over a file.
        documents, notes = os.path.join(home, "Documents"), os.path.join(home, "notes")
        os.makedirs(documents)
        for path in (os.path.join(documents, "letter.txt"), notes, os.path.join(home, "new.iso")):
            with open(path, "w") as f:
                f.write("mine")
        for out, what, said in ((documents, os.path.join(home, "new.iso"), " is a folder, where"),
                                (notes, versions[0], " is a file, where")):
            before = snapshot(home)
            status, output = place(out, what, "1")
            self.assertTrue(status and out + said in output, output)
            self.assertEqual(before, snapshot(home))
        # Through a link onto another file system: placed in the link's
        # target, then again over its own work, interrupted between two moves:
        # what was moved is put back, the list with it.
        linked = os.path.join(home, "linked")
        os.symlink(shm, linked)
        self.assertEqual(0, place(linked, versions[0])[0])
        before = snapshot(shm)
        status, output = place(linked, versions[1], hook="""
    def replace(a, b, real=os.replace):
        real(a, b)
        if b.endswith(os.sep + "a.txt") and ".aside-" not in b:
            os.killpg(0, signal.SIGINT)
    os.replace = replace
""")
        self.assertNotEqual(0, status, output)
        self.assertTrue(os.path.islink(linked))
        self.assertEqual(before, snapshot(shm))
        # A move that fails (a folder of OUT on another file system) and a
        # full file system leave OUT as it was.
        mine = os.path.join(home, "mine")
        mount(os.path.join(mine, "sub"), "64k")
        shutil.copytree(versions[0], mine, dirs_exist_ok=True)
        before = snapshot(mine)
        status, output = place(mine, versions[1], "1")
        self.assertTrue(status and os.path.join(mine, "sub", "b.txt") in output, output)
        self.assertEqual(before, snapshot(mine))
        stick = os.path.join(home, "stick")
        mount(stick, "64k")
        with open(os.path.join(home, "big.iso"), "wb") as f:
            f.write(b"x" * os.statvfs(stick).f_bavail * os.statvfs(stick).f_frsize)
        status, output = place(os.path.join(stick, "disc.iso"), os.path.join(home, "big.iso"))
        self.assertTrue(status and "No space left" in output, output)
        self.assertEqual([], os.listdir(stick))
        # OUT a mount point, whose parent lies on another file system.
        self.assertEqual(0, place(stick, versions[0])[0])
        self.assertEqual(snapshot(versions[0]), snapshot(stick, [".written-by-make.json"]))


if __name__ == "__main__":
    unittest.main()
