#!/usr/bin/env python3
"""Masters a disc folder as the image an author burns or publishes, and
checks the image it wrote.

  mkiso.py [--sign-cert CERT [--sign-key KEY] [--sign-pass-file FILE]
            [--sign-root ROOTS]] DISC ISO

The image is ISO 9660 (every name also a short 8.3 one) with Joliet names
for Windows and Rock Ridge for everything else, autorun.inf at its root:

- laid out in start-up order: the program autorun.inf opens, then the
  pictures in the order the launcher reads them (tools/startorder), then
  everything else, so that a drive reads the start in one forward sweep;
- the same bytes from the same sources: every date is SOURCE_DATE_EPOCH
  (the caller's, or else the last commit's time), owners and permissions
  are Rock Ridge's fixed ones, names are read as UTF-8 whatever the
  locale, and the layout depends on names alone;
- with the names Windows reads: a name the Joliet tree cannot hold whole
  or Windows cannot open, two names Windows cannot tell apart, and a link
  out of the folder or to nothing are refused before anything is
  mastered; a link within the folder becomes a copy of what it leads to;
- with a certificate (a PEM chain and its key, or a .pfx), every Portable
  Executable on the disc that carries no signature yet is Authenticode-
  signed (osslsigncode) twice, SHA-1 with SHA-256 nested in it, in a copy
  of the folder, so that the author's own files stay as they are; signed
  programs and older kinds (DOS, NE, LE) are left as they are, and listed.

Then the image is read back: every file through the Joliet tree against
the folder (signed copies against the signed ones), the start-up order
from the image's own extents, the pictures through bmpcheck, autorun.inf
as Windows reads it, and both signatures of every program signed, against
--sign-root or the machine's trusted roots. The image is written under its
own name only when all of that holds; otherwise the findings are printed
and the exit status is 1.
"""
import argparse
import functools
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
from datetime import datetime, timezone
from typing import Dict, List, Optional, Set, Tuple

from written import RECORD

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BLOCK = 2048
# Names are UTF-8 on the author's machine whatever the locale says, so that
# the Joliet tree spells them right and the image does not depend on it.
XORRISO = ["xorriso", "-local_charset", "UTF-8"]
JOLIET_NAME = 64
# What Windows does not take in a name, and ';', which the Joliet tree keeps
# for a version number: it holds '_' for each.
FORBIDDEN = set('\\:*?"<>|;')
# Names Windows opens as its devices, whatever their extension.
DEVICES = {"CON", "PRN", "AUX", "NUL"} | {"%s%d" % (device, n) for device in ("COM", "LPT")
                                          for n in range(1, 10)}
# Why a program other than an unsigned Portable Executable is left as it is.
LEFT = {"signed PE": "signed already: its maker's signature stays",
        "NE": "a 16-bit Windows file (NE), which Authenticode cannot sign",
        "LE": "a virtual device driver (LE), which Authenticode cannot sign",
        "LX": "an LX file, which Authenticode cannot sign",
        "DOS": "a DOS program, which Authenticode cannot sign"}


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


def program_kind(path: str) -> Optional[str]:
    """A program's format by its headers: "PE", "signed PE" (a Portable
    Executable whose certificate table is not empty), "NE", "LE", "LX" or
    "DOS"; None for a file that is no program."""
    with open(path, "rb") as f:
        dos = f.read(64)
        if dos[:2] != b"MZ":
            return None
        if len(dos) < 64:
            return "DOS"
        f.seek(struct.unpack_from("<I", dos, 0x3C)[0])
        header = f.read(24 + 112 + 5 * 8)
    if header[:2] in (b"NE", b"LE", b"LX"):
        return header[:2].decode()
    if header[:4] != b"PE\0\0" or len(header) < 26:
        return "DOS"
    # The certificate table is data directory 4, after the optional header's
    # fields, which PE32+ makes longer.
    fields = {0x10B: 96, 0x20B: 112}.get(struct.unpack_from("<H", header, 24)[0], 0)
    table = 24 + fields + 4 * 8
    if fields and len(header) >= table + 8 and struct.unpack_from("<I", header, table - 36)[0] > 4 \
            and struct.unpack_from("<I", header, table + 4)[0] != 0:
        return "signed PE"
    return "PE"


