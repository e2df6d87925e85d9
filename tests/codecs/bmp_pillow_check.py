#!/usr/bin/python3
"""Decodes the BMP files that bmp_pillow_export wrote with Pillow and checks
them against its manifest.txt (name, bit count, width, height, then the
intended colours as red-green-blue hex, rows top to bottom). Also checks the
header fields Pillow does not look at. Usage: bmp_pillow_check.py <folder>.
"""

import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from reference_images import compare_pixels, read_manifest  # noqa: E402


def check(folder, name, bits, width, height, rgb_hex):
    path = os.path.join(folder, name)
    with open(path, "rb") as f:
        data = f.read()
    colours = 1 << bits if bits <= 8 else 0
    offset = 54 + 4 * colours
    stride = ((width * bits + 31) // 32) * 4
    problems = []
    fields = struct.unpack_from("<2sIHHIIiiHHIIiiII", data, 0)
    expected = (b"BM", offset + stride * height, 0, 0, offset, 40, width, height, 1, bits,
                0, 0, 0, 0, colours, 0)
    if fields != expected:
        problems.append(f"headers {fields}, expected {expected}")
    if len(data) != offset + stride * height:
        problems.append(f"{len(data)} bytes, expected {offset + stride * height}")
    problems += compare_pixels(path, width, height, rgb_hex, " (from the top)")
    return problems


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    folder = sys.argv[1]
    lines = read_manifest(os.path.join(folder, "manifest.txt"))
    failures = 0
    for name, bits, width, height, rgb_hex in lines:
        problems = check(folder, name, int(bits), int(width), int(height), rgb_hex)
        for p in problems:
            print(f"{name}: {p}")
        failures += bool(problems)
    print(f"{len(lines)} files checked with Pillow, {failures} failed")
    return 1 if failures or not lines else 0


if __name__ == "__main__":
    sys.exit(main())
