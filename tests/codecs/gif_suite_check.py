#!/usr/bin/python3
"""Compares what gif_decode_export decoded from the GIF test suites with
Pillow's decoding of each file's first frame.

Usage: gif_suite_check.py <files> <decoded>
  <files>/<suite>/<name>.gif        the suite files (fetch_gif_suites.sh)
  <decoded>/<suite>/<name>.gif.dec  our decoding (see gif_decode_export.cpp)
  <decoded>/<suite>/<name>.gif.err  or the CodecError name of a rejection

Pillow supplies the frame's indices and colour table. Our reader composes the
frame onto the logical screen, which Pillow does differently, so the
expectation is built here from the file's own structure: pixels outside the
frame take the background index; a transparent entry (graphic control before
the image) is replaced by the global table's background colour, or white
without a global table; palette entries beyond the table are zero.

Every file must either match, or be one the reader refuses on purpose (the
reason is worked out here from the file structure), or be one Pillow cannot
decode completely (damaged data: ours must then not crash, which the export
already showed). Fails when fewer than MIN_COMPARED files could be compared.
"""

import os
import struct
import sys

from PIL import Image

MIN_COMPARED = 60
MAX_DIMENSION = 25000


def structure(data):
    """The parts of the file the expectation needs, plus the reason the
    reader must refuse it (None when it must read it)."""
    info = {"reject": None}

    def reject(reason):
        info["reject"] = reason
        return info

    if len(data) < 13 or data[:3] != b"GIF" or data[3:6] not in (b"87a", b"89a"):
        return reject("signature")
    w, h, packed, bg = struct.unpack_from("<HHBB", data, 6)
    info.update(screen=(w, h), background=bg, has_global=bool(packed & 0x80),
                bits=(packed & 7) + 1 if packed & 0x80 else 0, transparent=None)
    if not (1 <= w <= MAX_DIMENSION and 1 <= h <= MAX_DIMENSION):
        return reject("screen size")
    pos = 13
    if info["has_global"]:
        size = 3 << info["bits"]
        if pos + size > len(data):
            return reject("global table past the end")
        info["global"] = data[pos:pos + size]
        pos += size

    def skip_blocks(p):
        while True:
            if p >= len(data):
                return None
            n = data[p]
            p += 1
            if n == 0:
                return p
            if p + n > len(data):
                return None
            p += n

    while True:
        if pos >= len(data):
            return reject("no image")
        introducer = data[pos]
        pos += 1
        if introducer == 0x21:
            if pos >= len(data):
                return reject("extension past the end")
            label = data[pos]
            pos += 1
            if label not in (0x01, 0xF9, 0xFE, 0xFF):
                return reject(f"extension label {label:#x}")
            if label == 0xF9:
                if pos + 6 > len(data):
                    return reject("graphic control past the end")
                if data[pos] >= 4:
                    info["transparent"] = data[pos + 4] if data[pos + 1] & 1 else None
            pos = skip_blocks(pos)
            if pos is None:
                return reject("extension past the end")
        elif introducer == 0x2C:
            if pos + 9 > len(data):
                return reject("descriptor past the end")
            left, top, fw, fh, fpacked = struct.unpack_from("<HHHHB", data, pos)
            pos += 9
            info["rect"] = (left, top, fw, fh)
            if left + fw > w or top + fh > h:
                return reject("frame outside the screen")
            info["has_local"] = bool(fpacked & 0x80)
            if info["has_local"]:
                info["bits"] = (fpacked & 7) + 1
                size = 3 << info["bits"]
                if pos + size > len(data):
                    return reject("local table past the end")
                pos += size
            if not info["has_local"] and not info["has_global"]:
                return reject("no colour table")
            if pos >= len(data):
                return reject("no code size")
            if not 2 <= data[pos] <= 8:
                return reject(f"minimum code size {data[pos]}")
            start = pos + 1
            end = skip_blocks(start)
            if end is None:
                return reject("sub-block past the end")
            if end == start + 1:
                return reject("no image data")
            if fw == 0 or fh == 0:
                return reject("empty frame")
            return info
        elif introducer == 0x3B:
            return reject("trailer before any image")
        else:
            return reject(f"block type {introducer:#x}")