def check_autorun(disc: str, entries: Dict[str, str]) -> List[str]:
    """What Windows would not find of what autorun.inf names."""
    problems = []
    program = open_program(entries)
    if program is not None:
        found = find_file(disc, program)
        if found is None or not os.path.isfile(found):
            problems.append("autorun.inf opens %s, which is not on the disc" % program)
        elif program_kind(found) is None:
            problems.append("autorun.inf opens %s, which is not a Windows program" % program)
    if "icon" in entries:
        icon = entries["icon"].rsplit(",", 1)[0].strip().strip('"')
        found = find_file(disc, icon)
        if found is None or not os.path.isfile(found):
            problems.append("autorun.inf's icon %s is not on the disc" % icon)
    if len(entries.get("label", "")) > 32:
        problems.append("autorun.inf's label is longer than the 32 characters Windows shows")
    return problems


def name_problem(name: str) -> Optional[str]:
    """Why the Joliet tree cannot hold a name whole or Windows cannot open
    it; None when it can."""
    try:
        length = len(name.encode("utf-16-le")) // 2
    except UnicodeEncodeError:
        return "is not UTF-8, so the Joliet tree cannot spell it"
    if length > JOLIET_NAME:
        return "is %d characters long; the Joliet tree holds %d" % (length, JOLIET_NAME)
    bad = sorted({c for c in name if c in FORBIDDEN or ord(c) < 32})
    if bad:
        return "holds %s, which Windows does not take in a name" % " ".join(repr(c) for c in bad)
    if name[-1] in ". ":
        return "ends in %r, which Windows drops from a name it opens" % name[-1]
    if name.split(".")[0].upper() in DEVICES:
        return "is a device's to Windows, which opens the device instead"
    return None


def joliet_problems(disc: str) -> List[str]:
    """Every name and link of the folder that the tree Windows reads would
    not show as it is, each naming its file."""
    top = os.path.realpath(disc)
    problems: List[str] = []

    def walk(folder: str, shown: str, above: Set[str]) -> None:
        seen: Dict[str, str] = {}
        for name in sorted(os.listdir(folder)):
            relative, path = shown + name, os.path.join(folder, name)
            problem = name_problem(name)
            if problem:
                problems.append("%s: the name %s" % (relative, problem))
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


def volume_id(entries: Dict[str, str]) -> str:
    """The ISO 9660 volume name: autorun.inf's label in the characters a
    volume name may hold. A word with a letter beyond ASCII is left out:
    autorun.inf is in the disc's code page, where the second byte of a
    Japanese, Chinese or Korean letter may read as an ASCII one."""
    ascii_words = re.sub(r"\S*[^\x00-\x7f]\S*", "", entries.get("label", "")).strip()
    label = re.sub(r"[^A-Z0-9_]", "_", ascii_words.upper())[:32]
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


def openssl(args: List[str], failure: str, given: Optional[str] = None) -> str:
    """What openssl writes for args, fed given; Refused with failure and its
    reason when it cannot."""
    result = subprocess.run(["openssl"] + args, input=given or "", capture_output=True, text=True)
    if result.returncode != 0:
        lines = [l for l in result.stderr.splitlines() if l.strip()]
        raise Refused("%s: %s" % (failure, lines[0] if lines else "openssl failed"))
    return result.stdout


def signing_certificate(cert: str, key: Optional[str], pass_file: Optional[str]) -> str:
    """The certificate that signs, as PEM: in a .pfx the one it pairs with
    its key, in a chain the one whose public key is the key's."""
    passin = ["-passin", "file:" + pass_file] if pass_file else ["-passin", "pass:"]
    if key is None:
        # Windows of old exported .pfx files in ciphers OpenSSL 3 counts as legacy.
        return openssl(["pkcs12", "-legacy", "-in", cert, "-nokeys", "-clcerts"] + passin,
                       "%s cannot be opened %s" % (cert, "with the password in " + pass_file
                                                   if pass_file else "without a password"))
    with open(cert, "rb") as f:
        chain = [block.decode() for block in re.findall(
            rb"-----BEGIN CERTIFICATE-----.+?-----END CERTIFICATE-----", f.read(), re.S)]
    if not chain:
        chain = [openssl(["x509", "-inform", "DER", "-in", cert], "%s is no certificate" % cert)]
    public = openssl(["pkey", "-in", key, "-pubout"] + passin,
                     "%s cannot be read as a private key%s" % (
                         key, "" if pass_file else " (an encrypted one needs its password's file)"))
    for certificate in chain:
        if openssl(["x509", "-noout", "-pubkey"], "%s holds a damaged certificate" % cert,
                   certificate) == public:
            return certificate
    raise Refused("%s holds no certificate of the key in %s" % (cert, key))


