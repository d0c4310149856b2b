#!/usr/bin/env python3
"""A disc's identity file: read, checked, and turned into what the build and
the disc need.

    identity.py check FILE             says what the file gives, or why not
    identity.py write FILE DIR [ICON]  writes DIR/identity.h (ICON: the demo's
                                       icon), DIR/launcher.manifest and
                                       DIR/autorun.inf
    identity.py resolved FILE OUT      the whole identity, every key given and
                                       the icon's path made absolute
    identity.py get FILE KEY           one value (volume_label: the image's)

Each value is checked before anything is written; a bad file gets one line
per fault, naming the key, and exit status 1. Files are written only when
their bytes change, so the build recompiles only what a change touches."""

import os
import re
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
DEMO = os.path.join(os.path.dirname(HERE), "disc", "identity.txt")
MANIFEST = os.path.join(os.path.dirname(HERE), "res", "launcher.manifest.in")

KEYS = ("title", "game", "uninstall_key", "url_directx", "url_game", "url_publisher",
        "url_developer", "url_licensor", "icon", "company", "product", "version", "label")

APP_PATHS = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\"
UNINSTALL = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
# The launcher copies the title into a buffer of 200 characters; the
# registry takes key names of up to 255 characters; an ISO 9660 volume label
# holds 32.
TITLE_MAX = 199
KEY_NAME_MAX = 255
LABEL_MAX = 32
TEXT_MAX = 255
URL_MAX = 2048
ICON_SIZES = (16, 32, 48)
# What Windows refuses in a file name; the device names it keeps for itself.
FILE_NAME_FORBIDDEN = '\\/:*?"<>|'
DEVICES = {"CON", "PRN", "AUX", "NUL"} | {"%s%d" % (d, n) for d in ("COM", "LPT")
                                          for n in range(1, 10)}


class Refused(Exception):
    """The file cannot be used; args[0] lists every reason."""


def parse(path):
    """The file's keys and values, in order, and the faults of its form."""
    values, faults = {}, []
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as e:
        raise Refused(["%s cannot be read: %s" % (path, e.strerror)])
    # Notepad's "UTF-8 with BOM" starts the file with the mark. A line that
    # is no UTF-8 is taken in the old Western code page, so that comments may
    # be in any; what the launcher shows is checked as printable ASCII.
    if data.startswith((b"\xff\xfe", b"\xfe\xff")):
        raise Refused(["the file is saved as UTF-16 (Notepad's \"Unicode\"): save it as UTF-8"])
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    for number, raw in enumerate(data.split(b"\n"), 1):
        raw = raw.rstrip(b"\r")
        try:
            text = raw.decode("utf-8")
        except UnicodeDecodeError:
            text = raw.decode("latin-1")
        stripped = text.strip()
        if not stripped or stripped.startswith("#"):
            continue
        where = "line %d" % number
        if "=" not in text:
            faults.append("%s is not `key = value` or a comment: %s" % (where, stripped))
            continue
        key, value = (part.strip() for part in text.split("=", 1))
        if key not in KEYS:
            near = nearest(key, KEYS)
            faults.append("%s: unknown key %r%s; the keys are %s"
                          % (where, key, " (did you mean %s?)" % near if near else "",
                             ", ".join(KEYS)))
        elif key in values:
            faults.append("%s: %s is given twice" % (where, key))
        else:
            values[key] = (value, number)
    return values, faults


