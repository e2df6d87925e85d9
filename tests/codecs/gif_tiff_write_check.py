#!/usr/bin/python3
"""Checks the GIF and TIFF files that gif_tiff_write_export wrote.

Usage: gif_tiff_write_check.py <folder>

GIF (gif_manifest.txt): Pillow decodes the intended colours; the header has
version 89a, the packed byte 0x80 | (b-1) << 4 | (b-1), a 2^b-entry global
table, no extension block, the interlace flag as asked and minimum code size
max(b, 2); giflib's giftext and gifbuild -d read the file without error.

TIFF (tiff_manifest.txt): the file has exactly the size of its layout;
libtiff's tiffinfo -D and tiffdump read it without error or warning; Pillow
decodes the intended colours.
"""

import os
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from reference_images import compare_pixels, read_manifest  # noqa: E402


def run_tool(args):
    """Problems reported by a command-line tool (exit status or stderr)."""
    try:
        done = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)
    except FileNotFoundError:
        return [f"{args[0]} not found (install giflib-tools and libtiff-tools)"]
    problems = []
    if done.returncode != 0:
        problems.append(f"{os.path.basename(args[0])} exits {done.returncode}: "
                        f"{done.stderr.decode(errors='replace').strip()[:200]}")
    elif done.stderr.strip():
        problems.append(f"{os.path.basename(args[0])} warns: "
                        f"{done.stderr.decode(errors='replace').strip()[:200]}")
    return problems


def check_gif(path, width, height, bits, interlaced, rgb_hex):
    with open(path, "rb") as f:
        data = f.read()
    problems = []
    w, h, packed, background, aspect = struct.unpack_from("<HHBBB", data, 6)
    want_packed = 0x80 | (bits - 1) << 4 | (bits - 1)
    if data[:6] != b"GIF89a" or (w, h) != (width, height) or packed != want_packed:
        problems.append(f"header {data[:6]!r} {w}x{h} packed {packed:#x}, "
                        f"expected {width}x{height} packed {want_packed:#x}")
    if background != 0 or aspect != 0:
        problems.append(f"background {background}, aspect {aspect}")
    pos = 13 + (3 << bits)
    if data[pos] != 0x2C:
        problems.append(f"block {data[pos]:#x} before the image (no extensions expected)")
    else:
        left, top, fw, fh, fpacked = struct.unpack_from("<HHHHB", data, pos + 1)
        if (left, top, fw, fh) != (0, 0, width, height) or fpacked != (0x40 if interlaced else 0):
            problems.append(f"descriptor {left},{top} {fw}x{fh} packed {fpacked:#x}")
        code_size = data[pos + 10]
        if code_size != max(bits, 2):
            problems.append(f"minimum code size {code_size}")
        # Sub-blocks: all full but the last, then the terminator and trailer.
        p = pos + 11
        sizes = []
        while data[p] != 0:
            sizes.append(data[p])
            p += 1 + data[p]
        if any(s != 255 for s in sizes[:-1]) or not sizes:
            problems.append(f"sub-block sizes {sizes}")
        if data[p + 1:] != b"\x3b":
            problems.append(f"{len(data) - p - 1} bytes after the data blocks, expected the trailer")
    problems += compare_pixels(path, width, height, rgb_hex)
    problems += run_tool(["giftext", path])
    problems += run_tool(["gifbuild", "-d", path])
    return problems


def check_tiff(path, width, height, size, rgb_hex):
    problems = []
    actual = os.path.getsize(path)
    if actual != size:
        problems.append(f"{actual} bytes, expected {size}")
    problems += run_tool(["tiffinfo", "-D", path])
    problems += run_tool(["tiffdump", path])
    problems += compare_pixels(path, width, height, rgb_hex)
    return problems


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    folder = sys.argv[1]
    checked = failures = 0
    for manifest, kind in (("gif_manifest.txt", "gif"), ("tiff_manifest.txt", "tiff")):
        lines = read_manifest(os.path.join(folder, manifest))
        if not lines:
            print(f"{manifest} is empty")
            failures += 1
        for name, width, height, bits, extra, rgb_hex in lines:
            path = os.path.join(folder, name)
            if kind == "gif":
                problems = check_gif(path, int(width), int(height), int(bits), extra == "1", rgb_hex)
            else:
                problems = check_tiff(path, int(width), int(height), int(extra), rgb_hex)
            for p in problems:
                print(f"{name}: {p}")
            failures += bool(problems)
            checked += 1
    print(f"{checked} files checked with Pillow and the format tools, {failures} failed")
    return 1 if failures or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
