#!/usr/bin/env python3
"""Masters a disc folder as the image an author burns or publishes, and
checks the image it wrote.

  mkiso.py [--identity FILE] [--sign-cert CERT [--sign-key KEY | --sign-key pkcs11:URI
            --sign-pkcs11-module MODULE] [--sign-pass-file FILE]
            | --sign-cmd "PROGRAM ARGUMENTS"] [--sign-root ROOTS] DISC ISO

The image is ISO 9660 (every name also a short 8.3 one) with Joliet names
for Windows and Rock Ridge for everything else, autorun.inf at its root:

- laid out in start-up order: the program autorun.inf opens, then the
  pictures in the order the launcher reads them (tools/startorder, for the
  layout of the disc's identity file, or the demo's), then everything
  else, so that a drive reads the start in one forward sweep;
- the same bytes from the same sources: every date is SOURCE_DATE_EPOCH
  (the caller's, or else the last commit's time), owners and permissions
  are Rock Ridge's fixed ones, names are read as UTF-8 whatever the
  locale, and the layout depends on names alone;
- with the names Windows reads: a name or a path the Joliet tree cannot
  hold whole or Windows cannot open, two names Windows cannot tell apart,
  and a link out of the folder or to nothing are refused before anything
  is mastered (tools/mastering.py); a link within the folder becomes a
  copy of what it leads to; make's own lists are left out;
- with a key (tools/signing.py: a PEM chain and its key, a .pfx, a key on
  a token, or a signing service's own command), every Portable Executable
  on the disc that carries no signature yet is Authenticode-signed, SHA-1
  with SHA-256 nested in it where the signer can, in a copy of the folder,
  so that the author's own files stay as they are; signed programs and
  older kinds (DOS, NE, LE) are left as they are, and listed
  (tools/programs.py).

The temp folder holds the copy and the image read back: a temp folder
without room for them is named before the work starts.

Then the image is read back: every file through the Joliet tree against
the folder (signed copies against the signed ones), the start-up order
from the image's own extents, the pictures through bmpcheck, autorun.inf
as Windows reads it, and the signatures of every program signed, against
--sign-root or the machine's trusted roots. The image is written under its
own name only when all of that holds; otherwise the findings are printed
and the exit status is 1.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
from typing import List, Optional

import identity
from discfolder import check_autorun, disc_files, find_file, open_program, read_autorun, volume_id
from mastering import (extents, joliet_problems, master, order_problems, read_back, source_date,
                       startup_order)
from refused import Refused, said
from signing import ALONE, sign, signer, verify
from written import bookkeeping

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MB = 1000 * 1000


def room(disc: str, iso: str) -> None:
    """Refused when the temp folder cannot hold the folder's copy and the
    image read back, with the image too where it lies on the same file
    system, or when the image's own folder cannot hold it."""
    size = sum(-(-os.path.getsize(os.path.join(disc, f)) // 4096) * 4096 for f in disc_files(disc))
    temp, beside = tempfile.gettempdir(), os.path.dirname(os.path.abspath(iso))
    same = os.stat(temp).st_dev == os.stat(beside).st_dev
    for folder, need, what, where in (
            (temp, (3 if same else 2) * size, "the temp folder", ": point TMPDIR at a folder with "
             "room (make iso TMPDIR=folder ...)"),
            (beside, 0 if same else size, "the image's folder", "")):
        free = shutil.disk_usage(folder).free
        if need > free:
            raise Refused("%s %s has %.1f MB free; making this image needs about %.1f MB there%s"
                          % (what, folder, free / MB, need / MB, where))


def disc_layout(identity_file: Optional[str], work: str) -> List[str]:
    """The disc tools' --layout option for the identity file's layout, or
    nothing for the demo's."""
    if not identity_file:
        return []
    try:
        text = identity.layout_file(identity.load(identity_file), identity_file)
    except identity.Refused as e:
        raise Refused("\n".join("%s: %s" % (identity_file, fault) for fault in e.args[0]))
    path = os.path.join(work, "layout.txt")
    with open(path, "w") as f:
        f.write(text)
    return ["--layout", path]


def make_image(args: argparse.Namespace) -> List[str]:
    """Masters and checks; the summary lines. Raises Refused with every
    finding when the image is not fit to publish."""
    disc, iso = args.disc, args.iso
    if not os.path.isdir(disc):
        raise Refused("%s is not a folder" % disc)
    date = source_date()
    _, entries, problems = read_autorun(disc)
    problems += check_autorun(disc, entries) + joliet_problems(disc)
    if problems:
        raise Refused("\n".join(problems))
    program = open_program(entries)

    os.makedirs(os.path.dirname(os.path.abspath(iso)), exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="mkiso-") as work:
        signing = signer(args.sign_cert, args.sign_key, args.sign_pass_file, args.sign_root,
                         args.sign_pkcs11_module, args.sign_cmd, work)
        room(disc, iso)
        layout = disc_layout(args.identity, work)
        # The copy holds the files the folder's links lead to, and the
        # signed programs, so that the author's own files stay as they are.
        folder = os.path.join(work, "disc")
        shutil.copytree(disc, folder, ignore=lambda _, names: [n for n in names if bookkeeping(n)])
        signed, left = sign(folder, signing, date) if signing else ([], [])
        order = startup_order(folder, program, args.startorder, layout)
        partial = iso + ".part"
        master(folder, partial, volume_id(entries), order, date, work)
        try:
            copy, problems = read_back(partial, folder, work)
            problems += order_problems(extents(partial), order)
            bitmaps = find_file(copy, "bitmaps")
            check = subprocess.run([args.bmpcheck] + layout + [bitmaps or os.path.join(copy, "bitmaps")],
                                   capture_output=True, text=True)
            if check.returncode != 0:
                problems += ["bmpcheck on the image's pictures: " + line
                             for line in check.stdout.splitlines() + check.stderr.splitlines()
                             if line.strip() and not line.startswith("note:")]
                if not layout:
                    problems.append("(the pictures are checked for the demo's layout: a disc of "
                                    "another layout gives its identity file, IDENTITY=file)")
            problems += check_autorun(copy, read_autorun(copy)[1])
            used, alone = args.sign_root, []
            for relative in signed:
                verified = verify(os.path.join(copy, relative), args.sign_root)
                used = verified.roots
                if verified.problem is not None:
                    problems.append("the signatures of %s do not hold in the image against the "
                                    "roots in %s: %s" % (relative, used, verified.problem))
                elif verified.digests == ALONE:
                    alone.append(relative)
            if problems:
                raise Refused("\n".join(problems))
            os.replace(partial, iso)
        finally:
            if os.path.exists(partial):
                os.remove(partial)
        files = len(disc_files(folder))
    summary = ["%s: %d files, %d bytes, volume %s, dated %d"
               % (iso, files, os.path.getsize(iso), volume_id(entries), date),
               "start-up order: %s and %d pictures in one forward read"
               % (program, len(order) - 1),
               "read back through the Joliet tree: every file, the pictures (bmpcheck) and "
               "autorun.inf in order"]
    nested = [relative for relative in signed if relative not in alone]
    if nested:
        summary.append("signed, SHA-1 with SHA-256 nested in it, and verified in the image "
                       "against the roots in %s: %s" % (used, ", ".join(nested)))
    if alone:
        summary.append("signed with SHA-256 alone, as the signer makes no SHA-1 signature (Windows "
                       "2000 and XP before SP3 show these as unsigned), and verified in the image "
                       "against the roots in %s: %s" % (used, ", ".join(alone)))
    summary += ["left as it is: " + line for line in left]
    return summary


def main(argv: List[str]) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("disc", help="the disc folder")
    parser.add_argument("iso", help="the image to write")
    parser.add_argument("--identity", help="the disc's identity file, whose layout the pictures "
                        "have; else the demo's")
    parser.add_argument("--sign-cert", help="the certificate to sign the disc's programs with: "
                        "PEM with its intermediates (or DER), or a .pfx/.p12 with its key")
    parser.add_argument("--sign-key", help="the private key of a PEM or DER certificate: a file, "
                        "or a pkcs11: URI of a key on a token")
    parser.add_argument("--sign-pkcs11-module", help="the PKCS#11 module that reaches the token")
    parser.add_argument("--sign-pass-file", help="a file whose one line is the password of the "
                        ".pfx or the key, or the token's PIN")
    parser.add_argument("--sign-cmd", help="a program and its arguments that sign in place the "
                        "file given after them (a signing service's client)")
    parser.add_argument("--sign-root", help="the roots to verify the signatures against (PEM), "
                        "instead of the machine's trusted ones")
    build = os.path.join(os.environ.get("ZEPH_BUILD", os.path.join(ROOT, "build")), "host", "tools")
    parser.add_argument("--startorder", default=os.path.join(build, "startorder"))
    parser.add_argument("--bmpcheck", default=os.path.join(build, "bmpcheck"))
    args = parser.parse_args(argv[1:])
    try:
        for line in make_image(args):
            print("mkiso: " + line)
    except (Refused, OSError) as e:
        for line in said(e).splitlines():
            print("mkiso: %s" % line, file=sys.stderr)
        print("mkiso: no image written", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print("mkiso: stopped; no image written", file=sys.stderr)
        return 130
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
