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
    identity.py layout FILE OUT        the disc's layout, as the disc tools read
                                       it (tools/layoutfile.h)
    identity.py places FILE            each element on the disc, a line each:
                                       its key, its files' stem, X Y W H (and
                                       a flame's count of frame files)

Each value is checked before anything is written; a bad file gets one line
per fault, naming the key, and exit status 1. `check` also warns of buttons
that overlap. Files are written only when
their bytes change, so the build recompiles only what a change touches."""

import os
import re
import struct
import sys
import unicodedata

from discfolder import device_name, volume_id

HERE = os.path.dirname(os.path.abspath(__file__))
DEMO = os.path.join(os.path.dirname(HERE), "disc", "identity.txt")
MANIFEST = os.path.join(os.path.dirname(HERE), "res", "launcher.manifest.in")

# The launcher's buttons by their keys in the file: the id the launcher knows
# each by, the stem of its pictures' files, and the key of its web address.
# Install and play share a place, which only one of them shows at a time.
BUTTONS = (("install", 1, "8b1", None), ("play", 8, "8b8", None), ("uninstall", 10, "8b10", None),
           ("readme", 4, "8b4", None), ("directx", 2, "8bdldx7", "url_directx"),
           ("game_logo", 6, "8b6", "url_game"), ("publisher", 7, "8b7", "url_publisher"),
           ("developer", 11, "8bvexa", "url_developer"), ("licensor", 12, "8orlo", "url_licensor"),
           ("exit", 9, "8bexit", None))
# The flames by their keys, and the stems of their frames' files.
FLAMES = (("big_flame", "fire"), ("small_flame", "fire2_"))
BACKGROUND_STEM = "8bg1"
LAYOUT_KEYS = ("background",) + tuple(b[0] for b in BUTTONS) + tuple(f[0] for f in FLAMES)

# The launcher's fixed messages, one a key, named after what each says: the
# shell's refusals of a web address.
MESSAGE_KEYS = ("message_out_of_resources", "message_file_not_found", "message_path_not_found",
                "message_access_denied", "message_not_enough_memory", "message_invalid_exe",
                "message_sharing_violation", "message_association_incomplete",
                "message_dde_timed_out", "message_dde_failed", "message_dde_busy",
                "message_no_association", "message_dll_not_found", "message_unable_to_jump")
KEYS = ("title", "game", "uninstall_key", "url_directx", "url_game", "url_publisher",
        "url_developer", "url_licensor", "icon", "company", "product", "version", "label",
        "codepage", "action") + MESSAGE_KEYS + LAYOUT_KEYS
# What the disc shows, in any letter of its code page.
SHOWN = ("title", "label", "action", "company", "product") + MESSAGE_KEYS
# Left out, these are none rather than the demo's: autorun.inf has no action
# line, and a message stays the launcher's English.
NOT_INHERITED = ("action",) + MESSAGE_KEYS
# The Windows ANSI code pages: Thai, Japanese, simplified Chinese, Korean,
# traditional Chinese, and those of Central Europe to Vietnam.
CODE_PAGES = (874, 932, 936, 949, 950) + tuple(range(1250, 1259))

APP_PATHS = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\"
UNINSTALL = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
# The launcher copies the title into a buffer of 200 bytes; the registry
# takes key names of up to 255 characters; autorun.inf's label is checked for
# the 32 that Windows shows. The limits of shown texts are in bytes of the
# disc's code page, as Windows 95 to ME take them.
TITLE_MAX = 199
KEY_NAME_MAX = 255
LABEL_MAX = 32
TEXT_MAX = 255
# Some fifteen lines of a message box.
MESSAGE_MAX = 1024
URL_MAX = 2048
ICON_SIZES = (16, 32, 48)
# What Windows refuses in a file name.
FILE_NAME_FORBIDDEN = '\\/:*?"<>|'
# The background's sizes; the window is 4 pixels wider and taller.
BACKGROUND_MIN, BACKGROUND_MAX = (320, 240), (1024, 768)
WINDOW_MARGIN = 4
# The frames of a flame that the launcher shows, and the files the demo's
# flames carry (it loads them all, and never shows the rest).
SHOWN_FRAMES, DEMO_FRAME_FILES = 16, 30
# The buttons the pointer may find at one time, in the order the launcher
# tests them: a later one wins where two overlap.
HIT_ORDERS = ((1, 2, 4, 6, 7, 11, 12, 9), (8, 10, 2, 4, 6, 7, 11, 12, 9))


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
    # be in any; a value is checked against the disc's code page all the same.
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


def named(c):
    """A character as a refusal names it."""
    if unicodedata.category(c) == "Cc":
        return "the control character U+%04X" % ord(c)
    return "'%s' (U+%04X)" % (c, ord(c))


def check_text(key, value, limit, faults):
    """A name Windows looks up: printable ASCII, which every Windows reads
    alike whatever its code page."""
    odd = [c for c in value if ord(c) < 32 or ord(c) > 126]
    if not value:
        faults.append("%s is empty" % key)
    elif odd:
        faults.append("%s holds %s, which is not printable ASCII: names of programs, registry keys "
                      "and web addresses stay ASCII, so that every Windows finds them whatever its "
                      "code page" % (key, named(odd[0])))
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


def shown_text(key, value):
    """A shown value as the launcher carries it: in a message, \\n is a line
    break."""
    return value.replace("\\n", "\r\n") if key in MESSAGE_KEYS else value


def check_shown(key, value, codepage, faults):
    """A text the disc shows: any character of its code page that reads back
    as itself (Windows shows the one it reads back on every system), in no
    more bytes there than its place holds."""
    control = [c for c in value if unicodedata.category(c) == "Cc"]
    if not value:
        faults.append("%s is empty" % key)
        return
    if control:
        # A byte of another code page, read as the Western one.
        hint = "; is the file saved as UTF-8?" if 0x80 <= ord(control[0]) < 0xA0 else ""
        faults.append("%s holds %s%s" % (key, named(control[0]), hint))
        return
    encoding = "cp%d" % codepage
    for c in value:
        try:
            kept = c.encode(encoding).decode(encoding) == c
        except UnicodeError:
            kept = False
        if not kept:
            faults.append("%s holds %s, which the disc's code page %d does not have"
                          % (key, named(c), codepage))
            return
    data = shown_text(key, value).encode(encoding)
    limit = {"title": TITLE_MAX, "label": LABEL_MAX}.get(
        key, MESSAGE_MAX if key in MESSAGE_KEYS else TEXT_MAX)
    if len(data) > limit and len(data) == len(value):
        faults.append("%s is %d characters long, more than the %d it may have"
                      % (key, len(value), limit))
    elif len(data) > limit:
        faults.append("%s takes %d bytes in code page %d, more than the %d it may have"
                      % (key, len(data), codepage, limit))


def check_value(key, value, folder, faults):
    """Checks one value that the disc does not show; returns it as the build
    takes it."""
    if key == "codepage":
        if not re.fullmatch("[0-9]+", value) or int(value) not in CODE_PAGES:
            faults.append("codepage %r is not a Windows ANSI code page: %s"
                          % (value, ", ".join(str(c) for c in CODE_PAGES)))
        else:
            value = str(int(value))
    elif key == "game":
        if check_text(key, value, KEY_NAME_MAX, faults):
            bad = sorted(set(c for c in value if c in FILE_NAME_FORBIDDEN))
            device = device_name(value)
            if bad:
                faults.append("game %r holds %s, which Windows forbids in a file name"
                              % (value, " ".join(bad)))
            elif not value.lower().endswith(".exe") or len(value) == 4:
                faults.append("game %r is not a program's file name ending in .exe" % value)
            elif device:
                faults.append("game %r is named like the device %s, which Windows keeps for "
                              "itself" % (value, device))
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
    return value


def load(path, warnings=None):
    """The identity the file gives, every key filled in from the demo's.
    Raises Refused with every fault found; warnings, a list, receives what
    is allowed but may not be meant."""
    demo, faults = parse(DEMO)
    if faults:
        raise Refused(["the demo's %s: %s" % (DEMO, f) for f in faults])
    values, faults = parse(path)
    folder = os.path.dirname(os.path.abspath(path))
    identity = {}
    for key in KEYS:
        if key in LAYOUT_KEYS:
            continue
        if key in SHOWN and key in values:
            identity[key] = values[key][0]
        elif key in values:
            identity[key] = check_value(key, values[key][0], folder, faults)
        elif key in demo and key not in NOT_INHERITED:
            identity[key] = demo[key][0]
    # What the disc shows, once its code page is known.
    codepage = identity["codepage"]
    if re.fullmatch("[0-9]+", codepage) and int(codepage) in CODE_PAGES:
        for key in SHOWN:
            if key in values:
                check_shown(key, identity[key], int(codepage), faults)
    check_layout(values, demo, identity, faults, [] if warnings is None else warnings)
    if faults:
        raise Refused(faults)
    return identity


def numbers(value, counts):
    """The whole numbers a value holds, when it holds as many as one of
    counts allows and nothing else; else None."""
    parts = value.split()
    if len(parts) not in counts or not all(re.fullmatch("-?[0-9]{1,9}", p) for p in parts):
        return None
    return tuple(int(p) for p in parts)


def check_place(name, value, size, flame, faults):
    """One element's place, X Y W H or none (a flame's with the count of its
    frame files after it), as the build takes it; None when it is refused."""
    if value.lower() == "none":
        return "none"
    place = numbers(value, (4, 5) if flame else (4,))
    if place is None:
        faults.append("%s %r is not four numbers (x, y, width and height)%s or none"
                      % (name, value, ", the count of its frame files after them," if flame else ""))
        return None
    x, y, w, h = place[:4]
    if w < 1 or h < 1:
        faults.append("%s %r: its width and height must be at least 1" % (name, value))
    elif x < 0 or y < 0 or x + w > size[0] or y + h > size[1]:
        faults.append("%s %r does not lie inside the %d x %d background: give its place inside it, "
                      "or none" % ((name, value) + size))
    elif flame and len(place) == 5 and place[4] not in (SHOWN_FRAMES, DEMO_FRAME_FILES):
        faults.append("%s %r: its fifth number, the count of its frame files, is %d (the frames "
                      "the launcher shows) or %d (as the demo's), not %d"
                      % (name, value, SHOWN_FRAMES, DEMO_FRAME_FILES, place[4]))
    else:
        return " ".join(str(n) for n in place + ((SHOWN_FRAMES,) if flame and len(place) == 4 else ()))
    return None


def check_layout(values, demo, identity, faults, warnings):
    """The layout keys, checked together since every place must lie inside
    the background: each as the build takes it into identity, a key left out
    taking the demo's value (and play install's place). A web button that is
    not on the disc needs no address; the demo's is not taken for it."""
    def given(key):
        if key in values:
            return key, values[key][0]
        return "%s (the demo's value, as the file leaves it out)" % key, demo[key][0]

    name, value = given("background")
    size = numbers(value, (2,))
    if size is None:
        faults.append("%s %r is not two numbers, the picture's width and height" % (name, value))
        return
    if not all(low <= n <= high for n, low, high in zip(size, BACKGROUND_MIN, BACKGROUND_MAX)):
        faults.append("%s %d x %d is not from %d x %d to %d x %d"
                      % ((name,) + size + BACKGROUND_MIN + BACKGROUND_MAX))
        return
    identity["background"] = "%d %d" % size
    for key, _, _, url in BUTTONS:
        if key == "play" and key not in values:
            if "install" in identity:
                identity[key] = identity["install"]
            continue
        place = check_place(*given(key), size, False, faults)
        if place:
            identity[key] = place
            if place == "none" and url not in values:
                identity.pop(url, None)
    for key, _ in FLAMES:
        place = check_place(*given(key), size, True, faults)
        if place:
            identity[key] = place
    if not faults:
        warnings.extend(overlaps(Layout(identity)))


