#!/usr/bin/python3
"""Regenerates the BMP reference files in this folder and manifest.txt.

Run by hand: /usr/bin/python3 tests/data/bmp/generate.py (needs Pillow and
ImageMagick's /usr/bin/convert). Files are written by Pillow and ImageMagick;
a few have header fields rewritten to reach layouts neither writes (a V4
header, a 40-byte header followed by masks, a top-down file, truncations).
The expected pixels of every readable file come from Pillow's decoder.

manifest.txt, one file per line:
  <name> ok <width> <height> <bitCount> <sourceBitCount> <checksum>
  <name> reject <CodecError name>
The checksum is FNV-1a 64 over the decoded rows bottom-up (one index byte per
pixel for indexed files, blue-green-red for the others, no row padding), then
for indexed files the 256 palette entries as blue, green, red, entries past
the file's colour table being zero: the same sum as PixelChecksum.
"""

import io
import os
import random
import struct
import sys
import tempfile

from PIL import Image, ImageFile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
from reference_images import fnv1a, magick_convert, rgb_image, write_file  # noqa: E402

manifest = []


def header_fields(data):
    """(headerSize, width, height, bitCount, compression, clrUsed) of a BMP."""
    size = struct.unpack_from("<I", data, 14)[0]
    if size == 12:
        w, h, _, bits = struct.unpack_from("<HHHH", data, 18)
        return size, w, h, bits, 0, 0
    w, h, _, bits, comp = struct.unpack_from("<iiHHI", data, 18)
    used = struct.unpack_from("<I", data, 46)[0]
    return size, w, h, bits, comp, used


def table_entries(data):
    size, _, _, bits, _, used = header_fields(data)
    if bits > 8:
        return 0
    if size == 12 or used == 0:
        return 1 << bits
    return min(used, 1 << bits)


