"""A disc of an author's own, from the starter set to a disc folder, as an
author makes it: an identity file of another disc (title, game, registry
keys, web address, icon, version, label) with a face of its own (an 800 x
600 picture, six buttons at places and sizes the demo's are not, one flame,
the other buttons and flame none), `make art-template` for that layout, the
art changed, and `make disc`, each run from the author's own folder with
paths relative to it: a folder whose name has a space, an apostrophe and an
"e" with an accent, holding folders whose names have spaces, and a game
whose name has one. The folder's launcher, under Wine, opens a window with
the new title and icon, draws the new art exactly at its places, offers
PLAY when the new game's values are in the registry and not for the demo's,
lights, presses and opens its address at a new place, and answers nothing
at the demo's old places, which show the background; `make proof` finds
every tile of its sheet equal to its bitmap; `make run DISC=folder
INSTALLED=1` shows it installed and leaves the registry as it found it.
`make iso`, with a certificate as an authority delivers it (a chain of the
tests' own), gives the folder's image: the author's programs signed twice
and verified against the test's root, never dated before the certificate
starts, a vendor's signed program and a 16-bit file as they were, every file
as Windows reads it, laid out in the launcher's start-up order for its
layout, labelled for the disc, and the same bytes from every form of the
key: a PEM file, a .pfx, and the key on a token (softhsm2's, through
PKCS#11), password and PIN read from one file saved as Notepad saves it. A
signing service's client of the test's own, which signs with SHA-256 alone,
signs too, and is said to.

And a disc for Japan, from the same art, layout and files: its title,
AutoPlay line and one message in Japanese, code page 932. On a Windows of
another code page (a German one) the window's title is the identity's and a
second copy finds the first by it and brings it to the front, and the
message shows in Japanese; on a Japanese Windows 98 the title reads right
through the ANSI calls.

The disc is made once, by the first case that needs it; each further check
of the disc (its image, say) is one more case in the list at the end."""

import filecmp
import os
import struct
import subprocess
import sys
from datetime import datetime, timezone

from demo_flow import dismiss
from e2elib import APP_PATHS_KEY, HTTP_COMMAND_KEY, ROOT, UNINSTALL_KEY, run_cases
from winedrive import (PLACES, TITLE, Failure, Launcher, centre, composed, differences,
                       wait_until)
from make_run import disc_icon, window_icon

sys.path.insert(0, os.path.join(ROOT, "tests", "iso"))
import identity  # noqa: E402
import mastering  # noqa: E402
import signing  # noqa: E402
import testca  # noqa: E402
from discfolder import disc_files  # noqa: E402

NEW_TITLE = "Stormhaven Launcher"
GAME = "Keel Run.exe"
UNINSTALL_NAME = "Stormhaven Trial"
ADDRESS = "http://www.brightwater.example/"
# Its face: its buttons right of and below every place the demo has one, in
# sizes of their own: INSTALL (PLAY in its place), UNINSTALL, READ ME, the
# publisher's emblem and EXIT; the big flame at the right; the other buttons,
# whose addresses it leaves out, and the small flame none.
LAYOUT = """background = 800 600
install = 640 330 140 50
uninstall = 640 400 140 50
readme = 40 470 150 50
publisher = 300 462 160 110
exit = 610 520 170 50
directx = none
game_logo = none
developer = none
licensor = none
big_flame = 690 100 60 170
small_flame = none
"""
IDENTITY = """# A made-up disc: every key but none of the demo's values.
title = %s
game = %s
uninstall_key = %s
url_publisher = %s
icon = ../art icon/stormhaven.ico
company = Brightwater Games
product = Stormhaven Trial
version = 2.1.7.3
label = Stormhaven Trial
""" % (NEW_TITLE, GAME, UNINSTALL_NAME, ADDRESS) + LAYOUT
NEW_APP_PATHS_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths" + "\\" + GAME
NEW_UNINSTALL_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall" + "\\" + UNINSTALL_NAME

