#!/usr/bin/env python3
"""Converts Netpbm files with the Windows pixlane-cli.exe and our Netpbm plug-in
under Wine, and holds the results against what Pillow reads from the same
files.

Usage: netpbm_pillow_check.py PIXLANE_EXE PLUGIN_SPI WORK_FOLDER SOURCE_ROOT

- A folder of PBM, PGM and PPM files (plain and raw, several maxvals and
  widths 1-9 for the row padding) and one BMP is converted as a folder (the
  input list under "IFmt" 0 picks the plug-in's extensions) to PNG, which
  must hold exactly Pillow's pixels, and to JPEG, which must be byte for
  byte the JPEG pixlane writes from a BMP of Pillow's pixels.
- Files given by path go through the plug-in whatever their extension.
- With a plug-in folder that does not exist only the BMP is listed and
  converted, to the same PNG as before.
Maxvals are odd, so that no sample falls halfway between two 8-bit levels
(where Pillow rounds half to even and the plug-in rounds half up).
"""
import os
import random
import shutil
import subprocess
import sys

from PIL import Image

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def write_netpbm(path, kind, plain, width, height, maxval, rng):
    """Writes a random image; returns nothing (Pillow reads it back)."""
    channels = 3 if kind == "ppm" else 1
    top = 1 if kind == "pbm" else maxval
    rows = [[rng.randint(0, top) for _ in range(width * channels)] for _ in range(height)]
    magic = {"pbm": 1, "pgm": 2, "ppm": 3}[kind] + (0 if plain else 3)
    header = f"P{magic}\n# written by the Pixlane tests\n{width} {height}\n"
    if kind != "pbm":
        header += f"{maxval}\n"
    data = header.encode("ascii")
    if plain:
        data += "\n".join(" ".join(str(v) for v in row) for row in rows).encode("ascii") + b"\n"
    elif kind == "pbm":
        for row in rows:
            packed = bytearray((width + 7) // 8)
            for x, bit in enumerate(row):
                packed[x // 8] |= bit << (7 - x % 8)
            data += bytes(packed)
    else:
        size = 2 if maxval > 255 else 1
        for row in rows:
            data += b"".join(v.to_bytes(size, "big") for v in row)
    with open(path, "wb") as out:
        out.write(data)


def expected_rgb(path, maxval):
    """Pillow's pixels as 8-bit RGB, reduced as the plug-in documents."""
    image = Image.open(path)
    image.load()
    if image.mode == "I":
        # 16-bit gray: Pillow scales to 0..65535; recover the sample and
        # reduce it to 8 bits by (v * 255 + maxval / 2) / maxval.
        levels = []
        for value in image.getdata():
            sample = round(value * maxval / 65535)
            levels.append((sample * 255 + maxval // 2) // maxval)
        gray = Image.new("L", image.size)
        gray.putdata(levels)
        image = gray
    return image.convert("RGB")


def run(pixlane, root, *arguments):
    command = [os.path.join(root, "scripts", "wine-run"), pixlane, "-q", *arguments]
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=240)
    return result.returncode, result.stdout.decode("utf-8", "replace")


def main():
    pixlane, plugin, work, root = sys.argv[1:5]
    shutil.rmtree(work, ignore_errors=True)
    folders = {name: os.path.join(work, name) for name in
               ("in", "plugins", "ref", "direct", "png", "jpg", "ref-jpg", "none", "direct-out", "direct-none")}
    for folder in folders.values():
        os.makedirs(folder)
    shutil.copy(plugin, folders["plugins"])
    rng = random.Random(16)

    cases = {}  # file name -> maxval
    for kind in ("pbm", "pgm", "ppm"):
        for plain in (True, False):
            maxvals = [1] if kind == "pbm" else [1, 7, 255, 1023, 65535]
            for maxval in maxvals:
                sizes = [(w, 3) for w in range(1, 10)] if maxval in (1, 255) else [(5, 2)]
                sizes.append((37, 23))
                for width, height in sizes:
                    form = "plain" if plain else "raw"
                    name = f"{kind}_{form}_m{maxval}_{width}x{height}.{kind}"
                    write_netpbm(os.path.join(folders["in"], name), kind, plain, width, height, maxval, rng)
                    cases[name] = maxval
    # The fourth pattern, and an extension in capitals.
    write_netpbm(os.path.join(folders["in"], "anymap.pnm"), "ppm", False, 7, 5, 255, rng)
    cases["anymap.pnm"] = 255
    write_netpbm(os.path.join(folders["in"], "CAPITALS.PPM"), "ppm", True, 6, 4, 15, rng)
    cases["CAPITALS.PPM"] = 15
    shutil.copy(os.path.join(root, "tests", "data", "bmp", "gen_24bit_v4.bmp"),
                os.path.join(folders["in"], "native.bmp"))

    plugins = winpath(folders["plugins"])
    code, output = run(pixlane, root, "--plugins", plugins, "--format", "png", "-o", winpath(folders["png"]),
                       winpath(folders["in"]))
    check(code == 0, f"PNG run exited {code}: {output}")
    code, output = run(pixlane, root, "--plugins", plugins, "--format", "jpeg", "--quality", "95",
                       "--sampling", "4:4:4", "-o", winpath(folders["jpg"]), winpath(folders["in"]))
    check(code == 0, f"JPEG run exited {code}: {output}")

    for name, maxval in sorted(cases.items()):
        stem = os.path.splitext(name)[0]
        expected = expected_rgb(os.path.join(folders["in"], name), maxval)
        png = os.path.join(folders["png"], stem + ".png")
        if not os.path.exists(png):
            check(False, f"{name}: no PNG written")
            continue
        got = Image.open(png).convert("RGB")
        check(got.size == expected.size and got.tobytes() == expected.tobytes(),
              f"{name}: the PNG differs from Pillow's pixels")
        # A BMP of Pillow's pixels, in the mode a reader of this kind gives.
        reference = expected.convert("L") if name.endswith((".pgm", ".pbm")) else expected
        reference.save(os.path.join(folders["ref"], stem + ".bmp"))
    native = Image.open(os.path.join(folders["in"], "native.bmp")).convert("RGB")
    native_png = os.path.join(folders["png"], "native.png")
    check(os.path.exists(native_png) and Image.open(native_png).convert("RGB").tobytes() == native.tobytes(),
          "the BMP beside the plug-in files converts as always")

    code, output = run(pixlane, root, "--format", "jpeg", "--quality", "95", "--sampling", "4:4:4",
                       "-o", winpath(folders["ref-jpg"]), winpath(folders["ref"]))
    check(code == 0, f"reference JPEG run exited {code}: {output}")
    for name in sorted(cases):
        stem = os.path.splitext(name)[0]
        ours = os.path.join(folders["jpg"], stem + ".jpg")
        theirs = os.path.join(folders["ref-jpg"], stem + ".jpg")
        same = os.path.exists(ours) and os.path.exists(theirs) and open(ours, "rb").read() == open(theirs, "rb").read()
        check(same, f"{name}: the JPEG differs from the one written from Pillow's pixels")

    # By path: the plug-in reads the content, whatever the extension says.
    direct = os.path.join(folders["direct"], "renamed.dat")
    shutil.copy(os.path.join(folders["in"], "ppm_raw_m1023_5x2.ppm"), direct)
    code, output = run(pixlane, root, "--plugins", plugins, "--format", "png", "-o", winpath(folders["direct-out"]),
                       winpath(direct))
    check(code == 0 and os.path.exists(os.path.join(folders["direct-out"], "renamed.png")),
          f"a Netpbm file given by path converts through the plug-in ({code}: {output})")
    code, output = run(pixlane, root, "--format", "png", "-o", winpath(folders["direct-none"]), winpath(direct))
    check(code == 1 and not os.listdir(folders["direct-none"]), f"without plug-ins it does not ({code}: {output})")

    # A plug-in folder that does not exist: only the BMP, converted alike.
    code, output = run(pixlane, root, "--plugins", winpath(os.path.join(work, "no such folder")), "--format", "png",
                       "-o", winpath(folders["none"]), winpath(folders["in"]))
    check(code == 0, f"run without plug-ins exited {code}: {output}")
    check(sorted(os.listdir(folders["none"])) == ["native.png"],
          f"without plug-ins only the BMP is listed: {sorted(os.listdir(folders['none']))}")
    check(open(os.path.join(folders["none"], "native.png"), "rb").read() == open(native_png, "rb").read(),
          "and converts to the same PNG")

    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(cases)} Netpbm files checked, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