def overlaps(layout):
    """A line for each two buttons on the screen at one time with points
    that both would answer to (the edges are no button's)."""
    names = {button: key for key, button, _, _ in BUTTONS}
    lines = []
    for order in HIT_ORDERS:
        present = [b for b in order if b in layout.buttons]
        for i, first in enumerate(present):
            for later in present[i + 1:]:
                a, b = layout.buttons[first], layout.buttons[later]
                if (max(a[0], b[0]) + 2 <= min(a[0] + a[2], b[0] + b[2]) and
                        max(a[1], b[1]) + 2 <= min(a[1] + a[3], b[1] + b[3])):
                    line = ("warning: %s and %s overlap: where both lie, the pointer finds %s, which "
                            "the launcher tests later" % (names[first], names[later], names[later]))
                    if line not in lines:
                        lines.append(line)
    return lines


class Layout:
    """Where the launcher draws the disc's elements, in window coordinates:
    size, the background's (width, height), and window, the window's;
    buttons, {id: (x, y, width, height)} of each button on the disc; flames,
    the big and the small one's (x, y, width, height, frame files), or None
    for a flame that is not on the disc; flame_places, the places of those on
    the disc; elements, the places of every button and flame."""

    def __init__(self, identity):
        self.size = tuple(int(n) for n in identity["background"].split())
        self.window = (self.size[0] + WINDOW_MARGIN, self.size[1] + WINDOW_MARGIN)
        self.buttons = {button: tuple(int(n) for n in identity[key].split())
                        for key, button, _, _ in BUTTONS if identity[key] != "none"}
        self.flames = [tuple(int(n) for n in identity[key].split()) if identity[key] != "none"
                       else None for key, _ in FLAMES]
        self.flame_places = [flame[:4] for flame in self.flames if flame]
        self.elements = list(self.buttons.values()) + self.flame_places


