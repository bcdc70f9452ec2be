#!/usr/bin/env python3
"""Draws the installer's 32x32 icon (a chequered flag behind a yellow Z) as a .ico file."""
import struct
import sys

SIZE = 32


def pixel(x, y):
    # Z: top bar, bottom bar, diagonal; yellow on a chequered red/black flag.
    on_z = (4 <= x <= 27) and ((5 <= y <= 9) or (22 <= y <= 26) or (abs((x + y) - 31) <= 3 and 9 < y < 22))
    if on_z:
        return (0, 220, 255, 255)  # BGRA yellow
    dark = ((x // 8) + (y // 8)) % 2
    return (20, 20, 20, 255) if dark else (0, 0, 200, 255)


def icon_bytes():
    rows = []
    for y in reversed(range(SIZE)):  # bottom-up
        rows.append(b"".join(struct.pack("4B", *pixel(x, y)) for x in range(SIZE)))
    xor = b"".join(rows)
    mask = b"\x00" * (SIZE * SIZE // 8)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 22)
    return directory + image


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(icon_bytes())
