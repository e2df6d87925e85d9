#!/usr/bin/python3
"""Compares the JPEG units with libjpeg-turbo's own programs.

Usage: jpeg_reference_check.py TOOL WORKDIR

TOOL is jpeg_reference_tool. Inputs are made here (Pillow for pixels, cjpeg
for JPEG files of every sampling layout, ImageMagick for Adobe CMYK), then:
  - decoding: our pixels equal djpeg's (same library, same default IDCT and
    upsampling), at full and reduced scale and for truncated files; CMYK
    equals the truncating product of the raw samples (djpeg rounds: ±1);
  - encoding: our file decodes to the same pixels as cjpeg's with the same
    quality, sampling, grayscale and progressive settings;
  - transform: for every transform, sampling layout, size (MCU multiples,
    others, smaller than one MCU), with and without trim, grayscale,
    progressive and marker copying, our output decodes (djpeg) to exactly
    the pixels of jpegtran's and carries the same APPn/COM segments;
  - comment insertion and the Exif date, read back with rdjpgcom / Pillow.
Exits 1 after listing every mismatch.
"""
import os
import subprocess
import sys

from PIL import Image

TOOL, WORK = sys.argv[1], sys.argv[2]
os.makedirs(WORK, exist_ok=True)
failures = []


def path(name):
    return os.path.join(WORK, name)


def run(args, stdin=None, check=True):
    r = subprocess.run(args, stdin=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if check and r.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (args, r.returncode, r.stderr.decode()))
    return r


def djpeg(jpeg, *options):
    # djpeg exits 2 after warnings (a truncated file); its output still counts.
    r = run(["djpeg", "-pnm", *options, jpeg], check=False)
    if r.returncode not in (0, 2) or not r.stdout:
        raise RuntimeError("djpeg %s failed: %s" % (jpeg, r.stderr.decode()))
    return r.stdout


def ours_decode(jpeg, box=None):
    out = path("ours.pnm")
    args = [TOOL, "decode", jpeg, out] + ([str(box[0]), str(box[1])] if box else [])
    r = run(args, check=False)
    if r.returncode != 0:
        return None, r.stderr.decode().strip()
    with open(out, "rb") as f:
        return f.read(), r.stdout.decode().split()


def expect(condition, message):
    if not condition:
        failures.append(message)


