#!/usr/bin/python3
"""Makes the small PNG files of this folder with ImageMagick (every colour
type, depth and interlacing), adds gAMA and tRNS chunks where a name asks for
them, and derives the damaged "x" files. Run by hand; the files are checked
in, and tests/codecs/png_reader_test.cpp compares their decodes with
checksums.txt, which is reviewed by hand (png_suite_check.py compares every
valid file here with Pillow). Usage: make_samples.py [folder].
"""

import os
import struct
import subprocess
import sys
import zlib

CONVERT = "/usr/bin/convert"

# name: (colour type, bit depth, interlaced)
PLAIN = {
    "g1": (0, 1, False), "g2": (0, 2, False), "g4": (0, 4, False), "g8": (0, 8, False),
    "g16": (0, 16, False), "p1": (3, 1, False), "p2": (3, 2, False), "p4": (3, 4, False),
    "p8": (3, 8, False), "rgb8": (2, 8, False), "rgb16": (2, 16, False), "ga8": (4, 8, False),
    "ga16": (4, 16, False), "rgba8": (6, 8, False), "rgba16": (6, 16, False),
    "g1i": (0, 1, True), "g4i": (0, 4, True), "g16i": (0, 16, True), "p2i": (3, 2, True),
    "p8i": (3, 8, True), "rgb8i": (2, 8, True), "rgb16i": (2, 16, True), "ga8i": (4, 8, True),
    "rgba8i": (6, 8, True), "rgba16i": (6, 16, True),
}


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def chunks(data):
    pos, out = 8, []
    while pos < len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        out.append((kind, data[pos + 8:pos + 8 + length]))
        pos += 12 + length
    return out


def assemble(parts):
    return b"\x89PNG\r\n\x1a\n" + b"".join(chunk(k, d) for k, d in parts)


def insert_before_idat(data, extra):
    parts = chunks(data)
    i = next(n for n, (k, _) in enumerate(parts) if k == b"IDAT")
    return assemble(parts[:i] + extra + parts[i:])


def insert_after_ihdr(data, extra):
    parts = chunks(data)
    return assemble(parts[:1] + extra + parts[1:])


def make(folder, name, colour, depth, interlaced, size="13x11"):
    path = os.path.join(folder, name + ".png")
    args = [CONVERT, "-size", size, "xc:", "-sparse-color", "barycentric",
            "0,0 rgb(250,20,10) 12,0 rgb(20,240,30) 6,10 rgb(10,40,250)"]
    if colour in (0, 4):
        args += ["-colorspace", "gray"]
    if colour == 3:
        args += ["-colors", str(min(1 << depth, 24))]
    if colour in (4, 6):
        args += ["-alpha", "set", "-channel", "A", "-fx", "(i+j)/22", "+channel"]
    args += ["-strip", "-define", f"png:color-type={colour}", "-define", f"png:bit-depth={depth}"]
    if interlaced:
        args += ["-interlace", "PNG"]
    subprocess.run(args + [path], check=True)
    with open(path, "rb") as f:
        data = f.read()
    ihdr = struct.unpack_from(">IIBBBBB", data, 16)
    if ihdr[2:5] != (depth, colour, 0) or ihdr[6] != int(interlaced):
        sys.exit(f"{name}: ImageMagick wrote {ihdr}")
    return data


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    files = {}
    for name, (colour, depth, interlaced) in PLAIN.items():
        files[name] = make(folder, name, colour, depth, interlaced)

    gamma = lambda value: (b"gAMA", struct.pack(">I", value))
    # Transparency and gamma, added to the plain files.
    files["g4_trns"] = insert_before_idat(files["g4"], [(b"tRNS", struct.pack(">H", 9))])
    files["g16_trns"] = insert_before_idat(
        files["g16"], [(b"tRNS", struct.pack(">H", struct.unpack_from(">H", zlib.decompress(
            b"".join(d for k, d in chunks(files["g16"]) if k == b"IDAT")), 1)[0]))])
    first_rgb = zlib.decompress(b"".join(d for k, d in chunks(files["rgb8"]) if k == b"IDAT"))[1:4]
    files["rgb8_trns_gama"] = insert_before_idat(
        files["rgb8"], [gamma(55556), (b"tRNS", struct.pack(">3H", *first_rgb))])
    first_rgb16 = zlib.decompress(b"".join(d for k, d in chunks(files["rgb16"]) if k == b"IDAT"))[1:7]
    files["rgb16_trns"] = insert_before_idat(files["rgb16"], [(b"tRNS", first_rgb16)])
    files["p8_trns"] = insert_before_idat(files["p8"], [(b"tRNS", bytes(range(0, 240, 20)))])
    files["p4i_gama"] = insert_after_ihdr(make(folder, "p4i", 3, 4, True), [gamma(100000)])
    # A gAMA after PLTE is out of order and ignored.
    files["p8_late_gama"] = insert_before_idat(files["p8"], [gamma(100000)])
    files["ga16_gama"] = insert_before_idat(files["ga16"], [gamma(45455)])
    files["rgba8_gama"] = insert_before_idat(files["rgba8"], [gamma(70000)])
    os.remove(os.path.join(folder, "p4i.png"))

    # Damaged files: "x" names.
    rgb = files["rgb8"]
    parts = chunks(rgb)
    idat = b"".join(d for k, d in parts if k == b"IDAT")
    raw = zlib.decompress(idat)
    half = zlib.compressobj(9)
    stopped = half.compress(raw[:len(raw) // 2]) + half.flush(zlib.Z_SYNC_FLUSH)
    files["x_stream_stops"] = assemble([p for p in parts if p[0] != b"IDAT"][:1] + [(b"IDAT", stopped), (b"IEND", b"")])
    files["x_cut_in_idat"] = rgb[:len(rgb) - 40]
    bad_crc = bytearray(rgb)
    idat_at = rgb.index(b"IDAT")
    bad_crc[idat_at + 10] ^= 0x55
    files["x_idat_crc"] = bytes(bad_crc)
    files["x_signature"] = b"\x89PNG\n\r\x1a\n" + rgb[8:]
    files["x_depth16_palette"] = rgb[:24] + bytes([16, 3]) + rgb[26:29] + struct.pack(
        ">I", zlib.crc32(rgb[12:24] + bytes([16, 3]) + rgb[26:29])) + rgb[33:]
    files["x_adler"] = assemble(parts[:1] + [(b"IDAT", idat[:-4] + bytes(4 * [0x5A])), (b"IEND", b"")])

    for name, data in files.items():
        with open(os.path.join(folder, name + ".png"), "wb") as f:
            f.write(data)
    print(f"{len(files)} files in {folder}")


if __name__ == "__main__":
    main()
