#!/usr/bin/env python3
"""Writes the demo scene's textures: fine random patterns that a stereo matcher can lock on to.

The output is fixed by the seeds, so the committed files can be made again byte for byte:
    python3 make_textures.py [FOLDER]
"""
import random
import struct
import sys
from pathlib import Path


def write_bmp(path, width, height, pixel):
    """24-bit bottom-up BMP; pixel(x, y) gives (r, g, b) with y counted from the bottom row."""
    stride = (width * 3 + 3) & ~3
    rows = bytearray()
    for y in range(height):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        rows += row + bytes(stride - len(row))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    Path(path).write_bytes(header + info + rows)


def random_dots(seed):
    rng = random.Random(seed)
    grid = [[rng.randrange(256) for _ in range(64)] for _ in range(64)]
    tint = [(rng.randrange(60, 256), rng.randrange(60, 256), rng.randrange(60, 256))
            for _ in range(8)]

    def pixel(x, y):
        level = grid[y][x]
        r, g, b = tint[(x // 8 + y // 8) % len(tint)]
        return (level * r // 255, level * g // 255, level * b // 255)
    return pixel


def noisy_checker(seed):
    rng = random.Random(seed)
    noise = [[rng.randrange(-70, 70) for _ in range(64)] for _ in range(64)]

    def pixel(x, y):
        base = 170 if (x // 16 + y // 16) % 2 else 90
        level = max(0, min(255, base + noise[y][x]))
        return (level, level * 9 // 10, level * 3 // 4)
    return pixel


def noisy_stripes(seed):
    rng = random.Random(seed)
    noise = [[rng.randrange(0, 120) for _ in range(64)] for _ in range(64)]

    def pixel(x, y):
        level = (135 if (x // 4) % 2 else 0) + noise[y][x]
        return (level // 3, level * 2 // 3, level)
    return pixel


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent)
    write_bmp(folder / "dots.bmp", 64, 64, random_dots(1))
    write_bmp(folder / "checker.bmp", 64, 64, noisy_checker(2))
    write_bmp(folder / "stripes.bmp", 64, 64, noisy_stripes(3))


if __name__ == "__main__":
    main()