def pillow_first_frame(path):
    """(frame rectangle, indices of the screen-sized image, palette bytes) or
    None when Pillow cannot decode the first frame completely."""
    try:
        with Image.open(path) as im:
            rect = im.tile[0][1] if im.tile else None
            im.load()
            if im.mode == "L":
                # Pillow turns a gray-ramp colour table into gray levels.
                return rect, im.tobytes(), bytes(i for i in range(256) for _ in range(3))
            if im.mode != "P":
                return None
            return rect, im.tobytes(), bytes(im.getpalette() or [])
    except Exception:  # noqa: BLE001 - any failure means "not decodable"
        return None


def expected(info, pillow):
    rect, indices, palette = pillow
    w, h = info["screen"]
    left, top, fw, fh = info["rect"]
    if rect != (left, top, left + fw, top + fh):
        return None, f"Pillow's frame {rect} is not the file's {info['rect']}"
    pixels = bytearray([info["background"]]) * (w * h)
    for y in range(top, top + fh):
        pixels[y * w + left:y * w + left + fw] = indices[y * w + left:y * w + left + fw]
    table = bytearray(768)
    entries = 1 << info["bits"]
    table[:3 * entries] = (palette + bytes(768))[:3 * entries]
    t = info["transparent"]
    if t is not None:
        if info["has_global"]:
            bg = info["background"]
            table[3 * t:3 * t + 3] = (info["global"] + bytes(768))[3 * bg:3 * bg + 3]
        else:
            table[3 * t:3 * t + 3] = b"\xff\xff\xff"
    return (w, h, info["bits"], bytes(table), bytes(pixels)), None


def ours(decoded_base):
    if os.path.exists(decoded_base + ".err"):
        with open(decoded_base + ".err") as f:
            return "reject", f.read().strip()
    with open(decoded_base + ".dec", "rb") as f:
        data = f.read()
    assert data[:4] == b"PXG1", decoded_base
    w, h, bits = struct.unpack_from("<III", data, 4)
    return "ok", (w, h, bits, data[16:16 + 768], data[16 + 768:])


def describe_difference(want, got):
    names = ("width", "height", "sourceBitCount")
    for i, name in enumerate(names):
        if want[i] != got[i]:
            return f"{name} {got[i]}, expected {want[i]}"
    if want[3] != got[3]:
        i = next(i for i in range(768) if want[3][i] != got[3][i]) // 3
        return (f"palette entry {i} is {got[3][3 * i:3 * i + 3].hex()}, "
                f"expected {want[3][3 * i:3 * i + 3].hex()}")
    w = want[0]
    i = next(i for i in range(len(want[4])) if want[4][i] != got[4][i])
    return f"pixel {i % w},{i // w} is {got[4][i]}, expected {want[4][i]}"


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    files, decoded = sys.argv[1], sys.argv[2]
    compared = refused = damaged = failures = 0
    for suite in sorted(os.listdir(files)):
        for name in sorted(os.listdir(os.path.join(files, suite))):
            if not name.lower().endswith(".gif"):
                continue
            path = os.path.join(files, suite, name)
            label = f"{suite}/{name}"
            with open(path, "rb") as f:
                info = structure(f.read())
            base = os.path.join(decoded, suite, name)
            if not (os.path.exists(base + ".dec") or os.path.exists(base + ".err")):
                print(f"FAIL {label}: not decoded by gif_decode_export")
                failures += 1
                continue
            outcome, result = ours(base)
            if info["reject"] is not None:
                if outcome == "ok":
                    print(f"FAIL {label}: read, but must be refused ({info['reject']})")
                    failures += 1
                else:
                    print(f"refused {label}: {result} ({info['reject']})")
                    refused += 1
                continue
            if outcome != "ok":
                print(f"FAIL {label}: refused with {result}")
                failures += 1
                continue
            pillow = pillow_first_frame(path)
            if pillow is None:
                print(f"damaged {label}: Pillow cannot decode the first frame completely")
                damaged += 1
                continue
            want, problem = expected(info, pillow)
            if problem is None and want != result:
                problem = describe_difference(want, result)
            if problem is not None:
                print(f"FAIL {label}: {problem}")
                failures += 1
            else:
                compared += 1
    print(f"{compared} files match Pillow, {refused} refused on purpose, "
          f"{damaged} damaged (not compared), {failures} failed")
    if compared < MIN_COMPARED:
        print(f"FAIL: only {compared} files compared (at least {MIN_COMPARED} expected)")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
