#!/usr/bin/python3
"""Regenerates the GIF reference files in this folder and manifest.txt.

Run by hand: /usr/bin/python3 tests/data/gif/generate.py (needs Pillow and
ImageMagick's /usr/bin/convert). Files come from Pillow and ImageMagick, or
are assembled here block by block (gen_*) to reach layouts neither writes:
frames inside a larger screen, transparency without a global table, LZW
streams that end early, lack the first clear code or hold undefined codes.

The expected image is what the reader delivers: the logical screen, pixels
outside the first frame at the background index, the transparent entry
replaced by the global background colour (white without a global table).
The frame's indices come from Pillow's decoding of the first frame, except
for damaged streams, whose expected pixels follow from how they were built
(streams made of literal codes, so the pixels a prefix holds are known).

manifest.txt, one file per line:
  <name> ok <width> <height> 8 <sourceBitCount> <checksum>
  <name> reject <CodecError name>
The checksum is FNV-1a 64 over the rows bottom-up (one index byte per pixel,
no padding), then the 256 palette entries as blue, green, red: the same sum
as PixelChecksum.
"""

import io
import os
import random
import struct
import sys

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
from reference_images import fnv1a, magick_convert, write_file  # noqa: E402

manifest = []


# --- the file structure ------------------------------------------------------

def parse(data):
    """Screen, tables, first-frame rectangle and transparency of a GIF."""
    w, h, packed, bg = struct.unpack_from("<HHBB", data, 6)
    info = {"screen": (w, h), "background": bg, "global": None, "local": None,
            "transparent": None, "bits": 0}
    pos = 13
    if packed & 0x80:
        info["bits"] = (packed & 7) + 1
        size = 3 << info["bits"]
        info["global"] = data[pos:pos + size]
        pos += size
    while True:
        block = data[pos]
        pos += 1
        if block == 0x21:
            label = data[pos]
            pos += 1
            if label == 0xF9 and data[pos + 1] & 1:
                info["transparent"] = data[pos + 4]
            while data[pos]:
                pos += 1 + data[pos]
            pos += 1
        elif block == 0x2C:
            left, top, fw, fh, fpacked = struct.unpack_from("<HHHHB", data, pos)
            pos += 9
            info["rect"] = (left, top, fw, fh)
            if fpacked & 0x80:
                info["bits"] = (fpacked & 7) + 1
                info["local"] = data[pos:pos + (3 << info["bits"])]
            return info
        else:
            raise ValueError(f"unexpected block {block:#x}")


def expected_checksum(data, frame_indices):
    """Composes `frame_indices` (the first frame, rows top-down) as the reader
    does and returns (width, height, sourceBitCount, checksum)."""
    info = parse(data)
    w, h = info["screen"]
    left, top, fw, fh = info["rect"]
    assert len(frame_indices) == fw * fh
    screen = bytearray([info["background"]]) * (w * h)
    for y in range(fh):
        start = (top + y) * w + left
        screen[start:start + fw] = frame_indices[y * fw:(y + 1) * fw]
    table = bytearray(768)
    active = info["local"] if info["local"] is not None else info["global"]
    table[:len(active)] = active
    t = info["transparent"]
    if t is not None:
        if info["global"] is not None:
            g = bytes(info["global"]) + bytes(768)
            bg = info["background"]
            table[3 * t:3 * t + 3] = g[3 * bg:3 * bg + 3]
        else:
            table[3 * t:3 * t + 3] = b"\xff\xff\xff"
    rows = [bytes(screen[y * w:(y + 1) * w]) for y in range(h)]
    tail = b"".join(bytes((table[3 * i + 2], table[3 * i + 1], table[3 * i])) for i in range(256))
    return w, h, info["bits"], fnv1a(b"".join(reversed(rows)) + tail)


def pillow_frame(data):
    """Pillow's indices of the first frame's rectangle, rows top-down."""
    with Image.open(io.BytesIO(data)) as im:
        x0, y0, x1, y1 = im.tile[0][1]
        im.load()
        assert im.mode in ("P", "L"), im.mode
        full = im.tobytes()
        w = im.size[0]
    return b"".join(full[y * w + x0:y * w + x1] for y in range(y0, y1))


def write(name, data):
    write_file(HERE, name, data)


def expect_ok(name, data, frame=None):
    """Stores `data`; the expected frame is Pillow's unless given."""
    write(name, data)
    w, h, bits, checksum = expected_checksum(data, pillow_frame(data) if frame is None else frame)
    manifest.append(f"{name} ok {w} {h} 8 {bits} {checksum:016x}")


