#!/usr/bin/env python3
"""What the disc author's commands wrote, so that they write again only over
their own work.

    written.py stage OUT                 makes a fresh folder on OUT's file
                                         system and prints its path: the
                                         command writes OUT's own name in it
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
naming the first; --force (FORCE=1) writes over them all the same. A folder
where a file goes, or a file where a folder goes, stops it even then.

OUT is taken where it really is: through links, and on whatever file system
holds it (the folder aside lies on the same one). Placing is whole or not at
all: the record is written first, listing both the old and the new print of
each file it replaces, so that even a machine that stops half-way leaves
nothing the commands would call another's; a move that fails, or an
interrupt that comes between two, puts back every one made before it, and
the interrupt ends the command only then."""

import hashlib
import json
import os
import shutil
import signal
import sys
import tempfile

from refused import Refused, said

RECORD = ".written-by-make.json"
ASIDE = ".aside-"


def bookkeeping(name):
    """Whether a name in a folder is one of these commands' own working
    files: the record, the record while it is written, a folder aside."""
    return name == RECORD or name == RECORD + ".part" or (name.startswith(".") and ASIDE in name)


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
    """Whether a record in the file's folder or above lists it as it is now
    (a record written for a placing that did not end lists two prints)."""
    folder = os.path.dirname(path)
    while True:
        if folder not in records:
            records[folder] = read_record(folder)
        listed = records[folder].get(os.path.relpath(path, folder))
        if listed == now or (isinstance(listed, list) and now in listed):
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


def stage(out):
    """A fresh folder for the command's work, on the file system OUT's real
    place lies on: beside it, or inside it when it is a mount point (a USB
    stick's root, whose parent is another file system, seldom writable)."""
    real = os.path.realpath(out)
    os.makedirs(os.path.dirname(real), exist_ok=True)
    where = real if os.path.ismount(real) else os.path.dirname(real)
    return tempfile.mkdtemp(prefix=".%s%s" % (os.path.basename(real), ASIDE), dir=where)


def first_of(paths, what, then=""):
    """The first of paths and what it is, how many more are so, then the rest."""
    more = ", and %d more like it" % (len(paths) - 1) if len(paths) > 1 else ""
    return "%s%s%s%s" % (paths[0], what, more, then)


def checked_moves(made, real, force):
    """The moves that put what the command made in place of real, as
    (what, where, its print: None for a folder), and the folder whose
    record lists them; the paths written over. Raises Refused when
    something is in the way."""
    moves, folder = [(made, real)], os.path.dirname(real)
    if fingerprint(made) is None:
        moves += [(os.path.join(made, rel), os.path.join(real, rel)) for rel in entries(made)]
        folder = real
    moves = [(new, target, fingerprint(new)) for new, target in moves]
    records, clashes, blocking = {}, [], []
    for new, target, print_ in moves:
        if not os.path.lexists(target):
            continue
        now = fingerprint(target)
        if (now is None) != (print_ is None):
            clashes.append((target, "a folder" if print_ is None else "a file"))
        elif now is not None and now != print_ and not ours(target, now, records):
            blocking.append(target)
    if clashes:
        target, wanted = clashes[0]
        now = "a link" if os.path.islink(target) else "a folder" if os.path.isdir(target) else "a file"
        raise Refused(first_of([c for c, _ in clashes], " is %s, where make writes %s" % (now, wanted),
                               ": nothing was written, and FORCE=1 writes over no folder and puts "
                               "none in a file's place; move it, or choose another OUT"))
    if blocking and not force:
        raise Refused(first_of(blocking, " is not what make wrote there, or has changed since",
                               ": nothing was written, so that your work is kept (FORCE=1 "
                               "writes over it)"))
    return moves, folder, blocking


class Interrupted(Exception):
    """A signal came while placing: what was moved is put back."""


class HeldSignals:
    """Keeps an interrupt or a request to stop from ending the process until
    the block is done; then ends it by the first that came. check() raises
    Interrupted once one has come, where stopping leaves nothing half done."""

    SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)

    def __enter__(self):
        self.came = []
        self.before = {s: signal.signal(s, lambda number, _: self.came.append(number))
                       for s in self.SIGNALS}
        return self

    def check(self):
        if self.came:
            raise Interrupted()

    def __exit__(self, *exc):
        for number, handler in self.before.items():
            signal.signal(number, handler)
        if self.came:
            sys.stdout.flush()
            signal.signal(self.came[0], signal.SIG_DFL)
            os.kill(os.getpid(), self.came[0])
        # The signal ends the process; the interruption it caused is no
        # failure of its own to report.
        return exc[0] is Interrupted


