#!/usr/bin/python3
"""Compares Pixlane's decodes of the PNG conformance suites (written by
png_suite_export) with Pillow's decodes of the same files after the same
treatment: 16-bit samples cut to their high byte, the file gamma applied for
a display gamma of 2.2, then transparency flattened onto white with the same
product table. Pillow drops the low byte of 16-bit truecolour samples, so the
exact tRNS match of those files takes the samples from ImageMagick.

Valid files (the names not starting with "x" in the PNG suite and in the
further folders, every testpngs file) must decode and match. The "x" files
and both crash folders must be rejected or decoded partially; png_suite_export
not crashing on them is the check.
Usage: png_suite_check.py <suites folder> <export folder> [<folder>...].
"""

import math
import os
import struct
import subprocess
import sys
import zlib

from PIL import Image

IMAGEMAGICK = "/usr/bin/convert"


def blend_table():
    m = bytearray(65536)
    for x in range(256):
        for y in range(x, 256):
            if x == 0:
                v = 0
            elif y == 255:
                v = x
            else:
                v = (y * ((65536 * x) // 255) + 32768) >> 16
            m[x * 256 + y] = v
            m[y * 256 + x] = v
    return m


BLEND = blend_table()


def over(v, a):
    return BLEND[a * 256 + v] + BLEND[(255 - a) * 256 + 255]


def gamma_table(file_gamma):
    if not file_gamma:
        return list(range(256))
    e = 1.0 / (file_gamma * 2200 / 100000000.0)
    return [0] + [min(255, max(0, math.floor(255.0 * (i / 255.0) ** e + 0.5))) for i in range(1, 256)]


def chunk_rules(data):
    """IHDR fields and the gAMA and tRNS chunks the reader accepts."""
    depth, colour = data[24], data[25]
    pos = 33
    plte = idat = False
    palette_count = 0
    gamma = 0
    trns = None
    while pos + 8 <= len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8:pos + 8 + length]
        if pos + 12 + length > len(data):
            break
        crc_ok = zlib.crc32(kind + body) == struct.unpack_from(">I", data, pos + 8 + length)[0]
        pos += 12 + length
        if kind == b"IEND":
            break
        if kind == b"PLTE" and colour == 3:
            plte = True
            palette_count = min(length // 3, 1 << depth)
        elif kind == b"IDAT":
            idat = True
        elif kind == b"gAMA":
            if not gamma and not plte and not idat and length == 4 and crc_ok:
                value = struct.unpack(">I", body)[0]
                if 1 <= value < 2 ** 31:
                    gamma = value
        elif kind == b"tRNS" and trns is None and not idat and crc_ok:
            if colour == 0 and length == 2:
                trns = struct.unpack(">H", body)[0]
            elif colour == 2 and length == 6:
                trns = struct.unpack(">3H", body)
            elif colour == 3 and plte and length <= palette_count:
                trns = list(body) + [255] * (256 - length)
    return depth, colour, gamma, trns


def reference(path):
    """The colours Pixlane should produce, as RGB bytes, top row first."""
    with open(path, "rb") as f:
        data = f.read()
    depth, colour, file_gamma, trns = chunk_rules(data)
    g = gamma_table(file_gamma)
    with Image.open(path) as im:
        im.load()
        width, height = im.size
        out = bytearray()
        if colour == 3:
            pal = im.getpalette() or []
            pal = pal + [0] * (768 - len(pal))
            alpha = trns if trns is not None else [255] * 256
            lut = []
            for i in range(256):
                a = alpha[i]
                lut.append(bytes(over(g[pal[3 * i + c]], a) for c in range(3)))
            for idx in im.getdata():
                out += lut[idx]
        elif colour == 0:
            for v in im.getdata():
                if depth == 16:
                    level, sample = v >> 8, v
                else:
                    level = v
                    sample = v * ((1 << depth) - 1) // 255
                level = 255 if (trns is not None and sample == trns) else g[level]
                out += bytes((level, level, level))
        elif colour == 2:
            samples = None
            if trns is not None and depth == 16:
                raw = subprocess.run([IMAGEMAGICK, path, "-depth", "16", "rgb:-"],
                                     check=True, capture_output=True).stdout
                samples = struct.unpack(">%dH" % (len(raw) // 2), raw)
            for i, (r, gr, b) in enumerate(im.convert("RGB").getdata()):
                if trns is not None:
                    full = tuple(samples[3 * i:3 * i + 3]) if samples else (r, gr, b)
                    if full == tuple(trns):
                        out += b"\xff\xff\xff"
                        continue
                out += bytes((g[r], g[gr], g[b]))
        else:  # 4 and 6: Pillow gives LA or RGBA with the high bytes
            rgba = im.convert("RGBA") if im.mode != "RGBA" else im
            for r, gr, b, a in rgba.getdata():
                out += bytes((over(g[r], a), over(g[gr], a), over(g[b], a)))
    return width, height, bytes(out)


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    # "P6\n<width> <height>\n255\n", then the pixels (which may begin with
    # bytes that look like white space).
    magic, size, maximum, pixels = data.split(b"\n", 3)
    width, height = (int(v) for v in size.split())
    assert magic == b"P6" and maximum == b"255" and len(pixels) == 3 * width * height
    return width, height, pixels


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    suites, export, extra = sys.argv[1], sys.argv[2], sys.argv[3:]
    with open(os.path.join(export, "manifest.txt")) as f:
        results = {line.split()[0]: line.split()[1:] for line in f if line.strip()}
    checked = failures = damaged = 0
    folders = [(f, os.path.join(suites, f))
               for f in ("pngsuite", "testpngs", "pngsuite-crashers", "testpngs-crashers")]
    folders += [(os.path.basename(os.path.normpath(d)), d) for d in extra]
    for folder, path in folders:
        names = sorted(n for n in os.listdir(path) if n.endswith(".png"))
        if not names:
            print(f"{folder}: no files")
            failures += 1
        for name in names:
            entry = f"{folder}/{name}"
            result = results.get(entry)
            if result is None:
                print(f"{entry}: not exported")
                failures += 1
                continue
            corrupt = "crashers" in folder or (folder != "testpngs" and name.startswith("x"))
            if corrupt:
                damaged += 1
                continue
            checked += 1
            if result[0] != "ok":
                print(f"{entry}: rejected ({result[1]})")
                failures += 1
                continue
            width, height, ours = read_ppm(os.path.join(export, entry + ".ppm"))
            ref_width, ref_height, theirs = reference(os.path.join(path, name))
            if (width, height) != (ref_width, ref_height):
                print(f"{entry}: {width}x{height}, Pillow {ref_width}x{ref_height}")
                failures += 1
            elif ours != theirs:
                first = next(i for i in range(len(ours)) if ours[i] != theirs[i]) // 3
                print(f"{entry}: pixel {first % width},{first // width} is "
                      f"{ours[3 * first:3 * first + 3].hex()}, Pillow gives "
                      f"{theirs[3 * first:3 * first + 3].hex()}")
                failures += 1
    print(f"{checked} valid files compared with Pillow, {damaged} damaged files survived, "
          f"{failures} failed")
    return 1 if failures or checked < 250 else 0


if __name__ == "__main__":
    sys.exit(main())
