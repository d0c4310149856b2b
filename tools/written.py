#!/usr/bin/env python3
"""What the disc author's commands wrote, so that they write again only over
their own work.

    written.py stage OUT                 makes a fresh folder beside OUT and
                                         prints its path: the command writes
                                         OUT's own name in it
    written.py place [--force] STAGE OUT puts what the command wrote in STAGE
                                         (a folder, or a file) in place of OUT

`make art-template`, `make bitmaps`, `make disc` and `make iso` build aside
and then place (scripts/author.sh), so that a command that fails leaves OUT
as it found it. Each place lists the files it wrote, with their SHA-256, in
RECORD: in OUT, or for a file (an image) in the folder that holds it. A file
in the way may be written over when a record in its folder or in one above
lists it unchanged (so `make disc` writes again over the bitmaps `make
bitmaps` wrote in its bitmaps folder), or when it holds the same bytes as
its replacement: nothing is lost. Any other (the author's own, or one
changed since: painted art) stops the command before anything is moved,
naming the first; --force (FORCE=1) writes over them all the same."""

import hashlib
import json
import os
import shutil
import sys
import tempfile

RECORD = ".written-by-make.json"


class Refused(Exception):
    """Nothing was placed; the message says why."""


def fingerprint(path):
    """What a file's content is, or a link's target; None for a folder."""
    if os.path.islink(path):
        return "link:" + os.readlink(path)
    if os.path.isdir(path):
        return None
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def read_record(folder):
    try:
        with open(os.path.join(folder, RECORD), encoding="utf-8") as f:
            record = json.load(f)
        return record if isinstance(record, dict) else {}
    except (OSError, ValueError):
        return {}


def ours(path, now, records):
    """Whether a record in the file's folder or above lists it as it is now."""
    folder = os.path.dirname(path)
    while True:
        if folder not in records:
            records[folder] = read_record(folder)
        if records[folder].get(os.path.relpath(path, folder)) == now:
            return True
        parent = os.path.dirname(folder)
        if parent == folder:
            return False
        folder = parent


def entries(top):
    """Every folder and file under top, relative, each folder before what it
    holds; records that came along are left out."""
    found = []
    for base, dirs, names in os.walk(top):
        dirs.sort()
        # A link to a folder is placed as the link it is.
        for name in sorted(names + [d for d in dirs if os.path.islink(os.path.join(base, d))]):
            if name != RECORD:
                found.append(os.path.relpath(os.path.join(base, name), top))
        dirs[:] = [d for d in dirs if not os.path.islink(os.path.join(base, d))]
        found += [os.path.relpath(os.path.join(base, d), top) for d in dirs]
    return sorted(found, key=lambda rel: rel.split(os.sep))


def in_the_way(new, target, records):
    """Whether target stands where new (a fingerprint) goes and may not be
    written over."""
    if not os.path.lexists(target):
        return False
    now = fingerprint(target)
    if new is None or now is None:
        return new is not None or now is not None
    return now != new and not ours(target, now, records)


def place(stage, out, force):
    """Moves what the command wrote into place and records it; the paths
    written over. Raises Refused when something of another's is in the way."""
    made = os.path.join(stage, os.path.basename(out))
    if not os.path.lexists(made):
        raise Refused("the command wrote nothing for %s" % out)
    if fingerprint(made) is None:
        new, old, names = made, out, entries(made)
        # OUT itself must be a folder, or nothing yet.
        blocking = [out] if os.path.lexists(out) and not os.path.isdir(out) else []
    else:
        new, old, names = stage, os.path.dirname(out), [os.path.basename(out)]
        blocking = []
    prints = {rel: fingerprint(os.path.join(new, rel)) for rel in names}
    records = {}
    blocking += [os.path.join(old, rel) for rel in names
                 if in_the_way(prints[rel], os.path.join(old, rel), records)]
    if blocking and not force:
        more = ", and %d more like it" % (len(blocking) - 1) if len(blocking) > 1 else ""
        raise Refused("%s is not what make wrote there, or has changed since%s: nothing was "
                      "written, so that your work is kept (FORCE=1 writes over it)"
                      % (blocking[0], more))
    for path in blocking:
        if os.path.isdir(path) and not os.path.islink(path):
            shutil.rmtree(path)
        else:
            os.remove(path)
    os.makedirs(old, exist_ok=True)
    record = read_record(old)
    for rel in names:
        target = os.path.join(old, rel)
        if prints[rel] is None:
            os.makedirs(target, exist_ok=True)
        else:
            record[rel] = prints[rel]
            os.replace(os.path.join(new, rel), target)
    # The record is replaced whole, so that an interrupted write leaves the
    # one before.
    partial = os.path.join(old, RECORD + ".part")
    with open(partial, "w", encoding="utf-8") as f:
        json.dump(record, f, indent=0, sort_keys=True)
    os.replace(partial, os.path.join(old, RECORD))
    return blocking


def main(argv):
    usage = __doc__.split("\n\n")[1]
    args = argv[1:]
    force = "--force" in args
    args = [a for a in args if a != "--force"]
    try:
        if args[:1] == ["stage"] and len(args) == 2:
            out = os.path.abspath(args[1])
            os.makedirs(os.path.dirname(out), exist_ok=True)
            print(tempfile.mkdtemp(prefix=".%s.aside-" % os.path.basename(out),
                                   dir=os.path.dirname(out)))
        elif args[:1] == ["place"] and len(args) == 3:
            over = place(os.path.abspath(args[1]), os.path.abspath(args[2]), force)
            if over:
                print("FORCE=1: wrote over %s%s, not make's own work" % (
                    over[0], ", and %d more like it" % (len(over) - 1) if len(over) > 1 else ""))
        else:
            print(usage, file=sys.stderr)
            return 2
    except Refused as e:
        print(e, file=sys.stderr)
        return 1
    except OSError as e:
        print("%s: %s" % (e.filename or args[-1], e.strerror), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
