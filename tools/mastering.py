"""Mastering: the names the image's Joliet tree can hold as they are, the
start-up order it is laid out in, the image written with xorriso, and the
image read back."""
import os
import re
import subprocess
import sys
import time
from typing import Dict, List, Sequence, Set, Tuple

from discfolder import device_name, disc_files, find_file
from refused import Refused
from written import bookkeeping

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BLOCK = 2048
# Names are UTF-8 on the author's machine whatever the locale says, so that
# the Joliet tree spells them right and the image does not depend on it.
XORRISO = ["xorriso", "-local_charset", "UTF-8"]
# The Joliet tree holds a name of 64 UCS-2 characters and a path of 240
# bytes, 120 characters: xorriso cuts a longer file name short and leaves a
# longer folder out with all it holds, and writes '_' for a character UCS-2
# has not (one outside the Basic Multilingual Plane), warning, not failing.
JOLIET_NAME = 64
JOLIET_PATH = 120
# What Windows does not take in a name, and ';', which the Joliet tree keeps
# for a version number: it holds '_' for each.
FORBIDDEN = set('\\:*?"<>|;')


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


def ucs2_length(text: str) -> int:
    return len(text.encode("utf-16-le")) // 2


def name_problem(name: str) -> str:
    """Why the Joliet tree cannot hold a name whole or Windows cannot open
    it; empty when it can."""
    try:
        length = ucs2_length(name)
    except UnicodeEncodeError:
        return "is not UTF-8, so the Joliet tree cannot spell it"
    beyond = sorted({c for c in name if ord(c) > 0xFFFF})
    if beyond:
        return "holds %s, which the Joliet tree cannot spell" \
            % ", ".join("U+%04X" % ord(c) for c in beyond)
    if length > JOLIET_NAME:
        return "is %d characters long; the Joliet tree holds %d" % (length, JOLIET_NAME)
    bad = sorted({c for c in name if c in FORBIDDEN or ord(c) < 32})
    if bad:
        return "holds %s, which Windows does not take in a name" % " ".join(repr(c) for c in bad)
    if name[-1] in ". ":
        return "ends in %r, which Windows drops from a name it opens" % name[-1]
    if device_name(name):
        return "is a device's to Windows, which opens the device instead"
    return ""


def joliet_problems(disc: str) -> List[str]:
    """Every name, path and link of the folder that the tree Windows reads
    would not show as it is, each naming its file."""
    top = os.path.realpath(disc)
    problems: List[str] = []

    def walk(folder: str, shown: str, above: Set[str]) -> None:
        seen: Dict[str, str] = {}
        for name in sorted(n for n in os.listdir(folder) if not bookkeeping(n)):
            relative, path = shown + name, os.path.join(folder, name)
            problem = name_problem(name)
            if problem:
                problems.append("%s: the name %s" % (relative, problem))
            elif ucs2_length(relative) > JOLIET_PATH:
                problems.append("%s: the path is %d characters long; the Joliet tree holds %d "
                                "(240 bytes)" % (relative, ucs2_length(relative), JOLIET_PATH))
                continue
            twin = seen.setdefault(name.lower(), name)
            if twin != name:
                problems.append("%s%s and %s differ only in case: Windows opens the one by both "
                                "names" % (shown, twin, relative))
            real = os.path.realpath(path)
            if os.path.islink(path):
                # The Joliet tree holds no links: one within the folder
                # becomes a copy of what it leads to.
                if not os.path.exists(real):
                    problems.append("%s is a link to %s, which is not there"
                                    % (relative, os.readlink(path)))
                    continue
                if os.path.commonpath([top, real]) != top:
                    problems.append("%s is a link to %s, outside the disc folder: put the file "
                                    "itself there" % (relative, real))
                    continue
            if os.path.isdir(path):
                if real in above:
                    problems.append("%s is a link to %s, a folder that holds it" % (relative, real))
                else:
                    walk(path, relative + "/", above | {real})

    walk(disc, "", {top})
    return problems


def startup_order(disc: str, program: str, startorder: str, layout: Sequence[str] = ()) -> List[str]:
    """The files the launcher reads as it starts, in its order, as they are
    named in the folder (relative, / between parts). Files the folder lacks
    are left out: bmpcheck tells of them. layout: the tools' --layout
    option, or nothing for the demo's."""
    listed = subprocess.run([startorder] + list(layout), capture_output=True, text=True,
                            check=True).stdout.split()
    order = []
    for relative in [program] + listed:
        found = find_file(disc, relative)
        if found is not None and os.path.isfile(found):
            order.append(os.path.relpath(found, disc).replace(os.sep, "/"))
    return order


def extents(iso: str) -> Dict[str, Tuple[int, int]]:
    """Each file's first block and its size in bytes, read from the image's
    own directory records; paths as in the folder, / between parts."""
    result = subprocess.run(XORRISO + ["-indev", iso, "-find", "/", "-type", "f",
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


def master(folder: str, iso: str, label: str, order: List[str], date: int, work: str) -> None:
    weights = os.path.join(work, "sort-weights")
    with open(weights, "w", encoding="utf-8") as f:
        # Higher weights lie first; every other file keeps weight 0.
        for index, path in enumerate(order):
            f.write("%d /%s\n" % (len(order) - index, path))
    env = dict(os.environ, SOURCE_DATE_EPOCH=str(date))
    result = subprocess.run(
        XORRISO + ["-volume_date", "all_file_dates", "=%d" % date,
         "-as", "mkisofs", "-quiet", "-iso-level", "1", "-V", label, "-J", "-r",
         # Owners are root and modes fixed, whatever the folder's.
         "-file-mode", "0444", "-dir-mode", "0555",
         "--sort-weight-list", weights, "-o", iso, folder],
        capture_output=True, text=True, env=env, stdin=subprocess.DEVNULL)
    if result.returncode != 0:
        raise Refused("xorriso could not master the image: %s" % result.stderr.strip())


def read_back(iso: str, folder: str, work: str) -> Tuple[str, List[str]]:
    """Extracts the image through its Joliet tree, the names Windows reads,
    and compares every file with the folder's; where it was extracted, and
    what differs."""
    copy = os.path.join(work, "read-back")
    result = subprocess.run(XORRISO + ["-read_fs", "norock", "-osirrox", "on", "-indev", iso,
                                       "-extract", "/", copy],
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
