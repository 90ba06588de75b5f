#!/usr/bin/env python3
"""Writes the showcase scene's meshes (OBJ and MTL) and images (PNG and BMP): a torus of two
materials, a textured crate, a column whose caps are faces of 24 sides, and a pyramid whose file
gives no normals. Only the standard library; the output is fixed, so the committed files can be
made again byte for byte:
    python3 make_scene.py [FOLDER]
"""
import math
import random
import struct
import sys
import zlib
from pathlib import Path


def write_png(path, width, height, pixel):
    """8-bit RGB PNG; pixel(x, y) gives (r, g, b) with y counted from the top row."""
    rows = b"".join(b"\0" + bytes(c for x in range(width) for c in pixel(x, y))
                    for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(
            ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    Path(path).write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                           chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def write_bmp(path, width, height, pixel):
    """24-bit bottom-up BMP; pixel(x, y) gives (r, g, b) with y counted from the bottom row."""
    stride = (width * 3 + 3) & ~3
    rows = b"".join(bytes(c for x in range(width) for c in pixel(x, y)[::-1]).ljust(stride, b"\0")
                    for y in range(height))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    Path(path).write_bytes(header + info + rows)


def noise(seed, size, low, high):
    rng = random.Random(seed)
    return [[rng.randrange(low, high) for _ in range(size)] for _ in range(size)]


def write_images(folder):
    dots = noise(1, 64, 0, 256)
    write_bmp(folder / "floor.bmp", 64, 64, lambda x, y: (dots[y][x],) * 3)
    write_bmp(folder / "wall.bmp", 64, 64,
              lambda x, y: (230, 230, 230) if (x // 8 + y // 8) % 2 else (40, 60, 120))
    write_bmp(folder / "ramp.bmp", 64, 64, lambda x, y: (200, 40, 40) if x // 4 % 2 else (250, 220, 60))
    grain = noise(2, 64, 60, 140)
    write_bmp(folder / "bark.bmp", 64, 64, lambda x, y: (grain[y][x], grain[y][x] * 3 // 4, 40))
    speckle = noise(3, 64, 0, 60)
    write_png(folder / "crate.png", 64, 64, lambda x, y: (
        (120 + speckle[y][x], 80 + speckle[y][x], 30) if 6 <= x < 58 and 6 <= y < 58
        else (60, 40, 20)))
    write_png(folder / "stone.png", 64, 64,
              lambda x, y: (150 + speckle[x][y], 150 + speckle[y][x], 140))


def obj_text(lines):
    return "\n".join(lines) + "\n"


def number(value):
    return "%.5f" % value


def torus(major=1.0, minor=0.35, around=48, across=16):
    """A ring in the file's x-z plane with smooth normals, half in each of two materials."""
    lines = ["mtllib torus.mtl"]
    for i in range(around):
        a = 2 * math.pi * i / around
        for j in range(across):
            b = 2 * math.pi * j / across
            n = (math.cos(a) * math.cos(b), math.sin(b), math.sin(a) * math.cos(b))
            lines.append("v %s %s %s" % tuple(number(major * c + minor * d) for c, d in
                                             zip((math.cos(a), 0, math.sin(a)), n)))
            lines.append("vn %s %s %s" % tuple(number(c) for c in n))
    for half, material in ((0, "copper"), (1, "teal")):
        lines.append("usemtl " + material)
        for i in range(half * around // 2, (half + 1) * around // 2):
            for j in range(across):
                corners = [((i + di) % around) * across + (j + dj) % across + 1
                           for di, dj in ((0, 0), (1, 0), (1, 1), (0, 1))]
                lines.append("f " + " ".join("%d//%d" % (c, c) for c in corners))
    mtl = "newmtl copper\nKd 0.85 0.45 0.2\nnewmtl teal\nKd 0.1 0.6 0.6\n"
    return obj_text(lines), mtl


def crate():
    """A unit cube of quads with texture points, its base on the file's y = 0."""
    lines = ["mtllib crate.mtl", "usemtl crate", "vt 0 0", "vt 1 0", "vt 1 1", "vt 0 1"]
    faces = [((0, 1, 0), (1, 0, 0), (0, 0, 1)), ((0, -1, 0), (1, 0, 0), (0, 0, -1)),
             ((1, 0, 0), (0, 0, -1), (0, 1, 0)), ((-1, 0, 0), (0, 0, 1), (0, 1, 0)),
             ((0, 0, 1), (1, 0, 0), (0, 1, 0)), ((0, 0, -1), (-1, 0, 0), (0, 1, 0))]
    for index, (n, u, v) in enumerate(faces):
        centre = [0.5 * c for c in n]
        centre[1] += 0.5
        for du, dv in ((-1, -1), (1, -1), (1, 1), (-1, 1)):
            lines.append("v %s %s %s" % tuple(number(centre[k] + 0.5 * (du * u[k] + dv * v[k]))
                                             for k in range(3)))
        lines.append("vn %d %d %d" % n)
        first = 4 * index + 1
        lines.append("f " + " ".join("%d/%d/%d" % (first + k, k + 1, index + 1) for k in range(4)))
    return obj_text(lines), "newmtl crate\nKd 1 1 1\nmap_Kd crate.png\n"


def column(sides=24, height=2.0, radius=0.25):
    """A cylinder standing on the file's y = 0, its two caps single faces of many sides."""
    lines = ["mtllib column.mtl", "usemtl bark"]
    for y in (0, height):
        for k in range(sides):
            a = 2 * math.pi * k / sides
            lines.append("v %s %s %s" % (number(radius * math.cos(a)), number(y),
                                         number(radius * math.sin(a))))
            lines.append("vt %s %s" % (number(k / sides), number(y / height)))
    for k in range(sides):
        a = 2 * math.pi * (k + 0.5) / sides
        lines.append("vn %s 0 %s" % (number(math.cos(a)), number(math.sin(a))))
        c = [k + 1, (k + 1) % sides + 1, (k + 1) % sides + 1 + sides, k + 1 + sides]
        lines.append("f " + " ".join("%d/%d/%d" % (i, i, k + 1) for i in c))
    lines.append("f " + " ".join(str(k + 1) for k in range(sides)))
    lines.append("f " + " ".join(str(2 * sides - k) for k in range(sides)))
    return obj_text(lines), "newmtl bark\nKd 1 1 1\nmap_Kd bark.bmp\n"


def pyramid():
    """A square pyramid with texture points and no normals: each face lit by its own normal."""
    lines = ["mtllib pyramid.mtl", "usemtl stone",
             "v -0.5 0 0.5", "v 0.5 0 0.5", "v 0.5 0 -0.5", "v -0.5 0 -0.5", "v 0 0.8 0",
             "vt 0 0", "vt 1 0", "vt 0.5 1",
             "f 1/1 2/2 5/3", "f 2/1 3/2 5/3", "f 3/1 4/2 5/3", "f 4/1 1/2 5/3", "f 4 3 2 1"]
    return obj_text(lines), "newmtl stone\nKd 1 1 1\nmap_Kd stone.png\n"


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent)
    write_images(folder)
    for name, (obj, mtl) in (("torus", torus()), ("crate", crate()), ("column", column()),
                             ("pyramid", pyramid())):
        (folder / (name + ".obj")).write_text(obj)
        (folder / (name + ".mtl")).write_text(mtl)


if __name__ == "__main__":
    main()
