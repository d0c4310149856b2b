"""Set-up's decisions, with stand-ins for apt-get, dpkg, dpkg-query and the
locale tools on the PATH: the packages named by release, an index that fails
once or twice, an install that needs the release's own versions, one that
cannot be done, and the test locales generated where they are missing."""

import os
import re
import subprocess
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SETUP = os.path.join(ROOT, "scripts", "setup.sh")

# One program under every name it stands in for. Its state is a folder: the
# installed packages, the architectures, how many updates are still to fail,
# whether an install fails never, without -t, or always, and the locales
# generated.
STAND_IN = r"""
cd "$STAND_IN_STATE"
case "${0##*/} $1" in
"id "*) echo 0 ;;
"dpkg-query "*)
    grep -qxF -- "${!#}" installed || exit 1
    printf 'install ok installed' ;;
"dpkg --print-foreign-architectures") cat architectures 2>/dev/null || true ;;
"dpkg --add-architecture") echo "$2" >>architectures ;;
"apt-get update")
    echo "$*" >>calls
    left=$(cat update-failures)
    if [ "$left" -gt 0 ]; then
        echo $((left - 1)) >update-failures
        echo "E: Failed to fetch http://mirror/dists/bookworm-security/main/binary-i386/Packages.xz" \
             " File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2
        echo "E: Some index files failed to download." >&2
        exit 100
    fi ;;
"apt-get install")
    echo "$*" >>calls
    mode=$(cat install)
    if [ "$mode" = never ] || { [ "$mode" = with-t ] && ! [[ " $* " == *" -t "* ]]; }; then
        echo "E: Unable to correct problems, you have held broken packages." >&2
        exit 100
    fi
    for word in "${@:2}"; do
        case "$word" in -*|bookworm|trixie) ;; *) echo "$word" >>installed ;; esac
    done ;;
"locale -a") cat locales ;;
"locale-gen --keep-existing")
    sed -n 's/^\([^# ]*\)\.UTF-8 UTF-8$/\1.utf8/p' "$ZEPH_LOCALE_GEN" >>locales ;;
*) echo "stand-in: unexpected call: ${0##*/} $*" >&2; exit 2 ;;
esac
"""

# What a machine needs, in set-up's order, as set-up lists it; "$clang_rt" is
# the one name that differs by release.
with open(SETUP) as f:
    EVERYTHING = re.search(r"^packages=\((.*?)^\)", f.read(), re.S | re.M).group(1).split()
SANITIZERS = {"bookworm": "libclang-rt-14-dev", "trixie": "libclang-rt-dev"}
# The locales the tests run Wine in, as `locale -a` names them.
TEST_LOCALES = ["ja_JP.utf8", "zh_CN.utf8", "zh_TW.utf8", "de_DE.utf8"]
PLAIN = "install -y -qq --no-install-recommends"