def picture(w, h, seed):
    """Smooth gradients with hard edges and a little noise."""
    base = Image.linear_gradient("L").resize((w, h))
    noise = Image.effect_noise((w, h), 40 + seed)
    edges = Image.new("L", (w, h))
    edges.paste(255, (w // 3, h // 4, max(w // 3 + 1, w * 2 // 3), max(h // 4 + 1, h * 3 // 4)))
    return Image.merge("RGB", (base, noise, edges.transpose(Image.Transpose.ROTATE_180)))


def cjpeg(ppm, jpeg, *options):
    with open(jpeg, "wb") as f:
        subprocess.run(["cjpeg", *options, ppm], stdout=f, check=True)


def segments(data):
    """(marker, payload) of the APPn and COM segments in front of the frame."""
    out, pos = [], 2
    while pos + 4 <= len(data) and data[pos] == 0xFF:
        code = data[pos + 1]
        if code in (0xDA, 0xD9):
            break
        length = (data[pos + 2] << 8) | data[pos + 3]
        if 0xE0 <= code <= 0xEF or code == 0xFE:
            out.append((code, data[pos + 4:pos + 2 + length]))
        pos += 2 + length
    return out


def read(name):
    with open(name, "rb") as f:
        return f.read()


# ---------------------------------------------------------------- inputs
SIZES = [(48, 32), (100, 75), (37, 23), (13, 7), (5, 20), (20, 5), (8, 8), (1, 1)]
LAYOUTS = {
    "420": ["-sample", "2x2"],
    "422": ["-sample", "2x1"],
    "440": ["-sample", "1x2"],
    "444": ["-sample", "1x1"],
    "gray": ["-grayscale"],
    "mixed": ["-sample", "2x2,1x2,2x1"],
}
inputs = []
for (w, h) in SIZES:
    ppm = path("src_%dx%d.ppm" % (w, h))
    picture(w, h, w + h).save(ppm)
    for layout, options in LAYOUTS.items():
        jpeg = path("in_%dx%d_%s.jpg" % (w, h, layout))
        cjpeg(ppm, jpeg, "-quality", "85", *options)
        inputs.append(jpeg)
    prog = path("in_%dx%d_420p.jpg" % (w, h))
    cjpeg(ppm, prog, "-quality", "85", "-progressive", "-sample", "2x2")
    inputs.append(prog)

# An input with segments to copy: JFIF APP0, Exif APP1, COM, XMP APP1, APP2.
marked = path("in_markers.jpg")
exif_src = Image.open(path("src_100x75.ppm"))
exif = Image.Exif()
exif[0x8769] = {36867: "2009:03:14 15:26:53"}  # written big-endian ("MM")
exif_src.save(path("exif.jpg"), quality=90, exif=exif, subsampling=2)
data = read(path("exif.jpg"))


def segment(code, payload):
    return bytes([0xFF, code, (len(payload) + 2) >> 8, (len(payload) + 2) & 0xFF]) + payload


xmp = segment(0xE1, b"http://ns.adobe.com/xap/1.0/\x00<x:xmpmeta/>")
extra = segment(0xFE, b"first comment") + xmp + segment(0xE2, b"APP2 data") + segment(0xFE, b"second")
# Insert after the leading segments Pillow wrote (JFIF, Exif).
pos = 2
while data[pos + 1] in (0xE0, 0xE1):
    pos += 2 + ((data[pos + 2] << 8) | data[pos + 3])
with open(marked, "wb") as f:
    f.write(data[:pos] + extra + data[pos:])
# The same Exif segment behind an XMP APP1.
jfif_end = 4 + ((data[4] << 8) | data[5])
with open(path("xmp_then_exif.jpg"), "wb") as f:
    f.write(data[:jfif_end] + xmp + data[jfif_end:])

cmyk = path("in_cmyk.jpg")
subprocess.run(["/usr/bin/convert", path("src_100x75.ppm"), "-colorspace", "CMYK", "-quality", "90",
                cmyk], check=True)

# ---------------------------------------------------------------- decoding
for jpeg in inputs + [marked]:
    ours, info = ours_decode(jpeg)
    expect(ours is not None and ours == djpeg(jpeg), "decode differs from djpeg: %s %s" % (jpeg, info))

# Reduced decoding: RszOpt 3 with RszSize 400.
big = picture(3200, 2400, 1)
for (w, h), scale in [((3200, 2400), 4), ((1600, 1200), 2), ((700, 500), 1), ((6400, 800), 2)]:
    ppm = path("big_%dx%d.ppm" % (w, h))
    big.resize((w, h)).save(ppm)
    jpeg = path("big_%dx%d.jpg" % (w, h))
    cjpeg(ppm, jpeg, "-quality", "80")
    ours, info = ours_decode(jpeg, (400, 400))
    expect(info == [str(-(-w // scale)), str(-(-h // scale)), str(scale)],
           "scale for %dx%d: got %s, expected 1/%d" % (w, h, info, scale))
    expect(ours == djpeg(jpeg, "-scale", "1/%d" % scale), "scaled decode differs: %dx%d" % (w, h))
for box, scale in [((100, 1), 8), ((1, 300), 8), ((1000, 1000), 2), ((1700, 1000), 1),
                   ((800, 1), 4)]:
    ours, info = ours_decode(path("big_3200x2400.jpg"), box)
    expect(info and info[2] == str(scale), "box %s: got %s, expected 1/%d" % (box, info, scale))

# Truncated files, baseline and progressive, cut inside the entropy data.
for name in ["in_100x75_420.jpg", "in_100x75_420p.jpg", "big_700x500.jpg"]:
    data = read(path(name))
    for fraction in (0.4, 0.75):
        cut = path("cut_%d_%s" % (int(fraction * 100), name))
        with open(cut, "wb") as f:
            f.write(data[:int(len(data) * fraction)])
        ours, info = ours_decode(cut)
        expect(ours is not None and ours == djpeg(cut), "truncated decode differs: %s" % cut)

# Adobe CMYK: Pillow reports the inverted samples (255 − libjpeg's), so the
# raw value is 255 − Pillow's; R = C·K/255 truncated on the raw values.
raw = Image.open(cmyk)
expect(raw.mode == "CMYK", "ImageMagick did not write CMYK")
ours, info = ours_decode(cmyk)
if ours is None:
    failures.append("CMYK decode failed: %s" % info)
else:
    header = b"P6\n%d %d\n255\n" % raw.size
    pixels = ours[len(header):]
    expected = bytearray()
    for c, m, y, k in raw.getdata():
        c, m, y, k = 255 - c, 255 - m, 255 - y, 255 - k
        expected += bytes((c * k // 255, m * k // 255, y * k // 255))
    expect(ours.startswith(header) and pixels == bytes(expected), "CMYK pixels differ from a·k/255")
    reference = djpeg(cmyk)[len(header):]
    expect(max(abs(a - b) for a, b in zip(pixels, reference)) <= 1, "CMYK differs from djpeg by > 1")

# ---------------------------------------------------------------- encoding
SAMPLING = {0: "2x2", 1: "2x1", 2: "1x1"}
for (w, h) in [(100, 75), (13, 7), (1, 1), (37, 23)]:
    ppm = path("src_%dx%d.ppm" % (w, h))
    pgm = path("src_%dx%d.pgm" % (w, h))
    Image.open(ppm).convert("L").save(pgm)
    for quality in (75, 100, 10, 1):
        for sampling, factors in SAMPLING.items():
            for extra in ([], ["--progressive"], ["--grayscale"]):
                ours = path("enc_ours.jpg")
                theirs = path("enc_cjpeg.jpg")
                run([TOOL, "encode", ppm, ours, str(quality), str(sampling)] + extra)
                options = ["-quality", str(quality), "-baseline", "-optimize", "-sample", factors]
                options += {"--progressive": ["-progressive"], "--grayscale": ["-grayscale"]}.get(
                    extra[0] if extra else "", [])
                cjpeg(ppm, theirs, *options)
                expect(djpeg(ours) == djpeg(theirs),
                       "encode differs from cjpeg: %dx%d q%d %s %s" % (w, h, quality, factors, extra))
    # An 8-bit gray-palette image is expanded to 24 bits first.
    run([TOOL, "encode", pgm, path("enc_gray.jpg"), "90", "0"])
    ref_rgb = path("gray_as_rgb.ppm")
    Image.open(pgm).convert("RGB").save(ref_rgb)
    cjpeg(ref_rgb, path("enc_gray_cjpeg.jpg"), "-quality", "90", "-baseline", "-sample", "2x2")
    expect(djpeg(path("enc_gray.jpg")) == djpeg(path("enc_gray_cjpeg.jpg")),
           "8-bit encode differs from cjpeg of its 24-bit expansion: %dx%d" % (w, h))
run([TOOL, "encode", path("src_13x7.ppm"), path("enc_comment.jpg"), "80", "0", "--comment",
     "line one\r\nline two"])
r = run(["rdjpgcom", "-raw", path("enc_comment.jpg")])
expect(r.stdout == b"line one\r\nline two\n", "rdjpgcom reads %r" % r.stdout)

# ---------------------------------------------------------------- transform
TRANSFORMS = [["rotate", "90"], ["rotate", "180"], ["rotate", "270"], ["flip", "horizontal"],
              ["flip", "vertical"]]


def compare_transform(jpeg, ours_args, theirs_args, label, compare_markers=False):
    ours = path("t_ours.jpg")
    theirs = path("t_jpegtran.jpg")
    r = run([TOOL, "transform", jpeg, ours] + ours_args, check=False)
    t = run(["jpegtran"] + theirs_args + ["-outfile", theirs, jpeg], check=False)
    if t.returncode != 0:
        expect(r.returncode != 0, "%s: jpegtran failed but ours did not" % label)
        return
    if r.returncode != 0:
        failures.append("%s: ours failed: %s" % (label, r.stderr.decode().strip()))
        return
    expect(djpeg(ours) == djpeg(theirs), "%s: pixels differ from jpegtran" % label)
    w, h = Image.open(theirs).size
    expect(r.stdout.decode().split() == [str(w), str(h)],
           "%s: size %s, jpegtran %dx%d" % (label, r.stdout.decode().strip(), w, h))
    if compare_markers:
        expect(segments(read(ours)) == segments(read(theirs)), "%s: segments differ" % label)


for jpeg in inputs:
    name = os.path.basename(jpeg)
    for t in TRANSFORMS:
        compare_transform(jpeg, ["--" + t[0], t[1]], ["-" + t[0], t[1], "-trim"], "%s %s" % (name, t))
        compare_transform(jpeg, ["--" + t[0], t[1], "--no-trim"], ["-" + t[0], t[1]],
                          "%s %s no-trim" % (name, t))
        if "_420" in name and "100x75" in name:
            compare_transform(jpeg, ["--" + t[0], t[1], "--grayscale", "--progressive"],
                              ["-" + t[0], t[1], "-trim", "-grayscale", "-progressive"],
                              "%s %s gray progressive" % (name, t))
    if "gray" not in name:
        compare_transform(jpeg, ["--grayscale"], ["-grayscale"], "%s grayscale" % name)
for t in TRANSFORMS:
    compare_transform(cmyk, ["--" + t[0], t[1]], ["-" + t[0], t[1], "-trim"], "cmyk %s" % t)
r = run([TOOL, "transform", cmyk, path("t_cmyk_gray.jpg"), "--grayscale"], check=False)
expect(r.returncode != 0, "grayscale of CMYK must fail")
for copy in ("none", "comments", "all"):
    for t in TRANSFORMS[:2]:
        compare_transform(marked, ["--" + t[0], t[1], "--copy", copy],
                          ["-" + t[0], t[1], "-trim", "-copy", copy], "markers %s %s" % (copy, t),
                          compare_markers=True)
# The 4:2:0 examples: 100×75 turned by 90° is 64×100, by 180° 96×64.
for t, size in [(["--rotate", "90"], "64 100"), (["--rotate", "180"], "96 64")]:
    r = run([TOOL, "transform", path("in_100x75_420.jpg"), path("t.jpg")] + t)
    expect(r.stdout.decode().strip() == size, "100x75 %s gave %s" % (t, r.stdout))

# ---------------------------------------------------------------- comment, Exif
run([TOOL, "transform", marked, path("c_in.jpg"), "--rotate", "90", "--copy", "none"])
run([TOOL, "comment", path("c_in.jpg"), path("c_out.jpg"), "a\r\nb"])
r = run(["rdjpgcom", "-raw", path("c_out.jpg")])
expect(r.stdout == b"a\nb\n", "inserted comment reads %r" % r.stdout)
expect(djpeg(path("c_in.jpg")) == djpeg(path("c_out.jpg")), "comment insertion changed the pixels")
run([TOOL, "comment", marked, path("c_out2.jpg"), "replaced"])
comments = [p for c, p in segments(read(path("c_out2.jpg"))) if c == 0xFE]
expect(comments == [b"replaced", b"second"], "first COM not replaced: %r" % comments)
for name in (marked, path("xmp_then_exif.jpg")):
    r = run([TOOL, "exif", name])
    expect(r.stdout.decode().strip() == "2009:03:14 15:26:53", "Exif date %r in %s" % (r.stdout, name))
r = run([TOOL, "exif", path("in_100x75_420.jpg")])
expect(r.stdout.decode().strip() == "none", "Exif date of a file without one: %r" % r.stdout)

if failures:
    print("\n".join(failures))
    print("%d mismatches" % len(failures))
    sys.exit(1)
print("JPEG reference check passed")