STEMS = {button: stem for _, button, stem, _ in BUTTONS}


def volume_label(identity):
    """The image's, as make iso masters it."""
    return volume_id({"label": identity["label"]})


def c_string(text):
    return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')


def ansi_string(data):
    """Bytes as a C and resource string: a byte outside printable ASCII as
    three octal digits, which no character after it can lengthen."""
    return '"%s"' % "".join(chr(b) if 32 <= b < 127 and b not in b'\\"' else "\\%03o" % b
                            for b in data)


def wide_string(text):
    """UTF-16 as a C and resource string. A letter beyond ASCII is \\x and
    four hex digits, ending the piece when a hex digit follows (C would take
    it as one more digit of the escape)."""
    pieces, escaped = [], False
    for c in text:
        if escaped and c in "0123456789abcdefABCDEF":
            pieces.append('" L"')
        escaped = not 32 <= ord(c) < 127
        pieces.append("\\x%04x" % ord(c) if escaped else c.replace("\\", "\\\\").replace('"', '\\"'))
    return 'L"%s"' % "".join(pieces)


def shown_strings(identity, key, name):
    """The defines of a shown text: its ANSI bytes in the disc's code page as
    name, its UTF-16 as name_W; both null for a message left out."""
    if key not in identity:
        return [(name, "nullptr"), (name + "_W", "nullptr")]
    text = shown_text(key, identity[key])
    return [(name, ansi_string(text.encode("cp" + identity["codepage"]))),
            (name + "_W", wide_string(text))]