JAPANESE_TITLE = "\u30be\u30fc\u30d9\u30c3\u30af\u30b9 \u4f53\u9a13\u7248"
NO_ASSOCIATION = ("\u3053\u306e\u7a2e\u985e\u306e\u30a2\u30c9\u30ec\u30b9\u3092\u958b\u304f"
                  "\u30d7\u30ed\u30b0\u30e9\u30e0\u304c\u3042\u308a\u307e\u305b\u3093\u3002")
JAPANESE = """# A disc for Japan: what it shows in Japanese, the names Windows finds in ASCII.
codepage = 932
title = %s
label = \u30be\u30fc\u30d9\u30c3\u30af\u30b9\u4f53\u9a13\u7248
action = \u30be\u30fc\u30d9\u30c3\u30af\u30b9\u4f53\u9a13\u7248\u3092\u59cb\u3081\u308b
message_no_association = %s
""" % (JAPANESE_TITLE, NO_ASSOCIATION) + LAYOUT

made = {}


def make(s, where, *args, status=0):
    """`make ARGS` as an author runs it from the folder where: the project
    named by -C, the shell's PWD their own. Its output, when it ends with
    the status expected (make's 2 for any failure)."""
    result = subprocess.run(["make", "-s", "-C", ROOT] + list(args), cwd=where,
                            env=dict(s.env, PWD=where, ZEPH_BUILD=s.build),
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, timeout=600)
    output = result.stdout.decode(errors="replace")
    if result.returncode != status:
        raise Failure("make %s ended with %d:\n%s" % (" ".join(args), result.returncode, output))
    return output


def own_disc(s):
    """The author's folder with its disc, made on first use."""
    if made:
        return made
    home = os.path.join(s.scratch, "Zo\xe9's discs")
    os.makedirs(os.path.join(home, "disc files", "game"))
    os.makedirs(os.path.join(home, "art icon"))
    os.makedirs(os.path.join(home, "disc identity"))
    icon = os.path.join(home, "art icon", "stormhaven.ico")
    s.x(["convert", os.path.join(s.build, "host", "disc-art", "zephrane.ico"), "-negate", icon])
    identity_file = os.path.join(home, "disc identity", "storm haven.txt")
    with open(identity_file, "w") as f:
        f.write(IDENTITY)
    s.look_at(identity.Layout(identity.load(identity_file)))
    make(s, home, "art-template", "IDENTITY=disc identity/storm haven.txt", "OUT=painted art")
    art = os.path.join(home, "painted art")
    # The background, the flame's 16 frames, six buttons' three pictures and the guide.
    names = sorted(n for n in os.listdir(art) if n.endswith(".png"))
    if len(names) != 1 + 16 + 6 * 3 + 1 or "guide.png" not in names or "fire16.png" not in names:
        raise Failure("art-template wrote %d pictures: %s" % (len(names), names[:5]))
    # New art: every picture in its colours' negative, so that a flame frame
    # still carries the background's own pixels at its edge.
    s.x(["mogrify", "-negate"] + [os.path.join(art, n) for n in names if n != "guide.png"])
    # The author's files: a setup, a read-me and the game in its folder, the
    # probe standing in for the programs.
    for name in ("setup.exe", os.path.join("game", GAME)):
        with open(s.probe, "rb") as src, open(os.path.join(home, "disc files", name), "wb") as dst:
            dst.write(src.read())
    with open(os.path.join(home, "disc files", "readme.txt"), "w") as f:
        f.write("Stormhaven Trial\r\n")

    output = make(s, home, "disc", "IDENTITY=disc identity/storm haven.txt", "ART=painted art",
                  "FILES=disc files", "OUT=Stormhaven disc",
                  "ARCH=" + os.path.basename(s.cross.rstrip("/")))
    disc = os.path.join(home, "Stormhaven disc")
    for line in ("disc: wrote the disc folder %s:" % disc, "the launcher, built for %s"
                 % identity_file, "label=Stormhaven Trial", "setup.exe", "game/", "readme.txt",
                 "the 35 pictures of its layout"):
        if line not in output:
            raise Failure("make disc did not say %r:\n%s" % (line, output))
    with open(os.path.join(disc, "autorun.inf"), "rb") as f:
        autorun = f.read()
    if autorun != b"[autorun]\r\nopen=launcher.exe\r\nicon=launcher.exe,0\r\nlabel=Stormhaven Trial\r\n":
        raise Failure("autorun.inf holds %r" % autorun)
    made.update(home=home, disc=disc, icon=icon, identity=identity_file)
    return made


