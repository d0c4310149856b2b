"""make proof writes its OUT over nothing but a picture it wrote itself that
nobody has changed since, unless told to with FORCE."""

import os
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import proof  # noqa: E402


class WhatProofWritesOver(unittest.TestCase):
    def test_its_own_unchanged_picture_or_anything_with_force(self):
        with tempfile.TemporaryDirectory() as folder:
            record = os.path.join(folder, "build", "proof", "made.json")
            own, art = os.path.join(folder, "own.png"), os.path.join(folder, "art.png")
            for path, data in ((os.path.join(folder, "made.png"), b"sheet"), (art, b"art")):
                with open(path, "wb") as f:
                    f.write(data)
            proof.put_in_place(os.path.join(folder, "made.png"), own, record)
            cases = [(own, False, None), (os.path.join(folder, "new.png"), False, None),
                     (art, False, "was not written by make proof"), (art, True, None),
                     (folder, True, "is a folder")]
            for out, force, why in cases:
                with self.subTest(out=out, force=force):
                    if why:
                        self.assertIn(out + " " + why, proof.refusal(out, record, force))
                    else:
                        self.assertIsNone(proof.refusal(out, record, force))
            with open(own, "ab") as f:
                f.write(b"painted over")
            self.assertIn("has changed since make proof wrote it; FORCE=1 writes over it",
                          proof.refusal(own, record, False))


if __name__ == "__main__":
    unittest.main()
