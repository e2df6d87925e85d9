#!/usr/bin/python3
"""Regenerates the TIFF reference files in this folder and manifest.txt.

Run by hand: /usr/bin/python3 tests/data/tiff/generate.py (needs Pillow,
ImageMagick's /usr/bin/convert and libtiff's tiffcp). Files come from Pillow
and ImageMagick (little-endian), tiffcp makes their big-endian, multi-strip
and compressed copies, and a few are assembled here entry by entry (gen_*)
to reach layouts none of them writes. The expected colours come from
Pillow's decoding; for files whose strips are shorter than the image, the
intended colours up to where the strips end, then black.

manifest.txt, one file per line:
  <name> ok <width> <height> <bitCount> <sourceBitCount> <xPelsPerMetre>
     <yPelsPerMetre> <checksum>
  <name> reject <CodecError name>
The checksum is FNV-1a 64 over the colours as red, green, blue, rows top
to bottom (indexed images expanded through their palette). Pixels per metre
follow from XResolution/YResolution and ResolutionUnit: inch
floor(x / 0.0254 + 0.5), centimetre floor(x * 100 + 0.5), otherwise 0.
"""

import io
import math
import os
import random
import struct
import subprocess
import sys
import tempfile

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
TIFFCP = "/usr/bin/tiffcp"
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
from reference_images import fnv1a, magick_convert, rgb_image, write_file  # noqa: E402

manifest = []


def decode(data):
    with Image.open(io.BytesIO(data)) as im:
        im.load()
        return im.size, im.convert("RGB").tobytes()


def pels_per_metre(tags):
    x, y = tags.get(282), tags.get(283)
    if x is None or y is None:
        return 0, 0
    unit = tags.get(296, 2)

    def one(r):
        num, den = r.numerator, r.denominator
        if den == 0:
            return 0
        if unit == 2:
            return math.floor(num / 0.0254 / den + 0.5)
        if unit == 3:
            return math.floor(num * 100 / den + 0.5)
        return 0

    return one(x), one(y)


def source_bits(tags):
    bits = tags.get(258, (1,))
    bits = bits if isinstance(bits, tuple) else (bits,)
    return bits[0] * (3 if tags.get(262) == 2 else 1)


def write(name, data):
    write_file(HERE, name, data)


def expect_ok(name, data, rgb=None):
    """Stores `data`; the expected colours are Pillow's decoding unless given
    as `rgb` (red, green, blue, rows top to bottom)."""
    write(name, data)
    (w, h), tags = tags_of(data)
    if rgb is None:
        rgb = decode(data)[1]
    out_bits = 24 if tags.get(262) == 2 else 8
    x, y = pels_per_metre(tags)
    manifest.append(f"{name} ok {w} {h} {out_bits} {source_bits(tags)} {x} {y} {fnv1a(rgb):016x}")


def expect_reject(name, data, error):
    write(name, data)
    manifest.append(f"{name} reject {error}")


# --- sources -----------------------------------------------------------------

def gray_image(w, h, seed):
    rnd = random.Random(seed)
    im = Image.new("L", (w, h))
    im.putdata([rnd.randrange(256) for _ in range(w * h)])
    return im


def palette_image(w, h, colours, seed):
    rnd = random.Random(seed)
    im = Image.new("P", (w, h))
    im.putpalette([rnd.randrange(256) for _ in range(3 * colours)])
    im.putdata([rnd.randrange(colours) for _ in range(w * h)])
    return im


def pillow_bytes(im, **options):
    buf = io.BytesIO()
    im.save(buf, "TIFF", **options)
    return buf.getvalue()


def magick_bytes(im, *args):
    """ImageMagick's uncompressed TIFF of a Pillow image."""
    return magick_convert(im, *args, "-compress", "none", "TIFF:-")


def tiffcp(data, *args):
    with tempfile.TemporaryDirectory() as d:
        src, dst = os.path.join(d, "in.tif"), os.path.join(d, "out.tif")
        with open(src, "wb") as f:
            f.write(data)
        subprocess.run([TIFFCP, *args, src, dst], check=True)
        with open(dst, "rb") as f:
            return f.read()


def big_endian(data, *args):
    out = tiffcp(data, "-B", "-c", "none", *args)
    assert out[:2] == b"MM"
    return out


def tags_of(data):
    """((width, height), tags) without decoding the pixels."""
    with Image.open(io.BytesIO(data)) as im:
        return im.size, dict(im.tag_v2)


