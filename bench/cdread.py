#!/usr/bin/env python3
"""How long a CD drive takes to read what the launcher reads as it starts,
from a disc image's own layout, against one sequential read of the same
bytes. Prints "name value" lines for report.py.

  cdread.py STARTORDER LABEL IMAGE [LABEL IMAGE ...]

The model drive is a 24x CAV drive of the launcher's time:
- transfer: 24 x 150 KiB/s = 3,686,400 bytes/s of mode-1 data, its outer-edge
  rate, taken throughout (a CAV drive reads the inner tracks, where a small
  image lies, at about half of it; a slower transfer would only make the
  jumps weigh less);
- rotation: about 5,100 rpm (24 x 1.3 m/s at the disc's 58 mm outer radius),
  so a read that starts after a jump waits half a turn, 5.8 ms, on average;
- seek: 15 ms to settle plus 135 ms times the square root of the share of
  the full stroke (333,000 blocks, 650 MiB) the head travels: 150 ms full
  stroke, about 93 ms for the third of it that makes the drive's advertised
  average;
- a forward gap that reads through in less time than a seek and the half
  turn is read through, as the drive's read-ahead does.
The directory records the system reads before the first file lie at the
image's start and are read once into its cache: left out of both figures.
"""
import math
import os
import subprocess
import sys
from typing import Dict, List, Tuple

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tools"))
import mastering  # noqa: E402

BLOCK = 2048
RATE = 24 * 150 * 1024          # bytes per second
HALF_TURN_S = 0.5 * 60.0 / 5100
SETTLE_S = 0.015
FULL_STROKE_S = 0.135
FULL_STROKE_BLOCKS = 333000


def seek_s(distance_blocks: int) -> float:
    share = min(1.0, abs(distance_blocks) / FULL_STROKE_BLOCKS)
    return SETTLE_S + FULL_STROKE_S * math.sqrt(share)


def access_s(head: int, start: int) -> float:
    """From the block under the head to the start of a read."""
    if start == head:
        return 0.0
    moved = seek_s(start - head) + HALF_TURN_S
    if start > head:
        return min(moved, (start - head) * BLOCK / RATE)
    return moved


def model(reads: List[Tuple[int, int]]) -> Dict[str, float]:
    """reads: (first block, blocks) in the order they are made. The time
    from the first block under the head to the last read done, and the
    limit: the same bytes in one sequential read from there."""
    head = reads[0][0]
    seconds = 0.0
    jumps = backward = skipped = 0
    total = 0
    for start, count in reads:
        if start != head:
            jumps += 1
            backward += start < head
            skipped += abs(start - head) * BLOCK
        seconds += access_s(head, start) + count * BLOCK / RATE
        total += count * BLOCK
        head = start + count
    return {"jumps": jumps, "backward": backward, "skipped_bytes": skipped,
            "model_ms": seconds * 1000.0, "sequential_ms": total / RATE * 1000.0,
            "read_bytes": total}


def launcher_reads(startorder: str, iso: str) -> List[Tuple[int, int]]:
    layout = {path.lower(): extent for path, extent in mastering.extents(iso).items()}
    order = ["launcher.exe"] + subprocess.run([startorder], capture_output=True, text=True,
                                              check=True).stdout.split()
    return [(layout[p][0], mastering.blocks(layout[p][1])) for p in order]


def main(argv: List[str]) -> int:
    if len(argv) < 4 or len(argv) % 2:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    for label, iso in zip(argv[2::2], argv[3::2]):
        for name, value in model(launcher_reads(argv[1], iso)).items():
            print(f"{label}_{name} {value:.3f}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
