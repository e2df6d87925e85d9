#!/usr/bin/python3
"""Writes the seed files of fuzz/corpus/jpeg_reader and jpeg_transform.

Small files of every kind the JPEG units meet: each sampling layout,
grayscale, progressive, arithmetic coding, restart markers, Adobe CMYK,
truncated data, Exif in both byte orders (also behind an XMP APP1), comment
and APPn segments. The transform fuzzer takes its options from a file's last
byte, so its seeds end in varied bytes. Needs /usr/bin/python3 (Pillow),
cjpeg and jpegtran, and ImageMagick's /usr/bin/convert.
"""
import os
import struct
import subprocess

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
READER = os.path.join(HERE, "corpus", "jpeg_reader")
TRANSFORM = os.path.join(HERE, "corpus", "jpeg_transform")
SCRATCH = "/tmp/pixlane_jpeg_seeds"
for d in (READER, TRANSFORM, SCRATCH):
    os.makedirs(d, exist_ok=True)


def picture(w, h):
    img = Image.new("RGB", (w, h))
    img.putdata([((x * 37) % 256, (y * 53) % 256, ((x ^ y) * 17) % 256)
                 for y in range(h) for x in range(w)])
    return img


def cjpeg(w, h, *options):
    ppm = os.path.join(SCRATCH, "src.ppm")
    picture(w, h).save(ppm)
    return subprocess.run(["cjpeg", *options, ppm], stdout=subprocess.PIPE, check=True).stdout


def segment(code, payload):
    return bytes([0xFF, code]) + struct.pack(">H", len(payload) + 2) + payload


def exif_tiff(little):
    e = "<" if little else ">"
    date = b"2009:03:14 15:26:53\x00"
    return ((b"II" if little else b"MM") + struct.pack(e + "HI", 42, 8) +
            struct.pack(e + "H", 1) + struct.pack(e + "HHII", 34665, 4, 1, 26) + struct.pack(e + "I", 0) +
            struct.pack(e + "H", 1) + struct.pack(e + "HHII", 36867, 2, 20, 44) + struct.pack(e + "I", 0) +
            date)


def with_segments(jpeg, *segments):
    return jpeg[:2] + b"".join(segments) + jpeg[2:]


files = {
    "ycc420_13x7.jpg": cjpeg(13, 7, "-sample", "2x2"),
    "ycc422_16x16.jpg": cjpeg(16, 16, "-sample", "2x1", "-quality", "50"),
    "ycc444_9x9.jpg": cjpeg(9, 9, "-sample", "1x1"),
    "mixed_24x17.jpg": cjpeg(24, 17, "-sample", "2x2,1x2,2x1"),
    "gray_9x9.jpg": cjpeg(9, 9, "-grayscale"),
    "progressive_20x12.jpg": cjpeg(20, 12, "-progressive"),
    "restart_17x9.jpg": cjpeg(17, 9, "-restart", "1B", "-sample", "1x1"),
    "rgb_8x8.jpg": cjpeg(8, 8, "-rgb"),
}
base = files["ycc420_13x7.jpg"]
files["arithmetic_13x7.jpg"] = subprocess.run(
    ["jpegtran", "-arithmetic"], input=base, stdout=subprocess.PIPE, check=True).stdout
files["truncated_20x12.jpg"] = files["progressive_20x12.jpg"][:len(files["progressive_20x12.jpg"]) * 2 // 3]
files["exif_ii.jpg"] = with_segments(base, segment(0xE1, b"Exif\0\0" + exif_tiff(True)))
files["exif_mm_after_xmp.jpg"] = with_segments(
    base, segment(0xE1, b"http://ns.adobe.com/xap/1.0/\0<x/>"),
    segment(0xE1, b"Exif\0\0" + exif_tiff(False)))
files["comments_app2.jpg"] = with_segments(base, segment(0xFE, b"one"), segment(0xE2, b"ICC"),
                                           segment(0xFE, b"two\r\n"))
cmyk = os.path.join(SCRATCH, "cmyk.jpg")
picture(10, 6).save(os.path.join(SCRATCH, "c.ppm"))
subprocess.run(["/usr/bin/convert", os.path.join(SCRATCH, "c.ppm"), "-colorspace", "CMYK", cmyk],
               check=True)
with open(cmyk, "rb") as f:
    files["cmyk_10x6.jpg"] = f.read()
# A frame claiming 60000 × 8 pixels over 13 × 7 pixels of data.
wide = bytearray(base)
sof = wide.index(b"\xff\xc0")
wide[sof + 5:sof + 9] = struct.pack(">HH", 8, 60000)
files["claims_60000x8.jpg"] = bytes(wide)

SELECTORS = [1, 2, 3, 4, 5, 0x46, 0x87, 0xC2]  # each transform, progressive, grayscale
for i, (name, data) in enumerate(sorted(files.items())):
    with open(os.path.join(READER, name), "wb") as f:
        f.write(data)
    # Transform seeds: the same file with options in its last byte (past
    # the EOI, where decoders ignore it), three per file.
    for selector in (SELECTORS[(3 * i + k) % len(SELECTORS)] for k in range(3)):
        with open(os.path.join(TRANSFORM, "%s_%02x" % (name[:-4], selector)), "wb") as f:
            f.write(data + bytes([selector]))
