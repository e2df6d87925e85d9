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

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from reference_images import compare_pixels, read_manifest  # noqa: E402

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
    problems += compare_pixels(path, width, height, rgb_hex)
    return problems


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    folder = sys.argv[1]
    lines = read_manifest(os.path.join(folder, "manifest.txt"))
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