def write_record(folder, record):
    """The record replaced whole, so that a write that fails leaves the one
    before, and no part of it."""
    partial = os.path.join(folder, RECORD + ".part")
    try:
        with open(partial, "w", encoding="utf-8") as f:
            json.dump(record, f, indent=0, sort_keys=True)
        os.replace(partial, os.path.join(folder, RECORD))
    finally:
        if os.path.lexists(partial):
            os.remove(partial)


def move_all(moves, folder, kept, held):
    """Moves each file in place, each one it replaces first into kept (a
    fresh folder, removed at the end), and makes the folders; the record of
    folder written before and after. On any failure, or a signal held by held
    between two moves, what was done is undone, last first, and the failure
    raised."""
    undo = []
    record = read_record(folder)
    recorded = os.path.join(folder, RECORD)
    try:
        if not os.path.isdir(folder):
            os.mkdir(folder)
            undo.append(lambda: os.rmdir(folder))
        if os.path.lexists(recorded):
            os.replace(recorded, os.path.join(kept, RECORD))
            undo.append(lambda: os.replace(os.path.join(kept, RECORD), recorded))
        during = dict(record)
        for new, target, print_ in moves:
            rel = os.path.relpath(target, folder)
            if print_ is not None:
                during[rel] = [p for p in (record.get(rel), print_) if isinstance(p, str)]
        write_record(folder, during)
        undo.append(lambda: os.remove(recorded))
        for number, (new, target, print_) in enumerate(moves):
            held.check()
            if print_ is None:
                if not os.path.isdir(target):
                    os.mkdir(target)
                    undo.append(lambda target=target: os.rmdir(target))
                continue
            if os.path.lexists(target):
                old = os.path.join(kept, str(number))
                os.replace(target, old)
                undo.append(lambda target=target, old=old: os.replace(old, target))
            os.replace(new, target)
            undo.append(lambda new=new, target=target: os.replace(target, new))
            record[os.path.relpath(target, folder)] = print_
        held.check()
    except BaseException as failure:
        stuck = []
        for step in reversed(undo):
            try:
                step()
            except OSError as e:
                stuck.append(e.filename)
        if stuck:
            raise Refused("%s; %s could not be put back: what was there is kept in %s"
                          % (said(failure), ", ".join(stuck), kept)) from failure
        os.rmdir(kept)
        raise
    shutil.rmtree(kept)
    try:
        write_record(folder, record)
    except OSError:
        # The record written before the moves lists every file placed; this
        # one only forgets the prints of those replaced.
        pass


def place(stage_folder, out, force):
    """Moves what the command wrote into place and records it; the paths
    written over. Raises Refused when something is in the way."""
    real = os.path.realpath(out)
    made = os.path.join(stage_folder, os.path.basename(out))
    if not os.path.lexists(made):
        raise Refused("the command wrote nothing for %s" % out)
    moves, folder, blocking = checked_moves(made, real, force)
    with HeldSignals() as held:
        # What is written over waits beside the stage, on the same file
        # system, until every move is made.
        kept = tempfile.mkdtemp(prefix=".%s%s" % (os.path.basename(real), ASIDE),
                                dir=os.path.dirname(stage_folder))
        move_all(moves, folder, kept, held)
    return blocking


def main(argv):
    usage = __doc__.split("\n\n")[1]
    args = argv[1:]
    force = "--force" in args
    args = [a for a in args if a != "--force"]
    try:
        if args[:1] == ["stage"] and len(args) == 2:
            print(stage(os.path.abspath(args[1])))
        elif args[:1] == ["place"] and len(args) == 3:
            over = place(os.path.abspath(args[1]), os.path.abspath(args[2]), force)
            if over:
                print("FORCE=1: wrote over " + first_of(over, "", ", not make's own work"))
        else:
            print(usage, file=sys.stderr)
            return 2
    except (Refused, OSError) as e:
        print(said(e), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
