#!/usr/bin/env python3
"""Draws the launcher's icon: a white cloud on a circular light-blue disc.

Writes a Windows .ico with 48, 32 and 16 pixel images at 24 bits per pixel, each with a
mask that leaves the corners outside the disc transparent. Edges are smoothed by
sampling every pixel on a 4 by 4 grid.

    make_icon.py OUTPUT.ico
"""
import struct
import sys

SIZES = (48, 32, 16)
SUBSAMPLES = 4
DISC = (0x5A, 0xB4, 0xF0)  # light blue, as red, green, blue
CLOUD = (0xFF, 0xFF, 0xFF)

# The cloud in a unit square: puffs (centre x, centre y, radius) over a flat base
# (left, top, right, bottom), with y growing downwards as in a picture.
PUFFS = ((0.36, 0.54, 0.14), (0.52, 0.45, 0.18), (0.67, 0.56, 0.12))
BASE = (0.22, 0.55, 0.79, 0.68)
BASE_ROUNDING = 0.065


def in_disc(x, y):
    return (x - 0.5) ** 2 + (y - 0.5) ** 2 <= 0.47 ** 2


def in_cloud(x, y):
    if any((x - cx) ** 2 + (y - cy) ** 2 <= r * r for cx, cy, r in PUFFS):
        return True
    left, top, right, bottom = BASE
    # A rectangle with round ends: inside when within the rounding of its core.
    core_x = min(max(x, left + BASE_ROUNDING), right - BASE_ROUNDING)
    core_y = min(max(y, top + BASE_ROUNDING), bottom - BASE_ROUNDING)
    return (x - core_x) ** 2 + (y - core_y) ** 2 <= BASE_ROUNDING ** 2


def coverage(size, px, py, inside):
    """The share of pixel (px, py) of a size-pixel square that `inside` covers."""
    hits = 0
    for sy in range(SUBSAMPLES):
        for sx in range(SUBSAMPLES):
            x = (px + (sx + 0.5) / SUBSAMPLES) / size
            y = (py + (sy + 0.5) / SUBSAMPLES) / size
            hits += inside(x, y)
    return hits / SUBSAMPLES ** 2


def pixel(size, px, py):
    """The (red, green, blue) colour and whether the pixel is opaque."""
    disc = coverage(size, px, py, in_disc)
    if disc < 0.5:
        return (0, 0, 0), False
    cloud = coverage(size, px, py, lambda x, y: in_cloud(x, y) and in_disc(x, y))
    colour = tuple(round(d + (c - d) * cloud) for d, c in zip(DISC, CLOUD))
    return colour, True


def padded(row):
    return row + b"\0" * (-len(row) % 4)


def icon_image(size):
    """One image as an icon resource holds it: a header, the colours, then the mask."""
    colours = []
    mask = []
    for py in reversed(range(size)):  # bitmaps are stored bottom row first
        row = bytearray()
        bits = 0
        mask_row = bytearray()
        for px in range(size):
            (red, green, blue), opaque = pixel(size, px, py)
            row += bytes((blue, green, red))
            bits = bits << 1 | (0 if opaque else 1)
            if px % 8 == 7:
                mask_row.append(bits)
                bits = 0
        if size % 8:
            mask_row.append(bits << (8 - size % 8))
        colours.append(padded(bytes(row)))
        mask.append(padded(bytes(mask_row)))
    pixels = b"".join(colours) + b"".join(mask)
    # BITMAPINFOHEADER: the height counts the colours and the mask together.
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 24, 0, len(pixels), 0, 0, 0, 0)
    return header + pixels


def icon_file(sizes):
    images = [icon_image(size) for size in sizes]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, image in zip(sizes, images):
        entries += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 24, len(image), offset)
        offset += len(image)
    return directory + entries + b"".join(images)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip())
    with open(sys.argv[1], "wb") as out:
        out.write(icon_file(SIZES))


if __name__ == "__main__":
    main()