def pillow_checksum(path, entries, truncated=False):
    """Decodes `path` with Pillow and returns (width, height, bits, checksum)."""
    ImageFile.LOAD_TRUNCATED_IMAGES = truncated
    try:
        im = Image.open(path)
        im.load()
    finally:
        ImageFile.LOAD_TRUNCATED_IMAGES = False
    w, h = im.size
    if im.mode in ("P", "L", "1"):
        values = list(im.getdata())
        if im.mode == "P":
            pal = im.getpalette() or []
            pal = (pal + [0] * 768)[: 3 * entries]
        elif im.mode == "L":
            # Pillow drops a palette that is the identity gray ramp.
            pal = [v for i in range(entries) for v in (i, i, i)]
        else:
            # Pillow drops a black-and-white palette and yields 0 and 255.
            values = [v // 255 for v in values]
            pal = [0, 0, 0, 255, 255, 255][: 3 * entries]
        rows = [bytes(values[y * w:(y + 1) * w]) for y in range(h)]
        table = bytearray(768)
        table[: len(pal)] = bytes(pal)
        tail = b"".join(bytes((table[3 * i + 2], table[3 * i + 1], table[3 * i]))
                        for i in range(256))
        bits = 8
    else:
        rgb = im.convert("RGB").tobytes()
        rows = []
        for y in range(h):
            line = rgb[y * 3 * w:(y + 1) * 3 * w]
            rows.append(b"".join(bytes((line[i + 2], line[i + 1], line[i]))
                                 for i in range(0, len(line), 3)))
        tail = b""
        bits = 24
    data = b"".join(reversed(rows)) + tail
    return w, h, bits, fnv1a(data)


def write(name, data):
    write_file(HERE, name, data)


def expect_ok(name, data, reference=None, truncated=False):
    """Stores `data` and records Pillow's decoding of `reference` (default:
    the file itself) as the expected result."""
    write(name, data)
    ref = data if reference is None else reference
    with tempfile.NamedTemporaryFile(suffix=".bmp", delete=False) as t:
        t.write(ref)
    try:
        w, h, bits, checksum = pillow_checksum(t.name, table_entries(ref), truncated)
    finally:
        os.unlink(t.name)
    source_bits = header_fields(data)[3]
    manifest.append(f"{name} ok {w} {h} {bits} {source_bits} {checksum:016x}")


def expect_reject(name, data, error):
    write(name, data)
    manifest.append(f"{name} reject {error}")


# --- sources ---------------------------------------------------------------

def palette_image(w, h, colours, seed):
    """A P image whose pixels use `colours` random palette colours, every
    colour at least once where the image has room."""
    rnd = random.Random(seed)
    im = Image.new("P", (w, h))
    pal = [rnd.randrange(256) for _ in range(3 * colours)]
    im.putpalette(pal)
    idx = [i % colours if i < colours else rnd.randrange(colours) for i in range(w * h)]
    rnd.shuffle(idx)
    im.putdata(idx)
    return im


def pillow_bytes(im, mode=None):
    buf = io.BytesIO()
    (im if mode is None else im.convert(mode)).save(buf, "BMP")
    return buf.getvalue()


def magick_bytes(im, *args):
    """ImageMagick's BMP for a Pillow image; args end with the output format,
    e.g. "BMP3:-"."""
    return magick_convert(im, *args)


def magick_indexed(im, fmt):
    return magick_bytes(im, "-type", "palette", "-compress", "none", fmt + ":-")


def magick_truecolor(im, fmt, *defines):
    extra = []
    for d in defines:
        extra += ["-define", d]
    return magick_bytes(im, "-type", "truecolor", *extra, fmt + ":-")


# --- header rewrites ---------------------------------------------------------

def put32(data, offset, value):
    data = bytearray(data)
    struct.pack_into("<I", data, offset, value & 0xFFFFFFFF)
    return bytes(data)


def remove(data, start, count):
    """Removes bytes before the pixel data and fixes file size and offset."""
    out = bytearray(data[:start] + data[start + count:])
    size, offset = struct.unpack_from("<I", out, 2)[0], struct.unpack_from("<I", out, 10)[0]
    struct.pack_into("<I", out, 2, size - count)
    struct.pack_into("<I", out, 10, offset - count)
    return bytes(out)


def v5_to_v4(data):
    assert header_fields(data)[0] == 124
    return put32(remove(data, 14 + 108, 16), 14, 108)


def v5_to_info_with_masks(data):
    """A 124-byte header with bit fields becomes a 40-byte header followed by
    the three masks (which stay where they were, at file offset 54)."""
    assert header_fields(data)[0] == 124 and header_fields(data)[4] == 3
    return put32(remove(data, 14 + 52, 72), 14, 40)


def masks_to_default(data):
    """A 40-byte header with masks becomes compression 0 (the masks must be
    the defaults)."""
    return put32(remove(data, 54, 12), 30, 0)


def remap_masked(data, masks, pack):
    """Rewrites a bit-field file to other masks: `masks` (red, green, blue)
    replace the header's and every pixel is re-packed by pack(r, g, b, x)
    from the fields of the old masks (x: the bits outside them)."""
    size, w, h, bits, comp, _ = header_fields(data)
    assert comp == 3 and bits in (16, 32)
    old = struct.unpack_from("<III", data, 54)
    out = bytearray(data)
    struct.pack_into("<III", out, 54, *masks)
    if size >= 56:
        struct.pack_into("<I", out, 66, 0)  # no alpha mask
    offset = struct.unpack_from("<I", data, 10)[0]
    step = bits // 8
    stride = (w * step + 3) & ~3
    fmt = "<H" if step == 2 else "<I"

    def field(v, m):
        return (v & m) >> ((m & -m).bit_length() - 1)

    for y in range(h):
        for x in range(w):
            at = offset + y * stride + x * step
            v = struct.unpack_from(fmt, data, at)[0]
            r, g, b = (field(v, m) for m in old)
            struct.pack_into(fmt, out, at, pack(r, g, b))
    return bytes(out)


def assert_layout(data, header_size, bits, compression=0):
    got = header_fields(data)
    assert (got[0], got[3], got[4]) == (header_size, bits, compression), got


def main():
    for name in os.listdir(HERE):
        if name.endswith(".bmp"):
            os.unlink(os.path.join(HERE, name))

    # Widths 1 to 9 at every depth: row padding of each layout.
    for w in range(1, 10):
        one = Image.new("1", (w, 2))
        rnd = random.Random(100 + w)
        one.putdata([rnd.randrange(2) * 255 for _ in range(w * 2)])
        data = pillow_bytes(one)
        assert_layout(data, 40, 1)
        expect_ok(f"w{w}_1bit.bmp", data)

        data = magick_indexed(palette_image(w, 3, 5, 200 + w), "BMP3")
        assert_layout(data, 40, 4)
        expect_ok(f"w{w}_4bit.bmp", data)

        data = pillow_bytes(palette_image(w, 2, 20, 300 + w))
        assert_layout(data, 40, 8)
        expect_ok(f"w{w}_8bit.bmp", data)

        data = magick_truecolor(rgb_image(w, 2, 400 + w), "BMP", "bmp:subtype=RGB565")
        assert_layout(data, 124, 16, 3)
        expect_ok(f"w{w}_16bit_565.bmp", data)

        data = pillow_bytes(rgb_image(w, 2, 500 + w))
        assert_layout(data, 40, 24)
        expect_ok(f"w{w}_24bit.bmp", data)

    # 1 bit with a coloured palette and colours-used 0.
    data = magick_indexed(palette_image(7, 3, 2, 1), "BMP3")
    assert_layout(data, 40, 1)
    expect_ok("im_1bit_clrused0.bmp", put32(data, 46, 0))

    # Header variants of indexed data: V5 (124), V4 (108), core (12).
    four = magick_indexed(palette_image(6, 3, 9, 2), "BMP")
    assert_layout(four, 124, 4)
    expect_ok("im_4bit_v5.bmp", four)
    expect_ok("gen_4bit_v4.bmp", v5_to_v4(four))
    eight = magick_indexed(palette_image(5, 3, 40, 3), "BMP")
    assert_layout(eight, 124, 8)
    expect_ok("im_8bit_v5.bmp", eight)
    expect_ok("gen_8bit_v4.bmp", v5_to_v4(eight))
    for bits, colours in ((1, 2), (4, 7), (8, 30)):
        data = magick_indexed(palette_image(5, 3, colours, 10 + bits), "BMP2")
        assert_layout(data, 12, bits)
        expect_ok(f"im_{bits}bit_core.bmp", data)
    data = magick_truecolor(rgb_image(3, 2, 4), "BMP2")
    assert_layout(data, 12, 24)
    expect_ok("im_24bit_core.bmp", data)

    # A colour count beyond what 4 bits address reads 16 entries.
    data = magick_indexed(palette_image(4, 3, 16, 5), "BMP3")
    assert_layout(data, 40, 4)
    assert header_fields(data)[5] == 16
    expect_ok("gen_4bit_clrused300.bmp", put32(data, 46, 300), reference=data)

    # 24 bits: V5 and V4 headers.
    data = magick_truecolor(rgb_image(5, 3, 6), "BMP")
    assert_layout(data, 124, 24)
    expect_ok("im_24bit_v5.bmp", data)
    expect_ok("gen_24bit_v4.bmp", v5_to_v4(data))

    # 16 bits: 5-6-5 and 5-5-5 bit fields after a 40-byte header, inside V4
    # and V5 headers, and 5-5-5 without bit fields.
    data = magick_truecolor(rgb_image(5, 3, 7), "BMP", "bmp:subtype=RGB565")
    assert_layout(data, 124, 16, 3)
    expect_ok("gen_16bit_565_bitfields.bmp", v5_to_info_with_masks(data))
    expect_ok("gen_16bit_565_v4.bmp", v5_to_v4(data))
    data = magick_truecolor(rgb_image(5, 3, 8), "BMP", "bmp:subtype=RGB555")
    assert_layout(data, 124, 16, 3)
    expect_ok("im_16bit_555_v5.bmp", data)
    expect_ok("gen_16bit_555.bmp", masks_to_default(v5_to_info_with_masks(data)))

    # 32 bits: Pillow's BGRA without bit fields and ImageMagick's with them;
    # the alpha byte is ignored.
    rgba = rgb_image(4, 3, 9).convert("RGBA")
    rgba.putalpha(Image.linear_gradient("L").resize((4, 3)))
    data = pillow_bytes(rgba)
    assert_layout(data, 40, 32)
    expect_ok("pil_32bit.bmp", data)
    data = magick_bytes(rgba, "BMP:-")
    assert_layout(data, 124, 32, 3)
    expect_ok("im_32bit_v5.bmp", data)
    expect_ok("gen_32bit_bitfields.bmp", v5_to_info_with_masks(data))

    # Bit fields in an unusual order and place: each channel comes from its
    # own mask; the colours are Pillow's reading of the original file.
    data = magick_bytes(rgba, "BMP:-")
    expect_ok("gen_32bit_masks_r_b_g.bmp",
              remap_masked(data, (0xFF000000, 0x00000FF0, 0x00FF0000),
                           lambda r, g, b: r << 24 | b << 16 | g << 4),
              reference=data)
    data = magick_truecolor(rgb_image(5, 3, 17), "BMP", "bmp:subtype=RGB565")
    expect_ok("gen_16bit_bgr565.bmp",
              remap_masked(data, (0x001F, 0x07E0, 0xF800),
                           lambda r, g, b: b << 11 | g << 5 | r),
              reference=data)
    # Masks with a hole, or sharing bits, describe no colour.
    expect_reject("gen_16bit_mask_hole.bmp",
                  remap_masked(data, (0xF800, 0x0505, 0x00E0), lambda r, g, b: 0),
                  "BadHeader")
    expect_reject("gen_16bit_masks_overlap.bmp",
                  remap_masked(data, (0xF800, 0x0FE0, 0x001F), lambda r, g, b: 0),
                  "BadHeader")

    # Short files: rows the file lacks are zero (cut at a row boundary, so
    # Pillow's decoder, which keeps only whole rows, agrees).
    data = pillow_bytes(rgb_image(5, 6, 10))
    expect_ok("gen_truncated_24bit.bmp", data[: 54 + 16 * 2], truncated=True)
    data = pillow_bytes(palette_image(6, 5, 12, 11))
    offset = struct.unpack_from("<I", data, 10)[0]
    expect_ok("gen_truncated_8bit.bmp", data[: offset + 8 * 3], truncated=True)
    data = v5_to_info_with_masks(magick_truecolor(rgb_image(3, 4, 12), "BMP",
                                                  "bmp:subtype=RGB565"))
    expect_ok("gen_truncated_16bit.bmp", data[: 66 + 8], truncated=True)

    # Rejected files.
    data = pillow_bytes(rgb_image(3, 2, 13))
    expect_reject("gen_truncated_header.bmp", data[:30], "Truncated")
    pal = pillow_bytes(palette_image(3, 2, 40, 14))
    expect_reject("gen_truncated_palette.bmp", pal[: 54 + 4 * 20], "Truncated")
    expect_reject("gen_offset_past_end.bmp", put32(data, 10, len(data)), "Truncated")
    expect_reject("gen_header_size_64.bmp", put32(data, 14, 64), "BadHeader")
    top = pillow_bytes(rgb_image(3, 2, 15).transpose(Image.FLIP_TOP_BOTTOM))
    expect_reject("gen_topdown.bmp", put32(top, 22, -2), "BadDimensions")
    rle = magick_bytes(palette_image(8, 4, 40, 16), "-type", "palette", "-compress", "RLE",
                       "BMP3:-")
    assert_layout(rle, 40, 8, 1)
    expect_reject("im_rle8.bmp", rle, "UnsupportedCompression")

    with open(os.path.join(HERE, "manifest.txt"), "w") as f:
        f.write("# Generated by generate.py from Pillow's decoding; see its docstring.\n")
        f.write("\n".join(manifest) + "\n")
    total = sum(os.path.getsize(os.path.join(HERE, n)) for n in os.listdir(HERE)
                if n.endswith(".bmp"))
    print(f"{len(manifest)} files, {total} bytes", file=sys.stderr)


if __name__ == "__main__":
    main()
