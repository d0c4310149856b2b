#!/usr/bin/env python3
"""Masters a disc folder as the image an author burns or publishes, and
checks the image it wrote.

  mkiso.py [--sign-cert CERT --sign-key KEY] DISC ISO

The image is ISO 9660 (every name also a short 8.3 one) with Joliet names
for Windows and Rock Ridge for everything else, autorun.inf at its root:

- laid out in start-up order: the program autorun.inf opens, then the
  pictures in the order the launcher reads them (tools/startorder), then
  everything else, so that a drive reads the start in one forward sweep;
- the same bytes from the same sources: every date is SOURCE_DATE_EPOCH
  (the caller's, or else the last commit's time), owners and permissions
  are Rock Ridge's fixed ones, and the layout depends on names alone;
- with a certificate and its key, every program on the disc is
  Authenticode-signed (osslsigncode) in a copy of the folder, so that the
  author's own files stay as they are.

Then the image is read back: every file against the folder (signed copies
against the signed ones), the start-up order from the image's own extents,
the pictures through bmpcheck, autorun.inf as Windows reads it, and every
signature. The image is written under its own name only when all of that
holds; otherwise the findings are printed and the exit status is 1.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
from typing import Dict, List, Optional, Tuple

from written import RECORD

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BLOCK = 2048


class Refused(Exception):
    """A finding that stops the image; the message says what to mend."""


def source_date() -> int:
    """The time every date of the image says: SOURCE_DATE_EPOCH when set,
    else the time of the sources' last commit."""
    value = os.environ.get("SOURCE_DATE_EPOCH", "")
    if value:
        if not value.isdigit():
            raise Refused("SOURCE_DATE_EPOCH is %r, not a number of seconds" % value)
        return int(value)
    result = subprocess.run(["git", "-C", ROOT, "log", "-1", "--format=%ct"],
                            capture_output=True, text=True)
    if result.returncode != 0 or not result.stdout.strip().isdigit():
        print("mkiso: no SOURCE_DATE_EPOCH and no commit to date the image by: dated now, so "
              "it will not be made the same again", file=sys.stderr)
        return int(time.time())
    return int(result.stdout.strip())


def find_file(folder: str, relative: str) -> Optional[str]:
    """The path under folder that Windows would open for a relative path,
    whatever the case of its parts; None if there is none."""
    found = folder
    for part in re.split(r"[\\/]+", relative.strip("\\/")):
        try:
            names = sorted(os.listdir(found))
        except OSError:
            return None
        match = [n for n in names if n == part] or [n for n in names if n.lower() == part.lower()]
        if not match:
            return None
        found = os.path.join(found, match[0])
    return found


def disc_files(folder: str) -> List[str]:
    """Every file under folder, relative, with / between parts, sorted; the
    lists of what make wrote (tools/written.py) are no part of the disc."""
    files = []
    for base, dirs, names in os.walk(folder):
        dirs.sort()
        for name in sorted(set(names) - {RECORD}):
            files.append(os.path.relpath(os.path.join(base, name), folder).replace(os.sep, "/"))
    return files


def read_autorun(disc: str) -> Tuple[Optional[str], Dict[str, str], List[str]]:
    """autorun.inf's [autorun] lines as Windows reads them (keys in lower
    case), its path, and what is wrong with it."""
    path = find_file(disc, "autorun.inf")
    if path is None or not os.path.isfile(path):
        return None, {}, ["there is no autorun.inf at the disc's root, so the disc never starts by itself"]
    entries: Dict[str, str] = {}
    section = None
    seen_section = False
    with open(path, "rb") as f:
        text = f.read().decode("latin-1")
    for line in text.splitlines():
        line = line.strip()
        if not line or line.startswith(";"):
            continue
        if line.startswith("[") and line.endswith("]"):
            section = line[1:-1].strip().lower()
            seen_section = seen_section or section == "autorun"
        elif section == "autorun" and "=" in line:
            key, value = line.split("=", 1)
            entries.setdefault(key.strip().lower(), value.strip())
    problems = []
    if not seen_section:
        problems.append("autorun.inf has no [autorun] section")
    elif "open" not in entries:
        problems.append("autorun.inf's [autorun] section has no open= line naming the program to start")
    return path, entries, problems


def open_program(entries: Dict[str, str]) -> Optional[str]:
    """The program an open= line starts, without its arguments."""
    value = entries.get("open", "")
    if value.startswith('"'):
        return value[1:].split('"', 1)[0] or None
    return value.split()[0] if value.split() else None


def is_program(path: str) -> bool:
    with open(path, "rb") as f:
        return f.read(2) == b"MZ"


def check_autorun(disc: str, entries: Dict[str, str]) -> List[str]:
    """What Windows would not find of what autorun.inf names."""
    problems = []
    program = open_program(entries)
    if program is not None:
        found = find_file(disc, program)
        if found is None or not os.path.isfile(found):
            problems.append("autorun.inf opens %s, which is not on the disc" % program)
        elif not is_program(found):
            problems.append("autorun.inf opens %s, which is not a Windows program" % program)
    if "icon" in entries:
        icon = entries["icon"].rsplit(",", 1)[0].strip().strip('"')
        found = find_file(disc, icon)
        if found is None or not os.path.isfile(found):
            problems.append("autorun.inf's icon %s is not on the disc" % icon)
    if len(entries.get("label", "")) > 32:
        problems.append("autorun.inf's label is longer than the 32 characters Windows shows")
    return problems


