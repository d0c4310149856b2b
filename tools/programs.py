"""Reading programs: which kind of Windows file a file on the disc is, by its
headers, and so whether Authenticode can sign it."""
import struct
from typing import Optional

# Why a program other than an unsigned Portable Executable is left as it is.
LEFT = {"signed PE": "signed already: its maker's signature stays",
        "NE": "a 16-bit Windows file (NE), which Authenticode cannot sign",
        "LE": "a virtual device driver (LE), which Authenticode cannot sign",
        "LX": "an LX file, which Authenticode cannot sign",
        "DOS": "a DOS program, which Authenticode cannot sign"}


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
