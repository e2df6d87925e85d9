#!/usr/bin/python3
"""Writes the JPEG test files of this folder and manifest.txt.

Run from anywhere with /usr/bin/python3 (Pillow); needs cjpeg, djpeg and
jpegtran (libjpeg-turbo-progs) and ImageMagick's /usr/bin/convert. The
expected values come from those programs, never from Pixlane:
  decode      djpeg's pixels (CMYK: the truncating product a·k/255 of the
              raw samples, which Pillow reports inverted; djpeg rounds)
  transform   the same decoding of jpegtran's output with the same options
              (-trim always; -grayscale, -progressive where named)
Each manifest line: file, operation, width, height, bit count and the
checksum of tests/support PixelChecksum (FNV-1a 64 over the bottom-up rows
in blue-green-red order, then the 256 gray palette entries of 8-bit images).
"""
import os
import subprocess

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))


def path(name):
    return os.path.join(HERE, name)


def picture(w, h, seed):
    base = Image.linear_gradient("L").resize((w, h))
    noise = Image.effect_noise((w, h), 40 + seed)
    edges = Image.new("L", (w, h))
    edges.paste(255, (w // 3, h // 4, max(w // 3 + 1, w * 2 // 3), max(h // 4 + 1, h * 3 // 4)))
    return Image.merge("RGB", (base, noise, edges.transpose(Image.Transpose.ROTATE_180)))


def run(args):
    r = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if r.returncode not in (0, 2) or not r.stdout:
        raise RuntimeError("%s: %s" % (args, r.stderr.decode()))
    return r.stdout


def checksum_pnm(pnm):
    """PixelChecksum of the image djpeg wrote as PPM or PGM."""
    fields, pos = [], 0
    while len(fields) < 4:  # magic, width, height, maxval; one whitespace byte follows
        while pnm[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not pnm[pos:pos + 1].isspace():
            pos += 1
        fields.append(pnm[start:pos])
    magic, w, h, pixels = fields[0], int(fields[1]), int(fields[2]), pnm[pos + 1:]
    gray = magic == b"P5"
    channels = 1 if gray else 3
    value = 1469598103934665603

    def mix(b):
        nonlocal value
        value = ((value ^ b) * 1099511628211) & 0xFFFFFFFFFFFFFFFF

    for y in range(h - 1, -1, -1):
        row = pixels[y * w * channels:(y + 1) * w * channels]
        if gray:
            for b in row:
                mix(b)
        else:
            for x in range(w):
                mix(row[3 * x + 2])
                mix(row[3 * x + 1])
                mix(row[3 * x])
    if gray:
        for i in range(256):
            mix(i)
            mix(i)
            mix(i)
    return w, h, 8 if gray else 24, "%016x" % value


def cjpeg(source, name, *options):
    with open(path(name), "wb") as f:
        subprocess.run(["cjpeg", *options, source], stdout=f, check=True)


lines = []


def add(name, operation, pnm):
    w, h, bits, value = checksum_pnm(pnm)
    lines.append("%s %s %d %d %d %s" % (name, operation, w, h, bits, value))


scratch = "/tmp/pixlane_jpeg_generate"
os.makedirs(scratch, exist_ok=True)
src = os.path.join(scratch, "src.ppm")
picture(100, 75, 3).save(src)
small = os.path.join(scratch, "small.ppm")
picture(13, 7, 5).save(small)

cjpeg(src, "ycc420.jpg", "-quality", "85", "-sample", "2x2")
cjpeg(src, "ycc422.jpg", "-quality", "85", "-sample", "2x1")
cjpeg(src, "ycc444.jpg", "-quality", "85", "-sample", "1x1")
cjpeg(src, "gray.jpg", "-quality", "85", "-grayscale")
cjpeg(src, "ycc420_progressive.jpg", "-quality", "85", "-sample", "2x2", "-progressive")
cjpeg(small, "small420.jpg", "-quality", "85", "-sample", "2x2")
with open(path("ycc420.jpg"), "rb") as f:
    data = f.read()
with open(path("truncated420.jpg"), "wb") as f:
    f.write(data[:len(data) * 6 // 10])
subprocess.run(["/usr/bin/convert", src, "-colorspace", "CMYK", "-quality", "90", path("cmyk.jpg")],
               check=True)

for name in ["ycc420.jpg", "ycc422.jpg", "ycc444.jpg", "gray.jpg", "ycc420_progressive.jpg",
             "small420.jpg", "truncated420.jpg"]:
    add(name, "decode", run(["djpeg", "-pnm", path(name)]))



def decoded(jpeg):
    """djpeg's pixels; for CMYK the truncating product of the raw samples."""
    raw = Image.open(jpeg)
    if raw.mode != "CMYK":
        return run(["djpeg", "-pnm", jpeg])
    rgb = bytearray()
    for c, m, y, k in raw.getdata():
        c, m, y, k = 255 - c, 255 - m, 255 - y, 255 - k
        rgb += bytes((c * k // 255, m * k // 255, y * k // 255))
    return b"P6\n%d %d\n255\n" % raw.size + bytes(rgb)


add("cmyk.jpg", "decode", decoded(path("cmyk.jpg")))

TRANSFORMS = {
    "rotate90": ["-rotate", "90"], "rotate180": ["-rotate", "180"], "rotate270": ["-rotate", "270"],
    "mirror-lr": ["-flip", "horizontal"], "mirror-tb": ["-flip", "vertical"],
}
out = os.path.join(scratch, "t.jpg")
for name in ["ycc420.jpg", "ycc422.jpg", "ycc444.jpg", "gray.jpg", "ycc420_progressive.jpg",
             "small420.jpg", "cmyk.jpg"]:
    for kind, options in TRANSFORMS.items():
        subprocess.run(["jpegtran", *options, "-trim", "-outfile", out, path(name)], check=True)
        add(name, kind, decoded(out))
for kind, options in [("rotate90+gray+progressive", ["-rotate", "90", "-grayscale", "-progressive"]),
                      ("none+gray", ["-grayscale"])]:
    subprocess.run(["jpegtran", *options, "-trim", "-outfile", out, path("ycc420.jpg")], check=True)
    add("ycc420.jpg", kind, run(["djpeg", "-pnm", out]))

with open(path("manifest.txt"), "w") as f:
    f.write("# Generated by generate.py from djpeg and jpegtran; see its docstring.\n")
    f.write("\n".join(lines) + "\n")