def volume_id(entries: Dict[str, str]) -> str:
    """The ISO 9660 volume name: autorun.inf's label in the characters a
    volume name may hold."""
    label = re.sub(r"[^A-Z0-9_]", "_", entries.get("label", "").upper())[:32]
    return label or "CDROM"


def startup_order(disc: str, program: str, startorder: str) -> List[str]:
    """The files the launcher reads as it starts, in its order, as they are
    named in the folder (relative, / between parts). Files the folder lacks
    are left out: bmpcheck tells of them."""
    listed = subprocess.run([startorder], capture_output=True, text=True, check=True).stdout.split()
    order = []
    for relative in [program] + listed:
        found = find_file(disc, relative)
        if found is not None and os.path.isfile(found):
            order.append(os.path.relpath(found, disc).replace(os.sep, "/"))
    return order


def extents(iso: str) -> Dict[str, Tuple[int, int]]:
    """Each file's first block and its size in bytes, read from the image's
    own directory records; paths as in the folder, / between parts."""
    result = subprocess.run(["xorriso", "-indev", iso, "-find", "/", "-type", "f",
                             "-exec", "report_lba", "--"], capture_output=True, text=True)
    if result.returncode != 0:
        raise Refused("xorriso cannot read %s: %s" % (iso, result.stderr.strip()))
    found = {}
    for line in result.stdout.splitlines():
        m = re.match(r"File data lba:\s*\d+\s*,\s*(\d+)\s*,\s*\d+\s*,\s*(\d+)\s*,\s*'/(.*)'$", line)
        if m:
            found[m.group(3)] = (int(m.group(1)), int(m.group(2)))
    return found


def blocks(size: int) -> int:
    return (size + BLOCK - 1) // BLOCK


def jumps(layout: Dict[str, Tuple[int, int]], order: List[str]) -> List[Tuple[str, int, int]]:
    """Every read of the order that starts somewhere other than where the
    read before it ended: (file, block where the head was, block it goes to)."""
    found = []
    head = None
    for path in order:
        start, size = layout[path]
        if head is not None and start != head:
            found.append((path, head, start))
        head = start + blocks(size)
    return found


def order_problems(layout: Dict[str, Tuple[int, int]], order: List[str]) -> List[str]:
    """The start-up order's reads may make one forward jump, from the
    program to the first picture; any other is a finding."""
    missing = [path for path in order if path not in layout]
    if missing:
        return ["the image lacks %s" % ", ".join(missing)]
    problems = []
    for index, (path, head, start) in enumerate(jumps(layout, order)):
        if index == 0 and order.index(path) == 1 and start > head:
            continue
        problems.append("start-up reads %s at block %d, not after the file before it (block %d)"
                        % (path, start, head))
    return problems


def sign(folder: str, cert: str, key: str, date: int) -> List[str]:
    """Signs every program of the folder in place; the programs signed."""
    signed = []
    for relative in disc_files(folder):
        path = os.path.join(folder, relative)
        if not is_program(path):
            continue
        # The signing time is the image's date, so that signing twice gives
        # the same bytes; no time-stamp server is asked (see disc-authors.md).
        result = subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-h", "sha256",
                                 "-time", str(date), "-in", path, "-out", path + ".signed"],
                                capture_output=True, text=True, stdin=subprocess.DEVNULL)
        if result.returncode != 0:
            raise Refused("osslsigncode could not sign %s: %s"
                          % (relative, (result.stdout + result.stderr).strip()))
        os.replace(path + ".signed", path)
        signed.append(relative)
    return signed


def verify(path: str, cert: str) -> Optional[str]:
    """None when the program's signature holds for its bytes and chains to
    the certificate it was made with, as of now (without a time stamp,
    Windows too checks the certificate at the time it looks); else
    osslsigncode's account."""
    result = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", path], capture_output=True, text=True, stdin=subprocess.DEVNULL)
    if result.returncode == 0:
        return None
    lines = [l for l in (result.stdout + result.stderr).splitlines() if l.strip()]
    return "; ".join(lines[-3:])


def master(folder: str, iso: str, label: str, order: List[str], date: int, work: str) -> None:
    weights = os.path.join(work, "sort-weights")
    with open(weights, "w", encoding="utf-8") as f:
        # Higher weights lie first; every other file keeps weight 0.
        for index, path in enumerate(order):
            f.write("%d /%s\n" % (len(order) - index, path))
    env = dict(os.environ, SOURCE_DATE_EPOCH=str(date))
    result = subprocess.run(
        ["xorriso", "-volume_date", "all_file_dates", "=%d" % date,
         "-as", "mkisofs", "-quiet", "-iso-level", "1", "-V", label, "-J", "-r",
         # Owners are root and modes fixed, whatever the folder's.
         "-file-mode", "0444", "-dir-mode", "0555", "-m", RECORD,
         "--sort-weight-list", weights, "-o", iso, folder],
        capture_output=True, text=True, env=env, stdin=subprocess.DEVNULL)
    if result.returncode != 0:
        raise Refused("xorriso could not master the image: %s" % result.stderr.strip())


