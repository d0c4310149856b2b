"""A disc folder as Windows reads it from the drive: its files, a path found
whatever the case of its parts, and autorun.inf."""
import os
import re
from typing import Dict, List, Optional, Tuple

from programs import program_kind
from written import bookkeeping

# Names Windows opens as its devices, whatever their extension and with
# blanks before it: the ports also with the superscript digits, which
# Windows counts as digits, and the console's own two.
DEVICES = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"} | {
    "%s%s" % (device, n) for device in ("COM", "LPT") for n in "123456789\u00b9\u00b2\u00b3"}


def device_name(name: str) -> Optional[str]:
    """The device a file name opens on Windows instead of a file, if any."""
    stem = name.split(".")[0].rstrip(" ").upper()
    return stem if stem in DEVICES else None


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
    """Every file under folder, relative, with / between parts, sorted; what
    make keeps of its own work there (tools/written.py) is no part of the
    disc."""
    files = []
    for base, dirs, names in os.walk(folder):
        dirs[:] = sorted(d for d in dirs if not bookkeeping(d))
        for name in sorted(n for n in names if not bookkeeping(n)):
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


def volume_id(entries: Dict[str, str]) -> str:
    """The ISO 9660 volume name: autorun.inf's label in the characters a
    volume name may hold. A word with a letter beyond ASCII is left out:
    autorun.inf is in the disc's code page, where the second byte of a
    Japanese, Chinese or Korean letter may read as an ASCII one."""
    ascii_words = re.sub(r"\S*[^\x00-\x7f]\S*", "", entries.get("label", "")).strip()
    label = re.sub(r"[^A-Z0-9_]", "_", ascii_words.upper())[:32]
    return label or "CDROM"
