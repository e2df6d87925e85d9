#!/usr/bin/python3
"""Checks the PNG files that png_writer_export wrote: Pillow must decode each
to the colours in manifest.txt (which Pixlane's reader also read back), the
header must carry the colour type, depth and interlacing listed there, the
comment must be one tEXt "Comment" chunk with its CR bytes dropped, and
`pngcheck -q` must find no error. Usage: png_writer_check.py <folder>.
"""

import os
import struct
import subprocess
import sys

from PIL import Image

PNGCHECK = "/usr/bin/pngcheck"
COMMENT = "Pixlane \u30c6\u30b9\u30c8\nline 2".encode("utf-8")


def check(folder, name, width, height, colour, depth, interlace, rgb_hex):
    path = os.path.join(folder, name)
    problems = []
    with open(path, "rb") as f:
        data = f.read()
    ihdr = struct.unpack_from(">IIBBBBB", data, 16)
    if ihdr != (width, height, depth, colour, 0, 0, interlace):
        problems.append(f"IHDR {ihdr}")
    pos, texts = 8, []
    while pos + 8 <= len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        if kind == b"tEXt":
            texts.append(data[pos + 8:pos + 8 + length])
        pos += 12 + length
    if texts != [b"Comment\0" + COMMENT]:
        problems.append(f"tEXt chunks {texts}")
    run = subprocess.run([PNGCHECK, "-q", path], capture_output=True, text=True)
    if run.returncode != 0:
        problems.append(f"pngcheck: {run.stdout.strip()} {run.stderr.strip()}")
    with Image.open(path) as im:
        im.load()
        if im.size != (width, height):
            problems.append(f"Pillow sees {im.size}")
        else:
            got = im.convert("RGB").tobytes().hex()
            if got != rgb_hex:
                first = next(i for i in range(len(got)) if got[i] != rgb_hex[i]) // 6
                problems.append(f"pixel {first % width},{first // width} is "
                                f"{got[6 * first:6 * first + 6]}, expected "
                                f"{rgb_hex[6 * first:6 * first + 6]}")
    return problems


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    folder = sys.argv[1]
    with open(os.path.join(folder, "manifest.txt")) as f:
        lines = [line.split() for line in f if line.strip()]
    failures = 0
    for name, width, height, colour, depth, interlace, rgb_hex in lines:
        problems = check(folder, name, int(width), int(height), int(colour), int(depth),
                         int(interlace), rgb_hex)
        for p in problems:
            print(f"{name}: {p}")
        failures += bool(problems)
    print(f"{len(lines)} files checked with Pillow and pngcheck, {failures} failed")
    return 1 if failures or len(lines) < 100 else 0


if __name__ == "__main__":
    sys.exit(main())