def expect_reject(name, data, error):
    write(name, data)
    manifest.append(f"{name} reject {error}")


# --- building files ----------------------------------------------------------

def sub_blocks(data, size=255):
    out = bytearray()
    for i in range(0, len(data), size):
        chunk = data[i:i + size]
        out += bytes((len(chunk),)) + chunk
    return bytes(out) + b"\x00"


def pack_codes(codes):
    """(code, bits) pairs packed least significant bit first."""
    out = bytearray()
    buf = count = 0
    for code, bits in codes:
        buf |= code << count
        count += bits
        while count >= 8:
            out.append(buf & 0xFF)
            buf >>= 8
            count -= 8
    if count:
        out.append(buf)
    return bytes(out)


def literal_codes(indices, m, initial_clear=True):
    """An LZW code list of literal codes only: a clear code before every
    2^m - 2 literals keeps the code size at m + 1 (the decoder's table never
    reaches 2^(m+1) entries)."""
    clear, end, bits = 1 << m, (1 << m) + 1, m + 1
    codes = []
    group = (1 << m) - 2
    for i, v in enumerate(indices):
        if i % group == 0 and (initial_clear or i > 0):
            codes.append((clear, bits))
        codes.append((v, bits))
    codes.append((end, bits))
    return codes


def gif(screen, image_rect, indices=None, m=8, global_table=None, local_table=None,
        background=0, extensions=b"", interlace=False, lzw=None, version=b"89a",
        raw_image_data=None, tail=b";"):
    """Assembles a GIF. `lzw` (already packed code bytes) overrides the
    literal encoding of `indices`; `raw_image_data` overrides everything
    after the descriptor and its local table."""
    w, h = screen
    out = bytearray(b"GIF" + version + struct.pack("<HH", w, h))
    if global_table is not None:
        bits = (len(global_table) // 3 - 1).bit_length()
        out += bytes((0x80 | (bits - 1) << 4 | (bits - 1), background, 0))
        out += global_table
    else:
        out += bytes((0, background, 0))
    out += extensions
    left, top, fw, fh = image_rect
    packed = 0x40 if interlace else 0
    if local_table is not None:
        packed |= 0x80 | ((len(local_table) // 3 - 1).bit_length() - 1)
    out += b"\x2c" + struct.pack("<HHHHB", left, top, fw, fh, packed)
    if local_table is not None:
        out += local_table
    if raw_image_data is not None:
        out += raw_image_data
    else:
        if lzw is None:
            lzw = pack_codes(literal_codes(indices, m))
        out += bytes((m,)) + sub_blocks(lzw)
    return bytes(out + tail)


def table(colours, size):
    out = bytearray(3 * size)
    for i, c in enumerate(colours[:size]):
        out[3 * i:3 * i + 3] = bytes(c)
    return bytes(out)


def random_indices(count, colours, seed):
    rnd = random.Random(seed)
    return bytes(rnd.randrange(colours) for _ in range(count))


def palette_image(w, h, colours, seed):
    rnd = random.Random(seed)
    im = Image.new("P", (w, h))
    im.putpalette([rnd.randrange(256) for _ in range(3 * colours)])
    im.putdata(list(random_indices(w * h, colours, seed)))
    return im


def pillow_bytes(im, **options):
    buf = io.BytesIO()
    im.save(buf, "GIF", **options)
    return buf.getvalue()


def magick_bytes(im, *args):
    return magick_convert(im, *args)


def main():
    for name in os.listdir(HERE):
        if name.endswith(".gif"):
            os.unlink(os.path.join(HERE, name))

    # Independent writers: Pillow (widths 1 to 9, optimised tables of 2 to
    # 32 entries) and ImageMagick (1, 4 and 8-bit, interlaced).
    for w in range(1, 10):
        expect_ok(f"pil_w{w}.gif", pillow_bytes(palette_image(w, 3, 2 + 3 * w, 100 + w),
                                                optimize=False))
    expect_ok("pil_interlaced_13x17.gif",
              pillow_bytes(palette_image(13, 17, 40, 1), interlace=True, optimize=False))
    expect_ok("im_1bit.gif", magick_bytes(palette_image(11, 5, 2, 2), "GIF:-"))
    expect_ok("im_4bit.gif", magick_bytes(palette_image(9, 7, 16, 3), "GIF:-"))
    expect_ok("im_8bit_interlaced.gif",
              magick_bytes(palette_image(33, 19, 200, 4), "-interlace", "GIF", "GIF:-"))
    expect_ok("im_87a.gif", magick_bytes(palette_image(5, 4, 7, 5), "GIF87:-"))
    # A long stream: the code table fills up and restarts.
    rgb = Image.new("RGB", (120, 80))
    rnd = random.Random(6)
    rgb.putdata([(rnd.randrange(256), rnd.randrange(256), rnd.randrange(256))
                 for _ in range(120 * 80)])
    expect_ok("pil_noise_120x80.gif", pillow_bytes(rgb.quantize(256, dither=0), optimize=False))

    # Two frames: only the first is read.
    first = palette_image(6, 5, 8, 7)
    second = palette_image(6, 5, 8, 8)
    data = pillow_bytes(first, save_all=True, append_images=[second], duration=100, loop=0,
                        optimize=False, disposal=1)
    expect_ok("pil_animation.gif", data)

    colours = [(0, 0, 0), (0, 0, 255), (255, 0, 0), (0, 255, 0), (10, 20, 30)]
    # A 10 x 10 frame at (5, 5) in a 20 x 20 screen; background index 2.
    frame = random_indices(100, 5, 9)
    expect_ok("gen_frame_in_screen.gif",
              gif((20, 20), (5, 5, 10, 10), frame, m=3, global_table=table(colours, 8),
                  background=2))
    # Transparent index 3: the global background colour (blue, index 1).
    gce = b"\x21\xf9\x04\x01\x00\x00\x03\x00"
    frame = random_indices(12, 5, 10)
    expect_ok("gen_transparent_global.gif",
              gif((4, 3), (0, 0, 4, 3), frame, m=3, global_table=table(colours, 8),
                  background=1, extensions=gce))
    # Transparent index 3 without a global table: white.
    expect_ok("gen_transparent_local.gif",
              gif((4, 3), (0, 0, 4, 3), frame, m=3, local_table=table(colours, 8), extensions=gce))
    # A graphic control without the transparency flag changes nothing.
    expect_ok("gen_gce_without_transparency.gif",
              gif((4, 3), (0, 0, 4, 3), frame, m=3, global_table=table(colours, 8), background=1,
                  extensions=b"\x21\xf9\x04\x00\x00\x00\x03\x00"))
    # A local table next to a global one: the local one is used.
    expect_ok("gen_local_over_global.gif",
              gif((4, 3), (0, 0, 4, 3), frame, m=3, global_table=table(colours, 8),
                  local_table=table(list(reversed(colours)), 8)))
    # Every extension the reader skips, before the image.
    extensions = (b"\x21\xfe" + sub_blocks(b"a comment") +
                  b"\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00" +
                  b"\x21\x01\x0c" + bytes(12) + sub_blocks(b"plain text"))
    expect_ok("gen_extensions.gif",
              gif((4, 3), (0, 0, 4, 3), frame, m=3, global_table=table(colours, 8),
                  extensions=extensions))
    # Interlaced, built here: rows in pass order.
    rows = [random_indices(5, 5, 20 + y) for y in range(11)]
    order = [*range(0, 11, 8), *range(4, 11, 8), *range(2, 11, 4), *range(1, 11, 2)]
    expect_ok("gen_interlaced_5x11.gif",
              gif((5, 11), (0, 0, 5, 11), b"".join(rows[y] for y in order), m=3,
                  global_table=table(colours, 8), interlace=True),
              frame=b"".join(rows))
    # A 1-bit table: minimum code size 2.
    expect_ok("gen_1bit.gif",
              gif((7, 2), (0, 0, 7, 2), random_indices(14, 2, 11), m=2,
                  global_table=table(colours[:2], 2)))

    # LZW streams that need care.
    g4 = table(colours, 4)
    # "1 1 1": clear, 1, then code 6 (the entry being defined) for "1 1",
    # which ends exactly at the end of the frame.
    expect_ok("gen_kwkwk_at_end.gif",
              gif((3, 1), (0, 0, 3, 1), m=2, global_table=g4,
                  lzw=pack_codes([(4, 3), (1, 3), (6, 3), (5, 3)])))
    # No clear code first: decoded as if there were one.
    indices = random_indices(24, 4, 12)
    expect_ok("gen_no_initial_clear.gif",
              gif((6, 4), (0, 0, 6, 4), m=2, global_table=g4,
                  lzw=pack_codes(literal_codes(indices, 2, initial_clear=False))),
              frame=indices)
    # A code no entry defines (7 while the next free code is 6): decoding
    # stops after the first pixel.
    expect_ok("gen_undefined_code.gif",
              gif((4, 1), (0, 0, 4, 1), m=2, global_table=g4,
                  lzw=pack_codes([(4, 3), (1, 3), (7, 3), (2, 3), (5, 3)])),
              frame=bytes((1, 0, 0, 0)))
    # The stream ends early (no end code) inside well-formed sub-blocks:
    # the first 40 pixels decode, the rest stay 0. Literal codes with m = 8
    # take 9 bits each and a clear code comes every 254 literals.
    indices = random_indices(200, 5, 13)
    codes = literal_codes(indices, 8)
    kept = codes[:41]  # the clear code and 40 literals
    expect_ok("gen_lzw_ends_early.gif",
              gif((20, 10), (0, 0, 20, 10), m=8, global_table=table(colours, 256),
                  lzw=pack_codes(kept)),
              frame=indices[:40] + bytes(160))
    # More pixels in the stream than in the frame: the extra ones are dropped.
    indices = random_indices(30, 5, 14)
    expect_ok("gen_extra_pixels.gif",
              gif((5, 4), (0, 0, 5, 4), m=3, global_table=table(colours, 8),
                  lzw=pack_codes(literal_codes(indices, 3))),
              frame=indices[:20])

    # Refused files.
    good = gif((4, 3), (0, 0, 4, 3), random_indices(12, 5, 15), m=3,
               global_table=table(colours, 8))
    expect_reject("gen_short_header.gif", good[:12], "Truncated")
    expect_reject("gen_signature_gif88a.gif", b"GIF88a" + good[6:], "BadHeader")
    expect_reject("gen_screen_width_0.gif", good[:6] + b"\x00\x00" + good[8:], "BadDimensions")
    expect_reject("gen_screen_height_25001.gif",
                  good[:8] + struct.pack("<H", 25001) + good[10:], "BadDimensions")
    expect_reject("gen_global_table_past_end.gif", good[:30], "Truncated")
    expect_reject("gen_unknown_extension.gif",
                  gif((4, 3), (0, 0, 4, 3), random_indices(12, 5, 15), m=3,
                      global_table=table(colours, 8), extensions=b"\x21\x2a\x01\x00\x00"),
                  "BadHeader")
    expect_reject("gen_trailer_before_image.gif", good[:13 + 24] + b";", "BadHeader")
    expect_reject("gen_unknown_block.gif", good[:13 + 24] + b"\x00" + good[13 + 24:], "BadHeader")
    expect_reject("gen_frame_outside_screen.gif",
                  gif((4, 3), (1, 0, 4, 3), random_indices(12, 5, 15), m=3,
                      global_table=table(colours, 8)), "BadDimensions")
    expect_reject("gen_no_colour_table.gif",
                  gif((4, 3), (0, 0, 4, 3), random_indices(12, 5, 15), m=3), "BadHeader")
    expect_reject("gen_code_size_9.gif",
                  gif((4, 3), (0, 0, 4, 3), global_table=table(colours, 8),
                      raw_image_data=b"\x09\x01\x00\x00"), "BadHeader")
    expect_reject("gen_no_image_data.gif",
                  gif((4, 3), (0, 0, 4, 3), global_table=table(colours, 8),
                      raw_image_data=b"\x03\x00"), "Truncated")
    expect_reject("gen_zero_size_frame.gif",
                  gif((4, 3), (0, 0, 0, 3), global_table=table(colours, 8),
                      raw_image_data=b"\x03\x01\x00\x00"), "BadDimensions")
    # A sub-block that runs past the end of the file.
    expect_reject("gen_sub_block_past_end.gif", good[:-6], "Truncated")
    # Well-formed sub-blocks, but the file ends before the terminator.
    end = good.rindex(b"\x00;")
    expect_reject("gen_no_terminator.gif", good[:end], "Truncated")

    with open(os.path.join(HERE, "manifest.txt"), "w") as f:
        f.write("# Generated by generate.py from Pillow's decoding; see its docstring.\n")
        f.write("\n".join(manifest) + "\n")
    total = sum(os.path.getsize(os.path.join(HERE, n)) for n in os.listdir(HERE)
                if n.endswith(".gif"))
    print(f"{len(manifest)} files, {total} bytes", file=sys.stderr)


if __name__ == "__main__":
    main()