def certificate_problem(certificate: str, now: float) -> Optional[str]:
    """Why a certificate (PEM) cannot sign programs at the time now; None
    when it can."""
    text = openssl(["x509", "-noout", "-subject", "-nameopt", "RFC2253", "-dates", "-dateopt",
                    "iso_8601", "-ext", "keyUsage,extendedKeyUsage"], "a damaged certificate",
                   certificate)
    fields = dict(re.findall(r"^(subject|notBefore|notAfter)=(.*)$", text, re.M))
    uses = dict(re.findall(r"^X509v3 (Key Usage|Extended Key Usage):.*\n\s+(.+)$", text, re.M))
    start, end = (datetime.strptime(fields[f], "%Y-%m-%d %H:%M:%SZ").replace(tzinfo=timezone.utc)
                  .timestamp() for f in ("notBefore", "notAfter"))
    whose = "the certificate of %s" % fields["subject"]
    if now < start:
        return "%s is not valid before %s" % (whose, fields["notBefore"])
    if now > end:
        return "%s expired on %s" % (whose, fields["notAfter"])
    # Without these extensions a certificate serves every use.
    extended = uses.get("Extended Key Usage", "Code Signing")
    if not {"Code Signing", "Any Extended Key Usage"} & set(extended.split(", ")):
        return "%s does not allow code signing (its extended key usage: %s)" % (whose, extended)
    if "Digital Signature" not in uses.get("Key Usage", "Digital Signature").split(", "):
        return "%s does not allow signing (its key usage: %s)" % (whose, uses["Key Usage"])
    return None


def signer(cert: Optional[str], key: Optional[str], pass_file: Optional[str],
           roots: Optional[str]) -> Optional[List[str]]:
    """osslsigncode's arguments for the author's certificate, None without
    one; Refused in one line when it cannot sign."""
    if cert is None:
        if key or pass_file or roots:
            raise Refused("a key, a password file and roots serve signing: give the certificate "
                          "too")
        return None
    for path in (cert, key, pass_file, roots):
        if path is not None and not os.path.isfile(path):
            raise Refused("%s is not a file" % path)
    pkcs12 = cert.lower().endswith((".pfx", ".p12"))
    if pkcs12 and key is not None:
        raise Refused("%s holds its own key: give no key beside it" % cert)
    if not pkcs12 and key is None:
        raise Refused("signing with %s needs its private key" % cert)
    problem = certificate_problem(signing_certificate(cert, key, pass_file), time.time())
    if problem is not None:
        raise Refused("%s: %s; nothing is signed" % (cert, problem))
    # The password comes from its file, never from a command line that
    # every user of the machine can read.
    return (["-pkcs12", cert] if pkcs12 else ["-certs", cert, "-key", key]) + \
        (["-readpass", pass_file] if pass_file else [])


def sign(folder: str, certificate: List[str], date: int) -> Tuple[List[str], List[str]]:
    """Signs in place every Portable Executable of the folder that carries
    no signature yet, twice: SHA-1, which Windows 2000 and XP before SP3
    verify, with SHA-256 nested in it for every later Windows. The programs
    signed, and each other program with why it is left as it is."""
    signed, left = [], []
    for relative in disc_files(folder):
        path = os.path.join(folder, relative)
        kind = program_kind(path)
        if kind is None:
            continue
        if kind != "PE":
            left.append("%s, %s" % (relative, LEFT[kind]))
            continue
        # The signing time is the image's date, so that signing twice gives
        # the same bytes; no time-stamp server is asked (see disc-authors.md).
        for digest, nested in (("sha1", []), ("sha256", ["-nest"])):
            result = subprocess.run(["osslsigncode", "sign"] + certificate + nested +
                                    ["-h", digest, "-time", str(date), "-in", path,
                                     "-out", path + ".signed"],
                                    capture_output=True, text=True, stdin=subprocess.DEVNULL)
            if result.returncode != 0:
                raise Refused("osslsigncode could not sign %s: %s"
                              % (relative, (result.stdout + result.stderr).strip()))
            os.replace(path + ".signed", path)
        signed.append(relative)
    return signed, left


@functools.lru_cache(maxsize=None)
def revocation_option() -> List[str]:
    """osslsigncode from 2.6 on asks each certificate's authority whether it
    was revoked, which a machine off the Internet cannot; from 2.9 on it can
    be told not to, and before 2.6 it never asks. Windows asks as the
    program starts."""
    usage = subprocess.run(["osslsigncode", "--help"], capture_output=True, text=True)
    return ["-ignore-crl"] if "-ignore-crl" in usage.stdout + usage.stderr else []