class SetUp(unittest.TestCase):
    def run_setup(self, release, installed, update_failures, install, locales=TEST_LOCALES,
                  locale_gen=""):
        """set-up's exit status, its lines on standard error, apt-get's calls
        and what is installed after it. self.state: the stand-ins' folder."""
        temp = tempfile.TemporaryDirectory()
        self.addCleanup(temp.cleanup)
        state, bin_dir = os.path.join(temp.name, "state"), os.path.join(temp.name, "bin")
        self.state = state
        files = {os.path.join(bin_dir, "stand-in"): "#!/bin/bash" + STAND_IN,
                 os.path.join(temp.name, "os-release"): "VERSION_CODENAME=%s\n" % release,
                 os.path.join(state, "installed"): "".join(p + "\n" for p in installed),
                 os.path.join(state, "update-failures"): str(update_failures),
                 os.path.join(state, "install"): install,
                 os.path.join(state, "locales"): "".join(l + "\n" for l in locales),
                 os.path.join(state, "locale.gen"): locale_gen}
        for path, text in files.items():
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write(text)
        os.chmod(os.path.join(bin_dir, "stand-in"), 0o755)
        for name in ("apt-get", "dpkg", "dpkg-query", "id", "locale", "locale-gen"):
            os.symlink("stand-in", os.path.join(bin_dir, name))
        env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ["PATH"],
                   STAND_IN_STATE=state, ZEPH_OS_RELEASE=os.path.join(temp.name, "os-release"),
                   ZEPH_LOCALE_GEN=os.path.join(state, "locale.gen"))
        result = subprocess.run(["bash", SETUP], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, universal_newlines=True)

        def lines(name):
            try:
                with open(os.path.join(state, name)) as f:
                    return f.read().splitlines()
            except FileNotFoundError:
                return []
        return (result.returncode, result.stderr.splitlines(), lines("calls"),
                set(lines("installed")))

    def test_each_machine_and_mirror_gets_what_it_needs_or_one_line_saying_what_to_run(self):
        def fresh(release):
            return " ".join([PLAIN] + named(release))

        def named(release):
            return [SANITIZERS[release] if p == '"$clang_rt"' else p for p in EVERYTHING]
        update = "update -qq"
        # All but wine32 and the sanitizers, which differ by release.
        all_but_two = [p for p in named("bookworm") if p not in ("wine32:i386", "libclang-rt-14-dev")]
        cases = [
            # name, release, installed, failed updates, install mode: apt-get's calls, status,
            # set-up's last line on standard error
            ("all present", "bookworm", named("bookworm"), 0, "always",
             [], 0, None),
            ("fresh bookworm", "bookworm", [], 0, "always", [update, fresh("bookworm")], 0, None),
            ("fresh trixie", "trixie", [], 0, "always", [update, fresh("trixie")], 0, None),
            ("an index fails once", "bookworm", [], 1, "always",
             [update, update, fresh("bookworm")], 0, None),
            ("an index fails twice", "bookworm", [], 2, "always",
             [update, update, fresh("bookworm")], 0,
             "setup: going on with the package indexes there are; one failed twice: Failed to fetch "
             "http://mirror/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected "
             "size (374820 != 376004). Mirror sync in progress?"),
            ("the architectures disagree", "trixie", all_but_two, 0, "with-t",
             [update, PLAIN + " libclang-rt-dev wine32:i386",
              PLAIN + " -t trixie libclang-rt-dev wine32:i386"], 0, None),
            ("nothing installs", "bookworm", all_but_two, 2, "never",
             [update, update, PLAIN + " libclang-rt-14-dev wine32:i386",
              PLAIN + " -t bookworm libclang-rt-14-dev wine32:i386"], 1,
             "setup: could not install libclang-rt-14-dev wine32:i386 (Unable to correct problems, "
             "you have held broken packages.); once the package mirror answers in full, run: "
             "apt-get update && apt-get install --no-install-recommends libclang-rt-14-dev "
             "wine32:i386"),
        ]
        for name, release, installed, failures, install, calls, status, line in cases:
            with self.subTest(name):
                got_status, errors, got_calls, now = self.run_setup(release, installed, failures,
                                                                    install)
                self.assertEqual(status, got_status, errors)
                self.assertEqual(calls, got_calls)
                self.assertEqual([line] if line else [], errors[-1:])
                if status == 0:
                    self.assertLessEqual(set(named(release)), now)

    def test_missing_test_locales_are_generated_from_debians_list(self):
        everything = [SANITIZERS["trixie"] if p == '"$clang_rt"' else p for p in EVERYTHING]
        status, errors, calls, _ = self.run_setup(
            "trixie", everything, 0, "always", locales=["C.utf8", "zh_CN.utf8"],
            locale_gen="# de_DE.UTF-8 UTF-8\n# ja_JP.EUC-JP EUC-JP\n# ja_JP.UTF-8 UTF-8\n")
        self.assertEqual((0, [], []), (status, errors, calls))
        with open(os.path.join(self.state, "locale.gen")) as f:
            self.assertEqual("de_DE.UTF-8 UTF-8\n# ja_JP.EUC-JP EUC-JP\nja_JP.UTF-8 UTF-8\n"
                             "zh_TW.UTF-8 UTF-8\n", f.read())
        with open(os.path.join(self.state, "locales")) as f:
            self.assertLessEqual(set(TEST_LOCALES), set(f.read().split()))


if __name__ == "__main__":
    unittest.main()