def assert_kind(data, photometric, bits):
    tags = tags_of(data)[1]
    got_bits = tags.get(258, 1)
    got_bits = got_bits[0] if isinstance(got_bits, tuple) else got_bits
    assert (tags.get(262), got_bits, tags.get(259, 1)) == (photometric, bits, 1), tags


# --- files assembled here ----------------------------------------------------

SHORT, LONG, RATIONAL = 3, 4, 5
TYPE_SIZE = {1: 1, 2: 1, SHORT: 2, LONG: 4, RATIONAL: 8}


def build(entries, strips, order="<", fix=None):
    """A TIFF with one directory. `entries`: (tag, type, values) with values
    a list (RATIONAL values as (numerator, denominator) pairs); the strip
    tags are added from `strips` (a list of byte strings) as LONG unless an
    entry gives them. `fix(offsets)` may rewrite the strip offsets."""
    tags = {t for t, _, _ in entries}
    entries = list(entries)
    if 273 not in tags:
        entries.append((273, LONG, [0] * len(strips)))
    if 279 not in tags:
        entries.append((279, LONG, [len(s) for s in strips]))
    entries.sort(key=lambda e: e[0])
    count = len(entries)
    extra_at = 8 + 2 + 12 * count + 4

    def encode(typ, values):
        if typ == RATIONAL:
            return b"".join(struct.pack(order + "II", n, d) for n, d in values)
        fmt = {1: "B", SHORT: "H", LONG: "I"}[typ]
        return b"".join(struct.pack(order + fmt, v) for v in values)

    # Out-of-line values first, then the strips.
    extra_size = sum(len(encode(t, v)) for _, t, v in entries if len(encode(t, v)) > 4)
    data_at = extra_at + extra_size
    offsets = []
    pos = data_at
    for s in strips:
        offsets.append(pos)
        pos += len(s)
    if fix is not None:
        offsets = fix(offsets)
    body = bytearray()
    extra = bytearray()
    for tag, typ, values in entries:
        if tag == 273 and all(v == 0 for v in values):
            values = offsets
        raw = encode(typ, values)
        body += struct.pack(order + "HHI", tag, typ, len(values))
        if len(raw) <= 4:
            body += raw + bytes(4 - len(raw))
        else:
            body += struct.pack(order + "I", extra_at + len(extra))
            extra += raw
    head = (b"II" if order == "<" else b"MM") + struct.pack(order + "HI", 42, 8)
    return bytes(head + struct.pack(order + "H", count) + body + bytes(4) + extra +
                 b"".join(strips))


def basic(w, h, bits, photometric, samples=1, extra=()):
    entries = [(256, LONG, [w]), (257, LONG, [h]), (259, SHORT, [1]), (262, SHORT, [photometric])]
    entries.append((258, SHORT, [bits] * samples))
    if samples != 1:
        entries.append((277, SHORT, [samples]))
    return entries + list(extra)


