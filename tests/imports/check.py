"""Reads the import table of every program on a disc folder, as the system's
loader will, and names whatever would keep a program from starting on the
oldest Windows the disc is for, or would let a library beside it run inside
it:

- a library outside the set Windows always takes from its own folder;
- a function that is not on the floor list (floor.txt), or that the list says
  came later than the oldest system of the program's processor;
- a subsystem version that system does not accept;
- a program not marked terminal-server aware, to which a Remote Desktop host
  names a per-user folder as the Windows folder.

With --beside, it reads every program and library of every Windows tree of a
build folder instead, the tests' own included, and names each library one of
them imports that is neither Windows' own nor put beside it by the build:
such a program does not start anywhere else.

    check.py OBJDUMP DISC_FOLDER i686|x86_64
    check.py OBJDUMP --beside BUILD_FOLDER
"""

import os
import re
import subprocess
import sys

# Windows loads these from its own folder whatever lies beside a program:
# they are among its known libraries, or loaded by every process before the
# program's own imports are looked at.
KNOWN = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
         "ole32.dll", "msvcrt.dll"}

# Further libraries of Windows' own that the tests' programs import; every
# Windows they run on has them.
SYSTEM = KNOWN | {"winmm.dll", "psapi.dll"}

# What each processor's oldest Windows has: the 32-bit programs start on
# Windows 95; the 64-bit build, which only the tests run, on the first 64-bit
# Windows, whose subsystem version is 5.2.
FLOORS = {
    "i686": ({"95"}, (4, 0)),
    "x86_64": ({"95", "x64"}, (5, 2)),
}

# IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE
TERMINAL_SERVER_AWARE = 0x8000

FLOOR_LIST = os.path.join(os.path.dirname(os.path.abspath(__file__)), "floor.txt")


def read_floor(path):
    """{(library, function): oldest system} from the floor list."""
    floor = {}
    with open(path) as lines:
        for number, line in enumerate(lines, 1):
            fields = line.split("#", 1)[0].split()
            if not fields:
                continue
            if len(fields) != 3:
                raise SystemExit("%s:%d: expected 'library function system'" % (path, number))
            library, function, system = fields
            floor[(library.lower() + ".dll", function)] = system
    return floor


def read_program(objdump, path):
    """The subsystem version, the DLL characteristics and the (library,
    function) imports of a program; an import by ordinal has the function
    '#ordinal'."""
    text = subprocess.run([objdump, "-p", path], check=True, stdout=subprocess.PIPE,
                          universal_newlines=True).stdout
    major = int(re.search(r"^MajorSubsystemVersion\s+(\d+)", text, re.M).group(1))
    minor = int(re.search(r"^MinorSubsystemVersion\s+(\d+)", text, re.M).group(1))
    characteristics = int(re.search(r"^DllCharacteristics\s+([0-9a-fA-F]+)", text, re.M).group(1), 16)
    imports, library = [], None
    for line in text.splitlines():
        named = re.match(r"\tDLL Name: (\S+)", line)
        if named:
            library = named.group(1).lower()
            imports.append((library, None))
        elif not line.strip():
            library = None
        elif library:
            entry = re.match(r"\t[0-9a-f]+\t\s*(\d+)\s+(\S+)", line)
            if entry:
                name = entry.group(2)
                imports.append((library, "#" + entry.group(1) if name == "<none>" else name))
    return (major, minor), characteristics, imports


def findings(objdump, disc, processor, floor):
    systems, subsystem = FLOORS[processor]
    programs = sorted(os.path.join(folder, name) for folder, _, names in os.walk(disc)
                      for name in names if name.lower().endswith(".exe"))
    if not programs:
        return ["no programs in %s" % disc], programs
    found = []
    for program in programs:
        name = os.path.relpath(program, disc)
        version, characteristics, imports = read_program(objdump, program)
        if version > subsystem:
            found.append("%s: subsystem version %d.%d, above %d.%d"
                         % ((name,) + version + subsystem))
        if not characteristics & TERMINAL_SERVER_AWARE:
            found.append("%s: not terminal-server aware (DllCharacteristics %04x)"
                         % (name, characteristics))
        for library, function in imports:
            if function is None:
                if library not in KNOWN:
                    found.append("%s: imports %s, which Windows looks for beside the program first"
                                 % (name, library))
                continue
            system = floor.get((library, function))
            if system is None:
                found.append("%s: imports %s!%s, which is not on the floor list"
                             % (name, library, function))
            elif system not in systems:
                found.append("%s: imports %s!%s, which Windows has only from %s on"
                             % (name, library, function, system))
    return found, programs


def windows_trees(build):
    """The trees of a build folder that a MinGW toolchain configured."""
    for name in sorted(os.listdir(build)):
        try:
            with open(os.path.join(build, name, "configured-with")) as f:
                if "cmake/mingw-" in f.read():
                    yield os.path.join(build, name)
        except OSError:
            continue


def missing_libraries(objdump, build):
    """Each import of a library that is neither Windows' own nor beside the
    program or library that imports it, and how many were read."""
    found, count = [], 0
    for tree in windows_trees(build):
        for folder, dirs, names in os.walk(tree):
            # CMake's own probes of the compiler.
            dirs[:] = sorted(d for d in dirs if d != "CMakeFiles")
            beside = {name.lower() for name in names}
            for name in sorted(n for n in names if n.lower().endswith((".exe", ".dll"))):
                path = os.path.join(folder, name)
                count += 1
                for library, function in read_program(objdump, path)[2]:
                    if function is None and library not in SYSTEM and library not in beside:
                        found.append("%s: imports %s, which is neither Windows' own nor beside it"
                                     % (os.path.relpath(path, build), library))
    return found, count


def main_beside(objdump, build):
    found, count = missing_libraries(objdump, build)
    if not count:
        found = ["no Windows programs in the trees of %s" % build]
    for line in found:
        print(line)
    if found:
        return 1
    print("the %d programs and libraries of the Windows trees find every library they import"
          % count)
    return 0


def main(objdump, disc, processor):
    found, programs = findings(objdump, disc, processor, read_floor(FLOOR_LIST))
    for line in found:
        print(line)
    if found:
        return 1
    print("%d programs import only what the oldest Windows for %s has"
          % (len(programs), processor))
    return 0


if __name__ == "__main__":
    if sys.argv[2] == "--beside":
        sys.exit(main_beside(sys.argv[1], sys.argv[3]))
    sys.exit(main(*sys.argv[1:4]))
