"""Helpers the reference checks (tests/codecs/*_check.py) and the data
generators (tests/data/*/generate.py) share: comparing Pillow's decoding of
a file with the intended colours, the FNV-1a sum of the manifests, random
test pictures and ImageMagick conversions of Pillow images. Imported after
the caller puts this folder on sys.path; needs Pillow (/usr/bin/python3).
"""

import os
import random
import subprocess
import tempfile

from PIL import Image

CONVERT = "/usr/bin/convert"


def compare_pixels(path, width, height, rgb_hex, position_note=""):
    """Problems with Pillow's decoding of `path` against `rgb_hex` (red,
    green, blue as hex, rows top to bottom): the size, else the first pixel
    that differs. `position_note` follows the pixel's coordinates."""
    with Image.open(path) as im:
        im.load()
        if im.size != (width, height):
            return [f"Pillow sees {im.size}"]
        got = im.convert("RGB").tobytes().hex()
    if got == rgb_hex:
        return []
    first = next(i for i in range(len(got)) if got[i] != rgb_hex[i]) // 6
    return [f"pixel {first % width},{first // width}{position_note} is "
            f"{got[6 * first:6 * first + 6]}, expected {rgb_hex[6 * first:6 * first + 6]}"]


def fnv1a(data, h=1469598103934665603):
    for b in data:
        h ^= b
        h = (h * 1099511628211) & 0xFFFFFFFFFFFFFFFF
    return h


def write_file(folder, name, data):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def rgb_image(w, h, seed):
    rnd = random.Random(seed)
    im = Image.new("RGB", (w, h))
    im.putdata([(rnd.randrange(256), rnd.randrange(256), rnd.randrange(256))
                for _ in range(w * h)])
    return im


def magick_convert(im, *args):
    """ImageMagick's output for a Pillow image handed over as PNG; args end
    with the output format, e.g. "BMP3:-"."""
    with tempfile.NamedTemporaryFile(suffix=".png", delete=False) as t:
        im.save(t, "PNG")
    try:
        return subprocess.run([CONVERT, t.name, *args], check=True,
                              stdout=subprocess.PIPE).stdout
    finally:
        os.unlink(t.name)


def read_manifest(path):
    """The lines of a manifest split into fields, blank lines skipped."""
    with open(path) as f:
        return [line.split() for line in f if line.strip()]
