"""Prints the one line of `make test` that says which configurations its run
tested and which this machine could not: read from CTest's JUnit report, so
that the line names what ran, not what was meant to.

    configurations.py REPORT.xml WINE_ARCH RUNS_I686
"""

import re
import sys
import xml.etree.ElementTree as ElementTree


def main(report, arch, runs_i686):
    product = ("the i686 launcher in a 32-bit prefix" if arch == "win32"
               else "the x86-64 build in a 64-bit prefix")
    # Each configuration with the tests that stand for it.
    configurations = [
        (product, lambda n: n.startswith(("win32.", "e2e.", "soak."))),
        ("the i686 launcher in a 64-bit prefix (WoW64)", lambda n: n.startswith("wow64.")),
        ("a 24-bit display", lambda n: n.startswith(("e2e.", "soak."))
         and n not in ("e2e.picture16", "e2e.palette")),
        ("a 16-bit display", lambda n: n == "e2e.picture16"),
        ("an 8-bit display", lambda n: n == "e2e.palette"),
        ("the disc image from a CD-ROM drive", lambda n: n == "e2e.cdrom"),
    ]
    cases = ElementTree.parse(report).getroot().iter("testcase")
    results = [(case.get("name"), case.get("status"), case.findtext("system-out") or "")
               for case in cases]

    ran, not_run = [], []
    for name, belongs in configurations:
        mine = [r for r in results if belongs(r[0])]
        if any(status in ("run", "fail") for _, status, _ in mine):
            ran.append("%s (%d test%s)" % (name, len(mine), "" if len(mine) == 1 else "s"))
        elif mine:
            reasons = {m.group(1).strip() for _, _, out in mine
                       for m in re.finditer(r"^skip: (?:\w+: )?(.*)$", out, re.M)}
            not_run.append("%s (%s)" % (name, "; ".join(sorted(reasons)) or "skipped"))
    if runs_i686 == "0":
        not_run.append("the i686 launcher itself, in a 32-bit or a 64-bit prefix (this machine "
                       "cannot execute 32-bit code)")
    elif arch == "win32":
        not_run.append("the x86-64 build under Wine (built and its imports checked; it stands in "
                       "for the product only where 32-bit code cannot run)")
    print("configurations: tested %s; not tested here: %s"
          % (", ".join(ran) or "none", ", ".join(not_run) or "none"))


if __name__ == "__main__":
    main(*sys.argv[1:4])
