#!/usr/bin/env python3
"""Builds the launcher's icon file from its text picture.

Usage: make_icon.py <picture.txt> <out.ico>

The icon holds two 32 x 32 images: one of 16 colours, taken from the picture as
drawn, and one of 2 colours, in which every dark colour becomes black and every
light one white.
"""
import struct
import sys

PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
SIZE = 32


def read_picture(path):
    rows = [line.rstrip("\n") for line in open(path, encoding="ascii") if not line.startswith("#")]
    rows = [row for row in rows if row]
    if len(rows) != SIZE or any(len(row) != SIZE for row in rows):
        sys.exit(f"{path}: the picture must be {SIZE} lines of {SIZE} characters")
    return rows


def pack_rows(rows, bits):
    """Bottom-up rows of palette indexes, each padded to four bytes."""
    data = b""
    for row in reversed(rows):
        value, count, line = 0, 0, bytearray()
        for index in row:
            value = (value << bits) | index
            count += bits
            if count == 8:
                line.append(value)
                value, count = 0, 0
        line += b"\0" * (-len(line) % 4)
        data += bytes(line)
    return data


def image(rows, bits):
    colours = 1 << bits
    palette = PALETTE if bits == 4 else [(0, 0, 0), (255, 255, 255)]
    if bits == 4:
        indexes = [[0 if c == "." else int(c, 16) for c in row] for row in rows]
    else:
        def light(c):
            r, g, b = PALETTE[int(c, 16)]
            return 1 if r * 3 + g * 6 + b > 1000 else 0
        indexes = [[0 if c == "." else light(c) for c in row] for row in rows]
    mask = [[1 if c == "." else 0 for c in row] for row in rows]
    pixels = pack_rows(indexes, bits)
    and_mask = pack_rows(mask, 1)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, bits, 0,
                         len(pixels) + len(and_mask), 0, 0, colours, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + table + pixels + and_mask, colours


def main():
    rows = read_picture(sys.argv[1])
    images = [image(rows, 1), image(rows, 4)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for data, colours in images:
        bits = 1 if colours == 2 else 4
        out += struct.pack("<BBBBHHII", SIZE, SIZE, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    out += b"".join(data for data, _ in images)
    with open(sys.argv[2], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