def nearest(word, words):
    """The word the given one is a slip for, if one is close enough."""
    def distance(a, b):
        row = list(range(len(b) + 1))
        for i, ca in enumerate(a, 1):
            prev, row[0] = row[0], i
            for j, cb in enumerate(b, 1):
                prev, row[j] = row[j], min(row[j] + 1, row[j - 1] + 1, prev + (ca != cb))
        return row[-1]
    best = min(words, key=lambda w: distance(word.lower(), w))
    return best if distance(word.lower(), best) <= max(2, len(best) // 3) else None


def check_text(key, value, limit, faults):
    if not value:
        faults.append("%s is empty" % key)
    elif any(ord(c) < 32 or ord(c) > 126 for c in value):
        faults.append("%s holds a character that is not printable ASCII: the launcher calls the "
                      "system's ANSI functions, which read others in the user's code page" % key)
    elif len(value) > limit:
        faults.append("%s is %d characters long, more than the %d it may have"
                      % (key, len(value), limit))
    else:
        return True
    return False


def check_icon(path, faults):
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as e:
        faults.append("icon: %s cannot be read: %s" % (path, e.strerror))
        return
    if len(data) < 6 or struct.unpack("<HHH", data[:6])[:2] != (0, 1):
        faults.append("icon: %s is not an .ico file" % path)
        return
    count = struct.unpack("<H", data[4:6])[0]
    sizes = set()
    for i in range(count):
        entry = data[6 + 16 * i:22 + 16 * i]
        if len(entry) < 16:
            faults.append("icon: %s is cut off in its list of pictures" % path)
            return
        width, height = entry[0] or 256, entry[1] or 256
        length, offset = struct.unpack("<II", entry[8:16])
        if offset + length > len(data):
            faults.append("icon: %s is cut off in its %d x %d picture" % (path, width, height))
            return
        if width == height:
            sizes.add(width)
    missing = [s for s in ICON_SIZES if s not in sizes]
    if missing:
        faults.append("icon: %s has no %s picture; the launcher's icon has %s"
                      % (path, " or ".join("%d x %d" % (s, s) for s in missing),
                         ", ".join("%d x %d" % (s, s) for s in ICON_SIZES)))


def check_value(key, value, folder, faults):
    """Checks one value; returns it as the build takes it."""
    if key == "title":
        check_text(key, value, TITLE_MAX, faults)
    elif key == "game":
        if check_text(key, value, KEY_NAME_MAX, faults):
            bad = sorted(set(c for c in value if c in FILE_NAME_FORBIDDEN))
            stem = value.split(".")[0].upper()
            if bad:
                faults.append("game %r holds %s, which Windows forbids in a file name"
                              % (value, " ".join(bad)))
            elif not value.lower().endswith(".exe") or len(value) == 4:
                faults.append("game %r is not a program's file name ending in .exe" % value)
            elif stem in DEVICES:
                faults.append("game %r is named like the device %s, which Windows keeps for "
                              "itself" % (value, stem))
    elif key == "uninstall_key":
        if check_text(key, value, KEY_NAME_MAX, faults) and "\\" in value:
            faults.append("uninstall_key %r holds \\, which Windows forbids in a key's name"
                          % value)
    elif key.startswith("url_"):
        if check_text(key, value, URL_MAX, faults):
            if " " in value or not re.match(r"https?://[^/\s]", value, re.I):
                faults.append("%s %r is not a web address (http:// or https://, no spaces)"
                              % (key, value))
    elif key == "icon":
        # A path on the author's own machine, which the launcher never shows.
        if not value:
            faults.append("icon is empty")
        elif any(ord(c) < 32 or ord(c) == 127 for c in value):
            faults.append("icon holds a control character")
        else:
            value = os.path.normpath(os.path.join(folder, value))
            check_icon(value, faults)
    elif key in ("company", "product"):
        check_text(key, value, TEXT_MAX, faults)
    elif key == "version":
        parts = value.split(".")
        # Digits 0 to 9 only: a superscript two is a digit to str.isdigit and
        # no number to int(), and digits of other scripts are no version's.
        if (not 1 <= len(parts) <= 4 or
                not all(re.fullmatch("[0-9]+", p) and int(p) <= 65535 for p in parts)):
            faults.append("version %r is not one to four numbers from 0 to 65535 separated by "
                          "dots" % value)
        else:
            value = ".".join(str(int(p)) for p in parts + ["0"] * (4 - len(parts)))
    elif key == "label":
        check_text(key, value, LABEL_MAX, faults)
    return value


def load(path):
    """The identity the file gives, every key filled in from the demo's.
    Raises Refused with every fault found."""
    demo, faults = parse(DEMO)
    if faults:
        raise Refused(["the demo's %s: %s" % (DEMO, f) for f in faults])
    values, faults = parse(path)
    folder = os.path.dirname(os.path.abspath(path))
    identity = {}
    for key in KEYS:
        if key in values:
            identity[key] = check_value(key, values[key][0], folder, faults)
        elif key in demo:
            identity[key] = demo[key][0]
    if faults:
        raise Refused(faults)
    return identity


def volume_label(identity):
    return re.sub(r"[^A-Z0-9]", "_", identity["label"].upper())


def c_string(text):
    return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')


def xml_text(text):
    return (text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace('"', "&quot;"))


def write_if_changed(path, text):
    # Only the icon's path may be other than ASCII; the build reads it as UTF-8.
    data = text.encode("utf-8")
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except OSError:
        pass
    with open(path, "wb") as f:
        f.write(data)


def header(identity, demo_icon):
    version = identity["version"].split(".")
    defines = [
        ("ZEPH_TITLE", c_string(identity["title"])),
        ("ZEPH_GAME", c_string(identity["game"])),
        ("ZEPH_APP_PATHS_KEY", c_string(APP_PATHS + identity["game"])),
        ("ZEPH_UNINSTALL_KEY", c_string(UNINSTALL + identity["uninstall_key"])),
        ("ZEPH_URL_DIRECTX", c_string(identity["url_directx"])),
        ("ZEPH_URL_GAME", c_string(identity["url_game"])),
        ("ZEPH_URL_PUBLISHER", c_string(identity["url_publisher"])),
        ("ZEPH_URL_DEVELOPER", c_string(identity["url_developer"])),
        ("ZEPH_URL_LICENSOR", c_string(identity["url_licensor"])),
        ("ZEPH_ICON_FILE", c_string(identity.get("icon") or demo_icon)),
        ("ZEPH_VERSION_MAJOR", version[0]),
        ("ZEPH_VERSION_MINOR", version[1]),
        ("ZEPH_VERSION_PATCH", version[2]),
        ("ZEPH_VERSION_BUILD", version[3]),
        ("ZEPH_VERSION_STRING", c_string(identity["version"])),
        ("ZEPH_COMPANY_NAME", c_string(identity["company"])),
        ("ZEPH_PRODUCT_NAME", c_string(identity["product"])),
        ("ZEPH_COPYRIGHT", c_string("Copyright (C) " + identity["company"])),
        ("ZEPH_FILE_DESCRIPTION", c_string(identity["product"] + " Launcher")),
    ]
    return ("// Made by tools/identity.py from the disc's identity file; edit that.\n"
            "#pragma once\n\n" + "".join("#define %s %s\n" % d for d in defines))


def manifest(identity):
    """The application manifest, named Company.Product.Launcher after the
    first word of each."""
    def word(text):
        return re.sub(r"[^A-Za-z0-9]", "", text.split()[0]) or "Disc"
    with open(MANIFEST) as f:
        template = f.read()
    return (template.replace("@NAME@", "%s.%s.Launcher" % (word(identity["company"]),
                                                           word(identity["product"])))
            .replace("@VERSION@", identity["version"])
            .replace("@DESCRIPTION@", xml_text(identity["product"] + " Launcher")))


def autorun(identity):
    # Windows reads it as an .ini file, lines ended the DOS way.
    return ("[autorun]\r\nopen=launcher.exe\r\nicon=launcher.exe,0\r\nlabel=%s\r\n"
            % identity["label"])


def resolved(identity):
    return "".join("%s = %s\n" % (key, identity[key]) for key in KEYS if key in identity)


def main(argv):
    usage = __doc__.split("\n\n")[1]
    if len(argv) < 2 or argv[1] in ("-h", "--help"):
        print(usage)
        return 0 if len(argv) >= 2 else 2
    command, args = argv[1], argv[2:]
    arity = {"check": (1, 1), "write": (2, 3), "resolved": (2, 2), "get": (2, 2)}
    if command not in arity or not arity[command][0] <= len(args) <= arity[command][1]:
        print(usage, file=sys.stderr)
        return 2
    try:
        identity = load(args[0])
    except Refused as e:
        for fault in e.args[0]:
            print("%s: %s" % (args[0], fault), file=sys.stderr)
        print("%s: refused; nothing was built" % args[0], file=sys.stderr)
        return 1
    if command == "check":
        print("%s: the disc of %s (%s %s), window \"%s\", game %s, volume %s"
              % (args[0], identity["product"], identity["company"], identity["version"],
                 identity["title"], identity["game"], volume_label(identity)))
    elif command == "write":
        os.makedirs(args[1], exist_ok=True)
        write_if_changed(os.path.join(args[1], "identity.h"),
                         header(identity, args[2] if len(args) > 2 else ""))
        write_if_changed(os.path.join(args[1], "launcher.manifest"), manifest(identity))
        write_if_changed(os.path.join(args[1], "autorun.inf"), autorun(identity))
    elif command == "resolved":
        write_if_changed(args[1], resolved(identity))
    elif command == "get":
        if args[1] == "volume_label":
            print(volume_label(identity))
        elif args[1] in KEYS:
            print(identity.get(args[1], ""))
        else:
            print("identity.py: no key %s" % args[1], file=sys.stderr)
            return 2
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv))
    except OSError as e:
        # A folder that cannot be written, a full disk: one line, as for a bad file.
        print("identity.py: %s: %s" % (e.filename, e.strerror), file=sys.stderr)
        sys.exit(1)