def new_window_new_art_new_icon(s):
    own = own_disc(s)
    s.move(s.empty)
    launcher = Launcher(s, own["disc"]).start()
    titled = s.windows(NEW_TITLE, pid=launcher.proc.pid)
    if launcher.window not in titled or s.windows(TITLE):
        raise Failure("the window is not titled %r alone" % NEW_TITLE)
    # Exactly the disc's bitmaps at its places, on a picture of its size.
    expected = composed(s, launcher.disc, False)
    if (expected.width, expected.height) != (800, 600):
        raise Failure("the disc's background is %d x %d" % (expected.width, expected.height))
    count, where = differences(s.grab((0, 0) + s.layout.size), expected, [s.layout.flames[0][:4]])
    if count:
        raise Failure("%d pixels differ from the disc's bitmaps, the first at %s" % (count, where))
    if window_icon(s, launcher.window) != disc_icon(s, 32, own["icon"]):
        raise Failure("the window's icon is not the 32 x 32 picture of the identity's icon")
    # The version information and every string of the program are the new
    # disc's: no name of the demo's is left in it.
    with open(os.path.join(own["disc"], "launcher.exe"), "rb") as f:
        program = f.read().lower()
    for name in ("zephrane", "zorvex", "quillspire", "vexmoor", "orlenk"):
        if name.encode() in program or name.encode("utf-16-le") in program:
            raise Failure("launcher.exe still holds the demo's name %r" % name)
    for text in ("Brightwater Games", "Stormhaven Trial Launcher", "2.1.7.3"):
        if text.lower().encode("utf-16-le") not in program:
            raise Failure("launcher.exe's version information lacks %r" % text)


def play_for_its_own_game_only(s):
    own = own_disc(s)
    game_folder = s.unix_to_windows(os.path.join(own["disc"], "game"))
    # The demo's game installed: nothing of it concerns this disc.
    s.reg_set(APP_PATHS_KEY, "Path", game_folder)
    s.reg_set(UNINSTALL_KEY, "UninstallString", r"C:\windows\notepad.exe")
    s.move(s.empty)
    launcher = Launcher(s, own["disc"]).start()
    launcher.expect_all_up("the demo's game in the registry")
    s.key("Escape")
    launcher.wait_closed("Escape to close the launcher")

    def forget():
        for key in (NEW_APP_PATHS_KEY, NEW_UNINSTALL_KEY):
            s.reg_delete_key(key)
    s.undo.append(forget)
    s.reg_set(NEW_APP_PATHS_KEY, "Path", game_folder)
    s.reg_set(NEW_UNINSTALL_KEY, "UninstallString", r"C:\windows\notepad.exe")
    launcher = Launcher(s, own["disc"]).start()
    launcher.expect_all_up("its own game in the registry", installed=True)
    s.move(centre(8, layout=s.layout))
    launcher.expect(8, "focus", "the pointer on PLAY")
    s.click()
    launcher.wait_closed("the launcher to close after play")
    record = s.wait_records(1, "the game to start")[0]
    if not record["module"].lower().endswith("\\game\\" + GAME.lower()) or \
            record["cwd"].rstrip("\\").lower() != game_folder.lower():
        raise Failure("PLAY started %s in %s" % (record["module"], record["cwd"]))
    forget()