def read_back(iso: str, folder: str, work: str) -> Tuple[str, List[str]]:
    """Extracts the image and compares every file with the folder's; where
    it was extracted, and what differs."""
    copy = os.path.join(work, "read-back")
    result = subprocess.run(["xorriso", "-osirrox", "on", "-indev", iso, "-extract", "/", copy],
                            capture_output=True, text=True, stdin=subprocess.DEVNULL)
    if result.returncode != 0:
        raise Refused("xorriso cannot read the image back: %s" % result.stderr.strip())
    problems = []
    wanted, got = disc_files(folder), disc_files(copy)
    for relative in sorted(set(wanted) - set(got)):
        problems.append("%s is not in the image" % relative)
    for relative in sorted(set(got) - set(wanted)):
        problems.append("the image holds %s, which the folder has not" % relative)
    for relative in sorted(set(wanted) & set(got)):
        with open(os.path.join(folder, relative), "rb") as a, open(os.path.join(copy, relative), "rb") as b:
            if a.read() != b.read():
                problems.append("%s reads back other than it was written" % relative)
    return copy, problems


def make_image(disc: str, iso: str, startorder: str, bmpcheck: str,
               cert: Optional[str], key: Optional[str]) -> List[str]:
    """Masters and checks; the summary lines. Raises Refused with every
    finding when the image is not fit to publish."""
    if not os.path.isdir(disc):
        raise Refused("%s is not a folder" % disc)
    if (cert is None) != (key is None):
        raise Refused("signing needs both a certificate and its key")
    for path in (cert, key):
        if path is not None and not os.path.isfile(path):
            raise Refused("%s is not a file" % path)
    date = source_date()
    _, entries, problems = read_autorun(disc)
    problems += check_autorun(disc, entries)
    if problems:
        raise Refused("\n".join(problems))
    program = open_program(entries)

    os.makedirs(os.path.dirname(os.path.abspath(iso)), exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="mkiso-") as work:
        folder = disc
        signed: List[str] = []
        if cert is not None:
            folder = os.path.join(work, "disc")
            shutil.copytree(disc, folder, symlinks=False)
            signed = sign(folder, cert, key, date)
        order = startup_order(folder, program, startorder)
        partial = iso + ".part"
        master(folder, partial, volume_id(entries), order, date, work)
        try:
            copy, problems = read_back(partial, folder, work)
            problems += order_problems(extents(partial), order)
            bitmaps = find_file(copy, "bitmaps")
            check = subprocess.run([bmpcheck, bitmaps or os.path.join(copy, "bitmaps")],
                                   capture_output=True, text=True)
            if check.returncode != 0:
                problems += ["bmpcheck on the image's pictures: " + line
                             for line in check.stdout.splitlines() + check.stderr.splitlines()
                             if line.strip() and not line.startswith("note:")]
            problems += check_autorun(copy, read_autorun(copy)[1])
            for relative in signed:
                failure = verify(os.path.join(copy, relative), cert)
                if failure is not None:
                    problems.append("the signature of %s does not hold in the image: %s"
                                    % (relative, failure))
            if problems:
                raise Refused("\n".join(problems))
            os.replace(partial, iso)
        finally:
            if os.path.exists(partial):
                os.remove(partial)
    summary = ["%s: %d files, %d bytes, volume %s, dated %d"
               % (iso, len(disc_files(disc)), os.path.getsize(iso), volume_id(entries), date),
               "start-up order: %s and %d pictures in one forward read"
               % (program, len(order) - 1),
               "read back: every file, the pictures (bmpcheck) and autorun.inf in order"]
    if signed:
        summary.append("signed and verified in the image: %s" % ", ".join(signed))
    return summary


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("disc", help="the disc folder")
    parser.add_argument("iso", help="the image to write")
    parser.add_argument("--sign-cert", help="the certificate to sign the disc's programs with (PEM or DER)")
    parser.add_argument("--sign-key", help="the certificate's private key")
    build = os.path.join(os.environ.get("ZEPH_BUILD", os.path.join(ROOT, "build")), "host", "tools")
    parser.add_argument("--startorder", default=os.path.join(build, "startorder"))
    parser.add_argument("--bmpcheck", default=os.path.join(build, "bmpcheck"))
    args = parser.parse_args()
    try:
        for line in make_image(args.disc, args.iso, args.startorder, args.bmpcheck,
                               args.sign_cert, args.sign_key):
            print("mkiso: " + line)
    except Refused as e:
        for line in str(e).splitlines():
            print("mkiso: %s" % line, file=sys.stderr)
        print("mkiso: no image written", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
