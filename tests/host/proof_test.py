"""make proof refuses an OUT that is a folder, FORCE or not, before it starts
anything, and leaves it as it was. Whether it may write over a file is
written.py's to say, as for every author command, right before it writes
(e2e.make_proof)."""

import contextlib
import io
import os
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import proof  # noqa: E402


class WhatProofWritesOver(unittest.TestCase):
    def test_never_a_folder(self):
        with tempfile.TemporaryDirectory() as folder:
            out = os.path.join(folder, "sheet.png")
            os.makedirs(os.path.join(out, "kept"))
            for force in ("", "1"):
                said = io.StringIO()
                with self.subTest(force=force), contextlib.redirect_stderr(said):
                    self.assertEqual(2, proof.main([folder, folder, out, force]))
                    self.assertIn(out + " is a folder", said.getvalue())
                    self.assertEqual(["sheet.png"], os.listdir(folder))
                    self.assertEqual(["kept"], os.listdir(out))


if __name__ == "__main__":
    unittest.main()
