#!/usr/bin/python3
"""Regenerates the decompression-bomb files in this folder: tiny files that
declare 25000 x 25000 pixels, one per format (and the JPEG codings), each of
which a reader must refuse as DataTooSmall before allocating the image.

Run by hand: /usr/bin/python3 tests/data/bombs/generate.py (needs cjpeg from
libjpeg-turbo-progs). The JPEG files are cjpeg's 16 x 16 images with the
frame size rewritten; the others are written here byte by byte.
"""

import os
import struct
import subprocess
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SIZE = 25000


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)
    print(f"{name}: {len(data)} bytes")


def png():
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    ihdr = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0)
    # A stream that inflates to 100,000 zero bytes: four rows of filter 0
    # and black, as far as it goes.
    idat = zlib.compress(bytes(100000), 9)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", idat) +
            chunk(b"IEND", b""))


def gif():
    out = b"GIF89a" + struct.pack("<HH", SIZE, SIZE) + bytes([0x80, 0, 0])
    out += bytes([0, 0, 0, 255, 255, 255])
    out += b"\x2c" + struct.pack("<HHHH", 0, 0, SIZE, SIZE) + b"\x00"
    out += bytes([2, 2, 0x4C, 0x01, 0, 0x3B])  # clear, 1, end
    return out


def tiff():
    entries = [(256, 4, 1, SIZE), (257, 4, 1, SIZE), (258, 3, 1, 8), (259, 3, 1, 1),
               (262, 3, 1, 1), (273, 4, 1, 0), (277, 3, 1, 1), (279, 4, 1, 1)]
    ifd_size = 2 + 12 * len(entries) + 4
    data_offset = 8 + ifd_size
    out = b"II*\x00" + struct.pack("<I", 8) + struct.pack("<H", len(entries))
    for tag, kind, count, value in entries:
        if tag == 273:
            value = data_offset
        if kind == 3:
            out += struct.pack("<HHIHH", tag, kind, count, value, 0)
        else:
            out += struct.pack("<HHII", tag, kind, count, value)
    return out + struct.pack("<I", 0) + b"\x80"


def bmp():
    pixels = bytes(100)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, 0, 0, 0, 0, 0)
    size = 14 + len(header) + len(pixels)
    return b"BM" + struct.pack("<IHHI", size, 0, 0, 54) + header + pixels


def jpeg(*options):
    ppm = b"P6 16 16 255\n" + bytes(range(256)) * 3
    data = bytearray(subprocess.run(["cjpeg", *options], input=ppm, capture_output=True,
                                    check=True).stdout)
    # The frame header (SOF0, SOF2 or SOF9): height and width after the
    # length and the sample precision.
    at = 2
    while True:
        assert data[at] == 0xFF
        marker = data[at + 1]
        length = struct.unpack_from(">H", data, at + 2)[0]
        if marker in (0xC0, 0xC2, 0xC9, 0xCA):
            struct.pack_into(">HH", data, at + 5, SIZE, SIZE)
            return bytes(data)
        at += 2 + length


def main():
    write("png_rgb.png", png())
    write("gif_screen.gif", gif())
    write("tiff_gray.tif", tiff())
    write("bmp_24bit.bmp", bmp())
    write("jpeg_baseline.jpg", jpeg())
    write("jpeg_progressive.jpg", jpeg("-progressive"))
    write("jpeg_arithmetic.jpg", jpeg("-arithmetic"))


if __name__ == "__main__":
    main()