def its_own_places(s):
    """The publisher's emblem at its new place lights, presses in and opens
    its address; at every place of the demo's buttons the disc shows its
    background, and neither the pointer nor a click wakes anything there."""
    own = own_disc(s)
    s.move(s.empty)
    launcher = Launcher(s, own["disc"]).start()
    s.move(centre(7, layout=s.layout))
    launcher.expect(7, "focus", "the pointer on the publisher's emblem")
    s.press()
    launcher.expect(7, "down", "the publisher's emblem pressed")
    s.release()
    record = s.wait_records(1, "the publisher's address")[0]
    if '"%s"' % ADDRESS not in record["cmdline"]:
        raise Failure("the publisher's emblem opened %s, not %s" % (record["cmdline"], ADDRESS))
    for button, place in sorted(PLACES.items()):
        s.move(centre(button))
        launcher.settle()
        launcher.expect_all_up("the pointer on the demo's place of button %d" % button)
        if not launcher.background_region(place):
            raise Failure("the demo's place of button %d shows other than the background" % button)
        s.click()
    launcher.settle()
    if len(s.probe_records()) != 1 or not launcher.alive():
        raise Failure("a click on the demo's places started something, or ended the launcher")


def its_proof(s):
    """make proof of the disc, for its layout: the windows, its six buttons'
    three pictures and its flame's 16 frames, each tile the disc's bitmaps."""
    own = own_disc(s)
    output = make(s, own["home"], "proof", "IDENTITY=disc identity/storm haven.txt",
                  "DISC=Stormhaven disc", "OUT=proof.png")
    for line in (": 37 tiles, ", "proof: every tile shows what the disc's bitmaps say"):
        if line not in output:
            raise Failure("make proof did not say %r:\n%s" % (line, output))