def xml_text(text):
    return (text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace('"', "&quot;"))


def write_if_changed(path, text):
    """Text as UTF-8, as the build reads it; bytes as they are."""
    data = text if isinstance(text, bytes) else text.encode("utf-8")
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
    defines = shown_strings(identity, "title", "ZEPH_TITLE") + [
        ("ZEPH_GAME", c_string(identity["game"])),
        ("ZEPH_APP_PATHS_KEY", c_string(APP_PATHS + identity["game"])),
        ("ZEPH_UNINSTALL_KEY", c_string(UNINSTALL + identity["uninstall_key"])),
        ("ZEPH_URL_DIRECTX", c_string(identity.get("url_directx", ""))),
        ("ZEPH_URL_GAME", c_string(identity.get("url_game", ""))),
        ("ZEPH_URL_PUBLISHER", c_string(identity.get("url_publisher", ""))),
        ("ZEPH_URL_DEVELOPER", c_string(identity.get("url_developer", ""))),
        ("ZEPH_URL_LICENSOR", c_string(identity.get("url_licensor", ""))),
        ("ZEPH_ICON_FILE", c_string(identity.get("icon") or demo_icon)),
        ("ZEPH_VERSION_MAJOR", version[0]),
        ("ZEPH_VERSION_MINOR", version[1]),
        ("ZEPH_VERSION_PATCH", version[2]),
        ("ZEPH_VERSION_BUILD", version[3]),
        ("ZEPH_VERSION_STRING", c_string(identity["version"])),
        # The version information is UTF-16 in the program, whatever the system.
        ("ZEPH_COMPANY_NAME", wide_string(identity["company"])),
        ("ZEPH_PRODUCT_NAME", wide_string(identity["product"])),
        ("ZEPH_COPYRIGHT", wide_string("Copyright (C) " + identity["company"])),
        ("ZEPH_FILE_DESCRIPTION", wide_string(identity["product"] + " Launcher")),
    ]
    for key in MESSAGE_KEYS:
        defines += shown_strings(identity, key, "ZEPH_" + key.upper())
    return ("// Made by tools/identity.py from the disc's identity file; edit that.\n"
            "#pragma once\n\n" + "".join("#define %s %s\n" % d for d in defines + layout_defines(identity)))


