"""Writes the window icon (an XPM of at most 15 colours and "None") as a Windows icon file: one
32 x 32 image of 16 colours, 4 bits per pixel, transparent where the XPM says "None".

    xpm_to_ico.py ICON.xpm ICON.ico
"""

import re
import struct
import sys


def read_xpm(path):
    with open(path) as xpm:
        rows = re.findall(r'"([^"]*)"', xpm.read())
    width, height, colours, chars = map(int, rows[0].split())
    if (width, height, chars) != (32, 32, 1):
        sys.exit("xpm_to_ico: %s is not a 32 x 32 XPM of one character per pixel" % path)
    palette = {}
    for row in rows[1:1 + colours]:
        value = row[4:].strip()
        palette[row[0]] = None if value == "None" else int(value[1:], 16)
    return palette, rows[1 + colours:1 + colours + height]


def ico(palette, pixels):
    # Index 0 is black, which is also what the transparent pixels hold under their mask.
    colours = [0] + sorted({rgb for rgb in palette.values() if rgb not in (None, 0)})
    if len(colours) > 16:
        sys.exit("xpm_to_ico: more than 16 colours")
    index = {key: 0 if rgb is None else colours.index(rgb) for key, rgb in palette.items()}
    colour_table = b"".join(struct.pack("<BBBB", rgb & 0xFF, rgb >> 8 & 0xFF, rgb >> 16, 0)
                            for rgb in colours + [0] * (16 - len(colours)))
    image, mask = b"", b""
    for row in reversed(pixels):  # bottom-up rows
        image += bytes(index[row[x]] << 4 | index[row[x + 1]] for x in range(0, 32, 2))
        bits = 0
        for char in row:
            bits = bits << 1 | (palette[char] is None)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, len(image) + len(mask), 0, 0, 16, 0)
    body = header + colour_table + image + mask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4, len(body),
                                                      6 + 16) + body


def main():
    palette, pixels = read_xpm(sys.argv[1])
    with open(sys.argv[2], "wb") as out:
        out.write(ico(palette, pixels))


if __name__ == "__main__":
    main()