def make_run_installed(s):
    own = own_disc(s)
    s.move(s.empty)
    proc = subprocess.Popen(["make", "-s", "-C", ROOT, "run", "DISC=Stormhaven disc", "INSTALLED=1"],
                            cwd=own["home"], env=dict(s.env, PWD=own["home"]),
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    s.groups.append(proc)
    launcher = Launcher(s, own["disc"])
    launcher.window = wait_until(lambda: s.windows(NEW_TITLE), "the launcher of make run",
                                 timeout=30)[0]
    launcher.proc = proc
    wait_until(launcher.background_shown, "the launcher's picture")
    launcher.expect_all_up("make run INSTALLED=1", installed=True)
    s.key("Escape")
    wait_until(lambda: proc.poll() is not None, "make run to end after Escape", timeout=30)
    if proc.returncode != 0:
        raise Failure("make run ended with %d" % proc.returncode)
    for key, value in ((NEW_APP_PATHS_KEY, "Path"), (NEW_UNINSTALL_KEY, "UninstallString")):
        if s.reg_query(key, value) is not None:
            raise Failure("make run left %s\\%s behind" % (key, value))


def its_image(s):
    own = own_disc(s)
    home, disc = own["home"], own["disc"]
    # The author's certificate comes from an authority, with its
    # intermediate; a vendor's program on the disc is signed by another.
    ca = os.path.join(home, "signing ca")
    root = testca.issue(ca, "root", profile="authority")
    testca.issue(ca, "intermediate", issuer="root", profile="authority")
    author = testca.issue(ca, "author", issuer="intermediate")
    testca.issue(ca, "vendor")
    intermediate = os.path.join(ca, "intermediate.crt")
    with open(author, "rb") as a, open(intermediate, "rb") as i, \
            open(os.path.join(home, "author chain.pem"), "wb") as chain:
        chain.write(a.read() + i.read())
    password = "Storm haven 2!"
    with open(os.path.join(home, "author pass.txt"), "wb") as f:
        f.write(("\ufeff%s\r\n" % password).encode())
    s.x(["openssl", "pkcs12", "-export", "-in", author, "-certfile", intermediate,
         "-inkey", os.path.join(ca, "author.key"), "-out", os.path.join(home, "author.pfx"),
         "-passout", "pass:" + password])
    # The same key on a token, and a signing service's client that signs in
    # place with SHA-256 alone.
    s.env["SOFTHSM2_CONF"] = os.path.join(home, "softhsm2.conf")
    os.makedirs(os.path.join(home, "tokens"))
    with open(s.env["SOFTHSM2_CONF"], "w") as f:
        f.write("directories.tokendir = %s\nobjectstore.backend = file\n" % os.path.join(home, "tokens"))
    s.x(["softhsm2-util", "--init-token", "--free", "--label", "Stormhaven Token", "--so-pin",
         "1234", "--pin", password])
    s.x(["openssl", "pkcs8", "-topk8", "-nocrypt", "-in", os.path.join(ca, "author.key"),
         "-out", os.path.join(ca, "author.p8")])
    s.x(["softhsm2-util", "--import", os.path.join(ca, "author.p8"), "--token", "Stormhaven Token",
         "--label", "author key", "--id", "01", "--pin", password])
    with open(os.path.join(home, "service sign.sh"), "w") as f:
        f.write('osslsigncode sign -certs "author chain.pem" -key "$1" -h sha256 -in "$2" '
                '-out "$2.new" && mv "$2.new" "$2"\n')
    start = s.x(["openssl", "x509", "-noout", "-startdate", "-dateopt", "iso_8601", "-in", author])
    start = datetime.strptime(start.decode().strip(), "notBefore=%Y-%m-%d %H:%M:%SZ")
    os.makedirs(os.path.join(disc, "redist"), exist_ok=True)
    s.x(["osslsigncode", "sign", "-certs", os.path.join(ca, "vendor.crt"),
         "-key", os.path.join(ca, "vendor.key"), "-in", s.probe,
         "-out", os.path.join(disc, "redist", "dxsetup.exe")])
    # A 16-bit library: a DOS header that leads to an NE one.
    with open(os.path.join(disc, "game", "thunk16.dll"), "wb") as f:
        f.write(b"MZ" + bytes(58) + struct.pack("<I", 64) + b"NE\x05\x0a" + bytes(60))
    os.symlink("../readme.txt", os.path.join(disc, "game", "readme.txt"))

    with open(os.path.join(disc, "launcher.exe"), "rb") as f:
        unsigned = f.read()
    images = []
    for name, key in (("first.iso", ("SIGN_CERT=author chain.pem", "SIGN_KEY=signing ca/author.key")),
                      ("second.iso", ("SIGN_CERT=author.pfx", "SIGN_PASS_FILE=author pass.txt")),
                      ("third.iso", ("SIGN_CERT=author chain.pem", "SIGN_PASS_FILE=author pass.txt",
                                     "SIGN_KEY=pkcs11:token=Stormhaven%20Token;object=author%20key",
                                     "SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so")),
                      ("fourth.iso", ('SIGN_CMD=sh "service sign.sh" "signing ca/author.key"',))):
        output = make(s, home, "iso", "DISC=Stormhaven disc", "ISO=" + name,
                      "IDENTITY=disc identity/storm haven.txt", "SIGN_ROOT=signing ca/root.crt", *key)
        how = " with SHA-256 alone, as the signer makes no SHA-1 signature (Windows 2000 and XP " \
            "before SP3 show these as unsigned)," if name == "fourth.iso" else \
            ", SHA-1 with SHA-256 nested in it,"
        for line in ("signed%s and verified in the image against the roots in %s: launcher.exe, "
                     "setup.exe, game/%s" % (how, root, GAME),
                     "left as it is: game/thunk16.dll, a 16-bit Windows file (NE)",
                     "left as it is: redist/dxsetup.exe, signed already"):
            if line not in output:
                raise Failure("make iso did not say %r:\n%s" % (line, output))
        with open(os.path.join(home, name), "rb") as f:
            images.append(f.read())
    if not images[0] == images[1] == images[2] != images[3]:
        raise Failure("the key as a file, in a .pfx and on a token made different images, or "
                      "the service's the same")
    with open(os.path.join(disc, "launcher.exe"), "rb") as f:
        if f.read() != unsigned:
            raise Failure("make iso signed the author's own launcher.exe, not a copy")
    iso = os.path.join(home, "first.iso")
    startorder = os.path.join(s.build, "host", "tools", "startorder")
    layout = os.path.join(home, "layout.txt")
    with open(layout, "w") as f:
        f.write(identity.layout_file(identity.load(own["identity"]), own["identity"]))
    order = mastering.startup_order(disc, "launcher.exe", startorder, ["--layout", layout])
    problems = mastering.order_problems(mastering.extents(iso), order)
    if len(order) != 1 + 35 or problems:
        raise Failure("the image's start-up reads: %d files, %s" % (len(order), problems))
    if b"STORMHAVEN_TRIAL" not in images[0][16 * 2048:17 * 2048]:
        raise Failure("the image is not labelled STORMHAVEN_TRIAL")
    # Every file as Windows reads it, through the Joliet tree: the author's
    # programs signed, everything else (a link too) the folder's very bytes.
    read = os.path.join(home, "read")
    s.x(["xorriso", "-read_fs", "norock", "-osirrox", "on", "-indev", iso, "-extract", "/", read])
    files = disc_files(disc)
    if disc_files(read) != files:
        raise Failure("the Joliet tree differs in %s" % (set(disc_files(read)) ^ set(files)))
    for relative in files:
        error = None
        if relative in ("launcher.exe", "setup.exe", "game/" + GAME):
            verified = signing.verify(os.path.join(read, relative), root)
            error = verified.problem
            if not error and min(verified.times) < start.replace(tzinfo=timezone.utc):
                error = "signed on %s, before the certificate starts" % min(verified.times)
        elif not filecmp.cmp(os.path.join(disc, relative), os.path.join(read, relative), False):
            error = "not the folder's bytes"
        if error:
            raise Failure("%s through the Joliet tree: %s" % (relative, error))


def japanese_disc(s, locale):
    """The disc for Japan, made on first use, and its launcher started with
    Wine in that host locale, which every program the session starts from
    then on shares."""
    own = own_disc(s)
    if "japan" not in made:
        with open(os.path.join(own["home"], "japan.txt"), "w", encoding="utf-8") as f:
            f.write(JAPANESE)
        make(s, own["home"], "disc", "IDENTITY=japan.txt", "ART=painted art", "FILES=disc files",
             "OUT=Japan disc", "ARCH=" + os.path.basename(s.cross.rstrip("/")))
        made["japan"] = os.path.join(own["home"], "Japan disc")
    s.env.update(LANG=locale, LC_ALL=locale)
    s.move(s.empty)
    launcher = Launcher(s, made["japan"]).start()
    wait_until(lambda: s.x(["xdotool", "getwindowname", launcher.window]).decode().strip()
               == JAPANESE_TITLE, "the window titled %s" % JAPANESE_TITLE)
    return launcher


def japanese_on_a_german_windows(s):
    first = japanese_disc(s, "de_DE.UTF-8")
    ox, oy = s.screen_origin()
    s.start([s.wintool, "cover", str(ox - 10), str(oy - 10), str(ox + 820), str(oy + 620)])
    wait_until(lambda: not first.background_shown(), "another window over the launcher")
    second = s.start(["launcher.exe"], cwd=first.folder)
    wait_until(lambda: second.poll() is not None, "the second copy to end by itself", timeout=20)
    wait_until(first.background_shown, "the first launcher in front again")
    if len(s.windows(JAPANESE_TITLE)) != 1:
        raise Failure("%d windows titled %s" % (len(s.windows(JAPANESE_TITLE)), JAPANESE_TITLE))
    # No program for web addresses: the shell's refusal, in the disc's words.
    s.reg_delete_key(r"HKCR\http\shell")
    try:
        s.move(s.empty)
        s.move(centre(7, layout=s.layout))
        first.expect(7, "focus", "the pointer on the publisher's button")
        s.click()
        wait_until(lambda: s.windows("launcher"), "the launcher's message box")
        text = s.wine([s.wintool, "text", "launcher"])
        if NO_ASSOCIATION not in text:
            raise Failure("the message box says %r" % text)
        dismiss(s, "launcher")
    finally:
        s.reg_set(HTTP_COMMAND_KEY, None, '"%s" "%%1"' % s.unix_to_windows(s.probe))


def japanese_on_windows_98(s):
    key = r"HKCU\Software\Wine\AppDefaults\launcher.exe"
    s.undo.append(lambda: s.reg_delete_key(key))
    s.reg_set(key, "Version", "win98")
    japanese_disc(s, "ja_JP.UTF-8")
    s.reg_delete_key(key)


if __name__ == "__main__":
    run_cases([new_window_new_art_new_icon, play_for_its_own_game_only, its_own_places, its_proof,
               make_run_installed, its_image, japanese_on_a_german_windows, japanese_on_windows_98])