def layout_defines(identity):
    """The layout as frame/layout.h takes it: LauncherLayout's and
    PictureStems' initialisers, rectangles as left, top, right, bottom."""
    layout = Layout(identity)

    def rect(place):
        if place is None:
            return "{0, 0, 0, 0}"
        x, y, w, h = place[:4]
        return "{%d, %d, %d, %d}" % (x, y, x + w, y + h)
    buttons = [rect(layout.buttons.get(button)) for button in range(13)]
    stems = [c_string(STEMS[button]) if button in STEMS else "nullptr" for button in range(13)]
    return [("ZEPH_LAYOUT", "{%s, {%s}, {%s}, {%s}}" % (
                rect((0, 0) + layout.size), ", ".join(buttons),
                ", ".join(rect(flame) for flame in layout.flames),
                ", ".join(str(flame[4] if flame else 0) for flame in layout.flames))),
            ("ZEPH_PICTURE_STEMS", "{%s, {%s}, {%s}}" % (
                c_string(BACKGROUND_STEM), ", ".join(c_string(stem) for _, stem in FLAMES),
                ", ".join(stems)))]


def places(identity):
    """The elements on the disc for a script: key, stem, x, y, width, height,
    and a flame's count of frame files."""
    layout = Layout(identity)
    lines = ["background %s 0 0 %d %d" % ((BACKGROUND_STEM,) + layout.size)]
    lines += ["%s %s %d %d %d %d" % ((key, stem) + layout.buttons[button])
              for key, button, stem, _ in BUTTONS if button in layout.buttons]
    lines += ["%s %s %d %d %d %d %d" % ((key, stem) + flame)
              for (key, stem), flame in zip(FLAMES, layout.flames) if flame]
    return "\n".join(lines) + "\n"


def layout_file(identity, path):
    """The layout as the disc tools read it (tools/layoutfile.h): a line for
    the background, then one for each button and flame on the disc."""
    layout = Layout(identity)
    lines = ["# The layout of %s, made by tools/identity.py for the disc tools." % path,
             "background %d %d" % layout.size]
    lines += ["button %d %d %d %d %d" % ((button,) + place)
              for button, place in sorted(layout.buttons.items())]
    lines += ["flame %d %d %d %d %d %d" % ((n,) + flame)
              for n, flame in enumerate(layout.flames) if flame]
    return "\n".join(lines) + "\n"


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
    """Windows reads it as an .ini file, lines ended the DOS way, in the ANSI
    code page; AutoPlay (XP SP2 on) shows action= beside the disc's icon."""
    lines = ["[autorun]", "open=launcher.exe", "icon=launcher.exe,0", "label=" + identity["label"]]
    if "action" in identity:
        lines.append("action=" + identity["action"])
    return "".join(line + "\r\n" for line in lines).encode("cp" + identity["codepage"])


def resolved(identity):
    return "".join("%s = %s\n" % (key, identity[key]) for key in KEYS if key in identity)


def main(argv):
    usage = __doc__.split("\n\n")[1]
    if len(argv) < 2 or argv[1] in ("-h", "--help"):
        print(usage)
        return 0 if len(argv) >= 2 else 2
    command, args = argv[1], argv[2:]
    arity = {"check": (1, 1), "write": (2, 3), "resolved": (2, 2), "get": (2, 2), "layout": (2, 2),
             "places": (1, 1)}
    if command not in arity or not arity[command][0] <= len(args) <= arity[command][1]:
        print(usage, file=sys.stderr)
        return 2
    warnings = []
    try:
        identity = load(args[0], warnings)
    except Refused as e:
        for fault in e.args[0]:
            print("%s: %s" % (args[0], fault), file=sys.stderr)
        print("%s: refused; nothing was built" % args[0], file=sys.stderr)
        return 1
    if command == "check":
        for warning in warnings:
            print("%s: %s" % (args[0], warning), file=sys.stderr)
        print("%s: the disc of %s (%s %s), window \"%s\", game %s, volume %s, code page %s"
              % (args[0], identity["product"], identity["company"], identity["version"],
                 identity["title"], identity["game"], volume_label(identity),
                 identity["codepage"]))
    elif command == "write":
        os.makedirs(args[1], exist_ok=True)
        write_if_changed(os.path.join(args[1], "identity.h"),
                         header(identity, args[2] if len(args) > 2 else ""))
        write_if_changed(os.path.join(args[1], "launcher.manifest"), manifest(identity))
        write_if_changed(os.path.join(args[1], "autorun.inf"), autorun(identity))
    elif command == "resolved":
        write_if_changed(args[1], resolved(identity))
    elif command == "layout":
        write_if_changed(args[1], layout_file(identity, args[0]))
    elif command == "places":
        print(places(identity), end="")
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
