#!/usr/bin/env python3
"""Writes the fuzz targets' seed inputs into corpus/<target>/.

Small hand-made bitmap files of every header layout, bit count and
compression the launcher may meet, plus seeds for the read-me command line
and the hit test. The output is committed; run this again only to change it.
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def bitmap_file(dib_and_offset, cut=None):
    """A file: the 14-byte file header, then the packed DIB, cut short if
    asked. The loader reads only the "BM"; the other fields are filled in as
    a tool would."""
    dib, pixel_offset = dib_and_offset
    dib = dib[:cut]
    return b"BM" + struct.pack("<IHHI", 14 + len(dib), 0, 0, 14 + pixel_offset) + dib


def stride(width, bits):
    return (width * bits + 31) // 32 * 4


def rows(width, height, bits):
    """Pixel rows with a pattern, so that nothing in them is all zero."""
    return bytes((i * 37 + 11) & 0xFF for i in range(stride(width, bits) * abs(height)))


def colour_table(count, entry_size):
    out = bytearray()
    for i in range(count):
        entry = bytes([(i * 3) & 0xFF, (i * 5) & 0xFF, (i * 7) & 0xFF])
        out += entry + (b"\0" if entry_size == 4 else b"")
    return bytes(out)


def core(width, height, bits, first_field=12):
    table = colour_table({1: 2, 4: 16, 8: 256}.get(bits, 0), 3)
    header = struct.pack("<IHHHH", first_field, width, height, 1, bits)
    # The pixels follow the stored size plus the table, which is read at 12.
    before_pixels = header + table + b"\0" * (first_field - 12)
    return before_pixels + rows(width, height, bits), len(before_pixels)


def info(width, height, bits, compression=0, clr_used=0, header_size=40,
         masks=b"", pixels=None, cs_type=b"BGRs", profile=None):
    """cs_type is the colour space as the file stores it, 'sRGB' backwards;
    a profile goes behind the pixels, and a 124-byte header points at it."""
    count = clr_used or {1: 2, 4: 16, 8: 256}.get(bits, 0)
    if pixels is None:
        pixels = rows(width, height, bits)
    header = struct.pack("<IiiHHIIiiII", header_size, width, height, 1, bits,
                         compression, len(pixels), 2835, 2835, clr_used, 0)
    if header_size > 40:
        # Later headers: the masks, then colour space and the rest, zero.
        extra = (masks + b"\0" * (header_size - 40))[: header_size - 40]
        if header_size >= 108:
            extra = extra[:16] + cs_type + extra[20:]
        header += extra
        masks = b""
    before_pixels = header + masks + colour_table(count, 4)
    dib = before_pixels + pixels
    if profile is not None:
        dib = dib[:112] + struct.pack("<II", len(dib), len(profile)) + dib[120:] + profile
    return dib, len(before_pixels)


def masks(*values):
    return struct.pack("<" + "I" * len(values), *values)


def rle8(width, height):
    out = bytearray()
    for y in range(height):
        out += bytes([width, y & 0xFF])          # a run of one index
        out += bytes([0, 0])                     # end of line
    out += bytes([0, 1])                         # end of bitmap
    return bytes(out)


def rle4(width, height):
    out = bytearray()
    for y in range(height):
        out += bytes([0, width]) + bytes(((width + 1) // 2 + 1) // 2 * 2)  # absolute run
        out += bytes([0, 0])
    out += bytes([0, 1])
    return bytes(out)


def bitmaps():
    files = {
        "core1.bmp": core(5, 3, 1),
        "core4.bmp": core(5, 3, 4),
        "core8.bmp": core(5, 3, 8),
        "core24.bmp": core(5, 3, 24),
        "info1.bmp": info(9, 3, 1),
        "info4.bmp": info(5, 3, 4),
        "info8.bmp": info(5, 3, 8),
        "info8_clr200.bmp": info(5, 3, 8, clr_used=200),
        "info16.bmp": info(5, 3, 16),
        "info24.bmp": info(5, 3, 24),
        "info32.bmp": info(5, 3, 32),
        "rle8.bmp": info(6, 3, 8, compression=1, pixels=rle8(6, 3)),
        "rle4.bmp": info(6, 3, 4, compression=2, pixels=rle4(6, 3)),
        "bitfields16.bmp": info(5, 3, 16, compression=3, masks=masks(0xF800, 0x07E0, 0x001F)),
        "bitfields32.bmp": info(5, 3, 32, compression=3,
                                masks=masks(0xFF0000, 0x00FF00, 0x0000FF)),
        "alphabitfields32.bmp": info(5, 3, 32, compression=6,
                                     masks=masks(0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000)),
        "info52_32.bmp": info(5, 3, 32, compression=3, header_size=52,
                              masks=masks(0xFF0000, 0x00FF00, 0x0000FF)),
        "info56_32.bmp": info(5, 3, 32, compression=3, header_size=56,
                              masks=masks(0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000)),
        "v4_24.bmp": info(5, 3, 24, header_size=108),
        "v4_bitfields32.bmp": info(5, 3, 32, compression=3, header_size=108,
                                   masks=masks(0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000)),
        "v5_8.bmp": info(5, 3, 8, header_size=124),
        "v5_32.bmp": info(5, 3, 32, header_size=124),
        # Colour profiles: 'MBED' and 'LINK' as stored.
        "v5_8_embedded_profile.bmp": info(5, 3, 8, header_size=124, cs_type=b"DEBM",
                                          profile=bytes(range(128))),
        "v5_8_linked_profile.bmp": info(5, 3, 8, header_size=124, cs_type=b"KNIL",
                                        profile=b"sRGB.icm\0"),
        "topdown24.bmp": info(5, -3, 24),
        "topdown_v5_8.bmp": info(5, -3, 8, header_size=124),
        "odd20.bmp": core(5, 3, 8, first_field=20),
        "header64.bmp": core(5, 3, 24, first_field=64),
        "header41.bmp": core(5, 3, 1, first_field=41),
    }
    files = {name: bitmap_file(dib) for name, dib in files.items()}
    files["truncated8.bmp"] = bitmap_file(info(5, 3, 8), cut=500)
    # Nothing but a file header: a block of 14 zero bytes.
    files["bare.bmp"] = b"BM" + bytes(12)
    return files


def readme_seeds():
    return {
        "root": b"C:\\",
        "demo": b"D:\\Zephrane Demo",
        "unc": b"\\\\server\\share\\Zephrane",
        "dir207": b"D:\\" + b"d" * 204,
        "dir259": b"D:\\" + b"d" * 256,
        # Either side of the longest line the system starts.
        "dir32710": b"D:\\" + b"d" * 32707,
        "dir32711": b"D:\\" + b"d" * 32708,
        "result27": struct.pack("<i", 27),
        "result32": struct.pack("<i", 32),
        "result33": struct.pack("<i", 33),
        "result-1": struct.pack("<i", -1),
    }


def hittest_seeds():
    def point(x, y, flags=0, disabled=0b10100, rects=()):
        data = struct.pack("<iiBH", x, y, flags, disabled)
        for rect in rects:
            data += struct.pack("<iiii", *rect)
        return data

    overlapping = [(0, 0, 0, 0)] + [(10 * i, 10 * i, 10 * i + 50, 10 * i + 50) for i in range(12)]
    return {
        "install": point(50, 260),
        "play": point(50, 260, flags=1),
        "uninstall": point(50, 400, flags=1),
        "edge": point(20, 250),
        "licensor": point(264, 400),
        "developer": point(263, 400),
        "overlapping": point(45, 45, flags=2, disabled=0, rects=overlapping),
        "extremes": point(-2**31, 2**31 - 1, flags=3,
                          rects=[(-2**31, -2**31, 2**31 - 1, 2**31 - 1)] * 13),
    }


def write(target, seeds):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for name in os.listdir(folder):
        os.remove(os.path.join(folder, name))
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def main():
    write("dib", bitmaps())
    write("readme", readme_seeds())
    write("hittest", hittest_seeds())
    return 0


if __name__ == "__main__":
    sys.exit(main())
