#!/usr/bin/env python3
"""Writes the two sample records the format test compares against; run once, output committed.

audio_cfg_before.db: 5156 bytes in which every byte value occurs (0x1A and 0x0D among them),
with levels 3, 5, 1, 6 at offsets 397, 409, 433 and 889.
audio_cfg_after.db: the same file after a save with levels 1, 2, 3, 4.
"""
import os

SIZE = 5156
OFFSETS = (397, 409, 433, 889)


def record(levels):
    data = bytearray((i * 37 + i // 256 + 11) & 0xFF for i in range(SIZE))
    for offset, level in zip(OFFSETS, levels):
        data[offset] = level
    return bytes(data)


here = os.path.dirname(os.path.abspath(__file__))
for name, levels in (("audio_cfg_before.db", (3, 5, 1, 6)), ("audio_cfg_after.db", (1, 2, 3, 4))):
    with open(os.path.join(here, name), "wb") as out:
        out.write(record(levels))