def main():
    for name in os.listdir(HERE):
        if name.endswith(".tif"):
            os.unlink(os.path.join(HERE, name))

    # Bilevel BlackIsZero (Pillow) at widths 1 to 10: row padding.
    for w in range(1, 11):
        one = Image.new("1", (w, 2))
        rnd = random.Random(100 + w)
        one.putdata([rnd.randrange(2) * 255 for _ in range(w * 2)])
        data = pillow_bytes(one)
        assert_kind(data, 1, 1)
        expect_ok(f"pil_1bit_w{w}.tif", data)
    expect_ok("cp_1bit_w10_mm.tif", big_endian(pillow_bytes(one)))
    # 4-bit gray and palette (ImageMagick) at widths 1 to 5.
    for w in range(1, 6):
        data = magick_bytes(gray_image(w, 3, 200 + w), "-depth", "4", "-type", "grayscale")
        assert_kind(data, 1, 4)
        expect_ok(f"im_gray4_w{w}.tif", data)
        data = magick_bytes(palette_image(w, 3, 12, 300 + w), "-type", "palette", "-depth", "4")
        assert_kind(data, 3, 4)
        expect_ok(f"im_palette4_w{w}.tif", data)
    expect_ok("cp_palette4_w5_mm.tif", big_endian(data))
    expect_ok("cp_gray4_w5_mm.tif", big_endian(magick_bytes(gray_image(5, 3, 205), "-depth", "4",
                                                            "-type", "grayscale")))
    # WhiteIsZero at 1, 4 and 8 bits.
    data = magick_bytes(rgb_image(9, 2, 1).convert("1"), "-depth", "1", "-type", "bilevel",
                        "-define", "quantum:polarity=min-is-white")
    assert_kind(data, 0, 1)
    expect_ok("im_1bit_white_is_zero.tif", data)
    expect_ok("cp_1bit_white_is_zero_mm.tif", big_endian(data))
    for bits in (4, 8):
        data = magick_bytes(gray_image(7, 3, 400 + bits), "-depth", str(bits), "-type",
                            "grayscale", "-define", "quantum:polarity=min-is-white")
        assert_kind(data, 0, bits)
        expect_ok(f"im_gray{bits}_white_is_zero.tif", data)
        expect_ok(f"cp_gray{bits}_white_is_zero_mm.tif", big_endian(data))
    # 8-bit gray and palette, RGB (Pillow) in both byte orders.
    data = pillow_bytes(gray_image(6, 4, 5))
    assert_kind(data, 1, 8)
    expect_ok("pil_gray8.tif", data)
    expect_ok("cp_gray8_mm.tif", big_endian(data))
    data = pillow_bytes(palette_image(7, 3, 200, 6))
    assert_kind(data, 3, 8)
    expect_ok("pil_palette8.tif", data)
    expect_ok("cp_palette8_mm.tif", big_endian(data))
    data = magick_bytes(palette_image(8, 2, 2, 7), "-type", "palette", "-depth", "1")
    assert_kind(data, 3, 1)
    expect_ok("im_palette1.tif", data)
    expect_ok("cp_palette1_mm.tif", big_endian(data))
    rgb = pillow_bytes(rgb_image(5, 3, 8))
    assert_kind(rgb, 2, 8)
    expect_ok("pil_rgb8.tif", rgb)
    expect_ok("cp_rgb8_mm.tif", big_endian(rgb))
    # Several strips, one row each, in both byte orders.
    expect_ok("cp_rgb8_strips.tif", tiffcp(rgb, "-L", "-c", "none", "-r", "1"))
    expect_ok("cp_rgb8_strips_mm.tif", big_endian(rgb, "-r", "1"))
    # 16 bits per sample: the high byte of each.
    data = magick_bytes(rgb_image(4, 3, 9), "-depth", "16", "-type", "truecolor")
    assert_kind(data, 2, 16)
    expect_ok("im_rgb16.tif", data)
    expect_ok("cp_rgb16_mm.tif", big_endian(data))

    # Resolution: 72 per inch, 10 per centimetre, unit 1, none.
    expect_ok("pil_72dpi.tif", pillow_bytes(rgb_image(2, 2, 10), dpi=(72, 72)))
    expect_ok("im_10_per_cm.tif", magick_bytes(rgb_image(2, 2, 11), "-units",
                                               "PixelsPerCentimeter", "-density", "10"))
    expect_ok("im_unit_none.tif", magick_bytes(rgb_image(2, 2, 12), "-units", "Undefined",
                                               "-density", "5"))

    # Assembled files. An "MM" 16-bit RGB pixel 12 34 56 78 9a bc.
    px = bytes.fromhex("123456789abc")
    expect_ok("gen_rgb16_mm.tif", build(basic(1, 1, 16, 2, samples=3), [px], order=">"))
    # ColorMap values 0xFF00 and 0x80FF keep their high bytes.
    cmap = [0xFF00, 0x80FF, 0x1234, 0x00FF, 0xABCD, 0x8000]
    expect_ok("gen_colour_map.tif",
              build(basic(2, 1, 1, 3, extra=[(320, SHORT, cmap)]), [bytes((0x40,))]))
    # Strip tags as SHORT, two values standing in the entry itself.
    rows = [bytes(range(0, 6)), bytes(range(6, 12))]
    expect_ok("gen_short_strips_inline.tif",
              build(basic(6, 2, 8, 1, extra=[(273, SHORT, [0, 0]), (279, SHORT, [6, 6])]), rows),
              rgb=b"".join(bytes((v, v, v)) for r in rows for v in r))
    # SHORT width and height; BitsPerSample given once for RGB with
    # SamplesPerPixel 3.
    pixels = bytes(random.Random(13).randrange(256) for _ in range(3 * 4 * 2))
    entries = [(256, SHORT, [4]), (257, SHORT, [2]), (258, SHORT, [8]), (259, SHORT, [1]),
               (262, SHORT, [2]), (277, SHORT, [3])]
    expect_ok("gen_short_sizes_spp3.tif", build(entries, [pixels]), rgb=pixels)
    # Strips shorter than the image: the missing pixels are black.
    full = rgb_image(4, 4, 14)
    whole = full.tobytes()
    expect_ok("gen_short_strip.tif", build(basic(4, 4, 8, 2, samples=3), [whole[:12 * 2 + 5]]),
              rgb=whole[:29] + bytes(19))

    # Refused files.
    expect_reject("cp_lzw.tif", tiffcp(rgb, "-c", "lzw"), "UnsupportedCompression")
    expect_reject("cp_packbits.tif", tiffcp(rgb, "-c", "packbits"), "UnsupportedCompression")
    expect_reject("pil_rgba.tif", pillow_bytes(rgb_image(3, 2, 15).convert("RGBA")),
                  "UnsupportedDepth")
    expect_reject("pil_gray_alpha.tif", pillow_bytes(gray_image(3, 2, 16).convert("LA")),
                  "UnsupportedDepth")
    expect_reject("pil_gray16.tif", pillow_bytes(gray_image(3, 2, 17).convert("I;16")),
                  "UnsupportedDepth")
    expect_reject("cp_rgb_planar.tif", tiffcp(rgb, "-c", "none", "-p", "separate"),
                  "UnsupportedFormat")
    expect_reject("gen_short_file.tif", rgb[:7], "Truncated")
    expect_reject("gen_bad_order_mark.tif", b"IM" + rgb[2:], "BadHeader")
    expect_reject("gen_bad_magic.tif", rgb[:2] + b"\x2b\x00" + rgb[4:], "BadHeader")
    expect_reject("gen_directory_past_end.tif", rgb[:4] + struct.pack("<I", len(rgb)) + rgb[8:],
                  "Truncated")
    one_px = [bytes(3)]
    expect_reject("gen_width_0.tif", build(basic(0, 1, 8, 2, samples=3), one_px), "BadDimensions")
    expect_reject("gen_width_25001.tif", build(basic(25001, 1, 8, 2, samples=3), one_px),
                  "BadDimensions")
    expect_reject("gen_width_rational.tif",
                  build([(256, RATIONAL, [(1, 1)])] + basic(1, 1, 8, 2, samples=3)[1:], one_px),
                  "BadHeader")
    expect_reject("gen_bits_mixed.tif",
                  build(basic(1, 1, 8, 2, samples=3)[:-2] + [(258, SHORT, [8, 8, 16]),
                                                             (277, SHORT, [3])], one_px),
                  "UnsupportedDepth")
    expect_reject("gen_no_photometric.tif",
                  build([e for e in basic(1, 1, 8, 1) if e[0] != 262], [bytes(1)]),
                  "UnsupportedDepth")
    expect_reject("gen_palette_without_map.tif", build(basic(1, 1, 8, 3), [bytes(1)]),
                  "UnsupportedDepth")
    expect_reject("gen_colour_map_past_end.tif",
                  build(basic(2, 1, 8, 3, extra=[(320, SHORT, [0] * 12)]), [bytes(2)]),
                  "Truncated")
    expect_reject("gen_strip_past_end.tif",
                  build(basic(3, 1, 8, 1), [bytes(3)], fix=lambda o: [o[0] + 1]), "Truncated")
    expect_reject("gen_strip_counts_differ.tif",
                  build(basic(3, 1, 8, 1, extra=[(279, LONG, [1, 2])]), [bytes(3)]),
                  "BadHeader")
    expect_reject("gen_no_strip_bytes.tif",
                  build(basic(3, 1, 8, 1, extra=[(279, LONG, [0])]), [bytes(3)]), "Truncated")
    expect_reject("gen_no_strips.tif",
                  build(basic(3, 1, 8, 1, extra=[(273, LONG, []), (279, LONG, [])]), []),
                  "BadHeader")

    with open(os.path.join(HERE, "manifest.txt"), "w") as f:
        f.write("# Generated by generate.py from Pillow's decoding; see its docstring.\n")
        f.write("\n".join(manifest) + "\n")
    total = sum(os.path.getsize(os.path.join(HERE, n)) for n in os.listdir(HERE)
                if n.endswith(".tif"))
    print(f"{len(manifest)} files, {total} bytes", file=sys.stderr)


if __name__ == "__main__":
    main()