def verify(path: str, roots: Optional[str]) -> Tuple[Optional[str], str]:
    """What is wrong with the program's signatures as Windows checks them
    (None when nothing is): a SHA-1 one with a SHA-256 one nested in it,
    each holding for its bytes and chaining to roots, or to the machine's
    trusted ones, as of now (without a time stamp, Windows too checks the
    certificate at the time it looks); and the roots osslsigncode used."""
    args = ["osslsigncode", "verify", "-in", path] + (["-CAfile", roots] if roots else [])
    result = subprocess.run(args + revocation_option(), capture_output=True, text=True,
                            stdin=subprocess.DEVNULL)
    output = result.stdout + result.stderr
    used = re.search(r"^CAfile: (.+)$", output, re.M)
    digests = re.findall(r"^Message digest algorithm\s+:\s*(\S+)", output, re.M)
    problem = None
    if result.returncode != 0:
        reasons = dict.fromkeys(re.findall(r"Verify error: ?(.+)$", output, re.M))
        problem = "; ".join(reasons or [l for l in output.splitlines() if l.strip()][-3:])
    elif digests != ["SHA1", "SHA256"]:
        problem = "its signatures are %s, not SHA-1 with SHA-256 nested in it" \
            % " and ".join(digests)
    return problem, used.group(1) if used else roots or "osslsigncode's own"


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
         "-file-mode", "0444", "-dir-mode", "0555", "-m", RECORD,
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


def make_image(disc: str, iso: str, startorder: str, bmpcheck: str, cert: Optional[str],
               key: Optional[str], pass_file: Optional[str], roots: Optional[str]) -> List[str]:
    """Masters and checks; the summary lines. Raises Refused with every
    finding when the image is not fit to publish."""
    if not os.path.isdir(disc):
        raise Refused("%s is not a folder" % disc)
    certificate = signer(cert, key, pass_file, roots)
    date = source_date()
    _, entries, problems = read_autorun(disc)
    problems += check_autorun(disc, entries) + joliet_problems(disc)
    if problems:
        raise Refused("\n".join(problems))
    program = open_program(entries)

    os.makedirs(os.path.dirname(os.path.abspath(iso)), exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="mkiso-") as work:
        # The copy holds the files the folder's links lead to, and the
        # signed programs, so that the author's own files stay as they are.
        folder = os.path.join(work, "disc")
        shutil.copytree(disc, folder)
        signed, left = sign(folder, certificate, date) if certificate else ([], [])
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
            used = roots
            for relative in signed:
                failure, used = verify(os.path.join(copy, relative), roots)
                if failure is not None:
                    problems.append("the signatures of %s do not hold in the image against the "
                                    "roots in %s: %s" % (relative, used, failure))
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
    if signed:
        summary.append("signed, SHA-1 with SHA-256 nested in it, and verified in the image "
                       "against the roots in %s: %s" % (used, ", ".join(signed)))
    summary += ["left as it is: " + line for line in left]
    return summary


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("disc", help="the disc folder")
    parser.add_argument("iso", help="the image to write")
    parser.add_argument("--sign-cert", help="the certificate to sign the disc's programs with: "
                        "PEM with its intermediates (or DER), or a .pfx/.p12 with its key")
    parser.add_argument("--sign-key", help="the private key of a PEM or DER certificate")
    parser.add_argument("--sign-pass-file", help="a file whose first line is the password of the "
                        ".pfx or the key")
    parser.add_argument("--sign-root", help="the roots to verify the signatures against (PEM), "
                        "instead of the machine's trusted ones")
    build = os.path.join(os.environ.get("ZEPH_BUILD", os.path.join(ROOT, "build")), "host", "tools")
    parser.add_argument("--startorder", default=os.path.join(build, "startorder"))
    parser.add_argument("--bmpcheck", default=os.path.join(build, "bmpcheck"))
    args = parser.parse_args()
    try:
        for line in make_image(args.disc, args.iso, args.startorder, args.bmpcheck, args.sign_cert,
                               args.sign_key, args.sign_pass_file, args.sign_root):
            print("mkiso: " + line)
    except Refused as e:
        for line in str(e).splitlines():
            print("mkiso: %s" % line, file=sys.stderr)
        print("mkiso: no image written", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
